#pragma once
// A still or animated image decoded from data. It shows its first frame as
// any image does; with two or more frames it keeps its decoder (and so the
// encoded data) and makes each frame on demand, or all at once when asked
// to preload them.

#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "image/codec/TVAnimatedImage.h"
#include "image/codec/TVImageDecoder.h"
#include "platform/foundation/Coding.h"

class TVImage : public ui::Image, public TVAnimatedImage, public ns::Coding {
    RT_DECLARE_CLASS(TVImage)
public:
    // Blank, for the unarchiver.
    TVImage() = default;
    TVImage(ns::Ref<cg::Image> cgImage, double scale, ui::ImageOrientation orientation)
        : ui::Image(std::move(cgImage), scale, orientation) {}

    // Looked up in the main bundle at the preferred scales and the usual
    // extensions (never cached); nil when nothing is found. The app's own
    // file: not charged to the account of decoded pixels.
    static ns::Ref<TVImage> imageNamed(std::string_view name);
    // The file's data at the scale its path names.
    static ns::Ref<TVImage> imageWithContentsOfFile(const std::string& path);
    // Nil for empty data or data without a picture. A scale of 0 or less
    // is the main screen's.
    static ns::Ref<TVImage> imageWithData(const ns::Ref<ns::Data>& data, double scale = 1);

    TVImageType animatedImageType() const { return animatedImageType_; }
    // The decoder's data; nil for a still image.
    ns::Ref<ns::Data> animatedImageData() const;
    // Frame count x bytes per frame; 0 for a still image.
    uint64_t animatedImageMemorySize() const { return animatedImageMemorySize_; }
    bool preloadAllAnimatedImageFrames() const;
    // On: every frame is decoded now and kept, up to the file's budget
    // (the frames past it are made as they are played); off: they are
    // released.
    void setPreloadAllAnimatedImageFrames(bool preload);

    uint64_t animatedImageFrameCount() const override;
    uint64_t animatedImageLoopCount() const override;
    uint64_t animatedImageBytesPerFrame() const override { return bytesPerFrame_; }
    ns::Ref<ui::Image> animatedImageFrameAtIndex(uint64_t index) override;
    // Durations under 0.011 s play as 0.1 s, as browsers do.
    double animatedImageDurationAtIndex(uint64_t index) const override;

    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;
    bool supportsSecureCoding() const override { return true; }

private:
    bool initWithData(const ns::Ref<ns::Data>& data, double scale, bool charged);

    TVImageType animatedImageType_ = TVImageTypeUnknown;
    ns::Ref<TVImageDecoder> decoder_;  // only with two or more frames
    uint64_t bytesPerFrame_ = 0;
    uint64_t animatedImageMemorySize_ = 0;
    bool preloadAllAnimatedImageFrames_ = false;
    // One entry a frame, nil for a frame that failed; guarded by the lock.
    mutable std::mutex preloadedLock_;
    std::optional<std::vector<ns::Ref<ui::Image>>> preloadedFrames_;
};
