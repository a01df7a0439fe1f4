#include "image/codec/TVImage.h"

#include <cfloat>
#include <cmath>

#include "image/codec/UIImage+TVImageCoder.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Number.h"
#include "platform/uikit/Screen.h"

RT_DEFINE_CLASS(TVImage, ui::Image, "TVImage")

namespace {

// Frames shorter than this play as ShortFrameDuration; both are the
// single-precision constants widened, as the timing has always used them.
constexpr double MinimumFrameDuration = double(0.011f);
constexpr double ShortFrameDuration = double(0.1f);

const std::vector<std::string_view> NamedImageExtensions = {"", "png", "jpeg", "jpg", "gif", "webp", "apng"};

// "name" + "@2x" for a scale other than 1 (within single precision).
std::string scaledName(const std::string& resource, double scale) {
    if (std::fabs(scale - 1) <= FLT_EPSILON || resource.empty() || resource.back() == '/') return resource;
    return resource + "@" + ns::Number::withDouble(scale)->stringValue() + "x";
}

}  // namespace

ns::Ref<TVImage> TVImage::imageNamed(std::string_view name) {
    if (name.empty() || name.back() == '/') return nullptr;
    auto text = ns::String::make(std::string(name));
    std::string resource = text->stringByDeletingPathExtension()->utf8();
    std::string extension = text->pathExtension()->utf8();
    std::vector<std::string_view> extensions = NamedImageExtensions;
    if (!extension.empty()) extensions = {extension};
    auto bundle = ns::Bundle::mainBundle();
    for (double scale : TVPreferredImageScales()) {
        std::string scaled = scaledName(resource, scale);
        for (std::string_view type : extensions) {
            auto path = bundle->pathForResource(scaled, type);
            if (!path) continue;
            auto data = ns::Data::withContentsOfFile(path->utf8());
            if (!data || data->length() == 0) return nullptr;
            auto image = std::make_shared<TVImage>();
            if (!image->initWithData(data, scale, false)) return nullptr;
            return image;
        }
    }
    return nullptr;
}

ns::Ref<TVImage> TVImage::imageWithContentsOfFile(const std::string& path) {
    auto data = ns::Data::withContentsOfFile(path);
    if (!data) return nullptr;
    return imageWithData(data, TVScaleFromImagePath(path));
}

ns::Ref<TVImage> TVImage::imageWithData(const ns::Ref<ns::Data>& data, double scale) {
    auto image = std::make_shared<TVImage>();
    if (!image->initWithData(data, scale, true)) return nullptr;
    return image;
}

bool TVImage::initWithData(const ns::Ref<ns::Data>& data, double scale, bool charged) {
    if (!data || data->length() == 0) return false;
    if (scale <= 0) scale = ui::Screen::mainScreen()->scale();
    auto decoder = TVImageDecoder::decoderWithData(data, scale, charged);
    if (!decoder) return false;
    auto frame = decoder->frameAtIndex(0, true);
    if (!frame || !frame->image || !frame->image->cgImage()) return false;
    const ns::Ref<ui::Image>& first = frame->image;
    setCGImage(first->cgImage(), decoder->scale(), first->imageOrientation());
    animatedImageType_ = decoder->type();
    if (decoder->frameCount() > 1) {
        decoder_ = decoder;
        bytesPerFrame_ = uint64_t(first->cgImage()->bytesPerRow()) * uint64_t(first->cgImage()->height());
        animatedImageMemorySize_ = bytesPerFrame_ * decoder->frameCount();
    }
    setTV_isDecodedForDisplay(this, true);
    return true;
}

ns::Ref<ns::Data> TVImage::animatedImageData() const { return decoder_ ? decoder_->data() : nullptr; }

uint64_t TVImage::animatedImageFrameCount() const { return decoder_ ? decoder_->frameCount() : 0; }

uint64_t TVImage::animatedImageLoopCount() const { return decoder_ ? decoder_->loopCount() : 0; }

ns::Ref<ui::Image> TVImage::animatedImageFrameAtIndex(uint64_t index) {
    if (index >= animatedImageFrameCount()) return nullptr;
    {
        std::lock_guard<std::mutex> hold(preloadedLock_);
        if (preloadedFrames_ && index < preloadedFrames_->size()) return (*preloadedFrames_)[index];
    }
    auto frame = decoder_->frameAtIndex(index, true);
    return frame ? frame->image : nullptr;
}

double TVImage::animatedImageDurationAtIndex(uint64_t index) const {
    if (!decoder_) return 0;
    double duration = decoder_->frameDurationAtIndex(index);
    return duration < MinimumFrameDuration ? ShortFrameDuration : duration;
}

bool TVImage::preloadAllAnimatedImageFrames() const { return preloadAllAnimatedImageFrames_; }

void TVImage::setPreloadAllAnimatedImageFrames(bool preload) {
    if (preload == preloadAllAnimatedImageFrames_) return;
    preloadAllAnimatedImageFrames_ = preload;
    if (preload && decoder_ && decoder_->frameCount() > 0) {
        std::vector<ns::Ref<ui::Image>> frames;
        uint64_t count = decoder_->frameCount();
        frames.reserve(count);
        // Only the leading frames the file's budget holds are kept; the
        // others are still made as they are played.
        for (uint64_t i = 0; i < count && decoder_->chargeFrameAtIndex(i); ++i) {
            frames.push_back(animatedImageFrameAtIndex(i));
        }
        std::lock_guard<std::mutex> hold(preloadedLock_);
        preloadedFrames_ = std::move(frames);
    } else if (!preload) {
        std::lock_guard<std::mutex> hold(preloadedLock_);
        preloadedFrames_.reset();
    }
}

// ---- Coding ----
// An animated image travels as its data; any other as the plain image's
// picture (PNG) and scale.

namespace {
constexpr const char* ScaleKey = "TVImageScale";
constexpr const char* DataKey = "TVImageData";
constexpr const char* PlainScaleKey = "UIScale";
constexpr const char* PlainDataKey = "UIImageData";
}  // namespace

void TVImage::encodeWithCoder(ns::KeyedArchiver& coder) const {
    if (auto data = animatedImageData()) {
        coder.encodeDouble(scale(), ScaleKey);
        coder.encodeObject(data, DataKey);
        return;
    }
    coder.encodeDouble(scale(), PlainScaleKey);
    if (auto png = ui::ImagePNGRepresentation(this)) coder.encodeObject(png, PlainDataKey);
}

bool TVImage::initWithCoder(ns::KeyedUnarchiver& coder) {
    auto data = coder.decodeObjectOfClass<ns::Data>(DataKey);
    if (data && data->length() > 0) return initWithData(data, coder.decodeDoubleForKey(ScaleKey), true);
    auto png = coder.decodeObjectOfClass<ns::Data>(PlainDataKey);
    auto plain = png ? ui::Image::imageWithData(png, coder.decodeDoubleForKey(PlainScaleKey)) : nullptr;
    if (!plain) return false;
    setCGImage(plain->cgImage(), plain->scale(), plain->imageOrientation());
    return true;
}
