#include "platform/graphics/Jpeg2000Size.h"

#include "platform/graphics/BigEndian.h"
#include "platform/graphics/StillFormats.h"

namespace cg::still {

namespace {

constexpr uint32_t kCodestreamBox = 0x6A703263;  // "jp2c"

// The contents of the JP2 file's first codestream box; empty without one.
// Boxes are walked as the library walks them: a length of 0 runs to the
// end of the data, 1 means a 64-bit length follows the type.
std::span<const uint8_t> codestreamBox(std::span<const uint8_t> data) {
    size_t at = 0;
    while (data.size() - at >= 8) {
        uint64_t length = bigEndian32(data, at);
        const uint32_t type = bigEndian32(data, at + 4);
        size_t header = 8;
        if (length == 1) {
            if (data.size() - at < 16) return {};
            length = bigEndian64(data, at + 8);
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

std::span<const uint8_t> jpeg2000Codestream(std::span<const uint8_t> data) {
    return startsAsJp2File(data) ? codestreamBox(data) : data;
}

std::optional<Jpeg2000Size> jpeg2000Size(std::span<const uint8_t> data) {
    std::span<const uint8_t> codestream = jpeg2000Codestream(data);
    // SOC, then SIZ: its length, capabilities, the reference grid's end and
    // the picture's origin on it, the tile size and the tile grid's
    // origin, the component count and three bytes per component.
    constexpr size_t kFixedPart = 42;
    if (!startsAsJpeg2000Codestream(codestream) || codestream.size() < kFixedPart) return std::nullopt;
    const uint32_t xEnd = bigEndian32(codestream, 8), yEnd = bigEndian32(codestream, 12);
    const uint32_t xOrigin = bigEndian32(codestream, 16), yOrigin = bigEndian32(codestream, 20);
    const uint32_t tileWidth = bigEndian32(codestream, 24), tileHeight = bigEndian32(codestream, 28);
    const uint32_t xTileOrigin = bigEndian32(codestream, 32), yTileOrigin = bigEndian32(codestream, 36);
    const uint16_t components = bigEndian16(codestream, 40);
    const size_t end = kFixedPart + 3 * size_t(components);
    if (components == 0 || bigEndian16(codestream, 4) != end - 4 || codestream.size() < end) return std::nullopt;
    if (xOrigin >= xEnd || yOrigin >= yEnd || tileWidth == 0 || tileHeight == 0) return std::nullopt;
    // The first tile holds the picture's first pixel.
    if (xTileOrigin > xOrigin || yTileOrigin > yOrigin || uint64_t(xTileOrigin) + tileWidth <= xOrigin ||
        uint64_t(yTileOrigin) + tileHeight <= yOrigin) {
        return std::nullopt;
    }
    Jpeg2000Size size;
    size.width = xEnd - xOrigin;
    size.height = yEnd - yOrigin;
    size.tilesAcross = tilesAcross(xEnd, xTileOrigin, tileWidth);
    size.tiles = size.tilesAcross * tilesAcross(yEnd, yTileOrigin, tileHeight);
    size.components = components;
    size.xOrigin = xOrigin;
    size.yOrigin = yOrigin;
    size.xEnd = xEnd;
    size.yEnd = yEnd;
    size.tileWidth = tileWidth;
    size.tileHeight = tileHeight;
    size.xTileOrigin = xTileOrigin;
    size.yTileOrigin = yTileOrigin;
    size.subsampling.reserve(components);
    size.precision.reserve(components);
    for (size_t at = kFixedPart; at < end; at += 3) {
        if (codestream[at + 1] == 0 || codestream[at + 2] == 0) return std::nullopt;
        size.subsampling.push_back({codestream[at + 1], codestream[at + 2]});
        // The low seven bits hold the precision less one; the top one the
        // sign.
        size.precision.push_back(uint8_t((codestream[at] & 0x7F) + 1));
    }
    size.afterSize = end;
    size.codestreamBytes = codestream.size();
    return size;
}

}  // namespace cg::still
