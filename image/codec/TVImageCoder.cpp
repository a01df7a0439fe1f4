#include "image/codec/TVImageCoder.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>

#include "platform/dispatch/Once.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/ImageDestination.h"
#include "platform/graphics/ImageSource.h"

namespace {

bool hasAlphaChannel(uint32_t bitmapInfo) {
    uint32_t alpha = bitmapInfo & cg::BitmapInfo::AlphaInfoMask;
    return alpha >= 1 && alpha <= 4;
}

bool startsWith(const uint8_t* bytes, std::initializer_list<uint8_t> prefix) {
    return std::memcmp(bytes, std::data(prefix), prefix.size()) == 0;
}

}  // namespace

cg::ColorSpace* TVSharedDeviceRGBColorSpace() {
    static dispatch::Once once;
    static ns::Ref<cg::ColorSpace> space;
    dispatch::once(once, [] { space = cg::ColorSpace::createDeviceRGB(); });
    return space.get();
}

TVImageType TVImageTypeFromData(const ns::Data* data) {
    if (!data || data->length() < 16) return TVImageTypeUnknown;
    const uint8_t* b = data->bytes();
    if (startsWith(b, {0x49, 0x49, 0x2A, 0x00}) || startsWith(b, {0x4D, 0x4D, 0x00, 0x2A})) return TVImageTypeTIFF;
    if (startsWith(b, {0x00, 0x00, 0x01, 0x00}) || startsWith(b, {0x00, 0x00, 0x02, 0x00})) return TVImageTypeICO;
    if (startsWith(b, {'G', 'I', 'F', '8'})) return TVImageTypeGIF;
    if (startsWith(b, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A})) return TVImageTypePNG;
    if (startsWith(b, {'i', 'c', 'n', 's'})) return TVImageTypeICNS;
    if (startsWith(b, {'R', 'I', 'F', 'F'}) && std::memcmp(b + 8, "WEBP", 4) == 0) return TVImageTypeWebP;
    for (const char* two : {"BM", "BA", "CI", "CP", "IC", "PI"}) {
        if (b[0] == uint8_t(two[0]) && b[1] == uint8_t(two[1])) return TVImageTypeBMP;
    }
    if (startsWith(b, {0xFF, 0x4F})) return TVImageTypeJPEG2000;
    if (startsWith(b, {0xFF, 0xD8, 0xFF})) return TVImageTypeJPEG;
    if (std::memcmp(b + 4, "\x6A\x50\x20\x20\x0D", 5) == 0) return TVImageTypeJPEG2000;
    return TVImageTypeUnknown;
}

const char* TVImageTypeToUTType(TVImageType type) {
    switch (type) {
    case TVImageTypeJPEG: return cg::ImageTypeJPEG;
    case TVImageTypeJPEG2000: return cg::ImageTypeJPEG2000;
    case TVImageTypeTIFF: return cg::ImageTypeTIFF;
    case TVImageTypeBMP: return cg::ImageTypeBMP;
    case TVImageTypeICO: return cg::ImageTypeICO;
    case TVImageTypeICNS: return cg::ImageTypeICNS;
    case TVImageTypeGIF: return cg::ImageTypeGIF;
    case TVImageTypePNG: return cg::ImageTypePNG;
    default: return nullptr;
    }
}

ns::Ref<cg::Image> TVCreateDecodedCGImage(const ns::Ref<cg::Image>& image, bool decodeForDisplay) {
    if (!image || image->width() == 0 || image->height() == 0) return nullptr;
    const int w = image->width(), h = image->height();
    if (decodeForDisplay) {
        uint32_t format = hasAlphaChannel(image->bitmapInfo()) ? cg::BitmapInfo::PremultipliedFirst32Little
                                                               : cg::BitmapInfo::NoneSkipFirst32Little;
        // Already as a copy would hold it (a GIF frame, a copy of its
        // screen): a copy would only cost its time and, for a while, its
        // memory.
        if (image->bitmapInfo() == format) return image;
        auto context = cg::BitmapContext::createWithPixels(w, h, format);
        if (!context) return nullptr;
        context->drawImageBottomUp(*image, {0, 0, double(w), double(h)});
        // The context's own pixels: a copy would hold the picture a third
        // time while the source and the surface are alive.
        return context->takeImage();
    }
    if (image->bytesPerRow() == 0) return nullptr;
    std::vector<uint8_t> bytes = image->copyData();
    if (bytes.empty()) return nullptr;
    return cg::Image::createWithPixels(w, h, image->bytesPerRow(), image->bitmapInfo(), bytes.data(), bytes.size());
}

bool TVImageDecodeToARGB8888Buffer(const ns::Ref<cg::Image>& image, TVPixelBuffer* buffer, uint32_t bitmapInfo) {
    if (!image || !buffer || image->width() == 0 || image->height() == 0) return false;
    if (!cg::isSupportedPixelLayout(bitmapInfo)) return false;
    // The any-to-any converter always exists here, so the drawing fallback
    // the platform needs without it is not wanted.
    const size_t w = size_t(image->width()), h = size_t(image->height()), rowBytes = w * 4;
    void* block = std::malloc(rowBytes * h);
    if (!block) return false;
    TVPixelBuffer filled{block, h, w, rowBytes};
    if (!cg::convertToPixels(image->bitmap(), bitmapInfo, filled)) {
        std::free(block);
        *buffer = {};
        return false;
    }
    *buffer = filled;
    return true;
}

void TVFreePixelBuffer(void* pointer) {
    if (pointer) std::free(pointer);
}

ns::Ref<cg::Image> TVCreateTransformedCGImage(const ns::Ref<cg::Image>& image, const cg::AffineTransform& transform,
                                              double width, double height, uint32_t bitmapInfo) {
    const double dw = std::round(width), dh = std::round(height);
    if (!image || image->width() == 0 || image->height() == 0) return nullptr;
    if (!(dw >= 1 && dh >= 1) || dw > INT32_MAX || dh > INT32_MAX) return nullptr;
    // Straight alpha first, default byte order: what the warp carries.
    constexpr uint32_t kWarpFormat = uint32_t(cg::ImageAlphaInfo::First);
    TVPixelBuffer source;
    if (!TVImageDecodeToARGB8888Buffer(image, &source, kWarpFormat)) return nullptr;
    // Rows aligned to 32 bytes.
    TVPixelBuffer destination{nullptr, size_t(dh), size_t(dw), (size_t(dw) * 4 + 31) / 32 * 32};
    destination.data = std::calloc(destination.rowBytes * destination.height, 1);
    bool warped = destination.data && cg::affineWarpARGB8888(source, destination, transform);
    TVFreePixelBuffer(source.data);
    ns::Ref<cg::Image> warpedImage;
    if (warped) {
        warpedImage = cg::Image::createWithPixels(int(dw), int(dh), destination.rowBytes, kWarpFormat,
                                                  static_cast<uint8_t*>(destination.data),
                                                  destination.rowBytes * destination.height);
    }
    TVFreePixelBuffer(destination.data);
    if (!warpedImage) return nullptr;
    uint32_t order = bitmapInfo & cg::BitmapInfo::ByteOrderMask;
    if ((bitmapInfo & cg::BitmapInfo::AlphaInfoMask) == kWarpFormat && order != cg::BitmapInfo::ByteOrder32Little) {
        return warpedImage;
    }
    TVPixelBuffer result;
    if (!TVImageDecodeToARGB8888Buffer(warpedImage, &result, bitmapInfo)) return nullptr;
    auto resultImage = cg::Image::createWithPixels(int(result.width), int(result.height), result.rowBytes, bitmapInfo,
                                                   static_cast<uint8_t*>(result.data), result.rowBytes * result.height);
    TVFreePixelBuffer(result.data);
    return resultImage;
}

ns::Ref<cg::Image> TVCreateOrientedCGImage(const ns::Ref<cg::Image>& image, ui::ImageOrientation orientation,
                                           uint32_t bitmapInfo) {
    if (!image) return nullptr;
    const double w = image->width(), h = image->height();
    const double pi = std::numbers::pi;
    cg::AffineTransform t = cg::AffineTransform::identity();
    bool swap = false;
    switch (orientation) {
    case ui::ImageOrientation::Down:
        t = t.rotated(pi).translated(-w, -h);
        break;
    case ui::ImageOrientation::Left:
        t = t.rotated(pi / 2).translated(0, -h);
        swap = true;
        break;
    case ui::ImageOrientation::Right:
        t = t.rotated(-pi / 2).translated(-w, 0);
        swap = true;
        break;
    case ui::ImageOrientation::UpMirrored:
        t = t.translated(w, 0).scaled(-1, 1);
        break;
    case ui::ImageOrientation::DownMirrored:
        t = t.translated(0, h).scaled(1, -1);
        break;
    case ui::ImageOrientation::LeftMirrored:
        t = t.rotated(-pi / 2).scaled(1, -1).translated(-w, -h);
        swap = true;
        break;
    case ui::ImageOrientation::RightMirrored:
        t = t.rotated(pi / 2).scaled(1, -1);
        swap = true;
        break;
    default:
        return image;  // up, or no orientation at all
    }
    if (t.isIdentity()) return image;
    return TVCreateTransformedCGImage(image, t, swap ? h : w, swap ? w : h, bitmapInfo);
}

ns::Ref<ns::MutableData> TVCreateEncodedImageData(const ns::Ref<cg::Image>& image, TVImageType type, double quality) {
    const char* uti = TVImageTypeToUTType(type);
    if (!image || type == TVImageTypeWebP || !uti) return nullptr;
    auto destination = cg::ImageDestination::createWithData(uti, 1);
    if (!destination) return nullptr;
    destination->addImage(image, {std::clamp(quality, 0.0, 1.0), std::nullopt});
    if (!destination->finalize() || destination->data().empty()) return nullptr;
    return ns::MutableData::make(destination->data());
}

bool TVWebPDecoderPresent() { return false; }
