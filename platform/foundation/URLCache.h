#pragma once
// The URL cache: responses kept by request URL in memory and on disk, each
// part bounded by its capacity (least recently used entries go first). The
// loaders consult it for GET requests by their cache policy; an entry is
// served without asking the server only while it is fresh by the response's
// own Cache-Control max-age or Expires.
//
// The disk part is a folder under the app's Library/Caches (a relative disk
// path) or the given absolute folder; a disk capacity of 0 keeps nothing on
// disk. Thread-safe.

#include <cstdint>
#include <list>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/foundation/Data.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/URLRequest.h"
#include "platform/foundation/URLResponse.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

enum URLCacheStoragePolicy : uint64_t {
    URLCacheStorageAllowed = 0,
    URLCacheStorageAllowedInMemoryOnly = 1,
    URLCacheStorageNotAllowed = 2,
};

class CachedURLResponse : public Object {
    RT_DECLARE_CLASS(CachedURLResponse)
public:
    CachedURLResponse() = default;
    static Ref<CachedURLResponse> make(Ref<URLResponse> response, Ref<Data> data, Ref<Dictionary> userInfo = nullptr,
                                       uint64_t storagePolicy = URLCacheStorageAllowed);

    const Ref<URLResponse>& response() const { return response_; }
    const Ref<Data>& data() const { return data_; }
    const Ref<Dictionary>& userInfo() const { return userInfo_; }
    uint64_t storagePolicy() const { return storagePolicy_; }

    // When the cache stored it (seconds since 1970 on the clock); 0 before.
    double storedAt() const { return storedAt_; }
    // Within the response's max-age (or before its Expires date) now; never
    // for no-cache responses or ones that give no lifetime.
    bool isFresh() const;

    Id copy() const override { return self(); }

private:
    friend class URLCache;

    Ref<URLResponse> response_;
    Ref<Data> data_;
    Ref<Dictionary> userInfo_;
    uint64_t storagePolicy_ = URLCacheStorageAllowed;
    double storedAt_ = 0;
};

class URLCache : public Object {
    RT_DECLARE_CLASS(URLCache)
public:
    URLCache() = default;
    ~URLCache() override;
    // The shared cache: 512 KB in memory, 10 MB on disk in "URLCache".
    static Ref<URLCache> sharedURLCache();
    static void setSharedURLCache(Ref<URLCache> cache);
    static Ref<URLCache> make(uint64_t memoryCapacity, uint64_t diskCapacity, std::string diskPath);

    // nil when nothing is stored for the request's URL.
    Ref<CachedURLResponse> cachedResponseForRequest(const URLRequest& request);
    void storeCachedResponse(const Ref<CachedURLResponse>& cachedResponse, const URLRequest& request);
    void removeCachedResponseForRequest(const URLRequest& request);
    void removeAllCachedResponses();

    uint64_t memoryCapacity() const;
    uint64_t diskCapacity() const;
    void setMemoryCapacity(uint64_t bytes);
    void setDiskCapacity(uint64_t bytes);
    uint64_t currentMemoryUsage() const;
    uint64_t currentDiskUsage() const;
    // The folder the disk part uses; empty without one.
    std::string diskPath() const;

    // Whether a loader may store this response to `request` at all: a GET
    // answered 200, 203 or 301, neither side saying no-store, and small
    // enough (a twentieth of the larger capacity).
    bool shouldStoreResponse(const URLRequest& request, const URLResponse& response, uint64_t length) const;

private:
    struct MemoryEntry {
        Ref<CachedURLResponse> response;
        uint64_t cost;
        std::list<std::string>::iterator use;
    };
    struct DiskEntry {
        uint64_t size;
        uint64_t lastUse;
    };

    static std::string keyFor(const URLRequest& request);
    std::string resolvedDiskPathLocked() const;
    void loadDiskIndexLocked();
    void trimMemoryLocked();
    void trimDiskLocked();
    void removeMemoryLocked(const std::string& key);
    Ref<CachedURLResponse> readDiskLocked(const std::string& key);
    void writeDiskLocked(const std::string& key, const CachedURLResponse& response);
    void removeDiskLocked(const std::string& key);

    mutable std::mutex lock_;
    uint64_t memoryCapacity_ = 0;
    uint64_t diskCapacity_ = 0;
    std::string diskPath_;
    std::unordered_map<std::string, MemoryEntry> memory_;
    std::list<std::string> memoryUse_;  // most recent first
    uint64_t memoryUsage_ = 0;
    // By file name; built from the folder when the disk is first used.
    std::map<std::string, DiskEntry> disk_;
    std::string indexedPath_;
    uint64_t diskUsage_ = 0;
    uint64_t useCounter_ = 0;
};

}  // namespace ns
