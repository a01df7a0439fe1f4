#pragma once
// How many code-blocks and precincts a JPEG 2000 tile is cut into, read
// from the coding style segments (COD, COC) of the main header and of each
// tile-part's header. OpenJPEG decodes a tile at a time and keeps a record
// for each code-block and for each precinct of each band while it does:
// their number is set by the file's code-block and precinct sizes and its
// wavelet levels, not by the picture's size, and can run into millions.

#include <cstdint>
#include <optional>
#include <span>

#include "platform/graphics/Jpeg2000Size.h"

namespace cg::still {

struct Jpeg2000TileState {
    // The most of any one tile (not necessarily the same tile).
    uint64_t codeBlocks = 0;
    // Precincts counted once per band they cover.
    uint64_t precincts = 0;
};

// The state of the file's heaviest tile, each tile under its own coding
// style: the main header's, overridden for a component by the main
// header's COC, and for a tile by the COD and COC of its tile-part
// headers, in the order they come, as the library applies them. Every tile
// of the grid is weighed, so the caller bounds their number first.
// Nothing when the main header has no COD, when a segment is cut short or
// malformed, or when its values are ones the library refuses.
std::optional<Jpeg2000TileState> jpeg2000TileState(std::span<const uint8_t> data, const Jpeg2000Size& size);

}  // namespace cg::still
