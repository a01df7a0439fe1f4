#pragma once
// A thread-safe persistent object cache over the key-value storage. Objects
// become bytes by keyed archiving (or the caller's blocks); bytes up to
// inlineThreshold live inside the manifest, longer ones in files named by
// the key's MD5. The folder is kept within count, total bytes, age and free
// disk space by a trim every autoTrimInterval seconds.
//
// One live cache per folder: creating another for the same path (trailing
// slash or not) returns the live one. Every operation blocks the caller and
// has an asynchronous twin whose callback runs on the cache's concurrent
// queue "com.norvane.cache.disk". Storage calls are serialised by a
// semaphore; archiving and naming run outside it.

#include <atomic>
#include <cfloat>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "image/cache/TVKVStorage.h"
#include "platform/dispatch/Queue.h"
#include "platform/dispatch/Semaphore.h"
#include "platform/foundation/Data.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

class TVDiskCache : public ns::Object {
    RT_DECLARE_CLASS(TVDiskCache)
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    static constexpr uint64_t DefaultInlineThreshold = 20480;

    using ArchiveBlock = std::function<ns::Ref<ns::Data>(const ns::Id& object)>;
    using UnarchiveBlock = std::function<ns::Id(const ns::Ref<ns::Data>& data)>;
    using FileNameBlock = std::function<std::string(std::string_view key)>;
    using KeyBlock = std::function<void(const std::string& key)>;
    using ContainsBlock = std::function<void(const std::string& key, bool contains)>;
    using ObjectBlock = std::function<void(const std::string& key, const ns::Id& object)>;
    using CountBlock = std::function<void(int64_t value)>;
    using DoneBlock = std::function<void()>;

    // A cache needs a path: the plain initializer raises "TVDiskCache init error".
    TVDiskCache();
    TVDiskCache(Passkey, ns::Ref<TVKVStorage> storage, std::string path, uint64_t inlineThreshold);
    ~TVDiskCache() override;

    // The live cache for the folder, a new one, or nil when its storage
    // cannot be made. inlineThreshold 0 stores every value in a file, the
    // maximum every value inline; a live cache keeps its own.
    static ns::Ref<TVDiskCache> initWithPath(std::string_view path,
                                             uint64_t inlineThreshold = DefaultInlineThreshold);

    const std::string& path() const { return path_; }
    uint64_t inlineThreshold() const { return inlineThreshold_; }
    std::string name() const;
    void setName(std::string name);

    ArchiveBlock customArchiveBlock() const;
    void setCustomArchiveBlock(ArchiveBlock block);
    UnarchiveBlock customUnarchiveBlock() const;
    void setCustomUnarchiveBlock(UnarchiveBlock block);
    FileNameBlock customFileNameBlock() const;
    void setCustomFileNameBlock(FileNameBlock block);

    // ---- Limits, read by the automatic trim on its queue ----
    uint64_t countLimit() const { return countLimit_.load(); }
    void setCountLimit(uint64_t limit) { countLimit_.store(limit); }
    uint64_t costLimit() const { return costLimit_.load(); }  // bytes
    void setCostLimit(uint64_t limit) { costLimit_.store(limit); }
    double ageLimit() const { return ageLimit_.load(); }  // seconds since the last access
    void setAgeLimit(double seconds) { ageLimit_.store(seconds); }
    // Bytes to keep free on the volume; 0 switches it off.
    uint64_t freeDiskSpaceLimit() const { return freeDiskSpaceLimit_.load(); }
    void setFreeDiskSpaceLimit(uint64_t bytes) { freeDiskSpaceLimit_.store(bytes); }
    double autoTrimInterval() const { return autoTrimInterval_.load(); }
    void setAutoTrimInterval(double seconds) { autoTrimInterval_.store(seconds); }
    bool errorLogsEnabled();
    void setErrorLogsEnabled(bool enabled);

    // ---- Blocking ----
    bool containsObjectForKey(std::string_view key);
    ns::Id objectForKey(std::string_view key);
    // A nil object removes the key.
    void setObjectForKey(const ns::Id& object, std::string_view key);
    void removeObjectForKey(std::string_view key);
    void removeAllObjects();
    int64_t totalCount();
    int64_t totalCost();
    void trimToCount(uint64_t count);
    void trimToCost(uint64_t cost);
    void trimToAge(double age);

    // ---- Asynchronous: callbacks on the cache's queue ----
    void containsObjectForKeyWithBlock(std::string_view key, ContainsBlock block);
    void objectForKeyWithBlock(std::string_view key, ObjectBlock block);
    void setObjectForKeyWithBlock(const ns::Id& object, std::string_view key, DoneBlock block);
    void removeObjectForKeyWithBlock(std::string_view key, KeyBlock block);
    void removeAllObjectsWithBlock(DoneBlock block);
    void removeAllObjectsWithProgressBlock(TVKVStorage::ProgressBlock progress, TVKVStorage::EndBlock end);
    void totalCountWithBlock(CountBlock block);
    void totalCostWithBlock(CountBlock block);
    void trimToCountWithBlock(uint64_t count, DoneBlock block);
    void trimToCostWithBlock(uint64_t cost, DoneBlock block);
    void trimToAgeWithBlock(double age, DoneBlock block);

    // Bytes kept with an object (the image cache keeps an image's scale so).
    static void setExtendedDataToObject(const ns::Ref<ns::Data>& extendedData, const ns::Id& object);
    static ns::Ref<ns::Data> getExtendedDataFromObject(const ns::Id& object);

    std::string description() const override;

private:
    // The storage under the lock, or nil after the app terminated.
    class Locked;
    std::string fileNameForKey(std::string_view key) const;
    // Runs `work` on the queue with the cache if it is still alive.
    void async(std::function<void(TVDiskCache* cache)> work);
    void trimToCostLocked(uint64_t cost);
    void trimToCountLocked(uint64_t count);
    void trimToAgeLocked(double age);
    void trimToFreeDiskSpaceLocked(uint64_t target);
    void scheduleAutoTrim();
    void observeTermination();

    ns::Ref<TVKVStorage> kv_;  // guarded by lock_; released when the app terminates
    std::shared_ptr<dispatch::Semaphore> lock_;
    dispatch::QueueRef queue_;
    std::string path_;
    uint64_t inlineThreshold_ = DefaultInlineThreshold;

    mutable std::mutex propertiesLock_;
    std::string name_;
    ArchiveBlock customArchiveBlock_;
    UnarchiveBlock customUnarchiveBlock_;
    FileNameBlock customFileNameBlock_;

    std::atomic<uint64_t> countLimit_{std::numeric_limits<uint64_t>::max()};
    std::atomic<uint64_t> costLimit_{std::numeric_limits<uint64_t>::max()};
    std::atomic<double> ageLimit_{DBL_MAX};
    std::atomic<uint64_t> freeDiskSpaceLimit_{0};
    std::atomic<double> autoTrimInterval_{60.0};
};
