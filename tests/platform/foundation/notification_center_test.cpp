#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/Dictionary.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/String.h"

namespace {

using ns::Id;
using ns::Notification;
using ns::NotificationCenter;
using ns::Ref;

// Each test has its own center, so nothing leaks between them.
Ref<NotificationCenter> makeCenter() { return std::make_shared<NotificationCenter>(); }

TEST(NotificationCenter, DeliversInRegistrationOrderByNameAndSender) {
    auto center = makeCenter();
    std::vector<std::string> heard;
    int a = 0, b = 0, c = 0, d = 0;
    Id sender = ns::str("sender");
    Id other = ns::str("sender");  // equal but not the same object
    center->addObserver(&a, "Ping", nullptr, [&](const Ref<Notification>& n) { heard.push_back("a:" + n->name()); });
    center->addObserver(&b, "", nullptr, [&](const Ref<Notification>& n) { heard.push_back("b:" + n->name()); });
    center->addObserver(&c, "Ping", sender, [&](const Ref<Notification>&) { heard.push_back("c"); });
    center->addObserver(&d, "Pong", nullptr, [&](const Ref<Notification>&) { heard.push_back("d"); });

    center->postNotificationName("Ping", sender);
    center->postNotificationName("Ping", other);
    center->postNotificationName("Pong");
    EXPECT_EQ(heard, (std::vector<std::string>{"a:Ping", "b:Ping", "c", "a:Ping", "b:Ping", "b:Pong", "d"}));

    ns::Ref<ns::Dictionary> info;
    center->addObserver(&a, "Info", nullptr, [&](const Ref<Notification>& n) { info = n->userInfo(); });
    center->postNotificationName("Info", nullptr, ns::Dictionary::make({{"k", ns::num(1)}}));
    ASSERT_TRUE(info);
    EXPECT_TRUE(info->objectForKey("k")->isEqual(ns::num(1)));
}

TEST(NotificationCenter, RemovedObserversAreNotCalled) {
    auto center = makeCenter();
    int a = 0, b = 0;
    int aCalls = 0, bPing = 0, bPong = 0;
    center->addObserver(&a, "Ping", nullptr, [&](const Ref<Notification>&) { ++aCalls; });
    center->addObserver(&a, "Pong", nullptr, [&](const Ref<Notification>&) { ++aCalls; });
    center->addObserver(&b, "Ping", nullptr, [&](const Ref<Notification>&) { ++bPing; });
    center->addObserver(&b, "Pong", nullptr, [&](const Ref<Notification>&) { ++bPong; });

    center->removeObserver(&a);
    center->removeObserver(&b, "Ping", nullptr);
    center->postNotificationName("Ping");
    center->postNotificationName("Pong");
    EXPECT_EQ(aCalls, 0);
    EXPECT_EQ(bPing, 0);
    EXPECT_EQ(bPong, 1);
}

TEST(NotificationCenter, ObserversChangingTheCenterDuringDelivery) {
    auto center = makeCenter();
    int self = 0, victim = 0, late = 0;
    std::vector<std::string> heard;
    // Removes itself and the observer after it while being delivered.
    center->addObserver(&self, "Go", nullptr, [&](const Ref<Notification>&) {
        heard.push_back("self");
        center->removeObserver(&self);
        center->removeObserver(&victim);
        center->addObserver(&late, "Go", nullptr, [&](const Ref<Notification>&) { heard.push_back("late"); });
    });
    center->addObserver(&victim, "Go", nullptr, [&](const Ref<Notification>&) { heard.push_back("victim"); });

    center->postNotificationName("Go");
    EXPECT_EQ(heard, (std::vector<std::string>{"self"}));
    center->postNotificationName("Go");
    EXPECT_EQ(heard, (std::vector<std::string>{"self", "late"}));
}

TEST(NotificationCenter, BlockObserversOnAQueue) {
    auto center = makeCenter();
    auto queue = std::make_shared<ns::OperationQueue>();
    queue->setMaxConcurrentOperationCount(1);
    std::mutex lock;
    std::vector<std::string> heard;
    auto record = [&](std::string what) {
        std::lock_guard<std::mutex> hold(lock);
        heard.push_back(std::move(what));
    };
    const std::thread::id poster = std::this_thread::get_id();
    std::atomic<bool> queuedOnPoster{false};

    Id queued = center->addObserverForName("Ping", nullptr, queue, [&](const Ref<Notification>& n) {
        if (std::this_thread::get_id() == poster) queuedOnPoster = true;
        record("queued:" + n->name());
    });
    Id inline_ = center->addObserverForName("Ping", nullptr, nullptr, [&](const Ref<Notification>&) {
        EXPECT_EQ(std::this_thread::get_id(), poster);
        record("inline");
    });
    ASSERT_TRUE(queued);
    EXPECT_NE(queued, inline_);

    queue->setSuspended(true);
    center->postNotificationName("Ping");
    EXPECT_EQ(heard, (std::vector<std::string>{"inline"}));
    queue->setSuspended(false);
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(heard, (std::vector<std::string>{"inline", "queued:Ping"}));
    EXPECT_FALSE(queuedOnPoster);

    // A delivery still queued when its observer goes is dropped.
    queue->setSuspended(true);
    center->postNotificationName("Ping");
    center->removeObserver(queued);
    center->removeObserver(inline_);
    queue->setSuspended(false);
    queue->waitUntilAllOperationsAreFinished();
    center->postNotificationName("Ping");
    EXPECT_EQ(heard, (std::vector<std::string>{"inline", "queued:Ping", "inline"}));
}

TEST(NotificationCenter, PostingFromManyThreadsWhileObserversComeAndGo) {
    auto center = makeCenter();
    std::atomic<int> steady{0};
    int steadyTarget = 0, churnTarget = 0;
    center->addObserver(&steadyTarget, "Tick", nullptr, [&](const Ref<Notification>&) { ++steady; });

    std::atomic<bool> posting{true};
    std::thread churn([&] {
        while (posting) {
            center->addObserver(&churnTarget, "Tick", nullptr, [](const Ref<Notification>&) {});
            center->removeObserver(&churnTarget);
        }
    });
    std::vector<std::thread> posters;
    for (int t = 0; t < 4; ++t) {
        posters.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) center->postNotificationName("Tick");
        });
    }
    for (auto& t : posters) t.join();
    posting = false;
    churn.join();
    EXPECT_EQ(steady.load(), 8000);
}

TEST(NotificationCenter, DefaultCenterIsShared) {
    EXPECT_EQ(NotificationCenter::defaultCenter(), NotificationCenter::defaultCenter());
    EXPECT_EQ(NotificationCenter::defaultCenter()->className(), "NSNotificationCenter");
    int target = 0;
    int calls = 0;
    NotificationCenter::defaultCenter()->addObserver(&target, "CTDefaultCenterCheck", nullptr,
                                                     [&](const Ref<Notification>&) { ++calls; });
    NotificationCenter::defaultCenter()->postNotificationName("CTDefaultCenterCheck");
    NotificationCenter::defaultCenter()->removeObserver(&target);
    NotificationCenter::defaultCenter()->postNotificationName("CTDefaultCenterCheck");
    EXPECT_EQ(calls, 1);
}

}  // namespace
