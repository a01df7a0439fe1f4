#pragma once
// An image destination: images written to data or to a file in one of the
// formats of an image source. GIF holds any number of images (with a loop
// count and per-frame delays); PNG, JPEG, BMP, TIFF, JPEG 2000, ICO and
// ICNS hold the first image added. ICNS takes only the square sizes of its
// icons (16 to 1024 pixels): finalising another size fails, with a log line.
//
// Used from one thread at a time.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/graphics/Image.h"

namespace cg {

class ImageSource;

// The destination's own properties.
struct DestinationProperties {
    // {GIF} LoopCount: 0 loops without end; without it, no loop extension.
    std::optional<unsigned> gifLoopCount;
};

// Properties of one image added.
struct DestinationImageProperties {
    // LossyCompressionQuality, 0..1 (JPEG and JPEG 2000; 0.75 without it).
    // JPEG 2000 is lossless at 1.
    std::optional<double> lossyCompressionQuality;
    // {GIF} DelayTime in seconds, written in centiseconds.
    std::optional<double> gifDelayTime;
};

class ImageDestination {
public:
    // Nil for a type that is no image type identifier or a count of 0.
    static std::shared_ptr<ImageDestination> createWithData(const std::string& type, size_t count);
    static std::shared_ptr<ImageDestination> createWithURL(const std::string& path, const std::string& type,
                                                           size_t count);

    void setProperties(const DestinationProperties& properties) { properties_ = properties; }
    // Images past the count are ignored.
    void addImage(const ns::Ref<Image>& image, const DestinationImageProperties& properties = {});
    // The source's image at the index; nothing is added when it has none.
    void addImageFromSource(ImageSource& source, size_t index, const DestinationImageProperties& properties = {});

    // Writes everything: false for no image, an image the format refuses,
    // a file that cannot be written, or a second call.
    bool finalize();
    // The bytes written by finalize() (also for a file destination).
    const std::vector<uint8_t>& data() const { return data_; }

    ImageDestination(std::string type, size_t count, std::string path);

private:
    struct Entry {
        ns::Ref<Image> image;
        DestinationImageProperties properties;
    };
    std::vector<uint8_t> encode() const;

    std::string type_;
    size_t count_;
    std::string path_;
    DestinationProperties properties_;
    std::vector<Entry> entries_;
    std::vector<uint8_t> data_;
    bool finalized_ = false;
};

}  // namespace cg
