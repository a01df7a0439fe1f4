#pragma once
// PNG reading and writing. Every PNG colour type and bit depth decodes to
// 8 bits per component: files with an alpha channel or a transparency chunk
// become premultiplied ARGB32, the rest RGB24. Stored values are taken as
// they are (no gamma or colour-profile conversion), so a round trip keeps
// the pixels.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/graphics/Bitmap.h"

// libpng's read structure (png_structp), named here so that callers need
// not include the library's header.
struct png_struct_def;

namespace cg {

// Configures a read structure before it reads a byte of `dataBytes` of
// data, as every PNG reader here does: only the chunks that make the
// picture are read (IHDR, PLTE, tRNS, IDAT, IEND); text, colour profiles,
// suggested palettes and every chunk the library does not know are passed
// over without being inflated or kept. No chunk the library holds may be
// longer than the data, and no side longer than libpng's own default.
void limitPngReader(png_struct_def* png, size_t dataBytes);

// Nothing, with the reason in *error when given, for data that is not a
// whole, valid PNG.
std::optional<Bitmap> decodePng(std::span<const uint8_t> data, std::string* error = nullptr);
std::optional<Bitmap> readPngFile(const std::string& path, std::string* error = nullptr);

// RGBA for bitmaps with alpha (premultiplication undone), RGB otherwise.
// Empty, with the reason in *error, for an empty bitmap (PNG has no 0-pixel
// side).
std::vector<uint8_t> encodePng(const Bitmap& bitmap, std::string* error = nullptr);
bool writePngFile(const Bitmap& bitmap, const std::string& path, std::string* error = nullptr);

}  // namespace cg
