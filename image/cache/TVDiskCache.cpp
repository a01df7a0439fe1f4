#include "image/cache/TVDiskCache.h"

#include <climits>
#include <cmath>
#include <exception>
#include <filesystem>
#include <unordered_map>

#include "image/cache/TVCacheClock.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/HomeDirectory.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/runtime/Exception.h"
#include "platform/security/Digest.h"
#include "platform/security/Hex.h"
#include "platform/uikit/Application.h"

RT_DEFINE_CLASS(TVDiskCache, ns::Object, "TVDiskCache")

namespace {

constexpr const char* QueueLabel = "com.norvane.cache.disk";
// The address is the key of the extended data kept with an object.
const char extendedDataKey = 0;

// Live caches by folder, held weakly so an entry lapses with its cache.
struct InstanceTable {
    std::shared_ptr<dispatch::Semaphore> lock = dispatch::Semaphore::create(1);
    std::unordered_map<std::string, ns::Weak<TVDiskCache>> caches;
};

InstanceTable& instances() {
    static auto* table = new InstanceTable();
    return *table;
}

// One key per folder however it is written: absolute, without "." or "..",
// without a trailing slash.
std::string instanceKey(std::string_view path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(std::filesystem::path(path), error);
    if (error) absolute = std::filesystem::path(path);
    std::string key = absolute.lexically_normal().string();
    while (key.size() > 1 && key.back() == '/') key.pop_back();
    return key;
}

TVKVStorageType storageTypeFor(uint64_t threshold) {
    if (threshold == 0) return TVKVStorageTypeFile;
    if (threshold == std::numeric_limits<uint64_t>::max()) return TVKVStorageTypeSQLite;
    return TVKVStorageTypeMixed;
}

// The free space of the volume holding the home folder; -1 when unknown.
int64_t freeDiskSpace() {
    auto attributes = ns::FileManager::defaultManager()->attributesOfFileSystemForPath(ns::homeDirectory());
    if (!attributes) return -1;
    return std::max<int64_t>(ns::fileSystemFreeSize(*attributes), -1);
}

}  // namespace

// Holds the lock for a scope; storage() is nil once the app has terminated.
class TVDiskCache::Locked {
public:
    explicit Locked(TVDiskCache& cache) : cache_(cache) { cache_.lock_->wait(); }
    ~Locked() { cache_.lock_->signal(); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
    TVKVStorage* storage() const { return cache_.kv_.get(); }

private:
    TVDiskCache& cache_;
};

// ---- Creation ----

TVDiskCache::TVDiskCache() {
    ns::Exception::raise("TVDiskCache init error",
                         "TVDiskCache must be initialized with a path. Use 'initWithPath:' or "
                         "'initWithPath:inlineThreshold:' instead.");
}

TVDiskCache::TVDiskCache(Passkey, ns::Ref<TVKVStorage> storage, std::string path, uint64_t inlineThreshold)
    : kv_(std::move(storage)),
      lock_(dispatch::Semaphore::create(1)),
      queue_(dispatch::Queue::concurrent(QueueLabel)),
      path_(std::move(path)),
      inlineThreshold_(inlineThreshold) {}

ns::Ref<TVDiskCache> TVDiskCache::initWithPath(std::string_view path, uint64_t inlineThreshold) {
    InstanceTable& table = instances();
    const std::string key = path.empty() ? std::string() : instanceKey(path);
    // Held through the creation too, so that two threads asking for one
    // folder never open two storages on one database.
    if (!key.empty()) table.lock->wait();
    ns::Ref<TVDiskCache> cache;
    if (auto it = table.caches.find(key); !key.empty() && it != table.caches.end()) cache = it->second.lock();
    if (!cache) {
        if (auto storage = TVKVStorage::initWithPath(path, storageTypeFor(inlineThreshold))) {
            cache = std::make_shared<TVDiskCache>(Passkey(), std::move(storage), std::string(path), inlineThreshold);
            cache->scheduleAutoTrim();
            if (!key.empty()) table.caches[key] = cache;
            cache->observeTermination();
        }
    }
    if (!key.empty()) table.lock->signal();
    return cache;
}

TVDiskCache::~TVDiskCache() {
    if (!lock_) return;  // refused plain initializer
    ns::NotificationCenter::defaultCenter()->removeObserver(this);
}

void TVDiskCache::observeTermination() {
    ns::NotificationCenter::defaultCenter()->addObserver(
        this, ui::ApplicationWillTerminateNotification, nullptr, [weak = weak_from_this()](const auto&) {
            auto self = std::static_pointer_cast<TVDiskCache>(weak.lock());
            if (!self) return;
            // The storage closes its database as it goes; nothing is served after.
            Locked hold(*self);
            self->kv_.reset();
        });
}

// ---- Properties ----

std::string TVDiskCache::name() const {
    std::lock_guard hold(propertiesLock_);
    return name_;
}

void TVDiskCache::setName(std::string name) {
    std::lock_guard hold(propertiesLock_);
    name_ = std::move(name);
}

TVDiskCache::ArchiveBlock TVDiskCache::customArchiveBlock() const {
    std::lock_guard hold(propertiesLock_);
    return customArchiveBlock_;
}

void TVDiskCache::setCustomArchiveBlock(ArchiveBlock block) {
    std::lock_guard hold(propertiesLock_);
    customArchiveBlock_ = std::move(block);
}

TVDiskCache::UnarchiveBlock TVDiskCache::customUnarchiveBlock() const {
    std::lock_guard hold(propertiesLock_);
    return customUnarchiveBlock_;
}

void TVDiskCache::setCustomUnarchiveBlock(UnarchiveBlock block) {
    std::lock_guard hold(propertiesLock_);
    customUnarchiveBlock_ = std::move(block);
}

TVDiskCache::FileNameBlock TVDiskCache::customFileNameBlock() const {
    std::lock_guard hold(propertiesLock_);
    return customFileNameBlock_;
}

void TVDiskCache::setCustomFileNameBlock(FileNameBlock block) {
    std::lock_guard hold(propertiesLock_);
    customFileNameBlock_ = std::move(block);
}

bool TVDiskCache::errorLogsEnabled() {
    Locked hold(*this);
    return hold.storage() && hold.storage()->errorLogsEnabled();
}

void TVDiskCache::setErrorLogsEnabled(bool enabled) {
    Locked hold(*this);
    if (hold.storage()) hold.storage()->setErrorLogsEnabled(enabled);
}

std::string TVDiskCache::description() const {
    const std::string name = this->name();
    if (!name.empty()) return ns::format("<%@: %p> (%@:%@)", className(), this, name, path_);
    return ns::format("<%@: %p> (%@)", className(), this, path_);
}

// ---- Extended data ----

void TVDiskCache::setExtendedDataToObject(const ns::Ref<ns::Data>& extendedData, const ns::Id& object) {
    if (!object) return;
    object->setAssociated(&extendedDataKey, extendedData ? std::any(extendedData) : std::any());
}

ns::Ref<ns::Data> TVDiskCache::getExtendedDataFromObject(const ns::Id& object) {
    if (!object) return nullptr;
    std::any value = object->associated(&extendedDataKey);
    auto* data = std::any_cast<ns::Ref<ns::Data>>(&value);
    return data ? *data : nullptr;
}

// ---- Blocking ----

std::string TVDiskCache::fileNameForKey(std::string_view key) const {
    if (auto block = customFileNameBlock()) {
        std::string name = block(key);
        if (!name.empty()) return name;
    }
    return sec::hexLower(sec::md5(key));
}

bool TVDiskCache::containsObjectForKey(std::string_view key) {
    if (key.empty()) return false;
    Locked hold(*this);
    return hold.storage() && hold.storage()->itemExistsForKey(key);
}

ns::Id TVDiskCache::objectForKey(std::string_view key) {
    if (key.empty()) return nullptr;
    ns::Ref<TVKVStorageItem> item;
    {
        Locked hold(*this);
        if (hold.storage()) item = hold.storage()->getItemForKey(key);
    }
    if (!item || !item->value) return nullptr;
    ns::Id object;
    try {
        if (auto unarchive = customUnarchiveBlock()) {
            object = unarchive(item->value);
        } else {
            object = ns::KeyedUnarchiver::unarchiveObjectWithData(item->value);
        }
    } catch (const std::exception&) {
        return nullptr;  // unreadable bytes read as a miss
    }
    if (object && item->extendedData) setExtendedDataToObject(item->extendedData, object);
    return object;
}

void TVDiskCache::setObjectForKey(const ns::Id& object, std::string_view key) {
    if (key.empty()) return;
    if (!object) {
        removeObjectForKey(key);
        return;
    }
    ns::Ref<ns::Data> extendedData = getExtendedDataFromObject(object);
    ns::Ref<ns::Data> value;
    try {
        if (auto archive = customArchiveBlock()) {
            value = archive(object);
        } else {
            value = ns::KeyedArchiver::archivedDataWithRootObject(object);
        }
    } catch (const std::exception&) {
        return;  // an object that cannot be archived is not stored
    }
    if (!value) return;
    std::string filename;
    if (storageTypeFor(inlineThreshold_) != TVKVStorageTypeSQLite && value->length() > inlineThreshold_) {
        filename = fileNameForKey(key);
    }
    Locked hold(*this);
    if (hold.storage()) hold.storage()->saveItemWithKey(key, value, filename, extendedData);
}

void TVDiskCache::removeObjectForKey(std::string_view key) {
    if (key.empty()) return;
    Locked hold(*this);
    if (hold.storage()) hold.storage()->removeItemForKey(key);
}

void TVDiskCache::removeAllObjects() {
    Locked hold(*this);
    if (hold.storage()) hold.storage()->removeAllItems();
}

int64_t TVDiskCache::totalCount() {
    Locked hold(*this);
    return hold.storage() ? hold.storage()->getItemsCount() : 0;
}

int64_t TVDiskCache::totalCost() {
    Locked hold(*this);
    return hold.storage() ? hold.storage()->getItemsSize() : 0;
}

void TVDiskCache::trimToCount(uint64_t count) {
    Locked hold(*this);
    trimToCountLocked(count);
}

void TVDiskCache::trimToCost(uint64_t cost) {
    Locked hold(*this);
    trimToCostLocked(cost);
}

void TVDiskCache::trimToAge(double age) {
    Locked hold(*this);
    trimToAgeLocked(age);
}

// ---- Trims, with the lock held ----

void TVDiskCache::trimToCostLocked(uint64_t cost) {
    if (!kv_ || cost >= uint64_t(INT32_MAX)) return;
    kv_->removeItemsToFitSize(int32_t(cost));
}

void TVDiskCache::trimToCountLocked(uint64_t count) {
    if (!kv_ || count >= uint64_t(INT32_MAX)) return;
    kv_->removeItemsToFitCount(int32_t(count));
}

void TVDiskCache::trimToAgeLocked(double age) {
    if (!kv_) return;
    if (age <= 0) {
        kv_->removeAllItems();
        return;
    }
    const double now = double(TVUnixTime());
    if (now <= age) return;
    const double cutoff = std::floor(now - age);
    if (cutoff > double(INT32_MAX - 1)) return;
    kv_->removeItemsEarlierThanTime(int32_t(cutoff));
}

void TVDiskCache::trimToFreeDiskSpaceLocked(uint64_t target) {
    if (!kv_ || target == 0) return;
    const int64_t total = kv_->getItemsSize();
    if (total <= 0) return;
    const int64_t free = freeDiskSpace();
    if (free < 0) return;
    const int64_t needed = int64_t(std::min<uint64_t>(target, INT64_MAX)) - free;
    if (needed <= 0) return;
    trimToCostLocked(uint64_t(std::max<int64_t>(total - needed, 0)));
}

void TVDiskCache::scheduleAutoTrim() {
    dispatch::after(autoTrimInterval(), dispatch::globalQueue(dispatch::QueuePriority::Low),
                    [weak = weak_from_this()] {
                        auto self = std::static_pointer_cast<TVDiskCache>(weak.lock());
                        if (!self) return;  // the chain ends with the cache
                        self->queue_->async([weak] {
                            auto cache = std::static_pointer_cast<TVDiskCache>(weak.lock());
                            if (!cache) return;
                            Locked hold(*cache);
                            cache->trimToCostLocked(cache->costLimit());
                            cache->trimToCountLocked(cache->countLimit());
                            cache->trimToAgeLocked(cache->ageLimit());
                            cache->trimToFreeDiskSpaceLocked(cache->freeDiskSpaceLimit());
                        });
                        self->scheduleAutoTrim();
                    });
}

// ---- Asynchronous ----

void TVDiskCache::async(std::function<void(TVDiskCache* cache)> work) {
    queue_->async([weak = weak_from_this(), work = std::move(work)] {
        auto self = std::static_pointer_cast<TVDiskCache>(weak.lock());
        work(self.get());
    });
}

void TVDiskCache::containsObjectForKeyWithBlock(std::string_view key, ContainsBlock block) {
    if (!block) return;
    async([key = std::string(key), block = std::move(block)](TVDiskCache* cache) {
        block(key, cache && cache->containsObjectForKey(key));
    });
}

void TVDiskCache::objectForKeyWithBlock(std::string_view key, ObjectBlock block) {
    if (!block) return;
    async([key = std::string(key), block = std::move(block)](TVDiskCache* cache) {
        block(key, cache ? cache->objectForKey(key) : nullptr);
    });
}

void TVDiskCache::setObjectForKeyWithBlock(const ns::Id& object, std::string_view key, DoneBlock block) {
    async([object, key = std::string(key), block = std::move(block)](TVDiskCache* cache) {
        if (cache) cache->setObjectForKey(object, key);
        if (block) block();
    });
}

void TVDiskCache::removeObjectForKeyWithBlock(std::string_view key, KeyBlock block) {
    async([key = std::string(key), block = std::move(block)](TVDiskCache* cache) {
        if (cache) cache->removeObjectForKey(key);
        if (block) block(key);
    });
}

void TVDiskCache::removeAllObjectsWithBlock(DoneBlock block) {
    async([block = std::move(block)](TVDiskCache* cache) {
        if (cache) cache->removeAllObjects();
        if (block) block();
    });
}

void TVDiskCache::removeAllObjectsWithProgressBlock(TVKVStorage::ProgressBlock progress, TVKVStorage::EndBlock end) {
    async([progress = std::move(progress), end = std::move(end)](TVDiskCache* cache) {
        if (cache) {
            Locked hold(*cache);
            if (hold.storage()) {
                hold.storage()->removeAllItemsWithProgressBlock(progress, end);
                return;
            }
        }
        // Gone, or terminated: nothing was removed, and the caller still hears so.
        if (end) end(true);
    });
}

void TVDiskCache::totalCountWithBlock(CountBlock block) {
    if (!block) return;
    async([block = std::move(block)](TVDiskCache* cache) { block(cache ? cache->totalCount() : 0); });
}

void TVDiskCache::totalCostWithBlock(CountBlock block) {
    if (!block) return;
    async([block = std::move(block)](TVDiskCache* cache) { block(cache ? cache->totalCost() : 0); });
}

void TVDiskCache::trimToCountWithBlock(uint64_t count, DoneBlock block) {
    async([count, block = std::move(block)](TVDiskCache* cache) {
        if (cache) cache->trimToCount(count);
        if (block) block();
    });
}

void TVDiskCache::trimToCostWithBlock(uint64_t cost, DoneBlock block) {
    async([cost, block = std::move(block)](TVDiskCache* cache) {
        if (cache) cache->trimToCost(cost);
        if (block) block();
    });
}

void TVDiskCache::trimToAgeWithBlock(double age, DoneBlock block) {
    async([age, block = std::move(block)](TVDiskCache* cache) {
        if (cache) cache->trimToAge(age);
        if (block) block();
    });
}
