#pragma once
// Files whose work grows with what they declare rather than with their
// bytes, for the tests: the icon files of platform/testing, and a
// progressive JPEG whose last scan repeats.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Png.h"
#include "platform/testing/IconFiles.h"
#include "platform/testing/JpegFiles.h"
#include "tests/platform/graphics/still_test_support.h"

namespace stilltest {

using Bytes = std::vector<uint8_t>;

using testing::IconKind;
using testing::icnsOfCopies;
using testing::icoSharingOneEntry;
using testing::monochromeIconBitmap;
using testing::onePixelPng;

// A progressive JPEG of one colour whose last scan repeats until it holds
// `scans` scans: small to send, and each scan passes over every block.
inline Bytes progressiveJpegWithScans(int side, size_t scans) {
    cg::Bitmap flat(side, side, cg::PixelFormat::RGB24);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) flat.setPixel(x, y, {0, 90, 140, 200});
    Bytes out = testing::withLastScanRepeated(jpeg(flat, true), scans);
    if (out.empty()) {
        std::fprintf(stderr, "progressiveJpegWithScans: no scan found\n");
        std::abort();
    }
    return out;
}

}  // namespace stilltest
