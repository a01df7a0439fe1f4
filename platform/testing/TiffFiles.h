#pragma once
// TIFF files built byte by byte, for tests and benchmarks: pages whose
// every strip or tile reads one payload, so that a small file names as many
// strips, tiles, samples and pages as a reader may be asked to weigh.

#include <cstdint>
#include <vector>

namespace testing {

struct TiffLayout {
    uint32_t width = 1;
    uint32_t height = 1;
    uint16_t samples = 1;
    uint16_t bits = 8;
    // 1 none, 8 deflate, 32773 PackBits.
    uint16_t compression = 1;
    // 1 grey, black at zero.
    uint16_t photometric = 1;
    // Strips of this many rows (0: one strip), or square tiles of this
    // side when `tileSide` is set.
    uint32_t rowsPerStrip = 0;
    uint32_t tileSide = 0;
    uint32_t pages = 1;
    // What every strip or tile of every page reads.
    std::vector<uint8_t> payload;
};

// A little-endian file of `layout.pages` identical pages. The pages share
// one offset array and one byte-count array (SHORT entries where the
// values fit, as the format allows), written once however many pages name
// them.
std::vector<uint8_t> tiffSharingOnePayload(const TiffLayout& layout);

// The same of a black picture: `layout` deflated, its payload one strip or
// tile of zeros.
std::vector<uint8_t> flatTiff(TiffLayout layout);

// `size` zero bytes (or bytes of `fill`) in a zlib stream: what a deflate strip of a flat
// picture holds. `whole` false stops after a sync flush: a valid stream
// cut short.
std::vector<uint8_t> deflateZeros(uint64_t size, bool whole = true, uint8_t fill = 0);

}  // namespace testing
