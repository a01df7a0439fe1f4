#include "platform/graphics/Image.h"

#include <algorithm>
#include <cstdio>

#include "platform/graphics/PixelBuffer.h"

namespace cg {

RT_DEFINE_CLASS(Image, ns::Object, "CGImageRef")

Image::Image(Bitmap bitmap)
    : bitmap_(std::move(bitmap)),
      bitmapInfo_(bitmap_.hasAlpha() ? BitmapInfo::PremultipliedFirst32Little : BitmapInfo::NoneSkipFirst32Little) {}

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

std::string Image::description() const {
    char buf[96];
    std::snprintf(buf, sizeof buf, "<CGImageRef: %p> (%d x %d, %s)", static_cast<const void*>(this), width(), height(),
                  hasAlpha() ? "premultiplied ARGB" : "RGB");
    return buf;
}

}  // namespace cg
