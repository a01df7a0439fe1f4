#pragma once
// Writes one or more images, with per-frame durations and a loop count, to
// data or a file: through the platform's image destination for the formats
// it writes (several frames only for GIF) and through its own writer for
// animated PNG. Used from one thread at a time.

#include <string>
#include <vector>

#include "image/codec/TVImageCoder.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/URL.h"
#include "platform/graphics/ImageDestination.h"
#include "platform/uikit/Image.h"

class TVImageDecoder;

// A duration as an animated PNG delay fraction: 255/1 from 255 s up, 1/255
// at 1/255 s and below, else the last continued-fraction convergent (at
// most 8 terms) with both parts at most 255; 1/100 when none fits.
void TVDurationToPNGDelay(double duration, uint16_t* numerator, uint16_t* denominator);

class TVImageEncoder : public ns::Object {
    RT_DECLARE_CLASS(TVImageEncoder)
public:
    // Raises "TVImageEncoder init error": an encoder needs a type.
    TVImageEncoder();
    // Types 1-8 give an encoder; WebP and others log and give nil.
    static ns::Ref<TVImageEncoder> initWithType(TVImageType type);
    explicit TVImageEncoder(TVImageType type);

    TVImageType type() const { return type_; }
    // 0 loops without end.
    uint64_t loopCount() const { return loopCount_; }
    void setLoopCount(uint64_t count) { loopCount_ = count; }
    // Kept for the caller; no writer here reads it.
    bool lossless() const { return lossless_; }
    void setLossless(bool lossless) { lossless_ = lossless; }
    double quality() const { return quality_; }
    // Clamped to 0..1.
    void setQuality(double quality);

    // Durations below 0 are stored as 0. An image without pixels, empty
    // data and an empty path are not kept.
    void addImage(const ns::Ref<ui::Image>& image, double duration);
    void addImageWithData(const ns::Ref<ns::Data>& data, double duration);
    void addImageWithFile(const std::string& path, double duration);

    ns::Ref<ns::Data> encode();
    bool encodeToFile(const std::string& path);

    // One image, duration 0.
    static ns::Ref<ns::Data> encodeImage(const ns::Ref<ui::Image>& image, TVImageType type, double quality);
    // Every frame of the decoder, decoded for display, as PNG data with the
    // decoder's duration; nil for no decoder or one without frames.
    static ns::Ref<ns::Data> encodeImageWithDecoder(const ns::Ref<TVImageDecoder>& decoder, TVImageType type,
                                                    double quality);

    size_t imageCount() const { return images_.size(); }
    double durationAtIndex(size_t index) const { return index < durations_.size() ? durations_[index] : 0; }

private:
    bool imageIOAvailable() const;
    std::shared_ptr<cg::ImageDestination> newImageDestination(const std::string& path, size_t count) const;
    bool encodeImageWithDestination(cg::ImageDestination& destination, size_t count) const;
    ns::Ref<ns::Data> encodeWithImageIO() const;
    bool encodeWithImageIO(const std::string& path) const;
    ns::Ref<cg::Image> newCGImageFromIndex(size_t index, bool decoded) const;
    ns::Ref<ns::Data> encodeAPNG() const;

    TVImageType type_ = TVImageTypeUnknown;
    uint64_t loopCount_ = 0;
    bool lossless_ = false;
    double quality_ = 1;
    // Parallel: an image, data or URL entry and its duration in seconds.
    std::vector<ns::Id> images_;
    std::vector<double> durations_;
};
