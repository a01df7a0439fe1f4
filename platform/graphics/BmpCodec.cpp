// BMP, read and written here: the file header, an info header of 12 (core),
// 40, 52, 56, 108 or 124 bytes, uncompressed or bit-field pixels of 1, 4, 8,
// 16, 24 or 32 bits, rows bottom-up unless the height is negative. 32-bit
// pixels have alpha only when a mask says so. Compressed (RLE, embedded
// JPEG or PNG) files are not read. The same reader serves the bitmaps inside
// ICO files, which have no file header and carry an AND mask.
#include <algorithm>
#include <cstring>

#include "platform/graphics/StillFormats.h"

namespace cg::still {

namespace {

uint16_t u16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t u32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
void put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, uint16_t(v));
    put16(out, uint16_t(v >> 16));
}

struct Layout {
    Header header;
    bool topDown = false;
    int bits = 0;
    uint32_t pixelOffset = 0;
    uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
    std::vector<uint32_t> palette;     // 0xRRGGBB
    size_t rowBytes = 0;
};

// A mask's value scaled to 8 bits.
uint8_t channel(uint32_t pixel, uint32_t mask) {
    if (!mask) return 0;
    int shift = __builtin_ctz(mask);
    uint32_t max = mask >> shift;
    return uint8_t(((pixel & mask) >> shift) * 255 / max);
}

// The info header at `at` and what follows it: a BMP's after its file
// header, or an ICO entry's (`icon`), whose height counts the AND mask's
// rows too and whose pixels follow its colour table.
std::optional<Layout> readLayout(std::span<const uint8_t> data, size_t at, bool icon) {
    if (data.size() < at + 12) return std::nullopt;
    Layout layout;
    const uint8_t* info = data.data() + at;
    uint32_t infoSize = u32(info);
    int64_t width, height;
    uint32_t compression = 0, colours = 0;
    size_t maskBytes = 0;
    if (infoSize == 12) {
        width = u16(info + 4);
        height = int16_t(u16(info + 6));
        layout.bits = u16(info + 10);
    } else if (infoSize == 40 || infoSize == 52 || infoSize == 56 || infoSize == 108 || infoSize == 124) {
        if (data.size() < at + infoSize) return std::nullopt;
        width = int32_t(u32(info + 4));
        height = int32_t(u32(info + 8));
        layout.bits = u16(info + 14);
        compression = u32(info + 16);
        colours = u32(info + 32);
        if (compression == 3 || compression == 6) {
            // Masks follow a 40-byte header, or sit inside a longer one.
            size_t count = compression == 6 || infoSize >= 56 ? 4 : 3;
            if (data.size() < at + 40 + count * 4) return std::nullopt;
            for (size_t i = 0; i < count; ++i) layout.masks[i] = u32(info + 40 + i * 4);
            if (infoSize == 40) maskBytes = count * 4;
        } else if (compression != 0) {
            return std::nullopt;
        }
    } else {
        return std::nullopt;
    }
    if (icon) {
        // Colour rows, then as many mask rows; always bottom-up.
        if (height <= 0 || height % 2 != 0) return std::nullopt;
        height /= 2;
    }
    if (width <= 0 || height == 0 || height == INT32_MIN) return std::nullopt;
    layout.topDown = height < 0;
    height = height < 0 ? -height : height;
    if (uint64_t(width) * uint64_t(height) > MaximumPixels) return std::nullopt;
    const int b = layout.bits;
    if (b != 1 && b != 4 && b != 8 && b != 16 && b != 24 && b != 32) return std::nullopt;
    if (compression == 0 && b == 16) layout.masks[0] = 0x7C00, layout.masks[1] = 0x03E0, layout.masks[2] = 0x001F;
    if (compression == 0 && b == 32) {
        layout.masks[0] = 0xFF0000, layout.masks[1] = 0xFF00, layout.masks[2] = 0xFF;
        // An icon's 32-bit pixels carry alpha in their top byte.
        if (icon) layout.masks[3] = 0xFF000000;
    }
    if ((b == 16 || b == 32) && (!layout.masks[0] || !layout.masks[1] || !layout.masks[2])) return std::nullopt;
    size_t entries = 0, entrySize = infoSize == 12 ? 3 : 4;
    if (b <= 8) {
        entries = colours ? std::min<size_t>(colours, size_t(1) << b) : size_t(1) << b;
        size_t table = at + infoSize + maskBytes;
        if (data.size() < table + entries * entrySize) return std::nullopt;
        for (size_t i = 0; i < entries; ++i) {
            const uint8_t* e = data.data() + table + i * entrySize;
            layout.palette.push_back(uint32_t(e[2]) << 16 | uint32_t(e[1]) << 8 | e[0]);
        }
    }
    layout.pixelOffset = icon ? uint32_t(at + infoSize + maskBytes + entries * entrySize) : u32(data.data() + 10);
    layout.header.width = int(width);
    layout.header.height = int(height);
    layout.header.hasAlpha = (b == 16 || b == 32) && layout.masks[3] != 0;
    layout.rowBytes = (size_t(width) * size_t(b) + 31) / 32 * 4;
    return layout;
}

std::optional<Layout> readBmpLayout(std::span<const uint8_t> data) {
    if (data.size() < 26 || data[0] != 'B' || data[1] != 'M') return std::nullopt;
    return readLayout(data, 14, false);
}

// Straight RGBA rows of every pixel row the data holds whole; false when
// it holds fewer than all of them (a header may promise millions of
// pixels over a few bytes, and each would be made for nothing).
bool readPixels(std::span<const uint8_t> data, const Layout& layout, std::vector<uint8_t>& rgba) {
    const int w = layout.header.width, h = layout.header.height;
    uint64_t needed = uint64_t(layout.pixelOffset) + uint64_t(layout.rowBytes) * uint64_t(h);
    if (data.size() < needed) return false;
    rgba.assign(size_t(w) * size_t(h) * 4, 0);
    for (int i = 0; i < h; ++i) {
        const uint8_t* in = data.data() + size_t(layout.pixelOffset) + size_t(i) * layout.rowBytes;
        int y = layout.topDown ? i : h - 1 - i;
        uint8_t* out = rgba.data() + size_t(y) * size_t(w) * 4;
        for (int x = 0; x < w; ++x, out += 4) {
            uint32_t rgb = 0;
            uint8_t alpha = 255;
            switch (layout.bits) {
            case 1:
            case 4:
            case 8: {
                int b = layout.bits;
                size_t bit = size_t(x) * size_t(b);
                unsigned index = (in[bit / 8] >> (8 - b - bit % 8)) & ((1u << b) - 1);
                rgb = index < layout.palette.size() ? layout.palette[index] : 0;
                break;
            }
            case 24:
                rgb = uint32_t(in[x * 3 + 2]) << 16 | uint32_t(in[x * 3 + 1]) << 8 | in[x * 3];
                break;
            default: {
                uint32_t pixel = layout.bits == 16 ? u16(in + x * 2) : u32(in + x * 4);
                rgb = uint32_t(channel(pixel, layout.masks[0])) << 16 | uint32_t(channel(pixel, layout.masks[1])) << 8 |
                      channel(pixel, layout.masks[2]);
                if (layout.masks[3]) alpha = channel(pixel, layout.masks[3]);
            }
            }
            out[0] = uint8_t(rgb >> 16);
            out[1] = uint8_t(rgb >> 8);
            out[2] = uint8_t(rgb);
            out[3] = alpha;
        }
    }
    return true;
}

// Whether any of a 32-bit bitmap's pixels, all inside the data, has alpha
// other than 0; read from the stored words, before any is converted.
bool carriesAlpha(std::span<const uint8_t> data, const Layout& layout) {
    const uint32_t mask = layout.masks[3];
    if (!mask) return true;  // no alpha channel: every pixel is opaque
    for (int i = 0; i < layout.header.height; ++i) {
        const uint8_t* in = data.data() + size_t(layout.pixelOffset) + size_t(i) * layout.rowBytes;
        for (int x = 0; x < layout.header.width; ++x) {
            if (u32(in + size_t(x) * 4) & mask) return true;
        }
    }
    return false;
}

}  // namespace

std::optional<Header> bmpHeader(std::span<const uint8_t> data) {
    auto layout = readBmpLayout(data);
    if (!layout) return std::nullopt;
    return layout->header;
}

// The pixels are stored plainly, so a file that does not hold every row is
// cut short: it gives no picture.
std::optional<Decoded> decodeBmp(std::span<const uint8_t> data, bool) {
    auto layout = readBmpLayout(data);
    std::vector<uint8_t> rgba;
    if (!layout || !readPixels(data, *layout, rgba)) return std::nullopt;
    Decoded decoded;
    decoded.header = layout->header;
    decoded.complete = true;
    decoded.bitmap = bitmapFromRGBA(rgba, layout->header.width, layout->header.height, !layout->header.hasAlpha);
    return decoded;
}

std::optional<Header> icoBitmapHeader(std::span<const uint8_t> entry) {
    auto layout = readLayout(entry, 0, true);
    if (!layout) return std::nullopt;
    // The AND mask makes any icon's pixels clear where it is set.
    layout->header.hasAlpha = true;
    return layout->header;
}

std::optional<Decoded> decodeIcoBitmap(std::span<const uint8_t> entry) {
    auto layout = readLayout(entry, 0, true);
    if (!layout) return std::nullopt;
    const int w = layout->header.width, h = layout->header.height;
    // Both the colours and, when needed, the mask are checked before any
    // pixel is made: a short entry costs nothing, however many pixels its
    // header promises.
    const uint64_t maskAt = uint64_t(layout->pixelOffset) + uint64_t(layout->rowBytes) * uint64_t(h);
    if (entry.size() < maskAt) return std::nullopt;
    // 32-bit pixels carry their own alpha; only when all of it is 0 (an
    // icon written before alpha was used) does the mask say what is clear.
    const bool ownAlpha = layout->bits == 32 && carriesAlpha(entry, *layout);
    const size_t maskRow = (size_t(w) + 31) / 32 * 4;
    if (!ownAlpha && (entry.size() - maskAt) / maskRow < size_t(h)) return std::nullopt;
    std::vector<uint8_t> rgba;
    if (!readPixels(entry, *layout, rgba)) return std::nullopt;
    if (!ownAlpha) {
        for (int i = 0; i < h; ++i) {
            const uint8_t* bits = entry.data() + maskAt + size_t(i) * maskRow;
            uint8_t* out = rgba.data() + size_t(h - 1 - i) * size_t(w) * 4;
            for (int x = 0; x < w; ++x) out[size_t(x) * 4 + 3] = (bits[x / 8] >> (7 - x % 8)) & 1 ? 0 : 255;
        }
    }
    Decoded decoded;
    decoded.header = layout->header;
    decoded.header.hasAlpha = true;
    decoded.complete = true;
    decoded.bitmap = bitmapFromRGBA(rgba, w, h, false);
    return decoded;
}

std::vector<uint8_t> encodeBmp(const Bitmap& bitmap) {
    if (bitmap.isEmpty()) return {};
    const bool alpha = bitmap.hasAlpha();
    const int w = bitmap.width(), h = bitmap.height();
    const uint32_t infoSize = alpha ? 108 : 40;
    const size_t rowBytes = alpha ? size_t(w) * 4 : (size_t(w) * 3 + 3) / 4 * 4;
    const uint32_t offset = 14 + infoSize;
    const uint64_t fileSize = offset + uint64_t(rowBytes) * uint64_t(h);
    if (fileSize > UINT32_MAX) return {};
    std::vector<uint8_t> out;
    out.reserve(size_t(fileSize));
    out.push_back('B');
    out.push_back('M');
    put32(out, uint32_t(fileSize));
    put32(out, 0);
    put32(out, offset);
    put32(out, infoSize);
    put32(out, uint32_t(w));
    put32(out, uint32_t(h));  // bottom-up
    put16(out, 1);
    put16(out, alpha ? 32 : 24);
    put32(out, alpha ? 3 : 0);  // bit fields with alpha, else plain
    put32(out, uint32_t(rowBytes * size_t(h)));
    put32(out, 2835);  // 72 dpi
    put32(out, 2835);
    put32(out, 0);
    put32(out, 0);
    if (alpha) {
        for (uint32_t mask : {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u}) put32(out, mask);
        put32(out, 0x73524742);  // 'sRGB'
        out.resize(out.size() + 36 + 12, 0);  // end points and gamma: unused
    }
    for (int y = h - 1; y >= 0; --y) {
        const uint32_t* row = bitmap.row(y);
        size_t start = out.size();
        for (int x = 0; x < w; ++x) {
            uint32_t word = row[x];
            uint8_t a = uint8_t(word >> 24), r = uint8_t(word >> 16), g = uint8_t(word >> 8), b = uint8_t(word);
            if (alpha) {
                out.insert(out.end(), {unpremultipliedComponent(b, a), unpremultipliedComponent(g, a),
                                       unpremultipliedComponent(r, a), a});
            } else {
                out.insert(out.end(), {b, g, r});
            }
        }
        out.resize(start + rowBytes, 0);
    }
    return out;
}

}  // namespace cg::still
