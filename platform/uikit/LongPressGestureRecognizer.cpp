#include <cmath>

#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/RunLoopTimer.h"
#include "platform/uikit/GestureRecognizer.h"
#include "platform/uikit/Touch.h"

namespace ui {

RT_DEFINE_CLASS(LongPressGestureRecognizer, GestureRecognizer, "UILongPressGestureRecognizer")

LongPressGestureRecognizer::~LongPressGestureRecognizer() { cancelTimer(); }

void LongPressGestureRecognizer::cancelTimer() {
    if (timer_) timer_->invalidate();
    timer_.reset();
}

void LongPressGestureRecognizer::touchesBegan(const TouchSet& touches, Event& event) {
    GestureRecognizer::touchesBegan(touches, event);
    if (state() != GestureRecognizerState::Possible || timer_) return;
    start_ = centroidInWindow();
    ns::Weak<LongPressGestureRecognizer> weak = ref<LongPressGestureRecognizer>();
    timer_ = dispatch::RunLoopTimer::create(minimumPressDuration_, false, [weak](dispatch::RunLoopTimer&) {
        auto self = weak.lock();
        if (!self) return;
        self->timer_.reset();
        if (self->state() == GestureRecognizerState::Possible && !self->activeTouches().empty()) {
            self->setState(GestureRecognizerState::Began);
        }
    });
    dispatch::RunLoop::main().addTimer(timer_, dispatch::RunLoopMode::Common);
}

void LongPressGestureRecognizer::touchesMoved(const TouchSet& touches, Event& event) {
    GestureRecognizer::touchesMoved(touches, event);
    switch (state()) {
        case GestureRecognizerState::Possible: {
            cg::Point p = centroidInWindow();
            if (std::hypot(p.x - start_.x, p.y - start_.y) > allowableMovement_) {
                cancelTimer();
                setState(GestureRecognizerState::Failed);
            }
            break;
        }
        case GestureRecognizerState::Began:
        case GestureRecognizerState::Changed: setState(GestureRecognizerState::Changed); break;
        default: break;
    }
}

void LongPressGestureRecognizer::touchesEnded(const TouchSet& touches, Event& event) {
    GestureRecognizer::touchesEnded(touches, event);
    if (!activeTouches().empty()) return;
    cancelTimer();
    switch (state()) {
        case GestureRecognizerState::Began:
        case GestureRecognizerState::Changed: setState(GestureRecognizerState::Ended); break;
        case GestureRecognizerState::Possible: setState(GestureRecognizerState::Failed); break;
        default: break;
    }
}

void LongPressGestureRecognizer::touchesCancelled(const TouchSet& touches, Event& event) {
    GestureRecognizer::touchesCancelled(touches, event);
    cancelTimer();
    switch (state()) {
        case GestureRecognizerState::Began:
        case GestureRecognizerState::Changed: setState(GestureRecognizerState::Cancelled); break;
        case GestureRecognizerState::Possible: setState(GestureRecognizerState::Failed); break;
        default: break;
    }
}

void LongPressGestureRecognizer::reset() {
    cancelTimer();
    GestureRecognizer::reset();
}

}  // namespace ui
