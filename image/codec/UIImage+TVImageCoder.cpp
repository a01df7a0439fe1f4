#include "image/codec/UIImage+TVImageCoder.h"

#include "image/codec/TVImage.h"
#include "image/codec/TVImageCoder.h"
#include "image/codec/TVSpriteSheetImage.h"
#include "platform/dispatch/Queue.h"
#include "platform/uikit/AssetsLibrary.h"

namespace {

// The key of the stored flag (the getter's own address).
const void* decodedKey() { return reinterpret_cast<const void*>(&TV_isDecodedForDisplay); }

}  // namespace

bool TV_isDecodedForDisplay(const ui::Image* image) {
    if (!image) return false;
    if (image->images().size() >= 2) return true;
    // A sprite sheet's frames are the sheet itself, drawn as it is.
    if (dynamic_cast<const TVSpriteSheetImage*>(image)) return true;
    std::any stored = image->associated(decodedKey());
    return stored.has_value() && std::any_cast<bool>(stored);
}

void setTV_isDecodedForDisplay(ui::Image* image, bool decoded) {
    if (image) image->setAssociated(decodedKey(), decoded);
}

namespace {

ns::Ref<ns::Data> dataRepresentationForSystem(const ns::Ref<ui::Image>& image, bool forSystem) {
    if (!image) return nullptr;
    // An animated image is stored as its own data; the album takes only the
    // animated types it can show.
    if (auto animated = dynamic_cast<const TVImage*>(image.get())) {
        if (auto data = animated->animatedImageData()) {
            TVImageType type = animated->animatedImageType();
            if (!forSystem || type == TVImageTypeGIF || type == TVImageTypePNG) return data;
        }
    }
    ns::Ref<ns::Data> data;
    if (ns::Ref<cg::Image> pixels = image->cgImage()) {
        if (image->imageOrientation() != ui::ImageOrientation::Up) {
            pixels = TVCreateOrientedCGImage(pixels, image->imageOrientation(), pixels->bitmapInfo());
        }
        if (pixels) {
            uint32_t alpha = pixels->bitmapInfo() & cg::BitmapInfo::AlphaInfoMask;
            bool hasAlpha = alpha >= 1 && alpha <= 4;
            data = TVCreateEncodedImageData(pixels, hasAlpha ? TVImageTypePNG : TVImageTypeJPEG, 0.9);
        }
    }
    if (!data) data = ui::ImagePNGRepresentation(image.get());
    return data;
}

}  // namespace

ns::Ref<ui::Image> TV_imageByDecoded(const ns::Ref<ui::Image>& image) {
    if (!image || TV_isDecodedForDisplay(image.get())) return image;
    auto decoded = TVCreateDecodedCGImage(image->cgImage(), true);
    if (!decoded) return image;
    auto copy = ui::Image::imageWithCGImage(decoded, image->scale(), image->imageOrientation());
    if (!copy) {
        setTV_isDecodedForDisplay(image.get(), true);
        return image;
    }
    setTV_isDecodedForDisplay(copy.get(), true);
    return copy;
}

ns::Ref<ns::Data> TV_imageDataRepresentation(const ns::Ref<ui::Image>& image) {
    return dataRepresentationForSystem(image, false);
}

void TV_saveToAlbumWithCompletionBlock(const ns::Ref<ui::Image>& image, TVSaveToAlbumBlock completion) {
    dispatch::async(dispatch::globalQueue(dispatch::QueuePriority::Default), [image, completion] {
        auto data = dataRepresentationForSystem(image, true);
        auto library = std::make_shared<ui::AssetsLibrary>();
        // The library answers on the main queue already.
        library->writeImageDataToSavedPhotosAlbum(
            data, nullptr, [library, completion](const ns::Ref<ns::URL>& url, const ns::Ref<ns::Error>& error) {
                if (completion) completion(url, error);
            });
    });
}
