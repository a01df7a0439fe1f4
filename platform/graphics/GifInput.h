#pragma once
// giflib reading bytes held in memory: the input a file is opened on.

#include <gif_lib.h>

#include <cstddef>
#include <cstdint>
#include <span>

namespace cg::gif {

struct MemoryInput {
    std::span<const uint8_t> bytes;
    size_t offset = 0;
};

// Opens `input` (which must outlive the file) for giflib; nullptr when it
// does not begin as a GIF. DGifCloseFile closes it.
GifFileType* openMemoryInput(MemoryInput& input);

}  // namespace cg::gif
