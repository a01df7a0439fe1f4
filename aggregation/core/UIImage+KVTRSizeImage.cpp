#include "aggregation/core/UIImage+KVTRSizeImage.h"

#include <cmath>

#include "platform/uikit/Screen.h"

namespace {

// A fixed factor, not the screen's: the pictures are all 3x artwork.
constexpr double PixelsPerPoint = 3.0;

}  // namespace

ns::Ref<ui::Image> interceptionWithRect(const ns::Ref<ui::Image>& image, const cg::Rect& rect) {
    if (!image || !image->cgImage()) return nullptr;
    cg::Rect pixels = rect.standardized();
    double left = std::floor(pixels.origin.x * PixelsPerPoint);
    double top = std::floor(pixels.origin.y * PixelsPerPoint);
    double right = std::ceil((pixels.origin.x + pixels.size.width) * PixelsPerPoint);
    double bottom = std::ceil((pixels.origin.y + pixels.size.height) * PixelsPerPoint);
    if (!std::isfinite(left) || !std::isfinite(top) || !std::isfinite(right) || !std::isfinite(bottom)) return nullptr;
    // Clamped to the picture before narrowing, so huge rectangles stay in range.
    const cg::Image& source = *image->cgImage();
    left = std::max(left, 0.0);
    top = std::max(top, 0.0);
    right = std::min(right, double(source.width()));
    bottom = std::min(bottom, double(source.height()));
    if (right <= left || bottom <= top) return nullptr;
    auto cut = source.createWithImageInRect(int(left), int(top), int(right - left), int(bottom - top));
    if (!cut) return nullptr;
    return ui::Image::imageWithCGImage(cut, ui::Screen::mainScreen()->scale(), ui::ImageOrientation::Up);
}
