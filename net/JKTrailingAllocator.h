#pragma once
// An allocator for std::allocate_shared that adds `extra` bytes right after
// the object, so a container and its slots come from one allocation. The
// address of the extra bytes is written to *trailing before the object is
// constructed, so its constructor can use them.

#include <cstddef>
#include <new>

template <class T>
struct JKTrailingAllocator {
    using value_type = T;

    JKTrailingAllocator(size_t extra, void** trailing) : extra(extra), trailing(trailing) {}
    template <class U>
    JKTrailingAllocator(const JKTrailingAllocator<U>& other) : extra(other.extra), trailing(other.trailing) {}

    T* allocate(size_t n) {
        char* block = static_cast<char*>(::operator new(bytes(n)));
        *trailing = extra ? block + head(n) : nullptr;
        return reinterpret_cast<T*>(block);
    }
    // With its size, which the allocator then need not look up.
    void deallocate(T* p, size_t n) noexcept { ::operator delete(p, bytes(n)); }

    template <class U>
    bool operator==(const JKTrailingAllocator<U>&) const {
        return true;
    }

    static size_t head(size_t n) {
        constexpr size_t align = alignof(std::max_align_t);
        return (n * sizeof(T) + align - 1) & ~(align - 1);
    }
    size_t bytes(size_t n) const { return head(n) + extra; }

    size_t extra;
    void** trailing;
};
