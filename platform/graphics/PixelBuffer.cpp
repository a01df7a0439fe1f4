#include "platform/graphics/PixelBuffer.h"

#include <pixman.h>

#include <cmath>
#include <cstring>

namespace cg {

namespace {

// Memory positions of the alpha, red, green and blue bytes of one pixel.
struct Layout {
    int a, r, g, b;
    bool premultiplied;
    bool hasAlpha;
};

Layout layoutOf(uint32_t bitmapInfo) {
    uint32_t alpha = bitmapInfo & BitmapInfo::AlphaInfoMask;
    bool first = alpha == 2 || alpha == 4 || alpha == 6;
    int order[4] = {0, 1, 2, 3};  // A R G B or R G B A, as named
    Layout layout{};
    if (first) {
        layout = {order[0], order[1], order[2], order[3], false, false};
    } else {
        layout = {order[3], order[0], order[1], order[2], false, false};
    }
    if ((bitmapInfo & BitmapInfo::ByteOrderMask) == BitmapInfo::ByteOrder32Little) {
        layout.a = 3 - layout.a;
        layout.r = 3 - layout.r;
        layout.g = 3 - layout.g;
        layout.b = 3 - layout.b;
    }
    layout.premultiplied = alpha == 1 || alpha == 2;
    layout.hasAlpha = alpha >= 1 && alpha <= 4;
    return layout;
}

bool fits(const PixelBuffer& buffer, size_t width, size_t height) {
    return buffer.data && buffer.width >= width && buffer.height >= height && buffer.rowBytes >= buffer.width * 4;
}

bool unpremultiplyWithAlphaAt(const PixelBuffer& source, const PixelBuffer& destination, int alphaAt) {
    if (!source.data || !destination.data || source.width != destination.width ||
        source.height != destination.height) {
        return false;
    }
    for (size_t y = 0; y < source.height; ++y) {
        const auto* in = static_cast<const uint8_t*>(source.data) + y * source.rowBytes;
        auto* out = static_cast<uint8_t*>(destination.data) + y * destination.rowBytes;
        for (size_t x = 0; x < source.width; ++x, in += 4, out += 4) {
            uint8_t pixel[4];
            std::memcpy(pixel, in, 4);
            uint8_t alpha = pixel[alphaAt];
            for (int i = 0; i < 4; ++i) out[i] = i == alphaAt ? alpha : unpremultipliedComponent(pixel[i], alpha);
        }
    }
    return true;
}

pixman_fixed_t fixed(double value) { return pixman_double_to_fixed(value); }

}  // namespace

bool isSupportedPixelLayout(uint32_t bitmapInfo) {
    uint32_t alpha = bitmapInfo & BitmapInfo::AlphaInfoMask;
    uint32_t order = bitmapInfo & BitmapInfo::ByteOrderMask;
    if (alpha < 1 || alpha > 6) return false;
    if (bitmapInfo & ~(BitmapInfo::AlphaInfoMask | BitmapInfo::ByteOrderMask)) return false;
    return order == BitmapInfo::ByteOrderDefault || order == BitmapInfo::ByteOrder32Little ||
           order == BitmapInfo::ByteOrder32Big;
}

bool convertToPixels(const Bitmap& bitmap, uint32_t bitmapInfo, const PixelBuffer& buffer) {
    if (!isSupportedPixelLayout(bitmapInfo) || !fits(buffer, size_t(bitmap.width()), size_t(bitmap.height()))) {
        return false;
    }
    const Layout layout = layoutOf(bitmapInfo);
    const bool sourceAlpha = bitmap.hasAlpha();
    for (int y = 0; y < bitmap.height(); ++y) {
        const uint32_t* in = bitmap.row(y);
        auto* out = static_cast<uint8_t*>(buffer.data) + size_t(y) * buffer.rowBytes;
        for (int x = 0; x < bitmap.width(); ++x, out += 4) {
            uint32_t word = in[x];
            uint8_t a = sourceAlpha ? uint8_t(word >> 24) : 255;
            uint8_t r = uint8_t(word >> 16), g = uint8_t(word >> 8), b = uint8_t(word);
            if (layout.hasAlpha && !layout.premultiplied) {
                r = unpremultipliedComponent(r, a);
                g = unpremultipliedComponent(g, a);
                b = unpremultipliedComponent(b, a);
            }
            out[layout.a] = layout.hasAlpha ? a : 255;
            out[layout.r] = r;
            out[layout.g] = g;
            out[layout.b] = b;
        }
    }
    return true;
}

std::optional<Bitmap> bitmapFromPixels(const PixelBuffer& buffer, uint32_t bitmapInfo) {
    if (!isSupportedPixelLayout(bitmapInfo) || !buffer.data || buffer.rowBytes < buffer.width * 4) return std::nullopt;
    if (buffer.width > INT32_MAX || buffer.height > INT32_MAX) return std::nullopt;
    const Layout layout = layoutOf(bitmapInfo);
    Bitmap bitmap(int(buffer.width), int(buffer.height),
                  layout.hasAlpha ? PixelFormat::ARGB32Premultiplied : PixelFormat::RGB24);
    for (size_t y = 0; y < buffer.height; ++y) {
        const auto* in = static_cast<const uint8_t*>(buffer.data) + y * buffer.rowBytes;
        uint32_t* out = bitmap.row(int(y));
        for (size_t x = 0; x < buffer.width; ++x, in += 4) {
            uint8_t a = layout.hasAlpha ? in[layout.a] : 0;
            uint8_t r = in[layout.r], g = in[layout.g], b = in[layout.b];
            if (layout.hasAlpha && !layout.premultiplied) {
                Pixel p = premultiplied(a, r, g, b);
                r = p.red;
                g = p.green;
                b = p.blue;
            } else if (layout.hasAlpha) {
                // Premultiplied input whose colour exceeds its alpha is clamped.
                r = std::min(r, a);
                g = std::min(g, a);
                b = std::min(b, a);
            }
            out[x] = uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | b;
        }
    }
    return bitmap;
}

bool unpremultiplyARGB8888(const PixelBuffer& source, const PixelBuffer& destination) {
    return unpremultiplyWithAlphaAt(source, destination, 0);
}

bool unpremultiplyRGBA8888(const PixelBuffer& source, const PixelBuffer& destination) {
    return unpremultiplyWithAlphaAt(source, destination, 3);
}

bool affineWarpARGB8888(const PixelBuffer& source, const PixelBuffer& destination, const AffineTransform& transform) {
    if (!fits(source, source.width, source.height) || !fits(destination, destination.width, destination.height)) {
        return false;
    }
    if (source.rowBytes % 4 || destination.rowBytes % 4 || !transform.isInvertible()) return false;
    // Four bytes in memory order A R G B are, as one native little-endian
    // word, pixman's b8g8r8a8 (each channel is carried through alike).
    const pixman_format_code_t format = PIXMAN_b8g8r8a8;
    pixman_image_t* src = pixman_image_create_bits(format, int(source.width), int(source.height),
                                                   static_cast<uint32_t*>(source.data), int(source.rowBytes));
    pixman_image_t* dst = pixman_image_create_bits(format, int(destination.width), int(destination.height),
                                                   static_cast<uint32_t*>(destination.data), int(destination.rowBytes));
    if (!src || !dst) {
        if (src) pixman_image_unref(src);
        if (dst) pixman_image_unref(dst);
        return false;
    }
    // pixman maps destination pixels to source ones, y down: flip the
    // destination to y up, undo the transform, flip into the source.
    const double hs = double(source.height), hd = double(destination.height);
    AffineTransform toSource = AffineTransform{1, 0, 0, -1, 0, hd}
                                   .concat(transform.inverted())
                                   .concat(AffineTransform{1, 0, 0, -1, 0, hs});
    pixman_transform_t matrix = {{{fixed(toSource.a), fixed(toSource.c), fixed(toSource.tx)},
                                  {fixed(toSource.b), fixed(toSource.d), fixed(toSource.ty)},
                                  {0, 0, pixman_fixed_1}}};
    pixman_image_set_transform(src, &matrix);
    bool whole = std::fabs(toSource.a - std::round(toSource.a)) < 1e-9 &&
                 std::fabs(toSource.b - std::round(toSource.b)) < 1e-9 &&
                 std::fabs(toSource.c - std::round(toSource.c)) < 1e-9 &&
                 std::fabs(toSource.d - std::round(toSource.d)) < 1e-9 &&
                 std::fabs(toSource.tx - std::round(toSource.tx)) < 1e-9 &&
                 std::fabs(toSource.ty - std::round(toSource.ty)) < 1e-9;
    pixman_image_set_filter(src, whole ? PIXMAN_FILTER_NEAREST : PIXMAN_FILTER_BILINEAR, nullptr, 0);
    pixman_image_set_repeat(src, PIXMAN_REPEAT_NONE);
    // SRC with no repeat: what the source does not cover becomes 0.
    pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, int(destination.width),
                             int(destination.height));
    pixman_image_unref(src);
    pixman_image_unref(dst);
    return true;
}

}  // namespace cg
