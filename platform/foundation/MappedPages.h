#pragma once
// Blocks of whole pages mapped on their own, for memory that must be the
// system's again the moment it is let go: the allocator keeps what it frees
// for later requests, resident and counted by no budget. A mapped block
// also costs nothing for pages it has not touched, and grows or shrinks in
// place or by moving its pages, never by copying them.

#include <cstddef>

namespace ns::pages {

// `length` rounded up to whole pages.
size_t rounded(size_t length);
// A fresh block of rounded(length) bytes of zeros; nullptr when the system
// refuses it.
void* map(size_t length);
// Gives back a block map() or resize() made, of the length it was made with.
void unmap(void* block, size_t length);
// The block grown or shrunk from `length` to `newLength` bytes (both as
// made), its contents kept; it may move. nullptr when the system refuses
// it: the block is then as it was.
void* resize(void* block, size_t length, size_t newLength);

// Gives the system back the whole pages that lie within `length` bytes from
// `start`, a part of any block: they read as zeros if touched again.
void dropWithin(void* start, size_t length);

}  // namespace ns::pages
