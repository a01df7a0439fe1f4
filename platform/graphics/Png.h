#pragma once
// PNG writing, and the limits every PNG reader sets (the image source's
// progressive reader, StillFormats.h, decodes). Stored values are written
// as they are (no gamma or colour-profile conversion), so a round trip
// through the reader keeps the pixels.

#include <cstdint>
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

// RGBA for bitmaps with alpha (premultiplication undone), RGB otherwise.
// Empty, with the reason in *error, for an empty bitmap (PNG has no 0-pixel
// side).
std::vector<uint8_t> encodePng(const Bitmap& bitmap, std::string* error = nullptr);
bool writePngFile(const Bitmap& bitmap, const std::string& path, std::string* error = nullptr);

}  // namespace cg
