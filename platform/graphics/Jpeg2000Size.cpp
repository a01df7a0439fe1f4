#include "platform/graphics/Jpeg2000Size.h"

#include "platform/graphics/StillFormats.h"

namespace cg::still {

namespace {

uint16_t u16(std::span<const uint8_t> d, size_t at) { return uint16_t(d[at] << 8 | d[at + 1]); }
uint32_t u32(std::span<const uint8_t> d, size_t at) { return uint32_t(u16(d, at)) << 16 | u16(d, at + 2); }
uint64_t u64(std::span<const uint8_t> d, size_t at) { return uint64_t(u32(d, at)) << 32 | u32(d, at + 4); }

constexpr uint32_t kCodestreamBox = 0x6A703263;  // "jp2c"

// The contents of the JP2 file's first codestream box; empty without one.
// Boxes are walked as the library walks them: a length of 0 runs to the
// end of the data, 1 means a 64-bit length follows the type.
std::span<const uint8_t> codestreamBox(std::span<const uint8_t> data) {
    size_t at = 0;
    while (data.size() - at >= 8) {
        uint64_t length = u32(data, at);
        const uint32_t type = u32(data, at + 4);
        size_t header = 8;
        if (length == 1) {
            if (data.size() - at < 16) return {};
            length = u64(data, at + 8);
            header = 16;
        } else if (length == 0) {
            length = data.size() - at;
        }
        if (length < header) return {};
        if (type == kCodestreamBox) return data.subspan(at + header);
        if (length > data.size() - at) return {};
        at += size_t(length);
    }
    return {};
}

uint64_t tilesAcross(uint32_t end, uint32_t tileOrigin, uint32_t tileSize) {
    return (uint64_t(end) - tileOrigin + tileSize - 1) / tileSize;
}

}  // namespace

std::optional<Jpeg2000Size> jpeg2000Size(std::span<const uint8_t> data) {
    std::span<const uint8_t> codestream = startsAsJp2File(data) ? codestreamBox(data) : data;
    // SOC, then SIZ: its length, capabilities, the reference grid's end and
    // the picture's origin on it, the tile size and the tile grid's
    // origin, the component count and three bytes per component.
    constexpr size_t kFixedPart = 42;
    if (!startsAsJpeg2000Codestream(codestream) || codestream.size() < kFixedPart) return std::nullopt;
    const uint32_t xEnd = u32(codestream, 8), yEnd = u32(codestream, 12);
    const uint32_t xOrigin = u32(codestream, 16), yOrigin = u32(codestream, 20);
    const uint32_t tileWidth = u32(codestream, 24), tileHeight = u32(codestream, 28);
    const uint32_t xTileOrigin = u32(codestream, 32), yTileOrigin = u32(codestream, 36);
    const uint16_t components = u16(codestream, 40);
    if (components == 0 || u16(codestream, 4) != kFixedPart - 4 + 3 * size_t(components)) return std::nullopt;
    if (xOrigin >= xEnd || yOrigin >= yEnd || tileWidth == 0 || tileHeight == 0) return std::nullopt;
    // The first tile holds the picture's first pixel.
    if (xTileOrigin > xOrigin || yTileOrigin > yOrigin || uint64_t(xTileOrigin) + tileWidth <= xOrigin ||
        uint64_t(yTileOrigin) + tileHeight <= yOrigin) {
        return std::nullopt;
    }
    Jpeg2000Size size;
    size.width = xEnd - xOrigin;
    size.height = yEnd - yOrigin;
    size.tiles = tilesAcross(xEnd, xTileOrigin, tileWidth) * tilesAcross(yEnd, yTileOrigin, tileHeight);
    size.components = components;
    return size;
}

}  // namespace cg::still
