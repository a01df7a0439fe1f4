#include "platform/graphics/ImageFilters.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace cg {

namespace {

uint8_t* rowOf(const PixelBuffer& buffer, size_t y) { return static_cast<uint8_t*>(buffer.data) + y * buffer.rowBytes; }

ImageError checkPair(const PixelBuffer& source, const PixelBuffer& destination) {
    if (!source.data || !destination.data) return ImageNullPointerArgument;
    if (source.width != destination.width || source.height != destination.height) return ImageBufferSizeMismatch;
    if (source.rowBytes < source.width * 4 || destination.rowBytes < destination.width * 4) {
        return ImageInvalidParameter;
    }
    return ImageNoError;
}

}  // namespace

ImageError initBuffer(PixelBuffer* buffer, size_t height, size_t width, uint32_t bitsPerPixel, uint32_t flags) {
    if (!buffer) return ImageNullPointerArgument;
    if (height == 0 || width == 0 || bitsPerPixel == 0 || bitsPerPixel % 8 != 0) return ImageInvalidParameter;
    if (flags & ~(ImageFlags::PrintDiagnosticsToConsole | ImageFlags::NoAllocate)) return ImageUnknownFlagsBit;
    size_t bytesPerPixel = bitsPerPixel / 8;
    if (width > (SIZE_MAX / 2) / bytesPerPixel) return ImageInvalidParameter;
    size_t rowBytes = (width * bytesPerPixel + 15) & ~size_t(15);
    if (height > (SIZE_MAX / 2) / rowBytes) return ImageInvalidParameter;
    buffer->height = height;
    buffer->width = width;
    buffer->rowBytes = rowBytes;
    if (flags & ImageFlags::NoAllocate) {
        buffer->data = nullptr;
        return ImageNoError;
    }
    buffer->data = std::malloc(rowBytes * height);
    return buffer->data ? ImageNoError : ImageMemoryAllocationError;
}

ImageError initBufferWithImage(PixelBuffer* buffer, uint32_t bitmapInfo, const Image& image, uint32_t flags) {
    bool diagnose = flags & ImageFlags::PrintDiagnosticsToConsole;
    if (!buffer) return ImageNullPointerArgument;
    if (!isSupportedPixelLayout(bitmapInfo)) {
        if (diagnose) std::fprintf(stderr, "initBufferWithImage: unsupported bitmap info 0x%x\n", unsigned(bitmapInfo));
        return ImageInvalidImageFormat;
    }
    ImageError error = initBuffer(buffer, size_t(image.height()), size_t(image.width()), 32, flags);
    if (error != ImageNoError) {
        if (diagnose) {
            std::fprintf(stderr, "initBufferWithImage: no %d x %d buffer\n", image.width(), image.height());
        }
        return error;
    }
    if (!convertToPixels(image.bitmap(), bitmapInfo, *buffer)) {
        std::free(buffer->data);
        buffer->data = nullptr;
        return ImageInvalidImageFormat;
    }
    return ImageNoError;
}

ns::Ref<Image> createImageFromBuffer(PixelBuffer* buffer, uint32_t bitmapInfo, uint32_t flags, ImageError* error) {
    auto fail = [&](ImageError code) -> ns::Ref<Image> {
        if (error) *error = code;
        return nullptr;
    };
    if (!buffer || !buffer->data) return fail(ImageNullPointerArgument);
    if (!isSupportedPixelLayout(bitmapInfo)) return fail(ImageInvalidImageFormat);
    auto image = Image::createWithPixels(int(buffer->width), int(buffer->height), buffer->rowBytes, bitmapInfo,
                                         static_cast<const uint8_t*>(buffer->data), buffer->rowBytes * buffer->height);
    if (!image) return fail(ImageInvalidParameter);
    if (flags & ImageFlags::NoAllocate) {
        std::free(buffer->data);
        buffer->data = nullptr;
    }
    if (error) *error = ImageNoError;
    return image;
}

ImageError matrixMultiplyARGB8888(const PixelBuffer& source, const PixelBuffer& destination,
                                  const int16_t matrix[16], int32_t divisor, uint32_t flags) {
    if (ImageError error = checkPair(source, destination)) return error;
    if (!matrix) return ImageNullPointerArgument;
    if (divisor <= 0) return ImageInvalidParameter;
    if (flags & ~(ImageFlags::DoNotTile | ImageFlags::PrintDiagnosticsToConsole)) return ImageUnknownFlagsBit;
    const int32_t half = divisor / 2;
    for (size_t y = 0; y < source.height; ++y) {
        const uint8_t* in = rowOf(source, y);
        uint8_t* out = rowOf(destination, y);
        for (size_t x = 0; x < source.width; ++x, in += 4, out += 4) {
            int32_t pixel[4] = {in[0], in[1], in[2], in[3]};
            for (int j = 0; j < 4; ++j) {
                int32_t sum = pixel[0] * matrix[j] + pixel[1] * matrix[4 + j] + pixel[2] * matrix[8 + j] +
                              pixel[3] * matrix[12 + j];
                int32_t value = sum >= 0 ? (sum + half) / divisor : -((-sum + half) / divisor);
                out[j] = uint8_t(value < 0 ? 0 : value > 255 ? 255 : value);
            }
        }
    }
    return ImageNoError;
}

ImageError verticalReflectARGB8888(const PixelBuffer& source, const PixelBuffer& destination, uint32_t flags) {
    if (ImageError error = checkPair(source, destination)) return error;
    if (flags & ~(ImageFlags::BackgroundColorFill | ImageFlags::EdgeExtend | ImageFlags::DoNotTile |
                  ImageFlags::PrintDiagnosticsToConsole)) {
        return ImageUnknownFlagsBit;
    }
    size_t rowLength = source.width * 4;
    std::vector<uint8_t> spare(rowLength);
    for (size_t top = 0, bottom = source.height; top < bottom--; ++top) {
        // Both rows are read before either is written, so in place works.
        std::memcpy(spare.data(), rowOf(source, top), rowLength);
        std::memmove(rowOf(destination, top), rowOf(source, bottom), rowLength);
        std::memcpy(rowOf(destination, bottom), spare.data(), rowLength);
    }
    return ImageNoError;
}

ImageError horizontalReflectARGB8888(const PixelBuffer& source, const PixelBuffer& destination, uint32_t flags) {
    if (ImageError error = checkPair(source, destination)) return error;
    if (flags & ~(ImageFlags::BackgroundColorFill | ImageFlags::EdgeExtend | ImageFlags::DoNotTile |
                  ImageFlags::PrintDiagnosticsToConsole)) {
        return ImageUnknownFlagsBit;
    }
    for (size_t y = 0; y < source.height; ++y) {
        uint8_t* in = rowOf(source, y);
        uint8_t* out = rowOf(destination, y);
        for (size_t left = 0, right = source.width; left < right--; ++left) {
            uint8_t a[4], b[4];
            std::memcpy(a, in + left * 4, 4);
            std::memcpy(b, in + right * 4, 4);
            std::memcpy(out + left * 4, b, 4);
            std::memcpy(out + right * 4, a, 4);
        }
    }
    return ImageNoError;
}

}  // namespace cg
