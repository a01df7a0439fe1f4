// ICNS, read and written here: "icns" and the file's length (big-endian),
// then entries of a four-letter type, a length counting their own 8 bytes,
// and data. Entries holding a PNG or JPEG 2000 are the pictures; older raw
// bitmaps and masks are skipped with a log line (the first few by name,
// the rest counted), the table of contents, version and the like quietly. The writer writes one PNG entry of one of
// the fixed square sizes.
#include <array>
#include <cstring>
#include <string>

#include "platform/foundation/Log.h"
#include "platform/graphics/CodecWork.h"
#include "platform/graphics/Png.h"
#include "platform/graphics/StillFormats.h"

namespace cg::still {

namespace {

constexpr size_t kEntryHeaderBytes = 8;

uint32_t u32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

enum class Content { Png, Jpeg2000, Other };

Content contentOf(std::span<const uint8_t> bytes) {
    if (startsAsPng(bytes)) return Content::Png;
    if (startsAsJp2File(bytes) || startsAsJpeg2000Codestream(bytes)) return Content::Jpeg2000;
    return Content::Other;
}

// Entries that describe the file rather than hold a picture.
bool isDescription(std::string_view type) {
    return type == "TOC " || type == "icnV" || type == "name" || type == "info";
}

// The types of the square sizes written, by side.
struct FixedSize {
    int side;
    const char* type;
};
constexpr std::array<FixedSize, 7> kFixedSizes = {{
    {16, "icp4"}, {32, "icp5"}, {64, "icp6"}, {128, "ic07"}, {256, "ic08"}, {512, "ic09"}, {1024, "ic10"},
}};

// Skipped entries named in the log, one line each; more are counted in one
// line, as a file of nothing else may hold millions.
constexpr size_t kSkipsNamed = 8;

std::string printable(const std::string& type) {
    std::string text;
    for (char c : type) text += c >= 0x20 && c < 0x7F ? c : '?';
    return text;
}

}  // namespace

// Every whole entry in file order, each looked at as it is read: a file's
// entries are never all held at once. Reading stops at one whose length is
// impossible or runs past the data.
std::vector<Header> icnsPictures(std::span<const uint8_t> data) {
    std::vector<Header> pictures;
    if (data.size() < kEntryHeaderBytes || std::memcmp(data.data(), "icns", 4) != 0) return pictures;
    size_t skipped = 0;
    size_t at = kEntryHeaderBytes;
    work::directoryWalk();
    for (size_t entry = 0; data.size() - at >= kEntryHeaderBytes; ++entry) {
        const uint32_t length = u32(data.data() + at + 4);
        if (length < kEntryHeaderBytes || length > data.size() - at) break;
        const std::string type(reinterpret_cast<const char*>(data.data() + at), 4);
        const size_t offset = at + kEntryHeaderBytes;
        const std::span<const uint8_t> bytes = data.subspan(offset, length - kEntryHeaderBytes);
        at += length;
        std::optional<Header> header;
        switch (contentOf(bytes)) {
        case Content::Png:
            header = pngHeader(bytes);
            break;
        case Content::Jpeg2000:
            // Its size marker alone: the library's header read builds the
            // state of every tile, for each entry of a file of thousands.
            header = jpeg2000SizeHeader(bytes);
            break;
        case Content::Other:
            if (!isDescription(type) && ++skipped <= kSkipsNamed) {
                ns::log("ICNS: skipped the entry '%s' of %zu bytes: only PNG and JPEG 2000 entries are read",
                        printable(type), bytes.size());
            }
            continue;
        }
        if (!header) continue;
        header->interlace = 0;
        header->entry = entry;
        header->offset = offset;
        header->length = bytes.size();
        pictures.push_back(*header);
    }
    if (skipped > kSkipsNamed) {
        ns::log("ICNS: skipped %zu more entries that are not PNG or JPEG 2000", skipped - kSkipsNamed);
    }
    return pictures;
}

std::optional<Decoded> decodeIcns(std::span<const uint8_t> data, const Header& picture) {
    auto found = pictureBytes(data, picture);
    if (!found) return std::nullopt;
    std::span<const uint8_t> bytes = *found;
    std::optional<Decoded> decoded;
    switch (contentOf(bytes)) {
    case Content::Png: decoded = decodePng(bytes, true); break;
    case Content::Jpeg2000: decoded = decodeJpeg2000(bytes); break;
    case Content::Other: return std::nullopt;
    }
    if (decoded) decoded->header.entry = picture.entry;
    return decoded;
}

std::vector<uint8_t> encodeIcns(const Bitmap& bitmap) {
    const char* type = nullptr;
    for (const FixedSize& size : kFixedSizes) {
        if (bitmap.width() == size.side && bitmap.height() == size.side) type = size.type;
    }
    if (!type) {
        ns::log("ICNS: a %d x %d image cannot be written: icons are squares of 16, 32, 64, 128, 256, 512 or 1024 "
                "pixels",
                bitmap.width(), bitmap.height());
        return {};
    }
    std::vector<uint8_t> png = encodePng(bitmap);
    if (png.empty()) return {};
    std::vector<uint8_t> out;
    auto put32 = [&](uint32_t v) { out.insert(out.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}); };
    const uint32_t entryLength = uint32_t(kEntryHeaderBytes + png.size());
    out.insert(out.end(), {'i', 'c', 'n', 's'});
    put32(uint32_t(kEntryHeaderBytes) + entryLength);
    out.insert(out.end(), type, type + 4);
    put32(entryLength);
    out.insert(out.end(), png.begin(), png.end());
    return out;
}

}  // namespace cg::still
