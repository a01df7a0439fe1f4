// A session's delegate calls and the pool's other work: a delivery runs its
// calls for a slice and then lets work queued meanwhile go first, and
// delegates that block, unannounced, on every worker the pool has leave
// the global queues running.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dispatch/Queue.h"
#include "platform/dispatch/ThreadPool.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/URLSession.h"
#include "platform/foundation/URLSessionDelivery.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/platform/foundation/urlsession_support.h"

namespace {

struct Order {
    std::mutex lock;
    std::vector<std::string> seen;
    void add(std::string what) {
        std::lock_guard guard(lock);
        seen.push_back(std::move(what));
    }
};

TEST(URLSessionDelivery, ACallsSliceOverLetsWorkQueuedMeanwhileGoFirst) {
    auto queue = std::make_shared<ns::OperationQueue>();
    queue->setMaxConcurrentOperationCount(1);
    // A slice of nothing: each operation runs one call.
    auto delivery = std::make_shared<ns::detail::URLSessionDelivery>(queue, std::chrono::steady_clock::duration::zero());
    auto order = std::make_shared<Order>();
    delivery->post(
        [order, queue] {
            order->add("first");
            queue->addOperationWithBlock([order] { order->add("queued meanwhile"); });
        },
        true);
    delivery->post([order] { order->add("second"); }, true);
    delivery->post([order] { order->add("third"); }, true);
    delivery->flush();
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(order->seen, (std::vector<std::string>{"first", "queued meanwhile", "second", "third"}));
}

// Blocks in its first call, unannounced to the pool, as a delegate that
// sleeps or waits on a lock of its own would.
class BlockingDelegate : public ns::URLSessionDataDelegate {
public:
    struct Gate {
        std::mutex lock;
        std::condition_variable changed;
        bool open = false;
        int waiting = 0;
    };
    explicit BlockingDelegate(std::shared_ptr<Gate> gate) : gate_(std::move(gate)) {}

    void didReceiveData(const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionDataTask>&,
                        const ns::Ref<ns::Data>&) override {
        std::unique_lock hold(gate_->lock);
        ++gate_->waiting;
        gate_->changed.notify_all();
        gate_->changed.wait(hold, [this] { return gate_->open; });
    }

private:
    std::shared_ptr<Gate> gate_;
};

TEST(URLSessionDelivery, DelegatesBlockingOnEveryWorkerLeaveAGlobalBlockRunning) {
    urltest::TemporaryHome home;
    testing::TaskEnvironment env;
    testing::LoopbackServer server;
    server.route("GET", "/ping", testing::Reply::text("pong", "text/plain"));
    using dispatch::detail::ThreadPool;
    // At least eight, and enough to hold every worker the pool has now.
    const int workers = ThreadPool::workersWithoutWaits();
    // Workers stay once started: a pool that earlier waits in this process
    // grew has no room under its cap for the sessions' own work beside a
    // delegate on every worker, so the case cannot be set up.
    if (workers > ThreadPool::workersAtStart()) {
        GTEST_SKIP() << "earlier waits in this process grew the pool to " << workers << " workers";
    }
    const int sessions = std::min(std::max(8, workers), ThreadPool::HardCap - 1);
    auto gate = std::make_shared<BlockingDelegate::Gate>();
    // Opened however the case ends, so that no delegate it blocked outlives it.
    struct Opener {
        std::shared_ptr<BlockingDelegate::Gate> gate;
        void open() const {
            std::lock_guard guard(gate->lock);
            gate->open = true;
            gate->changed.notify_all();
        }
        ~Opener() { open(); }
    } opener{gate};
    std::vector<ns::Ref<ns::URLSession>> held;
    for (int i = 0; i < sessions; ++i) {
        auto config = ns::URLSessionConfiguration::ephemeralSessionConfiguration();
        config->setURLCache(nullptr);
        auto session =
            ns::URLSession::sessionWithConfiguration(config, std::make_shared<BlockingDelegate>(gate), nullptr);
        session->dataTaskWithURL(ns::URL::make(server.url("/ping")))->resume();
        held.push_back(session);
    }
    {
        // Every worker there was is stuck in a delegate.
        std::unique_lock hold(gate->lock);
        ASSERT_TRUE(gate->changed.wait_for(hold, std::chrono::seconds(30),
                                           [&] { return gate->waiting >= std::min(sessions, workers); }))
            << gate->waiting << " of " << sessions << " sessions, " << workers << " workers";
    }

    const auto posted = std::chrono::steady_clock::now();
    auto ran = std::make_shared<std::promise<void>>();
    dispatch::async(dispatch::globalQueue(), [ran] { ran->set_value(); });
    const bool blockRan = ran->get_future().wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    std::printf("%d blocking delegates (%d workers): a global block ran after %.3f s\n", sessions, workers,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - posted).count());
    EXPECT_TRUE(blockRan);
    opener.open();
    env.runUntilIdle();
}

}  // namespace
