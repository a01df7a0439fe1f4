#include "platform/graphics/TiffDirectories.h"

#include <algorithm>
#include <optional>

#include "platform/foundation/Log.h"

namespace cg::still {

namespace {

// The file's byte order, read from its header.
struct Layout {
    std::span<const uint8_t> data;
    bool little = true;

    bool has(uint64_t at, uint64_t bytes) const { return at <= data.size() && bytes <= data.size() - at; }
    uint64_t get(uint64_t at, unsigned bytes) const {
        uint64_t v = 0;
        for (unsigned i = 0; i < bytes; ++i) {
            const uint64_t b = data[size_t(at + i)];
            v = little ? v | b << (8 * i) : v << 8 | b;
        }
        return v;
    }
};

constexpr unsigned kCountBytes = 2;
constexpr unsigned kEntryBytes = 12;
// An entry's value field: values no longer lie in it, the others at the
// offset it holds.
constexpr unsigned kOffsetBytes = 4;

std::optional<Layout> layoutOf(std::span<const uint8_t> data) {
    if (data.size() < 8) return std::nullopt;
    Layout layout{data};
    if (data[0] == 'I' && data[1] == 'I') layout.little = true;
    else if (data[0] == 'M' && data[1] == 'M') layout.little = false;
    else return std::nullopt;
    if (layout.get(2, 2) != 42) return std::nullopt;
    return layout;
}

// The bytes of one value of a field type; types the format does not define
// count a byte, the least an entry can name.
uint64_t typeBytes(uint64_t type) {
    switch (type) {
        case 3: case 8: return 2;                             // SHORT, SSHORT
        case 4: case 9: case 11: case 13: return 4;           // LONG, SLONG, FLOAT, IFD
        case 5: case 10: case 12: case 16: case 17: case 18:  // RATIONAL, SRATIONAL, DOUBLE, LONG8, SLONG8, IFD8
            return 8;
        default: return 1;
    }
}

// The arrays of strip and tile offsets and byte counts.
bool isStripArray(uint64_t tag) { return tag == 273 || tag == 279 || tag == 324 || tag == 325; }

struct Directory {
    uint64_t entries = 0;
    // What its values outside their entries come to; not summed when its
    // entries pass a page's rule.
    uint64_t valueBytes = 0;
    uint64_t next = 0;
};

// The directory at `at`, its entries read only when they are within a
// page's rule; nothing when it does not lie in the data.
std::optional<Directory> directoryAt(const Layout& layout, uint64_t at) {
    if (at == 0 || !layout.has(at, kCountBytes)) return std::nullopt;
    Directory directory;
    directory.entries = layout.get(at, kCountBytes);
    if (directory.entries > MaximumTiffEntriesPerPage) return directory;
    const uint64_t first = at + kCountBytes;
    if (!layout.has(first, directory.entries * kEntryBytes)) return std::nullopt;
    for (uint64_t i = 0; i < directory.entries; ++i) {
        const uint64_t entry = first + i * kEntryBytes;
        const uint64_t tag = layout.get(entry, 2);
        const uint64_t each = typeBytes(layout.get(entry + 2, 2));
        const uint64_t count = layout.get(entry + 4, 4);
        const uint64_t bytes = count > UINT64_MAX / each ? UINT64_MAX : count * each;
        if (bytes <= kOffsetBytes || isStripArray(tag)) continue;
        directory.valueBytes = bytes > UINT64_MAX - directory.valueBytes ? UINT64_MAX : directory.valueBytes + bytes;
    }
    // A chain cut short after the entries ends there, as libtiff reads it.
    const uint64_t next = first + directory.entries * kEntryBytes;
    if (layout.has(next, kOffsetBytes)) directory.next = layout.get(next, kOffsetBytes);
    return directory;
}

}  // namespace

std::vector<uint64_t> tiffDirectories(std::span<const uint8_t> data, size_t maximumPages) {
    std::vector<uint64_t> pages;
    const auto layout = layoutOf(data);
    if (!layout) return pages;
    uint64_t entries = 0, valueBytes = 0;
    for (uint64_t at = layout->get(4, 4); pages.size() < maximumPages;) {
        if (std::find(pages.begin(), pages.end(), at) != pages.end()) break;  // a loop
        const auto directory = directoryAt(*layout, at);
        if (!directory) break;
        const size_t page = pages.size();
        if (directory->entries > MaximumTiffEntriesPerPage) {
            ns::log("TIFF: page %zu of a %zu-byte file has %llu directory entries, more than the %llu a page may "
                    "have; it and the pages after it are not read",
                    page, data.size(), static_cast<unsigned long long>(directory->entries),
                    static_cast<unsigned long long>(MaximumTiffEntriesPerPage));
            break;
        }
        if (entries + directory->entries > MaximumTiffEntriesPerFile) {
            ns::log("TIFF: the pages of a %zu-byte file up to page %zu have more than %llu directory entries; it "
                    "and the pages after it are not read",
                    data.size(), page, static_cast<unsigned long long>(MaximumTiffEntriesPerFile));
            break;
        }
        if (directory->valueBytes > data.size() - valueBytes) {
            ns::log("TIFF: the entries of a %zu-byte file up to page %zu name more value bytes than it holds; it "
                    "and the pages after it are not read",
                    data.size(), page);
            break;
        }
        entries += directory->entries;
        valueBytes += directory->valueBytes;
        pages.push_back(at);
        at = directory->next;
    }
    return pages;
}

bool tiffDirectoryWeighed(std::span<const uint8_t> data, uint64_t offset) {
    const auto layout = layoutOf(data);
    if (!layout) return false;
    const auto directory = directoryAt(*layout, offset);
    return directory && directory->entries <= MaximumTiffEntriesPerPage && directory->valueBytes <= data.size();
}

}  // namespace cg::still
