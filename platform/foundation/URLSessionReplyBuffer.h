#pragma once
// A reply gathered in memory for a completion handler. It grows in blocks,
// so a large reply is never copied to grow (a doubling buffer would briefly
// hold it twice), and it is joined once, block by block, when it is taken.
//
// Internal to URL loading.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>
#include <vector>

namespace ns::detail {

class ReplyBuffer {
public:
    size_t size() const { return size_; }

    // Throws std::bad_alloc when memory runs out; the buffer is then as it was.
    void append(const char* bytes, size_t length) {
        if (length == 0) return;
        if (size_ + length > failingPast_.load(std::memory_order_relaxed)) throw std::bad_alloc();
        // The first block grows as usual (most replies are small); past a
        // block's size each new piece starts a block of its own size or more.
        if (blocks_.empty() || blocks_.back().size() >= BlockSize) {
            blocks_.emplace_back();
            if (blocks_.size() > 1) blocks_.back().reserve(length > BlockSize ? length : BlockSize);
        }
        auto* p = reinterpret_cast<const uint8_t*>(bytes);
        blocks_.back().insert(blocks_.back().end(), p, p + length);
        size_ += length;
    }

    // The whole reply, leaving the buffer empty. Each block is let go as
    // soon as it has been copied, so at most one block is held twice.
    std::vector<uint8_t> take() {
        std::vector<uint8_t> whole;
        if (blocks_.size() == 1) {
            whole = std::move(blocks_.front());
        } else if (!blocks_.empty()) {
            whole.reserve(size_);
            for (auto& block : blocks_) {
                whole.insert(whole.end(), block.begin(), block.end());
                std::vector<uint8_t>().swap(block);
            }
        }
        release();
        return whole;
    }

    // Empty, and holding no memory.
    void release() {
        std::vector<std::vector<uint8_t>>().swap(blocks_);
        size_ = 0;
    }

    // Tests: every buffer's append fails as memory running out would, once
    // the buffer would hold more than `bytes`; SIZE_MAX ends it.
    static void failAppendsPastForTesting(size_t bytes) { failingPast_.store(bytes); }

private:
    static constexpr size_t BlockSize = size_t(1) << 20;
    static inline std::atomic<size_t> failingPast_{std::numeric_limits<size_t>::max()};
    std::vector<std::vector<uint8_t>> blocks_;
    size_t size_ = 0;
};

}  // namespace ns::detail
