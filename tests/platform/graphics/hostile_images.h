#pragma once
// Files of hostile shapes, for every format the image source reads: small
// files that claim, repeat or split far more than they hold. Many
// pictures; one large picture repeated (entries, pages or frames pointing
// at one payload); tiny frames on a large screen; broken pictures (headers
// claiming large sizes over invalid or cut payloads); huge directories;
// tiny JPEG 2000 code-blocks and precincts; progressive JPEG scans
// repeated, at the largest picture too; TIFF strips and tiles per page and
// across pages, and samples per pixel, at the most a reader admits; TIFF
// directories of the most private tags libtiff reads, private tags whose
// values name one block many times, and entries across pages;
// compressed texts at libpng's old limits over one pixel, alone, shared by
// icon entries and shared by animated frames; an interlaced picture;
// thousands of JPEG 2000 headers of 4,096 tiles; GIF frames with a code no
// table entry stands for yet.
// Each is sized to show what it would cost a reader that does not
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

// A flat grey (1) or colour (3, at full resolution) square picture written
// by the library: a progressive one is small however large its side.
Bytes flatJpeg(int side, int components, bool progressive);

// A one-pixel PNG behind `chunks` compressed text chunks, each inflating
// to libpng's old limit of 8,000,000 bytes.
Bytes pngWithTexts(uint32_t chunks);

// A clear RGBA picture of `side` x `side`, Adam7-interlaced. Among the
// shapes at 2048; at the pixel cap (8192) its decode drawn for display
// takes longer than a fuzz run gives one input under the sanitizers.
Bytes pngInterlaced(uint32_t side);

// Two 5792 x 5792 RGBA JPEG 2000 entries in one ICNS, at the compressor's
// defaults (code-blocks of 64, an exponent of 4) or with smaller blocks.
// Not among the shapes, as a decode's planes (four times the picture) pass
// what the shapes are held to; within the JPEG 2000 reader's own bound
// beside the picture kept before it.
Bytes icnsOfTwoLargeJpeg2000(uint8_t blockExponent = 4);

// The shape of that name; throws for a name not among them.
const Shape& shapeNamed(const std::string& name);

}  // namespace hostile
