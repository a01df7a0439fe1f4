#pragma once
// An animated GIF held as its data: delays and loop count are read up
// front, frames are decoded on demand on a serial queue of the image's own
// ("com.kvtrgif.framecachingqueue") into a bounded cache kept just ahead of
// the frame being played. The cache size comes from the predicted decoded
// size of the whole animation; a memory warning shrinks it to one frame at
// once and it grows back in steps (2 frames after 2 s, no cap 3 s later),
// for the first three warnings.
//
// Everything but decoding runs on the main thread. Delayed self-calls go
// through a weak proxy, so they never extend the image's life.

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "platform/foundation/Data.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/ImageSource.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/Image.h"
#include "ui/gif/KVTRFLWeakProxy.h"

namespace dispatch {
class Queue;
}
namespace ns {
class Notification;
}

// Log levels of the GIF classes.
enum class KVTRGFLogLevel : uint64_t { None = 0, Error = 1, Warn = 2, Info = 3, Debug = 4, Verbose = 5 };

class KVTRGFAnimatedImage : public ns::Object {
    RT_DECLARE_CLASS(KVTRGFAnimatedImage)
public:
    using LogBlock = std::function<void(const std::string& text, KVTRGFLogLevel level)>;

    static constexpr double DefaultFrameDelay = 0.1;
    static constexpr double MinimumFrameDelay = 0.02;
    static constexpr double GrowDelay = 2.0;
    static constexpr double ResetDelay = 3.0;

    // Nil when the data is missing, no GIF or has no image.
    static ns::Ref<KVTRGFAnimatedImage> animatedImageWithGIFData(const ns::Ref<ns::Data>& data);
    static ns::Ref<KVTRGFAnimatedImage> initWithAnimatedGIFData(const ns::Ref<ns::Data>& data);
    // optimalFrameCacheSize 0 chooses the size from the predicted decoded size.
    static ns::Ref<KVTRGFAnimatedImage> initWithAnimatedGIFData(const ns::Ref<ns::Data>& data,
                                                                uint64_t optimalFrameCacheSize,
                                                                bool predrawingEnabled);
    // Without data there is no image: logs how to make one, nil.
    static ns::Ref<KVTRGFAnimatedImage> init();
    ~KVTRGFAnimatedImage() override;

    const ns::Ref<ui::Image>& posterImage() const { return posterImage_; }
    cg::Size size() const { return size_; }
    uint64_t loopCount() const { return loopCount_; }
    // Frame index to delay in seconds, for every frame that could be decoded.
    const std::map<uint64_t, double>& delayTimesForIndexes() const { return delayTimesForIndexes_; }
    // The frames played, those that could not be decoded included: every
    // frame of the file, up to as many as a file's budget holds pictures.
    uint64_t frameCount() const { return frameCount_; }
    uint64_t frameCacheSizeCurrent() const;
    uint64_t frameCacheSizeMax() const { return frameCacheSizeMax_; }
    // 0: no cap. A cap below the current size purges at once.
    void setFrameCacheSizeMax(uint64_t size);
    const ns::Ref<ns::Data>& data() const { return data_; }
    uint64_t frameCacheSizeOptimal() const { return frameCacheSizeOptimal_; }
    bool isPredrawingEnabled() const { return predrawingEnabled_; }

    // The frame when cached, else nil; either way decoding of the frames
    // ahead is scheduled. Main thread.
    ns::Ref<ui::Image> imageLazilyCachedAtIndex(uint64_t index);

    static cg::Size sizeForImage(const ns::Id& image);
    static ns::Ref<ui::Image> predrawnImageFromImage(const ns::Ref<ui::Image>& image);

    static void setLogBlock(LogBlock block, KVTRGFLogLevel level);
    // Builds the text only when it will be logged.
    static void logStringFromBlock(const std::function<std::string()>& text, KVTRGFLogLevel level);

    std::string description() const override;

    // ---- Seen by tests ----
    uint64_t requestedFrameIndex() const { return requestedFrameIndex_; }
    uint64_t posterImageFrameIndex() const { return posterImageFrameIndex_; }
    const std::set<uint64_t>& cachedFrameIndexes() const { return cachedFrameIndexes_; }
    uint64_t frameCacheSizeMaxInternal() const { return frameCacheSizeMaxInternal_; }
    uint64_t memoryWarningCount() const { return memoryWarningCount_; }
    const ns::Ref<KVTRFLWeakProxy>& weakProxy() const { return weakProxy_; }
    // What its source has decoded and charged so far.
    cg::ImageSource::Counters sourceCounters() const;

    // ---- Internal operations, named as the delayed calls address them ----
    void didReceiveMemoryWarning(const ns::Ref<ns::Notification>& notification);
    void growFrameCacheSizeAfterMemoryWarning(uint64_t size);
    void resetFrameCacheSizeMaxInternal();

    KVTRGFAnimatedImage() = default;

private:
    bool setUp(const ns::Ref<ns::Data>& data, uint64_t optimalFrameCacheSize, bool predrawingEnabled);
    void setFrameCacheSizeMaxInternal(uint64_t size);
    std::set<uint64_t> frameIndexesToCache() const;
    void addFrameIndexesToCache(const std::set<uint64_t>& indexes);
    void purgeFrameCacheIfNeeded();
    static ns::Ref<ui::Image> imageAtIndex(cg::ImageSource& source, uint64_t index, bool predraw);

    ns::Ref<ui::Image> posterImage_;
    cg::Size size_;
    uint64_t loopCount_ = 0;
    std::map<uint64_t, double> delayTimesForIndexes_;
    uint64_t frameCount_ = 0;
    uint64_t frameCacheSizeMax_ = 0;
    ns::Ref<ns::Data> data_;
    uint64_t frameCacheSizeOptimal_ = 0;
    bool predrawingEnabled_ = false;

    uint64_t frameCacheSizeMaxInternal_ = 0;
    uint64_t requestedFrameIndex_ = 0;
    uint64_t posterImageFrameIndex_ = 0;
    std::map<uint64_t, ns::Ref<ui::Image>> cachedFramesForIndexes_;
    std::set<uint64_t> cachedFrameIndexes_;
    std::set<uint64_t> requestedFrameIndexes_;
    uint64_t memoryWarningCount_ = 0;
    std::shared_ptr<dispatch::Queue> serialQueue_;
    // Shared with the decoding queue's blocks, which outlive no image they
    // deliver to but may still be queued when it goes.
    std::shared_ptr<cg::ImageSource> imageSource_;
    ns::Ref<KVTRFLWeakProxy> weakProxy_;
};
