#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/Group.h"
#include "platform/dispatch/Once.h"
#include "platform/dispatch/Queue.h"
#include "platform/dispatch/Semaphore.h"
#include "platform/dispatch/Sleep.h"
#include "platform/runtime/Exception.h"
#include "platform/testing/TaskEnvironment.h"

namespace {

using dispatch::Group;
using dispatch::Semaphore;

TEST(Group, NotifyRunsAfterEveryMemberHasLeft) {
    testing::TaskEnvironment env;
    auto group = Group::create();
    std::atomic<int> done{0};
    int doneAtNotify = -1;
    for (int i = 0; i < 10; ++i) group->async(dispatch::globalQueue(), [&] { ++done; });
    group->enter();
    group->notify(dispatch::mainQueue(), [&] { doneAtNotify = done; });
    env.runUntilIdle();
    EXPECT_EQ(doneAtNotify, -1);  // one member is still in
    dispatch::after(2.0, dispatch::globalQueue(), [&] {
        ++done;
        group->leave();
    });
    env.fastForwardBy(2.0);
    EXPECT_EQ(doneAtNotify, 11);
}

TEST(Group, NotifyOnAnEmptyGroupRunsAtOnceAndLeaveWithoutEnterRaises) {
    testing::TaskEnvironment env;
    auto group = Group::create();
    bool ran = false;
    group->notify(dispatch::mainQueue(), [&] { ran = true; });
    env.runUntilIdle();
    EXPECT_TRUE(ran);
    EXPECT_TRUE(group->wait(0));
    EXPECT_THROW(group->leave(), ns::Exception);
}

TEST(Group, WaitOnTheMainThreadReturnsWhenBackgroundWorkEnds) {
    testing::TaskEnvironment env;
    auto group = Group::create();
    std::atomic<int> done{0};
    for (int i = 0; i < 4; ++i) {
        group->async(dispatch::globalQueue(), [&] {
            dispatch::sleepFor(1.0);
            ++done;
        });
    }
    double start = env.now();
    EXPECT_TRUE(group->wait(5.0));
    EXPECT_EQ(done, 4);
    // The sleeps ran on mock time, which the waiting main thread moved along.
    EXPECT_EQ(env.now() - start, 1.0);
}

TEST(Group, WaitTimesOutOnMockTime) {
    testing::TaskEnvironment env;
    auto group = Group::create();
    group->enter();
    double start = env.now();
    EXPECT_FALSE(group->wait(2.5));
    EXPECT_EQ(env.now() - start, 2.5);

    // A background waiter times out when the clock passes its deadline.
    std::atomic<int> result{-1};
    dispatch::globalQueue()->async([&] { result = group->wait(1.0) ? 1 : 0; });
    env.runUntilIdle();
    EXPECT_EQ(result, -1);
    env.fastForwardBy(1.0);
    EXPECT_EQ(result, 0);
    group->leave();
}

TEST(Semaphore, SignalWakesWaitersInOrderAndCountsOtherwise) {
    testing::TaskEnvironment env;
    auto semaphore = Semaphore::create(0);
    std::mutex lock;
    std::vector<int> woke;
    std::atomic<int> waiting{0};
    for (int i = 0; i < 3; ++i) {
        // Start each waiter only when the previous one is asleep, so their order is known.
        dispatch::globalQueue()->async([&, i] {
            ++waiting;
            semaphore->wait(dispatch::Forever);
            std::lock_guard<std::mutex> hold(lock);
            woke.push_back(i);
        });
        env.runUntilIdle();
    }
    EXPECT_EQ(waiting, 3);
    EXPECT_TRUE(woke.empty());
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(semaphore->signal());
        env.runUntilIdle();
    }
    EXPECT_EQ(woke, (std::vector<int>{0, 1, 2}));

    EXPECT_FALSE(semaphore->signal());  // nobody waits: counted
    EXPECT_TRUE(semaphore->wait(0));
    EXPECT_FALSE(semaphore->wait(0));
    EXPECT_THROW(Semaphore::create(-1), ns::Exception);
}

TEST(Semaphore, TimedOutWaiterDoesNotSwallowALaterSignal) {
    testing::TaskEnvironment env;
    auto semaphore = Semaphore::create(0);
    std::atomic<int> first{-1};
    dispatch::globalQueue()->async([&] { first = semaphore->wait(1.0) ? 1 : 0; });
    env.fastForwardBy(1.0);
    EXPECT_EQ(first, 0);
    semaphore->signal();
    EXPECT_TRUE(semaphore->wait(0));
}

TEST(Semaphore, MainThreadWaitDrivesTheClockToTheSignal) {
    testing::TaskEnvironment env;
    auto semaphore = Semaphore::create(0);
    double start = env.now();
    dispatch::after(3.0, dispatch::globalQueue(), [&] { semaphore->signal(); });
    EXPECT_TRUE(semaphore->wait(10.0));
    EXPECT_EQ(env.now() - start, 3.0);

    // Too short a wait ends at its deadline.
    dispatch::after(3.0, dispatch::globalQueue(), [&] { semaphore->signal(); });
    EXPECT_FALSE(semaphore->wait(1.0));
    EXPECT_EQ(env.now() - start, 4.0);
    env.fastForwardBy(2.0);
    EXPECT_TRUE(semaphore->wait(0));
}

TEST(Semaphore, MainThreadWaitThatNothingCanEndRaises) {
    testing::TaskEnvironment env;
    auto semaphore = Semaphore::create(0);
    // Only the main queue could signal, and the main thread is the one waiting.
    dispatch::mainQueue()->async([&] { semaphore->signal(); });
    try {
        semaphore->wait(dispatch::Forever);
        ADD_FAILURE() << "the wait returned";
    } catch (const ns::Exception& e) {
        EXPECT_EQ(e.name(), ns::InternalInconsistencyException);
    }
    env.runUntilIdle();
    EXPECT_TRUE(semaphore->wait(0));
}

TEST(Sleep, MainThreadSleepAdvancesMockTimeFiringWhatIsDue) {
    testing::TaskEnvironment env;
    double start = env.now();
    std::atomic<double> backgroundAt{0};
    bool mainRan = false;
    dispatch::after(1.0, dispatch::globalQueue(), [&] { backgroundAt = env.now() - start; });
    dispatch::after(1.0, dispatch::mainQueue(), [&] { mainRan = true; });
    dispatch::sleepFor(2.5);
    EXPECT_EQ(env.now() - start, 2.5);
    EXPECT_EQ(backgroundAt, 1.0);
    // The main thread was asleep: its own block waits for it.
    EXPECT_FALSE(mainRan);
    env.runUntilIdle();
    EXPECT_TRUE(mainRan);
}

TEST(Sleep, BackgroundSleepEndsWhenTheClockGetsThere) {
    testing::TaskEnvironment env;
    double start = env.now();
    std::atomic<double> wokeAt{0};
    dispatch::globalQueue()->async([&] {
        dispatch::sleepFor(4.0);
        wokeAt = env.now() - start;
    });
    env.runUntilIdle();
    EXPECT_EQ(wokeAt, 0);
    env.fastForwardBy(10);
    EXPECT_EQ(wokeAt, 4.0);
}

TEST(Once, RunsOnceAcrossRacingThreads) {
    dispatch::Once token;
    std::atomic<int> runs{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) threads.emplace_back([&] { dispatch::once(token, [&] { ++runs; }); });
    for (auto& t : threads) t.join();
    dispatch::once(token, [&] { ++runs; });
    EXPECT_EQ(runs, 1);
}

}  // namespace
