#include "platform/testing/TiffFiles.h"

#include <zlib.h>

#include <algorithm>
#include <stdexcept>

namespace testing {

namespace {

using Bytes = std::vector<uint8_t>;

void le16(Bytes& out, uint32_t v) { out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)}); }
void le32(Bytes& out, uint32_t v) { le16(out, v & 0xFFFF), le16(out, v >> 16); }
void put32(Bytes& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + size_t(i)] = uint8_t(v >> (8 * i));
}

constexpr uint16_t Short = 3, Long = 4;

// One directory entry: `count` values of `type`, all `value`; kept in the
// entry when they fit, else at `shared` (an array written once).
struct Entry {
    uint16_t tag, type;
    uint32_t count, value, shared = 0;
};

void putEntry(Bytes& out, const Entry& e) {
    le16(out, e.tag);
    le16(out, e.type);
    le32(out, e.count);
    const uint32_t bytes = e.count * (e.type == Short ? 2 : 4);
    if (bytes > 4) {
        le32(out, e.shared);
    } else if (e.type == Short) {
        le16(out, e.value), le16(out, e.count > 1 ? e.value : 0);
    } else {
        le32(out, e.value);
    }
}

// `count` values of `type`, all `value`, where the file is now.
uint32_t putArray(Bytes& out, uint16_t type, uint32_t count, uint32_t value) {
    const uint32_t at = uint32_t(out.size());
    if (count * (type == Short ? 2u : 4u) <= 4) return at;
    out.reserve(out.size() + size_t(count) * (type == Short ? 2 : 4));
    for (uint32_t i = 0; i < count; ++i) type == Short ? le16(out, value) : le32(out, value);
    return at;
}

// One page's payload and arrays, written where the file is now (each on a
// word); its directory's entries, in tag order.
std::vector<Entry> putPage(Bytes& out, const TiffLayout& layout) {
    if (out.size() % 2) out.push_back(0);
    const uint32_t payloadAt = uint32_t(out.size());
    out.insert(out.end(), layout.payload.begin(), layout.payload.end());
    if (out.size() % 2) out.push_back(0);  // entries and arrays start on a word

    const bool tiled = layout.tileSide > 0;
    uint32_t count = 0;
    if (tiled) {
        const uint64_t across = (uint64_t(layout.width) + layout.tileSide - 1) / layout.tileSide;
        const uint64_t down = (uint64_t(layout.height) + layout.tileSide - 1) / layout.tileSide;
        count = uint32_t(across * down);
    } else {
        const uint32_t rows = layout.rowsPerStrip ? layout.rowsPerStrip : layout.height;
        count = uint32_t((uint64_t(layout.height) + rows - 1) / rows);
    }
    if (layout.separatePlanes) count *= layout.samples;
    const uint16_t offsetType = payloadAt < 65536 ? Short : Long;
    const uint16_t lengthType = layout.payload.size() < 65536 ? Short : Long;
    const uint32_t length = uint32_t(layout.payload.size());
    const uint32_t offsets = putArray(out, offsetType, count, payloadAt);
    if (layout.oneArray && (length != payloadAt || offsetType != lengthType)) {
        throw std::invalid_argument("one array needs a payload of 8 bytes");
    }
    const uint32_t lengths = layout.oneArray ? offsets : putArray(out, lengthType, count, length);

    std::vector<Entry> entries = {
        {256, Long, 1, layout.width},        {257, Long, 1, layout.height}, {258, Short, 1, layout.bits},
        {259, Short, 1, layout.compression}, {262, Short, 1, layout.photometric},
    };
    if (tiled) {
        entries.push_back({277, Short, 1, layout.samples});
        entries.push_back({322, Long, 1, layout.tileSide});
        entries.push_back({323, Long, 1, layout.tileSide});
        entries.push_back({324, offsetType, count, payloadAt, offsets});
        entries.push_back({325, lengthType, count, length, lengths});
    } else {
        entries.push_back({273, offsetType, count, payloadAt, offsets});
        entries.push_back({277, Short, 1, layout.samples});
        entries.push_back({278, Long, 1, layout.rowsPerStrip ? layout.rowsPerStrip : layout.height});
        entries.push_back({279, lengthType, count, length, lengths});
    }
    if (layout.extraSample) entries.push_back({338, Short, 1, layout.extraSample});
    if (layout.separatePlanes) entries.push_back({284, Short, 1, 2});
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
    return entries;
}

// A directory where the file is now, naming the next one right after it
// unless it is the last.
void putDirectory(Bytes& out, const std::vector<Entry>& entries, bool last) {
    le16(out, uint32_t(entries.size()));
    for (const Entry& e : entries) putEntry(out, e);
    le32(out, last ? 0 : uint32_t(out.size() + 4));
}

Bytes header() { return {'I', 'I', 42, 0, 0, 0, 0, 0}; }

// `layout` deflated, its payload one strip or tile of zeros.
TiffLayout flattened(TiffLayout layout) {
    const uint64_t rows = layout.tileSide ? layout.tileSide : layout.rowsPerStrip ? layout.rowsPerStrip : layout.height;
    const uint64_t across = layout.tileSide ? layout.tileSide : layout.width;
    layout.compression = 8;
    const uint64_t samples = layout.separatePlanes ? 1 : layout.samples;
    layout.payload = deflateZeros(rows * across * samples * layout.bits / 8);
    return layout;
}

}  // namespace

Bytes tiffSharingOnePayload(const TiffLayout& layout) {
    Bytes out = header();
    const std::vector<Entry> entries = putPage(out, layout);
    put32(out, 4, uint32_t(out.size()));
    for (uint32_t page = 0; page < layout.pages; ++page) putDirectory(out, entries, page + 1 == layout.pages);
    return out;
}

Bytes flatTiffPages(const std::vector<TiffLayout>& layouts) {
    Bytes out = header();
    std::vector<std::vector<Entry>> pages;
    for (const TiffLayout& layout : layouts) pages.push_back(putPage(out, flattened(layout)));
    put32(out, 4, uint32_t(out.size()));
    for (size_t i = 0; i < pages.size(); ++i) {
        for (uint32_t page = 0; page < layouts[i].pages; ++page) {
            putDirectory(out, pages[i], i + 1 == pages.size() && page + 1 == layouts[i].pages);
        }
    }
    return out;
}

Bytes tiffWithPrivateTags(const TiffTags& tags) {
    constexpr uint16_t Undefined = 7;
    constexpr uint32_t stripAt = 8, blockAt = 10;
    const bool inEntry = tags.valueBytes <= 4;
    Bytes out = {'I', 'I', 42, 0, 0, 0, 0, 0, 0, 90};  // the strip: one literal byte
    out.resize(inEntry ? blockAt : blockAt + size_t(tags.valueBytes), 'A');
    const std::vector<Entry> own = {
        {256, Long, 1, 1},     {257, Long, 1, 1},     {258, Short, 1, 8}, {259, Short, 1, 32773}, {262, Short, 1, 1},
        {273, Long, 1, stripAt}, {277, Short, 1, 1}, {278, Long, 1, 1},  {279, Long, 1, 2},
    };
    put32(out, 4, uint32_t(out.size()));
    for (uint32_t page = 0; page < tags.pages; ++page) {
        out.reserve(out.size() + 6 + 12 * (own.size() + size_t(tags.privateTags)));
        le16(out, uint32_t(own.size() + tags.privateTags));
        for (const Entry& e : own) putEntry(out, e);
        for (uint32_t i = 0; i < tags.privateTags; ++i) {
            le16(out, 60000 + i);
            le16(out, Undefined);
            le32(out, tags.valueBytes);
            le32(out, inEntry ? 0x41414141 : blockAt);
        }
        le32(out, page + 1 < tags.pages ? uint32_t(out.size() + 4) : 0);
    }
    return out;
}

Bytes flatTiff(TiffLayout layout) { return tiffSharingOnePayload(flattened(std::move(layout))); }

Bytes deflateZeros(uint64_t size, bool whole, uint8_t fill) {
    z_stream z{};
    if (deflateInit(&z, 9) != Z_OK) throw std::runtime_error("deflateInit");
    const Bytes zeros(1 << 20, fill);
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
    for (uint64_t left = size; left > 0;) {
        const uint64_t piece = std::min<uint64_t>(left, zeros.size());
        z.next_in = const_cast<Bytef*>(zeros.data());
        z.avail_in = uInt(piece);
        drain(Z_NO_FLUSH);
        left -= piece;
    }
    drain(whole ? Z_FINISH : Z_SYNC_FLUSH);
    deflateEnd(&z);
    return out;
}

}  // namespace testing
