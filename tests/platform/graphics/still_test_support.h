#pragma once
// Pictures and comparisons shared by the still-image format tests.

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/graphics/Bitmap.h"
#include "platform/testing/JpegFiles.h"

namespace stilltest {

// A picture whose every pixel differs: red by column, green by row, alpha
// (when asked) from 56 to 255.
inline cg::Bitmap gradient(int w, int h, bool alpha) {
    cg::Bitmap bitmap(w, h, alpha ? cg::PixelFormat::ARGB32Premultiplied : cg::PixelFormat::RGB24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t a = alpha ? uint8_t(255 - (x * 7 + y) % 200) : 255;
            cg::Pixel p = cg::premultiplied(a, uint8_t(x * 255 / w), uint8_t(y * 255 / h), 90);
            bitmap.setPixel(x, y, alpha ? p : cg::Pixel{0, p.red, p.green, p.blue});
        }
    return bitmap;
}

// The largest difference of any component, alpha included, between two
// bitmaps of the same size.
inline int maxDifference(const cg::Bitmap& a, const cg::Bitmap& b) {
    if (a == b) return 0;
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            cg::Pixel p = a.pixel(x, y), q = b.pixel(x, y);
            worst = std::max({worst, std::abs(p.alpha - q.alpha), std::abs(p.red - q.red),
                              std::abs(p.green - q.green), std::abs(p.blue - q.blue)});
        }
    return worst;
}

// A JPEG of the bitmap written by the library: progressive or not, with an
// EXIF block giving `orientation` (none for 0).
inline std::vector<uint8_t> jpeg(const cg::Bitmap& bitmap, bool progressive, int orientation = 0) {
    testing::JpegPicture picture;
    picture.width = bitmap.width();
    picture.height = bitmap.height();
    picture.progressive = progressive;
    picture.quality = 95;
    picture.orientation = orientation;
    picture.row = [&bitmap](int y, uint8_t* row) { std::memcpy(row, bitmap.row(y), size_t(bitmap.width()) * 4); };
    return testing::jpegFile(picture);
}

}  // namespace stilltest
