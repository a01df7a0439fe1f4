#include "platform/graphics/ImageSource.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/foundation/Data.h"

namespace cg {

namespace {

bool startsWith(std::span<const uint8_t> data, std::string_view signature) {
    return data.size() >= signature.size() && std::memcmp(data.data(), signature.data(), signature.size()) == 0;
}

std::string typeOf(std::span<const uint8_t> data) {
    if (startsWith(data, "GIF87a") || startsWith(data, "GIF89a")) return ImageTypeGIF;
    if (startsWith(data, "\x89PNG\r\n\x1a\n")) return ImageTypePNG;
    if (startsWith(data, "\xff\xd8\xff")) return ImageTypeJPEG;
    if (startsWith(data, "BM")) return ImageTypeBMP;
    if (startsWith(data, "II*\0") || startsWith(data, "MM\0*")) return ImageTypeTIFF;
    if (startsWith(data, std::string_view("\0\0\1\0", 4)) || startsWith(data, std::string_view("\0\0\2\0", 4))) {
        return ImageTypeICO;
    }
    if (startsWith(data, "icns")) return ImageTypeICNS;
    if (startsWith(data, "\xff\x4f\xff\x51") ||
        (data.size() >= 12 && std::memcmp(data.data() + 4, "jP  \r\n\x87\n", 8) == 0)) {
        return ImageTypeJPEG2000;
    }
    return {};
}

// The pictures a still file holds so far. The formats read only whole
// show nothing before the data is final.
std::vector<still::Header> stillPictures(const std::string& type, std::span<const uint8_t> data, bool final) {
    std::optional<still::Header> header;
    if (type == ImageTypePNG) header = still::pngHeader(data);
    if (type == ImageTypeJPEG) header = still::jpegHeader(data);
    if (type == ImageTypeBMP) header = still::bmpHeader(data);
    if (header) return {*header};
    if (!final) return {};
    if (type == ImageTypeTIFF) return still::tiffPictures(data);
    if (type == ImageTypeJPEG2000) return still::jpeg2000Pictures(data);
    if (type == ImageTypeICO) return still::icoPictures(data);
    if (type == ImageTypeICNS) return still::icnsPictures(data);
    return {};
}

std::optional<still::Decoded> decodeStill(const std::string& type, std::span<const uint8_t> data, bool final,
                                          const still::Header& picture) {
    if (type == ImageTypePNG) return still::decodePng(data, final);
    if (type == ImageTypeJPEG) return still::decodeJpeg(data, final);
    if (type == ImageTypeBMP) return still::decodeBmp(data, final);
    if (type == ImageTypeTIFF) return still::decodeTiff(data, picture);
    if (type == ImageTypeJPEG2000) return still::decodeJpeg2000(data);
    if (type == ImageTypeICO) return still::decodeIco(data, picture);
    if (type == ImageTypeICNS) return still::decodeIcns(data, picture);
    return std::nullopt;
}

}  // namespace

std::string GifProperties::description() const {
    std::string inner;
    char buf[64];
    auto add = [&](const char* key, double value, const char* format) {
        std::snprintf(buf, sizeof buf, format, value);
        inner += std::string(key) + " = " + buf + "; ";
    };
    if (delayTime) add("DelayTime", *delayTime, "%g");
    if (loopCount) add("LoopCount", double(*loopCount), "%.0f");
    if (unclampedDelayTime) add("UnclampedDelayTime", *unclampedDelayTime, "%g");
    return "{GIF = {" + inner + "}}";
}

std::string ImageProperties::description() const {
    std::string text = "{";
    auto add = [&](const char* key, std::string value) { text += std::string(key) + " = " + value + "; "; };
    if (hasAlpha) add("HasAlpha", *hasAlpha ? "1" : "0");
    if (orientation) add("Orientation", std::to_string(*orientation));
    if (pixelHeight) add("PixelHeight", std::to_string(*pixelHeight));
    if (pixelWidth) add("PixelWidth", std::to_string(*pixelWidth));
    if (gif.loopCount || gif.delayTime) add("{GIF}", gif.description().substr(7, gif.description().size() - 8));
    if (isProgressive) add("{JFIF}", std::string("{IsProgressive = ") + (*isProgressive ? "1" : "0") + ";}");
    if (interlaceType) add("{PNG}", "{InterlaceType = " + std::to_string(*interlaceType) + ";}");
    return text + "}";
}

std::shared_ptr<ImageSource> ImageSource::createWithData(std::span<const uint8_t> data, bool shouldCache) {
    if (data.empty()) return nullptr;
    return std::make_shared<ImageSource>(data, shouldCache);
}

std::shared_ptr<ImageSource> ImageSource::createWithData(const ns::Ref<ns::Data>& data, bool shouldCache) {
    if (!data || data->length() == 0) return nullptr;
    auto source = std::make_shared<ImageSource>(shouldCache);
    source->updateData(data, true);
    return source;
}

std::shared_ptr<ImageSource> ImageSource::createIncremental(bool shouldCache) {
    return std::make_shared<ImageSource>(shouldCache);
}

ImageSource::ImageSource(std::span<const uint8_t> data, bool shouldCache)
    : shouldCache_(shouldCache), budget_(std::make_shared<DecodeBudget>()) {
    updateData(data, true);
}

ImageSource::ImageSource(bool shouldCache) : shouldCache_(shouldCache), budget_(std::make_shared<DecodeBudget>()) {}

void ImageSource::updateData(std::span<const uint8_t> data, bool final) {
    {
        std::lock_guard lock(mutex_);
        if (final_) return;
    }
    auto copy = std::make_shared<const std::vector<uint8_t>>(data.begin(), data.end());
    takeData(copy, *copy, final);
}

void ImageSource::updateData(const ns::Ref<ns::Data>& data, bool final) {
    if (!data) return updateData(std::span<const uint8_t>(), final);
    // Data does not change; a MutableData may, and its copy does not.
    auto unchanging = ns::cast<ns::Data>(data->copy());
    takeData(unchanging, std::span<const uint8_t>(unchanging->bytes(), unchanging->length()), final);
}

void ImageSource::takeData(std::shared_ptr<const void> owner, std::span<const uint8_t> data, bool final) {
    std::lock_guard lock(mutex_);
    if (final_) return;
    player_.reset();
    owner_ = std::move(owner);
    data_ = data;
    final_ = final;
    type_ = typeOf(data_);
    budget_->setFile(type_);
    cached_.reset();
    file_.reset();
    pictures_.clear();
    CodecWorkScope counting(counters_.work);
    if (type_ == ImageTypeGIF) {
        file_ = gif::read(data_);
    } else {
        pictures_ = stillPictures(type_, data_, final_);
    }
}

std::string ImageSource::type() const {
    std::lock_guard lock(mutex_);
    return type_;
}

size_t ImageSource::count() const {
    std::lock_guard lock(mutex_);
    if (file_) return file_->frames.size();
    return pictures_.size();
}

GifProperties ImageSource::properties() const {
    std::lock_guard lock(mutex_);
    GifProperties properties;
    if (file_) properties.loopCount = file_->loopCount;
    return properties;
}

ImageProperties ImageSource::copyProperties() const {
    std::lock_guard lock(mutex_);
    ImageProperties properties;
    properties.gif = this->properties();
    return properties;
}

std::optional<ImageProperties> ImageSource::copyPropertiesAtIndex(size_t index) const {
    std::lock_guard lock(mutex_);
    if (index >= count()) return std::nullopt;
    ImageProperties properties;
    if (file_) {
        properties.pixelWidth = file_->width;
        properties.pixelHeight = file_->height;
        properties.hasAlpha = true;
        properties.gif = *propertiesAtIndex(index);
        return properties;
    }
    const still::Header& picture = pictures_[index];
    properties.pixelWidth = picture.width;
    properties.pixelHeight = picture.height;
    properties.hasAlpha = picture.hasAlpha;
    if (type_ == ImageTypeJPEG || type_ == ImageTypeTIFF) properties.orientation = picture.orientation;
    if (type_ == ImageTypeJPEG) properties.isProgressive = picture.progressive;
    if (type_ == ImageTypePNG) properties.interlaceType = picture.interlace;
    return properties;
}

std::optional<GifProperties> ImageSource::propertiesAtIndex(size_t index) const {
    std::lock_guard lock(mutex_);
    if (!file_ || index >= count()) return std::nullopt;
    GifProperties properties;
    if (auto delay = file_->frames[index].delayCentiseconds()) {
        double seconds = *delay / 100.0;
        properties.unclampedDelayTime = seconds;
        properties.delayTime = seconds < 0.011 ? 0.1 : seconds;
    }
    return properties;
}

ns::Ref<Image> ImageSource::createStillImage(size_t index, PictureCharge charge) {
    std::optional<still::Decoded> decoded = decodeStill(type_, data_, final_, pictures_[index]);
    if (!decoded) return nullptr;
    // As the platform's decoders describe them: RGBA with straight alpha,
    // or RGB with a skipped last byte, in the default byte order.
    uint32_t info = uint32_t(decoded->bitmap.hasAlpha() ? ImageAlphaInfo::Last : ImageAlphaInfo::NoneSkipLast);
    return std::make_shared<Image>(std::move(decoded->bitmap), info, std::move(charge));
}

ns::Ref<Image> ImageSource::createGifImage(size_t index, PictureCharge charge) {
    if (!player_) {
        // Raw: the player is the source's and goes before it.
        player_ = gif::Player::make(data_, *file_, index, [this](size_t at) { return chargePicture(at); });
        if (!player_) return nullptr;
    }
    const Bitmap* canvas = player_->compose(index);
    if (!canvas) return nullptr;
    return Image::make(*canvas, std::move(charge));
}

std::optional<PictureCharge> ImageSource::chargePicture(size_t index) {
    if (!charged_) return PictureCharge();
    // A GIF frame, like the screens it is composed on, is the whole screen.
    const int width = file_ ? file_->width : pictures_[index].width;
    const int height = file_ ? file_->height : pictures_[index].height;
    return chargePictureFromData(type_, index, width, height);
}

uint64_t ImageSource::pixelsAtIndex(size_t index) const {
    // A GIF frame is composed on the whole screen, from the indices it
    // decodes: a frame far larger than a small screen costs its rows.
    if (file_) {
        uint64_t screen = uint64_t(file_->width) * uint64_t(file_->height);
        return std::max(screen, gif::indicesToCompose(file_->frames[index], file_->width, file_->height));
    }
    const still::Header& picture = pictures_[index];
    return uint64_t(std::max(picture.width, 0)) * uint64_t(std::max(picture.height, 0));
}

bool ImageSource::isBrokenAtIndex(size_t index) const {
    std::lock_guard lock(mutex_);
    return file_ && index < file_->frames.size() && !file_->frames[index].complete;
}

bool ImageSource::chargeAtIndex(size_t index) {
    std::lock_guard lock(mutex_);
    if (index >= count()) return false;
    return budget_->charge(index, pixelsAtIndex(index));
}

std::shared_ptr<DecodeBudget> ImageSource::budget() const { return budget_; }

void ImageSource::setCharged(bool charged) {
    std::lock_guard lock(mutex_);
    charged_ = charged;
}

void ImageSource::setPlays(bool plays) {
    std::lock_guard lock(mutex_);
    plays_ = plays;
}

ImageSource::Counters ImageSource::counters() const {
    std::lock_guard lock(mutex_);
    return counters_;
}

ns::Ref<Image> ImageSource::createImageAtIndex(size_t index) {
    std::lock_guard lock(mutex_);
    if (index >= count()) return nullptr;
    if (file_) {
        if (!file_->frames[index].complete) return nullptr;
        int64_t canvasPixels = int64_t(file_->width) * file_->height;
        if (canvasPixels <= 0 || canvasPixels > gif::MaximumPixels) return nullptr;
    }
    if (cached_ && cachedIndex_ == index) return cached_;
    if (!budget_->charge(index, pixelsAtIndex(index)) && !plays_) return nullptr;
    // Let the picture before go first, so that two are never held here
    // (nor charged).
    cached_.reset();
    std::optional<PictureCharge> charge = chargePicture(index);
    if (!charge) return nullptr;
    ++counters_.picturesAttempted;
    CodecWorkScope counting(counters_.work);
    ns::Ref<Image> image = file_ ? createGifImage(index, std::move(*charge)) : createStillImage(index, std::move(*charge));
    if (image && shouldCache_) {
        cached_ = image;
        cachedIndex_ = index;
    }
    return image;
}

std::string ImageSource::description() const {
    char buf[96];
    std::lock_guard lock(mutex_);
    std::snprintf(buf, sizeof buf, "<CGImageSource %p [%s] %zu images>", static_cast<const void*>(this),
                  type_.empty() ? "unknown" : type_.c_str(), count());
    return buf;
}

}  // namespace cg
