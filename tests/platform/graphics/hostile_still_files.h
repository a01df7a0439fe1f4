#pragma once
// Files whose work grows with what they declare rather than with their
// bytes, built here for the tests and the benchmark: icon directories of
// many entries sharing one picture, a 1-bit icon bitmap whose mask is cut
// short, and a progressive JPEG whose last scan repeats.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Png.h"
#include "tests/platform/graphics/still_test_support.h"

namespace stilltest {

using Bytes = std::vector<uint8_t>;

inline void putLe16(Bytes& out, uint32_t v) { out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)}); }
inline void putLe32(Bytes& out, uint32_t v) { putLe16(out, v & 0xFFFF), putLe16(out, v >> 16); }
inline void putBe32(Bytes& out, uint32_t v) {
    out.insert(out.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
}

enum class IconKind : uint16_t { Icon = 1, Cursor = 2 };

// An ICO (or CUR) whose `count` directory entries all point at one copy of
// `entry`.
inline Bytes icoSharingOneEntry(const Bytes& entry, size_t count, IconKind kind = IconKind::Icon) {
    Bytes out;
    putLe16(out, 0);
    putLe16(out, uint16_t(kind));
    putLe16(out, uint32_t(count));
    const uint32_t offset = uint32_t(6 + 16 * count);
    for (size_t i = 0; i < count; ++i) {
        out.insert(out.end(), {0, 0, 0, 0});
        putLe16(out, 1);
        putLe16(out, 32);
        putLe32(out, uint32_t(entry.size()));
        putLe32(out, offset);
    }
    out.insert(out.end(), entry.begin(), entry.end());
    return out;
}

// A side x side 1-bit icon bitmap, black and white stripes, whose AND mask
// lacks its last `maskShortBy` bytes.
inline Bytes monochromeIconBitmap(int side, size_t maskShortBy) {
    Bytes out;
    putLe32(out, 40);
    putLe32(out, uint32_t(side));
    putLe32(out, uint32_t(side) * 2);
    putLe16(out, 1);
    putLe16(out, 1);
    for (int i = 0; i < 4; ++i) putLe32(out, 0);  // compression, size, resolution
    putLe32(out, 2);  // colours used
    putLe32(out, 0);
    putLe32(out, 0x000000);
    putLe32(out, 0xFFFFFF);
    const size_t rowBytes = (size_t(side) + 31) / 32 * 4;
    out.resize(out.size() + rowBytes * size_t(side), 0x0F);
    out.resize(out.size() + rowBytes * size_t(side) - maskShortBy, 0);
    return out;
}

// An ICNS of `count` entries of `type`, each a copy of `picture`.
inline Bytes icnsOfCopies(const Bytes& picture, size_t count, const char* type = "icp4") {
    Bytes out = {'i', 'c', 'n', 's'};
    putBe32(out, uint32_t(8 + count * (8 + picture.size())));
    for (size_t i = 0; i < count; ++i) {
        out.insert(out.end(), type, type + 4);
        putBe32(out, uint32_t(8 + picture.size()));
        out.insert(out.end(), picture.begin(), picture.end());
    }
    return out;
}

inline Bytes onePixelPng() {
    cg::Bitmap pixel(1, 1, cg::PixelFormat::ARGB32Premultiplied);
    pixel.setPixel(0, 0, {255, 10, 20, 30});
    return cg::encodePng(pixel);
}

// Where the last scan of a JPEG begins (its Huffman tables first, when they
// come right before it), where its end-of-image marker lies, and how many
// scans it has.
struct LastScan {
    size_t begin = 0;
    size_t end = 0;
    size_t scans = 0;
};

inline LastScan lastScanOf(const Bytes& jpeg) {
    LastScan found;
    size_t at = 2, groupStart = 0;
    bool inGroup = false;
    while (at + 2 <= jpeg.size()) {
        if (jpeg[at] != 0xFF) {
            ++at;
            continue;
        }
        const uint8_t marker = jpeg[at + 1];
        if (marker == 0xD9) {
            found.end = at;
            break;
        }
        if (at + 4 > jpeg.size()) break;
        const size_t length = size_t(jpeg[at + 2]) << 8 | jpeg[at + 3];
        if (marker == 0xC4 && !inGroup) groupStart = at, inGroup = true;
        if (marker == 0xDA) {
            found.begin = inGroup ? groupStart : at;
            found.scans++;
            inGroup = false;
            // The entropy-coded data runs to the next marker that is
            // neither a stuffed byte nor a restart.
            at += 2 + length;
            while (at + 1 < jpeg.size() &&
                   !(jpeg[at] == 0xFF && jpeg[at + 1] != 0 && (jpeg[at + 1] < 0xD0 || jpeg[at + 1] > 0xD7))) {
                ++at;
            }
            continue;
        }
        if (marker != 0xC4) inGroup = false;
        at += 2 + length;
    }
    return found;
}

// A progressive JPEG of one colour whose last scan repeats until it holds
// `scans` scans: small to send, and each scan passes over every block.
inline Bytes progressiveJpegWithScans(int side, size_t scans) {
    cg::Bitmap flat(side, side, cg::PixelFormat::RGB24);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) flat.setPixel(x, y, {0, 90, 140, 200});
    Bytes base = jpeg(flat, true);
    LastScan last = lastScanOf(base);
    if (last.end == 0 || last.begin == 0) {
        std::fprintf(stderr, "progressiveJpegWithScans: no scan found\n");
        std::abort();
    }
    Bytes out(base.begin(), base.begin() + std::ptrdiff_t(last.end));
    const Bytes scan(base.begin() + std::ptrdiff_t(last.begin), base.begin() + std::ptrdiff_t(last.end));
    for (size_t i = last.scans; i < scans; ++i) out.insert(out.end(), scan.begin(), scan.end());
    out.insert(out.end(), {0xFF, 0xD9});
    return out;
}

}  // namespace stilltest
