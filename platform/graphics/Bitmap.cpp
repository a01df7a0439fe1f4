#include "platform/graphics/Bitmap.h"

#include <string>

#include "platform/runtime/Exception.h"

namespace cg {

Bitmap::Bitmap(int width, int height, PixelFormat format) : width_(width), height_(height), format_(format) {
    if (width < 0 || height < 0)
        ns::Exception::raise(ns::InvalidArgumentException,
                             "bitmap size " + std::to_string(width) + "x" + std::to_string(height) + " is negative");
    words_.assign(size_t(width) * size_t(height), 0);
}

void Bitmap::checkBounds(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        ns::Exception::raise(ns::RangeException, "pixel (" + std::to_string(x) + ", " + std::to_string(y) +
                                                     ") outside a " + std::to_string(width_) + "x" +
                                                     std::to_string(height_) + " bitmap");
}

Pixel Bitmap::pixel(int x, int y) const {
    checkBounds(x, y);
    uint32_t w = row(y)[x];
    uint8_t a = format_ == PixelFormat::RGB24 ? 255 : uint8_t(w >> 24);
    return {a, uint8_t(w >> 16), uint8_t(w >> 8), uint8_t(w)};
}

void Bitmap::setPixel(int x, int y, Pixel p) {
    checkBounds(x, y);
    uint8_t a = format_ == PixelFormat::RGB24 ? 0 : p.alpha;
    row(y)[x] = uint32_t(a) << 24 | uint32_t(p.red) << 16 | uint32_t(p.green) << 8 | p.blue;
}

Color Bitmap::colorAt(int x, int y) const {
    Pixel p = pixel(x, y);
    if (p.alpha == 0) return Color::clear();
    double a = p.alpha / 255.0;
    return {p.red / 255.0 / a, p.green / 255.0 / a, p.blue / 255.0 / a, a};
}

Pixel premultiplied(uint8_t alpha, uint8_t red, uint8_t green, uint8_t blue) {
    auto mul = [alpha](uint8_t c) { return uint8_t((unsigned(c) * alpha + 127) / 255); };
    return {alpha, mul(red), mul(green), mul(blue)};
}

}  // namespace cg
