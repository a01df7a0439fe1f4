#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/foundation/Progress.h"
#include "platform/runtime/Exception.h"

namespace {

using namespace ns;

TEST(Progress, FractionOfUnits) {
    auto p = Progress::progressWithTotalUnitCount(4);
    EXPECT_EQ(p->fractionCompleted(), 0);
    p->setCompletedUnitCount(1);
    EXPECT_EQ(p->fractionCompleted(), 0.25);
    EXPECT_EQ(p->localizedDescription(), "25% completed");
    EXPECT_FALSE(p->isFinished());
    p->setCompletedUnitCount(4);
    EXPECT_TRUE(p->isFinished());
    EXPECT_EQ(p->localizedDescription(), "100% completed");

    // A transfer of unknown size, as a task reports before its headers.
    auto unknown = Progress::progressWithTotalUnitCount(-1);
    unknown->setCompletedUnitCount(500);
    EXPECT_TRUE(unknown->isIndeterminate());
    EXPECT_EQ(unknown->fractionCompleted(), 0);
    EXPECT_FALSE(unknown->isFinished());
    unknown->setTotalUnitCount(1000);
    EXPECT_FALSE(unknown->isIndeterminate());
    EXPECT_EQ(unknown->fractionCompleted(), 0.5);
    EXPECT_EQ(unknown->className(), "NSProgress");
}

TEST(Progress, ChildrenCountForTheirPendingUnits) {
    auto parent = Progress::progressWithTotalUnitCount(10);
    auto a = Progress::progressWithTotalUnitCount(2, parent, 4);
    auto b = Progress::progressWithTotalUnitCount(3, parent, 6);
    auto grandchild = Progress::progressWithTotalUnitCount(10, b, 3);

    a->setCompletedUnitCount(1);
    EXPECT_DOUBLE_EQ(parent->fractionCompleted(), 0.2);
    EXPECT_EQ(parent->completedUnitCount(), 0);

    a->setCompletedUnitCount(2);  // a finishes and hands its units over
    EXPECT_EQ(parent->completedUnitCount(), 4);
    EXPECT_DOUBLE_EQ(parent->fractionCompleted(), 0.4);

    grandchild->setCompletedUnitCount(5);  // half of b's 3 units, so 1.5 of its 3
    EXPECT_DOUBLE_EQ(b->fractionCompleted(), 0.5);
    EXPECT_DOUBLE_EQ(parent->fractionCompleted(), 0.4 + 0.5 * 0.6);

    grandchild->setCompletedUnitCount(10);
    b->setCompletedUnitCount(3);
    EXPECT_EQ(parent->completedUnitCount(), 10);
    EXPECT_DOUBLE_EQ(parent->fractionCompleted(), 1.0);
    EXPECT_TRUE(parent->isFinished());

    // A child past its total counts as finished, not as more than its share.
    auto other = Progress::progressWithTotalUnitCount(2);
    auto over = Progress::progressWithTotalUnitCount(1, other, 1);
    over->setCompletedUnitCount(5);
    EXPECT_EQ(other->completedUnitCount(), 1);
    EXPECT_DOUBLE_EQ(other->fractionCompleted(), 0.5);
}

TEST(Progress, AChildHasOneParent) {
    auto first = Progress::progressWithTotalUnitCount(1);
    auto second = Progress::progressWithTotalUnitCount(1);
    auto child = Progress::progressWithTotalUnitCount(1, first, 1);
    EXPECT_THROW(second->addChild(child, 1), Exception);
    EXPECT_THROW(second->addChild(nullptr, 1), Exception);
    // A child already done when added completes its share at once.
    auto done = Progress::progressWithTotalUnitCount(2);
    done->setCompletedUnitCount(2);
    second->addChild(done, 1);
    EXPECT_TRUE(second->isFinished());
}

TEST(Progress, ObserversSeeEachChangeOnce) {
    auto parent = Progress::progressWithTotalUnitCount(2);
    auto child = Progress::progressWithTotalUnitCount(4, parent, 2);
    std::vector<double> fractions;
    std::vector<int64_t> completed;
    auto fractionToken = parent->addObserver("fractionCompleted", [&](Progress& p) {
        fractions.push_back(p.fractionCompleted());
    });
    parent->addObserver("completedUnitCount", [&](Progress& p) { completed.push_back(p.completedUnitCount()); });

    child->setCompletedUnitCount(1);
    child->setCompletedUnitCount(1);  // no change, no call
    child->setCompletedUnitCount(2);
    child->setCompletedUnitCount(4);
    EXPECT_EQ(fractions, (std::vector<double>{0.25, 0.5, 1.0}));
    EXPECT_EQ(completed, (std::vector<int64_t>{2}));

    parent->removeObserver(fractionToken);
    parent->setTotalUnitCount(4);
    EXPECT_EQ(fractions.size(), 3u);
    EXPECT_THROW(parent->addObserver("fractionComplete", [](Progress&) {}), Exception);
}

TEST(Progress, AnObserverMayRemoveAnotherDuringADelivery) {
    auto p = Progress::progressWithTotalUnitCount(10);
    int laterCalls = 0;
    Id later;
    p->addObserver("completedUnitCount", [&](Progress& progress) { progress.removeObserver(later); });
    later = p->addObserver("completedUnitCount", [&](Progress&) { ++laterCalls; });
    p->setCompletedUnitCount(1);
    p->setCompletedUnitCount(2);
    EXPECT_EQ(laterCalls, 0);
}

TEST(Progress, CancelPauseAndResumeReachHandlersAndChildren) {
    auto parent = Progress::progressWithTotalUnitCount(2);
    auto child = Progress::progressWithTotalUnitCount(1, parent, 1);
    EXPECT_TRUE(parent->isCancellable());
    EXPECT_FALSE(parent->isPausable());
    int parentCancels = 0, childCancels = 0, pauses = 0, resumes = 0;
    parent->setCancellationHandler([&] { ++parentCancels; });
    child->setCancellationHandler([&] { ++childCancels; });
    child->setPausingHandler([&] { ++pauses; });
    child->setResumingHandler([&] { ++resumes; });
    std::vector<bool> pausedSeen;
    child->addObserver("paused", [&](Progress& p) { pausedSeen.push_back(p.isPaused()); });

    parent->pause();
    parent->pause();
    EXPECT_TRUE(child->isPaused());
    parent->resume();
    EXPECT_FALSE(child->isPaused());
    EXPECT_EQ(pauses, 1);
    EXPECT_EQ(resumes, 1);
    EXPECT_EQ(pausedSeen, (std::vector<bool>{true, false}));

    parent->cancel();
    parent->cancel();
    EXPECT_TRUE(child->isCancelled());
    EXPECT_EQ(parentCancels, 1);
    EXPECT_EQ(childCancels, 1);

    // Late arrivals hear of the cancellation at once.
    int late = 0;
    child->setCancellationHandler([&] { ++late; });
    EXPECT_EQ(late, 1);
    auto newcomer = Progress::progressWithTotalUnitCount(1, parent, 1);
    EXPECT_TRUE(newcomer->isCancelled());
}

TEST(Progress, ChildrenFinishingOnManyThreads) {
    auto parent = Progress::progressWithTotalUnitCount(400);
    std::vector<Ref<Progress>> children;
    for (int k = 0; k < 4; ++k) children.push_back(Progress::progressWithTotalUnitCount(100, parent, 100));
    std::atomic<int> handOvers{0};
    parent->addObserver("completedUnitCount", [&](Progress&) { ++handOvers; });
    std::vector<std::thread> threads;
    for (auto& child : children) {
        threads.emplace_back([child] {
            for (int64_t units = 1; units <= 100; ++units) child->setCompletedUnitCount(units);
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(parent->completedUnitCount(), 400);
    EXPECT_EQ(handOvers, 4);
    EXPECT_TRUE(parent->isFinished());
    EXPECT_DOUBLE_EQ(parent->fractionCompleted(), 1.0);
}

}  // namespace
