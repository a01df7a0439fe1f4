#pragma once
// Writes GIF files (giflib), for tests, benchmarks and seed files: a
// logical screen with a global colour table, an optional NETSCAPE2.0 loop
// count, and frames with their own rectangle, indices, optional local
// table and optional graphics control extension.

#include <cstdint>
#include <optional>
#include <vector>

namespace cg::gif {

struct WriterFrame {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> indices;        // width * height
    std::vector<uint32_t> localPalette;  // 0xRRGGBB; empty: the global table
    // Without a delay no graphics control extension is written.
    std::optional<int> delayCentiseconds;
    int transparentIndex = -1;
    int disposal = 0;
    bool interlaced = false;
};

struct WriterFile {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> globalPalette;  // 0xRRGGBB
    std::optional<unsigned> loopCount;
    std::vector<WriterFrame> frames;
};

// Empty when giflib refuses the description (a table of more than 256
// colours, a frame whose indices do not fill its rectangle...).
std::vector<uint8_t> write(const WriterFile& file);

}  // namespace cg::gif
