#pragma once
// A pixel buffer in the layouts the drawing library works in: one native-
// endian 32-bit word per pixel, alpha in the top byte, then red, green, blue.
// ARGB32 stores premultiplied colour; RGB24 has no alpha and its top byte is
// unused (read back as 255). Rows are width * 4 bytes, with no padding.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/graphics/Color.h"

namespace cg {

enum class PixelFormat {
    ARGB32Premultiplied,
    RGB24,
};

// One pixel's bytes as stored: premultiplied for ARGB32.
struct Pixel {
    uint8_t alpha = 0;
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;

    friend bool operator==(const Pixel&, const Pixel&) = default;
};

class Bitmap {
public:
    Bitmap() = default;
    // Zero-filled: transparent for ARGB32, black for RGB24. Negative sizes
    // raise NSInvalidArgumentException.
    Bitmap(int width, int height, PixelFormat format);

    int width() const { return width_; }
    int height() const { return height_; }
    PixelFormat format() const { return format_; }
    bool hasAlpha() const { return format_ == PixelFormat::ARGB32Premultiplied; }
    bool isEmpty() const { return width_ == 0 || height_ == 0; }
    size_t bytesPerRow() const { return size_t(width_) * 4; }

    uint8_t* data() { return reinterpret_cast<uint8_t*>(words_.data()); }
    const uint8_t* data() const { return reinterpret_cast<const uint8_t*>(words_.data()); }
    uint32_t* row(int y) { return words_.data() + size_t(y) * size_t(width_); }
    const uint32_t* row(int y) const { return words_.data() + size_t(y) * size_t(width_); }

    // Out-of-range coordinates raise NSRangeException.
    Pixel pixel(int x, int y) const;
    void setPixel(int x, int y, Pixel p);
    // The pixel as a straight-alpha colour (premultiplication undone).
    Color colorAt(int x, int y) const;

    friend bool operator==(const Bitmap&, const Bitmap&) = default;

private:
    void checkBounds(int x, int y) const;

    int width_ = 0;
    int height_ = 0;
    PixelFormat format_ = PixelFormat::ARGB32Premultiplied;
    // From the allocator, which decides when a large block let go goes
    // back to the system; a copy is one block copy.
    std::vector<uint32_t> words_;
};

// A bitmap-info word: the alpha info in the low five bits, the byte order
// in bits 12-14.
namespace BitmapInfo {
inline constexpr uint32_t AlphaInfoMask = 0x1F;
inline constexpr uint32_t ByteOrderMask = 0x7000;
inline constexpr uint32_t ByteOrderDefault = 0;
inline constexpr uint32_t ByteOrder32Little = 0x2000;
inline constexpr uint32_t ByteOrder32Big = 0x4000;
// The two layouts of the drawing library's surfaces (native words on a
// little-endian machine): ARGB32 and RGB24.
inline constexpr uint32_t PremultipliedFirst32Little = 0x2002;
inline constexpr uint32_t NoneSkipFirst32Little = 0x2006;
}  // namespace BitmapInfo

// Premultiplies a straight-alpha byte colour, rounding to nearest.
Pixel premultiplied(uint8_t alpha, uint8_t red, uint8_t green, uint8_t blue);
// Undoes premultiplication of one component, rounding to nearest; 0 where
// alpha is 0.
inline uint8_t unpremultipliedComponent(uint8_t component, uint8_t alpha) {
    if (alpha == 0) return 0;
    unsigned value = (unsigned(component) * 255 + alpha / 2) / alpha;
    return uint8_t(value > 255 ? 255 : value);
}

}  // namespace cg
