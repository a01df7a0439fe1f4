#include "net/JKManagedBuffer.h"

#include <cstring>
#include <new>

void JKManagedBuffer::pointAtScratch(uint8_t* scratch, size_t size) {
    release();
    bytes_ = {scratch, size};
    flags_ = JKManagedBufferOnStack;
}

uint8_t* JKManagedBuffer::resize(size_t size) {
    const size_t rounded = JKRoundUp(size, roundSizeUpToMultipleOf_);
    if (rounded <= bytes_.length) return bytes_.ptr;
    try {
        if (onHeap()) {
            heap_.resize(rounded);
        } else {
            std::string grown;
            grown.resize(rounded);
            if (bytes_.length) std::memcpy(grown.data(), bytes_.ptr, bytes_.length);
            heap_ = std::move(grown);
            flags_ = JKManagedBufferOnHeap | JKManagedBufferMustFree;
        }
    } catch (const std::bad_alloc&) {
        if (onHeap()) release();
        return nullptr;
    }
    bytes_ = {reinterpret_cast<uint8_t*>(heap_.data()), heap_.size()};
    return bytes_.ptr;
}

void JKManagedBuffer::release() {
    if (flags_ & JKManagedBufferMustFree) std::string().swap(heap_);
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
