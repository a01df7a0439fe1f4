#include "platform/graphics/Jpeg2000TileState.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <map>
#include <vector>

#include "platform/graphics/BigEndian.h"

namespace cg::still {

namespace {

constexpr uint16_t kCod = 0xFF52, kCoc = 0xFF53, kSot = 0xFF90, kSod = 0xFF93, kEoc = 0xFFD9;
// Wavelet levels the library reads at most.
constexpr uint8_t kMaximumLevels = 32;

// One component's coding style: levels, code-block exponents (the file's
// value plus 2) and precinct exponents per resolution, lowest first.
struct Coding {
    uint8_t levels = 0;
    uint8_t blockWidth = 6, blockHeight = 6;
    std::array<uint8_t, kMaximumLevels + 1> precinctWidth{}, precinctHeight{};
};

using Codings = std::vector<Coding>;

// The levels, code-block size and precinct sizes that COD and COC share,
// from `at` to the segment's `end`; nothing for values the library
// refuses.
std::optional<Coding> readCoding(std::span<const uint8_t> d, size_t at, size_t end, bool precincts) {
    if (end - at < 5) return std::nullopt;
    Coding c;
    c.levels = d[at];
    // Exponents past these make the library stop: code-blocks of at most
    // 1024 samples a side and 4096 in all.
    c.blockWidth = uint8_t(d[at + 1] + 2);
    c.blockHeight = uint8_t(d[at + 2] + 2);
    if (c.levels > kMaximumLevels || d[at + 1] > 8 || d[at + 2] > 8 || c.blockWidth + c.blockHeight > 12) {
        return std::nullopt;
    }
    at += 5;
    if (!precincts) {
        c.precinctWidth.fill(15);
        c.precinctHeight.fill(15);
        return c;
    }
    if (end - at < size_t(c.levels) + 1) return std::nullopt;
    for (size_t r = 0; r <= c.levels; ++r) {
        c.precinctWidth[r] = d[at + r] & 15;
        c.precinctHeight[r] = d[at + r] >> 4;
        // Precincts of one sample exist only at the lowest resolution.
        if (r > 0 && (c.precinctWidth[r] == 0 || c.precinctHeight[r] == 0)) return std::nullopt;
    }
    return c;
}

// Applies a COD or COC segment, whose contents run from `at` to `end`, to
// the codings it sets.
bool apply(uint16_t marker, std::span<const uint8_t> d, size_t at, size_t end, Codings& codings) {
    if (marker == kCod) {
        // Scod, progression, layers and colour transform, then the coding.
        if (end - at < 5) return false;
        auto coding = readCoding(d, at + 5, end, d[at] & 1);
        if (!coding) return false;
        std::fill(codings.begin(), codings.end(), *coding);
        return true;
    }
    // The component in one byte, or two past 256 components; then Scoc.
    const size_t indexBytes = codings.size() > 256 ? 2 : 1;
    if (end - at < indexBytes + 1) return false;
    const size_t component = indexBytes == 2 ? bigEndian16(d, at) : d[at];
    if (component >= codings.size()) return false;
    auto coding = readCoding(d, at + indexBytes + 1, end, d[at + indexBytes] & 1);
    if (!coding) return false;
    codings[component] = *coding;
    return true;
}

// The header segments the library reads; on any other marker it hunts for
// the next one it knows, which a walk by lengths would not follow.
bool known(uint16_t marker) {
    static constexpr uint8_t kKnown[] = {0x50, 0x51, 0x52, 0x53, 0x55, 0x57, 0x58, 0x59, 0x5C, 0x5D,
                                         0x5E, 0x5F, 0x60, 0x61, 0x63, 0x64, 0x74, 0x75, 0x77, 0x78};
    return marker >> 8 == 0xFF && std::find(std::begin(kKnown), std::end(kKnown), marker & 0xFF) != std::end(kKnown);
}

// Walks the marker segments of a header from `at` up to the marker that
// ends it (SOT for the main header, SOD for a tile-part's), no further
// than `limit`, applying COD and COC as they come. The position of the
// ending marker, or nothing.
std::optional<size_t> readHeader(std::span<const uint8_t> d, size_t at, size_t limit, uint16_t last,
                                 Codings& codings, bool& sawCod) {
    while (limit - at >= 2) {
        const uint16_t marker = bigEndian16(d, at);
        if (marker == last) return at;
        if (!known(marker) || limit - at < 4) return std::nullopt;
        const size_t length = bigEndian16(d, at + 2);
        if (length < 2 || limit - at - 2 < length) return std::nullopt;
        const size_t end = at + 2 + length;
        if (marker == kCod || marker == kCoc) {
            if (!apply(marker, d, at + 4, end, codings)) return std::nullopt;
            sawCod |= marker == kCod;
        }
        at = end;
    }
    return std::nullopt;
}

uint64_t ceilShift(uint64_t v, unsigned shift) {
    return shift >= 64 ? (v > 0) : (v + (uint64_t(1) << shift) - 1) >> shift;
}
uint64_t floorShift(uint64_t v, unsigned shift) { return shift >= 64 ? 0 : v >> shift; }
uint64_t ceilDivide(uint64_t v, uint64_t by) { return (v + by - 1) / by; }

uint64_t saturatingProduct(uint64_t a, uint64_t b) {
    uint64_t p;
    return __builtin_mul_overflow(a, b, &p) ? UINT64_MAX : p;
}
uint64_t saturatingSum(uint64_t a, uint64_t b) { return a > UINT64_MAX - b ? UINT64_MAX : a + b; }

// A span of the grid, at some scale: [begin, end).
struct Span {
    uint64_t begin = 0, end = 0;
    bool empty() const { return begin >= end; }
    // Cells of 2^shift that it touches.
    uint64_t cells(unsigned shift) const { return empty() ? 0 : ceilShift(end, shift) - floorShift(begin, shift); }
};

// A band's span: its coordinates, at `level` scales down, of the samples
// whose offset in the band's half is `half` (0 low, 1 high).
Span band(Span component, unsigned level, unsigned half) {
    const uint64_t offset = level == 0 || half == 0 ? 0 : uint64_t(1) << (level - 1);
    auto at = [&](uint64_t v) { return v < offset ? 0 : ceilShift(v - offset, level); };
    return {at(component.begin), at(component.end)};
}

// What the library keeps for one band of one component and resolution.
// It grows the band's arrays to the most any tile has needed, and keeps
// them from tile to tile: the precincts of the band in the tile that had
// the most, and for each precinct the code-blocks of the tile that had the
// most in it. The latter is bounded by the code-blocks of every tile
// together, and by the most precincts times the most code-blocks any one
// precinct held.
struct Band {
    uint64_t precincts = 0;
    uint64_t codeBlocksOfAllTiles = 0;
    uint64_t codeBlocksPerPrecinct = 0;

    uint64_t codeBlocks() const {
        return std::min(codeBlocksOfAllTiles, saturatingProduct(precincts, codeBlocksPerPrecinct));
    }
};

// The bands of one component: the lowest resolution's, then three for
// each resolution above it.
constexpr size_t kBandsPerComponent = 1 + 3 * kMaximumLevels;

// Adds one tile-component's code-blocks and precincts to its bands.
void weigh(Span x, Span y, const Coding& c, Band* bands) {
    for (unsigned r = 0; r <= c.levels; ++r) {
        const unsigned level = c.levels - r;
        const Span rx{ceilShift(x.begin, level), ceilShift(x.end, level)};
        const Span ry{ceilShift(y.begin, level), ceilShift(y.end, level)};
        if (rx.empty() || ry.empty()) continue;
        const unsigned px = c.precinctWidth[r], py = c.precinctHeight[r];
        const uint64_t precincts = saturatingProduct(rx.cells(px), ry.cells(py));
        // A precinct covers half as many samples of each band above the
        // lowest resolution, and code-blocks never cross one.
        const unsigned precinctX = r == 0 ? px : px - 1, precinctY = r == 0 ? py : py - 1;
        const unsigned bx = std::min<unsigned>(c.blockWidth, precinctX);
        const unsigned by = std::min<unsigned>(c.blockHeight, precinctY);
        // The lowest resolution is one band; each above it three: high
        // across, high down, high both ways.
        static constexpr unsigned kHalves[3][2] = {{1, 0}, {0, 1}, {1, 1}};
        const unsigned count = r == 0 ? 1 : 3;
        const unsigned bandLevel = r == 0 ? level : level + 1;
        for (unsigned b = 0; b < count; ++b) {
            const Span bandX = band(x, bandLevel, r == 0 ? 0 : kHalves[b][0]);
            const Span bandY = band(y, bandLevel, r == 0 ? 0 : kHalves[b][1]);
            const uint64_t across = bandX.cells(bx), down = bandY.cells(by);
            Band& kept = bands[r == 0 ? 0 : 1 + 3 * (r - 1) + b];
            kept.precincts = std::max(kept.precincts, precincts);
            kept.codeBlocksOfAllTiles = saturatingSum(kept.codeBlocksOfAllTiles, saturatingProduct(across, down));
            const uint64_t perPrecinct = std::min<uint64_t>(across, uint64_t(1) << (precinctX - bx)) *
                                         std::min<uint64_t>(down, uint64_t(1) << (precinctY - by));
            kept.codeBlocksPerPrecinct = std::max(kept.codeBlocksPerPrecinct, perPrecinct);
        }
    }
}

void weighTile(const Jpeg2000Size& size, uint64_t tile, const Codings& codings, std::vector<Band>& bands) {
    const uint64_t p = tile % size.tilesAcross, q = tile / size.tilesAcross;
    const Span x{std::max<uint64_t>(size.xTileOrigin + p * size.tileWidth, size.xOrigin),
                 std::min<uint64_t>(size.xTileOrigin + (p + 1) * size.tileWidth, size.xEnd)};
    const Span y{std::max<uint64_t>(size.yTileOrigin + q * size.tileHeight, size.yOrigin),
                 std::min<uint64_t>(size.yTileOrigin + (q + 1) * size.tileHeight, size.yEnd)};
    for (size_t c = 0; c < codings.size(); ++c) {
        const auto [dx, dy] = size.subsampling[c];
        weigh({ceilDivide(x.begin, dx), ceilDivide(x.end, dx)}, {ceilDivide(y.begin, dy), ceilDivide(y.end, dy)},
              codings[c], &bands[c * kBandsPerComponent]);
    }
}

}  // namespace

std::optional<Jpeg2000TileState> jpeg2000TileState(std::span<const uint8_t> data, const Jpeg2000Size& size) {
    const std::span<const uint8_t> d = jpeg2000Codestream(data);
    if (size.components == 0 || size.subsampling.size() != size.components || d.size() < size.afterSize) {
        return std::nullopt;
    }
    Codings main(size.components);
    bool sawCod = false;
    auto at = readHeader(d, size.afterSize, d.size(), kSot, main, sawCod);
    // The library reads no further without a COD in the main header.
    if (!at || !sawCod) return std::nullopt;
    // Tiles whose own headers change their coding; the rest keep the main
    // header's.
    std::map<uint64_t, Codings> tileCodings;
    bool toTheEnd = false;
    while (!toTheEnd && d.size() - *at >= 2 && bigEndian16(d, *at) == kSot) {
        // SOT: its length (10), the tile, the tile-part's length from SOT
        // (0: to the end of the codestream), its index and count.
        const size_t start = *at;
        if (d.size() - start < 12 || bigEndian16(d, start + 2) != 10) return std::nullopt;
        const uint64_t tile = bigEndian16(d, start + 4);
        const uint64_t length = bigEndian32(d, start + 6);
        if (tile >= size.tiles || length > d.size() - start || (length != 0 && length < 14 && length != 12)) {
            return std::nullopt;
        }
        toTheEnd = length == 0;
        const size_t end = toTheEnd ? d.size() : start + size_t(length);
        // A tile-part of SOT alone has no header.
        if (length != 12) {
            auto found = tileCodings.find(tile);
            Codings& codings =
                found != tileCodings.end() ? found->second : tileCodings.emplace(tile, main).first->second;
            bool tileCod = false;
            if (!readHeader(d, start + 12, end, kSod, codings, tileCod)) return std::nullopt;
        }
        at = end;
    }
    // After the last tile-part: the codestream's end marker, or the data's
    // end.
    if (!toTheEnd && d.size() - *at >= 2 && bigEndian16(d, *at) != kEoc) return std::nullopt;
    std::vector<Band> bands(size.components * kBandsPerComponent);
    for (uint64_t tile = 0; tile < size.tiles; ++tile) {
        auto found = tileCodings.find(tile);
        weighTile(size, tile, found != tileCodings.end() ? found->second : main, bands);
    }
    Jpeg2000TileState state;
    for (const Band& band : bands) {
        state.codeBlocks = saturatingSum(state.codeBlocks, band.codeBlocks());
        state.precincts = saturatingSum(state.precincts, band.precincts);
    }
    return state;
}

}  // namespace cg::still
