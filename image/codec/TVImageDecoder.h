#pragma once
// Turns encoded image data, whole or arriving piece by piece, into frames:
// still images, animated GIFs and animated PNGs. The platform's image
// source decodes what it knows; an animated PNG is cut by the chunk parser
// into stand-alone frame PNGs, which are composed on a canvas by their
// dispose and blend operations. WebP is recognised and not decoded.
// Frames are played, so their pictures are charged to the file's budget
// but never refused (see cg::DecodeBudget); a file of more frames than the
// budget holds pictures plays only that many, as each has a record here.
// Each picture decoded is charged to the process's account of decoded
// pixels too (cg::PictureAccount), unless the data is the app's own file:
// a frame the account refuses is not made. So is each canvas the decoder
// holds, for its own width x height whatever is drawn on it: a picture
// extended to the first one's size, the canvas frames are composed on, and
// every copy taken of it, each charged as it is made.
//
// Any thread may call. Updates, frames and properties run under one
// recursive lock; durations take only the frame list's own lock, so they
// can be read while a frame decodes.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "image/codec/TVImageCoder.h"
#include "image/codec/TVImageFrame.h"
#include "image/codec/TVPNGChunks.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/ImageSource.h"

class TVImageDecoder : public ns::Object {
    RT_DECLARE_CLASS(TVImageDecoder)
public:
    // Nil for nil data, and for data without a frame; the data is final.
    // `charged` false for the app's own files.
    static ns::Ref<TVImageDecoder> decoderWithData(const ns::Ref<ns::Data>& data, double scale, bool charged = true);
    // At the main screen's scale.
    TVImageDecoder();
    // A scale of 0 or less becomes 1.
    explicit TVImageDecoder(double scale);
    ~TVImageDecoder() override;

    // `data` is everything received so far. False once finalized, for data
    // shorter than what was held, or for data of another type than the one
    // detected.
    bool updateData(const ns::Ref<ns::Data>& data, bool final);
    // A copy of the frame record with its image; nil past the end or when
    // the frame cannot be made.
    ns::Ref<TVImageFrame> frameAtIndex(uint64_t index, bool decodeForDisplay);
    // Charges the frame to the file's budget without making it: false past
    // it. Frames made for playing are charged too but never refused; a
    // reader keeping every frame stops at the first false.
    bool chargeFrameAtIndex(uint64_t index);
    // Seconds; 0 past the end.
    double frameDurationAtIndex(uint64_t index);
    // The image source's properties; nothing without one or past the end.
    std::optional<cg::ImageProperties> framePropertiesAtIndex(uint64_t index);
    std::optional<cg::ImageProperties> imageProperties();

    ns::Ref<ns::Data> data() { return underLock(data_); }
    TVImageType type() { return underLock(type_); }
    double scale() const { return scale_; }
    uint64_t frameCount() { return underLock(frameCount_); }
    uint64_t loopCount() { return underLock(loopCount_); }
    uint64_t width() { return underLock(width_); }
    uint64_t height() { return underLock(height_); }
    bool isFinalized() { return underLock(finalized_); }
    // What the readers did for the frames decoded here without a source
    // (an animated PNG's), for tests to count; a source counts its own.
    cg::CodecWork apngFrameWork() { return underLock(apngFrameWork_); }

private:
    template <class T>
    T underLock(const T& value) {
        std::lock_guard lock(lock_);
        return value;
    }

    using Frames = std::vector<ns::Ref<TVImageDecoderFrame>>;

    void updateSource();
    void updateSourceImageIO();
    void updateSourceAPNG();
    void updateSourceWebP();
    void setFrames(Frames frames);
    ns::Ref<TVImageDecoderFrame> frameRecord(uint64_t index);

    // Frame pictures and composing (TVImageDecoderFrames.cpp).
    ns::Ref<TVImageFrame> frameWithImage(uint64_t index, bool decodeForDisplay);
    ns::Ref<cg::Image> newUnblendedImage(uint64_t index, bool extendToCanvas, bool* decoded);
    ns::Ref<cg::Image> newAPNGFrameImage(const TVPNGFrameInfo& info, uint64_t index);
    // `image` drawn on a canvas of the decoder's size, carrying `charge`.
    ns::Ref<cg::Image> extendedToCanvas(const cg::Image& image, const cg::Rect& rect, cg::PictureCharge charge);
    std::optional<cg::PictureCharge> chargeCanvas(uint64_t index);
    bool createBlendContextIfNeeded(uint64_t index);
    void blendImageWithFrame(const TVImageDecoderFrame& frame);
    // `charge` is the account's for the copy of the canvas the frame is
    // taken as.
    ns::Ref<cg::Image> newBlendedImageWithFrame(const TVImageDecoderFrame& frame, cg::PictureCharge charge);
    cg::Rect rectOf(const TVImageDecoderFrame& frame) const;

    std::recursive_mutex lock_;
    double scale_ = 1;
    ns::Ref<ns::Data> data_;
    TVImageType type_ = TVImageTypeUnknown;
    bool finalized_ = false;
    bool sourceTypeDetected_ = false;
    bool charged_ = true;
    uint64_t width_ = 0, height_ = 0, frameCount_ = 0, loopCount_ = 0;

    std::shared_ptr<cg::ImageSource> source_;
    // The file's: an animated PNG's frames are charged to it once its
    // source has gone.
    std::shared_ptr<cg::DecodeBudget> budget_;
    TVPNGInfo* apngSource_ = nullptr;  // owned; freed with TVFreePNGChunks
    cg::CodecWork apngFrameWork_;
    ui::ImageOrientation orientation_ = ui::ImageOrientation::Up;

    std::mutex framesLock_;  // guards frames_ (read by frameDurationAtIndex)
    Frames frames_;

    bool needBlend_ = false;
    static constexpr uint64_t kNotFound = UINT64_MAX;
    uint64_t blendFrameIndex_ = kNotFound;
    // Carries the charge for its own pixels.
    std::shared_ptr<cg::BitmapContext> blendCanvas_;
    // The frame last handed out (its record without its image), whether
    // asked for display and whether its picture was decoded, and the
    // picture, weak: asked for again while a reader still holds it (views
    // sharing an image take turns), its pixels are handed out again in a
    // new image rather than made again, holding nothing more.
    ns::Ref<TVImageDecoderFrame> lastFrame_;
    bool lastFrameForDisplay_ = false;
    bool lastFrameDecoded_ = false;
    std::weak_ptr<cg::Image> lastPicture_;
};
