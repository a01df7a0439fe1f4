#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/MainThread.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/RunLoopTimer.h"
#include "platform/dispatch/Semaphore.h"
#include "platform/dispatch/Sleep.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Exception.h"
#include "platform/testing/TaskEnvironment.h"

namespace {

using ns::BlockOperation;
using ns::Operation;
using ns::OperationQueue;

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

// Like an overlay's show or dismiss: starts a fade and finishes when the fade
// ends, on the main run loop's clock.
class FadeOperation : public Operation {
public:
    FadeOperation(std::string label, double duration, Log& log) : label_(std::move(label)), duration_(duration), log_(log) {}
    bool isAsynchronous() const override { return true; }
    void main() override {
        log_.add(label_ + " begins at " + std::to_string(dispatch::now()));
        auto self = ref<FadeOperation>();
        auto fade = dispatch::RunLoopTimer::create(duration_, false, [self](dispatch::RunLoopTimer&) {
            self->log_.add(self->label_ + " ends at " + std::to_string(dispatch::now()));
            self->finish();
        });
        dispatch::RunLoop::main().addTimer(fade, dispatch::RunLoopMode::Common);
    }

private:
    std::string label_;
    double duration_;
    Log& log_;
};

std::string at(double t) { return std::to_string(t); }

TEST(MainOperationQueue, NextOperationStartsOnlyWhenTheAsynchronousOneBeforeItFinishes) {
    testing::TaskEnvironment env;
    double t0 = env.now();
    Log log;
    auto queue = OperationQueue::mainQueue();
    auto dismiss = std::make_shared<FadeOperation>("dismiss", 0.25, log);
    auto show = std::make_shared<FadeOperation>("show", 0.25, log);
    queue->addOperation(dismiss);
    queue->addOperation(show);
    env.runUntilIdle();
    EXPECT_EQ(log.events(), std::vector<std::string>{"dismiss begins at " + at(t0)});
    EXPECT_TRUE(dismiss->isExecuting());
    EXPECT_FALSE(show->isExecuting());
    EXPECT_EQ(queue->operationCount(), 2u);

    env.fastForwardBy(1.0);
    EXPECT_EQ(log.events(), (std::vector<std::string>{
                                "dismiss begins at " + at(t0), "dismiss ends at " + at(t0 + 0.25),
                                "show begins at " + at(t0 + 0.25), "show ends at " + at(t0 + 0.5)}));
    EXPECT_TRUE(show->isFinished());
    EXPECT_EQ(queue->operationCount(), 0u);
}

TEST(MainOperationQueue, RunsBlocksOnTheMainThreadInOrder) {
    testing::TaskEnvironment env;
    std::vector<int> order;
    std::atomic<bool> allOnMain{true};
    for (int i = 0; i < 5; ++i) {
        OperationQueue::mainQueue()->addOperationWithBlock([&, i] {
            if (!dispatch::isMainThread()) allOnMain = false;
            order.push_back(i);
        });
    }
    EXPECT_TRUE(order.empty());
    env.runUntilIdle();
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_TRUE(allOnMain);
    OperationQueue::mainQueue()->setMaxConcurrentOperationCount(4);
    EXPECT_EQ(OperationQueue::mainQueue()->maxConcurrentOperationCount(), 1);
}

TEST(MainOperationQueue, AnOperationDroppedWithItsEnvironmentRunsInTheNextOne) {
    std::vector<int> order;
    {
        testing::TaskEnvironment env;
        OperationQueue::mainQueue()->addOperationWithBlock([&] { order.push_back(1); });
        // The environment ends with the operation's start still queued on the main thread.
    }
    testing::TaskEnvironment env;
    OperationQueue::mainQueue()->addOperationWithBlock([&] { order.push_back(2); });
    env.runUntilIdle();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_EQ(OperationQueue::mainQueue()->operationCount(), 0u);
}

TEST(OperationQueue, MaximumOfOneRunsOperationsOneAfterAnother) {
    testing::TaskEnvironment env;
    auto queue = std::make_shared<OperationQueue>();
    queue->setMaxConcurrentOperationCount(1);
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    Log log;
    for (int i = 0; i < 20; ++i) {
        queue->addOperationWithBlock([&, i] {
            if (inside.fetch_add(1) != 0) overlapped = true;
            EXPECT_FALSE(dispatch::isMainThread());
            log.add(std::to_string(i));
            inside.fetch_sub(1);
        });
    }
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_FALSE(overlapped);
    std::vector<std::string> expected;
    for (int i = 0; i < 20; ++i) expected.push_back(std::to_string(i));
    EXPECT_EQ(log.events(), expected);
    EXPECT_EQ(queue->operationCount(), 0u);
}

TEST(OperationQueue, MaximumBoundsHowManyRunAtOnce) {
    testing::TaskEnvironment env;
    auto queue = std::make_shared<OperationQueue>();
    queue->setMaxConcurrentOperationCount(2);
    std::atomic<int> inside{0};
    std::atomic<int> most{0};
    for (int i = 0; i < 12; ++i) {
        queue->addOperationWithBlock([&] {
            int now = ++inside;
            int seen = most.load();
            while (now > seen && !most.compare_exchange_weak(seen, now)) {
            }
            dispatch::sleepFor(0.5);
            --inside;
        });
    }
    env.fastForwardUntilNoTasksRemain();
    EXPECT_EQ(queue->operationCount(), 0u);
    EXPECT_EQ(most, 2);
}

TEST(OperationQueue, DependenciesAcrossQueuesHoldBackTheDependent) {
    testing::TaskEnvironment env;
    Log log;
    auto background = std::make_shared<OperationQueue>();
    auto fetch = BlockOperation::create([&] {
        dispatch::sleepFor(2.0);
        log.add("fetched");
    });
    auto present = BlockOperation::create([&] { log.add("presented"); });
    present->addDependency(fetch);
    EXPECT_FALSE(present->isReady());
    OperationQueue::mainQueue()->addOperation(present);
    background->addOperation(fetch);
    env.runUntilIdle();
    EXPECT_TRUE(log.events().empty());
    env.fastForwardBy(2.0);
    EXPECT_EQ(log.events(), (std::vector<std::string>{"fetched", "presented"}));
    EXPECT_EQ(present->dependencies().size(), 1u);
}

TEST(OperationQueue, CancelledOperationsFinishWithoutRunningAndCallTheirCompletion) {
    testing::TaskEnvironment env;
    auto queue = std::make_shared<OperationQueue>();
    queue->setSuspended(true);
    std::atomic<int> ran{0};
    std::atomic<int> completed{0};
    std::vector<std::shared_ptr<Operation>> operations;
    for (int i = 0; i < 3; ++i) {
        auto operation = BlockOperation::create([&] { ++ran; });
        operation->setCompletionBlock([&] { ++completed; });
        queue->addOperation(operation);
        operations.push_back(operation);
    }
    env.runUntilIdle();
    EXPECT_EQ(ran, 0);
    EXPECT_EQ(queue->operationCount(), 3u);
    EXPECT_TRUE(queue->isSuspended());

    queue->cancelAllOperations();
    queue->setSuspended(false);
    env.runUntilIdle();
    EXPECT_EQ(ran, 0);
    EXPECT_EQ(completed, 3);
    EXPECT_EQ(queue->operationCount(), 0u);
    for (auto& operation : operations) {
        EXPECT_TRUE(operation->isCancelled());
        EXPECT_TRUE(operation->isFinished());
        EXPECT_FALSE(operation->completionBlock());
    }
}

TEST(OperationQueue, CancellingMakesAnOperationReadyWhateverItDependsOn) {
    testing::TaskEnvironment env;
    auto queue = std::make_shared<OperationQueue>();
    auto never = BlockOperation::create([] {});
    auto waiting = BlockOperation::create([] { ADD_FAILURE() << "a cancelled operation ran"; });
    waiting->addDependency(never);
    queue->addOperation(waiting);
    env.runUntilIdle();
    EXPECT_FALSE(waiting->isFinished());
    waiting->cancel();
    env.runUntilIdle();
    EXPECT_TRUE(waiting->isFinished());
}

TEST(OperationQueue, MisuseIsRefused) {
    testing::TaskEnvironment env;
    auto queue = std::make_shared<OperationQueue>();
    auto operation = BlockOperation::create([] {});
    queue->addOperation(operation);
    EXPECT_THROW(queue->addOperation(operation), ns::Exception);
    EXPECT_THROW(std::make_shared<OperationQueue>()->addOperation(operation), ns::Exception);
    env.runUntilIdle();
    EXPECT_TRUE(operation->isFinished());
    EXPECT_THROW(operation->addExecutionBlock([] {}), ns::Exception);
    EXPECT_THROW(operation->start(), ns::Exception);

    auto blocked = BlockOperation::create([] {});
    blocked->addDependency(BlockOperation::create([] {}));
    EXPECT_THROW(blocked->start(), ns::Exception);
    EXPECT_THROW(blocked->addDependency(blocked), ns::Exception);
    EXPECT_THROW(queue->setMaxConcurrentOperationCount(-2), ns::Exception);
}

TEST(OperationQueue, StartingDirectlyRunsOnTheCallingThread) {
    testing::TaskEnvironment env;
    std::vector<std::string> ran;
    auto operation = BlockOperation::create([&] { ran.push_back("first"); });
    operation->addExecutionBlock([&] { ran.push_back("second"); });
    EXPECT_EQ(operation->executionBlocks().size(), 2u);
    operation->start();
    EXPECT_EQ(ran, (std::vector<std::string>{"first", "second"}));
    EXPECT_TRUE(operation->isFinished());
    operation->waitUntilFinished();
}

TEST(OperationQueue, ClassesAreRegisteredByTheirPlatformNames) {
    const rt::Class* queueClass = rt::classNamed("NSOperationQueue");
    ASSERT_NE(queueClass, nullptr);
    EXPECT_TRUE(ns::cast<OperationQueue>(queueClass->create()));
    auto operation = BlockOperation::create([] {});
    EXPECT_EQ(operation->className(), "NSBlockOperation");
    EXPECT_TRUE(operation->isKindOf("NSOperation"));
}

}  // namespace
