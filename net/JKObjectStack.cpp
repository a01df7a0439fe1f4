#include "net/JKObjectStack.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "net/JKManagedBuffer.h"

void JKObjectStack::pointAtScratch(Slot* values, Slot* keys, uint64_t* keyHashes, size_t count) {
    release();
    values_ = values;
    keys_ = keys;
    keyHashes_ = keyHashes;
    count_ = count;
    capacity_ = count;
    index_ = 0;
    flags_ = JKManagedBufferOnStack;
}

bool JKObjectStack::resize(size_t count) {
    const size_t rounded = JKRoundUp(count, roundSizeUpToMultipleOf_);
    if (rounded <= count_) return true;
    if (rounded <= capacity_) {
        count_ = rounded;
        return true;
    }
    const size_t capacity = std::max(rounded, capacity_ * 2);
    std::unique_ptr<Slot[]> values, keys;
    std::unique_ptr<uint64_t[]> hashes;
    try {
        values.reset(new Slot[capacity]);
        keys.reset(new Slot[capacity]);
        // Entries above the index are never read: nothing to clear.
        hashes.reset(new uint64_t[capacity]);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (size_t i = 0; i < index_; ++i) {
        new (&values[i]) ns::Id(std::move(value(i)));
        new (&keys[i]) ns::Id(std::move(key(i)));
        value(i).~shared_ptr();
        key(i).~shared_ptr();
    }
    if (index_) std::memcpy(hashes.get(), keyHashes_, index_ * sizeof(uint64_t));
    heapValues_ = std::move(values);
    heapKeys_ = std::move(keys);
    heapKeyHashes_ = std::move(hashes);
    values_ = heapValues_.get();
    keys_ = heapKeys_.get();
    keyHashes_ = heapKeyHashes_.get();
    count_ = rounded;
    capacity_ = capacity;
    flags_ = JKManagedBufferOnHeap | JKManagedBufferMustFree;
    return true;
}

void JKObjectStack::release() {
    popTo(0);
    heapValues_.reset();
    heapKeys_.reset();
    heapKeyHashes_.reset();
    values_ = keys_ = nullptr;
    keyHashes_ = nullptr;
    count_ = 0;
    capacity_ = 0;
    flags_ = 0;
}
