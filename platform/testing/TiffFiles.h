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
    // 1 associated alpha, 2 straight alpha: the last sample is alpha.
    uint16_t extraSample = 0;
    // Each sample in a plane of its own, its strips or tiles after the
    // previous sample's.
    bool separatePlanes = false;
    // The byte counts read from the offsets' array, which a payload of 8
    // bytes (its length the same as its offset) allows: one array names
    // every strip.
    bool oneArray = false;
};

// A little-endian file of `layout.pages` identical pages. The pages share
// one offset array and one byte-count array (SHORT entries where the
// values fit, as the format allows), written once however many pages name
// them.
std::vector<uint8_t> tiffSharingOnePayload(const TiffLayout& layout);

// The same of a black picture: `layout` deflated, its payload one strip or
// tile of zeros.
std::vector<uint8_t> flatTiff(TiffLayout layout);

// Black pages of several sizes: the pages of each layout in turn, each
// layout's sharing its payload as flatTiff's do.
std::vector<uint8_t> flatTiffPages(const std::vector<TiffLayout>& layouts);

// Pages of one grey pixel whose directories hold `privateTags` private
// tags after their own (numbered from 60000, a range libtiff knows
// nothing of), each naming `valueBytes` undefined bytes: values of four
// bytes or fewer lie in their entries, larger ones all name one block
// written once. What a reader that copies every value is asked for grows
// with tags times bytes, and its time with the square of the tags a page.
struct TiffTags {
    uint32_t privateTags = 0;
    uint32_t valueBytes = 2;
    uint32_t pages = 1;
};
std::vector<uint8_t> tiffWithPrivateTags(const TiffTags& tags);

// `size` zero bytes (or bytes of `fill`) in a zlib stream: what a deflate strip of a flat
// picture holds. `whole` false stops after a sync flush: a valid stream
// cut short.
std::vector<uint8_t> deflateZeros(uint64_t size, bool whole = true, uint8_t fill = 0);

}  // namespace testing
