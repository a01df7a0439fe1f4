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
        constexpr size_t align = alignof(std::max_align_t);
        const size_t head = (n * sizeof(T) + align - 1) & ~(align - 1);
        char* block = static_cast<char*>(::operator new(head + extra));
        *trailing = extra ? block + head : nullptr;
        return reinterpret_cast<T*>(block);
    }
    void deallocate(T* p, size_t) noexcept { ::operator delete(p); }

    template <class U>
    bool operator==(const JKTrailingAllocator<U>&) const {
        return true;
    }

    size_t extra;
    void** trailing;
};
