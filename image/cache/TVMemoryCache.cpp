#include "image/cache/TVMemoryCache.h"

#include <chrono>
#include <thread>
#include <vector>

#include "image/cache/TVCacheClock.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/uikit/Application.h"

RT_DEFINE_CLASS(TVMemoryCache, ns::Object, "TVMemoryCache")

namespace {

constexpr const char* QueueLabel = "com.norvane.cache.memory";

// Back-off of a trim that found the lock busy. A real pause, not a timed
// wait: it only lets the holder finish.
void backOff() { std::this_thread::sleep_for(std::chrono::microseconds(10000)); }

}  // namespace

TVMemoryCache::TVMemoryCache() : queue_(dispatch::Queue::serial(QueueLabel)) {}

ns::Ref<TVMemoryCache> TVMemoryCache::make() {
    auto cache = std::make_shared<TVMemoryCache>();
    cache->observeApplication();
    cache->scheduleAutoTrim();
    return cache;
}

TVMemoryCache::~TVMemoryCache() {
    ns::NotificationCenter::defaultCenter()->removeObserver(this);
    lru_.removeAll();
}

// ---- Properties ----

std::string TVMemoryCache::name() const {
    std::lock_guard hold(propertiesLock_);
    return name_;
}

void TVMemoryCache::setName(std::string name) {
    std::lock_guard hold(propertiesLock_);
    name_ = std::move(name);
}

TVMemoryCache::CacheBlock TVMemoryCache::didReceiveMemoryWarningBlock() const {
    std::lock_guard hold(propertiesLock_);
    return didReceiveMemoryWarningBlock_;
}

void TVMemoryCache::setDidReceiveMemoryWarningBlock(CacheBlock block) {
    std::lock_guard hold(propertiesLock_);
    didReceiveMemoryWarningBlock_ = std::move(block);
}

TVMemoryCache::CacheBlock TVMemoryCache::didEnterBackgroundBlock() const {
    std::lock_guard hold(propertiesLock_);
    return didEnterBackgroundBlock_;
}

void TVMemoryCache::setDidEnterBackgroundBlock(CacheBlock block) {
    std::lock_guard hold(propertiesLock_);
    didEnterBackgroundBlock_ = std::move(block);
}

uint64_t TVMemoryCache::totalCount() {
    std::lock_guard hold(lock_);
    return lru_._totalCount;
}

uint64_t TVMemoryCache::totalCost() {
    std::lock_guard hold(lock_);
    return lru_._totalCost;
}

bool TVMemoryCache::releaseOnMainThread() {
    std::lock_guard hold(lock_);
    return lru_._releaseOnMainThread;
}

void TVMemoryCache::setReleaseOnMainThread(bool on) {
    std::lock_guard hold(lock_);
    lru_._releaseOnMainThread = on;
}

bool TVMemoryCache::releaseAsynchronously() {
    std::lock_guard hold(lock_);
    return lru_._releaseAsynchronously;
}

void TVMemoryCache::setReleaseAsynchronously(bool on) {
    std::lock_guard hold(lock_);
    lru_._releaseAsynchronously = on;
}

std::string TVMemoryCache::description() const {
    const std::string name = this->name();
    if (!name.empty()) return ns::format("<%@: %p> (%@)", className(), this, name);
    return ns::format("<%@: %p>", className(), this);
}

// ---- Access ----

bool TVMemoryCache::containsObjectForKey(std::string_view key) {
    if (key.empty()) return false;
    std::lock_guard hold(lock_);
    return lru_.find(key) != nullptr;
}

ns::Id TVMemoryCache::objectForKey(std::string_view key) {
    if (key.empty()) return nullptr;
    // Read before taking the lock, to keep the clock out of its hold.
    const double now = TVMediaTime();
    std::lock_guard hold(lock_);
    _TVLinkedMapNode* node = lru_.find(key);
    if (!node) return nullptr;
    node->_time = now;
    lru_.bringNodeToHead(node);
    return node->_value;
}

void TVMemoryCache::setObjectForKeyWithCost(const ns::Id& object, std::string_view key, uint64_t cost) {
    if (key.empty()) return;
    if (!object) {
        removeObjectForKey(key);
        return;
    }
    const double now = TVMediaTime();
    std::lock_guard hold(lock_);
    if (_TVLinkedMapNode* node = lru_.find(key)) {
        lru_._totalCost -= node->_cost;
        lru_._totalCost += cost;
        node->_cost = cost;
        node->_time = now;
        node->_value = object;
        lru_.bringNodeToHead(node);
    } else {
        auto created = std::make_shared<_TVLinkedMapNode>();
        created->_cost = cost;
        created->_time = now;
        created->_key = std::string(key);
        created->_value = object;
        lru_.insertNodeAtHead(std::move(created));
    }
    if (lru_._totalCost > costLimit()) {
        queue_->async([weak = weak_from_this()] {
            if (auto self = std::static_pointer_cast<TVMemoryCache>(weak.lock())) self->trimToCost(self->costLimit());
        });
    }
    if (lru_._totalCount > countLimit()) {
        if (auto tail = lru_.removeTailNode()) lru_.release(std::move(tail));
    }
}

void TVMemoryCache::removeObjectForKey(std::string_view key) {
    if (key.empty()) return;
    std::lock_guard hold(lock_);
    if (_TVLinkedMapNode* node = lru_.find(key)) lru_.release(lru_.removeNode(node));
}

void TVMemoryCache::removeAllObjects() {
    std::lock_guard hold(lock_);
    lru_.removeAll();
}

// ---- Trims ----

void TVMemoryCache::trimToLimit(Trim kind, uint64_t limit) {
    auto over = [this, kind, limit] { return (kind == Trim::Cost ? lru_._totalCost : lru_._totalCount) > limit; };
    {
        std::lock_guard hold(lock_);
        if (limit == 0) {
            lru_.removeAll();
            return;
        }
        if (!over()) return;
    }
    evictWhile(over);
}

void TVMemoryCache::trimBeyondAge(double age) {
    const double now = TVMediaTime();
    auto tailTooOld = [this, now, age] { return lru_._tail && now - lru_._tail->_time > age; };
    {
        std::lock_guard hold(lock_);
        if (age <= 0) {
            lru_.removeAll();
            return;
        }
        if (!tailTooOld()) return;
    }
    evictWhile(tailTooOld);
}

void TVMemoryCache::evictWhile(const std::function<bool()>& over) {
    // The values only: the nodes themselves are small and go here.
    auto holder = std::make_shared<std::vector<ns::Id>>();
    bool releaseOnMain = false;
    for (bool finish = false; !finish;) {
        if (lock_.try_lock()) {
            if (over()) {
                if (auto node = lru_.removeTailNode()) holder->push_back(std::move(node->_value));
            } else {
                finish = true;
            }
            releaseOnMain = lru_._releaseOnMainThread;
            lock_.unlock();
        } else {
            backOff();
        }
    }
    // Trimmed entries always die away from here, all in one block.
    if (!holder->empty()) lru_.releaseOnQueue(std::move(holder), releaseOnMain);
}

void TVMemoryCache::trimToCount(uint64_t count) {
    if (count == 0) {
        removeAllObjects();
        return;
    }
    trimToLimit(Trim::Count, count);
}

void TVMemoryCache::trimToCost(uint64_t cost) { trimToLimit(Trim::Cost, cost); }

void TVMemoryCache::trimToAge(double age) { trimBeyondAge(age); }

// ---- Automatic trim and the application's events ----

void TVMemoryCache::scheduleAutoTrim() {
    dispatch::after(autoTrimInterval(), dispatch::globalQueue(dispatch::QueuePriority::Low),
                    [weak = weak_from_this()] {
                        auto self = std::static_pointer_cast<TVMemoryCache>(weak.lock());
                        if (!self) return;  // the chain ends with the cache
                        self->queue_->async([weak] {
                            auto cache = std::static_pointer_cast<TVMemoryCache>(weak.lock());
                            if (!cache) return;
                            cache->trimToCost(cache->costLimit());
                            cache->trimToCount(cache->countLimit());
                            cache->trimToAge(cache->ageLimit());
                        });
                        self->scheduleAutoTrim();
                    });
}

void TVMemoryCache::observeApplication() {
    auto center = ns::NotificationCenter::defaultCenter();
    auto weak = weak_from_this();
    center->addObserver(this, ui::ApplicationDidReceiveMemoryWarningNotification, nullptr, [weak](const auto&) {
        if (auto self = std::static_pointer_cast<TVMemoryCache>(weak.lock())) self->didReceiveMemoryWarning();
    });
    center->addObserver(this, ui::ApplicationDidEnterBackgroundNotification, nullptr, [weak](const auto&) {
        if (auto self = std::static_pointer_cast<TVMemoryCache>(weak.lock())) self->didEnterBackground();
    });
}

void TVMemoryCache::didReceiveMemoryWarning() {
    if (auto block = didReceiveMemoryWarningBlock()) block(*this);
    if (shouldRemoveAllObjectsOnMemoryWarning()) removeAllObjects();
}

void TVMemoryCache::didEnterBackground() {
    if (auto block = didEnterBackgroundBlock()) block(*this);
    if (shouldRemoveAllObjectsWhenEnteringBackground()) removeAllObjects();
}
