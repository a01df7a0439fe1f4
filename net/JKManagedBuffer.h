#pragma once
// A growable byte buffer that starts in scratch memory the caller provides
// (usually on its stack) and moves to the heap only when it must grow, so
// small documents parse and encode without allocating.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct JKPtrRange {
    uint8_t* ptr = nullptr;
    size_t length = 0;
};

enum : uint64_t {
    JKManagedBufferLocationMask = 3,
    JKManagedBufferOnStack = 1,  // scratch memory of the caller
    JKManagedBufferOnHeap = 2,
    JKManagedBufferMustFree = 4,
};

class JKManagedBuffer {
public:
    JKManagedBuffer() = default;
    JKManagedBuffer(const JKManagedBuffer&) = delete;
    JKManagedBuffer& operator=(const JKManagedBuffer&) = delete;
    ~JKManagedBuffer() { release(); }

    // Releases the buffer, then uses `size` bytes of scratch memory.
    void pointAtScratch(uint8_t* scratch, size_t size);
    // Makes the storage at least `size` bytes (rounded up to the growth
    // unit) and returns it; on scratch the whole old contents move to the
    // heap. nullptr when memory ran out: on scratch the buffer is unchanged,
    // on the heap its storage is lost and its owner must give up.
    uint8_t* resize(size_t size);
    // Frees heap storage and forgets the storage.
    void release();

    // Hands over the heap storage, cut to its first `used` bytes, so a result
    // can keep the text without a copy; the buffer is left empty. Only valid
    // when the buffer is on the heap, in the form chosen before it grew
    // (setHeapAsBytes: a byte vector for data, else a string for text).
    std::string takeHeapStorage(size_t used);
    std::vector<uint8_t> takeHeapBytes(size_t used);
    void setHeapAsBytes(bool bytes) { heapAsBytes_ = bytes; }

    uint8_t* bytes() const { return bytes_.ptr; }
    size_t size() const { return bytes_.length; }
    uint64_t flags() const { return flags_; }
    bool onHeap() const { return (flags_ & JKManagedBufferLocationMask) == JKManagedBufferOnHeap; }
    uint64_t growthUnit() const { return roundSizeUpToMultipleOf_; }
    void setGrowthUnit(uint64_t unit) { roundSizeUpToMultipleOf_ = unit; }

private:
    JKPtrRange bytes_;
    uint64_t flags_ = 0;
    uint64_t roundSizeUpToMultipleOf_ = 0;
    // The heap storage lives in the container a result keeps, so that it can
    // be taken over as it is.
    bool heapAsBytes_ = false;
    std::string heap_;
    std::vector<uint8_t> heapBytes_;
};

// s rounded up to a multiple of u (no rounding for u = 0).
inline uint64_t JKRoundUp(uint64_t s, uint64_t u) { return u == 0 ? s : s + ((u - s % u) % u); }
