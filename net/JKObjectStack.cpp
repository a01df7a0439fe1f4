#include "net/JKObjectStack.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "net/JKManagedBuffer.h"
#include "net/JKSparePages.h"
#include "platform/foundation/MappedPages.h"

void JKObjectStack::Storage::pointAt(void* scratch, size_t bytes) {
    bytes_ = scratch;
    size_ = bytes;
    where_ = Scratch;
}

bool JKObjectStack::Storage::grow(size_t used, size_t bytes) {
    if (bytes <= size_) return true;
    if (where_ == Mapped) {
        void* moved = ns::pages::resize(bytes_, size_, bytes);
        if (!moved) return false;
        bytes_ = moved;
        size_ = ns::pages::rounded(bytes);
        return true;
    }
    void* grown;
    size_t size;
    if (bytes < MappedFrom) {
        grown = ::operator new(bytes, std::nothrow);
        size = bytes;
    } else {
        // The pages the last read left, already touched, grown if need be.
        JKSparePages::Block spare = JKSparePages::take();
        if (spare.bytes && spare.size < bytes) {
            void* moved = ns::pages::resize(spare.bytes, spare.size, bytes);
            if (!moved) ns::pages::unmap(spare.bytes, spare.size);
            spare = {moved, ns::pages::rounded(bytes)};
        }
        if (!spare.bytes) spare = {ns::pages::map(bytes), ns::pages::rounded(bytes)};
        grown = spare.bytes;
        size = spare.size;
    }
    if (!grown) return false;
    if (used) std::memcpy(grown, bytes_, used);
    free();
    bytes_ = grown;
    size_ = size;
    where_ = bytes < MappedFrom ? Heap : Mapped;
    return true;
}

// Scratch storage is the caller's: only forgotten. Mapped pages are kept for
// the next read.
void JKObjectStack::Storage::free() {
    if (where_ == Heap) ::operator delete(bytes_, size_);
    if (where_ == Mapped) JKSparePages::give(bytes_, size_);
    drop();
}

void JKObjectStack::Storage::shrinkTo(size_t bytes) {
    if (where_ != Mapped || bytes >= size_) return;
    ns::pages::resize(bytes_, size_, bytes);
    size_ = bytes;
}

void JKObjectStack::pointAtScratch(Slot* values, Slot* keys, uint64_t* keyHashes, size_t count) {
    release();
    values_.pointAt(values, count * sizeof(Slot));
    keys_.pointAt(keys, count * sizeof(Slot));
    hashes_.pointAt(keyHashes, count * sizeof(uint64_t));
    count_ = count;
    index_ = 0;
    flags_ = JKManagedBufferOnStack;
}

bool JKObjectStack::resize(size_t count) {
    const size_t rounded = JKRoundUp(count, roundSizeUpToMultipleOf_);
    if (rounded <= count_) return true;
    const size_t room = capacity();
    if (rounded > room) {
        const size_t entries = std::max(rounded, room * 2);
        if (entries > SIZE_MAX / sizeof(Slot)) return false;
        if (!values_.grow(index_ * sizeof(Slot), entries * sizeof(Slot))) return false;
        if (values_.where() != Storage::Scratch) flags_ = JKManagedBufferOnHeap | JKManagedBufferMustFree;
    }
    count_ = rounded;
    return true;
}

bool JKObjectStack::resizeKeys(size_t count) {
    const size_t room = keyCapacity();
    if (count <= room) return true;
    const size_t entries = std::max(JKRoundUp(count, roundSizeUpToMultipleOf_), room * 2);
    if (entries > SIZE_MAX / sizeof(Slot)) return false;
    // The hashes first: when the keys then fail, the larger hash array
    // changes nothing the stack reports.
    if (!hashes_.grow(keysBuilt_ * sizeof(uint64_t), entries * sizeof(uint64_t))) return false;
    if (!keys_.grow(keysBuilt_ * sizeof(Slot), entries * sizeof(Slot))) return false;
    flags_ = JKManagedBufferOnHeap | JKManagedBufferMustFree;
    return true;
}

void JKObjectStack::buildKeysThrough(size_t last) {
    for (; keysBuilt_ <= last; ++keysBuilt_) new (&keys_.slots()[keysBuilt_]) ns::Id();
}

JKObjectStack::Taken JKObjectStack::takeMappedValues(size_t start, bool root) {
    const size_t bytes = (index_ - start) * sizeof(Slot);
    if (!root || start != 0 || values_.where() != Storage::Mapped || bytes < MappedFrom) return {};
    // The whole block, its untouched tail given back at once.
    values_.shrinkTo(ns::pages::rounded(bytes));
    Taken taken{static_cast<ns::Id*>(values_.bytes()), values_.size()};
    values_.drop();
    index_ = 0;
    count_ = 0;
    return taken;
}

void JKObjectStack::release() {
    popTo(0);
    for (size_t i = 0; i < keysBuilt_; ++i) key(i).~shared_ptr();
    keysBuilt_ = 0;
    values_.free();
    keys_.free();
    hashes_.free();
    count_ = 0;
    flags_ = 0;
}
