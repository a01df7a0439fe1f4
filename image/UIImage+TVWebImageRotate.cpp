// Rotation into a new bitmap, and flips by reflecting the pixels in place.

#include <cmath>
#include <cstdlib>
#include <numbers>

#include "image/UIImage+TVWebImage.h"
#include "platform/graphics/ImageFilters.h"

namespace {

// Premultiplied ARGB words: the layout rotations and flips work in.
constexpr uint32_t RotationLayout = cg::BitmapInfo::PremultipliedFirst32Little;

ns::Ref<ui::Image> flipped(const ui::Image& image, bool horizontal, bool vertical) {
    if (!image.cgImage()) return nullptr;
    cg::PixelBuffer buffer;
    if (cg::initBufferWithImage(&buffer, RotationLayout, *image.cgImage(), cg::ImageFlags::NoFlags) !=
        cg::ImageNoError) {
        return nullptr;
    }
    if (vertical) cg::verticalReflectARGB8888(buffer, buffer, cg::ImageFlags::BackgroundColorFill);
    if (horizontal) cg::horizontalReflectARGB8888(buffer, buffer, cg::ImageFlags::BackgroundColorFill);
    auto pixels = cg::createImageFromBuffer(&buffer, RotationLayout, cg::ImageFlags::NoAllocate, nullptr);
    std::free(buffer.data);  // null once the image took it over
    return ui::Image::imageWithCGImage(pixels, image.scale(), image.imageOrientation());
}

}  // namespace

ns::Ref<ui::Image> TV_imageByRotate(const ui::Image& image, double radians, bool fitSize) {
    if (!image.cgImage()) return nullptr;
    const double w = image.cgImage()->width(), h = image.cgImage()->height();
    double newWidth = w, newHeight = h;
    if (fitSize) {
        double c = std::fabs(std::cos(radians)), s = std::fabs(std::sin(radians));
        newWidth = w * c + h * s;
        newHeight = w * s + h * c;
    }
    // Cut to whole pixels; the slack keeps a right angle's 50.0000000001
    // and 49.9999999999 alike at 50.
    int width = int(std::floor(newWidth + 1e-6)), height = int(std::floor(newHeight + 1e-6));
    auto bitmap = cg::BitmapContext::createWithPixels(width, height, RotationLayout);
    if (!bitmap) return nullptr;
    bitmap->setShouldAntialias(true);
    bitmap->setInterpolationQuality(cg::InterpolationQuality::High);
    // A y-up space: a positive angle turns the picture counter-clockwise.
    bitmap->translateCTM(width / 2.0, height / 2.0);
    bitmap->rotateCTM(radians);
    bitmap->drawImageBottomUp(*image.cgImage(), {-w / 2, -h / 2, w, h});
    return ui::Image::imageWithCGImage(bitmap->makeImage(), image.scale(), image.imageOrientation());
}

ns::Ref<ui::Image> TV_imageByRotateLeft90(const ui::Image& image) {
    return TV_imageByRotate(image, std::numbers::pi / 2, true);
}

ns::Ref<ui::Image> TV_imageByRotateRight90(const ui::Image& image) {
    return TV_imageByRotate(image, -std::numbers::pi / 2, true);
}

ns::Ref<ui::Image> TV_imageByRotate180(const ui::Image& image) { return flipped(image, true, true); }
ns::Ref<ui::Image> TV_imageByFlipVertical(const ui::Image& image) { return flipped(image, false, true); }
ns::Ref<ui::Image> TV_imageByFlipHorizontal(const ui::Image& image) { return flipped(image, true, false); }
