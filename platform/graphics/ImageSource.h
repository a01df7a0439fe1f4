#pragma once
// An image source: encoded image data read for its type, its number of
// images, its properties and each image on demand. GIF is the format
// decoded; PNG and JPEG data are recognised by their signatures (their type
// is known, they hold no images here). GIF images come out composed at the
// size of the file's logical screen, one per frame, over what the frames
// before them left.
//
// Thread-safe: one frame is decoded at a time.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/graphics/GifFrames.h"
#include "platform/graphics/Image.h"

namespace cg {

// Uniform type identifiers of the formats recognised.
inline constexpr const char* ImageTypeGIF = "com.compuserve.gif";
inline constexpr const char* ImageTypePNG = "public.png";
inline constexpr const char* ImageTypeJPEG = "public.jpeg";

// The GIF properties of the file (loop count) or of one frame (delays).
struct GifProperties {
    // The file's: only with a NETSCAPE2.0 extension; 0 loops without end.
    std::optional<unsigned> loopCount;
    // A frame's, in seconds, only with a graphics control extension.
    // DelayTime reads delays under 0.011 s as 0.1 s; UnclampedDelayTime is
    // the delay as written.
    std::optional<double> delayTime;
    std::optional<double> unclampedDelayTime;

    // "{GIF = {DelayTime = 0.1; ...}}" with the keys present.
    std::string description() const;
};

class ImageSource {
public:
    // Nil for empty data. `shouldCache` keeps composed frames; without it
    // only the canvas of the last frame composed is kept.
    static std::shared_ptr<ImageSource> createWithData(std::span<const uint8_t> data, bool shouldCache = false);
    explicit ImageSource(std::span<const uint8_t> data, bool shouldCache);

    // ImageTypeGIF, ImageTypePNG, ImageTypeJPEG or empty when unknown.
    const std::string& type() const { return type_; }
    size_t count() const;
    GifProperties properties() const;
    // Nothing for an index out of range.
    std::optional<GifProperties> propertiesAtIndex(size_t index) const;
    // The picture at the index: nil out of range, and for a frame that is
    // broken, has no colour table or lies on an empty or oversized canvas.
    ns::Ref<Image> createImageAtIndex(size_t index);

    std::string description() const;

private:
    std::string type_;
    std::optional<gif::File> file_;
    bool shouldCache_;
    std::mutex mutex_;
    std::unique_ptr<gif::Compositor> compositor_;
    std::vector<ns::Ref<Image>> cache_;
};

}  // namespace cg
