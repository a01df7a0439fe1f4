#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <time.h>
#include <vector>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/IoToken.h"
#include "platform/dispatch/MainThread.h"
#include "platform/dispatch/Queue.h"
#include "platform/runtime/Exception.h"
#include "platform/testing/TaskEnvironment.h"

namespace {

TEST(TaskEnvironment, FastForwardFiresInTimeOrderAndSettlesBetween) {
    testing::TaskEnvironment env;
    double start = env.now();
    std::mutex lock;
    std::vector<std::string> events;
    auto record = [&](std::string e) {
        std::lock_guard<std::mutex> hold(lock);
        events.push_back(std::move(e) + "@" + std::to_string(env.now() - start).substr(0, 3));
    };
    dispatch::after(2.0, dispatch::mainQueue(), [&] { record("main"); });
    dispatch::after(1.0, dispatch::globalQueue(), [&] {
        record("background");
        // Work scheduled while settling still falls in order.
        dispatch::after(0.5, dispatch::mainQueue(), [&] { record("follow-up"); });
    });
    env.fastForwardBy(1.75);
    EXPECT_EQ(env.now() - start, 1.75);
    env.fastForwardBy(1.0);
    EXPECT_EQ(events, (std::vector<std::string>{"background@1.0", "follow-up@1.5", "main@2.0"}));
}

TEST(TaskEnvironment, TimeStandsStillUntilMovedAndWallTimeFollows) {
    testing::TaskEnvironment env;
    EXPECT_TRUE(dispatch::Clock::isMock());
    dispatch::TimeTicks start = env.nowTicks();
    EXPECT_EQ(start, env.start());
    double wall = dispatch::wallTime();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(env.nowTicks(), start);
    env.fastForwardBy(90);
    EXPECT_EQ(dispatch::wallTime() - wall, 90.0);
    // Wall time starts on a fixed date, not the machine's: 2024-01-01T00:00:00Z.
    EXPECT_EQ(wall, 1704067200.0);
    env.setWallTime(1800000000.5);
    EXPECT_EQ(dispatch::wallTime(), 1800000000.5);
    EXPECT_EQ(env.nowTicks() - start, dispatch::TimeDelta::fromWholeSeconds(90));
    EXPECT_THROW(env.fastForwardBy(-1), ns::Exception);
    EXPECT_THROW(env.fastForwardBy(dispatch::TimeDelta::fromNanoseconds(-1)), ns::Exception);
}

TEST(TaskEnvironment, RestoresRealTimeAndTheMainThreadAndDropsLeftovers) {
    auto captured = std::make_shared<int>(0);
    std::weak_ptr<int> watch = captured;
    std::thread([&] {
        testing::TaskEnvironment env;
        EXPECT_TRUE(dispatch::isMainThread());
        dispatch::after(5.0, dispatch::mainQueue(), [captured] {});
        dispatch::mainQueue()->async([captured] { ADD_FAILURE() << "left-over block ran"; });
        captured.reset();
    }).join();
    EXPECT_TRUE(dispatch::isMainThread());
    EXPECT_FALSE(dispatch::Clock::isMock());
    EXPECT_TRUE(watch.expired());
    testing::TaskEnvironment env;
    env.runUntilIdle();
}

TEST(TaskEnvironment, OnlyOneAtATime) {
    testing::TaskEnvironment env;
    EXPECT_THROW(testing::TaskEnvironment second, ns::Exception);
}

TEST(TaskEnvironment, RunUntilIdleWaitsForInFlightIo) {
    testing::TaskEnvironment env;
    std::atomic<bool> delivered{false};
    auto token = std::make_shared<dispatch::IoToken>();
    EXPECT_EQ(dispatch::IoToken::outstanding(), 1);
    // A stand-in for a socket thread: the reply comes in real time, then is
    // handed to the main queue before the token goes.
    std::thread io([&, token]() mutable {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        dispatch::mainQueue()->async([&] { delivered = true; });
        token->release();
    });
    token.reset();
    env.runUntilIdle();
    EXPECT_TRUE(delivered);
    io.join();
    EXPECT_EQ(dispatch::IoToken::outstanding(), 0);
}

TEST(TaskEnvironment, RunReadyWhileInFlightRunsDueMainWorkAndLeavesTheIoInFlight) {
    testing::TaskEnvironment env;
    std::vector<std::string> events;
    dispatch::IoToken token;
    dispatch::mainQueue()->async([&] { events.push_back("ready"); });
    dispatch::after(2.0, dispatch::mainQueue(), [&] { events.push_back("due"); });
    dispatch::after(5.0, dispatch::mainQueue(), [&] { events.push_back("later"); });
    env.runReadyWhileInFlight();
    EXPECT_EQ(events, (std::vector<std::string>{"ready"}));
    env.advanceClockWhileInFlight(3);
    env.runReadyWhileInFlight();
    EXPECT_EQ(events, (std::vector<std::string>{"ready", "due"}));
    EXPECT_TRUE(token.isHeld());
    token.release();
    env.fastForwardBy(2);
    EXPECT_EQ(events, (std::vector<std::string>{"ready", "due", "later"}));
}

TEST(TaskEnvironment, StuckBackgroundWorkIsReportedNotHung) {
    testing::TaskEnvironment env;
    env.setIdleTimeout(0.2);
    std::mutex lock;
    std::condition_variable released;
    bool release = false;
    auto queue = dispatch::Queue::serial("test.stuck");
    queue->async([&] {
        std::unique_lock<std::mutex> hold(lock);
        released.wait(hold, [&] { return release; });
    });
    queue->async([] {});
    try {
        env.runUntilIdle();
        ADD_FAILURE() << "runUntilIdle returned with a block still running";
    } catch (const ns::Exception& e) {
        EXPECT_NE(e.reason().find("2 background blocks"), std::string::npos) << e.reason();
        // The report names the queue that holds the work.
        EXPECT_NE(e.reason().find("test.stuck (2)"), std::string::npos) << e.reason();
    }
    {
        std::lock_guard<std::mutex> hold(lock);
        release = true;
    }
    released.notify_all();
    env.runUntilIdle();
}

// Stuck means nothing moved for the idle timeout, not that the work as a
// whole took longer: a busy machine stretches work that moves on.
TEST(TaskEnvironment, BackgroundWorkThatMovesOnIsWaitedForPastTheIdleTimeout) {
    testing::TaskEnvironment env;
    env.setIdleTimeout(1.0);
    constexpr int blocks = 12;
    std::atomic<int> finished{0};
    auto queue = dispatch::Queue::serial("test.slow");
    for (int i = 0; i < blocks; ++i) {
        queue->async([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            ++finished;
        });
    }
    env.runUntilIdle();
    EXPECT_EQ(finished, blocks);
}

TEST(TaskEnvironment, ABlockThatComputesPastTheIdleTimeoutIsNotStuck) {
    testing::TaskEnvironment env;
    env.setIdleTimeout(0.2);
    std::atomic<bool> finished{false};
    dispatch::globalQueue()->async([&] {
        // Three idle timeouts of this thread's own time, however long a busy
        // machine makes them take.
        auto spent = [] {
            timespec now{};
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
            return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
        };
        const double start = spent();
        volatile uint64_t sum = 0;
        while (spent() - start < 0.6) sum = sum + 1;
        finished = true;
    });
    env.runUntilIdle();
    EXPECT_TRUE(finished);
}

TEST(TaskEnvironment, MainThreadWorkStretchedInRealTimeIsNotEndless) {
    testing::TaskEnvironment env;
    env.setIdleTimeout(0.2);
    int ran = 0;
    std::function<void()> step = [&] {
        // As a busy machine would stretch it: real time passes, the main
        // thread spends next to none of its own.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (++ran < 5) dispatch::mainQueue()->async(step);
    };
    dispatch::mainQueue()->async(step);
    env.runUntilIdle();
    EXPECT_EQ(ran, 5);
}

TEST(TaskEnvironment, SelfReschedulingMainWorkIsReportedNotHung) {
    testing::TaskEnvironment env;
    env.setIdleTimeout(0.2);
    std::atomic<bool> keepGoing{true};
    std::function<void()> again = [&] {
        if (keepGoing) dispatch::mainQueue()->async(again);
    };
    dispatch::mainQueue()->async(again);
    EXPECT_THROW(env.runUntilIdle(), ns::Exception);
    keepGoing = false;
    env.runUntilIdle();
}

TEST(TaskEnvironment, FastForwardUntilNoTasksRemain) {
    testing::TaskEnvironment env;
    double start = env.now();
    int count = 0;
    std::function<void()> step = [&] {
        if (++count < 5) dispatch::after(10.0, dispatch::mainQueue(), step);
    };
    dispatch::after(10.0, dispatch::mainQueue(), step);
    env.fastForwardUntilNoTasksRemain();
    EXPECT_EQ(count, 5);
    EXPECT_EQ(env.now() - start, 50.0);
}

}  // namespace
