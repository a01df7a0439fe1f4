#include "platform/graphics/Png.h"

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

namespace cg {

namespace {

// The longest side a reader admits: libpng's own default, set here so that
// it does not depend on how the library was built. Pictures are bounded by
// their pixels as well.
constexpr png_uint_32 kMaximumSide = 1'000'000;

void setError(std::string* error, std::string message) {
    if (error) *error = std::move(message);
}

}  // namespace

void limitPngReader(png_struct_def* png, size_t dataBytes) {
    // A negative count: every chunk the library knows except the five that
    // make the picture, and every chunk it does not know.
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    // The two limits below are belt and braces: with every ancillary chunk
    // passed over, no text or profile reaches either. They stay so that a
    // chunk the library might still handle is neither kept (1: none at
    // all) nor allocated past the data's length (0 would lift the bound).
    png_set_chunk_cache_max(png, 1);
    png_set_chunk_malloc_max(png, std::max<png_alloc_size_t>(dataBytes, 1));
    png_set_user_limits(png, kMaximumSide, kMaximumSide);
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
