#include "platform/foundation/ReplyBuffer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

#include "platform/foundation/MappedPages.h"

namespace ns {

void ReplyBuffer::append(const char* bytes, size_t length) {
    if (length == 0) return;
    if (size_ + length > failingPast_.load(std::memory_order_relaxed)) throw std::bad_alloc();
    const auto* p = reinterpret_cast<const uint8_t*>(bytes);
    if (blocks_.empty() && first_.size() + length <= FirstBlockSize) {
        first_.insert(first_.end(), p, p + length);
        size_ += length;
        return;
    }
    // Room for the next block's record first: nothing below throws but the
    // mapping, which leaves the buffer as it was.
    if (blocks_.size() == blocks_.capacity()) blocks_.reserve(std::max<size_t>(8, 2 * blocks_.size()));
    size_t done = 0;
    if (!blocks_.empty()) {
        Block& last = blocks_.back();
        done = std::min(length, last.capacity - last.size);
        std::memcpy(last.bytes + last.size, p, done);
        last.size += done;
    }
    if (done < length) {
        const size_t capacity = pages::rounded(std::max(length - done, BlockSize));
        void* mapped = pages::map(capacity);
        if (!mapped) {
            if (done > 0) blocks_.back().size -= done;
            throw std::bad_alloc();
        }
        auto* block = static_cast<uint8_t*>(mapped);
        std::memcpy(block, p + done, length - done);
        blocks_.push_back({block, length - done, capacity});
    }
    size_ += length;
}

std::vector<uint8_t> ReplyBuffer::take() {
    if (size_ > failingJoinsPast_.load(std::memory_order_relaxed)) throw std::bad_alloc();
    std::vector<uint8_t> whole;
    if (blocks_.empty()) {
        whole = std::move(first_);
    } else {
        whole.reserve(size_);
        whole.insert(whole.end(), first_.begin(), first_.end());
        std::vector<uint8_t>().swap(first_);
        for (Block& block : blocks_) {
            whole.insert(whole.end(), block.bytes, block.bytes + block.size);
            pages::unmap(block.bytes, block.capacity);
            block = {nullptr, 0, 0};
        }
    }
    release();
    return whole;
}

Ref<Data> ReplyBuffer::takeData() { return std::make_shared<Data>(take()); }

std::vector<uint8_t> ReplyBuffer::copy() const {
    std::vector<uint8_t> whole;
    whole.reserve(size_);
    whole.insert(whole.end(), first_.begin(), first_.end());
    for (const Block& block : blocks_) whole.insert(whole.end(), block.bytes, block.bytes + block.size);
    return whole;
}

bool ReplyBuffer::takeInBlocks(const std::function<bool(const char*, size_t)>& piece) {
    if (!first_.empty()) {
        const std::vector<uint8_t> first = std::move(first_);
        first_ = {};
        size_ -= first.size();
        if (!piece(reinterpret_cast<const char*>(first.data()), first.size())) {
            release();
            return false;
        }
    }
    // By index, and each record emptied before its block is handed over:
    // `piece` may release the buffer meanwhile.
    for (size_t i = 0; i < blocks_.size(); ++i) {
        const Block block = blocks_[i];
        if (!block.bytes) continue;
        blocks_[i] = {nullptr, 0, 0};
        size_ -= block.size;
        struct Unmap {
            const Block& block;
            ~Unmap() { pages::unmap(block.bytes, block.capacity); }
        } unmap{block};
        if (!piece(reinterpret_cast<const char*>(block.bytes), block.size)) {
            release();
            return false;
        }
    }
    release();
    return true;
}

void ReplyBuffer::release() {
    std::vector<uint8_t>().swap(first_);
    for (const Block& block : blocks_) {
        if (block.bytes) pages::unmap(block.bytes, block.capacity);
    }
    std::vector<Block>().swap(blocks_);
    size_ = 0;
}

}  // namespace ns
