#pragma once
// The memory cache's list: a hash map from key to node, and the nodes in a
// doubly linked list from the most recently used (head) to the least (tail).
// Not thread-safe: the cache holds its lock around every call.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "image/cache/TVTextHash.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

class TVReleasePool;

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
    using Dictionary = std::unordered_map<std::string, ns::Ref<_TVLinkedMapNode>, TVTextHash, std::equal_to<>>;

    _TVLinkedMap();

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
    // queue or a low-priority one, or here. Of a node only its value is
    // handed on (the object that may be costly to destroy); the node itself,
    // small, goes here.
    void release(std::shared_ptr<void> holder) const;
    void release(ns::Ref<_TVLinkedMapNode> node) const { release(std::shared_ptr<void>(std::move(node->_value))); }
    // Drops `holder` in a block on the main queue or the low-priority global
    // queue, so that large objects die away from the caller. Holders given
    // within a few milliseconds of each other die together in one block.
    void releaseOnQueue(std::shared_ptr<void> holder, bool onMainThread) const;

    Dictionary _dic;
    uint64_t _totalCost = 0;
    uint64_t _totalCount = 0;
    // Both ends point into _dic's nodes; the dictionary owns them.
    _TVLinkedMapNode* _head = nullptr;
    _TVLinkedMapNode* _tail = nullptr;
    bool _releaseOnMainThread = false;
    bool _releaseAsynchronously = true;

private:
    // Shared with their pending blocks, which outlive the map if need be.
    std::shared_ptr<TVReleasePool> mainPool_;
    std::shared_ptr<TVReleasePool> backgroundPool_;
};
