#include "platform/graphics/Image.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/graphics/PixelBuffer.h"

namespace cg {

RT_DEFINE_CLASS(Image, ns::Object, "CGImageRef")

Image::Image(Bitmap bitmap, PictureCharge charge)
    : bitmap_(std::move(bitmap)),
      bitmapInfo_(bitmap_.hasAlpha() ? BitmapInfo::PremultipliedFirst32Little : BitmapInfo::NoneSkipFirst32Little),
      charge_(std::move(charge)) {}

ns::Ref<Image> Image::createWithPixels(int width, int height, size_t bytesPerRow, uint32_t bitmapInfo,
                                       const uint8_t* bytes, size_t length) {
    if (width <= 0 || height <= 0 || !bytes || bytesPerRow < size_t(width) * 4) return nullptr;
    if (length < bytesPerRow * size_t(height - 1) + size_t(width) * 4) return nullptr;
    auto bitmap = bitmapFromPixels(PixelBuffer{const_cast<uint8_t*>(bytes), size_t(height), size_t(width), bytesPerRow},
                                   bitmapInfo);
    if (!bitmap) return nullptr;
    return std::make_shared<Image>(std::move(*bitmap), bitmapInfo);
}

ns::Ref<ColorSpace> Image::colorSpace() const {
    static const ns::Ref<ColorSpace> deviceRGB = ColorSpace::createDeviceRGB();
    return deviceRGB;
}

std::vector<uint8_t> Image::copyData() const {
    std::vector<uint8_t> bytes(bytesPerRow() * size_t(height()));
    PixelBuffer buffer{bytes.data(), size_t(height()), size_t(width()), bytesPerRow()};
    if (!convertToPixels(bitmap_, bitmapInfo_, buffer)) return {};
    return bytes;
}

ns::Ref<Image> Image::createWithImageInRect(int x, int y, int w, int h) const {
    int left = std::max(x, 0), top = std::max(y, 0);
    int right = std::min<int64_t>(int64_t(x) + w, width()), bottom = std::min<int64_t>(int64_t(y) + h, height());
    if (right <= left || bottom <= top) return nullptr;
    Bitmap part(right - left, bottom - top, bitmap_.format());
    for (int row = top; row < bottom; ++row) {
        std::copy(bitmap_.row(row) + left, bitmap_.row(row) + right, part.row(row - top));
    }
    return std::make_shared<Image>(std::move(part), bitmapInfo_);
}

ns::Ref<Image> Image::createWithImageInRect(const Rect& rect) const {
    Rect r = rect.standardized();
    double left = std::floor(r.origin.x), top = std::floor(r.origin.y);
    double right = std::ceil(r.origin.x + r.size.width), bottom = std::ceil(r.origin.y + r.size.height);
    if (!std::isfinite(left) || !std::isfinite(top) || !std::isfinite(right) || !std::isfinite(bottom)) return nullptr;
    // Clipped before narrowing, so huge rects stay in range.
    left = std::max(left, 0.0);
    top = std::max(top, 0.0);
    right = std::min(right, double(width()));
    bottom = std::min(bottom, double(height()));
    if (right <= left || bottom <= top) return nullptr;
    return createWithImageInRect(int(left), int(top), int(right - left), int(bottom - top));
}

std::string Image::description() const {
    char buf[96];
    std::snprintf(buf, sizeof buf, "<CGImageRef: %p> (%d x %d, %s)", static_cast<const void*>(this), width(), height(),
                  hasAlpha() ? "premultiplied ARGB" : "RGB");
    return buf;
}

}  // namespace cg
