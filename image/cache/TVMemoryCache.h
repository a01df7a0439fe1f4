#pragma once
// A thread-safe in-memory cache with least-recently-used eviction under
// three limits: count, total cost and age. It trims itself every
// autoTrimInterval seconds, empties itself on a memory warning and when the
// app enters the background (both switchable), and by default releases
// evicted objects on a low-priority queue rather than the caller's thread.
//
// One mutex guards the list; every call holds it only for constant-time
// work. Trims never wait on it: they try it, evict one entry per hold and
// back off 10 ms while it is busy. A cost overflow after an insertion is
// trimmed later on the cache's serial queue "com.norvane.cache.memory"; a
// count overflow evicts one entry at once.

#include <atomic>
#include <cfloat>
#include <cstdint>
#include <functional>
#include <limits>
#include <mutex>
#include <string>
#include <string_view>

#include "image/cache/_TVLinkedMap.h"
#include "platform/dispatch/Queue.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

class TVMemoryCache : public ns::Object {
    RT_DECLARE_CLASS(TVMemoryCache)
public:
    using CacheBlock = std::function<void(TVMemoryCache& cache)>;

    // Use make(): the automatic trim and the observers need the cache shared.
    TVMemoryCache();
    ~TVMemoryCache() override;
    static ns::Ref<TVMemoryCache> make();

    std::string name() const;
    void setName(std::string name);

    uint64_t totalCount();
    uint64_t totalCost();

    // ---- Limits: read by the trims on other threads ----
    uint64_t countLimit() const { return countLimit_.load(); }
    void setCountLimit(uint64_t limit) { countLimit_.store(limit); }
    uint64_t costLimit() const { return costLimit_.load(); }
    void setCostLimit(uint64_t limit) { costLimit_.store(limit); }
    double ageLimit() const { return ageLimit_.load(); }
    void setAgeLimit(double seconds) { ageLimit_.store(seconds); }
    // Read again before each pass is scheduled.
    double autoTrimInterval() const { return autoTrimInterval_.load(); }
    void setAutoTrimInterval(double seconds) { autoTrimInterval_.store(seconds); }

    bool shouldRemoveAllObjectsOnMemoryWarning() const { return removeOnMemoryWarning_.load(); }
    void setShouldRemoveAllObjectsOnMemoryWarning(bool on) { removeOnMemoryWarning_.store(on); }
    bool shouldRemoveAllObjectsWhenEnteringBackground() const { return removeWhenEnteringBackground_.load(); }
    void setShouldRemoveAllObjectsWhenEnteringBackground(bool on) { removeWhenEnteringBackground_.store(on); }
    CacheBlock didReceiveMemoryWarningBlock() const;
    void setDidReceiveMemoryWarningBlock(CacheBlock block);
    CacheBlock didEnterBackgroundBlock() const;
    void setDidEnterBackgroundBlock(CacheBlock block);

    // Where removed objects die: on the main thread, and/or later.
    bool releaseOnMainThread();
    void setReleaseOnMainThread(bool on);
    bool releaseAsynchronously();
    void setReleaseAsynchronously(bool on);

    // ---- Access ----
    // The empty key stands for no key, as everywhere in the caches: every
    // operation ignores it (no, nil, nothing stored or removed).
    bool containsObjectForKey(std::string_view key);
    // A hit makes the entry the most recently used.
    ns::Id objectForKey(std::string_view key);
    void setObjectForKey(const ns::Id& object, std::string_view key) { setObjectForKeyWithCost(object, key, 0); }
    // A nil object removes the key.
    void setObjectForKeyWithCost(const ns::Id& object, std::string_view key, uint64_t cost);
    void removeObjectForKey(std::string_view key);
    void removeAllObjects();

    // ---- Trims, on the calling thread ----
    void trimToCount(uint64_t count);
    void trimToCost(uint64_t cost);
    // Entries not used for longer than `age` seconds; 0 or below empties.
    void trimToAge(double age);

    std::string description() const override;

private:
    enum class Trim { Cost, Count };
    void trimToLimit(Trim kind, uint64_t limit);
    void trimBeyondAge(double age);
    // One entry per hold of the lock while `over` (called with it held) says so.
    void evictWhile(const std::function<bool()>& over);
    void scheduleAutoTrim();
    void observeApplication();
    void didReceiveMemoryWarning();
    void didEnterBackground();

    std::mutex lock_;
    _TVLinkedMap lru_;
    dispatch::QueueRef queue_;

    mutable std::mutex propertiesLock_;
    std::string name_;
    CacheBlock didReceiveMemoryWarningBlock_;
    CacheBlock didEnterBackgroundBlock_;

    std::atomic<uint64_t> countLimit_{std::numeric_limits<uint64_t>::max()};
    std::atomic<uint64_t> costLimit_{std::numeric_limits<uint64_t>::max()};
    std::atomic<double> ageLimit_{DBL_MAX};
    std::atomic<double> autoTrimInterval_{5.0};
    std::atomic<bool> removeOnMemoryWarning_{true};
    std::atomic<bool> removeWhenEnteringBackground_{true};
};
