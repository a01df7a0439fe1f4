#pragma once
// Pictures made on the spot for the animated image tests: GIFs of solid
// frames with given delays, and PNGs of a solid colour.

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/testing/GifFiles.h"
#include "platform/graphics/Png.h"

// Each frame a solid colour of a four-entry table; delays in hundredths.
inline ns::Ref<ns::Data> solidGif(const std::vector<int>& delays, int width = 4, int height = 4,
                                  std::optional<unsigned> loopCount = 0) {
    auto bytes = testing::solidGif(delays, width, height, loopCount);
    EXPECT_FALSE(bytes.empty());
    return ns::Data::make(std::move(bytes));
}

inline std::vector<uint8_t> solidPngBytes(int width, int height, cg::Pixel pixel = {255, 10, 20, 30}) {
    cg::Bitmap bitmap(width, height, cg::PixelFormat::ARGB32Premultiplied);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) bitmap.setPixel(x, y, pixel);
    return cg::encodePng(bitmap);
}

inline ns::Ref<ns::Data> solidPng(int width, int height, cg::Pixel pixel = {255, 10, 20, 30}) {
    return ns::Data::make(solidPngBytes(width, height, pixel));
}
