#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "image/cache/TVMemoryCache.h"
#include "platform/dispatch/MainThread.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/String.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/Application.h"
#include "tests/image/cache/cache_test_support.h"

namespace cache_test {
namespace {

// Notes on which thread it died.
struct Deaths {
    std::atomic<int> onMain{0};
    std::atomic<int> elsewhere{0};
};

class Tracked : public ns::Object {
public:
    explicit Tracked(std::shared_ptr<Deaths> deaths) : deaths_(std::move(deaths)) {}
    ~Tracked() override { (dispatch::isMainThread() ? deaths_->onMain : deaths_->elsewhere)++; }

private:
    std::shared_ptr<Deaths> deaths_;  // shared: the last objects may die after the test
};

class MemoryCacheTest : public CacheTest {
protected:
    ns::Ref<TVMemoryCache> cache_ = TVMemoryCache::make();
    static ns::Id value(const std::string& text) { return ns::str(text); }
};

TEST_F(MemoryCacheTest, CountOverflowEvictsTheLeastRecentlyReadAtOnce) {
    cache_->setCountLimit(2);
    cache_->setObjectForKey(value("1"), "a");
    cache_->setObjectForKey(value("2"), "b");
    ASSERT_TRUE(cache_->objectForKey("a"));  // b is now the least recently used
    cache_->setObjectForKey(value("3"), "c");
    EXPECT_TRUE(cache_->containsObjectForKey("a"));
    EXPECT_FALSE(cache_->containsObjectForKey("b"));
    EXPECT_TRUE(cache_->containsObjectForKey("c"));
    EXPECT_EQ(cache_->totalCount(), 2u);
    cache_->setObjectForKey(value("4"), "d");
    EXPECT_FALSE(cache_->containsObjectForKey("a"));
}

TEST_F(MemoryCacheTest, CostOverflowIsTrimmedLaterOnTheCachesQueue) {
    // The cache's queue may trim as soon as the call returns, so what is
    // present right then is the queue's race to win. What the call itself
    // did is not: released where a trim releases (always later, on the main
    // queue with this switch), the older value is still alive after it,
    // where an eviction in the call would have released it at once here.
    auto deaths = std::make_shared<Deaths>();
    cache_->setReleaseOnMainThread(true);
    cache_->setReleaseAsynchronously(false);
    cache_->setCostLimit(10);
    cache_->setObjectForKeyWithCost(std::make_shared<Tracked>(deaths), "old", 6);
    cache_->setObjectForKeyWithCost(std::make_shared<Tracked>(deaths), "new", 6);
    EXPECT_EQ(deaths->onMain + deaths->elsewhere, 0);

    env_.runUntilIdle();  // the cache's queue has trimmed, the main queue released
    EXPECT_FALSE(cache_->containsObjectForKey("old"));
    EXPECT_TRUE(cache_->containsObjectForKey("new"));
    EXPECT_EQ(cache_->totalCost(), 6u);
    EXPECT_EQ(deaths->onMain, 1);
    EXPECT_EQ(deaths->elsewhere, 0);
}

TEST_F(MemoryCacheTest, ReplacingAdjustsTheCostAndNilRemoves) {
    cache_->setObjectForKeyWithCost(value("a1"), "a", 5);
    cache_->setObjectForKeyWithCost(value("b"), "b", 3);
    cache_->setObjectForKeyWithCost(value("a2"), "a", 2);
    EXPECT_EQ(cache_->totalCost(), 5u);
    EXPECT_EQ(cache_->totalCount(), 2u);
    EXPECT_EQ(ns::textOf(cache_->objectForKey("a")), "a2");
    cache_->setObjectForKey(value("c"), "c");
    cache_->setObjectForKey(value("b2"), "b");  // b becomes the most recent: a is the tail
    cache_->trimToCount(2);
    EXPECT_FALSE(cache_->containsObjectForKey("a"));
    EXPECT_TRUE(cache_->containsObjectForKey("b"));

    cache_->setObjectForKey(nullptr, "b");
    EXPECT_FALSE(cache_->containsObjectForKey("b"));
    EXPECT_FALSE(cache_->objectForKey("missing"));
    cache_->removeObjectForKey("missing");
    EXPECT_EQ(cache_->totalCount(), 1u);
    EXPECT_EQ(cache_->totalCost(), 0u);
}

TEST_F(MemoryCacheTest, TheEmptyKeyIsNoKey) {
    cache_->setObjectForKeyWithCost(value("kept"), "k", 4);
    cache_->setObjectForKeyWithCost(value("none"), "", 5);
    cache_->setObjectForKey(value("none"), "");
    EXPECT_FALSE(cache_->containsObjectForKey(""));
    EXPECT_FALSE(cache_->objectForKey(""));
    EXPECT_EQ(cache_->totalCount(), 1u);
    EXPECT_EQ(cache_->totalCost(), 4u);
    cache_->removeObjectForKey("");
    cache_->setObjectForKey(nullptr, "");
    EXPECT_EQ(ns::textOf(cache_->objectForKey("k")), "kept");
    EXPECT_EQ(cache_->totalCount(), 1u);
}

TEST_F(MemoryCacheTest, TrimsByCountCostAndAge) {
    for (int i = 0; i < 5; ++i) cache_->setObjectForKeyWithCost(value("v"), std::to_string(i), 10);
    cache_->trimToCost(25);
    EXPECT_EQ(cache_->totalCount(), 2u);
    EXPECT_TRUE(cache_->containsObjectForKey("4"));
    EXPECT_TRUE(cache_->containsObjectForKey("3"));
    cache_->trimToCost(0);
    EXPECT_EQ(cache_->totalCount(), 0u);
    cache_->setObjectForKey(value("v"), "x");
    cache_->trimToCount(0);
    EXPECT_EQ(cache_->totalCount(), 0u);

    cache_->setObjectForKey(value("v"), "read");
    cache_->setObjectForKey(value("v"), "unread");
    env_.fastForwardBy(3);
    cache_->objectForKey("read");
    env_.fastForwardBy(3);
    cache_->trimToAge(4);  // unread is 6 s old, read 3 s
    EXPECT_TRUE(cache_->containsObjectForKey("read"));
    EXPECT_FALSE(cache_->containsObjectForKey("unread"));
    cache_->trimToAge(0);
    EXPECT_EQ(cache_->totalCount(), 0u);
}

TEST_F(MemoryCacheTest, TheAutomaticTrimAppliesTheLimitsEveryInterval) {
    cache_->setAgeLimit(12);
    cache_->setObjectForKey(value("v"), "a");
    env_.fastForwardBy(10);  // trimmed at 5 and 10 s: not old enough yet
    EXPECT_TRUE(cache_->containsObjectForKey("a"));
    env_.fastForwardBy(5);
    EXPECT_FALSE(cache_->containsObjectForKey("a"));

    cache_->setAutoTrimInterval(1);  // read before the next pass is scheduled
    cache_->setCountLimit(1);
    cache_->setCostLimit(4);
    cache_->setObjectForKeyWithCost(value("v"), "b", 3);
    cache_->setObjectForKeyWithCost(value("v"), "c", 3);
    env_.runUntilIdle();
    EXPECT_EQ(cache_->totalCount(), 1u);

    // The chain ends with the cache.
    ns::Weak<TVMemoryCache> weak = cache_;
    cache_.reset();
    EXPECT_TRUE(weak.expired());
    env_.fastForwardBy(20);
}

TEST_F(MemoryCacheTest, MemoryWarningAndBackgroundCallTheBlocksAndEmptyWhenAsked) {
    int warnings = 0;
    int backgrounds = 0;
    cache_->setDidReceiveMemoryWarningBlock([&](TVMemoryCache& cache) {
        EXPECT_EQ(&cache, cache_.get());
        EXPECT_EQ(cache.totalCount(), 1u);  // called before the cache empties
        warnings++;
    });
    cache_->setDidEnterBackgroundBlock([&](TVMemoryCache&) { backgrounds++; });
    auto center = ns::NotificationCenter::defaultCenter();

    cache_->setObjectForKey(value("v"), "a");
    cache_->setShouldRemoveAllObjectsOnMemoryWarning(false);
    center->postNotificationName(ui::ApplicationDidReceiveMemoryWarningNotification);
    EXPECT_EQ(warnings, 1);
    EXPECT_TRUE(cache_->containsObjectForKey("a"));
    cache_->setShouldRemoveAllObjectsOnMemoryWarning(true);
    center->postNotificationName(ui::ApplicationDidReceiveMemoryWarningNotification);
    EXPECT_EQ(warnings, 2);
    EXPECT_FALSE(cache_->containsObjectForKey("a"));

    cache_->setObjectForKey(value("v"), "b");
    cache_->setShouldRemoveAllObjectsWhenEnteringBackground(false);
    center->postNotificationName(ui::ApplicationDidEnterBackgroundNotification);
    EXPECT_TRUE(cache_->containsObjectForKey("b"));
    cache_->setShouldRemoveAllObjectsWhenEnteringBackground(true);
    center->postNotificationName(ui::ApplicationDidEnterBackgroundNotification);
    EXPECT_FALSE(cache_->containsObjectForKey("b"));
    EXPECT_EQ(backgrounds, 2);

    cache_.reset();  // no observer is left behind
    center->postNotificationName(ui::ApplicationDidReceiveMemoryWarningNotification);
    EXPECT_EQ(warnings, 2);
}

TEST_F(MemoryCacheTest, RemovedObjectsDieWhereTheSwitchesSay) {
    auto shared = std::make_shared<Deaths>();
    Deaths& deaths = *shared;
    // Default: later, on a low-priority queue, gathered for a few milliseconds.
    cache_->setObjectForKey(std::make_shared<Tracked>(shared), "a");
    cache_->removeObjectForKey("a");
    env_.runUntilIdle();
    EXPECT_EQ(deaths.elsewhere, 0);
    env_.fastForwardBy(0.01);
    EXPECT_EQ(deaths.elsewhere, 1);

    // On the main thread, not asynchronously: from the main thread at once,
    // from another thread later on the main queue.
    cache_->setReleaseAsynchronously(false);
    cache_->setReleaseOnMainThread(true);
    EXPECT_FALSE(cache_->releaseAsynchronously());
    EXPECT_TRUE(cache_->releaseOnMainThread());
    cache_->setObjectForKey(std::make_shared<Tracked>(shared), "b");
    cache_->removeObjectForKey("b");
    EXPECT_EQ(deaths.onMain, 1);
    cache_->setObjectForKey(std::make_shared<Tracked>(shared), "c");
    dispatch::globalQueue()->async([cache = cache_] { cache->removeObjectForKey("c"); });
    env_.runUntilIdle();
    EXPECT_EQ(deaths.onMain, 2);
    EXPECT_EQ(deaths.elsewhere, 1);

    // Trimmed entries always go asynchronously, here on the main queue.
    cache_->setObjectForKey(std::make_shared<Tracked>(shared), "d");
    cache_->trimToCost(0);  // a limit of 0 empties by the release rule: at once on main
    EXPECT_EQ(deaths.onMain, 3);
    cache_->setObjectForKey(std::make_shared<Tracked>(shared), "e");
    cache_->setObjectForKey(std::make_shared<Tracked>(shared), "f");
    cache_->trimToCount(1);
    EXPECT_EQ(deaths.onMain, 3);
    env_.runUntilIdle();
    EXPECT_EQ(deaths.onMain, 4);
}

TEST_F(MemoryCacheTest, ManyThreadsKeepTheTotalsWithinTheLimits) {
    cache_->setCountLimit(50);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([this, t] {
            for (int i = 0; i < 2000; ++i) {
                const std::string key = "https://img.example/" + std::to_string((i * 7 + t) % 120);
                if (i % 3 == 0) cache_->setObjectForKeyWithCost(value(key), key, 1);
                else if (i % 3 == 1) cache_->objectForKey(key);
                else if (i % 17 == 0) cache_->removeObjectForKey(key);
                else cache_->trimToCount(40);
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_LE(cache_->totalCount(), 50u);
    EXPECT_EQ(cache_->totalCost(), cache_->totalCount());  // every entry cost 1
    env_.runUntilIdle();
}

TEST_F(MemoryCacheTest, DescriptionShowsTheName) {
    EXPECT_EQ(cache_->description().find("<TVMemoryCache: 0x"), 0u);
    EXPECT_EQ(cache_->description().back(), '>');
    cache_->setName("images");
    EXPECT_TRUE(cache_->description().ends_with("> (images)")) << cache_->description();
}

}  // namespace
}  // namespace cache_test
