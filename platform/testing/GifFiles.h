#pragma once
// GIF files that cost far more decoded than their size, for tests: dots
// on a large screen (each frame a picture of the whole screen), and
// hundreds of thousands of one-pixel frames.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/graphics/GifWriter.h"

namespace testing {

// `count` frames of one pixel each, red and green in turn, along the top
// row of a square screen (wrapping), each of `delay` hundredths.
inline std::vector<uint8_t> gifOfDots(int side, size_t count, int delay = 4) {
    cg::gif::WriterFile file;
    file.width = file.height = side;
    file.globalPalette = {0xFF0000, 0x00FF00};
    for (size_t i = 0; i < count; ++i) {
        cg::gif::WriterFrame frame;
        frame.left = int(i % size_t(side));
        frame.width = frame.height = 1;
        frame.indices = {uint8_t(i % 2)};
        frame.delayCentiseconds = delay;
        file.frames.push_back(frame);
    }
    return cg::gif::write(file);
}

// `count` frames of one pixel on a screen of one pixel, frame i of the
// colour (i % 256, 255 - i % 256, 0) of a global table of 256 colours,
// written record by record: 17 bytes a frame.
inline std::vector<uint8_t> gifOfOnePixelFrames(size_t count) {
    std::vector<uint8_t> out = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0xF7, 0, 0};
    for (int c = 0; c < 256; ++c) out.insert(out.end(), {uint8_t(c), uint8_t(255 - c), 0});
    out.reserve(out.size() + 17 * count + 1);
    for (size_t i = 0; i < count; ++i) {
        out.insert(out.end(), {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 8});
        // Clear, the pixel, end: three codes of nine bits.
        uint32_t codes = 256u | uint32_t(i % 256) << 9 | 257u << 18;
        out.insert(out.end(), {4, uint8_t(codes), uint8_t(codes >> 8), uint8_t(codes >> 16), uint8_t(codes >> 24), 0});
    }
    out.push_back(0x3B);
    return out;
}

}  // namespace testing
