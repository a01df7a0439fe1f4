#include "platform/uikit/Image.h"

#include <cstdio>
#include <filesystem>
#include <span>

#include "platform/graphics/Png.h"
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

}  // namespace

Image::Image(ns::Ref<cg::Image> cgImage, double scale)
    : cgImage_(std::move(cgImage)), scale_(scale > 0 ? scale : 1) {}

ns::Ref<Image> Image::imageWithCGImage(ns::Ref<cg::Image> cgImage, double scale) {
    if (!cgImage) return nullptr;
    return std::make_shared<Image>(std::move(cgImage), scale);
}

ns::Ref<Image> Image::imageWithContentsOfFile(const std::string& path) {
    auto bitmap = cg::readPngFile(path);
    if (!bitmap) return nullptr;
    auto image = std::make_shared<Image>(cg::Image::make(std::move(*bitmap)), scaleOfPath(path));
    image->path_ = path;
    return image;
}

ns::Ref<Image> Image::imageWithData(const ns::Ref<ns::Data>& data, double scale) {
    if (!data) return nullptr;
    auto bitmap = cg::decodePng(std::span<const uint8_t>(data->bytes(), data->length()));
    if (!bitmap) return nullptr;
    return std::make_shared<Image>(cg::Image::make(std::move(*bitmap)), scale);
}

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
    for (const auto& file : candidates) {
        std::filesystem::path full = std::filesystem::path(directory) / file;
        std::error_code ec;
        if (!std::filesystem::is_regular_file(full, ec)) continue;
        if (auto image = imageWithContentsOfFile(full.string())) return image;
    }
    return nullptr;
}

ns::Ref<Image> Image::imageNamed(std::string_view name, const ns::Ref<ns::Bundle>& bundle) {
    if (!bundle) return nullptr;
    return imageNamed(name, bundle->bundlePath()->utf8());
}

ns::Ref<Image> Image::imageNamed(std::string_view name) { return imageNamed(name, ns::Bundle::mainBundle()); }

cg::Size Image::size() const {
    if (!cgImage_) return {};
    return {cgImage_->width() / scale_, cgImage_->height() / scale_};
}

ns::Ref<Image> Image::clone() const {
    auto image = std::make_shared<Image>(cgImage_, scale_);
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
