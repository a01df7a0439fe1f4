#pragma once
// Pictures and comparisons shared by the still-image format tests.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

#include "platform/graphics/Bitmap.h"

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
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            cg::Pixel p = a.pixel(x, y), q = b.pixel(x, y);
            worst = std::max({worst, std::abs(p.alpha - q.alpha), std::abs(p.red - q.red),
                              std::abs(p.green - q.green), std::abs(p.blue - q.blue)});
        }
    return worst;
}

// A JPEG written with the library directly: progressive or not, with an
// EXIF block giving `orientation` (none for 0).
inline std::vector<uint8_t> jpeg(const cg::Bitmap& bitmap, bool progressive, int orientation = 0) {
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(bitmap.width());
    info.image_height = JDIMENSION(bitmap.height());
    info.input_components = 4;
    info.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    if (progressive) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    if (orientation) {
        // "Exif\0\0", big-endian TIFF header, one directory entry.
        std::vector<uint8_t> exif = {'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1,
                      0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, uint8_t(orientation), 0, 0, 0, 0, 0, 0};
        jpeg_write_marker(&info, JPEG_APP0 + 1, exif.data(), unsigned(exif.size()));
    }
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(const_cast<uint32_t*>(bitmap.row(int(info.next_scanline))));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<uint8_t> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

}  // namespace stilltest
