#include "net/JKManagedBuffer.h"

#include <cstring>
#include <new>

void JKManagedBuffer::pointAtScratch(uint8_t* scratch, size_t size) {
    release();
    bytes_ = {scratch, size};
    flags_ = JKManagedBufferOnStack;
}

namespace {

// Grows a heap container to `size` bytes, or moves `current` into a new one.
template <class Storage>
uint8_t* grow(Storage& heap, bool onHeap, const uint8_t* current, size_t currentSize, size_t size) {
    if (onHeap) {
        heap.resize(size);
    } else {
        Storage grown;
        grown.resize(size);
        if (currentSize) std::memcpy(grown.data(), current, currentSize);
        heap = std::move(grown);
    }
    return reinterpret_cast<uint8_t*>(heap.data());
}

}  // namespace

uint8_t* JKManagedBuffer::resize(size_t size) {
    const size_t rounded = JKRoundUp(size, roundSizeUpToMultipleOf_);
    if (rounded <= bytes_.length) return bytes_.ptr;
    uint8_t* storage;
    try {
        storage = heapAsBytes_ ? grow(heapBytes_, onHeap(), bytes_.ptr, bytes_.length, rounded)
                               : grow(heap_, onHeap(), bytes_.ptr, bytes_.length, rounded);
    } catch (const std::bad_alloc&) {
        if (onHeap()) release();
        return nullptr;
    }
    flags_ = JKManagedBufferOnHeap | JKManagedBufferMustFree;
    bytes_ = {storage, rounded};
    return storage;
}

void JKManagedBuffer::release() {
    if (flags_ & JKManagedBufferMustFree) {
        std::string().swap(heap_);
        std::vector<uint8_t>().swap(heapBytes_);
    }
    flags_ = 0;
    bytes_ = {};
}

std::string JKManagedBuffer::takeHeapStorage(size_t used) {
    std::string taken = std::move(heap_);
    taken.resize(used);
    heap_.clear();
    flags_ &= ~static_cast<uint64_t>(JKManagedBufferMustFree);
    release();
    return taken;
}

std::vector<uint8_t> JKManagedBuffer::takeHeapBytes(size_t used) {
    std::vector<uint8_t> taken = std::move(heapBytes_);
    taken.resize(used);
    heapBytes_.clear();
    flags_ &= ~static_cast<uint64_t>(JKManagedBufferMustFree);
    release();
    return taken;
}
