#include "tests/platform/graphics/hostile_images.h"

#include <csetjmp>
#include <cstring>
#include <initializer_list>
#include <stdexcept>

#include <jpeglib.h>
#include <zlib.h>

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

// `size` zero bytes deflated in a zlib stream; `whole` false stops after a
// sync flush, a valid stream cut short.
Bytes deflateZeros(size_t size, bool whole = true) {
    z_stream z{};
    if (deflateInit(&z, 9) != Z_OK) throw std::runtime_error("deflateInit");
    const Bytes zeros(1 << 20, 0);
    Bytes out;
    uint8_t buffer[1 << 16];
    auto drain = [&](int flush) {
        do {
            z.next_out = buffer;
            z.avail_out = sizeof buffer;
            deflate(&z, flush);
            out.insert(out.end(), buffer, buffer + (sizeof buffer - z.avail_out));
        } while (z.avail_out == 0);
    };
    for (size_t left = size; left > 0;) {
        size_t piece = std::min(left, zeros.size());
        z.next_in = const_cast<Bytef*>(zeros.data());
        z.avail_in = uInt(piece);
        drain(Z_NO_FLUSH);
        left -= piece;
    }
    drain(whole ? Z_FINISH : Z_SYNC_FLUSH);
    deflateEnd(&z);
    return out;
}

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

// An animated PNG: a default picture of the canvas that is also the first
// frame, then `frames` frames of one pixel walking along the top row.
Bytes apngOfPixels(uint32_t side, uint32_t frames) {
    Bytes out = pngStart(side, side);
    Bytes animation;
    be32(animation, frames + 1);
    be32(animation, 0);
    pngChunk(out, "acTL", animation);
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

struct JpegErrors {
    jpeg_error_mgr base;
    jmp_buf jump;
};

// A grey picture, of vertical stripes or flat, baseline or progressive,
// written by the library.
Bytes jpeg(uint32_t width, uint32_t height, bool progressive, bool stripes = true) {
    jpeg_compress_struct info;
    JpegErrors errors;
    std::memset(&info, 0, sizeof info);
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = [](j_common_ptr common) { longjmp(reinterpret_cast<JpegErrors*>(common->err)->jump, 1); };
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    Bytes row(width);
    for (uint32_t x = 0; x < width; ++x) row[x] = stripes ? uint8_t(x * 7) : 128;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&info);
        std::free(buffer);
        throw std::runtime_error("jpeg");
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = width;
    info.image_height = height;
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    if (progressive) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

// Where each marker segment (or scan, with its entropy-coded data) of a
// JPEG begins, and where the last ends (at the end-of-image marker).
std::vector<size_t> jpegSegments(const Bytes& file) {
    std::vector<size_t> starts;
    size_t at = 2;
    while (at + 4 <= file.size() && file[at] == 0xFF && file[at + 1] != 0xD9) {
        starts.push_back(at);
        const bool scan = file[at + 1] == 0xDA;
        at += 2 + (size_t(file[at + 2]) << 8 | file[at + 3]);
        // Entropy-coded data runs to the next marker that is not a stuffed
        // byte or a restart.
        while (scan && at + 1 < file.size() &&
               !(file[at] == 0xFF && file[at + 1] != 0 && (file[at + 1] < 0xD0 || file[at + 1] > 0xD7))) {
            ++at;
        }
    }
    starts.push_back(at);
    return starts;
}

// A flat progressive 1024 x 1024 picture whose smallest scan (a run of
// empty blocks, a few bytes that pass over every block) comes 3,000 times
// over.
Bytes jpegRepeatedProgressiveScans() {
    Bytes file = jpeg(1024, 1024, true, false);
    std::vector<size_t> segments = jpegSegments(file);
    size_t smallest = 0;
    for (size_t i = 0; i + 1 < segments.size(); ++i) {
        const size_t length = segments[i + 1] - segments[i];
        if (file[segments[i] + 1] == 0xDA && (smallest == 0 || length < segments[smallest + 1] - segments[smallest])) {
            smallest = i;
        }
    }
    Bytes scan(file.begin() + long(segments[smallest]), file.begin() + long(segments[smallest + 1]));
    Bytes out(file.begin(), file.begin() + long(segments.back()));
    for (int i = 0; i < 3'000; ++i) append(out, scan);
    out.insert(out.end(), {0xFF, 0xD9});
    return out;
}

// A baseline picture whose frame header claims 4096 x 4096, cut a few
// bytes into its scan.
Bytes jpegBrokenPicture() {
    Bytes file = jpeg(16, 16, false);
    for (size_t start : jpegSegments(file)) {
        if (file[start + 1] == 0xC0) {
            file[start + 5] = 0x10, file[start + 6] = 0x00;  // height
            file[start + 7] = 0x10, file[start + 8] = 0x00;  // width
        }
        if (file[start + 1] == 0xDA) {
            file.resize(start + 2 + (size_t(file[start + 2]) << 8 | file[start + 3]) + 4);
            break;
        }
    }
    return file;
}

// ---- GIF ----

// A screen with a global table of 256 colours and a loop extension.
Bytes gifStart(uint32_t side) {
    Bytes out;
    append(out, "GIF89a");
    le16(out, side);
    le16(out, side);
    out.insert(out.end(), {0xF7, 0, 0});
    for (int i = 0; i < 256; ++i) out.insert(out.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(i * 3)});
    append(out, "\x21\xff\x0bNETSCAPE2.0");
    out.insert(out.end(), {3, 1, 0, 0, 0});
    return out;
}

// A frame at (x, y), of `width` x `height`, over `image` (the
// minimum code size and the sub-blocks).
void gifFrame(Bytes& out, uint32_t x, uint32_t y, uint32_t width, uint32_t height, const Bytes& image) {
    out.push_back(0x2C);
    for (uint32_t v : {x, y, width, height}) le16(out, v);
    out.push_back(0);
    append(out, image);
}

// One pixel of colour 0: the clear code, 0, the end code, in 3-bit codes.
const Bytes kGifPixel = {2, 2, 0x44, 0x01, 0};

Bytes gifOfPixels(uint32_t side, uint32_t frames) {
    Bytes out = gifStart(side);
    for (uint32_t i = 0; i < frames; ++i) gifFrame(out, i % side, (i / side) % side, 1, 1, kGifPixel);
    out.push_back(0x3B);
    return out;
}

Bytes gifManyPictures() { return gifOfPixels(1, 200'000); }
Bytes gifTinyFramesOnLargeScreen() { return gifOfPixels(2048, 256); }

// Frames covering a 4096 x 4096 screen whose data is a code past the table
// (a broken stream).
Bytes gifBrokenPictures() {
    Bytes out = gifStart(4096);
    for (int i = 0; i < 64; ++i) gifFrame(out, 0, 0, 4096, 4096, {8, 2, 0xFF, 0xFF, 0});
    out.push_back(0x3B);
    return out;
}

// ---- TIFF ----

}  // namespace

Bytes transparentPng(uint32_t width, uint32_t height) { return png(width, height); }

Bytes tiffPagesSharingOneStrip(uint32_t width, uint32_t height, uint32_t pages, uint16_t compression,
                               const Bytes& strip) {
    Bytes out = {'I', 'I', 42, 0};
    le32(out, 8 + uint32_t(strip.size()));
    append(out, strip);
    const uint16_t Short = 3, Long = 4;
    struct Entry {
        uint16_t tag, type;
        uint32_t value;
    };
    const Entry entries[] = {{256, Long, width},       {257, Long, height},     {258, Short, 8},
                             {259, Short, compression}, {262, Short, 1},         {273, Long, 8},
                             {277, Short, 1},           {278, Long, height},     {279, Long, uint32_t(strip.size())}};
    for (uint32_t page = 0; page < pages; ++page) {
        le16(out, uint32_t(std::size(entries)));
        for (const Entry& e : entries) {
            le16(out, e.tag);
            le16(out, e.type);
            le32(out, 1);
            if (e.type == Short) le16(out, e.value), le16(out, 0);
            else le32(out, e.value);
        }
        le32(out, page + 1 < pages ? uint32_t(out.size() + 4) : 0);
    }
    return out;
}

namespace {

Bytes tiffOneLargePictureRepeated() {
    return tiffPagesSharingOneStrip(2048, 2048, 64, 8, deflateZeros(2048 * 2048));
}

// Pages of 8192 x 8192 whose shared strip is not deflate data.
Bytes tiffBrokenPictures() { return tiffPagesSharingOneStrip(8192, 8192, 8, 8, Bytes(16, 0xFF)); }

// As many one-pixel pages as a file may have, and more.
Bytes tiffManyPictures() { return tiffPagesSharingOneStrip(1, 1, 4'000, 32773, {0, 90}); }

// One page whose directory holds 32,000 private tags after its own.
Bytes tiffHugeDirectory() {
    Bytes out = {'I', 'I', 42, 0};
    le32(out, 10);
    out.insert(out.end(), {0, 90});  // the strip: one literal byte
    const uint32_t privateTags = 32'000;
    le16(out, privateTags + 9);
    auto entry = [&](uint16_t tag, uint16_t type, uint32_t value) {
        le16(out, tag);
        le16(out, type);
        le32(out, 1);
        if (type == 3) le16(out, value), le16(out, 0);
        else le32(out, value);
    };
    for (auto [tag, value] : {std::pair<uint16_t, uint32_t>{256, 1}, {257, 1}, {258, 8}, {259, 32773}, {262, 1},
                              {273, 8}, {277, 1}, {278, 1}, {279, 2}}) {
        entry(tag, tag == 273 || tag == 279 ? 4 : 3, value);
    }
    for (uint32_t i = 0; i < privateTags; ++i) entry(uint16_t(0x8000 + i), 3, i);
    le32(out, 0);
    return out;
}

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
    };
    return all;
}

}  // namespace hostile
