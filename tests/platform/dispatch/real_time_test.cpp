// The same services on the real clock, as the app runs them. These tests
// check outcomes and order only; durations are never asserted.

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/Group.h"
#include "platform/dispatch/PerformRequest.h"
#include "platform/dispatch/Queue.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/RunLoopTimer.h"
#include "platform/dispatch/Semaphore.h"
#include "platform/dispatch/TimerSource.h"

namespace {

using dispatch::RunLoop;

TEST(RealTime, MainRunLoopServesDelayedBlocksTimersAndPerformsUntilStopped) {
    ASSERT_FALSE(dispatch::Clock::isMock());
    std::vector<std::string> events;
    int owner = 0;
    dispatch::performAfterDelay(&owner, "cancelled", 0.01, [&] { events.push_back("cancelled perform"); });
    dispatch::cancelPreviousPerformRequests(&owner);
    dispatch::performAfterDelay(&owner, "perform", 0.02, [&] {
        events.push_back("perform");
        dispatch::after(0.01, dispatch::globalQueue(), [&] {
            dispatch::mainQueue()->async([&] {
                events.push_back("from background");
                RunLoop::main().stop();
            });
        });
    });
    auto timer = dispatch::RunLoopTimer::create(0.01, false, [&](dispatch::RunLoopTimer&) { events.push_back("timer"); });
    RunLoop::main().addTimer(timer, dispatch::RunLoopMode::Default);
    RunLoop::main().run();
    EXPECT_EQ(events, (std::vector<std::string>{"timer", "perform", "from background"}));
}

TEST(RealTime, RunUntilReturnsOnceTheDatePasses) {
    bool fired = false;
    auto timer = dispatch::RunLoopTimer::create(0.01, false, [&](dispatch::RunLoopTimer&) { fired = true; });
    RunLoop::main().addTimer(timer, dispatch::RunLoopMode::Default);
    double date = dispatch::now() + 0.05;
    RunLoop::main().runUntil(date);
    EXPECT_TRUE(fired);
    EXPECT_GE(dispatch::now(), date);
}

TEST(RealTime, WaitsTimeOutAndSignalsWake) {
    auto semaphore = dispatch::Semaphore::create(0);
    EXPECT_FALSE(semaphore->wait(0.01));
    dispatch::after(0.01, dispatch::globalQueue(), [semaphore] { semaphore->signal(); });
    EXPECT_TRUE(semaphore->wait(dispatch::Forever));

    auto group = dispatch::Group::create();
    std::atomic<int> done{0};
    for (int i = 0; i < 8; ++i) group->async(dispatch::globalQueue(), [&] { ++done; });
    EXPECT_TRUE(group->wait(dispatch::Forever));
    EXPECT_EQ(done, 8);
}

TEST(RealTime, TimerSourceTicksUntilCancelled) {
    auto ticked = dispatch::Semaphore::create(0);
    auto cancelled = dispatch::Semaphore::create(0);
    std::atomic<int> ticks{0};
    auto timer = dispatch::TimerSource::create(dispatch::Queue::serial("test.real.timer"));
    timer->setTimer(0, 0.005);
    timer->setEventHandler([&] {
        if (++ticks == 3) ticked->signal();
    });
    timer->setCancelHandler([cancelled] { cancelled->signal(); });
    timer->resume();
    EXPECT_TRUE(ticked->wait(dispatch::Forever));
    timer->cancel();
    EXPECT_TRUE(cancelled->wait(dispatch::Forever));
    EXPECT_GE(ticks, 3);
}

}  // namespace
