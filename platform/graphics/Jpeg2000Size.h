#pragma once
// What a JPEG 2000 file's size marker (SIZ) says, read from the bytes
// without the library: the reader weighs a file by it before OpenJPEG
// reads the header, since the library's per-tile state and its sample
// planes cost many times the picture's own pixels.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace cg::still {

struct Jpeg2000Size {
    uint32_t width = 0;
    uint32_t height = 0;
    uint64_t tiles = 0;
    uint16_t components = 0;
    // The picture's area on the reference grid, and the tile grid.
    uint32_t xOrigin = 0, yOrigin = 0, xEnd = 0, yEnd = 0;
    uint32_t tileWidth = 0, tileHeight = 0, xTileOrigin = 0, yTileOrigin = 0;
    uint64_t tilesAcross = 0;
    // Each component's sampling step on the grid, across and down, and its
    // bits a sample.
    std::vector<std::array<uint8_t, 2>> subsampling;
    std::vector<uint8_t> precision;
    // Where the main header's segments after SIZ begin in the codestream,
    // and its length (to the end of the data).
    size_t afterSize = 0;
    size_t codestreamBytes = 0;
};

// The codestream itself: the data when it is a bare codestream, the
// contents of the first codestream box of the JP2 file form (to the end of
// the data), or nothing.
std::span<const uint8_t> jpeg2000Codestream(std::span<const uint8_t> data);

// The size marker of a bare codestream, or of the first codestream box of
// the JP2 file form. Nothing when the data has none, or when its numbers
// cannot describe a picture (no area, no tile size, the tile grid starting
// past the picture, a length that disagrees with the components, a
// component sampled at a step of 0).
std::optional<Jpeg2000Size> jpeg2000Size(std::span<const uint8_t> data);

}  // namespace cg::still
