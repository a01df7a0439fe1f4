#pragma once
// Icon files whose work grows with what they declare rather than with
// their bytes, for tests and benchmarks: ICO and ICNS directories of many
// entries sharing one picture, and a 1-bit icon bitmap whose mask is cut
// short.

#include <cstdint>
#include <vector>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Png.h"

namespace testing {

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

inline void putIcnsEntry(Bytes& out, const Bytes& picture, const char* type) {
    out.insert(out.end(), type, type + 4);
    putBe32(out, uint32_t(8 + picture.size()));
    out.insert(out.end(), picture.begin(), picture.end());
}

// An ICNS of `count` entries of `type`, each a copy of `picture`.
inline Bytes icnsOfCopies(const Bytes& picture, size_t count, const char* type = "icp4") {
    Bytes out = {'i', 'c', 'n', 's'};
    putBe32(out, uint32_t(8 + count * (8 + picture.size())));
    for (size_t i = 0; i < count; ++i) putIcnsEntry(out, picture, type);
    return out;
}

// An ICNS of one entry of `type` for each picture, in order.
inline Bytes icnsOf(const std::vector<Bytes>& pictures, const char* type = "icp4") {
    Bytes out = {'i', 'c', 'n', 's'};
    size_t length = 8;
    for (const Bytes& picture : pictures) length += 8 + picture.size();
    putBe32(out, uint32_t(length));
    for (const Bytes& picture : pictures) putIcnsEntry(out, picture, type);
    return out;
}

inline Bytes onePixelPng() {
    cg::Bitmap pixel(1, 1, cg::PixelFormat::ARGB32Premultiplied);
    pixel.setPixel(0, 0, {255, 10, 20, 30});
    return cg::encodePng(pixel);
}

}  // namespace testing
