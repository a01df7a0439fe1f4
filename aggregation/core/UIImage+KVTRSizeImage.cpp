#include "aggregation/core/UIImage+KVTRSizeImage.h"

#include "platform/uikit/Screen.h"

namespace {

// A fixed factor, not the screen's: the pictures are all 3x artwork.
constexpr double PixelsPerPoint = 3.0;

}  // namespace

ns::Ref<ui::Image> interceptionWithRect(const ns::Ref<ui::Image>& image, const cg::Rect& rect) {
    if (!image || !image->cgImage()) return nullptr;
    cg::Rect pixels{rect.origin.x * PixelsPerPoint, rect.origin.y * PixelsPerPoint, rect.size.width * PixelsPerPoint,
                    rect.size.height * PixelsPerPoint};
    auto cut = image->cgImage()->createWithImageInRect(pixels);
    if (!cut) return nullptr;
    return ui::Image::imageWithCGImage(cut, ui::Screen::mainScreen()->scale(), ui::ImageOrientation::Up);
}
