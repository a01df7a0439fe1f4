// The orientation tag of a JPEG's EXIF block, read without a library: the
// markers are walked to the APP1 segment that starts "Exif\0\0", whose TIFF
// header gives the byte order and the first directory, where tag 0x0112
// holds the orientation.
#include "platform/graphics/StillFormats.h"

namespace cg::still {

namespace {

struct Tiff {
    std::span<const uint8_t> bytes;
    bool little;

    bool has(size_t at, size_t n) const { return at <= bytes.size() && n <= bytes.size() - at; }
    uint16_t u16(size_t at) const {
        return little ? uint16_t(bytes[at] | bytes[at + 1] << 8) : uint16_t(bytes[at] << 8 | bytes[at + 1]);
    }
    uint32_t u32(size_t at) const {
        return little ? uint32_t(u16(at)) | uint32_t(u16(at + 2)) << 16 : uint32_t(u16(at)) << 16 | u16(at + 2);
    }
};

int orientationInTiff(std::span<const uint8_t> bytes) {
    if (bytes.size() < 8) return 1;
    Tiff tiff{bytes, bytes[0] == 'I' && bytes[1] == 'I'};
    if (!tiff.little && !(bytes[0] == 'M' && bytes[1] == 'M')) return 1;
    if (tiff.u16(2) != 42) return 1;
    size_t directory = tiff.u32(4);
    if (!tiff.has(directory, 2)) return 1;
    unsigned entries = tiff.u16(directory);
    for (unsigned i = 0; i < entries; ++i) {
        size_t entry = directory + 2 + size_t(i) * 12;
        if (!tiff.has(entry, 12)) return 1;
        if (tiff.u16(entry) != 0x0112) continue;
        // SHORT, one value, held in the entry itself.
        if (tiff.u16(entry + 2) != 3) return 1;
        int value = tiff.u16(entry + 8);
        return value >= 1 && value <= 8 ? value : 1;
    }
    return 1;
}

}  // namespace

int jpegOrientation(std::span<const uint8_t> data) {
    if (data.size() < 4 || data[0] != 0xFF || data[1] != 0xD8) return 1;
    size_t at = 2;
    while (at + 4 <= data.size()) {
        if (data[at] != 0xFF) return 1;
        uint8_t marker = data[at + 1];
        if (marker == 0xFF) {  // fill byte
            at++;
            continue;
        }
        // Image data begins: no EXIF block came before it.
        if (marker == 0xDA || marker == 0xD9) return 1;
        size_t length = size_t(data[at + 2]) << 8 | data[at + 3];
        if (length < 2) return 1;
        if (at + 2 + length > data.size()) return 1;
        if (marker == 0xE1 && length >= 8 && std::equal(data.begin() + long(at) + 4, data.begin() + long(at) + 10,
                                                        "Exif\0\0")) {
            return orientationInTiff(data.subspan(at + 10, length - 8));
        }
        at += 2 + length;
    }
    return 1;
}

}  // namespace cg::still
