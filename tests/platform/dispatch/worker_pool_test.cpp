// The pool's workers when work waits on workers that are all busy: one that
// blocks unannounced (a sleeping delegate, a lock held elsewhere) must not
// stop the work queued behind it.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/dispatch/ThreadPool.h"

namespace {

using dispatch::detail::PoolPriority;
using dispatch::detail::WorkerPool;

// Holds the workers that wait on it until it opens.
struct Gate {
    std::mutex lock;
    std::condition_variable changed;
    bool open = false;
    int waiting = 0;

    void wait() {
        std::unique_lock hold(lock);
        ++waiting;
        changed.notify_all();
        changed.wait(hold, [this] { return open; });
    }
    bool waitForWaiting(int count) {
        std::unique_lock hold(lock);
        return changed.wait_for(hold, std::chrono::seconds(30), [&] { return waiting >= count; });
    }
    void openUp() {
        std::lock_guard guard(lock);
        open = true;
        changed.notify_all();
    }
};

TEST(WorkerPool, WorkBehindWorkersStuckUnannouncedGetsAWorkerOfItsOwn) {
    // Two workers, whatever the machine; "a while" short, so that the test
    // does not wait long for the pool to see it.
    auto pool = WorkerPool::make({.workers = 2, .hardCap = 8, .busyWhile = std::chrono::milliseconds(1)});
    auto gate = std::make_shared<Gate>();
    for (int i = 0; i < 4; ++i) pool->post(PoolPriority::Default, [gate] { gate->wait(); });
    auto ran = std::make_shared<std::promise<void>>();
    pool->post(PoolPriority::Default, [ran] { ran->set_value(); });

    // Four stuck before it, two workers to start with: three more start.
    EXPECT_EQ(ran->get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_TRUE(gate->waitForWaiting(4));
    EXPECT_GE(pool->workersWithoutWaits(), 5);
    gate->openUp();
}

TEST(WorkerPool, NoMoreWorkersThanTheCapHoweverLongTheyAreStuck) {
    auto pool = WorkerPool::make({.workers = 1, .hardCap = 3, .busyWhile = std::chrono::milliseconds(1)});
    auto gate = std::make_shared<Gate>();
    for (int i = 0; i < 6; ++i) pool->post(PoolPriority::Default, [gate] { gate->wait(); });
    // Three take work; the others would need more than the cap allows.
    ASSERT_TRUE(gate->waitForWaiting(3));
    // Every while that passes from here is one the pool could grow in.
    auto later = std::make_shared<Gate>();
    pool->post(PoolPriority::Default, [later] { later->wait(); });
    EXPECT_EQ(pool->workersWithoutWaits(), 3);
    gate->openUp();
    // Once free, the workers there are take the rest.
    EXPECT_TRUE(later->waitForWaiting(1));
    later->openUp();
    EXPECT_EQ(pool->workersWithoutWaits(), 3);
}

// The refusals a pool logged in `text` (what stderr received).
int refusalsIn(const std::string& text) {
    int count = 0;
    for (size_t at = text.find("thread pool: no thread could be started"); at != std::string::npos;
         at = text.find("thread pool: no thread could be started", at + 1)) {
        ++count;
    }
    return count;
}

// Waits until `pool` has refused `count` threads; false after 30 s.
bool waitForRefusals(WorkerPool& pool, int count) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (pool.refusedStartsForTesting() < count) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

TEST(WorkerPool, AThreadTheSystemRefusesIsLoggedOnceAndTriedAgainAsMoreWorkComes) {
    // No while passes in the test: only announced waits grow the pool.
    auto pool = WorkerPool::make({.workers = 1, .hardCap = 8, .busyWhile = std::chrono::hours(1)});
    auto gate = std::make_shared<Gate>();
    WorkerPool* raw = pool.get();
    pool->post(PoolPriority::Default, [raw, gate] {
        raw->willBlock();
        gate->wait();
        raw->didUnblock();
    });
    ASSERT_TRUE(gate->waitForWaiting(1));

    testing::internal::CaptureStderr();
    pool->failThreadStartsForTesting(true);
    std::vector<std::shared_ptr<std::promise<void>>> ran;
    for (int i = 0; i < 3; ++i) {
        ran.push_back(std::make_shared<std::promise<void>>());
        // Its only worker waits: the pool asks for another, refused each time.
        pool->post(PoolPriority::Default, [done = ran.back()] { done->set_value(); });
        EXPECT_EQ(pool->refusedStartsForTesting(), i + 1);
    }
    EXPECT_EQ(pool->workersWithoutWaits(), 1) << "the worker it had, no more";
    // Started once the system gives threads again and more work comes.
    pool->failThreadStartsForTesting(false);
    auto more = std::make_shared<std::promise<void>>();
    pool->post(PoolPriority::Default, [more] { more->set_value(); });
    for (auto& done : ran) EXPECT_EQ(done->get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_EQ(more->get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready);
    const std::string logged = testing::internal::GetCapturedStderr();
    EXPECT_EQ(refusalsIn(logged), 1) << logged;
    EXPECT_NE(logged.find("the pool goes on with its 1 workers"), std::string::npos) << logged;
    EXPECT_EQ(pool->workersWithoutWaits(), 2);
    gate->openUp();
}

TEST(WorkerPool, TheWatcherRefusedAThreadWaitsForMoreWorkAndThenStartsOne) {
    // Work stuck without saying so: only the watcher asks for threads. The
    // cap is far: however slowly threads start, the watcher may add one.
    auto pool = WorkerPool::make({.workers = 1, .hardCap = 64, .busyWhile = std::chrono::milliseconds(20)});
    auto gate = std::make_shared<Gate>();
    auto behind = std::make_shared<std::promise<void>>();
    // Every worker the pool has (the watcher may have started more than the
    // first while it started) is taken by work that waits.
    int busy = 0;
    do {
        pool->post(PoolPriority::Default, [gate] { gate->wait(); });
        ASSERT_TRUE(gate->waitForWaiting(++busy));
    } while (busy < pool->workersWithoutWaits());
    testing::internal::CaptureStderr();
    pool->failThreadStartsForTesting(true);
    const int before = pool->refusedStartsForTesting();
    pool->post(PoolPriority::Default, [behind] { behind->set_value(); });
    const bool refused = waitForRefusals(*pool, before + 1);
    pool->failThreadStartsForTesting(false);
    EXPECT_TRUE(refused);
    // Refused, the watcher waits for more work rather than asking again.
    auto more = std::make_shared<std::promise<void>>();
    pool->post(PoolPriority::Default, [more] { more->set_value(); });
    EXPECT_EQ(behind->get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_EQ(more->get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready);
    const std::string logged = testing::internal::GetCapturedStderr();
    EXPECT_EQ(refusalsIn(logged), 1) << logged;
    gate->openUp();
}

TEST(WorkerPool, APoolWhoseFirstThreadsAreRefusedRunsItsWorkOnceThreadsCanBeHad) {
    auto pool = WorkerPool::make({.workers = 2, .hardCap = 4, .busyWhile = std::chrono::milliseconds(1)});
    testing::internal::CaptureStderr();
    pool->failThreadStartsForTesting(true);
    auto first = std::make_shared<std::promise<void>>();
    // Neither a worker nor the pool's watcher can start: the work waits.
    pool->post(PoolPriority::Default, [first] { first->set_value(); });
    pool->post(PoolPriority::Low, [] {});
    pool->failThreadStartsForTesting(false);
    auto second = std::make_shared<std::promise<void>>();
    pool->post(PoolPriority::Default, [second] { second->set_value(); });
    EXPECT_EQ(first->get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_EQ(second->get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready);
    const std::string logged = testing::internal::GetCapturedStderr();
    EXPECT_EQ(refusalsIn(logged), 1) << logged;

    // Past the refusal the pool grows as before: two pieces of work that
    // wait at once get a worker each.
    auto gate = std::make_shared<Gate>();
    auto stuck = std::make_shared<Gate>();
    pool->post(PoolPriority::Default, [gate] { gate->wait(); });
    pool->post(PoolPriority::Default, [stuck] { stuck->wait(); });
    ASSERT_TRUE(gate->waitForWaiting(1));
    ASSERT_TRUE(stuck->waitForWaiting(1));
    gate->openUp();
    stuck->openUp();
}

}  // namespace
