#pragma once
// Files of hostile shapes, for every format the image source reads: small
// files that claim, repeat or split far more than they hold. Many
// pictures; one large picture repeated (entries, pages or frames pointing
// at one payload); tiny frames on a large screen; broken pictures (headers
// claiming large sizes over invalid or cut payloads); huge directories;
// tiny JPEG 2000 code-blocks and precincts; progressive JPEG scans
// repeated. Each is sized to show what it would cost a reader that does not
// bound it, and no larger: a test reads them all, and the image decoder's
// fuzz target starts from them.

#include <cstdint>
#include <string>
#include <vector>

namespace hostile {

using Bytes = std::vector<uint8_t>;

struct Shape {
    // Letters and digits only: a test name and a file name, e.g.
    // "IcoHugeDirectory".
    const char* name;
    // The file's usual extension, for the fuzz seeds.
    const char* extension;
    // What each picture of the file claims, in pixels (the largest, where
    // they differ): what a budget charges for it.
    uint64_t pixelsPerPicture;
    Bytes (*make)();
};

// Every shape, in a fixed order.
const std::vector<Shape>& shapes();

// A transparent 8-bit RGBA PNG of width x height, its zero rows deflated:
// 8192 x 8192 in about 261 KB.
Bytes transparentPng(uint32_t width, uint32_t height);

// Little-endian grey TIFF pages of width x height that all read one strip,
// compressed with deflate (8) or PackBits (32773).
Bytes tiffPagesSharingOneStrip(uint32_t width, uint32_t height, uint32_t pages, uint16_t compression,
                               const Bytes& strip);

}  // namespace hostile
