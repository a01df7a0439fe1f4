#include "platform/uikit/DisplayLink.h"

#include <cmath>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/RunLoopTimer.h"
#include "platform/runtime/Exception.h"

namespace ui {

RT_DEFINE_CLASS(DisplayLink, ns::Object, "CADisplayLink")

DisplayLink::~DisplayLink() { stopTimer(); }

double DisplayLink::interval() const {
    if (frameInterval_ > 1) return frameInterval_ / MaximumFramesPerSecond;
    int fps = preferredFramesPerSecond_;
    if (fps <= 0 || fps >= MaximumFramesPerSecond) return 1.0 / MaximumFramesPerSecond;
    // Every n-th frame of the 60 Hz grid.
    int every = int(std::lround(MaximumFramesPerSecond / fps));
    return every / MaximumFramesPerSecond;
}

void DisplayLink::addToRunLoop(dispatch::RunLoop& loop, dispatch::RunLoopMode mode) {
    if (!valid_) return;
    if (loop_ && loop_ != &loop) {
        ns::Exception::raise(ns::InvalidArgumentException, "addToRunLoop: the display link is already on another run loop");
    }
    loop_ = &loop;
    modes_ |= static_cast<unsigned>(mode);
    restart();
}

void DisplayLink::removeFromRunLoop(dispatch::RunLoop& loop, dispatch::RunLoopMode mode) {
    if (loop_ != &loop) return;
    modes_ &= ~static_cast<unsigned>(mode);
    if (modes_ == 0) loop_ = nullptr;
    restart();
}

void DisplayLink::invalidate() {
    valid_ = false;
    stopTimer();
    loop_ = nullptr;
    modes_ = 0;
    callback_ = nullptr;
}

void DisplayLink::setPaused(bool paused) {
    if (paused_ == paused) return;
    paused_ = paused;
    restart();
}

void DisplayLink::setPreferredFramesPerSecond(int fps) {
    preferredFramesPerSecond_ = fps < 0 ? 0 : fps;
    if (timer_) restart();
}

void DisplayLink::setFrameInterval(int interval) {
    frameInterval_ = interval < 1 ? 1 : interval;
    if (timer_) restart();
}

void DisplayLink::stopTimer() {
    if (timer_) timer_->invalidate();
    timer_.reset();
}

void DisplayLink::restart() {
    stopTimer();
    if (!valid_ || paused_ || !loop_ || modes_ == 0) return;
    ns::Weak<DisplayLink> weak = ref<DisplayLink>();
    double step = interval();
    targetTimestamp_ = dispatch::now() + step;
    timer_ = dispatch::RunLoopTimer::create(step, true, [weak](dispatch::RunLoopTimer&) {
        if (auto self = weak.lock()) self->tick();
    });
    // The modes as the run loop knows them: Common stands for both.
    unsigned remaining = modes_;
    for (auto mode : {dispatch::RunLoopMode::Common, dispatch::RunLoopMode::Default, dispatch::RunLoopMode::Tracking}) {
        unsigned bits = static_cast<unsigned>(mode);
        if ((remaining & bits) == bits) {
            loop_->addTimer(timer_, mode);
            remaining &= ~bits;
        }
    }
}

void DisplayLink::tick() {
    if (!valid_ || paused_) return;
    ++frames_;
    double step = interval();
    timestamp_ = targetTimestamp_;
    targetTimestamp_ = timestamp_ + step;
    auto keep = ref<DisplayLink>();
    if (callback_) callback_(*this);
}

}  // namespace ui
