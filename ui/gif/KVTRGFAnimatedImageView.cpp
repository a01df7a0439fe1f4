#include "ui/gif/KVTRGFAnimatedImageView.h"

#include <cmath>

#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/ProcessInfo.h"
#include "platform/uikit/Layer.h"
#include "platform/uikit/Window.h"
#include "ui/gif/KVTRFLWeakProxy.h"

RT_DEFINE_CLASS(KVTRGFAnimatedImageView, ui::ImageView, "KVTRGFAnimatedImageView")

namespace {

constexpr uint64_t LoopForever = std::numeric_limits<uint64_t>::max();

uint64_t greatestCommonDivisor(uint64_t a, uint64_t b) {
    if (a < b) std::swap(a, b);
    if (a == b) return b;
    while (b != 0) {
        uint64_t remainder = a % b;
        a = b;
        b = remainder;
    }
    return a;
}

}  // namespace

KVTRGFAnimatedImageView::KVTRGFAnimatedImageView() : KVTRGFAnimatedImageView(cg::Rect{}) {}

KVTRGFAnimatedImageView::KVTRGFAnimatedImageView(const cg::Rect& frame) : ui::ImageView(frame) { commonInit(); }

KVTRGFAnimatedImageView::KVTRGFAnimatedImageView(const ns::Ref<ui::Image>& image,
                                                 const ns::Ref<ui::Image>& highlightedImage)
    : ui::ImageView(image, highlightedImage) {
    commonInit();
}

ns::Ref<KVTRGFAnimatedImageView> KVTRGFAnimatedImageView::make(const cg::Rect& frame) {
    return std::make_shared<KVTRGFAnimatedImageView>(frame);
}

KVTRGFAnimatedImageView::~KVTRGFAnimatedImageView() {
    if (displayLink_) displayLink_->invalidate();
}

void KVTRGFAnimatedImageView::commonInit() {
    setRunLoopMode(defaultRunLoopMode());
    // Pictures keep their colours under a smart inversion.
    setAccessibilityIgnoresInvertColors(true);
}

dispatch::RunLoopMode KVTRGFAnimatedImageView::defaultRunLoopMode() {
    // Playing on while the user scrolls costs a core of its own.
    return ns::ProcessInfo::activeProcessorCount() > 1 ? dispatch::RunLoopMode::Common
                                                       : dispatch::RunLoopMode::Default;
}

void KVTRGFAnimatedImageView::setRunLoopMode(dispatch::RunLoopMode mode) {
    bool accepted = mode == dispatch::RunLoopMode::Default || mode == dispatch::RunLoopMode::Common;
    runLoopMode_ = accepted ? mode : defaultRunLoopMode();
}

// ---- The image ----

void KVTRGFAnimatedImageView::setAnimatedImage(const ns::Ref<KVTRGFAnimatedImage>& image) {
    if (image == animatedImage_) return;
    if (image) {
        if (ui::ImageView::image()) {
            ui::ImageView::setImage(image->posterImage());
            ui::ImageView::setImage(nullptr);
        }
        ui::ImageView::setHighlighted(false);
        invalidateIntrinsicContentSize();
    } else {
        stopAnimating();
    }
    animatedImage_ = image;
    currentFrame_ = image ? image->posterImage() : nullptr;
    currentFrameIndex_ = 0;
    loopCountdown_ = image && image->loopCount() > 0 ? image->loopCount() : LoopForever;
    accumulator_ = 0;
    updateShouldAnimate();
    if (shouldAnimate_) startAnimating();
    layer()->setNeedsDisplay();
}

ns::Ref<ui::Image> KVTRGFAnimatedImageView::image() const {
    return animatedImage_ ? currentFrame_ : ui::ImageView::image();
}

void KVTRGFAnimatedImageView::setImage(const ns::Ref<ui::Image>& image) {
    if (image) setAnimatedImage(nullptr);
    ui::ImageView::setImage(image);
}

cg::Size KVTRGFAnimatedImageView::intrinsicContentSize() const {
    cg::Size size = ui::ImageView::intrinsicContentSize();
    if (animatedImage_) size = KVTRGFAnimatedImage::sizeForImage(image());
    return size;
}

void KVTRGFAnimatedImageView::setHighlighted(bool highlighted) {
    if (!animatedImage_) ui::ImageView::setHighlighted(highlighted);
}

bool KVTRGFAnimatedImageView::displayLayer(ui::Layer& layer) {
    if (!animatedImage_) {
        // The plain image view's rule: its image, highlighted or tinted, or none.
        updateContents();
        return true;
    }
    auto shown = image();
    layer.setContents(shown ? shown->cgImage() : nullptr);
    return true;
}

// ---- Visibility ----

bool KVTRGFAnimatedImageView::isVisible() const {
    return window() && superview() && !isHidden() && alpha() > 0;
}

void KVTRGFAnimatedImageView::updateShouldAnimate() { shouldAnimate_ = animatedImage_ && isVisible(); }

void KVTRGFAnimatedImageView::visibilityChanged() {
    updateShouldAnimate();
    if (shouldAnimate_) startAnimating();
    else stopAnimating();
}

void KVTRGFAnimatedImageView::didMoveToSuperview() {
    ui::ImageView::didMoveToSuperview();
    visibilityChanged();
}

void KVTRGFAnimatedImageView::didMoveToWindow() {
    ui::ImageView::didMoveToWindow();
    visibilityChanged();
}

void KVTRGFAnimatedImageView::setAlpha(double alpha) {
    ui::ImageView::setAlpha(alpha);
    visibilityChanged();
}

void KVTRGFAnimatedImageView::setHidden(bool hidden) {
    ui::ImageView::setHidden(hidden);
    visibilityChanged();
}

// ---- Playing ----

void KVTRGFAnimatedImageView::startAnimating() {
    if (!animatedImage_) {
        ui::ImageView::startAnimating();
        return;
    }
    // A finished animation stays on its last frame until a new image is set.
    if (isFinished()) return;
    if (!displayLink_) {
        // The link holds the proxy, never the view.
        auto proxy = KVTRFLWeakProxy::weakProxyForObject(self());
        displayLink_ = ui::DisplayLink::make([proxy](ui::DisplayLink& link) {
            proxy->forward<KVTRGFAnimatedImageView>([&](KVTRGFAnimatedImageView& view) { view.displayDidRefresh(link); });
        });
        displayLink_->addToRunLoop(dispatch::RunLoop::main(), runLoopMode_);
    }
    double interval = std::max(frameDelayGreatestCommonDivisor() * DisplayRefreshRate, 1.0);
    displayLink_->setFrameInterval(int(interval));
    displayLink_->setPaused(false);
}

void KVTRGFAnimatedImageView::stopAnimating() {
    if (!animatedImage_) {
        ui::ImageView::stopAnimating();
        return;
    }
    if (displayLink_) displayLink_->setPaused(true);
}

bool KVTRGFAnimatedImageView::isAnimating() const {
    if (!animatedImage_) return ui::ImageView::isAnimating();
    return displayLink_ && !displayLink_->isPaused();
}

bool KVTRGFAnimatedImageView::finishLoop() {
    --loopCountdown_;
    if (loopCompletionBlock_) loopCompletionBlock_(loopCountdown_);
    if (loopCountdown_ == 0) {
        stopAnimating();
        return true;
    }
    currentFrameIndex_ = 0;
    return false;
}

void KVTRGFAnimatedImageView::displayDidRefresh(ui::DisplayLink& link) {
    if (isFinished()) {
        stopAnimating();
        return;
    }
    if (!shouldAnimate_) {
        KVTRGFAnimatedImage::logStringFromBlock(
            [&] { return ns::format("Trying to animate image when we shouldn't: %@", description()); },
            KVTRGFLogLevel::Warn);
        return;
    }
    const auto& delays = animatedImage_->delayTimesForIndexes();
    auto delay = delays.find(currentFrameIndex_);
    if (delay == delays.end()) {
        // A frame dropped at decoding: step over it without showing anything.
        ++currentFrameIndex_;
        if (currentFrameIndex_ == animatedImage_->frameCount()) finishLoop();
        return;
    }
    double d = double(float(delay->second));
    auto frame = animatedImage_->imageLazilyCachedAtIndex(currentFrameIndex_);
    if (!frame) {
        // The playhead waits for a slow decode rather than skipping frames.
        KVTRGFAnimatedImage::logStringFromBlock(
            [&] {
                return ns::format("Waiting for frame %lu for animated image: %@", currentFrameIndex_,
                                  animatedImage_->description());
            },
            KVTRGFLogLevel::Debug);
        return;
    }
    KVTRGFAnimatedImage::logStringFromBlock(
        [&] {
            return ns::format("Showing frame %lu for animated image: %@", currentFrameIndex_,
                              animatedImage_->description());
        },
        KVTRGFLogLevel::Verbose);
    currentFrame_ = frame;
    if (needsDisplayWhenImageBecomesAvailable_) {
        layer()->setNeedsDisplay();
        needsDisplayWhenImageBecomesAvailable_ = false;
    }
    accumulator_ += link.duration() * link.frameInterval();
    // Every step of a long tick uses the delay of the frame due at its start.
    while (accumulator_ >= d) {
        accumulator_ -= d;
        ++currentFrameIndex_;
        if (currentFrameIndex_ == animatedImage_->frameCount() && finishLoop()) return;
        needsDisplayWhenImageBecomesAvailable_ = true;
    }
}

double KVTRGFAnimatedImageView::frameDelayGreatestCommonDivisor() const {
    if (!animatedImage_) return 0;
    const auto& delays = animatedImage_->delayTimesForIndexes();
    // Without any delay (every frame failed) the link runs every frame and
    // the view shows nothing.
    if (delays.empty()) return 0;
    auto scaled = [](double delay) { return uint64_t(std::lround(double(float(delay)) * FrameDelayPrecision)); };
    uint64_t g = scaled(delays.begin()->second);
    for (const auto& [index, delay] : delays) g = greatestCommonDivisor(scaled(delay), g);
    return double(g) / FrameDelayPrecision;
}
