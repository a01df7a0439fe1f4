#pragma once
// The decoder's one stack of (value, key, key hash) entries: the elements of
// every container still being read wait here until its closing bracket, so
// each container is built in one step with its exact size. Like the managed
// buffer it starts in scratch memory and moves to the heap only to grow.
//
// The arrays are raw storage: the entries below `index` are live references,
// those above are not constructed, so a parse that stays small pays nothing
// to set the scratch arrays up.
//
// The count the stack reports grows by whole growth units, as the decoder's
// messages expect; the storage behind it grows geometrically, so a container
// of n elements costs O(n) moves instead of one move of every entry per unit.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include "platform/runtime/Object.h"

class JKObjectStack {
public:
    // Raw storage for one entry of the two reference arrays.
    struct alignas(ns::Id) Slot {
        unsigned char bytes[sizeof(ns::Id)];
    };

    JKObjectStack() = default;
    JKObjectStack(const JKObjectStack&) = delete;
    JKObjectStack& operator=(const JKObjectStack&) = delete;
    ~JKObjectStack() { release(); }

    // Releases the stack, then uses the three arrays of `count` entries.
    void pointAtScratch(Slot* values, Slot* keys, uint64_t* keyHashes, size_t count);
    // Makes room for at least `count` entries: the count becomes `count`
    // rounded up to the growth unit, the storage at least doubles when it
    // must grow; false when memory ran out (the stack is unchanged).
    bool resize(size_t count);
    // Releases every value and key below the index, then frees heap arrays.
    void release();

    // Takes the next entry, cleared; the caller has checked the room.
    void push(ns::Id value = nullptr) {
        new (&values_[index_]) ns::Id(std::move(value));
        new (&keys_[index_]) ns::Id();
        keyHashes_[index_] = 0;
        ++index_;
    }
    // Gives entries back down to `index`, releasing what they hold.
    void popTo(size_t index) {
        while (index_ > index) {
            --index_;
            value(index_).~shared_ptr();
            key(index_).~shared_ptr();
        }
    }

    ns::Id& value(size_t i) { return *std::launder(reinterpret_cast<ns::Id*>(&values_[i])); }
    ns::Id& key(size_t i) { return *std::launder(reinterpret_cast<ns::Id*>(&keys_[i])); }
    uint64_t& keyHash(size_t i) { return keyHashes_[i]; }

    size_t count() const { return count_; }
    // Entries the arrays can hold before the next move, at least count().
    size_t capacity() const { return capacity_; }
    size_t index() const { return index_; }
    uint64_t flags() const { return flags_; }
    void setGrowthUnit(uint64_t unit) { roundSizeUpToMultipleOf_ = unit; }

private:
    Slot* values_ = nullptr;
    Slot* keys_ = nullptr;
    uint64_t* keyHashes_ = nullptr;
    size_t count_ = 0;
    size_t capacity_ = 0;
    size_t index_ = 0;
    uint64_t roundSizeUpToMultipleOf_ = 0;
    uint64_t flags_ = 0;
    std::unique_ptr<Slot[]> heapValues_;
    std::unique_ptr<Slot[]> heapKeys_;
    std::unique_ptr<uint64_t[]> heapKeyHashes_;
};
