// libFuzzer target for the PNG chunk parser: whatever it accepts must
// describe the input truthfully (every chunk inside the data, every frame's
// chunks inside the list and its rectangle inside the canvas).

#include <cstddef>
#include <cstdint>

#include "image/codec/TVPNGChunks.h"
#include "tests/fuzz_check.h"

namespace {

void check(bool condition, const char* what) { fuzz::check(condition, "png_chunks_fuzz", what); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > UINT32_MAX) return 0;
    TVPNGInfo* info = TVParsePNGChunks(data, uint32_t(size));
    if (!info) return 0;
    check(info->chunk_num >= 3, "fewer than three chunks");
    for (uint32_t i = 0; i < info->chunk_num; ++i) {
        const TVPNGChunkInfo& c = info->chunks[i];
        check(uint64_t(c.offset) + c.length + 12 <= size, "chunk past the end");
    }
    uint64_t shared = 0;
    for (uint32_t i = 0; i < info->apng_shared_chunk_num; ++i) {
        check(info->apng_shared_chunk_indexs[i] < info->chunk_num, "shared index out of range");
        shared += info->chunks[info->apng_shared_chunk_indexs[i]].length + 12;
    }
    check(shared == info->apng_shared_chunk_size, "shared size");
    for (uint32_t i = 0; i < info->apng_frame_num; ++i) {
        const TVPNGFrameInfo& f = info->apng_frames[i];
        check(uint64_t(f.chunk_index) + f.chunk_num <= info->chunk_num, "frame chunks out of range");
        check(f.width > 0 && f.height > 0, "empty frame");
        check(uint64_t(f.offset_x) + f.width <= info->header.width, "frame past the right edge");
        check(uint64_t(f.offset_y) + f.height <= info->header.height, "frame past the bottom");
    }
    TVFreePNGChunks(info);
    return 0;
}
