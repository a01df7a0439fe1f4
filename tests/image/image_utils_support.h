#pragma once
// Pictures for the image utility tests, and reading their pixels back.

#include <gtest/gtest.h>

#include "platform/testing/GifFiles.h"
#include "platform/uikit/Image.h"

// `width` x `height` pixels of one premultiplied colour.
inline ns::Ref<cg::Image> solidPixels(int width, int height, cg::Pixel pixel) {
    cg::Bitmap bitmap(width, height, cg::PixelFormat::ARGB32Premultiplied);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) bitmap.setPixel(x, y, pixel);
    return cg::Image::make(std::move(bitmap));
}

// The same with one corner block of `mark` pixels at the top left.
inline ns::Ref<cg::Image> markedPixels(int width, int height, int block, cg::Pixel mark,
                                       cg::Pixel rest = {255, 255, 0, 0}) {
    cg::Bitmap bitmap(width, height, cg::PixelFormat::ARGB32Premultiplied);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) bitmap.setPixel(x, y, x < block && y < block ? mark : rest);
    return cg::Image::make(std::move(bitmap));
}

inline cg::Pixel pixelOf(const ns::Ref<ui::Image>& image, int x, int y) {
    return image->cgImage()->bitmap().pixel(x, y);
}

// A GIF of solid 2 x 2 frames with these delays (hundredths of a second).
inline ns::Ref<ns::Data> gifWithDelays(const std::vector<int>& delays) {
    return ns::Data::make(testing::solidGif(delays, 2, 2, 0));
}
