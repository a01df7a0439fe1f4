#pragma once
// A memory cache and a disk cache under one name, behind one key-value
// interface: reads try memory first and promote disk hits into memory;
// writes and removals go to memory, then to disk. Holds no lock of its own:
// each half is thread-safe, and another thread may briefly see an object in
// memory that is not yet on disk.
//
// Callbacks run on a global queue (memory hits) or on the disk cache's
// queue (everything else), never on the caller's thread.

#include <string>
#include <string_view>

#include "image/cache/TVDiskCache.h"
#include "image/cache/TVMemoryCache.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

class TVCache : public ns::Object {
    RT_DECLARE_CLASS(TVCache)
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    TVCache(Passkey, std::string name, ns::Ref<TVMemoryCache> memoryCache, ns::Ref<TVDiskCache> diskCache);

    // The plain initializer makes no cache: it logs how to make one and gives nil.
    static ns::Ref<TVCache> init();
    // A folder of that name in the user's caches folder; nil for an empty name.
    static ns::Ref<TVCache> initWithName(std::string_view name);
    // Nil for an empty path or when the disk cache cannot be made. A live
    // disk cache for the folder is shared; the memory cache is new.
    static ns::Ref<TVCache> initWithPath(std::string_view path);
    static ns::Ref<TVCache> cacheWithName(std::string_view name) { return initWithName(name); }
    static ns::Ref<TVCache> cacheWithPath(std::string_view path) { return initWithPath(path); }

    const std::string& name() const { return name_; }
    const ns::Ref<TVMemoryCache>& memoryCache() const { return memoryCache_; }
    const ns::Ref<TVDiskCache>& diskCache() const { return diskCache_; }

    bool containsObjectForKey(std::string_view key);
    void containsObjectForKeyWithBlock(std::string_view key, TVDiskCache::ContainsBlock block);
    ns::Id objectForKey(std::string_view key);
    void objectForKeyWithBlock(std::string_view key, TVDiskCache::ObjectBlock block);
    void setObjectForKey(const ns::Id& object, std::string_view key);
    void setObjectForKeyWithBlock(const ns::Id& object, std::string_view key, TVDiskCache::DoneBlock block);
    void removeObjectForKey(std::string_view key);
    void removeObjectForKeyWithBlock(std::string_view key, TVDiskCache::KeyBlock block);
    void removeAllObjects();
    void removeAllObjectsWithBlock(TVDiskCache::DoneBlock block);
    void removeAllObjectsWithProgressBlock(TVKVStorage::ProgressBlock progress, TVKVStorage::EndBlock end);

    std::string description() const override;

private:
    std::string name_;
    ns::Ref<TVMemoryCache> memoryCache_;
    ns::Ref<TVDiskCache> diskCache_;
};
