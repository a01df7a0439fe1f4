#pragma once
// The memory of one script engine heap, held under a ceiling on its live
// bytes: what each block takes from the allocator, its bookkeeping
// included (a large block, the pages its request spans), counted while the
// block lives. A request that would take the
// heap past the ceiling is refused; the engine then collects garbage and
// asks again, and once it has given up on the same request the heap is
// exhausted: from then on every request is refused, and the page that ran
// it is to be ended. Internal to the web views.

#include <cstddef>
#include <unordered_map>

namespace web::detail {

class ScriptHeap {
public:
    static constexpr size_t CeilingBytes = size_t{256} << 20;
    // How often the engine collects and asks again after a refusal before it
    // gives up and throws.
    static constexpr int EngineRetries = 10;

    ScriptHeap() = default;
    ScriptHeap(const ScriptHeap&) = delete;
    ScriptHeap& operator=(const ScriptHeap&) = delete;

    void* allocate(size_t size);
    void* reallocate(void* block, size_t size);
    void release(void* block);

    size_t liveBytes() const { return live_; }
    size_t peakBytes() const { return peak_; }
    bool exhausted() const { return exhausted_; }

private:
    // What `block` is counted at.
    size_t footprint(void* block) const;
    // Keeps what a large block was asked for: it is counted by that.
    void remember(void* block, size_t size);
    // Drops what was kept of `block`, which was counted at `counted`.
    void forget(void* block, size_t counted);
    // Counts a block the allocator gave; false, the block given back, when
    // its real size takes the heap past the ceiling.
    bool admit(void* block);
    void* refuse(size_t size);
    void granted(size_t size);

    size_t live_ = 0;
    size_t peak_ = 0;
    bool exhausted_ = false;
    // The request refused last and how many times in a row.
    size_t refusedSize_ = 0;
    int refusals_ = 0;
    // The size asked for each block the allocator made large.
    std::unordered_map<void*, size_t> largeAsked_;
};

}  // namespace web::detail
