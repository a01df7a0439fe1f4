#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/dispatch/Group.h"
#include "platform/dispatch/MainThread.h"
#include "platform/dispatch/Queue.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/Semaphore.h"
#include "platform/runtime/Exception.h"
#include "platform/testing/TaskEnvironment.h"

namespace {

using dispatch::Queue;

// Records events from any thread in the order they happen.
class Log {
public:
    void add(std::string event) {
        std::lock_guard<std::mutex> hold(lock_);
        events_.push_back(std::move(event));
    }
    std::vector<std::string> events() const {
        std::lock_guard<std::mutex> hold(lock_);
        return events_;
    }

private:
    mutable std::mutex lock_;
    std::vector<std::string> events_;
};

TEST(Queue, SerialQueueRunsBlocksOneAtATimeInOrder) {
    testing::TaskEnvironment env;
    auto queue = Queue::serial("test.serial");
    std::vector<int> order;
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    for (int i = 0; i < 200; ++i) {
        queue->async([&, i] {
            if (inside.fetch_add(1) != 0) overlapped = true;
            order.push_back(i);
            inside.fetch_sub(1);
        });
    }
    env.runUntilIdle();
    ASSERT_EQ(order.size(), 200u);
    for (int i = 0; i < 200; ++i) EXPECT_EQ(order[i], i);
    EXPECT_FALSE(overlapped);
    EXPECT_EQ(queue->label(), "test.serial");
    EXPECT_TRUE(queue->isSerial());
}

TEST(Queue, MainQueueResultFollowsBackgroundWork) {
    testing::TaskEnvironment env;
    Log log;
    std::atomic<bool> backgroundOnMain{true};
    log.add("posted");
    dispatch::globalQueue()->async([&] {
        backgroundOnMain = dispatch::isMainThread();
        log.add("computed");
        dispatch::mainQueue()->async([&] {
            EXPECT_TRUE(dispatch::isMainThread());
            EXPECT_EQ(dispatch::currentQueue(), dispatch::mainQueue());
            log.add("delivered");
        });
    });
    env.runUntilIdle();
    EXPECT_FALSE(backgroundOnMain);
    EXPECT_EQ(log.events(), (std::vector<std::string>{"posted", "computed", "delivered"}));
}

TEST(Queue, MainQueueHandsOnTheNextBlockOnlyAfterThePreviousReturns) {
    testing::TaskEnvironment env;
    Log log;
    dispatch::mainQueue()->async([&] {
        log.add("first begins");
        dispatch::mainQueue()->async([&] { log.add("third"); });
        // A nested run of the main loop must not start the next main-queue block.
        dispatch::RunLoop::main().runOnce();
        log.add("first ends");
    });
    dispatch::mainQueue()->async([&] { log.add("second"); });
    env.runUntilIdle();
    EXPECT_EQ(log.events(), (std::vector<std::string>{"first begins", "first ends", "second", "third"}));
}

TEST(Queue, AfterWithZeroDelayIsAnAsyncAtTheTail) {
    testing::TaskEnvironment env;
    Log log;
    dispatch::mainQueue()->async([&] { log.add("a"); });
    dispatch::after(0, dispatch::mainQueue(), [&] { log.add("b"); });
    dispatch::mainQueue()->async([&] { log.add("c"); });
    env.runUntilIdle();
    EXPECT_EQ(log.events(), (std::vector<std::string>{"a", "b", "c"}));
}

TEST(Queue, SyncOntoTheSerialQueueTheThreadIsRunningRaisesInsteadOfHanging) {
    testing::TaskEnvironment env;
    auto queue = Queue::serial("test.reentrant");
    std::string reason;
    std::atomic<bool> innerRan{false};
    queue->async([&] {
        try {
            queue->sync([&] { innerRan = true; });
        } catch (const ns::Exception& e) {
            reason = e.name() + " | " + e.reason();
        }
    });
    env.runUntilIdle();
    EXPECT_FALSE(innerRan);
    EXPECT_EQ(reason,
              "NSInternalInconsistencyException | dispatch_sync called on queue already owned by current thread");

    // The main thread owns the main queue.
    try {
        dispatch::mainQueue()->sync([] {});
        ADD_FAILURE() << "sync onto the main queue from the main thread returned";
    } catch (const ns::Exception& e) {
        EXPECT_EQ(e.name(), ns::InternalInconsistencyException);
    }
}

TEST(Queue, SyncDetectsOwnershipThroughNestedSyncs) {
    testing::TaskEnvironment env;
    auto a = Queue::serial("test.a");
    auto b = Queue::serial("test.b");
    std::atomic<bool> raised{false};
    std::atomic<bool> bRan{false};
    a->async([&] {
        b->sync([&] {
            bRan = true;
            EXPECT_EQ(dispatch::currentQueue(), b);
            try {
                a->sync([] {});
            } catch (const ns::Exception&) {
                raised = true;
            }
        });
    });
    env.runUntilIdle();
    EXPECT_TRUE(bRan);
    EXPECT_TRUE(raised);
}

TEST(Queue, SyncWaitsItsTurnBehindQueuedBlocksAndReturnsResults) {
    testing::TaskEnvironment env;
    auto queue = Queue::serial("test.turn");
    std::vector<int> order;
    for (int i = 0; i < 5; ++i) queue->async([&, i] { order.push_back(i); });
    int seen = -1;
    queue->sync([&] { seen = static_cast<int>(order.size()); });
    EXPECT_EQ(seen, 5);

    // An exception inside a synchronous block reaches the caller and frees the queue.
    EXPECT_THROW(queue->sync([] { throw ns::Exception(ns::RangeException, "boom"); }), ns::Exception);
    queue->async([&] { order.push_back(99); });
    env.runUntilIdle();
    EXPECT_EQ(order.back(), 99);
}

TEST(Queue, SyncOntoMainFromBackgroundRunsOnTheMainThread) {
    testing::TaskEnvironment env;
    std::atomic<bool> ranOnMain{false};
    std::atomic<bool> returned{false};
    dispatch::globalQueue()->async([&] {
        dispatch::mainQueue()->sync([&] { ranOnMain = dispatch::isMainThread(); });
        returned = true;
    });
    env.runUntilIdle();
    EXPECT_TRUE(ranOnMain);
    EXPECT_TRUE(returned);
}

TEST(Queue, ConcurrentQueueRunsBlocksSideBySide) {
    testing::TaskEnvironment env;
    auto queue = Queue::concurrent("test.concurrent");
    // Each block waits for the other: only side-by-side execution lets both finish.
    auto first = dispatch::Semaphore::create(0);
    auto second = dispatch::Semaphore::create(0);
    std::atomic<int> finished{0};
    queue->async([&] {
        second->signal();
        if (first->wait(dispatch::Forever)) ++finished;
    });
    queue->async([&] {
        first->signal();
        if (second->wait(dispatch::Forever)) ++finished;
    });
    env.runUntilIdle();
    EXPECT_EQ(finished, 2);
    EXPECT_FALSE(queue->isSerial());
}

TEST(Queue, BarrierWaitsForEarlierBlocksAndRunsAlone) {
    testing::TaskEnvironment env;
    auto queue = Queue::concurrent("test.barrier");
    std::atomic<int> running{0};
    std::atomic<int> before{0};
    std::atomic<int> after{0};
    int seenAtBarrier = -1;
    int runningAtBarrier = -1;
    std::atomic<bool> afterSawBarrier{true};
    std::atomic<bool> barrierDone{false};
    for (int i = 0; i < 8; ++i) {
        queue->async([&] {
            ++running;
            std::this_thread::yield();
            ++before;
            --running;
        });
    }
    queue->barrierAsync([&] {
        seenAtBarrier = before;
        runningAtBarrier = running;
        barrierDone = true;
    });
    for (int i = 0; i < 8; ++i) {
        queue->async([&] {
            if (!barrierDone) afterSawBarrier = false;
            ++after;
        });
    }
    env.runUntilIdle();
    EXPECT_EQ(seenAtBarrier, 8);
    EXPECT_EQ(runningAtBarrier, 0);
    EXPECT_TRUE(afterSawBarrier);
    EXPECT_EQ(after, 8);
}

TEST(Queue, CurrentQueueNamesTheRunningQueue) {
    testing::TaskEnvironment env;
    auto queue = Queue::serial("test.current");
    dispatch::QueueRef seen;
    dispatch::QueueRef seenOnGlobal;
    queue->async([&] { seen = dispatch::currentQueue(); });
    dispatch::globalQueue(dispatch::QueuePriority::Low)->async([&] { seenOnGlobal = dispatch::currentQueue(); });
    env.runUntilIdle();
    EXPECT_EQ(seen, queue);
    EXPECT_EQ(seenOnGlobal, dispatch::globalQueue(dispatch::QueuePriority::Low));
    EXPECT_NE(seenOnGlobal, dispatch::globalQueue(dispatch::QueuePriority::High));
    EXPECT_EQ(dispatch::currentQueue(), dispatch::mainQueue());

    dispatch::QueueRef onPlainThread = dispatch::mainQueue();
    std::thread([&] { onPlainThread = dispatch::currentQueue(); }).join();
    EXPECT_EQ(onPlainThread, nullptr);
}

TEST(Queue, BlockingChainsDoNotStarveThePool) {
    testing::TaskEnvironment env;
    // More blocked blocks than the pool has workers at first: each waits for
    // a signal that only a later block gives.
    constexpr int Count = 24;
    std::vector<std::shared_ptr<dispatch::Semaphore>> gates;
    for (int i = 0; i < Count; ++i) gates.push_back(dispatch::Semaphore::create(0));
    std::atomic<int> done{0};
    for (int i = 0; i < Count; ++i) {
        dispatch::globalQueue()->async([&, i] {
            if (i + 1 < Count) gates[i + 1]->signal();
            if (i > 0) gates[i]->wait(dispatch::Forever);
            ++done;
        });
    }
    env.runUntilIdle();
    EXPECT_EQ(done, Count);
}

TEST(Queue, NilBlocksAndQueuesAreRefused) {
    testing::TaskEnvironment env;
    EXPECT_THROW(dispatch::async(nullptr, [] {}), ns::Exception);
    EXPECT_THROW(Queue::serial("x")->async(nullptr), ns::Exception);
    EXPECT_THROW(dispatch::after(1, dispatch::mainQueue(), nullptr), ns::Exception);
}

}  // namespace
