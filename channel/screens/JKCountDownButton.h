#pragma once
// The button that asks for an SMS code and then counts down on a 1 s
// run-loop timer: each tick titles it with the seconds left ("%d秒" unless
// the owner gives a title closure), and the tick that finds one second left
// stops it with the finish title ("重新获取" by default), n seconds after
// the start. Main thread only; the timer fires on the run loop of the
// thread that started it.

#include <functional>
#include <memory>

#include "platform/dispatch/RunLoopTimer.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/Button.h"

class JKCountDownButton : public ui::Button {
    RT_DECLARE_CLASS(JKCountDownButton)
public:
    using TitleBlock = std::function<ns::Ref<ns::String>(JKCountDownButton& button, int second)>;
    using TouchedBlock = std::function<void(JKCountDownButton& button, int64_t tag)>;

    JKCountDownButton() = default;
    static ns::Ref<JKCountDownButton> make(const cg::Rect& frame);

    // A count-down still running is stopped first, without its finish title,
    // so that one timer at most ticks.
    void startWithSecond(int seconds);
    void timerStart(dispatch::RunLoopTimer& timer);
    // Only a running count-down: invalidates the timer, resets the seconds
    // to the total and shows the finish title.
    void stop();

    void didChange(TitleBlock block) { didChangeBlock_ = std::move(block); }
    void didFinished(TitleBlock block) { didFinishedBlock_ = std::move(block); }
    // Calls the closure with the button and its tag on touch-up-inside.
    void addToucheHandler(TouchedBlock block);
    void touched(ui::Control& sender);

    int second() const { return second_; }
    int totalSecond() const { return totalSecond_; }
    const std::shared_ptr<dispatch::RunLoopTimer>& timer() const { return timer_; }

private:
    int second_ = 0;
    int totalSecond_ = 0;
    std::shared_ptr<dispatch::RunLoopTimer> timer_;
    TitleBlock didChangeBlock_;
    TitleBlock didFinishedBlock_;
    TouchedBlock touchedDownBlock_;
};
