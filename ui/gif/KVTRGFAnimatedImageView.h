#pragma once
// An image view that plays a KVTRGFAnimatedImage: a display link, reaching
// the view through a weak proxy, moves a playhead by the time elapsed, asks
// the image for the frame at the playhead and shows it as the layer's
// contents. It plays only while visible (in a window, with a superview, not
// hidden, alpha above 0), counts loops and stops on the last frame after
// the image's loop count, there to stay until a new image is set. Without an
// animated image it is a plain image view.
//
// Main thread only.

#include <functional>
#include <limits>

#include "platform/dispatch/RunLoopMode.h"
#include "platform/uikit/DisplayLink.h"
#include "platform/uikit/ImageView.h"
#include "ui/gif/KVTRGFAnimatedImage.h"

class KVTRGFAnimatedImageView : public ui::ImageView {
    RT_DECLARE_CLASS(KVTRGFAnimatedImageView)
public:
    using LoopCompletionBlock = std::function<void(uint64_t loopCountRemaining)>;

    static constexpr double DisplayRefreshRate = 60;
    // Delays are counted in hundredths of a second (2 / 0.02).
    static constexpr double FrameDelayPrecision = 100;

    KVTRGFAnimatedImageView();
    explicit KVTRGFAnimatedImageView(const cg::Rect& frame);
    explicit KVTRGFAnimatedImageView(const ns::Ref<ui::Image>& image,
                                     const ns::Ref<ui::Image>& highlightedImage = nullptr);
    static ns::Ref<KVTRGFAnimatedImageView> make(const cg::Rect& frame = {});
    ~KVTRGFAnimatedImageView() override;

    const ns::Ref<KVTRGFAnimatedImage>& animatedImage() const { return animatedImage_; }
    void setAnimatedImage(const ns::Ref<KVTRGFAnimatedImage>& image);
    const LoopCompletionBlock& loopCompletionBlock() const { return loopCompletionBlock_; }
    void setLoopCompletionBlock(LoopCompletionBlock block) { loopCompletionBlock_ = std::move(block); }
    // Default or Common only; anything else stores the class default. Read
    // when the display link is made.
    dispatch::RunLoopMode runLoopMode() const { return runLoopMode_; }
    void setRunLoopMode(dispatch::RunLoopMode mode);
    // Common with two or more active processors, else Default.
    static dispatch::RunLoopMode defaultRunLoopMode();

    const ns::Ref<ui::Image>& currentFrame() const { return currentFrame_; }
    uint64_t currentFrameIndex() const { return currentFrameIndex_; }
    uint64_t loopCountdown() const { return loopCountdown_; }
    double accumulator() const { return accumulator_; }
    const ns::Ref<ui::DisplayLink>& displayLink() const { return displayLink_; }
    bool shouldAnimate() const { return shouldAnimate_; }

    // The frame on show while there is an animated image, else the plain image.
    ns::Ref<ui::Image> image() const;
    // A non-nil image takes the place of the animated image.
    void setImage(const ns::Ref<ui::Image>& image) override;
    cg::Size intrinsicContentSize() const override;
    void startAnimating() override;
    void stopAnimating() override;
    bool isAnimating() const override;
    void setHighlighted(bool highlighted) override;
    void didMoveToSuperview() override;
    void didMoveToWindow() override;
    void setAlpha(double alpha) override;
    void setHidden(bool hidden) override;
    bool displayLayer(ui::Layer& layer) override;

    // The display link's tick.
    void displayDidRefresh(ui::DisplayLink& link);
    // The largest step all frame delays are multiples of, in seconds.
    double frameDelayGreatestCommonDivisor() const;
    void updateShouldAnimate();

private:
    void commonInit();
    bool isVisible() const;
    void visibilityChanged();
    // The end of a pass: true when the countdown ran out and play stopped.
    bool finishLoop();
    // The loop countdown ran out; only a new image starts over.
    bool isFinished() const { return animatedImage_ && loopCountdown_ == 0; }

    ns::Ref<KVTRGFAnimatedImage> animatedImage_;
    LoopCompletionBlock loopCompletionBlock_;
    dispatch::RunLoopMode runLoopMode_ = dispatch::RunLoopMode::Default;
    ns::Ref<ui::Image> currentFrame_;
    uint64_t currentFrameIndex_ = 0;
    uint64_t loopCountdown_ = 0;
    double accumulator_ = 0;
    ns::Ref<ui::DisplayLink> displayLink_;
    bool shouldAnimate_ = false;
    bool needsDisplayWhenImageBecomesAvailable_ = false;
};
