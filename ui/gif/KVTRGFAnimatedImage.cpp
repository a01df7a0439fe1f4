#include "ui/gif/KVTRGFAnimatedImage.h"

#include <cmath>
#include <mutex>
#include <vector>

#include "platform/dispatch/MainThread.h"
#include "platform/dispatch/PerformRequest.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/DecodeBudget.h"
#include "platform/graphics/ImageSource.h"
#include "platform/uikit/Application.h"

RT_DEFINE_CLASS(KVTRGFAnimatedImage, ns::Object, "KVTRGFAnimatedImage")

namespace {

constexpr const char* QueueLabel = "com.kvtrgif.framecachingqueue";
constexpr const char* GrowSelector = "growFrameCacheSizeAfterMemoryWarning:";
constexpr const char* ResetSelector = "resetFrameCacheSizeMaxInternal";
// Predicted decoded sizes, in units of 1024 x 1024 bytes.
constexpr double SizeCacheAll = 10;
constexpr double SizeCacheFew = 75;
constexpr uint64_t CacheSizeLarge = 5;
constexpr uint64_t CacheSizeLow = 1;
constexpr uint64_t CacheSizeGrowAfterWarning = 2;
constexpr uint64_t MaximumGrowAttempts = 3;
// Delays are compared in single precision, as they are stored.
constexpr float MinimumDelayThreshold = float(KVTRGFAnimatedImage::MinimumFrameDelay) - 0x1p-23f;

struct LogSettings {
    std::mutex lock;
    KVTRGFAnimatedImage::LogBlock block;
    KVTRGFLogLevel level = KVTRGFLogLevel::None;
};

LogSettings& logSettings() {
    static LogSettings settings;
    return settings;
}

// Every live image, for the memory warning.
struct LiveImages {
    std::mutex lock;
    std::vector<ns::Weak<KVTRGFAnimatedImage>> images;
};

LiveImages& liveImages() {
    static LiveImages live;
    return live;
}

void setUpClass() {
    static std::once_flag once;
    std::call_once(once, [] {
        ns::NotificationCenter::defaultCenter()->addObserverForName(
            ui::ApplicationDidReceiveMemoryWarningNotification, nullptr, nullptr,
            [](const ns::Ref<ns::Notification>& notification) {
                std::vector<ns::Ref<KVTRGFAnimatedImage>> images;
                {
                    auto& live = liveImages();
                    std::lock_guard guard(live.lock);
                    std::erase_if(live.images, [](const auto& weak) { return weak.expired(); });
                    for (const auto& weak : live.images)
                        if (auto image = weak.lock()) images.push_back(image);
                }
                for (const auto& image : images) image->didReceiveMemoryWarning(notification);
            });
    });
}

void log(KVTRGFLogLevel level, const std::function<std::string()>& text) {
    KVTRGFAnimatedImage::logStringFromBlock(text, level);
}

std::string describe(const ns::Id& object) { return object ? object->description() : "(null)"; }

}  // namespace

// ---- Logging ----

void KVTRGFAnimatedImage::setLogBlock(LogBlock block, KVTRGFLogLevel level) {
    auto& settings = logSettings();
    std::lock_guard guard(settings.lock);
    settings.block = std::move(block);
    settings.level = level;
}

void KVTRGFAnimatedImage::logStringFromBlock(const std::function<std::string()>& text, KVTRGFLogLevel level) {
    LogBlock block;
    {
        auto& settings = logSettings();
        std::lock_guard guard(settings.lock);
        if (!text || !settings.block || level > settings.level) return;
        block = settings.block;
    }
    block(text(), level);
}

// ---- Creation ----

ns::Ref<KVTRGFAnimatedImage> KVTRGFAnimatedImage::animatedImageWithGIFData(const ns::Ref<ns::Data>& data) {
    return initWithAnimatedGIFData(data);
}

ns::Ref<KVTRGFAnimatedImage> KVTRGFAnimatedImage::initWithAnimatedGIFData(const ns::Ref<ns::Data>& data) {
    return initWithAnimatedGIFData(data, 0, true);
}

ns::Ref<KVTRGFAnimatedImage> KVTRGFAnimatedImage::init() {
    auto image = initWithAnimatedGIFData(nullptr);
    if (!image) {
        log(KVTRGFLogLevel::Error, [] {
            return std::string("Use `initWithAnimatedGIFData:` and supply the animated GIF data as an argument "
                               "to initialize an object of type `KVTRGFAnimatedImage`.");
        });
    }
    return image;
}

ns::Ref<KVTRGFAnimatedImage> KVTRGFAnimatedImage::initWithAnimatedGIFData(const ns::Ref<ns::Data>& data,
                                                                          uint64_t optimalFrameCacheSize,
                                                                          bool predrawingEnabled) {
    auto image = std::make_shared<KVTRGFAnimatedImage>();
    if (!image->setUp(data, optimalFrameCacheSize, predrawingEnabled)) return nullptr;
    image->weakProxy_ = KVTRFLWeakProxy::weakProxyForObject(image);
    setUpClass();
    auto& live = liveImages();
    std::lock_guard guard(live.lock);
    live.images.push_back(image);
    return image;
}

bool KVTRGFAnimatedImage::setUp(const ns::Ref<ns::Data>& data, uint64_t optimalFrameCacheSize,
                                bool predrawingEnabled) {
    if (!data || data->length() == 0) {
        log(KVTRGFLogLevel::Error, [] { return std::string("No animated GIF data supplied."); });
        return false;
    }
    data_ = data;
    predrawingEnabled_ = predrawingEnabled;
    imageSource_ = cg::ImageSource::createWithData(data, false);
    if (!imageSource_) {
        log(KVTRGFLogLevel::Error, [&] {
            return ns::format("Failed to `CGImageSourceCreateWithData` for animated GIF data %@", describe(data));
        });
        return false;
    }
    if (imageSource_->type() != cg::ImageTypeGIF) {
        log(KVTRGFLogLevel::Error, [&] {
            return ns::format("Supplied data is of type %@ and doesn't seem to be GIF data %@",
                              imageSource_->type().empty() ? std::string("(null)") : imageSource_->type(),
                              describe(data));
        });
        return false;
    }
    // It plays its frames, so none is refused; but past the file's budget
    // they are not decoded up front, only as they are played.
    imageSource_->setPlays(true);
    auto properties = imageSource_->properties();
    loopCount_ = properties.loopCount.value_or(0);

    const size_t count = imageSource_->count();
    // Each frame played has a record and a delay here from the start: a
    // file of millions of tiny frames plays only as many as a file's budget
    // holds pictures, as the other players do.
    const size_t played = size_t(cg::framesPlayed(count, "KVTRGFAnimatedImage", imageSource_->type()));
    uint64_t skipped = 0;
    for (size_t i = 0; i < played; ++i) {
        const bool decode = !posterImage_ || imageSource_->chargeAtIndex(i);
        auto frame = decode ? imageSource_->createImageAtIndex(i) : nullptr;
        if ((decode && !frame) || imageSource_->isBrokenAtIndex(i)) {
            log(KVTRGFLogLevel::Info, [&] {
                return ns::format("Dropping frame %zu because failed to `CGImageSourceCreateImageAtIndex` with image "
                                  "source %@",
                                  i, imageSource_->description());
            });
            ++skipped;
            continue;
        }
        auto uiImage = decode ? ui::Image::imageWithCGImage(frame) : nullptr;
        if (decode && !uiImage) {
            log(KVTRGFLogLevel::Info, [&] {
                return ns::format("Dropping frame %zu because valid `CGImageRef` %@ did result in `nil`-`UIImage`.", i,
                                  describe(frame));
            });
            ++skipped;
            continue;
        }
        if (!posterImage_ && uiImage) {
            posterImage_ = uiImage;
            size_ = uiImage->size();
            posterImageFrameIndex_ = i;
            cachedFramesForIndexes_[i] = uiImage;
            cachedFrameIndexes_.insert(i);
        }
        auto frameProperties = imageSource_->propertiesAtIndex(i).value_or(cg::GifProperties{});
        std::optional<double> delay = frameProperties.unclampedDelayTime;
        if (!delay) delay = frameProperties.delayTime;
        if (!delay) {
            if (i == 0) {
                log(KVTRGFLogLevel::Info, [&] {
                    return ns::format("Falling back to default delay time for first frame %@ because none found in "
                                      "GIF properties %@",
                                      describe(frame), frameProperties.description());
                });
                delay = DefaultFrameDelay;
            } else {
                log(KVTRGFLogLevel::Info, [&] {
                    return ns::format("Falling back to preceding delay time for frame %zu %@ because none found in GIF "
                                      "properties %@",
                                      i, describe(frame), frameProperties.description());
                });
                auto preceding = delayTimesForIndexes_.find(i - 1);
                delay = preceding == delayTimesForIndexes_.end() ? 0.0 : preceding->second;
            }
        }
        if (float(*delay) < MinimumDelayThreshold) {
            log(KVTRGFLogLevel::Info, [&] {
                return ns::format("Rounding frame %zu's `delayTime` from %f up to default %f (minimum supported: %f).", i,
                                  *delay, DefaultFrameDelay, MinimumFrameDelay);
            });
            delay = DefaultFrameDelay;
        }
        delayTimesForIndexes_[i] = *delay;
    }
    frameCount_ = played;

    if (count == 0) {
        log(KVTRGFLogLevel::Info, [&] {
            return ns::format("Failed to create any valid frames for GIF with properties %@", properties.description());
        });
        return false;
    }
    if (count == 1) {
        log(KVTRGFLogLevel::Info, [&] {
            return ns::format("Created valid GIF but with only a single frame. Image properties: %@",
                              properties.description());
        });
    }

    if (optimalFrameCacheSize == 0) {
        double predicted = 0;
        if (posterImage_) {
            const auto& bitmap = posterImage_->cgImage();
            predicted = double(bitmap->bytesPerRow()) * double(bitmap->height()) * double(played - skipped) /
                        double(1024 * 1024);
        }
        if (predicted <= SizeCacheAll) optimalFrameCacheSize = played;
        else if (predicted <= SizeCacheFew) optimalFrameCacheSize = CacheSizeLarge;
        else optimalFrameCacheSize = CacheSizeLow;
    }
    frameCacheSizeOptimal_ = std::min<uint64_t>(optimalFrameCacheSize, played);
    return true;
}

cg::ImageSource::Counters KVTRGFAnimatedImage::sourceCounters() const {
    return imageSource_ ? imageSource_->counters() : cg::ImageSource::Counters{};
}

KVTRGFAnimatedImage::~KVTRGFAnimatedImage() {
    // Delayed calls live on the main run loop, where the image is freed.
    if (weakProxy_ && dispatch::isMainThread()) dispatch::cancelPreviousPerformRequests(weakProxy_.get());
}

// ---- Cache size ----

uint64_t KVTRGFAnimatedImage::frameCacheSizeCurrent() const {
    uint64_t size = frameCacheSizeOptimal_;
    if (frameCacheSizeMax_ > 0) size = std::min(size, frameCacheSizeMax_);
    if (frameCacheSizeMaxInternal_ > 0) size = std::min(size, frameCacheSizeMaxInternal_);
    return size;
}

void KVTRGFAnimatedImage::setFrameCacheSizeMax(uint64_t size) {
    if (size == frameCacheSizeMax_) return;
    bool shrinks = size < frameCacheSizeCurrent();
    frameCacheSizeMax_ = size;
    if (shrinks) purgeFrameCacheIfNeeded();
}

void KVTRGFAnimatedImage::setFrameCacheSizeMaxInternal(uint64_t size) {
    if (size == frameCacheSizeMaxInternal_) return;
    bool shrinks = size < frameCacheSizeCurrent();
    frameCacheSizeMaxInternal_ = size;
    if (shrinks) purgeFrameCacheIfNeeded();
}

// ---- Frames ----

ns::Ref<ui::Image> KVTRGFAnimatedImage::imageLazilyCachedAtIndex(uint64_t index) {
    if (index >= frameCount_) {
        log(KVTRGFLogLevel::Warn, [&] {
            return ns::format("Skipping requested frame %lu beyond bounds (total frame count: %lu) for animated image: %@",
                              index, frameCount_, description());
        });
        return nullptr;
    }
    requestedFrameIndex_ = index;
    if (cachedFrameIndexes_.size() < frameCount_) {
        std::set<uint64_t> toAdd;
        for (uint64_t i : frameIndexesToCache()) {
            if (!cachedFrameIndexes_.count(i) && !requestedFrameIndexes_.count(i) && i != posterImageFrameIndex_)
                toAdd.insert(i);
        }
        if (!toAdd.empty()) addFrameIndexesToCache(toAdd);
    }
    ns::Ref<ui::Image> image;
    if (auto found = cachedFramesForIndexes_.find(index); found != cachedFramesForIndexes_.end()) image = found->second;
    purgeFrameCacheIfNeeded();
    return image;
}

std::set<uint64_t> KVTRGFAnimatedImage::frameIndexesToCache() const {
    std::set<uint64_t> window;
    uint64_t size = frameCacheSizeCurrent();
    if (size == frameCount_) {
        for (uint64_t i = 0; i < frameCount_; ++i) window.insert(i);
        return window;
    }
    uint64_t first = std::min(size, frameCount_ - requestedFrameIndex_);
    for (uint64_t i = 0; i < first; ++i) window.insert(requestedFrameIndex_ + i);
    for (uint64_t i = 0; i < size - first; ++i) window.insert(i);
    if (window.size() != size) {
        log(KVTRGFLogLevel::Warn, [] { return std::string("Number of frames to cache doesn't equal expected cache size."); });
    }
    window.insert(posterImageFrameIndex_);
    return window;
}

void KVTRGFAnimatedImage::purgeFrameCacheIfNeeded() {
    if (cachedFrameIndexes_.size() <= frameCacheSizeCurrent()) return;
    auto window = frameIndexesToCache();
    for (auto it = cachedFrameIndexes_.begin(); it != cachedFrameIndexes_.end();) {
        if (window.count(*it)) {
            ++it;
            continue;
        }
        cachedFramesForIndexes_.erase(*it);
        it = cachedFrameIndexes_.erase(it);
    }
}

void KVTRGFAnimatedImage::addFrameIndexesToCache(const std::set<uint64_t>& indexes) {
    uint64_t r = requestedFrameIndex_;
    if ((frameCount_ - r) + r != frameCount_) {
        log(KVTRGFLogLevel::Warn, [] { return std::string("Two-part frame cache range doesn't equal full range."); });
    }
    requestedFrameIndexes_.insert(indexes.begin(), indexes.end());
    if (!serialQueue_) serialQueue_ = dispatch::Queue::serial(QueueLabel);
    // Playing order: from the requested frame to the end, then from the start.
    std::vector<uint64_t> order;
    for (uint64_t i : indexes)
        if (i >= r) order.push_back(i);
    for (uint64_t i : indexes)
        if (i < r) order.push_back(i);

    ns::Weak<KVTRGFAnimatedImage> weak = ref<KVTRGFAnimatedImage>();
    auto source = imageSource_;
    bool predraw = predrawingEnabled_;
    serialQueue_->async([weak, source, predraw, order = std::move(order)] {
        for (uint64_t index : order) {
            // Only the weak reference is looked at here, so the image is
            // never freed on this queue.
            if (weak.expired()) return;
            auto frame = imageAtIndex(*source, index, predraw);
            if (!frame) continue;
            dispatch::mainQueue()->async([weak, index, frame] {
                auto self = weak.lock();
                if (!self) return;
                self->cachedFramesForIndexes_[index] = frame;
                self->cachedFrameIndexes_.insert(index);
                self->requestedFrameIndexes_.erase(index);
            });
        }
    });
}

ns::Ref<ui::Image> KVTRGFAnimatedImage::imageAtIndex(cg::ImageSource& source, uint64_t index, bool predraw) {
    auto frame = source.createImageAtIndex(index);
    if (!frame) return nullptr;
    auto image = ui::Image::imageWithCGImage(frame);
    return predraw ? predrawnImageFromImage(image) : image;
}

// ---- Memory warnings ----

void KVTRGFAnimatedImage::didReceiveMemoryWarning(const ns::Ref<ns::Notification>&) {
    ++memoryWarningCount_;
    dispatch::cancelPreviousPerformRequests(weakProxy_.get(), GrowSelector);
    dispatch::cancelPreviousPerformRequests(weakProxy_.get(), ResetSelector);
    log(KVTRGFLogLevel::Debug, [&] {
        return ns::format("Attempt setting frame cache size max to %lu (previous was %lu) after memory warning #%lu for "
                          "animated image: %@",
                          CacheSizeLow, frameCacheSizeMaxInternal_, memoryWarningCount_, description());
    });
    setFrameCacheSizeMaxInternal(CacheSizeLow);
    if (memoryWarningCount_ - 1 <= MaximumGrowAttempts - 1) {
        auto proxy = weakProxy_;
        dispatch::performAfterDelay(proxy.get(), GrowSelector, GrowDelay, [proxy] {
            proxy->forward<KVTRGFAnimatedImage>(
                [](KVTRGFAnimatedImage& image) { image.growFrameCacheSizeAfterMemoryWarning(CacheSizeGrowAfterWarning); });
        });
    }
}

void KVTRGFAnimatedImage::growFrameCacheSizeAfterMemoryWarning(uint64_t size) {
    setFrameCacheSizeMaxInternal(size);
    log(KVTRGFLogLevel::Debug, [&] {
        return ns::format("Grew frame cache size max to %lu after memory warning for animated image: %@", size,
                          description());
    });
    auto proxy = weakProxy_;
    dispatch::performAfterDelay(proxy.get(), ResetSelector, ResetDelay, [proxy] {
        proxy->forward<KVTRGFAnimatedImage>([](KVTRGFAnimatedImage& image) { image.resetFrameCacheSizeMaxInternal(); });
    });
}

void KVTRGFAnimatedImage::resetFrameCacheSizeMaxInternal() {
    setFrameCacheSizeMaxInternal(0);
    log(KVTRGFLogLevel::Debug, [&] {
        return ns::format("Reset frame cache size max (current frame cache size: %lu) for animated image: %@",
                          frameCacheSizeCurrent(), description());
    });
}

// ---- Class helpers ----

cg::Size KVTRGFAnimatedImage::sizeForImage(const ns::Id& image) {
    if (!image) return {};
    if (auto plain = std::dynamic_pointer_cast<ui::Image>(image)) return plain->size();
    if (auto animated = std::dynamic_pointer_cast<KVTRGFAnimatedImage>(image)) return animated->size();
    log(KVTRGFLogLevel::Error, [&] {
        return ns::format("`image` isn't of expected types `UIImage` or `KVTRGFAnimatedImage`: %@", describe(image));
    });
    return {};
}

std::string KVTRGFAnimatedImage::description() const {
    return ns::Object::description() + ns::format(" size=%@ frameCount=%lu", cg::toString(size_), frameCount_);
}
