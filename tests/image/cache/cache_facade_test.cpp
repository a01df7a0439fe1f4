#include <mutex>
#include <string>

#include "image/cache/TVCache.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/String.h"
#include "platform/foundation/Text.h"
#include "tests/image/cache/cache_test_support.h"

namespace cache_test {
namespace {

using CacheFacadeTest = CacheTest;

std::string currentLabel() {
    auto queue = dispatch::currentQueue();
    return queue ? queue->label() : "(none)";
}

TEST_F(CacheFacadeTest, CreationByNameOrPath) {
    ns::LogCapture logs;
    EXPECT_FALSE(TVCache::init());
    EXPECT_TRUE(logs.contains("Use \"initWithName\" or \"initWithPath\" to create TVCache instance."));
    EXPECT_FALSE(TVCache::initWithName(""));
    EXPECT_FALSE(TVCache::initWithPath(""));
    scratch_.write("file", "x");
    EXPECT_FALSE(TVCache::cacheWithPath(folder("file")));

    auto named = TVCache::cacheWithName("thumbs");
    ASSERT_TRUE(named);
    EXPECT_EQ(named->name(), "thumbs");
    EXPECT_EQ(named->diskCache()->path(), scratch_ / "home/Library/Caches/thumbs");
    EXPECT_EQ(named->memoryCache()->name(), "thumbs");
    EXPECT_TRUE(named->description().ends_with("> (thumbs)")) << named->description();
    EXPECT_EQ(named->diskCache()->inlineThreshold(), 20480u);
}

TEST_F(CacheFacadeTest, ADiskOnlyKeyIsPromotedToMemory) {
    auto cache = TVCache::initWithPath(folder("facade"));
    cache->diskCache()->setObjectForKey(ns::str("disk"), "k");
    EXPECT_FALSE(cache->memoryCache()->containsObjectForKey("k"));
    EXPECT_TRUE(cache->containsObjectForKey("k"));
    EXPECT_EQ(ns::textOf(cache->objectForKey("k")), "disk");
    EXPECT_TRUE(cache->memoryCache()->containsObjectForKey("k"));

    cache->setObjectForKey(ns::str("both"), "b");
    EXPECT_TRUE(cache->memoryCache()->containsObjectForKey("b"));
    EXPECT_TRUE(cache->diskCache()->containsObjectForKey("b"));
    cache->removeObjectForKey("b");
    EXPECT_FALSE(cache->containsObjectForKey("b"));
    cache->removeAllObjects();
    EXPECT_FALSE(cache->containsObjectForKey("k"));
    EXPECT_EQ(cache->diskCache()->totalCount(), 0);
}

TEST_F(CacheFacadeTest, BothLevelsRefuseTheEmptyKey) {
    auto cache = TVCache::initWithPath(folder("facade"));
    cache->setObjectForKey(ns::str("none"), "");
    EXPECT_FALSE(cache->memoryCache()->containsObjectForKey(""));
    EXPECT_FALSE(cache->diskCache()->containsObjectForKey(""));
    EXPECT_FALSE(cache->containsObjectForKey(""));
    EXPECT_FALSE(cache->objectForKey(""));
    EXPECT_EQ(cache->memoryCache()->totalCount(), 0u);
}

TEST_F(CacheFacadeTest, CallbacksComeFromAGlobalQueueOrTheDiskQueue) {
    auto cache = TVCache::initWithPath(folder("facade"));
    std::mutex lock;
    std::vector<std::string> heard;
    auto note = [&](const std::string& what) {
        std::lock_guard hold(lock);
        heard.push_back(what + " on " + currentLabel());
    };
    cache->memoryCache()->setObjectForKey(ns::str("m"), "memory");
    cache->diskCache()->setObjectForKey(ns::str("d"), "disk");

    cache->objectForKeyWithBlock("missing", [&](const std::string& key, const ns::Id& object) {
        note(key + (object ? " found" : " nil"));
    });
    env_.runUntilIdle();
    EXPECT_FALSE(cache->memoryCache()->containsObjectForKey("missing"));
    cache->objectForKeyWithBlock("disk", [&](const std::string& key, const ns::Id& object) {
        note(key + " " + ns::textOf(object));
    });
    env_.runUntilIdle();
    EXPECT_TRUE(cache->memoryCache()->containsObjectForKey("disk"));
    cache->objectForKeyWithBlock("memory", [&](const std::string& key, const ns::Id& object) {
        note(key + " " + ns::textOf(object));
    });
    env_.runUntilIdle();
    cache->containsObjectForKeyWithBlock("memory", [&](const std::string& key, bool yes) {
        note(key + (yes ? " yes" : " no"));
    });
    env_.runUntilIdle();
    cache->containsObjectForKeyWithBlock("missing", [&](const std::string& key, bool yes) {
        note(key + (yes ? " yes" : " no"));
    });
    env_.runUntilIdle();
    cache->setObjectForKeyWithBlock(ns::str("v"), "set", [&] { note("set"); });
    env_.runUntilIdle();
    EXPECT_TRUE(cache->memoryCache()->containsObjectForKey("set"));
    cache->removeObjectForKeyWithBlock("set", [&](const std::string& key) { note("removed " + key); });
    env_.runUntilIdle();
    EXPECT_FALSE(cache->memoryCache()->containsObjectForKey("set"));
    cache->removeAllObjectsWithProgressBlock(nullptr, [&](bool error) { note(error ? "end error" : "end"); });
    env_.runUntilIdle();
    cache->removeAllObjectsWithBlock([&] { note("all removed"); });
    env_.runUntilIdle();
    EXPECT_EQ(cache->memoryCache()->totalCount(), 0u);

    const std::string global = dispatch::globalQueue()->label();
    EXPECT_EQ(heard, (std::vector<std::string>{
                         "missing nil on com.norvane.cache.disk", "disk d on com.norvane.cache.disk",
                         "memory m on " + global, "memory yes on " + global, "missing no on com.norvane.cache.disk",
                         "set on com.norvane.cache.disk", "removed set on com.norvane.cache.disk",
                         "end on com.norvane.cache.disk", "all removed on com.norvane.cache.disk"}));
}

TEST_F(CacheFacadeTest, TwoFacadesShareTheDiskCacheOnly) {
    auto first = TVCache::initWithPath(folder("facade"));
    auto second = TVCache::initWithPath(folder("facade") + "/");
    EXPECT_EQ(first->diskCache(), second->diskCache());
    EXPECT_NE(first->memoryCache(), second->memoryCache());
    first->setObjectForKey(ns::str("v"), "k");
    EXPECT_FALSE(second->memoryCache()->containsObjectForKey("k"));
    EXPECT_EQ(ns::textOf(second->objectForKey("k")), "v");
}

}  // namespace
}  // namespace cache_test
