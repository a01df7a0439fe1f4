// PNG through libpng's progressive reader: the data received so far is
// pushed through png_process_data, rows land as they decode (interlaced
// passes combined in place), the rest stays transparent.
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <optional>

#include "platform/graphics/CodecWork.h"
#include "platform/graphics/Png.h"
#include "platform/graphics/StillFormats.h"

namespace cg::still {

namespace {

// Rows of a plain file are finished as they come. An interlaced file's
// passes are combined in the sink's own rows, kept straight until the
// decode ends: the picture is held once, whatever its passes.
struct Progress {
    Header header;
    bool haveHeader = false;
    bool headerOnly = false;
    bool ended = false;
    int rowsSeen = 0;
    std::optional<RowSink> sink;
};

void onError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void onWarning(png_structp, png_const_charp) {}

void onInfo(png_structp png, png_infop info) {
    auto* p = static_cast<Progress*>(png_get_progressive_ptr(png));
    png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
    if (uint64_t(width) * height > MaximumPixels || width > INT32_MAX || height > INT32_MAX) {
        png_error(png, "picture too large");
    }
    int colorType = png_get_color_type(png, info);
    int bitDepth = png_get_bit_depth(png, info);
    bool trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    p->header.width = int(width);
    p->header.height = int(height);
    p->header.hasAlpha = (colorType & PNG_COLOR_MASK_ALPHA) != 0 || trns;
    p->header.interlace = png_get_interlace_type(png, info) == PNG_INTERLACE_ADAM7 ? 1 : 0;
    p->haveHeader = true;
    if (p->headerOnly) png_error(png, "header read");  // stop here
    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (trns) png_set_tRNS_to_alpha(png);
    if (bitDepth == 16) png_set_scale_16(png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    if (!p->header.hasAlpha) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    // BGRA bytes: the native words of the bitmap, alpha still straight.
    png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t(width) * 4) png_error(png, "unexpected row layout");
    p->sink.emplace(int(width), int(height), p->header.hasAlpha);
}

void onRow(png_structp png, png_bytep row, png_uint_32 y, int pass) {
    auto* p = static_cast<Progress*>(png_get_progressive_ptr(png));
    if (!row || y >= png_uint_32(p->header.height)) return;
    p->rowsSeen++;
    if (p->header.interlace == 0) {
        work::inflated(uint64_t(p->header.width) * 4);
        std::memcpy(p->sink->row(int(y)), row, size_t(p->header.width) * 4);
        p->sink->finishRow(int(y));
    } else {
        // A pass brings only its own columns of its own rows; the library
        // hands its rows on to the rows below them too, for display.
        if (PNG_ROW_IN_INTERLACE_PASS(y, pass)) {
            work::inflated(uint64_t(PNG_PASS_COLS(png_uint_32(p->header.width), pass)) * 4);
        }
        png_progressive_combine_row(png, reinterpret_cast<png_bytep>(p->sink->row(int(y))), row);
    }
}

void onEnd(png_structp png, png_infop) { static_cast<Progress*>(png_get_progressive_ptr(png))->ended = true; }

// Free of objects with destructors between setjmp and the library calls.
void push(png_structp png, png_infop info, Progress& progress, std::span<const uint8_t> data) {
    if (setjmp(png_jmpbuf(png))) return;
    png_set_progressive_read_fn(png, &progress, onInfo, onRow, onEnd);
    png_process_data(png, info, const_cast<png_bytep>(data.data()), data.size());
}

bool run(std::span<const uint8_t> data, Progress& progress) {
    if (data.size() < 8 || png_sig_cmp(data.data(), 0, 8) != 0) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    limitPngReader(png, data.size());
    // Ancillary chunks with bad CRCs are skipped rather than fatal.
    png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
    work::libraryHeaderRead();
    push(png, info, progress, data);
    png_destroy_read_struct(&png, &info, nullptr);
    return progress.haveHeader;
}

// An interlaced picture's rows, combined straight, made ready in place:
// whole and opaque, it is RGB24 like any opaque file. Cut short, every
// row holds some pass: what has not come shows clear, so an opaque one is
// copied out with its alpha (the filler's 255 where pixels came, 0 where
// none did).
Bitmap interlacedPicture(Progress& progress) {
    RowSink& sink = *progress.sink;
    const int w = progress.header.width, h = progress.header.height;
    if (progress.header.hasAlpha || progress.ended) {
        for (int y = 0; y < h; ++y) sink.finishRow(y);
        return sink.take();
    }
    Bitmap partial(w, h, PixelFormat::ARGB32Premultiplied);
    for (int y = 0; y < h; ++y) std::memcpy(partial.row(y), sink.row(y), size_t(w) * 4);
    progress.sink.reset();
    return partial;
}

}  // namespace

Bitmap bitmapFromRGBA(const std::vector<uint8_t>& rgba, int width, int height, bool opaque) {
    Bitmap bitmap(width, height, opaque ? PixelFormat::RGB24 : PixelFormat::ARGB32Premultiplied);
    const uint8_t* in = rgba.data();
    for (int y = 0; y < height; ++y) {
        uint32_t* row = bitmap.row(y);
        for (int x = 0; x < width; ++x, in += 4) {
            if (opaque) {
                row[x] = uint32_t(in[0]) << 16 | uint32_t(in[1]) << 8 | in[2];
            } else if (in[3] == 255) {
                row[x] = 0xFF000000u | uint32_t(in[0]) << 16 | uint32_t(in[1]) << 8 | in[2];
            } else {
                Pixel p = premultiplied(in[3], in[0], in[1], in[2]);
                row[x] = uint32_t(p.alpha) << 24 | uint32_t(p.red) << 16 | uint32_t(p.green) << 8 | p.blue;
            }
        }
    }
    return bitmap;
}

bool startsAsPng(std::span<const uint8_t> data) {
    return data.size() >= 8 && std::memcmp(data.data(), "\x89PNG\r\n\x1a\n", 8) == 0;
}

std::optional<Header> pngHeader(std::span<const uint8_t> data) {
    Progress progress;
    progress.headerOnly = true;
    if (!run(data, progress)) return std::nullopt;
    return progress.header;
}

std::optional<Decoded> decodePng(std::span<const uint8_t> data, bool final) {
    Progress progress;
    if (!run(data, progress) || !progress.sink) return std::nullopt;
    if (final && progress.rowsSeen == 0) return std::nullopt;
    Decoded decoded;
    decoded.header = progress.header;
    decoded.complete = progress.ended || final;
    if (progress.header.interlace != 0) {
        decoded.bitmap = interlacedPicture(progress);
        return decoded;
    }
    decoded.bitmap = progress.sink->take();
    return decoded;
}

}  // namespace cg::still
