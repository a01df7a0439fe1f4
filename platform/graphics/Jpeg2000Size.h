#pragma once
// What a JPEG 2000 file's size marker (SIZ) says, read from the bytes
// without the library: the reader weighs a file by it before OpenJPEG
// reads the header, since the library's per-tile state and its sample
// planes cost many times the picture's own pixels.

#include <cstdint>
#include <optional>
#include <span>

namespace cg::still {

struct Jpeg2000Size {
    uint32_t width = 0;
    uint32_t height = 0;
    uint64_t tiles = 0;
    uint16_t components = 0;
};

// The size marker of a bare codestream, or of the first codestream box of
// the JP2 file form. Nothing when the data has none, or when its numbers
// cannot describe a picture (no area, no tile size, the tile grid starting
// past the picture, a length that disagrees with the components).
std::optional<Jpeg2000Size> jpeg2000Size(std::span<const uint8_t> data);

}  // namespace cg::still
