#include "image/cache/_TVLinkedMap.h"

#include "platform/dispatch/MainThread.h"
#include "platform/dispatch/Queue.h"

#include <mutex>
#include <vector>

RT_DEFINE_CLASS(_TVLinkedMapNode, ns::Object, "_TVLinkedMapNode")
RT_DEFINE_CLASS(_TVLinkedMap, ns::Object, "_TVLinkedMap")

// Holders waiting to die on one queue. Evictions come in bursts (a write
// past the count limit evicts one entry per write): the low-priority pool
// gathers them for a few milliseconds and one block releases them all, so a
// burst costs one dispatch rather than one each. The main queue's pool
// drains at its next turn.
class TVReleasePool : public std::enable_shared_from_this<TVReleasePool> {
public:
    static constexpr double GatherSeconds = 0.005;

    explicit TVReleasePool(bool main) : main_(main) {}

    void add(std::shared_ptr<void> holder) {
        {
            std::lock_guard hold(lock_);
            pending_.push_back(std::move(holder));
            if (scheduled_) return;
            scheduled_ = true;
        }
        auto drain = [self = shared_from_this()] { self->drain(); };
        if (main_) {
            dispatch::mainQueue()->async(std::move(drain));
        } else {
            dispatch::after(GatherSeconds, dispatch::globalQueue(dispatch::QueuePriority::Low), std::move(drain));
        }
    }

private:
    void drain() {
        std::vector<std::shared_ptr<void>> dying;
        {
            std::lock_guard hold(lock_);
            dying.swap(pending_);
            scheduled_ = false;
        }
        // Released here, outside the lock: a destructor may release more.
    }

    const bool main_;
    std::mutex lock_;
    std::vector<std::shared_ptr<void>> pending_;
    bool scheduled_ = false;
};

_TVLinkedMap::_TVLinkedMap()
    : mainPool_(std::make_shared<TVReleasePool>(true)), backgroundPool_(std::make_shared<TVReleasePool>(false)) {}

void _TVLinkedMap::releaseOnQueue(std::shared_ptr<void> holder, bool onMainThread) const {
    (onMainThread ? mainPool_ : backgroundPool_)->add(std::move(holder));
}

void _TVLinkedMap::release(std::shared_ptr<void> holder) const {
    if (!holder) return;
    if (_releaseAsynchronously) {
        releaseOnQueue(std::move(holder), _releaseOnMainThread);
    } else if (_releaseOnMainThread && !dispatch::isMainThread()) {
        releaseOnQueue(std::move(holder), true);
    }
    // Otherwise `holder` dies here, on the calling thread.
}

void _TVLinkedMap::insertNodeAtHead(ns::Ref<_TVLinkedMapNode> node) {
    _TVLinkedMapNode* raw = node.get();
    _totalCost += raw->_cost;
    _totalCount++;
    _dic.insert_or_assign(raw->_key, std::move(node));
    if (_head) {
        raw->_next = _head;
        _head->_prev = raw;
        _head = raw;
    } else {
        _head = _tail = raw;
    }
}

void _TVLinkedMap::bringNodeToHead(_TVLinkedMapNode* node) {
    if (_head == node) return;
    if (_tail == node) {
        _tail = node->_prev;
        _tail->_next = nullptr;
    } else {
        node->_next->_prev = node->_prev;
        node->_prev->_next = node->_next;
    }
    node->_next = _head;
    node->_prev = nullptr;
    _head->_prev = node;
    _head = node;
}

ns::Ref<_TVLinkedMapNode> _TVLinkedMap::removeNode(_TVLinkedMapNode* node) {
    auto it = _dic.find(node->_key);
    ns::Ref<_TVLinkedMapNode> owned = std::move(it->second);
    _dic.erase(it);
    _totalCost -= node->_cost;
    _totalCount--;
    if (node->_next) node->_next->_prev = node->_prev;
    if (node->_prev) node->_prev->_next = node->_next;
    if (_head == node) _head = node->_next;
    if (_tail == node) _tail = node->_prev;
    node->_prev = node->_next = nullptr;
    return owned;
}

ns::Ref<_TVLinkedMapNode> _TVLinkedMap::removeTailNode() {
    if (!_tail) return nullptr;
    return removeNode(_tail);
}

void _TVLinkedMap::removeAll() {
    _totalCost = 0;
    _totalCount = 0;
    _head = nullptr;
    _tail = nullptr;
    if (_dic.empty()) return;
    auto old = std::make_shared<Dictionary>();
    old->swap(_dic);
    release(std::shared_ptr<void>(std::move(old)));
}
