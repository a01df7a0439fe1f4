#pragma once
// Blocks of whole pages mapped on their own, where the allocator costs
// ordinary work or a bound more: a reply's blocks, each let go the moment
// it is joined so that the reply is never resident twice, and the JSON
// reader's large blocks, which grow by moving their pages, never by
// copying them, and are touched only as they are filled. A mapped block
// costs nothing for pages it has not touched.

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

}  // namespace ns::pages
