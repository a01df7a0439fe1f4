#pragma once
// Pixel buffers in any 32-bit layout a bitmap-info word describes, and the
// routines over them that the image code needs from the platform's
// accelerated image library: the any-to-any conversion to and from a
// bitmap, un-premultiplying, and the affine warp (pixman).

#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/graphics/AffineTransform.h"
#include "platform/graphics/Bitmap.h"

namespace cg {

// The accelerated library's buffer record: the caller owns `data`.
struct PixelBuffer {
    void* data = nullptr;
    size_t height = 0;
    size_t width = 0;
    size_t rowBytes = 0;
};

// Whether the word describes a layout these routines read and write: 8-bit
// components, alpha info 1-6, byte order default, 32-bit little or big.
bool isSupportedPixelLayout(uint32_t bitmapInfo);

// Writes the bitmap's pixels into `buffer` (at least as large) in the
// layout of `bitmapInfo`: straight alpha un-premultiplied, skipped alpha
// bytes 255. False for an unsupported layout or a buffer too small.
bool convertToPixels(const Bitmap& bitmap, uint32_t bitmapInfo, const PixelBuffer& buffer);
// Reads pixels laid out as `bitmapInfo` into a bitmap: premultiplied ARGB32
// when the layout has alpha, RGB24 when it has none.
std::optional<Bitmap> bitmapFromPixels(const PixelBuffer& buffer, uint32_t bitmapInfo);

// Un-premultiplies 8-bit pixels whose alpha byte comes first (ARGB) or last
// (RGBA) in memory; `source` and `destination` may be the same buffer.
// False when the sizes differ.
bool unpremultiplyARGB8888(const PixelBuffer& source, const PixelBuffer& destination);
bool unpremultiplyRGBA8888(const PixelBuffer& source, const PixelBuffer& destination);

// Warps 8-bit four-channel pixels (alpha byte first in memory) by
// `transform`, which maps source to destination coordinates with the
// origin at the bottom left, y up, as the platform's drawing does. Pixels
// the source does not cover are transparent (all bytes 0). Bilinear
// sampling; whole-pixel transforms copy pixels exactly. False for a
// transform that cannot be inverted.
bool affineWarpARGB8888(const PixelBuffer& source, const PixelBuffer& destination, const AffineTransform& transform);

}  // namespace cg
