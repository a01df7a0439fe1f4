#include "tests/platform/graphics/hostile_images.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <iterator>

#include <zlib.h>

#include "platform/testing/GifFiles.h"
#include "platform/testing/JpegFiles.h"
#include "platform/testing/TiffFiles.h"
#include "tests/platform/graphics/hostile_still_files.h"
#include "tests/platform/graphics/jpeg2000_shapes.h"

namespace hostile {

namespace {

// ---- Bytes ----

void be16(Bytes& out, uint32_t v) { out.insert(out.end(), {uint8_t(v >> 8), uint8_t(v)}); }
void be32(Bytes& out, uint32_t v) { be16(out, v >> 16), be16(out, v & 0xFFFF); }
void le16(Bytes& out, uint32_t v) { out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)}); }
void le32(Bytes& out, uint32_t v) { le16(out, v & 0xFFFF), le16(out, v >> 16); }
void append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }
void append(Bytes& out, const char* text) { out.insert(out.end(), text, text + std::strlen(text)); }

using testing::deflateZeros;

// ---- PNG and APNG ----

const char kPngSignature[] = "\x89PNG\r\n\x1a\n";

void pngChunk(Bytes& out, const char* type, const Bytes& data) {
    be32(out, uint32_t(data.size()));
    Bytes body(type, type + 4);
    append(body, data);
    append(out, body);
    be32(out, uint32_t(crc32(0, body.data(), uInt(body.size()))));
}

Bytes pngStart(uint32_t width, uint32_t height) {
    Bytes out(kPngSignature, kPngSignature + 8);
    Bytes header;
    be32(header, width);
    be32(header, height);
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA
    pngChunk(out, "IHDR", header);
    return out;
}

// The rows of a transparent RGBA picture, each behind its filter byte.
size_t pngRowBytes(uint32_t width, uint32_t height) { return size_t(height) * (1 + 4 * size_t(width)); }

// A transparent picture, whole.
Bytes png(uint32_t width, uint32_t height) {
    Bytes out = pngStart(width, height);
    pngChunk(out, "IDAT", deflateZeros(pngRowBytes(width, height)));
    pngChunk(out, "IEND", {});
    return out;
}

void fctl(Bytes& out, uint32_t sequence, uint32_t width, uint32_t height, uint32_t x, uint32_t y) {
    Bytes control;
    for (uint32_t v : {sequence, width, height, x, y}) be32(control, v);
    be16(control, 1);   // delay 1/100 s
    be16(control, 100);
    control.insert(control.end(), {0, 0});  // no disposal, source blend
    pngChunk(out, "fcTL", control);
}

void pngCompressedText(Bytes& out, const Bytes& deflated, bool international);
Bytes lettersAtTheTextLimit();

// An animated PNG: a default picture of the canvas that is also the first
// frame, then `frames` frames of one pixel walking along the top row. Its
// shared chunks hold `texts` compressed texts at libpng's old limit.
Bytes apngOfPixels(uint32_t side, uint32_t frames, int texts = 0) {
    Bytes out = pngStart(side, side);
    Bytes animation;
    be32(animation, frames + 1);
    be32(animation, 0);
    pngChunk(out, "acTL", animation);
    if (texts > 0) {
        const Bytes deflated = lettersAtTheTextLimit();
        for (int i = 0; i < texts; ++i) pngCompressedText(out, deflated, false);
    }
    uint32_t sequence = 0;
    fctl(out, sequence++, side, side, 0, 0);
    pngChunk(out, "IDAT", deflateZeros(pngRowBytes(side, side)));
    const Bytes pixel = deflateZeros(pngRowBytes(1, 1));
    for (uint32_t i = 0; i < frames; ++i) {
        fctl(out, sequence++, 1, 1, i % side, 0);
        Bytes data;
        be32(data, sequence++);
        append(data, pixel);
        pngChunk(out, "fdAT", data);
    }
    pngChunk(out, "IEND", {});
    return out;
}

Bytes apngManyPictures() { return apngOfPixels(1, 15'000); }
Bytes apngTinyFramesOnLargeScreen() { return apngOfPixels(1024, 2'000); }

// 8192 x 8192 claimed; the data holds a few rows and stops.
Bytes pngBrokenPicture() {
    Bytes out = pngStart(8192, 8192);
    pngChunk(out, "IDAT", deflateZeros(1 << 20, false));
    pngChunk(out, "IEND", {});
    return out;
}

// A one-pixel picture behind 80,000 private ancillary chunks.
Bytes pngHugeDirectory() {
    Bytes out = pngStart(1, 1);
    for (int i = 0; i < 80'000; ++i) pngChunk(out, "prVt", {});
    pngChunk(out, "IDAT", deflateZeros(pngRowBytes(1, 1)));
    pngChunk(out, "IEND", {});
    return out;
}

// ---- JPEG ----

// A grey picture, of vertical stripes or flat, baseline or progressive,
// written by the library.
Bytes jpeg(uint32_t width, uint32_t height, bool progressive, bool stripes = true) {
    testing::JpegPicture picture;
    picture.width = int(width);
    picture.height = int(height);
    picture.components = 1;
    picture.progressive = progressive;
    picture.quality = 75;
    picture.row = [=](int, uint8_t* row) {
        for (uint32_t x = 0; x < width; ++x) row[x] = stripes ? uint8_t(x * 7) : 128;
    };
    return testing::jpegFile(picture);
}

// A flat progressive 1024 x 1024 picture whose last scan (a refinement
// that passes over every block in a few bytes) comes 3,000 times over.
Bytes jpegRepeatedProgressiveScans() { return testing::withLastScanRepeated(jpeg(1024, 1024, true, false), 3'000); }

// A baseline picture whose frame header claims 4096 x 4096, cut a few
// bytes into its scan.
Bytes jpegBrokenPicture() {
    Bytes file = jpeg(16, 16, false);
    const uint8_t frame[] = {0xFF, 0xC0, 0, 11};  // one component
    const size_t at = size_t(std::search(file.begin(), file.end(), std::begin(frame), std::end(frame)) - file.begin());
    file[at + 5] = 0x10, file[at + 6] = 0x00;  // height
    file[at + 7] = 0x10, file[at + 8] = 0x00;  // width
    const uint8_t scan[] = {0xFF, 0xDA};
    const size_t lastBegins = testing::scansOf(file).lastBegins;
    const size_t sos = size_t(std::search(file.begin() + long(lastBegins), file.end(), std::begin(scan), std::end(scan)) -
                              file.begin());
    file.resize(sos + 2 + (size_t(file[sos + 2]) << 8 | file[sos + 3]) + 4);
    return file;
}

// ---- GIF ----

// A screen with a global table of 256 colours and a loop extension; frames
// and their data are written by the tests' one GIF writer.
Bytes gifStart(uint32_t side) { return testing::gifScreen(int(side), int(side)); }

// One pixel of colour 0: the clear code, 0, the end code, in 3-bit codes.
const Bytes kGifPixel = {2, 2, 0x44, 0x01, 0};

Bytes gifOfPixels(uint32_t side, uint32_t frames) {
    Bytes out = gifStart(side);
    for (uint32_t i = 0; i < frames; ++i) testing::gifImage(out, int(i % side), int((i / side) % side), 1, 1, kGifPixel);
    testing::gifEnd(out);
    return out;
}

Bytes gifManyPictures() { return gifOfPixels(1, 200'000); }
Bytes gifTinyFramesOnLargeScreen() { return gifOfPixels(2048, 256); }

// Frames covering a 4096 x 4096 screen whose data is a code past the table
// (a broken stream).
Bytes gifBrokenPictures() {
    Bytes out = gifStart(4096);
    for (int i = 0; i < 64; ++i) testing::gifImage(out, 0, 0, 4096, 4096, {8, 2, 0xFF, 0xFF, 0});
    testing::gifEnd(out);
    return out;
}

// Frames of zeros: 256 of 1024 x 1024 (2 KB each: 256 MiB of indices, four
// times what the budget admits) on a screen as large, and 16 of 4096 x 4096
// on a screen of one pixel; a table of 256 colours in each of 4,000
// one-pixel frames; one-pixel frames of 0.02 s and 655.35 s in turn.
Bytes gifZeroFramesOnLargeScreen() { return testing::gifOfZeroFrames(1024, 1024, 256); }
Bytes gifLargeIndicesOnSmallScreen() { return testing::gifOfZeroFrames(1, 4096, 16); }
// 16 frames of 4096 x 4096 zeros, each with one code no table entry stands
// for yet (giflib decodes it all the same): 185 KB.
Bytes gifUndefinedCodeFrames() { return testing::gifOfZeroFrames(4096, 4096, 16, true); }
Bytes gifManyLocalTables() { return testing::gifOfLocalTables(4'000); }
Bytes gifDelaysDefeatingTheStep() { return testing::gifOfDelaysDefeatingTheStep(4'000); }

// ---- TIFF ----

}  // namespace

Bytes transparentPng(uint32_t width, uint32_t height) { return png(width, height); }

Bytes tiffPagesSharingOneStrip(uint32_t width, uint32_t height, uint32_t pages, uint16_t compression,
                               const Bytes& strip) {
    testing::TiffLayout layout;
    layout.width = width;
    layout.height = height;
    layout.pages = pages;
    layout.compression = compression;
    layout.payload = strip;
    return testing::tiffSharingOnePayload(layout);
}

Bytes flatJpeg(int side, int components, bool progressive) {
    testing::JpegPicture picture;
    picture.width = picture.height = side;
    picture.components = components;
    picture.fullColour = true;
    picture.progressive = progressive;
    picture.row = [=](int, uint8_t* row) { std::memset(row, 128, size_t(side) * (components == 1 ? 1 : 4)); };
    return testing::jpegFile(picture);
}

namespace {

Bytes tiffOneLargePictureRepeated() {
    return tiffPagesSharingOneStrip(2048, 2048, 64, 8, deflateZeros(2048 * 2048));
}

// Pages of 8192 x 8192 whose shared strip is not deflate data.
Bytes tiffBrokenPictures() { return tiffPagesSharingOneStrip(8192, 8192, 8, 8, Bytes(16, 0xFF)); }

// As many one-pixel pages as a file may have, and more.
Bytes tiffManyPictures() { return tiffPagesSharingOneStrip(1, 1, 4'000, 32773, {0, 90}); }

// One page whose directory holds 4,087 private tags after its own: the
// most libtiff reads, each merged into its list of tags and the list
// sorted again.
Bytes tiffHugeDirectory() { return testing::tiffWithPrivateTags({.privateTags = 4'087}); }

// 16 such pages (787 KB).
Bytes tiffPagesOfManyPrivateTags() { return testing::tiffWithPrivateTags({.privateTags = 4'087, .pages = 16}); }

// 1,000 private tags of 4 MiB that all name one block (4.2 MB): 4 GB for a
// reader that copies every value.
Bytes tiffPrivateTagsSharingOneValue() {
    return testing::tiffWithPrivateTags({.privateTags = 1'000, .valueBytes = 4 << 20});
}

// 64 such tags: within a page's entries, past the file's bytes.
Bytes tiffPrivateTagValuesPastTheFile() {
    return testing::tiffWithPrivateTags({.privateTags = 64, .valueBytes = 4 << 20});
}

// 64 pages of 500 entries: past the entries a file may have at page 32.
Bytes tiffEntriesAcrossPages() { return testing::tiffWithPrivateTags({.privateTags = 491, .pages = 64}); }

// ---- ICO, CUR and BMP ----

using stilltest::IconKind;
using stilltest::icoSharingOneEntry;
using stilltest::monochromeIconBitmap;

Bytes icoOneLargePictureRepeated() { return icoSharingOneEntry(png(2048, 2048), 48); }
Bytes icoBrokenPictures() { return icoSharingOneEntry(monochromeIconBitmap(2048, 1), 64); }
Bytes icoHugeDirectory() { return icoSharingOneEntry(png(1, 1), 16'384); }
Bytes curOneLargePictureRepeated() { return icoSharingOneEntry(monochromeIconBitmap(2048, 0), 32, IconKind::Cursor); }
Bytes curHugeDirectory() { return icoSharingOneEntry(monochromeIconBitmap(1, 0), 16'384, IconKind::Cursor); }

// A 32-bit picture claiming 8192 x 8192 with a few rows of data.
Bytes bmpBrokenPicture() {
    Bytes out = {'B', 'M'};
    le32(out, 54 + 4096);
    le32(out, 0);
    le32(out, 54);
    le32(out, 40);
    le32(out, 8192);
    le32(out, 8192);
    le16(out, 1);
    le16(out, 32);
    for (int i = 0; i < 6; ++i) le32(out, 0);
    out.resize(out.size() + 4096, 0x80);
    return out;
}

// ---- ICNS ----

Bytes icnsOneLargePictureRepeated() { return stilltest::icnsOfCopies(png(2048, 2048), 32, "ic11"); }
Bytes icnsBrokenPictures() {
    Bytes broken = pngStart(8192, 8192);
    pngChunk(broken, "IDAT", Bytes(32, 0xFF));  // not zlib data
    pngChunk(broken, "IEND", {});
    return stilltest::icnsOfCopies(broken, 12, "ic10");
}
Bytes icnsHugeDirectory() { return stilltest::icnsOfCopies(png(1, 1), 8'000); }

// ---- JPEG 2000 ----

namespace j2k = jpeg2000shapes;

// The JP2 file form of a codestream: RGBA with its alpha, or grey.
Bytes jp2(const j2k::Shape& s) {
    const bool rgba = s.components == 4;
    return j2k::jp2(s, rgba ? j2k::kSRGB : j2k::kGrey, rgba);
}

// 2048 x 2048 RGBA in code-blocks of 4 x 4: a million of them.
j2k::Shape tinyCodeBlocks() { return j2k::oneTile(2048, 2048, 4, {.levels = 0, .blockWidth = 0, .blockHeight = 0}); }

// 1024 x 1024 grey, five levels, in precincts of one coefficient at every
// level: the lowest resolution's 2^0, the others' 2^1, which is one
// coefficient in each of their bands.
j2k::Shape tinyPrecincts() {
    return j2k::oneTile(1024, 1024, 1, {.levels = 5, .precincts = {0x00, 0x11, 0x11, 0x11, 0x11, 0x11}});
}

// 2048 x 2048 RGBA, five levels, whose packets are noise.
j2k::Shape brokenPicture() {
    j2k::Shape s = j2k::oneTile(2048, 2048, 4, {.levels = 5});
    for (int i = 0; i < 512; ++i) s.packets.push_back(uint8_t(i * 151 + 17));
    return s;
}

// ---- TIFF counts and progressive JPEG scans ----

// 256 pages of 16 x 4,194,304 in one-row strips: 16.8 MB of shared arrays
// name a billion strips.
Bytes tiffStripsAcrossPages() {
    return testing::flatTiff({.width = 16, .height = 4'194'304, .rowsPerStrip = 1, .pages = 256});
}

// One page of 1 x 8,388,608 whose one array names its one-row strips, as
// offsets and byte counts alike (16.8 MB): twice the strips the file holds.
Bytes tiffStripsInOneArray() {
    return testing::tiffSharingOnePayload({.width = 1, .height = 8'388'608, .compression = 32773, .rowsPerStrip = 1,
                                           .payload = {0, 0, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80}, .oneArray = true});
}

// 8192 x 8192 in 262,144 tiles of 16 x 16: as many as the file's 1 MB of
// arrays holds.
Bytes tiffTilesPerPage() { return testing::flatTiff({.width = 8192, .height = 8192, .tileSide = 16}); }

// 256 pages of 1024 x 1024 in 4,096 tiles each, sharing their arrays.
Bytes tiffTilesAcrossPages() {
    return testing::flatTiff({.width = 1024, .height = 1024, .tileSide = 16, .pages = 256});
}

// 1024 x 65536 of 16 samples a pixel, the most bytes a pixel read, every
// strip one small deflate stream: 1 GiB decoded from 5 KB.
Bytes tiffSamplesPerPixel() {
    return testing::flatTiff({.width = 1024, .height = 65536, .samples = 16, .rowsPerStrip = 64});
}

// Grey progressive pictures whose last refinement scan repeats to 100
// scans: at the largest picture, whose coefficients do not fit beside its
// pixels, and at half of it, whose scans stop at the blocks limit (the
// largest one read, 7424 x 7424, is more than the sanitized fuzz run's
// memory limit takes beside its other seeds).
Bytes jpegScansAtTheLargestPicture() { return testing::withLastScanRepeated(flatJpeg(8192, 1, true), 100); }
Bytes jpegScansAtALargePicture() { return testing::withLastScanRepeated(flatJpeg(5792, 1, true), 100); }

// 8192 x 8192 colour at full resolution: three full-size coefficient
// arrays in 788 KB.
Bytes jpegFlatFullColour() { return flatJpeg(8192, 3, true); }

// ---- PNG chunks, icon entries and JPEG 2000 entries kept together ----

// A zTXt (or, `international`, a compressed iTXt) chunk of a text
// deflated.
void pngCompressedText(Bytes& out, const Bytes& deflated, bool international) {
    Bytes data;
    append(data, "Comment");
    data.push_back(0);
    if (international) data.insert(data.end(), {1, 0, 0, 0});  // compressed, no language or translation
    else data.push_back(0);                                      // deflate
    append(data, deflated);
    pngChunk(out, international ? "iTXt" : "zTXt", data);
}

// The texts libpng kept by default at most (1,000 chunks, less the two
// its cache counts besides) at its old limit of 8,000,000 bytes each (the
// keyword and its terminator included), over one pixel: the smallest
// payload behind the most text it would inflate.
constexpr size_t kLibraryTextLimit = 8'000'000 - 16;

// Letters, not zeros: pages written with zeros may stay unmapped.
Bytes lettersAtTheTextLimit() { return deflateZeros(kLibraryTextLimit, true, 'A'); }
}  // namespace

Bytes pngWithTexts(uint32_t chunks) {
    Bytes out = pngStart(1, 1);
    const Bytes deflated = lettersAtTheTextLimit();
    for (uint32_t i = 0; i < chunks; ++i) pngCompressedText(out, deflated, i % 2 == 1);
    pngChunk(out, "IDAT", deflateZeros(pngRowBytes(1, 1)));
    pngChunk(out, "IEND", {});
    return out;
}

namespace {

Bytes pngTextsAtTheLibraryLimit() { return pngWithTexts(998); }
Bytes icoEntriesSharingOnePngWithText() { return icoSharingOneEntry(pngWithTexts(1), 1'024); }
Bytes icnsEntriesOfPngsWithText() { return stilltest::icnsOfCopies(pngWithTexts(1), 256); }

// An animated PNG whose shared chunks (before the first frame) hold 16 such
// texts, over 64 frames of one pixel.
Bytes apngWithSharedTexts() { return apngOfPixels(1, 63, 16); }

}  // namespace

// RGBA, Adam7-interlaced, all clear.
Bytes pngInterlaced(uint32_t side) {
    Bytes out(kPngSignature, kPngSignature + 8);
    Bytes header;
    be32(header, side);
    be32(header, side);
    header.insert(header.end(), {8, 6, 0, 0, 1});
    pngChunk(out, "IHDR", header);
    // Each pass: its columns and rows of the grid of 8, from its start.
    static constexpr uint32_t kPasses[7][4] = {{0, 8, 0, 8}, {4, 8, 0, 8}, {0, 4, 4, 8}, {2, 4, 0, 4},
                                               {0, 2, 2, 4}, {1, 2, 0, 2}, {0, 1, 1, 2}};
    size_t bytes = 0;
    for (const auto& [x0, dx, y0, dy] : kPasses) {
        const size_t columns = (side - x0 + dx - 1) / dx, rows = (side - y0 + dy - 1) / dy;
        bytes += rows * (1 + 4 * columns);
    }
    pngChunk(out, "IDAT", deflateZeros(bytes));
    pngChunk(out, "IEND", {});
    return out;
}

namespace {

// 2,000 entries of a main header and the first tile-part's header, which
// runs to the end: 64 x 64 in 4,096 tiles of one pixel, grey with five
// levels, or RGBA with 32. The library's header read makes the state of
// every tile.
Bytes icnsOfTinyJpeg2000(uint16_t components, uint8_t levels) {
    j2k::Shape s{64, 64, 1, 1, components, false};
    s.coding = {.levels = levels};
    Bytes codestream = j2k::codestream(s);
    codestream.resize(codestream.size() - 2);  // its end marker
    codestream.insert(codestream.end(), {0xFF, 0x90, 0, 10, 0, 0, 0, 0, 0, 0, 0, 1, 0xFF, 0x93, 0});
    return stilltest::icnsOfCopies(codestream, 2'000, "ic10");
}

// Two 5792 x 5792 RGBA entries of five levels (the compressor's default)
// and code-blocks of 2^(exponent + 2): each alone within what the reader
// admits.
Bytes icnsOfTwoLargeJpeg2000Entries(uint8_t blockExponent) {
    const Bytes large = j2k::codestream(
        j2k::oneTile(5792, 5792, 4, {.levels = 5, .blockWidth = blockExponent, .blockHeight = blockExponent}));
    Bytes out = {'i', 'c', 'n', 's'};
    be32(out, uint32_t(8 + 2 * (8 + large.size())));
    for (const char* type : {"ic10", "ic14"}) {
        append(out, type);
        be32(out, uint32_t(8 + large.size()));
        append(out, large);
    }
    return out;
}

}  // namespace

const std::vector<Shape>& shapes() {
    constexpr uint64_t Large = 8192 * 8192;
    static const std::vector<Shape> all = {
        {"PngBrokenPicture", "png", Large, pngBrokenPicture},
        {"PngHugeDirectory", "png", 1, pngHugeDirectory},
        // Not hostile, but the largest picture any reader admits, in 261 KB.
        {"PngLargeFlatPicture", "png", Large, [] { return png(8192, 8192); }},
        {"ApngManyPictures", "apng", 1, apngManyPictures},
        {"ApngTinyFramesOnLargeScreen", "apng", 1024 * 1024, apngTinyFramesOnLargeScreen},
        {"JpegRepeatedProgressiveScans", "jpg", 1024 * 1024, jpegRepeatedProgressiveScans},
        {"JpegBrokenPicture", "jpg", 4096 * 4096, jpegBrokenPicture},
        {"GifManyPictures", "gif", 1, gifManyPictures},
        {"GifTinyFramesOnLargeScreen", "gif", 2048 * 2048, gifTinyFramesOnLargeScreen},
        {"GifBrokenPictures", "gif", 4096 * 4096, gifBrokenPictures},
        {"GifZeroFramesOnLargeScreen", "gif", 1024 * 1024, gifZeroFramesOnLargeScreen},
        {"GifLargeIndicesOnSmallScreen", "gif", 4096, gifLargeIndicesOnSmallScreen},
        {"GifUndefinedCodeFrames", "gif", 4096 * 4096, gifUndefinedCodeFrames},
        {"GifManyLocalTables", "gif", 1, gifManyLocalTables},
        {"GifDelaysDefeatingTheStep", "gif", 1, gifDelaysDefeatingTheStep},
        {"TiffManyPictures", "tif", 1, tiffManyPictures},
        {"TiffOneLargePictureRepeated", "tif", 2048 * 2048, tiffOneLargePictureRepeated},
        {"TiffBrokenPictures", "tif", Large, tiffBrokenPictures},
        {"TiffHugeDirectory", "tif", 1, tiffHugeDirectory},
        {"Jp2TinyCodeBlocks", "jp2", 2048 * 2048, [] { return jp2(tinyCodeBlocks()); }},
        {"J2kTinyCodeBlocks", "j2k", 2048 * 2048, [] { return j2k::codestream(tinyCodeBlocks()); }},
        {"Jp2TinyPrecincts", "jp2", 1024 * 1024, [] { return jp2(tinyPrecincts()); }},
        {"J2kTinyPrecincts", "j2k", 1024 * 1024, [] { return j2k::codestream(tinyPrecincts()); }},
        {"Jp2BrokenPicture", "jp2", 2048 * 2048, [] { return jp2(brokenPicture()); }},
        {"J2kBrokenPicture", "j2k", 2048 * 2048, [] { return j2k::codestream(brokenPicture()); }},
        {"IcoOneLargePictureRepeated", "ico", 2048 * 2048, icoOneLargePictureRepeated},
        {"IcoBrokenPictures", "ico", 2048 * 2048, icoBrokenPictures},
        {"IcoHugeDirectory", "ico", 1, icoHugeDirectory},
        {"CurOneLargePictureRepeated", "cur", 2048 * 2048, curOneLargePictureRepeated},
        {"CurHugeDirectory", "cur", 1, curHugeDirectory},
        {"BmpBrokenPicture", "bmp", Large, bmpBrokenPicture},
        {"IcnsOneLargePictureRepeated", "icns", 2048 * 2048, icnsOneLargePictureRepeated},
        {"IcnsBrokenPictures", "icns", Large, icnsBrokenPictures},
        {"IcnsHugeDirectory", "icns", 1, icnsHugeDirectory},
        {"TiffStripsAcrossPages", "tif", 16 * 4'194'304, tiffStripsAcrossPages},
        {"TiffTilesPerPage", "tif", Large, tiffTilesPerPage},
        {"TiffTilesAcrossPages", "tif", 1024 * 1024, tiffTilesAcrossPages},
        {"TiffSamplesPerPixel", "tif", 1024 * 65536, tiffSamplesPerPixel},
        {"TiffStripsInOneArray", "tif", 8'388'608, tiffStripsInOneArray},
        {"TiffPagesOfManyPrivateTags", "tif", 1, tiffPagesOfManyPrivateTags},
        {"TiffPrivateTagsSharingOneValue", "tif", 1, tiffPrivateTagsSharingOneValue},
        {"TiffPrivateTagValuesPastTheFile", "tif", 1, tiffPrivateTagValuesPastTheFile},
        {"TiffEntriesAcrossPages", "tif", 1, tiffEntriesAcrossPages},
        {"JpegScansAtTheLargestPicture", "jpg", Large, jpegScansAtTheLargestPicture},
        {"JpegScansAtALargePicture", "jpg", 5792 * 5792, jpegScansAtALargePicture},
        {"JpegFlatFullColour", "jpg", Large, jpegFlatFullColour},
        {"PngTextsAtTheLibraryLimit", "png", 1, pngTextsAtTheLibraryLimit},
        {"IcoEntriesSharingOnePngWithText", "ico", 1, icoEntriesSharingOnePngWithText},
        {"IcnsEntriesOfPngsWithText", "icns", 1, icnsEntriesOfPngsWithText},
        {"ApngWithSharedTexts", "apng", 1, apngWithSharedTexts},
        {"PngInterlaced", "png", 2048 * 2048, [] { return pngInterlaced(2048); }},
        {"IcnsOfTinyJpeg2000", "icns", 64 * 64, [] { return icnsOfTinyJpeg2000(1, 5); }},
        {"IcnsOfTinyJpeg2000Rgba32Levels", "icns", 64 * 64, [] { return icnsOfTinyJpeg2000(4, 32); }},
    };
    return all;
}

Bytes icnsOfTwoLargeJpeg2000(uint8_t blockExponent) { return icnsOfTwoLargeJpeg2000Entries(blockExponent); }

const Shape& shapeNamed(const std::string& name) {
    for (const Shape& shape : shapes()) {
        if (name == shape.name) return shape;
    }
    throw std::invalid_argument("no hostile shape named " + name);
}

}  // namespace hostile
