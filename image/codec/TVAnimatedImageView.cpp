#include "image/codec/TVAnimatedImageView.h"

#include <algorithm>
#include <random>

#include "image/codec/TVImageWeakProxy.h"
#include "image/codec/TVSpriteSheetImage.h"
#include "image/codec/UIImage+TVImageCoder.h"
#include "platform/dispatch/MainThread.h"
#include "platform/dispatch/Queue.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/ProcessInfo.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/KeyValueObserving.h"
#include "platform/uikit/Layer.h"
#include "platform/uikit/Transaction.h"

RT_DEFINE_CLASS(TVAnimatedImageView, ui::ImageView, "TVAnimatedImageView")

// Decodes frames ahead of the one on screen into the view's buffer, on the
// view's request queue. It holds the view weakly and the image strongly.
class _TVAnimatedImageViewFetchOperation : public ns::Operation {
    RT_DECLARE_CLASS(_TVAnimatedImageViewFetchOperation)
public:
    ns::Weak<TVAnimatedImageView> view;
    uint64_t nextIndex = 0;
    ns::Ref<ui::Image> curImage;

    void main() override;
};

RT_DEFINE_CLASS(_TVAnimatedImageViewFetchOperation, ns::Operation, "_TVAnimatedImageViewFetchOperation")

namespace {

constexpr const char* IndexKey = "currentAnimatedImageIndex";
constexpr int64_t MinimumBufferBytes = 10 * 1024 * 1024;
constexpr uint64_t MaximumBufferFrames = 512;
constexpr uint64_t UnknownFrameBytes = 1024;

// The last strong reference to a view must go on the main thread, where
// its display link lives.
void releaseOnMain(ns::Ref<TVAnimatedImageView>& view) {
    if (!view) return;
    if (dispatch::isMainThread()) {
        view.reset();
        return;
    }
    dispatch::async(dispatch::mainQueue(), [held = std::move(view)] {});
}

const char* modeName(dispatch::RunLoopMode mode) {
    switch (mode) {
    case dispatch::RunLoopMode::Default: return "kCFRunLoopDefaultMode";
    case dispatch::RunLoopMode::Tracking: return "UITrackingRunLoopMode";
    case dispatch::RunLoopMode::Common: break;
    }
    return "NSRunLoopCommonModes";
}

dispatch::RunLoopMode modeNamed(const std::string& name) {
    if (name == "kCFRunLoopDefaultMode") return dispatch::RunLoopMode::Default;
    if (name == "UITrackingRunLoopMode") return dispatch::RunLoopMode::Tracking;
    return dispatch::RunLoopMode::Common;
}

}  // namespace

void _TVAnimatedImageViewFetchOperation::main() {
    auto strong = view.lock();
    if (!strong || isCancelled()) return;
    TVAnimatedImage* image = TVAnimatedImageOf(curImage.get());
    if (!image) return releaseOnMain(strong);
    int64_t incr = ++strong->incrBufferCount_;
    if (incr == 0) strong->calcMaxBufferCount(image->animatedImageBytesPerFrame());
    int64_t max = int64_t(strong->maxBufferCount_.load());
    if (incr > max) {
        incr = max;
        strong->incrBufferCount_ = max;
    }
    uint64_t total = image->animatedImageFrameCount();
    int64_t count = std::max<int64_t>(incr, 1);
    for (int64_t i = 0; i < count && total > 0; ++i) {
        uint64_t index = (nextIndex + uint64_t(i)) % total;
        if (isCancelled()) break;
        bool missing;
        {
            std::lock_guard<std::mutex> hold(strong->lock_);
            missing = !strong->buffer_.count(index);
        }
        if (!missing) continue;
        auto frame = TV_imageByDecoded(image->animatedImageFrameAtIndex(index));
        if (isCancelled()) break;
        std::lock_guard<std::mutex> hold(strong->lock_);
        strong->buffer_[index] = frame;
    }
    releaseOnMain(strong);
}

// ---- Life ----

TVAnimatedImageView::TVAnimatedImageView() : TVAnimatedImageView(cg::Rect{}) {}

TVAnimatedImageView::TVAnimatedImageView(const cg::Rect& frame) : ui::ImageView(frame) {}

ns::Ref<TVAnimatedImageView> TVAnimatedImageView::withImage(const ns::Ref<ui::Image>& image,
                                                           const ns::Ref<ui::Image>& highlightedImage) {
    const ns::Ref<ui::Image>& sizing = image ? image : highlightedImage;
    cg::Size size = sizing ? sizing->size() : cg::Size{};
    auto view = make({0, 0, size.width, size.height});
    if (image) view->setImage(image);
    if (highlightedImage) view->setHighlightedImage(highlightedImage);
    return view;
}

ns::Ref<TVAnimatedImageView> TVAnimatedImageView::make(const cg::Rect& frame) {
    return std::make_shared<TVAnimatedImageView>(frame);
}

TVAnimatedImageView::~TVAnimatedImageView() {
    if (requestQueue_) requestQueue_->cancelAllOperations();
    if (observing_) ns::NotificationCenter::defaultCenter()->removeObserver(this);
    if (link_) link_->invalidate();
}

// ---- Images ----

void TVAnimatedImageView::setImage(const ns::Ref<ui::Image>& image) {
    if (image == ui::ImageView::image()) return;
    setImageWithType(image, TVAnimatedImageTypeImage);
}

void TVAnimatedImageView::setHighlightedImage(const ns::Ref<ui::Image>& image) {
    if (image == ui::ImageView::highlightedImage()) return;
    setImageWithType(image, TVAnimatedImageTypeHighlightedImage);
}

void TVAnimatedImageView::setAnimationImages(std::vector<ns::Ref<ui::Image>> images) {
    if (images == animationImages()) return;
    stopAnimating();
    if (link_) resetAnimated();
    curFrame_ = nullptr;
    ui::ImageView::setAnimationImages(std::move(images));
    imageChanged();
}

void TVAnimatedImageView::setHighlightedAnimationImages(std::vector<ns::Ref<ui::Image>> images) {
    if (images == highlightedAnimationImages_) return;
    stopAnimating();
    if (link_) resetAnimated();
    curFrame_ = nullptr;
    highlightedAnimationImages_ = std::move(images);
    imageChanged();
}

void TVAnimatedImageView::setImageWithType(const ns::Ref<ui::Image>& image, TVAnimatedImageType type) {
    stopAnimating();
    if (link_) resetAnimated();
    curFrame_ = nullptr;
    if (type == TVAnimatedImageTypeImage) ui::ImageView::setImage(image);
    else ui::ImageView::setHighlightedImage(image);
    imageChanged();
}

void TVAnimatedImageView::setHighlighted(bool highlighted) {
    ui::ImageView::setHighlighted(highlighted);
    if (link_) resetAnimated();
    imageChanged();
}

TVAnimatedImageType TVAnimatedImageView::currentType() const {
    if (isHighlighted()) {
        if (!highlightedAnimationImages_.empty()) return TVAnimatedImageTypeHighlightedImages;
        if (highlightedImage()) return TVAnimatedImageTypeHighlightedImage;
    }
    if (!animationImages().empty()) return TVAnimatedImageTypeImages;
    if (image()) return TVAnimatedImageTypeImage;
    return TVAnimatedImageTypeNone;
}

ns::Ref<ui::Image> TVAnimatedImageView::imageForType(TVAnimatedImageType type) const {
    // Animation images are a list, not an animated image: they play as the
    // platform plays them.
    if (type == TVAnimatedImageTypeImage) return image();
    if (type == TVAnimatedImageTypeHighlightedImage) return highlightedImage();
    return nullptr;
}

void TVAnimatedImageView::imageChanged() {
    ns::Ref<ui::Image> shown = imageForType(currentType());
    TVAnimatedImage* animated = TVAnimatedImageOf(shown.get());
    uint64_t frames = animated ? animated->animatedImageFrameCount() : 0;
    if (frames > 1 && animated->respondsToAnimatedImageContentsRect()) {
        curImageHasContentsRect_ = true;
        setContentsRect(animated->animatedImageContentsRectAtIndex(0), shown.get());
    } else {
        curImageHasContentsRect_ = false;
        if (layer()->contentsRect() != cg::Rect{0, 0, 1, 1}) {
            ui::Transaction::begin();
            ui::Transaction::setDisableActions(true);
            layer()->setContentsRect({0, 0, 1, 1});
            ui::Transaction::commit();
        }
    }
    if (frames > 1) {
        resetAnimated();
        curAnimatedImage_ = shown;
        curFrame_ = shown;
        totalLoop_ = animated->animatedImageLoopCount();
        totalFrameCount_ = frames;
        calcMaxBufferCount(animated->animatedImageBytesPerFrame());
    }
    layer()->setNeedsDisplay();
    applyAutoPlay();
}

// ---- Resetting and the buffer's size ----

void TVAnimatedImageView::resetAnimated() {
    if (!link_) {
        requestQueue_ = std::make_shared<ns::OperationQueue>();
        requestQueue_->setMaxConcurrentOperationCount(1);
        auto proxy = _TVImageWeakProxy::proxyWithTarget(self());
        link_ = ui::DisplayLink::make([proxy](ui::DisplayLink& link) {
            if (auto view = ns::cast<TVAnimatedImageView>(proxy->target())) view->step(link);
        });
        link_->addToRunLoop(dispatch::RunLoop::main(), runloopMode_);
        link_->setPaused(true);
        auto weak = ns::Weak<TVAnimatedImageView>(ns::cast<TVAnimatedImageView>(self()));
        auto center = ns::NotificationCenter::defaultCenter();
        center->addObserver(this, ui::ApplicationDidReceiveMemoryWarningNotification, nullptr,
                            [weak](const ns::Ref<ns::Notification>&) {
                                if (auto view = weak.lock()) view->didReceiveMemoryWarning();
                            });
        center->addObserver(this, ui::ApplicationDidEnterBackgroundNotification, nullptr,
                            [weak](const ns::Ref<ns::Notification>&) {
                                if (auto view = weak.lock()) view->didEnterBackground();
                            });
        observing_ = true;
    }
    requestQueue_->cancelAllOperations();
    std::map<uint64_t, ns::Ref<ui::Image>> old;
    {
        std::lock_guard<std::mutex> hold(lock_);
        old.swap(buffer_);
    }
    if (!old.empty()) {
        // The frames are let go off the main thread.
        dispatch::async(dispatch::globalQueue(dispatch::QueuePriority::Low), [frames = std::move(old)] {});
    }
    link_->setPaused(true);
    time_ = 0;
    if (curIndex_ != 0) changeIndex(0);
    curAnimatedImage_ = nullptr;
    curFrame_ = nullptr;
    curLoop_ = 0;
    totalLoop_ = 0;
    totalFrameCount_ = 1;
    loopEnd_ = false;
    bufferMiss_ = false;
    incrBufferCount_ = 0;
}

uint64_t TVAnimatedImageView::bufferCountForFrameBytes(uint64_t bytesPerFrame) const {
    int64_t total = int64_t(ns::ProcessInfo::physicalMemory());
    if (total < 0) total = -1;
    int64_t free = ns::ProcessInfo::freeMemory();
    auto budget = int64_t(std::min(double(total) * 0.2, double(free) * 0.6));
    budget = std::max(budget, MinimumBufferBytes);
    uint64_t cap = maxBufferSize_.load();
    if (cap > 0 && uint64_t(budget) > cap) budget = int64_t(std::min<uint64_t>(cap, INT64_MAX));
    uint64_t frames = uint64_t(budget) / (bytesPerFrame ? bytesPerFrame : UnknownFrameBytes);
    return std::clamp<uint64_t>(frames, 1, MaximumBufferFrames);
}

void TVAnimatedImageView::calcMaxBufferCount(uint64_t bytesPerFrame) {
    maxBufferCount_ = bufferCountForFrameBytes(bytesPerFrame);
}

std::vector<uint64_t> TVAnimatedImageView::bufferedFrameIndexes() const {
    std::lock_guard<std::mutex> hold(lock_);
    std::vector<uint64_t> indexes;
    for (const auto& entry : buffer_) indexes.push_back(entry.first);
    return indexes;
}

// ---- Playing ----

void TVAnimatedImageView::step(ui::DisplayLink& link) {
    TVAnimatedImage* image = playing();
    if (!image) return;
    if (loopEnd_) {
        stopAnimating();
        return;
    }
    uint64_t nextIndex = (curIndex_ + 1) % totalFrameCount_;
    if (!bufferMiss_) {
        time_ += link.duration();
        double delay = image->animatedImageDurationAtIndex(curIndex_);
        if (time_ < delay) return;
        time_ -= delay;
        if (nextIndex == 0) {
            ++curLoop_;
            if (totalLoop_ != 0 && curLoop_ >= totalLoop_) {
                loopEnd_ = true;
                stopAnimating();
                layer()->setNeedsDisplay();
                return;
            }
        }
        // A slow tick shows the next frame for its whole duration rather
        // than skipping it.
        delay = image->animatedImageDurationAtIndex(nextIndex);
        if (time_ > delay) time_ = delay;
    }

    bool bufferIsFull = false;
    bool found = false;
    ns::Ref<ui::Image> frame;
    {
        std::lock_guard<std::mutex> hold(lock_);
        auto entry = buffer_.find(nextIndex);
        if (entry != buffer_.end()) {
            found = true;
            frame = entry->second;
            // Frames are consumed unless the whole animation fits (or a
            // memory warning has the count below zero).
            auto incr = int32_t(incrBufferCount_.load());
            if (incr >= 0 && uint64_t(incr) < totalFrameCount_) buffer_.erase(entry);
            bufferIsFull = buffer_.size() == totalFrameCount_;
        }
    }
    if (found) {
        changeIndex(nextIndex);
        curFrame_ = frame;
        if (curImageHasContentsRect_) {
            curContentsRect_ = image->animatedImageContentsRectAtIndex(curIndex_);
            setContentsRect(curContentsRect_, curFrame_ ? curFrame_.get() : curAnimatedImage_.get());
        }
        bufferMiss_ = false;
    } else {
        bufferMiss_ = true;
    }
    if (!bufferMiss_) layer()->setNeedsDisplay();

    if (!bufferIsFull && requestQueue_->operationCount() == 0) {
        auto operation = std::make_shared<_TVAnimatedImageViewFetchOperation>();
        operation->view = ns::cast<TVAnimatedImageView>(self());
        operation->nextIndex = bufferMiss_ ? nextIndex : (curIndex_ + 1) % totalFrameCount_;
        operation->curImage = curAnimatedImage_;
        requestQueue_->addOperation(operation);
    }
}

void TVAnimatedImageView::startAnimating() {
    TVAnimatedImageType type = currentType();
    if (type == TVAnimatedImageTypeImages || type == TVAnimatedImageTypeHighlightedImages) {
        const auto& images = type == TVAnimatedImageTypeImages ? animationImages() : highlightedAnimationImages_;
        if (!images.empty()) {
            ui::ImageView::startAnimating();
            currentIsPlayingAnimation_ = true;
        }
        return;
    }
    if (curAnimatedImage_ && link_ && link_->isPaused()) {
        curLoop_ = 0;
        loopEnd_ = false;
        link_->setPaused(false);
        currentIsPlayingAnimation_ = true;
    }
}

void TVAnimatedImageView::stopAnimating() {
    ui::ImageView::stopAnimating();
    if (requestQueue_) requestQueue_->cancelAllOperations();
    if (link_) link_->setPaused(true);
    currentIsPlayingAnimation_ = false;
}

bool TVAnimatedImageView::isAnimating() const { return currentIsPlayingAnimation_; }

void TVAnimatedImageView::setAutoPlayAnimatedImage(bool on) {
    autoPlayAnimatedImage_ = on;
    applyAutoPlay();
}

void TVAnimatedImageView::applyAutoPlay() {
    if (!autoPlayAnimatedImage_) return;
    if (superview() && window()) startAnimating();
    else stopAnimating();
}

void TVAnimatedImageView::didMoveToWindow() {
    ui::ImageView::didMoveToWindow();
    applyAutoPlay();
}

void TVAnimatedImageView::didMoveToSuperview() {
    ui::ImageView::didMoveToSuperview();
    applyAutoPlay();
}

bool TVAnimatedImageView::displayLayer(ui::Layer& layer) {
    // A frame that failed leaves the one before on screen; without an
    // animated image the image view has set the contents already.
    if (curFrame_ && curFrame_->cgImage()) layer.setContents(curFrame_->cgImage());
    return true;
}

// ---- The index ----

void TVAnimatedImageView::changeIndex(uint64_t index) {
    if (index == curIndex_) return;
    auto old = ns::Number::withUnsignedLongLong(curIndex_);
    curIndex_ = index;
    ns::didChangeValue(*this, IndexKey, old, ns::Number::withUnsignedLongLong(index));
}

void TVAnimatedImageView::setCurrentAnimatedImageIndex(uint64_t index) {
    auto apply = [this, index] {
        TVAnimatedImage* image = playing();
        if (!image || index >= image->animatedImageFrameCount() || index == curIndex_) return;
        requestQueue_->cancelAllOperations();
        {
            std::lock_guard<std::mutex> hold(lock_);
            buffer_.clear();
        }
        changeIndex(index);
        curFrame_ = image->animatedImageFrameAtIndex(index);
        if (curImageHasContentsRect_) {
            curContentsRect_ = image->animatedImageContentsRectAtIndex(index);
            setContentsRect(curContentsRect_, curAnimatedImage_.get());
        }
        time_ = 0;
        loopEnd_ = false;
        bufferMiss_ = false;
        layer()->setNeedsDisplay();
    };
    if (dispatch::isMainThread()) return apply();
    auto self = ns::cast<TVAnimatedImageView>(this->self());
    dispatch::async(dispatch::mainQueue(), [self, index] { self->setCurrentAnimatedImageIndex(index); });
}

void TVAnimatedImageView::setContentsRect(const cg::Rect& rect, const ui::Image* image) {
    cg::Rect unit{0, 0, 1, 1};
    if (image) unit = TVUnitContentsRect(rect, image->size());
    ui::Transaction::begin();
    ui::Transaction::setDisableActions(true);
    layer()->setContentsRect(unit);
    ui::Transaction::commit();
}

// ---- Memory ----

void TVAnimatedImageView::trimBufferTo(uint64_t keep) {
    std::lock_guard<std::mutex> hold(lock_);
    for (auto it = buffer_.begin(); it != buffer_.end();) {
        if (it->first == keep) ++it;
        else it = buffer_.erase(it);
    }
}

void TVAnimatedImageView::didReceiveMemoryWarning() {
    requestQueue_->cancelAllOperations();
    uint64_t next = (curIndex_ + 1) % totalFrameCount_;
    auto weak = ns::Weak<TVAnimatedImageView>(ns::cast<TVAnimatedImageView>(self()));
    requestQueue_->addOperationWithBlock([weak, next] {
        auto view = weak.lock();
        if (!view) return;
        // Some 60 to 179 fetches of one frame each before the buffer's
        // size is worked out again.
        view->incrBufferCount_ = -60 - int64_t(std::random_device{}() % 120);
        view->trimBufferTo(next);
        releaseOnMain(view);
    });
}

void TVAnimatedImageView::didEnterBackground() {
    requestQueue_->cancelAllOperations();
    trimBufferTo((curIndex_ + 1) % totalFrameCount_);
}

// ---- Run-loop mode ----

void TVAnimatedImageView::setRunloopMode(dispatch::RunLoopMode mode) {
    if (mode == runloopMode_) return;
    if (link_) {
        link_->removeFromRunLoop(dispatch::RunLoop::main(), runloopMode_);
        link_->addToRunLoop(dispatch::RunLoop::main(), mode);
    }
    runloopMode_ = mode;
}

// ---- Coding ----

namespace {
constexpr const char* ModeKey = "runloopMode";
constexpr const char* AutoPlayKey = "autoPlayAnimatedImage";
constexpr const char* ImageKey = "TVAnimatedImage";
constexpr const char* HighlightedImageKey = "TVHighlightedAnimatedImage";

bool isAnimatedImage(const ns::Ref<ui::Image>& image) {
    TVAnimatedImage* animated = TVAnimatedImageOf(image.get());
    return animated && animated->animatedImageFrameCount() >= 2;
}
}  // namespace

void TVAnimatedImageView::encodeWithCoder(ns::KeyedArchiver& coder) const {
    coder.encodeObject(ns::String::make(modeName(runloopMode_)), ModeKey);
    coder.encodeBool(autoPlayAnimatedImage_, AutoPlayKey);
    if (isAnimatedImage(image())) coder.encodeObject(image(), ImageKey);
    if (isAnimatedImage(highlightedImage())) coder.encodeObject(highlightedImage(), HighlightedImageKey);
}

bool TVAnimatedImageView::initWithCoder(ns::KeyedUnarchiver& coder) {
    auto mode = coder.decodeObjectOfClass<ns::String>(ModeKey);
    runloopMode_ = mode && !mode->utf8().empty() ? modeNamed(mode->utf8()) : dispatch::RunLoopMode::Common;
    autoPlayAnimatedImage_ = coder.containsValueForKey(AutoPlayKey) ? coder.decodeBoolForKey(AutoPlayKey) : true;
    auto image = ns::cast<ui::Image>(coder.decodeObjectForKey(ImageKey));
    auto highlighted = ns::cast<ui::Image>(coder.decodeObjectForKey(HighlightedImageKey));
    if (image) setImage(image);
    if (highlighted) setHighlightedImage(highlighted);
    return true;
}
