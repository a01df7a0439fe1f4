// Box convolution by running sums: a horizontal pass keeps, for every
// pixel, the sum over its row's window; a vertical pass slides a row of
// column sums down the picture. Each pixel costs the same whatever the
// kernel, and the result is the exact box average rounded once.

#include <cstdlib>
#include <cstring>

#include "platform/graphics/ImageFilters.h"

namespace cg {

namespace {

size_t clampIndex(ptrdiff_t i, size_t size) {
    if (i < 0) return 0;
    if (size_t(i) >= size) return size - 1;
    return size_t(i);
}

// Bytes of the row sums (one 32-bit sum per byte of every pixel) and of the
// sliding column sums.
size_t temporarySize(const PixelBuffer& buffer) { return (buffer.height + 1) * buffer.width * 4 * sizeof(uint32_t); }

void horizontalSums(const PixelBuffer& source, size_t y, size_t radius, uint32_t* sums) {
    const uint8_t* row = static_cast<const uint8_t*>(source.data) + y * source.rowBytes;
    const size_t width = source.width;
    for (int c = 0; c < 4; ++c) {
        uint32_t sum = 0;
        for (ptrdiff_t dx = -ptrdiff_t(radius); dx <= ptrdiff_t(radius); ++dx) sum += row[clampIndex(dx, width) * 4 + c];
        for (size_t x = 0; x < width; ++x) {
            sums[x * 4 + c] = sum;
            sum += row[clampIndex(ptrdiff_t(x + radius + 1), width) * 4 + c];
            sum -= row[clampIndex(ptrdiff_t(x) - ptrdiff_t(radius), width) * 4 + c];
        }
    }
}

}  // namespace

ImageError boxConvolveARGB8888(const PixelBuffer& source, const PixelBuffer& destination, void* temp,
                               uint32_t kernelHeight, uint32_t kernelWidth, uint32_t flags) {
    if (!source.data || !destination.data) return ImageNullPointerArgument;
    if (source.width != destination.width || source.height != destination.height) return ImageBufferSizeMismatch;
    if (source.width == 0 || source.height == 0 || source.rowBytes < source.width * 4 ||
        destination.rowBytes < destination.width * 4) {
        return ImageInvalidParameter;
    }
    // A box's sum must fit the 32-bit sums: 255 x its area below 2^32.
    if (kernelHeight == 0 || kernelWidth == 0 || kernelHeight % 2 == 0 || kernelWidth % 2 == 0 ||
        uint64_t(kernelHeight) * kernelWidth * 255 > UINT32_MAX) {
        return ImageInvalidKernelSize;
    }
    const uint32_t known = ImageFlags::EdgeExtend | ImageFlags::GetTempBufferSize | ImageFlags::DoNotTile |
                           ImageFlags::PrintDiagnosticsToConsole;
    if (flags & ~known) return ImageUnknownFlagsBit;
    if (!(flags & ImageFlags::EdgeExtend)) return ImageInvalidEdgeStyle;
    if (flags & ImageFlags::GetTempBufferSize) return ImageError(temporarySize(source));

    void* owned = nullptr;
    if (!temp) {
        owned = std::malloc(temporarySize(source));
        if (!owned) return ImageMemoryAllocationError;
        temp = owned;
    }
    const size_t width = source.width, height = source.height;
    const size_t rx = kernelWidth / 2, ry = kernelHeight / 2;
    const size_t rowLength = width * 4;
    auto* rowSums = static_cast<uint32_t*>(temp);
    uint32_t* columns = rowSums + height * rowLength;

    for (size_t y = 0; y < height; ++y) horizontalSums(source, y, rx, rowSums + y * rowLength);

    std::memset(columns, 0, rowLength * sizeof(uint32_t));
    for (ptrdiff_t dy = -ptrdiff_t(ry); dy <= ptrdiff_t(ry); ++dy) {
        const uint32_t* sums = rowSums + clampIndex(dy, height) * rowLength;
        for (size_t i = 0; i < rowLength; ++i) columns[i] += sums[i];
    }
    const uint64_t area = uint64_t(kernelWidth) * kernelHeight;
    const uint64_t half = area / 2;
    for (size_t y = 0; y < height; ++y) {
        uint8_t* out = static_cast<uint8_t*>(destination.data) + y * destination.rowBytes;
        for (size_t i = 0; i < rowLength; ++i) out[i] = uint8_t((columns[i] + half) / area);
        const uint32_t* entering = rowSums + clampIndex(ptrdiff_t(y + ry + 1), height) * rowLength;
        const uint32_t* leaving = rowSums + clampIndex(ptrdiff_t(y) - ptrdiff_t(ry), height) * rowLength;
        for (size_t i = 0; i < rowLength; ++i) columns[i] += entering[i] - leaving[i];
    }
    std::free(owned);
    return ImageNoError;
}

}  // namespace cg
