#pragma once
// Where the pixels of large bitmaps live: blocks of whole pages mapped on
// their own, outside the C library's heap. The library keeps the blocks it
// frees in the arena of the thread that made them, resident and counted by
// no account, where a decode thread on another arena cannot reuse them:
// under a stream of large pictures that is most of the account again,
// uncounted. Here a block let go is kept for the next picture, whichever
// thread makes it, up to KeptBytes in all; past that, and while the
// account of decoded pictures is past half full, it goes back to the
// system at once, and whatever is kept goes with it.
//
// Thread-safe. A sanitizer build takes its blocks from the allocator, so
// that it still checks every access to them.

#include <cstddef>

namespace cg::pixel_blocks {

// Smaller blocks are the C library's: it serves them well.
inline constexpr size_t From = size_t(1) << 20;
// Enough for the pictures, canvases and display copies of a few ordinary
// decodes at once, so that decoding one picture after another maps nothing.
inline constexpr size_t KeptBytes = size_t(64) << 20;

// A block of at least `bytes` (From or more), its contents undefined;
// raises std::bad_alloc when the system refuses it.
void* take(size_t bytes);
// Lets go a block take() made for `bytes`.
void give(void* block, size_t bytes);

// The bytes of the blocks kept for later pictures.
size_t keptBytes();

}  // namespace cg::pixel_blocks
