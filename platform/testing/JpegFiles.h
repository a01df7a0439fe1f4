#pragma once
// JPEG files written by the library, for tests and benchmarks: ordinary
// pictures, baseline or progressive at the library's defaults, and
// progressive files whose last scan repeats, each repeat small to send
// and a pass over every block of its components.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace testing {

struct JpegPicture {
    int width = 0;
    int height = 0;
    // 1: rows of grey bytes; 3: rows of BGRX words (the native words of
    // an RGB24 bitmap).
    int components = 3;
    bool progressive = false;
    // Colour at full resolution (4:4:4) rather than the library's 4:2:0.
    bool fullColour = false;
    int quality = 90;
    // An EXIF block giving this orientation (none for 0).
    int orientation = 0;
    // Fills row y: `width` samples of `components` bytes (4 for colour).
    std::function<void(int y, uint8_t* row)> row;
};

std::vector<uint8_t> jpegFile(const JpegPicture& picture);

// Where a file's last scan begins (its Huffman tables first, when they
// come right before it), where its end-of-image marker lies (0 when it has
// none), and how many scans it has.
struct JpegScans {
    size_t lastBegins = 0;
    size_t end = 0;
    size_t count = 0;
};
JpegScans scansOf(const std::vector<uint8_t>& jpeg);

// A progressive file's last scan (with the Huffman tables just before it)
// repeated until the file holds `scans` scans. Empty when it has no scan.
std::vector<uint8_t> withLastScanRepeated(const std::vector<uint8_t>& jpeg, size_t scans);

}  // namespace testing
