#include "platform/testing/LoopbackImageServer.h"

#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>

#include "platform/foundation/Data.h"
#include "platform/testing/JpegFiles.h"

namespace testing {

namespace {

// Straight RGBA bytes: a gradient under noise, so neither format squeezes
// the picture to nothing.
std::vector<uint8_t> picture(int width, int height, bool alpha) {
    std::vector<uint8_t> rgba(std::size_t(width) * height * 4);
    uint32_t state = 0x2545F491u;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            state = state * 1103515245u + 12345u;
            uint8_t* p = &rgba[(std::size_t(y) * width + x) * 4];
            p[0] = uint8_t(x * 255 / std::max(1, width - 1) ^ (state >> 27));
            p[1] = uint8_t(y * 255 / std::max(1, height - 1) ^ (state >> 26));
            p[2] = uint8_t(state >> 24);
            p[3] = alpha ? uint8_t(128 + (x + y) % 128) : 255;
        }
    return rgba;
}

std::string base64(std::string_view text) {
    return ns::Data::make(std::vector<uint8_t>(text.begin(), text.end()))->base64EncodedString();
}

}  // namespace

std::string LoopbackImageServer::jpeg(int width, int height, bool progressive) {
    const std::vector<uint8_t> rgba = picture(width, height, false);
    JpegPicture jpeg;
    jpeg.width = width;
    jpeg.height = height;
    jpeg.progressive = progressive;
    jpeg.row = [&](int y, uint8_t* row) {
        const uint8_t* from = &rgba[std::size_t(y) * width * 4];
        for (int x = 0; x < width; ++x, from += 4, row += 4) row[0] = from[2], row[1] = from[1], row[2] = from[0];
    };
    const std::vector<uint8_t> out = jpegFile(jpeg);
    return std::string(out.begin(), out.end());
}

std::string LoopbackImageServer::png(int width, int height, bool interlaced, bool alpha) {
    std::vector<uint8_t> rgba = picture(width, height, alpha);
    png_structp writer = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(writer);
    std::string out;
    if (setjmp(png_jmpbuf(writer))) {
        png_destroy_write_struct(&writer, &info);
        throw std::runtime_error("loopback image server: cannot write a PNG");
    }
    png_set_write_fn(
        writer, &out,
        [](png_structp w, png_bytep bytes, png_size_t length) {
            static_cast<std::string*>(png_get_io_ptr(w))->append(reinterpret_cast<const char*>(bytes), length);
        },
        [](png_structp) {});
    png_set_IHDR(writer, info, png_uint_32(width), png_uint_32(height), 8,
                 alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(writer, info);
    if (!alpha) png_set_filler(writer, 0, PNG_FILLER_AFTER);
    std::vector<png_bytep> rows(height);
    for (int y = 0; y < height; ++y) rows[y] = &rgba[std::size_t(y) * width * 4];
    png_write_image(writer, rows.data());
    png_write_end(writer, nullptr);
    png_destroy_write_struct(&writer, &info);
    return out;
}

std::vector<std::string> LoopbackImageServer::split(const std::string& bytes, std::size_t size) {
    std::vector<std::string> pieces;
    if (size == 0) size = bytes.size();
    for (std::size_t at = 0; at < bytes.size(); at += size) pieces.push_back(bytes.substr(at, size));
    return pieces;
}

void LoopbackImageServer::serve(const std::string& path, ImageReply image) {
    std::string expected = image.user.empty() ? std::string() : "Basic " + base64(image.user + ":" + image.password);
    server_.route("GET", path, [image = std::move(image), expected](const RecordedRequest& request, Reply& reply) {
        if (!expected.empty() && request.header("Authorization") != expected) {
            reply = Reply::withStatus(401, "authorization required");
            reply.setHeader("WWW-Authenticate", "Basic realm=\"images\"");
            return;
        }
        reply.status = image.status;
        reply.setHeader("Content-Type", image.contentType);
        if (image.chunkSize == 0 && !image.gate) {
            reply.body = image.body;
            return;
        }
        reply.chunks = split(image.body, image.chunkSize);
        reply.announceLength = image.announceLength;
        reply.gate = image.gate;
    });
}

std::size_t LoopbackImageServer::requestCount(std::string_view path) const {
    std::size_t count = 0;
    for (const auto& request : server_.requests()) count += request.path == path;
    return count;
}

}  // namespace testing
