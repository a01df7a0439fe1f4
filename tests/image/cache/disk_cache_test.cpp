#include <atomic>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "image/cache/TVDiskCache.h"
#include "image/cache/TVSharedApplication.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/String.h"
#include "platform/foundation/Text.h"
#include "platform/runtime/Exception.h"
#include "platform/security/Digest.h"
#include "platform/security/Hex.h"
#include "platform/uikit/Application.h"
#include "tests/image/cache/cache_test_support.h"

namespace cache_test {
namespace {

class DiskCacheTest : public CacheTest {
protected:
    ~DiskCacheTest() override { ns::FileManager::setFileSystemFreeSizeForTesting(std::nullopt); }

    // Stores the bytes as given, so sizes are exact.
    static ns::Ref<TVDiskCache> passThrough(ns::Ref<TVDiskCache> cache) {
        cache->setCustomArchiveBlock([](const ns::Id& object) { return ns::cast<ns::Data>(object); });
        cache->setCustomUnarchiveBlock([](const ns::Ref<ns::Data>& data) { return ns::Id(data); });
        return cache;
    }
    std::string data(const std::string& name = "disk") const { return folder(name) + "/data"; }
    static std::string md5(const std::string& key) { return sec::hexLower(sec::md5(key)); }
};

TEST_F(DiskCacheTest, OneLiveCachePerFolder) {
    auto cache = TVDiskCache::initWithPath(folder("disk"));
    ASSERT_TRUE(cache);
    EXPECT_EQ(cache->inlineThreshold(), 20480u);
    EXPECT_EQ(cache->path(), folder("disk"));
    EXPECT_EQ(TVDiskCache::initWithPath(folder("disk"), 0), cache);
    EXPECT_EQ(TVDiskCache::initWithPath(folder("disk") + "/"), cache);
    EXPECT_EQ(TVDiskCache::initWithPath(scratch_ / "x/../disk"), cache);
    EXPECT_EQ(cache->inlineThreshold(), 20480u);

    ns::Weak<TVDiskCache> weak = cache;
    cache.reset();
    EXPECT_TRUE(weak.expired());
    auto again = TVDiskCache::initWithPath(folder("disk"), 0);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->inlineThreshold(), 0u);

    EXPECT_FALSE(TVDiskCache::initWithPath(""));
    try {
        TVDiskCache plain;
        ADD_FAILURE() << "the plain initializer made a cache";
    } catch (const ns::Exception& e) {
        EXPECT_EQ(e.name(), "TVDiskCache init error");
        EXPECT_EQ(e.reason(),
                  "TVDiskCache must be initialized with a path. Use 'initWithPath:' or 'initWithPath:inlineThreshold:' "
                  "instead.");
    }
}

TEST_F(DiskCacheTest, TheThresholdDecidesInlineOrFile) {
    auto cache = passThrough(TVDiskCache::initWithPath(folder("disk")));
    cache->setObjectForKey(bytes(20480, 'i'), "at");
    cache->setObjectForKey(bytes(20481, 'f'), "above");
    EXPECT_EQ(entries(data()), std::vector<std::string>{md5("above")});
    EXPECT_EQ(readFile(data() + "/" + md5("above")), std::string(20481, 'f'));
    EXPECT_EQ(text(ns::cast<ns::Data>(cache->objectForKey("at"))), std::string(20480, 'i'));
    EXPECT_EQ(text(ns::cast<ns::Data>(cache->objectForKey("above"))), std::string(20481, 'f'));
    EXPECT_EQ(cache->totalCount(), 2);
    EXPECT_EQ(cache->totalCost(), 40961);

    cache->setCustomFileNameBlock([](std::string_view key) { return "named-" + std::string(key); });
    cache->setObjectForKey(bytes(30000), "big");
    EXPECT_TRUE(std::filesystem::exists(data() + "/named-big"));

    auto files = passThrough(TVDiskCache::initWithPath(folder("files"), 0));
    files->setObjectForKey(bytes(1), "tiny");
    EXPECT_EQ(entries(data("files")), std::vector<std::string>{md5("tiny")});

    auto inlineOnly = passThrough(TVDiskCache::initWithPath(folder("inline"), std::numeric_limits<uint64_t>::max()));
    inlineOnly->setObjectForKey(bytes(100000), "huge");
    EXPECT_EQ(entries(data("inline")), std::vector<std::string>{});
    EXPECT_EQ(text(ns::cast<ns::Data>(inlineOnly->objectForKey("huge"))).size(), 100000u);
}

TEST_F(DiskCacheTest, ArchivedObjectsWithExtendedData) {
    auto cache = TVDiskCache::initWithPath(folder("disk"));
    auto object = ns::str("hello");
    TVDiskCache::setExtendedDataToObject(ns::Data::withBytes(std::string_view("@2x")), object);
    cache->setObjectForKey(object, "k");
    auto read = cache->objectForKey("k");
    ASSERT_TRUE(read);
    EXPECT_NE(read, object);
    EXPECT_EQ(ns::textOf(read), "hello");
    EXPECT_EQ(text(TVDiskCache::getExtendedDataFromObject(read)), "@2x");

    TVDiskCache::setExtendedDataToObject(nullptr, object);
    EXPECT_FALSE(TVDiskCache::getExtendedDataFromObject(object));
    EXPECT_FALSE(TVDiskCache::getExtendedDataFromObject(nullptr));
    TVDiskCache::setExtendedDataToObject(bytes(1), nullptr);  // ignored

    EXPECT_TRUE(cache->containsObjectForKey("k"));
    cache->setObjectForKey(nullptr, "k");
    EXPECT_FALSE(cache->containsObjectForKey("k"));
    EXPECT_FALSE(cache->containsObjectForKey(""));
    EXPECT_FALSE(cache->objectForKey("missing"));
}

TEST_F(DiskCacheTest, ArchivingAndUnarchivingFailuresAreSwallowed) {
    auto cache = TVDiskCache::initWithPath(folder("disk"));
    // A plain object cannot be archived: the archiver raises.
    EXPECT_NO_THROW(cache->setObjectForKey(std::make_shared<ns::Object>(), "plain"));
    EXPECT_EQ(cache->totalCount(), 0);

    cache->setCustomArchiveBlock([](const ns::Id&) -> ns::Ref<ns::Data> { throw std::runtime_error("no"); });
    EXPECT_NO_THROW(cache->setObjectForKey(ns::str("v"), "thrown"));
    EXPECT_EQ(cache->totalCount(), 0);

    // Bytes that are no archive read as a miss.
    cache->setCustomArchiveBlock([](const ns::Id&) { return ns::Data::withBytes(std::string_view("garbage")); });
    cache->setObjectForKey(ns::str("v"), "garbage");
    EXPECT_EQ(cache->totalCount(), 1);
    EXPECT_NO_THROW(EXPECT_FALSE(cache->objectForKey("garbage")));
}

TEST_F(DiskCacheTest, AsynchronousCallbacksRunOnTheCachesQueue) {
    auto cache = TVDiskCache::initWithPath(folder("disk"));
    std::vector<std::string> heard;
    std::mutex heardLock;
    auto note = [&](std::string what) {
        auto queue = dispatch::currentQueue();
        std::lock_guard hold(heardLock);
        heard.push_back(what + (queue && queue->label() == "com.norvane.cache.disk" ? "" : " (elsewhere)"));
    };
    cache->setObjectForKeyWithBlock(ns::str("v"), "k", [&] { note("set"); });
    env_.runUntilIdle();
    cache->containsObjectForKeyWithBlock("k", [&](const std::string& key, bool contains) {
        note("contains " + key + (contains ? " yes" : " no"));
    });
    cache->objectForKeyWithBlock("k", [&](const std::string& key, const ns::Id& object) {
        note("object " + key + " " + ns::textOf(object));
    });
    cache->totalCountWithBlock([&](int64_t count) { note("count " + std::to_string(count)); });
    cache->totalCostWithBlock([&](int64_t cost) { note(cost > 0 ? "cost" : "no cost"); });
    env_.runUntilIdle();
    cache->trimToCountWithBlock(5, [&] { note("trim count"); });
    cache->trimToCostWithBlock(1 << 20, [&] { note("trim cost"); });
    cache->trimToAgeWithBlock(100, [&] { note("trim age"); });
    env_.runUntilIdle();
    cache->removeObjectForKeyWithBlock("k", [&](const std::string& key) { note("removed " + key); });
    env_.runUntilIdle();
    cache->setObjectForKeyWithBlock(ns::str("v"), "k2", nullptr);  // runs without a callback
    env_.runUntilIdle();
    EXPECT_TRUE(cache->containsObjectForKey("k2"));
    cache->removeAllObjectsWithBlock([&] { note("removed all"); });
    env_.runUntilIdle();
    EXPECT_EQ(cache->totalCount(), 0);

    std::sort(heard.begin() + 1, heard.begin() + 5);
    std::sort(heard.begin() + 5, heard.begin() + 8);
    EXPECT_EQ(heard, (std::vector<std::string>{"set", "contains k yes", "cost", "count 1", "object k v", "trim age",
                                               "trim cost", "trim count", "removed k", "removed all"}));
}

TEST_F(DiskCacheTest, ProgressRemovalReportsOnTheQueue) {
    auto cache = TVDiskCache::initWithPath(folder("disk"));
    for (int i = 0; i < 40; ++i) cache->setObjectForKey(ns::str("v"), "k" + std::to_string(i));
    std::vector<int> progress;
    std::vector<bool> ends;
    cache->removeAllObjectsWithProgressBlock([&](int removed, int) { progress.push_back(removed); },
                                             [&](bool error) { ends.push_back(error); });
    env_.runUntilIdle();
    EXPECT_EQ(progress, (std::vector<int>{32, 40}));
    EXPECT_EQ(ends, std::vector<bool>{false});

}

TEST_F(DiskCacheTest, TheAutomaticTrimEnforcesTheLimitsEverySixtySeconds) {
    auto cache = passThrough(TVDiskCache::initWithPath(folder("disk")));
    cache->setObjectForKey(bytes(100), "a");
    env_.fastForwardBy(1);
    cache->setObjectForKey(bytes(100), "b");
    env_.fastForwardBy(1);
    cache->setObjectForKey(bytes(100), "c");

    // 150 bytes short of the free space asked for: the oldest go first.
    ns::FileManager::setFileSystemFreeSizeForTesting(1000);
    cache->setFreeDiskSpaceLimit(1150);
    env_.fastForwardBy(57);
    EXPECT_EQ(cache->totalCount(), 3);
    env_.fastForwardBy(1);  // the pass at 60 s
    EXPECT_FALSE(cache->containsObjectForKey("a"));
    EXPECT_FALSE(cache->containsObjectForKey("b"));
    EXPECT_TRUE(cache->containsObjectForKey("c"));

    // Enough space: nothing more goes.
    ns::FileManager::setFileSystemFreeSizeForTesting(5000);
    cache->setObjectForKey(bytes(100), "d");
    env_.fastForwardBy(60);
    EXPECT_EQ(cache->totalCount(), 2);

    cache->setCountLimit(1);
    env_.fastForwardBy(60);
    EXPECT_EQ(cache->totalCount(), 1);
    cache->setCostLimit(50);
    env_.fastForwardBy(60);
    EXPECT_EQ(cache->totalCount(), 0);

    cache->setCostLimit(std::numeric_limits<uint64_t>::max());
    cache->setCountLimit(std::numeric_limits<uint64_t>::max());
    cache->setObjectForKey(bytes(100), "e");
    cache->setAgeLimit(0);
    env_.fastForwardBy(59);
    EXPECT_TRUE(cache->containsObjectForKey("e"));
    env_.fastForwardBy(1);
    EXPECT_FALSE(cache->containsObjectForKey("e"));
}

TEST_F(DiskCacheTest, TrimsByAgeCountAndCost) {
    auto cache = passThrough(TVDiskCache::initWithPath(folder("disk")));
    cache->setObjectForKey(bytes(10), "old");
    env_.fastForwardBy(100);
    cache->setObjectForKey(bytes(10), "new");
    cache->trimToAge(50);
    EXPECT_FALSE(cache->containsObjectForKey("old"));
    EXPECT_TRUE(cache->containsObjectForKey("new"));
    cache->trimToAge(DBL_MAX);
    cache->trimToCost(uint64_t(INT32_MAX));
    cache->trimToCount(uint64_t(INT32_MAX) + 5);
    EXPECT_TRUE(cache->containsObjectForKey("new"));
    cache->trimToCost(0);
    EXPECT_EQ(cache->totalCount(), 0);
}

TEST_F(DiskCacheTest, AfterTerminationNothingIsServed) {
    auto cache = TVDiskCache::initWithPath(folder("disk"));
    cache->setObjectForKey(ns::str("v"), "k");
    auto application = ui::Application::sharedApplication();
    EXPECT_EQ(TVSharedApplication(), application);  // an app, not an extension
    ns::NotificationCenter::defaultCenter()->postNotificationName(ui::ApplicationWillTerminateNotification);
    EXPECT_EQ(application->backgroundTaskCount(), 0u);  // the storage's closing task has ended
    EXPECT_FALSE(cache->objectForKey("k"));
    EXPECT_FALSE(cache->containsObjectForKey("k"));
    EXPECT_EQ(cache->totalCount(), 0);
    cache->setObjectForKey(ns::str("v"), "k2");
    cache->trimToCount(0);
    EXPECT_FALSE(cache->errorLogsEnabled());

    // The data stays on disk for the next launch.
    cache.reset();
    auto next = TVDiskCache::initWithPath(folder("disk"));
    EXPECT_EQ(ns::textOf(next->objectForKey("k")), "v");
    EXPECT_FALSE(next->containsObjectForKey("k2"));
}

TEST_F(DiskCacheTest, DescriptionAndLogSwitch) {
    auto cache = TVDiskCache::initWithPath(folder("disk"));
    EXPECT_TRUE(cache->description().ends_with("> (" + folder("disk") + ")")) << cache->description();
    cache->setName("images");
    EXPECT_TRUE(cache->description().ends_with("> (images:" + folder("disk") + ")")) << cache->description();
    EXPECT_TRUE(cache->errorLogsEnabled());
    cache->setErrorLogsEnabled(false);
    EXPECT_FALSE(cache->errorLogsEnabled());
}

}  // namespace
}  // namespace cache_test
