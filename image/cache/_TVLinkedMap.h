#pragma once
// The memory cache's list: a hash map from key to node, and the nodes in a
// doubly linked list from the most recently used (head) to the least (tail).
// Not thread-safe: the cache holds its lock around every call.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

class _TVLinkedMapNode : public ns::Object {
    RT_DECLARE_CLASS(_TVLinkedMapNode)
public:
    _TVLinkedMapNode() = default;

    // Neighbours, not owners: the map's dictionary owns every node.
    _TVLinkedMapNode* _prev = nullptr;  // toward the head
    _TVLinkedMapNode* _next = nullptr;  // toward the tail
    std::string _key;
    ns::Id _value;
    uint64_t _cost = 0;
    double _time = 0;  // media-clock seconds of the last insertion, update or read
};

class _TVLinkedMap : public ns::Object {
    RT_DECLARE_CLASS(_TVLinkedMap)
public:
    struct KeyHash {
        using is_transparent = void;
        size_t operator()(std::string_view key) const { return std::hash<std::string_view>()(key); }
    };
    using Dictionary = std::unordered_map<std::string, ns::Ref<_TVLinkedMapNode>, KeyHash, std::equal_to<>>;

    _TVLinkedMap() = default;

    void insertNodeAtHead(ns::Ref<_TVLinkedMapNode> node);
    void bringNodeToHead(_TVLinkedMapNode* node);
    // Takes the node out; the caller gets the map's reference to it.
    ns::Ref<_TVLinkedMapNode> removeNode(_TVLinkedMapNode* node);
    // The removed tail, or nil when empty.
    ns::Ref<_TVLinkedMapNode> removeTailNode();
    // Empties the map, handing the old dictionary (owning every old node) to
    // the release rule.
    void removeAll();

    _TVLinkedMapNode* find(std::string_view key) const {
        auto it = _dic.find(key);
        return it == _dic.end() ? nullptr : it->second.get();
    }

    // Releases what a removal took out, as the two switches say: on the main
    // queue or a low-priority one, or here.
    template <class Holder>
    void release(Holder holder) const;

    Dictionary _dic;
    uint64_t _totalCost = 0;
    uint64_t _totalCount = 0;
    // Both ends point into _dic's nodes; the dictionary owns them.
    _TVLinkedMapNode* _head = nullptr;
    _TVLinkedMapNode* _tail = nullptr;
    bool _releaseOnMainThread = false;
    bool _releaseAsynchronously = true;
};

// Drops `holder` in a block on the main queue or the low-priority global
// queue, so that large objects die away from the caller.
void TVReleaseOnQueue(std::shared_ptr<void> holder, bool onMainThread);
void TVReleaseOnMainQueueFromBackground(std::shared_ptr<void> holder);

template <class Holder>
void _TVLinkedMap::release(Holder holder) const {
    auto boxed = std::make_shared<Holder>(std::move(holder));
    if (_releaseAsynchronously) {
        TVReleaseOnQueue(std::move(boxed), _releaseOnMainThread);
    } else if (_releaseOnMainThread) {
        TVReleaseOnMainQueueFromBackground(std::move(boxed));
    }
    // Otherwise `boxed` dies here, on the calling thread.
}
