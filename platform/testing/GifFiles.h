#pragma once
// GIF files for tests and benchmarks, the one place they are written: files
// of solid frames as ordinary tools make them (through the platform's
// writer), and files written record by record in the shapes a hostile
// server would send: dots on a large screen, millions of one-pixel frames,
// frames of huge index rasters that compress to almost nothing, a colour
// table per frame, and delays that defeat a common step.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/GifWriter.h"

namespace testing {

// The screen after each frame as giflib reads the file whole (DGifSlurp),
// composed by the platform's compositor: what the image source's frames
// must come out as. Nothing when giflib cannot read the file.
std::vector<cg::Bitmap> composedByGiflib(std::span<const uint8_t> bytes);
// Which frames giflib decodes whole, reading record by record and stopping
// at the first that fails, as the platform's reader lists them.
std::vector<bool> decodedByGiflib(std::span<const uint8_t> bytes);

// ---- Ordinary files ----

// Frames filling the screen, frame i of the colour i % 4 of the table red,
// green, blue, white: one delay per frame, in hundredths (none: no graphics
// control extension).
struct SolidGif {
    int width = 4;
    int height = 4;
    std::optional<unsigned> loopCount;
    std::vector<std::optional<int>> delays;
};

inline constexpr std::array<uint32_t, 4> SolidGifColours = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};

inline cg::gif::WriterFile solidGifFile(const SolidGif& spec) {
    cg::gif::WriterFile file;
    file.width = spec.width;
    file.height = spec.height;
    file.globalPalette.assign(SolidGifColours.begin(), SolidGifColours.end());
    file.loopCount = spec.loopCount;
    for (size_t i = 0; i < spec.delays.size(); ++i) {
        cg::gif::WriterFrame frame;
        frame.width = spec.width;
        frame.height = spec.height;
        frame.indices.assign(size_t(spec.width) * size_t(spec.height), uint8_t(i % SolidGifColours.size()));
        frame.delayCentiseconds = spec.delays[i];
        file.frames.push_back(std::move(frame));
    }
    return file;
}

inline std::vector<uint8_t> solidGif(const SolidGif& spec) { return cg::gif::write(solidGifFile(spec)); }

// Frames of these delays (hundredths), each with its control extension.
inline std::vector<uint8_t> solidGif(const std::vector<int>& delays, int width = 4, int height = 4,
                                     std::optional<unsigned> loopCount = 0) {
    SolidGif spec{width, height, loopCount, {}};
    for (int delay : delays) spec.delays.push_back(delay);
    return solidGif(spec);
}

// A full first frame, then patches of `patchWidth` x `patchHeight` that
// move about with every disposal in turn (frame i disposes 1 + i % 3, the
// first 1), in 64 colours with the last transparent, as animated banners
// are made; `localTables` gives each frame a table of its own.
inline std::vector<uint8_t> gifOfMovingPatches(int width, int height, int frames, int patchWidth, int patchHeight,
                                               bool localTables = false) {
    cg::gif::WriterFile file;
    file.width = width;
    file.height = height;
    file.loopCount = 0;
    for (uint32_t i = 0; i < 64; ++i) file.globalPalette.push_back(i * 0x040404u + (i % 3) * 0x200000u);
    for (int i = 0; i < frames; ++i) {
        cg::gif::WriterFrame frame;
        const bool full = i == 0;
        frame.width = full ? width : patchWidth;
        frame.height = full ? height : patchHeight;
        frame.left = full ? 0 : (i * 37) % (width - patchWidth);
        frame.top = full ? 0 : (i * 53) % (height - patchHeight);
        frame.delayCentiseconds = 5;
        frame.disposal = full ? 1 : 1 + i % 3;
        frame.transparentIndex = 63;
        for (int p = 0; p < frame.width * frame.height; ++p) frame.indices.push_back(uint8_t((p / 7 + i) % 64));
        if (localTables)
            for (uint32_t c = 0; c < 64; ++c) frame.localPalette.push_back(file.globalPalette[(c + uint32_t(i)) % 64]);
        file.frames.push_back(std::move(frame));
    }
    return cg::gif::write(file);
}

// Two full frames of a square screen in bands of 16 colours; `restoring`
// frames each restore what was under them, so a player keeps a second
// screen from the first.
inline std::vector<uint8_t> gifOfTwoFullFrames(int side, bool restoring) {
    cg::gif::WriterFile file;
    file.width = file.height = side;
    file.loopCount = 0;
    for (uint32_t i = 0; i < 16; ++i) file.globalPalette.push_back(i * 0x0F0F0Fu);
    for (int i = 0; i < 2; ++i) {
        cg::gif::WriterFrame frame;
        frame.width = frame.height = side;
        frame.delayCentiseconds = 10;
        frame.disposal = restoring ? 3 : 0;
        frame.indices.resize(size_t(side) * size_t(side));
        for (size_t p = 0; p < frame.indices.size(); ++p) {
            frame.indices[p] = uint8_t((p / size_t(side) / 64 + size_t(i)) % 16);
        }
        file.frames.push_back(std::move(frame));
    }
    return cg::gif::write(file);
}

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

// ---- Record by record ----

namespace gifrecords {

inline void le16(std::vector<uint8_t>& out, unsigned v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

// The colour (i, 255 - i, 3i) for entry i.
inline void table(std::vector<uint8_t>& out, int colours) {
    for (int i = 0; i < colours; ++i) out.insert(out.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(i * 3)});
}

// log2(colours) - 1, as a table's size field holds it.
inline uint8_t sizeField(int colours) {
    uint8_t field = 0;
    while ((2 << field) < colours) ++field;
    return field;
}

}  // namespace gifrecords

// A logical screen with a global table of `colours` entries (a power of
// two, 2 to 256; 0: none) and, with a loop count, its NETSCAPE2.0
// extension.
inline std::vector<uint8_t> gifScreen(int width, int height, int colours = 256,
                                      std::optional<unsigned> loopCount = 0) {
    std::vector<uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
    gifrecords::le16(out, unsigned(width));
    gifrecords::le16(out, unsigned(height));
    out.insert(out.end(), {uint8_t(colours ? 0xF0 | gifrecords::sizeField(colours) : 0), 0, 0});
    gifrecords::table(out, colours);
    if (loopCount) {
        std::string_view netscape = "\x21\xff\x0bNETSCAPE2.0\x03\x01";
        out.insert(out.end(), netscape.begin(), netscape.end());
        gifrecords::le16(out, *loopCount);
        out.push_back(0);
    }
    return out;
}

// A graphics control extension: delay in hundredths, disposal 0-3.
inline void gifControl(std::vector<uint8_t>& out, unsigned delay, int disposal = 0, int transparentIndex = -1) {
    out.insert(out.end(), {0x21, 0xF9, 4, uint8_t(disposal << 2 | (transparentIndex >= 0 ? 1 : 0))});
    gifrecords::le16(out, delay);
    out.insert(out.end(), {uint8_t(transparentIndex >= 0 ? transparentIndex : 0), 0});
}

// An image at (x, y) of width x height with a local table of
// `localColours` entries (0: none), followed by `data`: its minimum code
// size and sub-blocks, as gifImageData() gives them.
inline void gifImage(std::vector<uint8_t>& out, int x, int y, int width, int height, const std::vector<uint8_t>& data,
                     int localColours = 0) {
    out.push_back(0x2C);
    for (int v : {x, y, width, height}) gifrecords::le16(out, unsigned(v));
    out.push_back(uint8_t(localColours ? 0x80 | gifrecords::sizeField(localColours) : 0));
    gifrecords::table(out, localColours);
    out.insert(out.end(), data.begin(), data.end());
}

inline void gifEnd(std::vector<uint8_t>& out) { out.push_back(0x3B); }

// Packed codes as an image's data: the minimum code size byte, sub-blocks
// of up to 255 bytes, the empty block.
inline std::vector<uint8_t> gifSubBlocks(int minimumCodeSize, const std::vector<uint8_t>& packed) {
    std::vector<uint8_t> out = {uint8_t(minimumCodeSize)};
    for (size_t at = 0; at < packed.size(); at += 255) {
        const size_t n = std::min<size_t>(255, packed.size() - at);
        out.push_back(uint8_t(n));
        out.insert(out.end(), packed.begin() + long(at), packed.begin() + long(at + n));
    }
    out.push_back(0);
    return out;
}

// The LZW data of `count` indices, index(i) each, with the minimum code
// size, coded as giflib codes it (a clear code when the table is full) and
// cut into sub-blocks: the minimum code size byte, the blocks, the empty
// block. With `undefinedCode`, the first code is followed by one that no
// entry stands for yet, and a clear code: giflib decodes it as the first
// index and one more, so the data holds two indices more than `count`
// (the last two are not read).
template <class Index>
std::vector<uint8_t> gifImageData(int minimumCodeSize, size_t count, Index index, bool undefinedCode = false) {
    const int clear = 1 << minimumCodeSize;
    const int end = clear + 1;
    std::vector<uint8_t> packed;
    uint32_t accumulator = 0;
    int pending = 0;
    int bits = minimumCodeSize + 1;
    int next = end + 1;
    // child[code * 256 + c]: the code of the string `code` followed by c.
    std::vector<uint16_t> child(4096 * 256, 0);
    auto put = [&](int code) {
        accumulator |= uint32_t(code) << pending;
        pending += bits;
        while (pending >= 8) {
            packed.push_back(uint8_t(accumulator));
            accumulator >>= 8;
            pending -= 8;
        }
        if (next >= (1 << bits) && code <= 4095 && bits < 12) ++bits;
    };
    auto restart = [&] {
        put(clear);
        std::fill(child.begin(), child.end(), uint16_t(0));
        next = end + 1;
        bits = minimumCodeSize + 1;
    };
    restart();
    int string = -1;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t c = index(i);
        if (string < 0) {
            string = c;
            continue;
        }
        uint16_t& known = child[size_t(string) * 256 + c];
        if (known) {
            string = known;
            continue;
        }
        put(string);
        if (next >= 4095) {
            restart();
        } else {
            known = uint16_t(next++);
        }
        if (undefinedCode) {
            // The entry after the one giflib makes next.
            put(next);
            ++next;
            restart();
            undefinedCode = false;
        }
        string = c;
    }
    if (string >= 0) put(string);
    put(end);
    if (pending > 0) packed.push_back(uint8_t(accumulator));
    return gifSubBlocks(minimumCodeSize, packed);
}

// `count` frames of one pixel on a screen of one pixel, frame i of the
// colour (i % 256, 255 - i % 256, 0) of a global table of 256 colours,
// written record by record: 17 bytes a frame.
// The image data of one pixel of `index` at 8 bits a colour: clear, the
// pixel, end, three codes of nine bits in one sub-block.
inline std::vector<uint8_t> gifOnePixelData(uint8_t index) {
    const uint32_t codes = 256u | uint32_t(index) << 9 | 257u << 18;
    return {8, 4, uint8_t(codes), uint8_t(codes >> 8), uint8_t(codes >> 16), uint8_t(codes >> 24), 0};
}

inline std::vector<uint8_t> gifOfOnePixelFrames(size_t count) {
    std::vector<uint8_t> out = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0xF7, 0, 0};
    for (int c = 0; c < 256; ++c) out.insert(out.end(), {uint8_t(c), uint8_t(255 - c), 0});
    out.reserve(out.size() + 17 * count + 1);
    for (size_t i = 0; i < count; ++i) {
        out.insert(out.end(), {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0});
        const std::vector<uint8_t> data = gifOnePixelData(uint8_t(i % 256));
        out.insert(out.end(), data.begin(), data.end());
    }
    out.push_back(0x3B);
    return out;
}

// `count` one-pixel frames of colour 0 on a screen of one pixel, with
// delays of 0.02 s and 655.35 s in turn: steps of 0.02 s make 32,768 of
// them a pair. 23 bytes a frame.
inline std::vector<uint8_t> gifOfDelaysDefeatingTheStep(size_t count) {
    std::vector<uint8_t> out = gifScreen(1, 1, 2);
    const std::vector<uint8_t> pixel = {2, 2, 0x44, 0x01, 0};
    for (size_t i = 0; i < count; ++i) {
        gifControl(out, i % 2 ? 65535 : 2);
        gifImage(out, 0, 0, 1, 1, pixel);
    }
    gifEnd(out);
    return out;
}

// `count` frames of side x side index 0 (which compresses about 1,400 to
// one) on a screen of `screen` x `screen`, all sharing one coded raster;
// with `undefinedCode`, that raster holds one code no entry stands for yet
// (see gifImageData).
inline std::vector<uint8_t> gifOfZeroFrames(int screen, int side, size_t count, bool undefinedCode = false) {
    std::vector<uint8_t> out = gifScreen(screen, screen, 2);
    const std::vector<uint8_t> zeros =
        gifImageData(2, size_t(side) * size_t(side), [](size_t) { return uint8_t(0); }, undefinedCode);
    for (size_t i = 0; i < count; ++i) {
        gifControl(out, 4);
        gifImage(out, 0, 0, side, side, zeros);
    }
    gifEnd(out);
    return out;
}

// `count` one-pixel frames on a screen of one pixel, each with its own
// table of 256 colours (780 bytes a frame), frame i of colour i % 256.
inline std::vector<uint8_t> gifOfLocalTables(size_t count) {
    std::vector<uint8_t> out = gifScreen(1, 1, 0);
    for (size_t i = 0; i < count; ++i) {
        gifControl(out, 4);
        const uint8_t colour = uint8_t(i % 256);
        gifImage(out, 0, 0, 1, 1, gifOnePixelData(colour), 256);
    }
    gifEnd(out);
    return out;
}

}  // namespace testing
