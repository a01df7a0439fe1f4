#include "channel/screens/JKCountDownButton.h"

#include <string>

#include "platform/dispatch/RunLoop.h"

RT_DEFINE_CLASS(JKCountDownButton, ui::Button, "JKCountDownButton")

ns::Ref<JKCountDownButton> JKCountDownButton::make(const cg::Rect& frame) {
    auto button = std::make_shared<JKCountDownButton>();
    button->setFrame(frame);
    return button;
}

void JKCountDownButton::startWithSecond(int seconds) {
    if (timer_) timer_->invalidate();
    totalSecond_ = seconds;
    second_ = seconds;
    // The button holds the timer and the run loop fires it: the handler
    // holds the button weakly.
    ns::Weak<JKCountDownButton> weak = ref<JKCountDownButton>();
    timer_ = dispatch::RunLoopTimer::create(1.0, true, [weak](dispatch::RunLoopTimer& timer) {
        if (auto button = weak.lock()) button->timerStart(timer);
    });
    dispatch::RunLoop::current().addTimer(timer_, dispatch::RunLoopMode::Default);
}

void JKCountDownButton::timerStart(dispatch::RunLoopTimer&) {
    if (second_ == 1) {
        stop();
        return;
    }
    --second_;
    setTitle(didChangeBlock_ ? didChangeBlock_(*this, second_) : ns::str(std::to_string(second_) + "秒"),
             ui::ControlStateNormal);
}

void JKCountDownButton::stop() {
    if (!timer_ || !timer_->isValid()) return;
    timer_->invalidate();
    second_ = totalSecond_;
    setTitle(didFinishedBlock_ ? didFinishedBlock_(*this, totalSecond_) : ns::str("重新获取"),
             ui::ControlStateNormal);
}

void JKCountDownButton::addToucheHandler(TouchedBlock block) {
    touchedDownBlock_ = std::move(block);
    addTarget(ref<JKCountDownButton>(), "touched:", &JKCountDownButton::touched, ui::ControlEventTouchUpInside);
}

void JKCountDownButton::touched(ui::Control& sender) {
    if (touchedDownBlock_) touchedDownBlock_(*this, sender.tag());
}
