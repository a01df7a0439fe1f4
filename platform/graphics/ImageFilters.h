#pragma once
// The accelerated image library's buffer calls and filters the image
// utilities use, over PixelBuffer: buffers made blank or from an image and
// images made from them; the box convolution (each pass an average over a
// kernel-sized box, by running sums, so its cost does not grow with the
// kernel); the 4 x 4 integer colour matrix; mirror reflections. Pixels are
// 8-bit, four channels; the filters treat the four bytes of a pixel alike,
// whatever they stand for.
//
// Calls answer the library's error codes: 0 for success, negative numbers
// for failures.

#include <cstddef>
#include <cstdint>

#include "platform/graphics/Image.h"
#include "platform/graphics/PixelBuffer.h"

namespace cg {

using ImageError = ptrdiff_t;
inline constexpr ImageError ImageNoError = 0;
inline constexpr ImageError ImageRoiLargerThanInputBuffer = -21766;
inline constexpr ImageError ImageInvalidKernelSize = -21767;
inline constexpr ImageError ImageInvalidEdgeStyle = -21768;
inline constexpr ImageError ImageInvalidOffsetX = -21769;
inline constexpr ImageError ImageInvalidOffsetY = -21770;
inline constexpr ImageError ImageMemoryAllocationError = -21771;
inline constexpr ImageError ImageNullPointerArgument = -21772;
inline constexpr ImageError ImageInvalidParameter = -21773;
inline constexpr ImageError ImageBufferSizeMismatch = -21774;
inline constexpr ImageError ImageUnknownFlagsBit = -21775;
inline constexpr ImageError ImageInvalidImageFormat = -21778;

// Flags, by the library's bits.
namespace ImageFlags {
inline constexpr uint32_t NoFlags = 0;
inline constexpr uint32_t CopyInPlace = 2;
inline constexpr uint32_t BackgroundColorFill = 4;
inline constexpr uint32_t EdgeExtend = 8;
inline constexpr uint32_t DoNotTile = 16;
inline constexpr uint32_t GetTempBufferSize = 128;
inline constexpr uint32_t PrintDiagnosticsToConsole = 256;
inline constexpr uint32_t NoAllocate = 512;
}  // namespace ImageFlags

// A buffer of `width` x `height` pixels of `bitsPerPixel` (a multiple of 8),
// rows padded to 16 bytes; free `data` with std::free.
ImageError initBuffer(PixelBuffer* buffer, size_t height, size_t width, uint32_t bitsPerPixel, uint32_t flags);
// A new buffer holding `image`'s pixels in the layout of `bitmapInfo` (see
// isSupportedPixelLayout). With PrintDiagnosticsToConsole a failure is
// explained in the log.
ImageError initBufferWithImage(PixelBuffer* buffer, uint32_t bitmapInfo, const Image& image, uint32_t flags);
// An image of the buffer's pixels, laid out as `bitmapInfo`; the pixels are
// copied, so with NoAllocate the buffer's memory is freed here (the image
// took it over) and the caller must not free it again. Nil (the memory
// left to the caller) for an unsupported layout.
ns::Ref<Image> createImageFromBuffer(PixelBuffer* buffer, uint32_t bitmapInfo, uint32_t flags, ImageError* error);

// Box convolution of a `kernelHeight` x `kernelWidth` box (odd sides),
// centred; EdgeExtend repeats the edge pixels beyond the buffer (the only
// edge style here). With GetTempBufferSize nothing is filtered and the
// answer is the number of bytes `temp` must hold (positive); otherwise 0 or
// an error. `temp` may be null: the call allocates its own. Each output
// byte is the box's sum divided by its area, rounded to nearest.
ImageError boxConvolveARGB8888(const PixelBuffer& source, const PixelBuffer& destination, void* temp,
                               uint32_t kernelHeight, uint32_t kernelWidth, uint32_t flags);

// out[j] = (sum over i of in[i] x matrix[i * 4 + j]) / divisor, rounded to
// nearest and clamped to 0..255, channels i and j in memory order. Source
// and destination may be the same buffer. No biases are supported here (the
// library's pre and post biases are taken as zero).
ImageError matrixMultiplyARGB8888(const PixelBuffer& source, const PixelBuffer& destination,
                                  const int16_t matrix[16], int32_t divisor, uint32_t flags);

// Mirror images: top to bottom, and left to right. Source and destination
// may be the same buffer (reflected in place).
ImageError verticalReflectARGB8888(const PixelBuffer& source, const PixelBuffer& destination, uint32_t flags);
ImageError horizontalReflectARGB8888(const PixelBuffer& source, const PixelBuffer& destination, uint32_t flags);

}  // namespace cg
