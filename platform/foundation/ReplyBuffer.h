#pragma once
// A reply gathered in memory for whoever wants it whole (a completion
// handler, the HTTP client, the blocking read, the URL cache) or holds it
// until it knows where it goes (a session task's body before its final
// head or its delegate's decision). It grows in blocks, so a large reply is
// never copied to grow (a doubling buffer would briefly hold it twice, and
// keep room for twice), and it is joined once, or handed on, block by
// block, when it is taken.
//
// Past the first block, blocks are pages of their own, mapped and unmapped
// as they come and go: a joined block's memory is the system's again at
// once (the allocator would keep small blocks for itself, and the reply
// would be resident twice while it is joined), and what a block has not
// filled yet costs nothing.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

#include "platform/foundation/Data.h"

namespace ns {

class ReplyBuffer {
public:
    ReplyBuffer() = default;
    ReplyBuffer(const ReplyBuffer&) = delete;
    ReplyBuffer& operator=(const ReplyBuffer&) = delete;
    ~ReplyBuffer() { release(); }

    size_t size() const { return size_; }

    // Throws std::bad_alloc when memory runs out; the buffer then holds
    // what it held.
    void append(const char* bytes, size_t length);

    // The whole reply, leaving the buffer empty. Each block is let go as
    // soon as it has been copied, so at most one block is held twice.
    // Throws std::bad_alloc when the whole cannot be had; the buffer then
    // holds what it held.
    std::vector<uint8_t> take();
    // The same as data.
    Ref<Data> takeData();

    // A copy of the whole reply, the buffer left as it is. Throws
    // std::bad_alloc when the copy cannot be had.
    std::vector<uint8_t> copy() const;

    // The reply handed to `piece` block by block, in order, leaving the
    // buffer empty: a block leaves size() as it is handed over and is let
    // go as soon as `piece` returns, so nothing is held twice but the block
    // in hand. `piece` may release the buffer (the rest is then let go)
    // but not append to it. When `piece` returns false the rest is let go
    // and this returns false.
    bool takeInBlocks(const std::function<bool(const char* bytes, size_t length)>& piece);

    // Empty, and holding no memory.
    void release();

    // Tests: every buffer's append fails as memory running out would, once
    // the buffer would hold more than `bytes`; SIZE_MAX ends it.
    static void failAppendsPastForTesting(size_t bytes) { failingPast_.store(bytes); }
    // Tests: every buffer's take fails as memory running out would, once
    // the reply is longer than `bytes`; SIZE_MAX ends it.
    static void failJoinsPastForTesting(size_t bytes) { failingJoinsPast_.store(bytes); }

private:
    struct Block {
        uint8_t* bytes;
        size_t size;
        size_t capacity;
    };
    static constexpr size_t BlockSize = size_t(1) << 20;
    static constexpr size_t FirstBlockSize = size_t(64) << 10;
    static inline std::atomic<size_t> failingPast_{std::numeric_limits<size_t>::max()};
    static inline std::atomic<size_t> failingJoinsPast_{std::numeric_limits<size_t>::max()};

    // Most replies are small: they fit in the first block, which grows as
    // usual, by doubling, up to FirstBlockSize. Past it what doubling keeps
    // spare, and the allocator keeps of the smaller copies, would come to
    // half as much again of many replies of a few hundred KiB held at once;
    // a mapped block holds only what it has been filled with.
    std::vector<uint8_t> first_;
    std::vector<Block> blocks_;
    size_t size_ = 0;
};

}  // namespace ns
