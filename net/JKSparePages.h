#pragma once
// One block of mapped pages kept from one read for the next: the decoder's
// stack and the lists handed its pages. A block of a list read over and
// over, let go and then mapped afresh, would cost the next read a fault and
// a zeroed page for every 4 KiB it fills (about as much again as reading a
// long list of small numbers), and the allocator hands back any block of
// some MB the moment it is freed, whatever it is set to. The kept block
// goes back to the system once no read has given or taken one for
// KeptFor: an idle app holds none of it.

#include <cstddef>

namespace JKSparePages {

// A larger block goes back at once.
inline constexpr size_t KeptUpTo = size_t(32) << 20;
inline constexpr double KeptFor = 1.0;

struct Block {
    void* bytes = nullptr;
    size_t size = 0;
};

// The kept block, whatever its size, leaving none kept; an empty block when
// none is.
Block take();
// Keeps `bytes` (a block of `size` bytes from ns::pages) for the next read
// when it is within KeptUpTo and larger than the one kept, which then goes
// back; otherwise unmaps it.
void give(void* bytes, size_t size);
// The bytes kept now.
size_t keptBytes();

}  // namespace JKSparePages
