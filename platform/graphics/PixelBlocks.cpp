#include "platform/graphics/PixelBlocks.h"

#include <algorithm>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include "platform/foundation/MappedPages.h"
#include "platform/graphics/PictureAccount.h"
#include "platform/runtime/AddressSanitizer.h"

namespace cg::pixel_blocks {

namespace {

// A sanitizer checks only the blocks its allocator hands out.
constexpr bool Mapped = !rt::AddressSanitized;

// Pixels start this far into their pages, where the C library puts a
// block's bytes: rows aligned to 32 bytes make the JPEG library's colour
// conversion store past the caches, and the step that finishes each row
// then reads it back from memory (a third slower decode).
constexpr size_t Lead = 16;

// Past half full, the account is about to refuse pictures and warn: what
// pictures let go must be the system's again before others are made.
bool accountPressed() {
    const PictureAccount* account = PictureAccount::installed();
    return account && account->pixelsHeld() > account->limit() / 2;
}

struct Block {
    void* bytes;
    size_t length;  // whole pages
};

class Kept {
public:
    // A kept block of `length` bytes, else the one let go last, resized;
    // nullptr when none is kept. While the account is pressed the others
    // go back to the system.
    void* take(size_t length) {
        std::vector<Block> dropped;
        Block found{nullptr, 0};
        {
            std::lock_guard lock(mutex_);
            if (blocks_.empty()) return nullptr;
            auto same = std::find_if(blocks_.begin(), blocks_.end(),
                                     [length](const Block& b) { return b.length == length; });
            if (same == blocks_.end()) same = blocks_.end() - 1;
            found = *same;
            bytes_ -= found.length;
            blocks_.erase(same);
            if (accountPressed()) dropped = drain();
        }
        release(dropped);
        if (found.length == length) return found.bytes;
        // Grown or shrunk by moving its pages, never by copying them.
        if (void* resized = ns::pages::resize(found.bytes, found.length, length)) return resized;
        ns::pages::unmap(found.bytes, found.length);
        return nullptr;
    }

    void give(void* bytes, size_t length) {
        std::vector<Block> dropped;
        {
            std::lock_guard lock(mutex_);
            if (accountPressed()) {
                dropped = drain();
            } else if (bytes_ + length <= KeptBytes) {
                blocks_.push_back({bytes, length});
                bytes_ += length;
                return;
            }
        }
        ns::pages::unmap(bytes, length);
        release(dropped);
    }

    size_t bytes() const {
        std::lock_guard lock(mutex_);
        return bytes_;
    }

private:
    std::vector<Block> drain() {
        bytes_ = 0;
        return std::exchange(blocks_, {});
    }
    // Unmapped outside the lock: other threads' pictures need not wait.
    static void release(const std::vector<Block>& blocks) {
        for (const Block& block : blocks) ns::pages::unmap(block.bytes, block.length);
    }

    mutable std::mutex mutex_;
    std::vector<Block> blocks_;
    size_t bytes_ = 0;
};

// Never destroyed: bitmaps let go at exit still come back here.
Kept& kept() {
    static auto* blocks = new Kept();
    return *blocks;
}

}  // namespace

void* take(size_t bytes) {
    if constexpr (!Mapped) return ::operator new(bytes);
    const size_t length = ns::pages::rounded(Lead + bytes);
    void* block = kept().take(length);
    if (!block) block = ns::pages::map(length);
    if (!block) throw std::bad_alloc();
    return static_cast<char*>(block) + Lead;
}

void give(void* block, size_t bytes) {
    if constexpr (!Mapped) return ::operator delete(block);
    kept().give(static_cast<char*>(block) - Lead, ns::pages::rounded(Lead + bytes));
}

size_t keptBytes() { return kept().bytes(); }

}  // namespace cg::pixel_blocks
