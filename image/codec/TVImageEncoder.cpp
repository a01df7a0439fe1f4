#include "image/codec/TVImageEncoder.h"

#include <cmath>

#include "image/codec/TVImageDecoder.h"
#include "image/codec/UIImage+TVImageCoder.h"
#include "platform/foundation/Log.h"
#include "platform/graphics/ImageDestination.h"
#include "platform/graphics/ImageSource.h"
#include "platform/runtime/Exception.h"

RT_DEFINE_CLASS(TVImageEncoder, ns::Object, "TVImageEncoder")

namespace {

constexpr const char* kWebPInstallNotes = "https://developers.google.com/speed/webp/docs/api";

std::shared_ptr<cg::ImageSource> sourceOf(const ns::Ref<ns::Data>& data) {
    return cg::ImageSource::createWithData(data);
}

}  // namespace

void TVDurationToPNGDelay(double duration, uint16_t* numerator, uint16_t* denominator) {
    uint16_t num = 1, den = 100;
    if (duration >= 255) {
        num = 255;
        den = 1;
    } else if (duration <= 1.0 / 255) {
        num = 1;
        den = 255;
    } else {
        // Convergents h/k of the continued fraction of the duration.
        double x = duration;
        uint64_t h1 = 1, h2 = 0, k1 = 0, k2 = 1;
        for (int term = 0; term < 8; ++term) {
            double a = std::floor(x);
            uint64_t h = uint64_t(a) * h1 + h2, k = uint64_t(a) * k1 + k2;
            if (h > 255 || k > 255) break;
            num = uint16_t(h);
            den = uint16_t(k);
            h2 = h1;
            h1 = h;
            k2 = k1;
            k1 = k;
            double rest = x - a;
            if (rest < 0.5 / 255) break;
            x = 1 / rest;
        }
        if (den == 0 || num == 0) {
            num = 1;
            den = 100;
        }
    }
    if (numerator) *numerator = num;
    if (denominator) *denominator = den;
}

TVImageEncoder::TVImageEncoder() {
    ns::Exception::raise("TVImageEncoder init error",
                         "TVImageEncoder must be initialized with a type. Use 'initWithType:' instead.");
}

TVImageEncoder::TVImageEncoder(TVImageType type)
    : type_(type),
      lossless_(type >= TVImageTypeTIFF && type <= TVImageTypePNG),
      quality_(type == TVImageTypeJPEG || type == TVImageTypeJPEG2000 ? 0.9 : 1.0) {}

ns::Ref<TVImageEncoder> TVImageEncoder::initWithType(TVImageType type) {
    if (type == TVImageTypeWebP) {
        TV_CODER_LOG("-[TVImageEncoder initWithType:]", 2332,
                     "WebP is not available, check the documentation to see how to install WebP component: %s",
                     kWebPInstallNotes);
        return nullptr;
    }
    if (type < TVImageTypeJPEG || type > TVImageTypePNG) {
        TV_CODER_LOG("-[TVImageEncoder initWithType:]", 2326, "Unsupported image type:%d", int(type));
        return nullptr;
    }
    return std::make_shared<TVImageEncoder>(type);
}

void TVImageEncoder::setQuality(double quality) { quality_ = std::clamp(quality, 0.0, 1.0); }

void TVImageEncoder::addImage(const ns::Ref<ui::Image>& image, double duration) {
    if (!image || !image->cgImage()) return;
    images_.push_back(image);
    durations_.push_back(duration < 0 ? 0 : duration);
}

void TVImageEncoder::addImageWithData(const ns::Ref<ns::Data>& data, double duration) {
    if (!data || data->length() == 0) return;
    images_.push_back(data);
    durations_.push_back(duration < 0 ? 0 : duration);
}

void TVImageEncoder::addImageWithFile(const std::string& path, double duration) {
    if (path.empty()) return;
    auto url = ns::URL::make(path);
    if (!url) return;
    images_.push_back(url);
    durations_.push_back(duration < 0 ? 0 : duration);
}

bool TVImageEncoder::imageIOAvailable() const {
    if (type_ >= TVImageTypeJPEG && type_ <= TVImageTypeGIF) return !images_.empty();
    return type_ == TVImageTypePNG && images_.size() == 1;
}

ns::Ref<ns::Data> TVImageEncoder::encode() {
    if (images_.empty()) return nullptr;
    if (imageIOAvailable()) return encodeWithImageIO();
    if (type_ == TVImageTypePNG) return encodeAPNG();
    return nullptr;  // WebP coding is absent; nothing else gets here
}

bool TVImageEncoder::encodeToFile(const std::string& path) {
    if (images_.empty() || path.empty()) return false;
    if (imageIOAvailable()) return encodeWithImageIO(path);
    auto data = encode();
    return data && data->writeToFile(path, true);
}

ns::Ref<ns::Data> TVImageEncoder::encodeImage(const ns::Ref<ui::Image>& image, TVImageType type, double quality) {
    auto encoder = initWithType(type);
    if (!encoder) return nullptr;
    encoder->setQuality(quality);
    encoder->addImage(image, 0);
    return encoder->encode();
}

ns::Ref<ns::Data> TVImageEncoder::encodeImageWithDecoder(const ns::Ref<TVImageDecoder>& decoder, TVImageType type,
                                                         double quality) {
    if (!decoder || decoder->frameCount() == 0) return nullptr;
    auto encoder = initWithType(type);
    if (!encoder) return nullptr;
    encoder->setQuality(quality);
    for (uint64_t i = 0; i < decoder->frameCount(); ++i) {
        auto frame = decoder->frameAtIndex(i, true);
        if (!frame || !frame->image) continue;
        encoder->addImageWithData(ui::ImagePNGRepresentation(frame->image.get()), decoder->frameDurationAtIndex(i));
    }
    return encoder->encode();
}

// ---- Through the platform's image destination ----

std::shared_ptr<cg::ImageDestination> TVImageEncoder::newImageDestination(const std::string& path,
                                                                          size_t count) const {
    const char* uti = TVImageTypeToUTType(type_);
    if (!uti) return nullptr;
    auto destination = path.empty() ? cg::ImageDestination::createWithData(uti, count)
                                    : cg::ImageDestination::createWithURL(path, uti, count);
    if (destination && type_ == TVImageTypeGIF) destination->setProperties({unsigned(loopCount_)});
    return destination;
}

bool TVImageEncoder::encodeImageWithDestination(cg::ImageDestination& destination, size_t count) const {
    for (size_t i = 0; i < count; ++i) {
        cg::DestinationImageProperties properties;
        if (images_.size() == 1 || type_ != TVImageTypeGIF) {
            properties.lossyCompressionQuality = quality_;
        } else {
            properties.gifDelayTime = durations_[i];
        }
        const ns::Id& entry = images_[i];
        if (auto image = ns::cast<ui::Image>(entry)) {
            ns::Ref<cg::Image> pixels = image->cgImage();
            if (image->imageOrientation() != ui::ImageOrientation::Up) {
                if (auto upright = TVCreateOrientedCGImage(pixels, image->imageOrientation(), pixels->bitmapInfo())) {
                    pixels = upright;
                }
            }
            destination.addImage(pixels, properties);
        } else if (auto data = ns::cast<ns::Data>(entry)) {
            if (auto source = sourceOf(data)) destination.addImageFromSource(*source, 0, properties);
        } else if (auto url = ns::cast<ns::URL>(entry)) {
            auto file = ns::Data::withContentsOfFile(url->absoluteString()->utf8());
            if (auto source = sourceOf(file)) destination.addImageFromSource(*source, 0, properties);
        }
    }
    return destination.finalize();
}

ns::Ref<ns::Data> TVImageEncoder::encodeWithImageIO() const {
    size_t count = type_ == TVImageTypeGIF ? images_.size() : 1;
    auto destination = newImageDestination({}, count);
    if (!destination || !encodeImageWithDestination(*destination, count)) return nullptr;
    if (destination->data().empty()) return nullptr;
    return ns::MutableData::make(destination->data());
}

bool TVImageEncoder::encodeWithImageIO(const std::string& path) const {
    size_t count = type_ == TVImageTypeGIF ? images_.size() : 1;
    auto destination = newImageDestination(path, count);
    return destination && encodeImageWithDestination(*destination, count);
}

ns::Ref<cg::Image> TVImageEncoder::newCGImageFromIndex(size_t index, bool decoded) const {
    if (index >= images_.size()) return nullptr;
    const ns::Id& entry = images_[index];
    ns::Ref<ui::Image> image = ns::cast<ui::Image>(entry);
    if (auto url = ns::cast<ns::URL>(entry)) {
        image = ui::Image::imageWithContentsOfFile(url->absoluteString()->utf8());
    } else if (auto data = ns::cast<ns::Data>(entry)) {
        image = ui::Image::imageWithData(data);
    }
    if (!image || !image->cgImage()) return nullptr;
    if (image->imageOrientation() == ui::ImageOrientation::Up) {
        if (!decoded) return image->cgImage();
        return TVCreateDecodedCGImage(image->cgImage(), true);
    }
    return TVCreateOrientedCGImage(image->cgImage(), image->imageOrientation(),
                                   cg::BitmapInfo::PremultipliedFirst32Little);
}
