#include "net/JKSparePages.h"

#include <cstdint>
#include <mutex>
#include <utility>

#include "platform/dispatch/Queue.h"
#include "platform/foundation/MappedPages.h"

namespace JKSparePages {

namespace {

struct Kept {
    std::mutex lock;
    Block block;
    // Moves on with every block given or taken: a check finding it where
    // it was when the check was set knows the block has gone unused since.
    uint64_t generation = 0;
};

// Never destroyed: a check may still be due when the program ends.
Kept& kept() {
    static Kept* const state = new Kept;
    return *state;
}

void giveBackIfUnusedSince(uint64_t generation) {
    Kept& k = kept();
    Block old;
    {
        std::lock_guard<std::mutex> hold(k.lock);
        if (k.generation != generation) return;
        old = std::exchange(k.block, Block());
    }
    ns::pages::unmap(old.bytes, old.size);
}

}  // namespace

Block take() {
    Kept& k = kept();
    std::lock_guard<std::mutex> hold(k.lock);
    ++k.generation;
    return std::exchange(k.block, Block());
}

void give(void* bytes, size_t size) {
    if (!bytes) return;
    Block gone{bytes, size};
    if (size <= KeptUpTo) {
        Kept& k = kept();
        uint64_t generation;
        {
            std::lock_guard<std::mutex> hold(k.lock);
            if (size > k.block.size) std::swap(gone, k.block);
            generation = ++k.generation;
        }
        // One check per block given: reads of lists this long come far
        // apart, each costing milliseconds.
        dispatch::after(KeptFor, dispatch::globalQueue(dispatch::QueuePriority::Background),
                        [generation] { giveBackIfUnusedSince(generation); });
    }
    ns::pages::unmap(gone.bytes, gone.size);
}

size_t keptBytes() {
    Kept& k = kept();
    std::lock_guard<std::mutex> hold(k.lock);
    return k.block.size;
}

}  // namespace JKSparePages
