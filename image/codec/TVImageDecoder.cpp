#include "image/codec/TVImageDecoder.h"

#include "platform/foundation/Log.h"
#include "platform/uikit/Screen.h"

RT_DEFINE_CLASS(TVImageDecoder, ns::Object, "TVImageDecoder")

namespace {

constexpr const char* kWebPInstallNotes = "https://developers.google.com/speed/webp/docs/api";

// Each frame has a record here from the start, whether it is ever made or
// not: a file of millions of tiny frames plays only as many as its budget
// holds pictures.
uint64_t framesKept(uint64_t count, const std::string& fileType) {
    return cg::framesPlayed(count, "TVImageDecoder", fileType);
}

}  // namespace

ns::Ref<TVImageDecoder> TVImageDecoder::decoderWithData(const ns::Ref<ns::Data>& data, double scale, bool charged) {
    if (!data) return nullptr;
    auto decoder = std::make_shared<TVImageDecoder>(scale);
    decoder->charged_ = charged;
    decoder->updateData(data, true);
    if (decoder->frameCount() == 0) return nullptr;
    return decoder;
}

TVImageDecoder::TVImageDecoder() : TVImageDecoder(ui::Screen::mainScreen()->scale()) {}

TVImageDecoder::TVImageDecoder(double scale) : scale_(scale > 0 ? scale : 1) {}

TVImageDecoder::~TVImageDecoder() { TVFreePNGChunks(apngSource_); }

bool TVImageDecoder::updateData(const ns::Ref<ns::Data>& data, bool final) {
    std::lock_guard lock(lock_);
    if (finalized_) return false;
    uint64_t held = data_ ? data_->length() : 0;
    uint64_t given = data ? data->length() : 0;
    if (given < held) return false;
    finalized_ = final;
    data_ = data;
    if (!sourceTypeDetected_) {
        if (given <= 16) return true;
        type_ = TVImageTypeFromData(data.get());
        sourceTypeDetected_ = true;
        updateSource();
        return true;
    }
    if (TVImageTypeFromData(data.get()) != type_) return false;
    updateSource();
    return true;
}

void TVImageDecoder::updateSource() {
    lastFrame_.reset();
    switch (type_) {
    case TVImageTypePNG: updateSourceAPNG(); break;
    case TVImageTypeWebP: updateSourceWebP(); break;
    default: updateSourceImageIO(); break;
    }
}

void TVImageDecoder::setFrames(Frames frames) {
    std::lock_guard lock(framesLock_);
    frames_ = std::move(frames);
}

void TVImageDecoder::updateSourceImageIO() {
    width_ = height_ = 0;
    orientation_ = ui::ImageOrientation::Up;
    loopCount_ = 0;
    frameCount_ = 0;
    setFrames({});
    if (!source_) {
        // The source keeps no picture it made: the copy drawn of a picture
        // for display takes over its charge, which holds only when the
        // picture is let go once drawn.
        if (finalized_) {
            source_ = cg::ImageSource::createWithData(data_, false);
        } else {
            source_ = cg::ImageSource::createIncremental(false);
            if (source_) source_->updateData(data_, false);
        }
        if (!source_) return;
        // A decoder plays its frames: see chargeFrameAtIndex.
        source_->setPlays(true);
        source_->setCharged(charged_);
        budget_ = source_->budget();
    } else {
        source_->updateData(data_, finalized_);
    }
    frameCount_ = source_->count();
    if (frameCount_ == 0) return;
    if (!finalized_) {
        frameCount_ = 1;
    } else if (type_ == TVImageTypePNG) {
        frameCount_ = 1;
    } else if (type_ == TVImageTypeGIF) {
        loopCount_ = source_->properties().loopCount.value_or(0);
    }
    frameCount_ = framesKept(frameCount_, source_->type());
    Frames frames;
    for (uint64_t i = 0; i < frameCount_; ++i) {
        auto frame = std::make_shared<TVImageDecoderFrame>();
        frame->index = i;
        frame->blendFromIndex = i;
        frame->hasAlpha = true;
        frame->isFullSize = true;
        if (auto properties = source_->copyPropertiesAtIndex(i)) {
            frame->width = uint64_t(properties->pixelWidth.value_or(0));
            frame->height = uint64_t(properties->pixelHeight.value_or(0));
            if (type_ == TVImageTypeGIF) {
                const cg::GifProperties& gif = properties->gif;
                frame->duration = gif.unclampedDelayTime.value_or(gif.delayTime.value_or(0));
            }
            if (i == 0 && width_ + height_ == 0) {
                width_ = frame->width;
                height_ = frame->height;
                orientation_ = ui::imageOrientationFromExif(properties->orientation.value_or(1));
            }
        }
        frames.push_back(frame);
    }
    setFrames(std::move(frames));
}

void TVImageDecoder::updateSourceAPNG() {
    TVFreePNGChunks(apngSource_);
    apngSource_ = nullptr;
    updateSourceImageIO();
    if (frameCount_ == 0 || !finalized_) return;
    if (data_->length() > UINT32_MAX) return;
    TVPNGInfo* info = TVParsePNGChunks(data_->bytes(), uint32_t(data_->length()));
    if (!info) return;
    if (info->apng_frame_num == 0 || (info->apng_frame_num == 1 && info->apng_first_frame_is_cover)) {
        TVFreePNGChunks(info);
        return;
    }
    source_.reset();
    const uint32_t canvasWidth = info->header.width, canvasHeight = info->header.height;
    Frames frames;
    uint64_t lastBlendIndex = 0;
    bool needBlend = false;
    const uint64_t count = framesKept(info->apng_frame_num, cg::ImageTypePNG);
    for (uint32_t i = 0; i < count; ++i) {
        const TVPNGFrameInfo& f = info->apng_frames[i];
        auto frame = std::make_shared<TVImageDecoderFrame>();
        frame->index = i;
        frame->duration = double(f.delay_num) / double(f.delay_den == 0 ? 100 : f.delay_den);
        frame->hasAlpha = true;
        frame->width = f.width;
        frame->height = f.height;
        frame->offsetX = f.offset_x;
        // The parser keeps every frame inside the canvas, so this never wraps.
        frame->offsetY = uint64_t(canvasHeight) - f.offset_y - f.height;
        frame->isFullSize = f.width == canvasWidth && f.height == canvasHeight && f.offset_x == 0 && f.offset_y == 0;
        frame->dispose = f.dispose_op == 1   ? TVImageDisposeBackground
                         : f.dispose_op == 2 ? TVImageDisposePrevious
                                             : TVImageDisposeNone;
        frame->blend = f.blend_op == 1 ? TVImageBlendOver : TVImageBlendNone;
        if (frame->isFullSize && frame->blend == TVImageBlendNone) {
            frame->blendFromIndex = i;
            if (frame->dispose != TVImageDisposePrevious) lastBlendIndex = i;
        } else if (frame->isFullSize && frame->dispose == TVImageDisposeBackground) {
            frame->blendFromIndex = lastBlendIndex;
            lastBlendIndex = i + 1;
        } else {
            frame->blendFromIndex = lastBlendIndex;
        }
        if (frame->blendFromIndex != frame->index) needBlend = true;
        frames.push_back(frame);
    }
    width_ = canvasWidth;
    height_ = canvasHeight;
    frameCount_ = count;
    loopCount_ = info->apng_loop_num;
    needBlend_ = needBlend;
    apngSource_ = info;
    setFrames(std::move(frames));
}

void TVImageDecoder::updateSourceWebP() {
    static std::once_flag logged;
    std::call_once(logged, [] {
        TV_CODER_LOG("-[TVImageDecoder _updateSourceWebP]", 1841,
                     "WebP is not available, check the documentation to see how to install WebP component: %s",
                     kWebPInstallNotes);
    });
}

ns::Ref<TVImageDecoderFrame> TVImageDecoder::frameRecord(uint64_t index) {
    std::lock_guard lock(framesLock_);
    return index < frames_.size() ? frames_[index] : nullptr;
}

ns::Ref<TVImageFrame> TVImageDecoder::frameAtIndex(uint64_t index, bool decodeForDisplay) {
    std::lock_guard lock(lock_);
    return frameWithImage(index, decodeForDisplay);
}

bool TVImageDecoder::chargeFrameAtIndex(uint64_t index) {
    std::lock_guard lock(lock_);
    if (index >= frameCount_) return false;
    if (source_) return source_->chargeAtIndex(size_t(index));
    // An animated PNG frame is composed on the whole canvas.
    return budget_ && budget_->charge(size_t(index), width_ * height_);
}

double TVImageDecoder::frameDurationAtIndex(uint64_t index) {
    std::lock_guard lock(framesLock_);
    return index < frames_.size() ? frames_[index]->duration : 0;
}

std::optional<cg::ImageProperties> TVImageDecoder::framePropertiesAtIndex(uint64_t index) {
    std::lock_guard lock(lock_);
    if (!source_) return std::nullopt;
    return source_->copyPropertiesAtIndex(index);
}

std::optional<cg::ImageProperties> TVImageDecoder::imageProperties() {
    std::lock_guard lock(lock_);
    if (!source_) return std::nullopt;
    return source_->copyProperties();
}

