#include "platform/uikit/Image.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <set>
#include <span>

#include "platform/foundation/Log.h"
#include "platform/graphics/ImageDestination.h"
#include "platform/graphics/ImageSource.h"
#include "platform/uikit/Screen.h"

namespace ui {

RT_DEFINE_CLASS(Image, ns::Object, "UIImage")

namespace {

// 2 or 3 for a file stem ending in "@2x" / "@3x", else 1.
double scaleOfPath(const std::string& path) {
    std::string stem = std::filesystem::path(path).stem().string();
    if (stem.size() > 3 && stem[stem.size() - 3] == '@' && stem.back() == 'x') {
        char digit = stem[stem.size() - 2];
        if (digit == '2') return 2;
        if (digit == '3') return 3;
    }
    return 1;
}

ns::Ref<ns::Data> encode(const Image* image, const char* type, std::optional<double> quality) {
    if (!image || !image->cgImage()) return nullptr;
    auto destination = cg::ImageDestination::createWithData(type, 1);
    destination->addImage(image->cgImage(), {quality, std::nullopt});
    if (!destination->finalize()) return nullptr;
    return ns::Data::make(destination->data());
}

}  // namespace

ImageOrientation imageOrientationFromExif(int exif) {
    switch (exif) {
    case 2: return ImageOrientation::UpMirrored;
    case 3: return ImageOrientation::Down;
    case 4: return ImageOrientation::DownMirrored;
    case 5: return ImageOrientation::LeftMirrored;
    case 6: return ImageOrientation::Right;
    case 7: return ImageOrientation::RightMirrored;
    case 8: return ImageOrientation::Left;
    default: return ImageOrientation::Up;
    }
}

Image::Image(ns::Ref<cg::Image> cgImage, double scale, ImageOrientation orientation)
    : cgImage_(std::move(cgImage)), scale_(scale > 0 ? scale : 1), orientation_(orientation) {}

ns::Ref<Image> Image::imageWithCGImage(ns::Ref<cg::Image> cgImage, double scale, ImageOrientation orientation) {
    if (!cgImage) return nullptr;
    return std::make_shared<Image>(std::move(cgImage), scale, orientation);
}

ns::Ref<Image> Image::imageWithContentsOfFile(const std::string& path) {
    auto image = decode(ns::Data::withContentsOfFile(path), scaleOfPath(path), false);
    if (image) image->path_ = path;
    return image;
}

ns::Ref<Image> Image::imageWithData(const ns::Ref<ns::Data>& data, double scale) { return decode(data, scale, true); }

ns::Ref<Image> Image::decode(const ns::Ref<ns::Data>& data, double scale, bool charged) {
    if (!data) return nullptr;
    auto source = cg::ImageSource::createWithData(data);
    if (!source || source->count() == 0) return nullptr;
    source->setCharged(charged);
    const size_t count = source->count();
    std::vector<ns::Ref<Image>> frames;
    double duration = 0;
    size_t index = 0;
    cg::PictureRefusals refusals;
    for (; index < count; ++index) {
        auto properties = source->copyPropertiesAtIndex(index);
        if (!properties) continue;
        // Each picture is charged before it is decoded, broken or not, so
        // a small file that repeats one large picture costs no more than
        // the budget.
        if (!source->chargeAtIndex(index)) break;
        ImageOrientation orientation = imageOrientationFromExif(properties->orientation.value_or(1));
        auto frame = imageWithCGImage(source->createImageAtIndex(index), scale, orientation);
        // Past the account of decoded pixels: neither this nor the rest.
        if (refusals.count() > 0) break;
        if (!frame) continue;  // a broken picture is left out
        frames.push_back(frame);
        auto gif = source->propertiesAtIndex(index);
        duration += gif && gif->delayTime ? *gif->delayTime : 0.1;
    }
    if (index < count && count > 1) {
        ns::log("Image: kept %zu of the %zu pictures of a %s file: the rest are past its budget or the account of "
                "pictures decoded from data",
                frames.size(), count, source->type().c_str());
    }
    if (frames.empty()) return nullptr;
    if (frames.size() == 1) return frames.front();
    return animatedImageWithImages(std::move(frames), duration);
}

ns::Ref<Image> Image::animatedImageWithImages(std::vector<ns::Ref<Image>> images, double duration) {
    if (images.empty() || !images.front()) return nullptr;
    const Image& first = *images.front();
    auto image = std::make_shared<Image>(first.cgImage_, first.scale_, first.orientation_);
    image->images_ = std::move(images);
    image->duration_ = duration;
    return image;
}

ns::Ref<ns::Data> ImagePNGRepresentation(const Image* image) { return encode(image, cg::ImageTypePNG, std::nullopt); }

ns::Ref<ns::Data> ImageJPEGRepresentation(const Image* image, double quality) {
    return encode(image, cg::ImageTypeJPEG, quality);
}

namespace {

// A picture asked for by name that is not there leaves its views empty:
// said once for each, however often it is asked for.
void reportMissingPicture(const std::string& path) {
    static std::mutex lock;
    static std::set<std::string> reported;
    std::lock_guard<std::mutex> hold(lock);
    if (reported.insert(path).second) ns::log("Image: %s is missing (nor at 2x or 3x): its views stay empty", path);
}

}  // namespace

ns::Ref<Image> Image::imageNamed(std::string_view name, const std::string& directory) {
    std::string base(name);
    if (base.size() > 4 && base.compare(base.size() - 4, 4, ".png") == 0) base.resize(base.size() - 4);
    if (base.empty()) return nullptr;
    int screenScale = static_cast<int>(Screen::mainScreen()->scale());
    std::vector<std::string> candidates;
    if (screenScale > 1) candidates.push_back(base + "@" + std::to_string(screenScale) + "x.png");
    for (int s = 3; s >= 2; --s) {
        if (s != screenScale) candidates.push_back(base + "@" + std::to_string(s) + "x.png");
    }
    candidates.push_back(base + ".png");
    bool found = false;
    for (const auto& file : candidates) {
        std::filesystem::path full = std::filesystem::path(directory) / file;
        std::error_code ec;
        if (!std::filesystem::is_regular_file(full, ec)) continue;
        found = true;
        if (auto image = imageWithContentsOfFile(full.string())) return image;
    }
    if (!found) reportMissingPicture((std::filesystem::path(directory) / (base + ".png")).string());
    return nullptr;
}

ns::Ref<Image> Image::imageNamed(std::string_view name, const ns::Ref<ns::Bundle>& bundle) {
    if (!bundle) return nullptr;
    return imageNamed(name, bundle->bundlePath()->utf8());
}

ns::Ref<Image> Image::imageNamed(std::string_view name) { return imageNamed(name, ns::Bundle::mainBundle()); }

cg::Size Image::size() const {
    if (!cgImage_) return {};
    cg::Size size{cgImage_->width() / scale_, cgImage_->height() / scale_};
    switch (orientation_) {
    case ImageOrientation::Left:
    case ImageOrientation::Right:
    case ImageOrientation::LeftMirrored:
    case ImageOrientation::RightMirrored: return {size.height, size.width};
    default: return size;
    }
}

ns::Ref<Image> Image::clone() const {
    auto image = std::make_shared<Image>(cgImage_, scale_, orientation_);
    image->images_ = images_;
    image->duration_ = duration_;
    image->path_ = path_;
    image->renderingMode_ = renderingMode_;
    image->capInsets_ = capInsets_;
    image->resizingMode_ = resizingMode_;
    return image;
}

ns::Ref<Image> Image::imageWithRenderingMode(ImageRenderingMode mode) const {
    if (mode == renderingMode_) return std::static_pointer_cast<Image>(self());
    auto image = clone();
    image->renderingMode_ = mode;
    return image;
}

ns::Ref<Image> Image::resizableImageWithCapInsets(const cg::EdgeInsets& insets, ImageResizingMode mode) const {
    auto image = clone();
    image->capInsets_ = insets;
    image->resizingMode_ = mode;
    return image;
}

std::string Image::description() const {
    char buf[160];
    cg::Size s = size();
    std::snprintf(buf, sizeof buf, "<UIImage: %p> size {%g, %g} scale %g", static_cast<const void*>(this), s.width,
                  s.height, scale_);
    return buf;
}

}  // namespace ui
