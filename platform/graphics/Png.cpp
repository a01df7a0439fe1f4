#include "platform/graphics/Png.h"

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/graphics/CodecWork.h"

namespace cg {

namespace {

// Larger pictures are refused rather than allocated: no picture the product
// handles comes near this.
constexpr uint64_t kMaxPixels = uint64_t(1) << 26;

// The longest side a reader admits: libpng's own default, set here so that
// it does not depend on how the library was built. Pictures are bounded by
// their pixels as well.
constexpr png_uint_32 kMaximumSide = 1'000'000;

struct Reader {
    std::span<const uint8_t> data;
    size_t pos = 0;
    std::string message;
};

struct Decoded {
    uint32_t width = 0;
    uint32_t height = 0;
    bool alpha = false;
    std::vector<uint8_t> bytes;  // RGB or RGBA rows, straight alpha
};

void onError(png_structp png, png_const_charp message) {
    static_cast<Reader*>(png_get_error_ptr(png))->message = message;
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

void readData(png_structp png, png_bytep out, size_t length) {
    auto* reader = static_cast<Reader*>(png_get_io_ptr(png));
    if (reader->data.size() - reader->pos < length) png_error(png, "truncated PNG data");
    std::memcpy(out, reader->data.data() + reader->pos, length);
    reader->pos += length;
}

// Kept free of objects with destructors between setjmp and the library
// calls, so an error's longjmp skips nothing that needs unwinding.
bool readImage(png_structp png, png_infop info, Reader& reader, Decoded& out, std::vector<png_bytep>& rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_read_fn(png, &reader, readData);
    work::libraryHeaderRead();
    png_read_info(png, info);

    int colorType = png_get_color_type(png, info);
    int bitDepth = png_get_bit_depth(png, info);
    bool hasTrns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    out.alpha = (colorType & PNG_COLOR_MASK_ALPHA) != 0 || hasTrns;
    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (hasTrns) png_set_tRNS_to_alpha(png);
    if (bitDepth == 16) png_set_scale_16(png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    out.width = png_get_image_width(png, info);
    out.height = png_get_image_height(png, info);
    if (uint64_t(out.width) * out.height > kMaxPixels) png_error(png, "picture too large");
    size_t rowBytes = png_get_rowbytes(png, info);
    if (rowBytes != size_t(out.width) * (out.alpha ? 4 : 3)) png_error(png, "unexpected row layout");
    out.bytes.resize(rowBytes * out.height);
    rows.resize(out.height);
    for (uint32_t y = 0; y < out.height; ++y) rows[y] = out.bytes.data() + size_t(y) * rowBytes;
    png_read_image(png, rows.data());
    work::inflated(uint64_t(rowBytes) * out.height);
    png_read_end(png, nullptr);
    return true;
}

Bitmap toBitmap(const Decoded& d) {
    Bitmap bitmap(int(d.width), int(d.height), d.alpha ? PixelFormat::ARGB32Premultiplied : PixelFormat::RGB24);
    const uint8_t* src = d.bytes.data();
    for (int y = 0; y < bitmap.height(); ++y) {
        uint32_t* row = bitmap.row(y);
        for (int x = 0; x < bitmap.width(); ++x) {
            if (d.alpha) {
                Pixel p = premultiplied(src[3], src[0], src[1], src[2]);
                row[x] = uint32_t(p.alpha) << 24 | uint32_t(p.red) << 16 | uint32_t(p.green) << 8 | p.blue;
                src += 4;
            } else {
                row[x] = uint32_t(src[0]) << 16 | uint32_t(src[1]) << 8 | src[2];
                src += 3;
            }
        }
    }
    return bitmap;
}

void setError(std::string* error, std::string message) {
    if (error) *error = std::move(message);
}

}  // namespace

void limitPngReader(png_struct_def* png, size_t dataBytes) {
    // A negative count: every chunk the library knows except the five that
    // make the picture, and every chunk it does not know.
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    // 1 keeps no ancillary chunk at all, should one still be handled.
    png_set_chunk_cache_max(png, 1);
    // What the library may allocate for one chunk it holds; 0 would lift
    // the bound.
    png_set_chunk_malloc_max(png, std::max<png_alloc_size_t>(dataBytes, 1));
    png_set_user_limits(png, kMaximumSide, kMaximumSide);
}

std::optional<Bitmap> decodePng(std::span<const uint8_t> data, std::string* error) {
    if (data.size() < 8 || png_sig_cmp(data.data(), 0, 8) != 0) {
        setError(error, "not PNG data");
        return std::nullopt;
    }
    Reader reader{data, 0, {}};
    Decoded decoded;
    std::vector<png_bytep> rows;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &reader, onError, onWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        setError(error, "out of memory");
        return std::nullopt;
    }
    limitPngReader(png, data.size());
    bool ok = readImage(png, info, reader, decoded, rows);
    png_destroy_read_struct(&png, &info, nullptr);
    if (!ok) {
        setError(error, reader.message.empty() ? "invalid PNG data" : reader.message);
        return std::nullopt;
    }
    return toBitmap(decoded);
}

std::optional<Bitmap> readPngFile(const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        setError(error, "cannot open " + path + ": " + std::strerror(errno));
        return std::nullopt;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string reason;
    auto bitmap = decodePng(bytes, &reason);
    if (!bitmap) setError(error, path + ": " + reason);
    return bitmap;
}

std::vector<uint8_t> encodePng(const Bitmap& bitmap, std::string* error) {
    if (bitmap.isEmpty()) {
        setError(error, "cannot encode an empty bitmap");
        return {};
    }
    const bool alpha = bitmap.hasAlpha();
    const size_t channels = alpha ? 4 : 3;
    std::vector<uint8_t> raw(size_t(bitmap.width()) * bitmap.height() * channels);
    uint8_t* dst = raw.data();
    for (int y = 0; y < bitmap.height(); ++y) {
        const uint32_t* row = bitmap.row(y);
        for (int x = 0; x < bitmap.width(); ++x) {
            uint32_t w = row[x];
            uint8_t a = uint8_t(w >> 24), r = uint8_t(w >> 16), g = uint8_t(w >> 8), b = uint8_t(w);
            if (alpha) {
                *dst++ = unpremultipliedComponent(r, a);
                *dst++ = unpremultipliedComponent(g, a);
                *dst++ = unpremultipliedComponent(b, a);
                *dst++ = a;
            } else {
                *dst++ = r;
                *dst++ = g;
                *dst++ = b;
            }
        }
    }

    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(bitmap.width());
    image.height = png_uint_32(bitmap.height());
    image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    std::vector<uint8_t> out;
    if (png_image_write_get_memory_size(image, size, 0, raw.data(), 0, nullptr)) {
        out.resize(size);
        if (!png_image_write_to_memory(&image, out.data(), &size, 0, raw.data(), 0, nullptr)) out.clear();
        else out.resize(size);
    }
    if (out.empty()) setError(error, image.message[0] ? image.message : "PNG encoding failed");
    png_image_free(&image);
    return out;
}

bool writePngFile(const Bitmap& bitmap, const std::string& path, std::string* error) {
    std::vector<uint8_t> bytes = encodePng(bitmap, error);
    if (bytes.empty()) return false;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out) out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (out) out.close();
    if (!out) {
        setError(error, "cannot write " + path + ": " + std::strerror(errno));
        return false;
    }
    return true;
}

}  // namespace cg
