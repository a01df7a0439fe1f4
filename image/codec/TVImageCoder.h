#pragma once
// The image coder's plain functions: image types and their detection, the
// shared device RGB space, decoded copies for display, the 32-bit pixel
// buffer decode, transformed and oriented copies, type identifiers and the
// one-image encoder. Every function returning an image or data returns a
// new reference; none keeps state but the colour space.

#include <cstdint>

#include "platform/foundation/Data.h"
#include "platform/graphics/AffineTransform.h"
#include "platform/graphics/ColorSpace.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/PixelBuffer.h"
#include "platform/uikit/Image.h"

enum TVImageType : uint64_t {
    TVImageTypeUnknown = 0,
    TVImageTypeJPEG = 1,
    TVImageTypeJPEG2000 = 2,
    TVImageTypeTIFF = 3,
    TVImageTypeBMP = 4,
    TVImageTypeICO = 5,
    TVImageTypeICNS = 6,
    TVImageTypeGIF = 7,
    TVImageTypePNG = 8,
    TVImageTypeWebP = 9,
};

// The vImage buffer record the 32-bit decode fills.
using TVPixelBuffer = cg::PixelBuffer;

// Created on first use and never released.
cg::ColorSpace* TVSharedDeviceRGBColorSpace();

TVImageType TVImageTypeFromData(const ns::Data* data);
// The type's uniform type identifier; null for Unknown, WebP and others.
const char* TVImageTypeToUTType(TVImageType type);

ns::Ref<cg::Image> TVCreateDecodedCGImage(const ns::Ref<cg::Image>& image, bool decodeForDisplay);
// Fills `buffer` with a block allocated here (free with TVFreePixelBuffer
// or std::free) in the layout of `bitmapInfo`.
bool TVImageDecodeToARGB8888Buffer(const ns::Ref<cg::Image>& image, TVPixelBuffer* buffer, uint32_t bitmapInfo);
void TVFreePixelBuffer(void* pointer);
// `transform` maps the image into a `width` x `height` destination, y up.
ns::Ref<cg::Image> TVCreateTransformedCGImage(const ns::Ref<cg::Image>& image, const cg::AffineTransform& transform,
                                              double width, double height, uint32_t bitmapInfo);
ns::Ref<cg::Image> TVCreateOrientedCGImage(const ns::Ref<cg::Image>& image, ui::ImageOrientation orientation,
                                           uint32_t bitmapInfo);
ns::Ref<ns::MutableData> TVCreateEncodedImageData(const ns::Ref<cg::Image>& image, TVImageType type, double quality);
// WebP coding is absent.
bool TVWebPDecoderPresent();

// The coder's log lines: "[<method>: <line>] " and the message.
#define TV_CODER_LOG(method, line, fmt, ...) ns::log("[%s: %d] " fmt, method, line __VA_OPT__(, ) __VA_ARGS__)
