// ICO (and CUR, its twin with hot spots), read and written here: a 6-byte
// header, then one 16-byte directory entry per picture giving where its
// bytes lie; each picture is a PNG or a BMP without its file header (with
// the AND mask, read by the BMP reader). The writer writes one entry with
// a PNG inside.

#include <algorithm>
#include <map>
#include <utility>

#include "platform/foundation/Log.h"
#include "platform/graphics/CodecWork.h"
#include "platform/graphics/Png.h"
#include "platform/graphics/StillFormats.h"

namespace cg::still {

namespace {

constexpr size_t kHeaderBytes = 6;
constexpr size_t kEntryBytes = 16;
// The bytes that entries sharing the file's bytes may name together.
constexpr uint64_t kEntryBytesRead = uint64_t(64) << 20;

uint16_t u16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t u32(const uint8_t* p) { return uint32_t(u16(p)) | uint32_t(u16(p + 2)) << 16; }

// The bytes of every entry the directory lists that lie inside the data,
// in file order; nothing for data that is no ICO.
std::vector<std::span<const uint8_t>> entries(std::span<const uint8_t> data) {
    std::vector<std::span<const uint8_t>> found;
    work::directoryWalk();
    if (data.size() < kHeaderBytes || u16(data.data()) != 0) return found;
    uint16_t type = u16(data.data() + 2);
    if (type != 1 && type != 2) return found;
    size_t count = u16(data.data() + 4);
    for (size_t i = 0; i < count; ++i) {
        size_t at = kHeaderBytes + i * kEntryBytes;
        if (data.size() < at + kEntryBytes) break;
        uint32_t length = u32(data.data() + at + 8), offset = u32(data.data() + at + 12);
        if (length == 0 || offset > data.size() || length > data.size() - offset) {
            found.emplace_back();  // keeps the others' places; never a picture
            continue;
        }
        found.push_back(data.subspan(offset, length));
    }
    return found;
}

}  // namespace

std::vector<Header> icoPictures(std::span<const uint8_t> data) {
    std::vector<Header> pictures;
    auto all = entries(data);
    // Entries may all name the same bytes: each place is read once, so
    // that a directory of 65,535 entries costs one header read, not one an
    // entry. Each picture decoded reads its entry's bytes again, so the
    // entries read hold together no more than the file's own bytes (as
    // entries that do not overlap do) or, when they share them, than
    // kEntryBytesRead; those past it are not read.
    const uint64_t allowance = std::max<uint64_t>(data.size(), kEntryBytesRead);
    uint64_t named = 0;
    std::map<std::pair<size_t, size_t>, std::optional<Header>> read;
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i].empty()) continue;
        named += all[i].size();
        if (named > allowance) {
            ns::log("ICO: read the first %zu of %zu entries: the rest name more than %llu MiB of the file again",
                    i, all.size(), (unsigned long long)(allowance >> 20));
            break;
        }
        const size_t offset = size_t(all[i].data() - data.data());
        auto [place, fresh] = read.try_emplace({offset, all[i].size()});
        if (fresh) place->second = startsAsPng(all[i]) ? pngHeader(all[i]) : icoBitmapHeader(all[i]);
        std::optional<Header> header = place->second;
        if (!header) continue;
        header->interlace = 0;
        header->entry = i;
        header->offset = offset;
        header->length = all[i].size();
        pictures.push_back(*header);
    }
    return pictures;
}

std::optional<Decoded> decodeIco(std::span<const uint8_t> data, const Header& picture) {
    auto bytes = pictureBytes(data, picture);
    if (!bytes || bytes->empty()) return std::nullopt;
    std::optional<Decoded> decoded = startsAsPng(*bytes) ? decodePng(*bytes, true) : decodeIcoBitmap(*bytes);
    if (!decoded) return std::nullopt;
    decoded->header.entry = picture.entry;
    return decoded;
}

std::vector<uint8_t> encodeIco(const Bitmap& bitmap) {
    std::vector<uint8_t> png = encodePng(bitmap);
    if (png.empty() || png.size() > UINT32_MAX - kHeaderBytes - kEntryBytes) return {};
    std::vector<uint8_t> out;
    auto put16 = [&](uint32_t v) { out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)}); };
    auto put32 = [&](uint32_t v) { put16(v & 0xFFFF), put16(v >> 16); };
    put16(0);
    put16(1);  // icon
    put16(1);  // one entry
    // A side of 256 pixels or more does not fit the byte: 0 stands for it,
    // and the PNG gives the true size.
    out.push_back(bitmap.width() >= 256 ? 0 : uint8_t(bitmap.width()));
    out.push_back(bitmap.height() >= 256 ? 0 : uint8_t(bitmap.height()));
    out.push_back(0);  // no colour table
    out.push_back(0);
    put16(1);   // planes
    put16(32);  // bits per pixel
    put32(uint32_t(png.size()));
    put32(uint32_t(kHeaderBytes + kEntryBytes));
    out.insert(out.end(), png.begin(), png.end());
    return out;
}

}  // namespace cg::still
