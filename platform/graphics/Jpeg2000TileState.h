#pragma once
// How many code-blocks and precincts OpenJPEG keeps records of while it
// decodes a JPEG 2000 file, read from the coding style segments (COD, COC)
// of the main header and of each tile-part's header. The library decodes a
// tile at a time, keeping a record for each code-block and for each
// precinct of each band; it grows each band's arrays to the most any tile
// needs and keeps them for the next tile. Their number is set by the
// file's code-block and precinct sizes and its wavelet levels, not by the
// picture's size, and can run into millions.

#include <cstdint>
#include <optional>
#include <span>

#include "platform/graphics/Jpeg2000Size.h"

namespace cg::still {

struct Jpeg2000TileState {
    // At most this many code-blocks are held at once.
    uint64_t codeBlocks = 0;
    // Precincts counted once per band they cover.
    uint64_t precincts = 0;
};

// What the decoder holds by its last tile, every tile under its own coding
// style: the main header's, overridden for a component by the main
// header's COC, and for a tile by the COD and COC of its tile-part
// headers, in the order they come, as the library applies them. A file of
// one tile gives that tile's counts exactly. Every tile of the grid is
// weighed, and every component keeps its bands, so the caller bounds the
// tiles and components first.
// Nothing when the main header has no COD, when a segment is cut short or
// malformed, or when its values are ones the library refuses.
std::optional<Jpeg2000TileState> jpeg2000TileState(std::span<const uint8_t> data, const Jpeg2000Size& size);

}  // namespace cg::still
