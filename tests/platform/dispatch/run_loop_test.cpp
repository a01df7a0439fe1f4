#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/PerformRequest.h"
#include "platform/dispatch/Queue.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/RunLoopTimer.h"
#include "platform/runtime/Exception.h"
#include "platform/testing/TaskEnvironment.h"

namespace {

using dispatch::RunLoop;
using dispatch::RunLoopMode;
using dispatch::RunLoopTimer;

TEST(Debounce, ThreeRequestsHalfASecondApartRunOnceASecondAfterTheLast) {
    testing::TaskEnvironment env;
    int owner = 0;  // the target's identity
    double start = env.now();
    std::vector<double> runs;
    auto request = [&] {
        dispatch::cancelPreviousPerformRequests(&owner, "open");
        dispatch::performAfterDelay(&owner, "open", 1.0, [&] { runs.push_back(env.now() - start); });
    };
    request();
    env.fastForwardBy(0.5);
    request();
    env.fastForwardBy(0.5);
    request();
    env.fastForwardBy(0.75);
    EXPECT_TRUE(runs.empty());
    env.fastForwardBy(0.25);
    EXPECT_EQ(runs, std::vector<double>{2.0});
    env.fastForwardBy(5);
    EXPECT_EQ(runs.size(), 1u);
}

TEST(Debounce, CancelIsByTargetAndOptionallyBySelector) {
    testing::TaskEnvironment env;
    int a = 0;
    int b = 0;
    std::vector<std::string> ran;
    dispatch::performAfterDelay(&a, "x", 1, [&] { ran.push_back("a.x"); });
    dispatch::performAfterDelay(&a, "y", 1, [&] { ran.push_back("a.y"); });
    dispatch::performAfterDelay(&b, "x", 1, [&] { ran.push_back("b.x"); });
    dispatch::performAfterDelay(&b, "y", 1, [&] { ran.push_back("b.y"); });
    dispatch::cancelPreviousPerformRequests(&a, "x");
    dispatch::cancelPreviousPerformRequests(&b);
    env.fastForwardBy(1);
    EXPECT_EQ(ran, std::vector<std::string>{"a.y"});
}

TEST(Debounce, ARequestCanRescheduleItselfFromItsOwnBlock) {
    testing::TaskEnvironment env;
    int owner = 0;
    int count = 0;
    std::function<void()> tick = [&] {
        if (++count < 3) dispatch::performAfterDelay(&owner, "tick", 1, tick);
    };
    dispatch::performAfterDelay(&owner, "tick", 1, tick);
    env.fastForwardBy(10);
    EXPECT_EQ(count, 3);
}

TEST(RunLoopModes, DefaultModeTimerWaitsWhileTheLoopTracks) {
    testing::TaskEnvironment env;
    double start = env.now();
    std::vector<double> fired;
    auto timer = RunLoopTimer::create(1.0, false, [&](RunLoopTimer&) { fired.push_back(env.now() - start); });
    RunLoop::main().addTimer(timer, RunLoopMode::Default);

    RunLoop::main().runUntil(start + 3.0, RunLoopMode::Tracking);
    EXPECT_TRUE(fired.empty());
    EXPECT_TRUE(timer->isValid());
    EXPECT_EQ(env.now(), start + 3.0);

    // Back in the default mode the overdue timer fires at once.
    env.runUntilIdle();
    EXPECT_EQ(fired, std::vector<double>{3.0});
    EXPECT_FALSE(timer->isValid());
}

TEST(RunLoopModes, CommonModeTimerFiresInTrackingAndDefault) {
    testing::TaskEnvironment env;
    double start = env.now();
    std::vector<std::pair<double, RunLoopMode>> fired;
    auto timer = RunLoopTimer::create(1.0, true, [&](RunLoopTimer&) {
        fired.emplace_back(env.now() - start, *RunLoop::main().currentMode());
    });
    RunLoop::main().addTimer(timer, RunLoopMode::Common);
    RunLoop::main().runUntil(start + 2.0, RunLoopMode::Tracking);
    env.fastForwardBy(1.0);
    timer->invalidate();
    env.fastForwardBy(5.0);
    ASSERT_EQ(fired.size(), 3u);
    EXPECT_EQ(fired[0], std::make_pair(1.0, RunLoopMode::Tracking));
    EXPECT_EQ(fired[1], std::make_pair(2.0, RunLoopMode::Tracking));
    EXPECT_EQ(fired[2], std::make_pair(3.0, RunLoopMode::Default));
}

TEST(RunLoopModes, BlocksRunOnlyInTheirModesButTheMainQueueRunsInAll) {
    testing::TaskEnvironment env;
    std::vector<std::string> ran;
    RunLoop::main().performBlock([&] { ran.push_back("default"); }, {RunLoopMode::Default});
    RunLoop::main().performBlock([&] { ran.push_back("tracking"); }, {RunLoopMode::Tracking});
    dispatch::mainQueue()->async([&] { ran.push_back("main queue"); });
    EXPECT_TRUE(RunLoop::main().runOnce(RunLoopMode::Tracking));
    EXPECT_EQ(ran, (std::vector<std::string>{"tracking", "main queue"}));
    EXPECT_TRUE(RunLoop::main().runOnce(RunLoopMode::Default));
    EXPECT_FALSE(RunLoop::main().runOnce(RunLoopMode::Default));
    EXPECT_EQ(ran, (std::vector<std::string>{"tracking", "main queue", "default"}));
    EXPECT_THROW(RunLoop::main().runOnce(RunLoopMode::Common), ns::Exception);
}

TEST(RunLoopTimers, ASetFireDatePausesAndResumesARepeatingTimer) {
    testing::TaskEnvironment env;
    double start = env.now();
    std::vector<double> fired;
    auto timer = RunLoopTimer::create(1.0, true, [&](RunLoopTimer& t) {
        fired.push_back(env.now() - start);
        // Paused from its own handler at the second fire.
        if (fired.size() == 2) t.setFireDate(1e300);
    });
    RunLoop::main().addTimer(timer, RunLoopMode::Default);
    env.fastForwardBy(10.0);
    EXPECT_EQ(fired, (std::vector<double>{1.0, 2.0}));
    EXPECT_TRUE(timer->isValid());

    // Resumed half a second from now, then every second from there.
    timer->setFireDate(env.now() + 0.5);
    env.fastForwardBy(2.6);
    EXPECT_EQ(fired, (std::vector<double>{1.0, 2.0, 10.5, 11.5, 12.5}));
    // Paused from outside, then a date already past fires at the next turn.
    timer->setFireDate(1e300);
    env.fastForwardBy(5.0);
    EXPECT_EQ(fired.size(), 5u);
    timer->setFireDate(env.now() - 3);
    env.runUntilIdle();
    EXPECT_EQ(fired.size(), 6u);
    timer->invalidate();
    timer->setFireDate(env.now());
    env.fastForwardBy(3.0);
    EXPECT_EQ(fired.size(), 6u);
}

TEST(RunLoopTimers, RepeatingTimerKeepsItsScheduleAndFiresOnceForMissedPoints) {
    testing::TaskEnvironment env;
    double start = env.now();
    std::vector<double> fired;
    auto timer = RunLoopTimer::create(1.0, true, [&](RunLoopTimer&) { fired.push_back(env.now() - start); });
    timer->setTolerance(0.5);  // allowed lateness; the mock clock still fires on the dot
    RunLoop::main().addTimer(timer, RunLoopMode::Default);
    env.fastForwardBy(2.0);
    // Tracking for 2.5 s misses the points at 3 and 4.
    RunLoop::main().runUntil(env.now() + 2.5, RunLoopMode::Tracking);
    env.fastForwardBy(1.0);
    EXPECT_EQ(fired, (std::vector<double>{1.0, 2.0, 4.5, 5.0}));
    EXPECT_EQ(timer->fireDate(), start + 6.0);
    EXPECT_EQ(timer->timeInterval(), 1.0);
    EXPECT_EQ(timer->tolerance(), 0.5);
    timer->invalidate();
}

TEST(RunLoopTimers, InvalidateFromTheHandlerStopsARepeatingTimerAndReleasesIt) {
    testing::TaskEnvironment env;
    auto token = std::make_shared<int>(0);
    std::weak_ptr<int> watch = token;
    int count = 0;
    std::weak_ptr<RunLoopTimer> weakTimer;
    {
        auto timer = RunLoopTimer::create(0.5, true, [&count, token](RunLoopTimer& t) {
            if (++count == 3) t.invalidate();
        });
        token.reset();
        weakTimer = timer;
        RunLoop::main().addTimer(timer, RunLoopMode::Default);
    }
    env.fastForwardBy(10);
    EXPECT_EQ(count, 3);
    EXPECT_TRUE(watch.expired());
    EXPECT_TRUE(weakTimer.expired());
}

TEST(RunLoopTimers, ATimerBelongsToOneRunLoop) {
    testing::TaskEnvironment env;
    auto timer = RunLoopTimer::create(1.0, false, [](RunLoopTimer&) {});
    RunLoop::main().addTimer(timer, RunLoopMode::Default);
    std::atomic<bool> raised{false};
    std::thread([&] {
        try {
            RunLoop::current().addTimer(timer, RunLoopMode::Default);
        } catch (const ns::Exception&) {
            raised = true;
        }
    }).join();
    EXPECT_TRUE(raised);
    timer->invalidate();
}

TEST(RunLoopRun, StopEndsTheInnermostRun) {
    testing::TaskEnvironment env;
    double start = env.now();
    std::vector<std::string> events;
    dispatch::after(1.0, dispatch::mainQueue(), [&] {
        events.push_back("inner begins");
        dispatch::after(1.0, dispatch::mainQueue(), [&] { events.push_back("nested"); });
        auto stopper = RunLoopTimer::create(2.0, false, [](RunLoopTimer&) { RunLoop::main().stop(); });
        RunLoop::main().addTimer(stopper, RunLoopMode::Default);
        RunLoop::main().run();
        events.push_back("inner ends");
    });
    RunLoop::main().runUntil(start + 10);
    // The main queue is busy with the outer block, so the nested block waits for it.
    EXPECT_EQ(events, (std::vector<std::string>{"inner begins", "inner ends", "nested"}));
    EXPECT_EQ(env.now(), start + 10);

    // A stop while nothing runs is not remembered.
    RunLoop::main().stop();
    RunLoop::main().runUntil(env.now() + 1);
    EXPECT_EQ(env.now(), start + 11);
}

TEST(RunLoopRun, BackgroundThreadRunLoopServesBlocksAndTimersOnMockTime) {
    testing::TaskEnvironment env;
    std::atomic<RunLoop*> loop{nullptr};
    std::vector<std::string> events;  // touched only by the loop's thread until join
    std::atomic<bool> stopped{false};
    std::thread worker([&] {
        RunLoop& mine = RunLoop::current();
        EXPECT_FALSE(mine.isMain());
        auto timer = RunLoopTimer::create(2.0, false, [&](RunLoopTimer&) {
            events.push_back("timer");
            mine.stop();
        });
        mine.addTimer(timer, RunLoopMode::Default);
        loop = &mine;
        mine.run();
        stopped = true;
    });
    while (!loop) std::this_thread::yield();
    loop.load()->performBlock([&] { events.push_back("block"); });
    env.runUntilIdle();
    EXPECT_FALSE(stopped);
    env.fastForwardBy(2.0);
    worker.join();
    EXPECT_TRUE(stopped);
    EXPECT_EQ(events, (std::vector<std::string>{"block", "timer"}));
}

TEST(RunLoopRun, RunningAnotherThreadsLoopIsRefused) {
    testing::TaskEnvironment env;
    std::atomic<bool> raised{false};
    std::thread([&] {
        try {
            RunLoop::main().runOnce();
        } catch (const ns::Exception&) {
            raised = true;
        }
    }).join();
    EXPECT_TRUE(raised);
}

}  // namespace
