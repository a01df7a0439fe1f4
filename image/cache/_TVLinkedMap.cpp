#include "image/cache/_TVLinkedMap.h"

#include "platform/dispatch/MainThread.h"
#include "platform/dispatch/Queue.h"

RT_DEFINE_CLASS(_TVLinkedMapNode, ns::Object, "_TVLinkedMapNode")
RT_DEFINE_CLASS(_TVLinkedMap, ns::Object, "_TVLinkedMap")

void TVReleaseOnQueue(std::shared_ptr<void> holder, bool onMainThread) {
    auto queue = onMainThread ? dispatch::mainQueue() : dispatch::globalQueue(dispatch::QueuePriority::Low);
    // Reset inside the block: the block itself may be destroyed elsewhere.
    queue->async([holder = std::move(holder)]() mutable { holder.reset(); });
}

void TVReleaseOnMainQueueFromBackground(std::shared_ptr<void> holder) {
    if (dispatch::isMainThread()) return;  // released here, at once
    TVReleaseOnQueue(std::move(holder), true);
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
    Dictionary old;
    old.swap(_dic);
    release(std::move(old));
}
