#include "platform/graphics/ImageSource.h"

#include <cstdio>
#include <cstring>

namespace cg {

namespace {

bool startsWith(std::span<const uint8_t> data, std::string_view signature) {
    return data.size() >= signature.size() && std::memcmp(data.data(), signature.data(), signature.size()) == 0;
}

std::string typeOf(std::span<const uint8_t> data) {
    if (startsWith(data, "GIF87a") || startsWith(data, "GIF89a")) return ImageTypeGIF;
    if (startsWith(data, "\x89PNG\r\n\x1a\n")) return ImageTypePNG;
    if (startsWith(data, "\xff\xd8\xff")) return ImageTypeJPEG;
    return {};
}

}  // namespace

std::string GifProperties::description() const {
    std::string inner;
    char buf[64];
    auto add = [&](const char* key, double value, const char* format) {
        std::snprintf(buf, sizeof buf, format, value);
        inner += std::string(key) + " = " + buf + "; ";
    };
    if (delayTime) add("DelayTime", *delayTime, "%g");
    if (loopCount) add("LoopCount", double(*loopCount), "%.0f");
    if (unclampedDelayTime) add("UnclampedDelayTime", *unclampedDelayTime, "%g");
    return "{GIF = {" + inner + "}}";
}

std::shared_ptr<ImageSource> ImageSource::createWithData(std::span<const uint8_t> data, bool shouldCache) {
    if (data.empty()) return nullptr;
    return std::make_shared<ImageSource>(data, shouldCache);
}

ImageSource::ImageSource(std::span<const uint8_t> data, bool shouldCache)
    : type_(typeOf(data)), shouldCache_(shouldCache) {
    if (type_ == ImageTypeGIF) file_ = gif::read(data);
    if (file_) cache_.resize(file_->frames.size());
}

size_t ImageSource::count() const { return file_ ? file_->frames.size() : 0; }

GifProperties ImageSource::properties() const {
    GifProperties properties;
    if (file_) properties.loopCount = file_->loopCount;
    return properties;
}

std::optional<GifProperties> ImageSource::propertiesAtIndex(size_t index) const {
    if (index >= count()) return std::nullopt;
    GifProperties properties;
    if (auto delay = file_->frames[index].delayCentiseconds) {
        double seconds = *delay / 100.0;
        properties.unclampedDelayTime = seconds;
        properties.delayTime = seconds < 0.011 ? 0.1 : seconds;
    }
    return properties;
}

ns::Ref<Image> ImageSource::createImageAtIndex(size_t index) {
    std::lock_guard lock(mutex_);
    if (index >= count()) return nullptr;
    const auto& frames = file_->frames;
    if (!frames[index].complete) return nullptr;
    int64_t canvasPixels = int64_t(file_->width) * file_->height;
    if (canvasPixels <= 0 || canvasPixels > gif::MaximumPixels) return nullptr;
    if (cache_[index]) return cache_[index];
    if (!compositor_) compositor_ = std::make_unique<gif::Compositor>(file_->width, file_->height);
    // Frames compose in order: go on from the last one drawn, or start over.
    if (compositor_->drawn() > index) compositor_->reset();
    for (size_t i = compositor_->drawn(); i <= index; ++i) {
        if (frames[i].complete) {
            compositor_->draw(frames[i].view());
        } else {
            // A broken frame draws nothing but still counts its place.
            gif::FrameView empty;
            empty.disposal = 0;
            compositor_->draw(empty);
        }
    }
    auto image = Image::make(compositor_->canvas());
    if (shouldCache_) cache_[index] = image;
    return image;
}

std::string ImageSource::description() const {
    char buf[96];
    std::snprintf(buf, sizeof buf, "<CGImageSource %p [%s] %zu images>", static_cast<const void*>(this),
                  type_.empty() ? "unknown" : type_.c_str(), count());
    return buf;
}

}  // namespace cg
