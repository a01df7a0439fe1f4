#include "platform/webkit/ScriptHeap.h"

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace web::detail {

namespace {

// What the allocator keeps beside each block (its size words).
constexpr size_t Bookkeeping = 2 * sizeof(size_t);
// From here a block is counted by the pages its request spans: the
// allocator rounds such a block up to a size class whose untouched tail
// costs nothing. Smaller blocks are counted whole, as the allocator cuts
// them from pages it touches.
constexpr size_t PagedFrom = 16 * 1024;
// More than a block is ever counted beyond what was asked for it (a page,
// or a quarter of a block below PagedFrom, plus the bookkeeping); a request
// that fits with this much to spare cannot take the heap past the ceiling.
constexpr size_t RoundingBound = 8192;

size_t pageSize() {
    static const size_t page = size_t(::sysconf(_SC_PAGESIZE));
    return page;
}

}  // namespace

size_t ScriptHeap::footprint(void* block) const {
    if (!block) return 0;
    const size_t usable = malloc_usable_size(block);
    if (usable < PagedFrom) return usable + Bookkeeping;
    const auto asked = largeAsked_.find(block);
    if (asked == largeAsked_.end()) return usable + Bookkeeping;
    const size_t spanned = (asked->second + pageSize() - 1) / pageSize() * pageSize();
    return std::min(usable, spanned) + Bookkeeping;
}

void ScriptHeap::forget(void* block, size_t counted) {
    // Only a block counted at PagedFrom or more can be remembered.
    if (counted >= PagedFrom) largeAsked_.erase(block);
}

void ScriptHeap::remember(void* block, size_t size) {
    // A smaller request the allocator rounds past PagedFrom is counted whole.
    if (size >= PagedFrom) largeAsked_[block] = size;
}

bool ScriptHeap::admit(void* block) {
    size_t size = footprint(block);
    if (live_ + size > CeilingBytes) {
        forget(block, size);
        std::free(block);
        return false;
    }
    live_ += size;
    peak_ = std::max(peak_, live_);
    return true;
}

void* ScriptHeap::refuse(size_t size) {
    if (refusals_ > 0 && size == refusedSize_) {
        // The engine collected garbage and asked again; when it has done so
        // as often as it does before giving up, the live heap is at the
        // ceiling for good.
        if (++refusals_ > EngineRetries) exhausted_ = true;
    } else if (refusals_ == 0) {
        refusedSize_ = size;
        refusals_ = 1;
    }
    return nullptr;
}

void ScriptHeap::granted(size_t size) {
    if (refusals_ > 0 && size == refusedSize_) refusals_ = 0;
}

void* ScriptHeap::allocate(size_t size) {
    if (exhausted_ || live_ + size + Bookkeeping > CeilingBytes) return refuse(size);
    void* block = std::malloc(size);
    if (!block) return refuse(size);
    remember(block, size);
    if (!admit(block)) return refuse(size);
    granted(size);
    return block;
}

void* ScriptHeap::reallocate(void* block, size_t size) {
    if (!block) return allocate(size);
    if (size == 0) {
        release(block);
        return nullptr;
    }
    size_t before = footprint(block);
    if (exhausted_ || live_ - before + size + Bookkeeping > CeilingBytes) return refuse(size);
    if (live_ - before + size + RoundingBound > CeilingBytes) {
        // Close to the ceiling: a new block, counted before the old one
        // goes, so that no rounding takes the heap past it.
        void* moved = allocate(size);
        if (!moved) return nullptr;
        std::memcpy(moved, block, std::min(size, malloc_usable_size(block)));
        release(block);
        return moved;
    }
    // What was kept of the block comes out first: once moved, its address
    // is another block's to have.
    auto kept = before >= PagedFrom ? largeAsked_.extract(block) : decltype(largeAsked_)::node_type();
    void* resized = std::realloc(block, size);
    if (!resized) {
        if (kept) largeAsked_.insert(std::move(kept));
        return refuse(size);
    }
    remember(resized, size);
    live_ = live_ - before + footprint(resized);
    peak_ = std::max(peak_, live_);
    granted(size);
    return resized;
}

void ScriptHeap::release(void* block) {
    if (!block) return;
    const size_t counted = footprint(block);
    live_ -= counted;
    forget(block, counted);
    std::free(block);
}

}  // namespace web::detail
