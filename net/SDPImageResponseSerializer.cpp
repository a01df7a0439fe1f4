#include "net/SDPImageResponseSerializer.h"

#include <mutex>

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Number.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/ImageSource.h"
#include "platform/uikit/Screen.h"

RT_DEFINE_CLASS(SDPImageResponseSerializer, SDPHTTPResponseSerializer, "SDPImageResponseSerializer")

namespace {

// Larger images (and deeper components) are handed back as decoded.
constexpr int64_t kMaximumInflatedPixels = 1024 * 1024;

// The image of a PNG or JPEG body straight from its format's decoder: nil
// for another type, data of another format, a picture too large to inflate
// or a CMYK JPEG.
ns::Ref<cg::Image> bitmapForMIMEType(const std::string& mimeType, const ns::Ref<ns::Data>& data) {
    const char* format = mimeType == "image/png" ? cg::ImageTypePNG : mimeType == "image/jpeg" ? cg::ImageTypeJPEG : nullptr;
    if (!format) return nullptr;
    auto source = cg::ImageSource::createWithData(data);
    if (!source || source->type() != format) return nullptr;
    // A picture too large to inflate is handed back as the plain image
    // decodes it: decoding it here as well would do that work twice.
    auto properties = source->copyPropertiesAtIndex(0);
    if (!properties || int64_t(properties->pixelWidth.value_or(0)) * properties->pixelHeight.value_or(0) >
                           kMaximumInflatedPixels) {
        return nullptr;
    }
    auto bitmap = source->createImageAtIndex(0);
    if (bitmap && bitmap->colorSpace()->model() == cg::ColorSpaceModel::CMYK) return nullptr;
    return bitmap;
}

}  // namespace

ns::Ref<ui::Image> SDP_safeImageWithData(const ns::Ref<ns::Data>& data) {
    static std::mutex lock;
    std::lock_guard guard(lock);
    return ui::Image::imageWithData(data);
}

SDPImageResponseSerializer::SDPImageResponseSerializer() : imageScale_(ui::Screen::mainScreen()->scale()) {
    setAcceptableContentTypes(ns::Set::make(
        {ns::str("image/tiff"), ns::str("image/jpeg"), ns::str("image/gif"), ns::str("image/png"),
         ns::str("image/ico"), ns::str("image/x-icon"), ns::str("image/bmp"), ns::str("image/x-bmp"),
         ns::str("image/x-xbitmap"), ns::str("image/x-win-bitmap")}));
}

ns::Id SDPImageResponseSerializer::responseObjectForResponse(const ns::Ref<ns::URLResponse>& response,
                                                             const ns::Ref<ns::Data>& data, ns::Ref<ns::Error>* error) {
    if (shouldStopAfterValidating(response, data, error)) return nullptr;
    if (automaticallyInflatesResponseImage_) return inflatedImage(response, data);
    return plainImage(data);
}

ns::Ref<ui::Image> SDPImageResponseSerializer::plainImage(const ns::Ref<ns::Data>& data) const {
    auto image = SDP_safeImageWithData(data);
    if (!image || !image->images().empty()) return image;
    return ui::Image::imageWithCGImage(image->cgImage(), imageScale_, image->imageOrientation());
}

ns::Ref<ui::Image> SDPImageResponseSerializer::inflatedImage(const ns::Ref<ns::URLResponse>& response,
                                                             const ns::Ref<ns::Data>& data) const {
    if (!data || data->length() == 0) return nullptr;
    std::string mimeType = response && response->MIMEType() ? response->MIMEType()->utf8() : std::string();
    ns::Ref<cg::Image> bitmap = bitmapForMIMEType(mimeType, data);
    ns::Ref<ui::Image> image = plainImage(data);
    if (!bitmap) {
        if (!image || !image->images().empty()) return image;
        bitmap = image->cgImage();
        if (!bitmap) return nullptr;
    }
    if (int64_t(bitmap->width()) * bitmap->height() > kMaximumInflatedPixels || bitmap->bitsPerComponent() > 8) {
        return image;
    }
    uint32_t info = bitmap->bitmapInfo();
    uint32_t alpha = info & cg::BitmapInfo::AlphaInfoMask;
    if (alpha == uint32_t(cg::ImageAlphaInfo::None)) {
        alpha = uint32_t(cg::ImageAlphaInfo::NoneSkipFirst);
    } else if (alpha != uint32_t(cg::ImageAlphaInfo::NoneSkipLast) && alpha != uint32_t(cg::ImageAlphaInfo::NoneSkipFirst)) {
        alpha = uint32_t(cg::ImageAlphaInfo::PremultipliedFirst);
    }
    auto context = cg::BitmapContext::createWithPixels(bitmap->width(), bitmap->height(),
                                                       (info & ~cg::BitmapInfo::AlphaInfoMask) | alpha);
    if (!context) return image;
    context->drawImageBottomUp(*bitmap, {0, 0, double(bitmap->width()), double(bitmap->height())});
    auto orientation = image ? image->imageOrientation() : ui::ImageOrientation::Up;
    // The context's own pixels: the copy keeps the decoded picture's charge.
    return ui::Image::imageWithCGImage(context->takeImage(), imageScale_, orientation);
}

void SDPImageResponseSerializer::encodeWithCoder(ns::KeyedArchiver& coder) const {
    SDPHTTPResponseSerializer::encodeWithCoder(coder);
    coder.encodeObject(ns::Number::withDouble(imageScale_), "imageScale");
    coder.encodeBool(automaticallyInflatesResponseImage_, "automaticallyInflatesResponseImage");
}

bool SDPImageResponseSerializer::initWithCoder(ns::KeyedUnarchiver& coder) {
    if (!SDPHTTPResponseSerializer::initWithCoder(coder)) return false;
    if (auto scale = coder.decodeObjectOfClass<ns::Number>("imageScale")) imageScale_ = scale->doubleValue();
    if (coder.containsValueForKey("automaticallyInflatesResponseImage")) {
        automaticallyInflatesResponseImage_ = coder.decodeBoolForKey("automaticallyInflatesResponseImage");
    }
    return true;
}

ns::Id SDPImageResponseSerializer::copy() const {
    auto serializer = ns::cast<SDPImageResponseSerializer>(classObject()->create());
    if (!serializer) serializer = std::make_shared<SDPImageResponseSerializer>();
    serializer->imageScale_ = imageScale_;
    serializer->automaticallyInflatesResponseImage_ = automaticallyInflatesResponseImage_;
    return serializer;
}
