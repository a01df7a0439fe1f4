#pragma once
// One spare block of raw storage per thread for each kind of large scratch
// table (the decoder's object cache, the encoder's output cache). A codec
// call that made and freed tens of kilobytes every time would make the
// allocator sweep its small free chunks on each call; reusing the block
// keeps one-shot calls cheap. Only memory is reused, never contents.

#include <cstddef>
#include <memory>

template <class Slot, size_t Count>
class JKScratchPool {
public:
    static std::unique_ptr<Slot[]> take() {
        std::unique_ptr<Slot[]>& s = spare();
        if (s) return std::move(s);
        return std::unique_ptr<Slot[]>(new Slot[Count]);
    }
    static void give(std::unique_ptr<Slot[]> block) {
        std::unique_ptr<Slot[]>& s = spare();
        if (!s) s = std::move(block);
    }

private:
    static std::unique_ptr<Slot[]>& spare() {
        thread_local std::unique_ptr<Slot[]> block;
        return block;
    }
};
