#include "tests/platform/graphics/hostile_images.h"

#include <csetjmp>
#include <cstring>
#include <initializer_list>
#include <stdexcept>

#include <jpeglib.h>
#include <zlib.h>

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

// Little-endian grey pages of width x height that all read one strip,
// compressed with deflate (8) or PackBits (32773).
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

// An icon (kind 1) or cursor (2) directory of `count` entries that all
// point at `payload`.
Bytes iconDirectory(uint16_t kind, uint32_t count, const Bytes& payload) {
    Bytes out;
    le16(out, 0);
    le16(out, kind);
    le16(out, count);
    const uint32_t offset = 6 + 16 * count;
    for (uint32_t i = 0; i < count; ++i) {
        out.insert(out.end(), {0, 0, 0, 0});
        le16(out, 1);
        le16(out, 32);
        le32(out, uint32_t(payload.size()));
        le32(out, offset);
    }
    append(out, payload);
    return out;
}

// A 1-bit device-independent bitmap as an icon entry holds it: colours,
// then the AND mask, `missing` bytes short of whole.
Bytes monochromeDib(int32_t side, size_t missing) {
    Bytes out;
    le32(out, 40);
    le32(out, uint32_t(side));
    le32(out, uint32_t(side * 2));
    le16(out, 1);
    le16(out, 1);
    for (int i = 0; i < 6; ++i) le32(out, i == 4 ? 2 : 0);  // two colours
    le32(out, 0x000000);
    le32(out, 0xFFFFFF);
    const size_t rowBytes = (size_t(side) + 31) / 32 * 4;
    out.resize(out.size() + 2 * rowBytes * size_t(side) - missing, 0x55);
    return out;
}

Bytes icoOneLargePictureRepeated() { return iconDirectory(1, 48, png(2048, 2048)); }
Bytes icoBrokenPictures() { return iconDirectory(1, 64, monochromeDib(2048, 1)); }
Bytes icoHugeDirectory() { return iconDirectory(1, 16'384, png(1, 1)); }
Bytes curOneLargePictureRepeated() { return iconDirectory(2, 32, monochromeDib(2048, 0)); }
Bytes curHugeDirectory() { return iconDirectory(2, 16'384, monochromeDib(1, 0)); }

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

Bytes icns(const char* type, uint32_t count, const Bytes& payload) {
    Bytes out;
    append(out, "icns");
    be32(out, 8 + count * (8 + uint32_t(payload.size())));
    for (uint32_t i = 0; i < count; ++i) {
        out.insert(out.end(), type, type + 4);
        be32(out, 8 + uint32_t(payload.size()));
        append(out, payload);
    }
    return out;
}

Bytes icnsOneLargePictureRepeated() { return icns("ic11", 32, png(2048, 2048)); }
Bytes icnsBrokenPictures() {
    Bytes broken = pngStart(8192, 8192);
    pngChunk(broken, "IDAT", Bytes(32, 0xFF));  // not zlib data
    pngChunk(broken, "IEND", {});
    return icns("ic10", 12, broken);
}
Bytes icnsHugeDirectory() { return icns("icp4", 8'000, png(1, 1)); }

// ---- JPEG 2000 ----

struct Codestream {
    uint32_t width = 0, height = 0;
    uint16_t components = 1;
    uint8_t levels = 0;
    // Code-block width and height exponents, less 2 (0 is 4 x 4).
    uint8_t codeBlockWidth = 4, codeBlockHeight = 4;
    // Precincts of one coefficient at every resolution level, where given.
    bool tinyPrecincts = false;
    // What the single tile's packets hold.
    Bytes body;
};

// 8-bit unsigned components, one quality layer, the reversible filter,
// one tile.
Bytes codestream(const Codestream& c) {
    Bytes out = {0xFF, 0x4F, 0xFF, 0x51};
    be16(out, 38 + 3u * c.components);
    be16(out, 0);
    for (uint32_t v : {c.width, c.height, 0u, 0u, c.width, c.height, 0u, 0u}) be32(out, v);
    be16(out, c.components);
    for (int i = 0; i < c.components; ++i) out.insert(out.end(), {7, 1, 1});
    const uint8_t resolutions = uint8_t(c.levels + 1);
    be16(out, 0xFF52);
    be16(out, 12 + (c.tinyPrecincts ? resolutions : 0));
    out.insert(out.end(), {uint8_t(c.tinyPrecincts ? 1 : 0), 0, 0, 1, 0, c.levels, c.codeBlockWidth,
                           c.codeBlockHeight, 0, 1});
    // The lowest resolution's precincts may be 2^0; the others' 2^1, which
    // is one coefficient in each of their bands.
    if (c.tinyPrecincts) {
        out.push_back(0);
        out.insert(out.end(), c.levels, 0x11);
    }
    // Quantization: none, two guard bits, one exponent per band.
    const uint16_t bands = uint16_t(1 + 3 * c.levels);
    be16(out, 0xFF5C);
    be16(out, 3 + bands);
    out.push_back(0x40);
    out.insert(out.end(), bands, 0x40);
    be16(out, 0xFF90);
    be16(out, 10);
    be16(out, 0);
    be32(out, uint32_t(14 + c.body.size()));
    out.insert(out.end(), {0, 1, 0xFF, 0x93});
    append(out, c.body);
    out.insert(out.end(), {0xFF, 0xD9});
    return out;
}

// The JP2 file form around a codestream, sRGB with alpha or grey.
Bytes jp2(const Codestream& c) {
    Bytes out = {0, 0, 0, 12, 'j', 'P', ' ', ' ', '\r', '\n', 0x87, '\n'};
    be32(out, 20);
    append(out, "ftypjp2 ");
    be32(out, 0);
    append(out, "jp2 ");
    const bool alpha = c.components == 4;
    const uint32_t definitions = alpha ? 10 + 6u * c.components : 0;
    be32(out, 8 + 22 + 15 + definitions);
    append(out, "jp2h");
    be32(out, 22);
    append(out, "ihdr");
    be32(out, c.height);
    be32(out, c.width);
    be16(out, c.components);
    out.insert(out.end(), {7, 7, 0, 0});
    be32(out, 15);
    append(out, "colr");
    out.insert(out.end(), {1, 0, 0});
    be32(out, alpha ? 16 : 17);
    if (alpha) {
        be32(out, definitions);
        append(out, "cdef");
        be16(out, c.components);
        for (uint16_t i = 0; i < c.components; ++i) {
            const bool last = i + 1 == c.components;
            be16(out, i);
            be16(out, last ? 1 : 0);
            be16(out, last ? 0 : i + 1u);
        }
    }
    Bytes stream = codestream(c);
    be32(out, 8 + uint32_t(stream.size()));
    append(out, "jp2c");
    append(out, stream);
    return out;
}

Codestream picture(uint32_t width, uint32_t height, uint16_t components, uint8_t levels) {
    Codestream c;
    c.width = width, c.height = height, c.components = components, c.levels = levels;
    return c;
}

// 2048 x 2048 RGBA in code-blocks of 4 x 4: a million of them.
Codestream tinyCodeBlocks() {
    Codestream c = picture(2048, 2048, 4, 0);
    c.codeBlockWidth = c.codeBlockHeight = 0;
    c.body = Bytes(8, 0);
    return c;
}

// 1024 x 1024 grey, five levels, in precincts of one coefficient at every
// level.
Codestream tinyPrecincts() {
    Codestream c = picture(1024, 1024, 1, 5);
    c.tinyPrecincts = true;
    c.body = Bytes(8, 0);
    return c;
}

// 2048 x 2048 RGBA, five levels, whose packets are noise.
Codestream brokenPicture() {
    Codestream c = picture(2048, 2048, 4, 5);
    for (int i = 0; i < 512; ++i) c.body.push_back(uint8_t(i * 151 + 17));
    return c;
}

}  // namespace

const std::vector<Shape>& shapes() {
    constexpr uint64_t Large = 8192 * 8192;
    static const std::vector<Shape> all = {
        {"PngBrokenPicture", "png", Large, pngBrokenPicture},
        {"PngHugeDirectory", "png", 1, pngHugeDirectory},
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
        {"J2kTinyCodeBlocks", "j2k", 2048 * 2048, [] { return codestream(tinyCodeBlocks()); }},
        {"Jp2TinyPrecincts", "jp2", 1024 * 1024, [] { return jp2(tinyPrecincts()); }},
        {"J2kTinyPrecincts", "j2k", 1024 * 1024, [] { return codestream(tinyPrecincts()); }},
        {"Jp2BrokenPicture", "jp2", 2048 * 2048, [] { return jp2(brokenPicture()); }},
        {"J2kBrokenPicture", "j2k", 2048 * 2048, [] { return codestream(brokenPicture()); }},
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
