#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/Queue.h"
#include "platform/dispatch/TimerSource.h"
#include "platform/runtime/Exception.h"
#include "platform/testing/TaskEnvironment.h"

namespace {

using dispatch::TimerSource;

// Tick times relative to a start, recorded from any thread.
class Ticks {
public:
    explicit Ticks(double start) : start_(start) {}
    void add() {
        std::lock_guard<std::mutex> hold(lock_);
        times_.push_back(dispatch::now() - start_);
    }
    std::vector<double> times() const {
        std::lock_guard<std::mutex> hold(lock_);
        return times_;
    }

private:
    double start_;
    mutable std::mutex lock_;
    std::vector<double> times_;
};

TEST(TimerSource, TicksAtExactMockTimesOnABackgroundQueue) {
    testing::TaskEnvironment env;
    Ticks ticks(env.now());
    auto timer = TimerSource::create(dispatch::globalQueue());
    timer->setTimer(0, 1.0, 0);
    timer->setEventHandler([&] { ticks.add(); });
    timer->resume();
    env.runUntilIdle();
    EXPECT_EQ(ticks.times(), std::vector<double>{0.0});
    env.fastForwardBy(3.5);
    EXPECT_EQ(ticks.times(), (std::vector<double>{0.0, 1.0, 2.0, 3.0}));
    timer->cancel();
    env.fastForwardBy(3);
    EXPECT_EQ(ticks.times().size(), 4u);
}

TEST(TimerSource, DoesNothingUntilResumedAndTicksOnceForAOneShotTimer) {
    testing::TaskEnvironment env;
    Ticks ticks(env.now());
    auto timer = TimerSource::create(dispatch::mainQueue());
    timer->setEventHandler([&] { ticks.add(); });
    timer->setTimer(0.5, dispatch::Forever);
    env.fastForwardBy(2);
    EXPECT_TRUE(ticks.times().empty());
    timer->resume();
    env.fastForwardBy(5);
    // Made at 0 with its first tick at 0.5, resumed at 2: the missed tick comes at once.
    EXPECT_EQ(ticks.times(), std::vector<double>{2.0});
    timer->cancel();
}

TEST(TimerSource, TicksMissedWhileSuspendedBecomeOneTickOnResume) {
    testing::TaskEnvironment env;
    Ticks ticks(env.now());
    auto timer = TimerSource::create(dispatch::mainQueue());
    timer->setTimer(1.0, 1.0);
    timer->setEventHandler([&] { ticks.add(); });
    timer->resume();
    env.fastForwardBy(1.0);
    timer->suspend();
    env.fastForwardBy(2.5);
    timer->resume();
    env.fastForwardBy(1.0);
    // Ticks at 1; missed 2 and 3; one tick on resume at 3.5; back on schedule at 4.
    EXPECT_EQ(ticks.times(), (std::vector<double>{1.0, 3.5, 4.0}));
    EXPECT_THROW(
        {
            timer->resume();
            timer->resume();
        },
        ns::Exception);
    timer->cancel();
}

TEST(TimerSource, CancelRunsTheCancelHandlerAndReleasesTheHandlers) {
    testing::TaskEnvironment env;
    auto captured = std::make_shared<int>(0);
    std::weak_ptr<int> watch = captured;
    std::vector<std::string> events;
    auto timer = TimerSource::create(dispatch::mainQueue());
    timer->setTimer(0, 1.0);
    timer->setEventHandler([&events, captured] { events.push_back("tick"); });
    timer->setCancelHandler([&] { events.push_back("cancelled"); });
    captured.reset();
    timer->resume();
    env.fastForwardBy(1.5);
    timer->cancel();
    EXPECT_TRUE(timer->isCancelled());
    env.fastForwardBy(3);
    EXPECT_EQ(events, (std::vector<std::string>{"tick", "tick", "cancelled"}));
    EXPECT_TRUE(watch.expired());
}

TEST(TimerSource, ARunningTimerKeepsItselfAliveUntilCancelled) {
    testing::TaskEnvironment env;
    std::atomic<int> ticks{0};
    std::weak_ptr<TimerSource> weak;
    {
        auto timer = TimerSource::create(dispatch::globalQueue());
        weak = timer;
        timer->setTimer(0, 1.0);
        timer->setEventHandler([&] {
            if (++ticks == 3) {
                if (auto self = weak.lock()) self->cancel();
            }
        });
        timer->resume();
    }
    env.fastForwardBy(10);
    EXPECT_EQ(ticks, 3);
    EXPECT_TRUE(weak.expired());
}

TEST(TimerSource, ResettingTheTimerStartsANewSchedule) {
    testing::TaskEnvironment env;
    Ticks ticks(env.now());
    auto timer = TimerSource::create(dispatch::mainQueue());
    timer->setTimer(1.0, 1.0);
    timer->setEventHandler([&] { ticks.add(); });
    timer->resume();
    env.fastForwardBy(1.5);
    timer->setTimer(0.25, 2.0);
    env.fastForwardBy(3);
    EXPECT_EQ(ticks.times(), (std::vector<double>{1.0, 1.75, 3.75}));
    timer->cancel();
}

}  // namespace
