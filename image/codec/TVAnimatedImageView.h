#pragma once
// An image view that plays any TVAnimatedImage set as its image or
// highlighted image, frame by frame on a display link, while a width-1
// operation queue decodes the frames ahead into a buffer sized from the
// device's memory. A frame not decoded yet holds the one on screen (no
// frame is skipped); the buffer is trimmed on memory warnings and in the
// background. Animation images play as the platform plays them.
//
// Main thread only, but for the index setter (applied on the main thread)
// and the fetches on the request queue, which share the buffer under a lock
// and the growth and maximum counts as atomics.

#include <atomic>
#include <map>
#include <mutex>
#include <vector>

#include "image/codec/TVAnimatedImage.h"
#include "platform/dispatch/RunLoopMode.h"
#include "platform/foundation/Coding.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/uikit/DisplayLink.h"
#include "platform/uikit/ImageView.h"

enum TVAnimatedImageType : uint64_t {
    TVAnimatedImageTypeNone = 0,
    TVAnimatedImageTypeImage = 1,
    TVAnimatedImageTypeHighlightedImage = 2,
    TVAnimatedImageTypeImages = 3,
    TVAnimatedImageTypeHighlightedImages = 4,
};

class TVAnimatedImageView : public ui::ImageView, public ns::Coding {
    RT_DECLARE_CLASS(TVAnimatedImageView)
public:
    TVAnimatedImageView();
    explicit TVAnimatedImageView(const cg::Rect& frame);
    static ns::Ref<TVAnimatedImageView> make(const cg::Rect& frame = {});
    // Framed at the origin with the image's size (the highlighted one's
    // without an image), both images set.
    static ns::Ref<TVAnimatedImageView> withImage(const ns::Ref<ui::Image>& image,
                                                  const ns::Ref<ui::Image>& highlightedImage = nullptr);
    ~TVAnimatedImageView() override;

    // Start and stop with the view's presence in a window (default on).
    bool autoPlayAnimatedImage() const { return autoPlayAnimatedImage_; }
    void setAutoPlayAnimatedImage(bool on);
    // The frame on screen; observable ("currentAnimatedImageIndex"). Set
    // from any thread, it applies on the main thread.
    uint64_t currentAnimatedImageIndex() const { return curIndex_; }
    void setCurrentAnimatedImageIndex(uint64_t index);
    bool currentIsPlayingAnimation() const { return currentIsPlayingAnimation_; }
    // The main run loop mode of the display link (Common by default).
    dispatch::RunLoopMode runloopMode() const { return runloopMode_; }
    void setRunloopMode(dispatch::RunLoopMode mode);
    // Bytes the frame buffer may hold at most; 0 for no cap.
    uint64_t maxBufferSize() const { return maxBufferSize_.load(); }
    void setMaxBufferSize(uint64_t bytes) { maxBufferSize_ = bytes; }

    void setImage(const ns::Ref<ui::Image>& image) override;
    void setHighlightedImage(const ns::Ref<ui::Image>& image) override;
    void setAnimationImages(std::vector<ns::Ref<ui::Image>> images);
    const std::vector<ns::Ref<ui::Image>>& highlightedAnimationImages() const { return highlightedAnimationImages_; }
    void setHighlightedAnimationImages(std::vector<ns::Ref<ui::Image>> images);
    void setHighlighted(bool highlighted) override;
    void startAnimating() override;
    void stopAnimating() override;
    bool isAnimating() const override;
    bool displayLayer(ui::Layer& layer) override;
    void didMoveToWindow() override;
    void didMoveToSuperview() override;

    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;

    // What plays, for tests and the tick.
    const ns::Ref<ui::DisplayLink>& displayLink() const { return link_; }
    uint64_t maxBufferCount() const { return maxBufferCount_.load(); }
    int64_t incrementalBufferCount() const { return incrBufferCount_.load(); }
    std::vector<uint64_t> bufferedFrameIndexes() const;
    const ns::Ref<ui::Image>& currentFrame() const { return curFrame_; }
    // The display link's tick.
    void step(ui::DisplayLink& link);
    // The frames a buffer of the device's memory (or maxBufferSize) holds
    // for frames of `bytesPerFrame`: 1 to 512.
    uint64_t bufferCountForFrameBytes(uint64_t bytesPerFrame) const;

private:
    friend class _TVAnimatedImageViewFetchOperation;

    void setImageWithType(const ns::Ref<ui::Image>& image, TVAnimatedImageType type);
    void imageChanged();
    TVAnimatedImageType currentType() const;
    ns::Ref<ui::Image> imageForType(TVAnimatedImageType type) const;
    void resetAnimated();
    void calcMaxBufferCount(uint64_t bytesPerFrame);
    void applyAutoPlay();
    void changeIndex(uint64_t index);
    void setContentsRect(const cg::Rect& rect, const ui::Image* image);
    void didReceiveMemoryWarning();
    void didEnterBackground();
    // Drops every buffered frame but `keep`.
    void trimBufferTo(uint64_t keep);
    TVAnimatedImage* playing() const { return TVAnimatedImageOf(curAnimatedImage_.get()); }

    bool autoPlayAnimatedImage_ = true;
    bool currentIsPlayingAnimation_ = false;
    dispatch::RunLoopMode runloopMode_ = dispatch::RunLoopMode::Common;
    std::atomic<uint64_t> maxBufferSize_{0};  // read by the fetches too
    std::vector<ns::Ref<ui::Image>> highlightedAnimationImages_;

    ns::Ref<ui::Image> curAnimatedImage_;
    ns::Ref<ui::Image> curFrame_;
    uint64_t curIndex_ = 0;
    uint64_t totalFrameCount_ = 1;
    uint64_t curLoop_ = 0;
    uint64_t totalLoop_ = 0;
    bool loopEnd_ = false;
    double time_ = 0;
    bool bufferMiss_ = false;
    // Shared with the fetches on the request queue.
    std::atomic<uint64_t> maxBufferCount_{0};
    std::atomic<int64_t> incrBufferCount_{0};
    mutable std::mutex lock_;
    // Frame index -> decoded frame; nil for a frame that failed to decode.
    std::map<uint64_t, ns::Ref<ui::Image>> buffer_;
    ns::Ref<ns::OperationQueue> requestQueue_;
    ns::Ref<ui::DisplayLink> link_;
    bool curImageHasContentsRect_ = false;
    cg::Rect curContentsRect_;
    bool observing_ = false;
};
