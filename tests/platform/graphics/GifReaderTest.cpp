// The GIF reader keeps no frame's indices: listing a file checks each
// frame from its codes, and a player decodes each frame from the file as it
// composes it, only as far as its rows reach the screen. The check must
// agree with what giflib decodes, frame for frame, and the pictures with
// what the frames as written compose to.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "platform/graphics/GifFrames.h"
#include "platform/graphics/ImageSource.h"
#include "platform/testing/GifFiles.h"
#include "platform/testing/PeakBound.h"

namespace {

using testing::MiB;

std::shared_ptr<cg::ImageSource> source(const std::vector<uint8_t>& bytes) {
    return cg::ImageSource::createWithData(bytes);
}

TEST(GifReaderTest, FramesOfZerosAreListedWithoutKeepingTheirIndices) {
    // 16 frames of 4096 x 4096 zeros in about 185 KB: listing them makes
    // none of their 256 MiB of indices, and holds next to nothing.
    const auto bytes = testing::gifOfZeroFrames(4096, 4096, 16);
    ASSERT_LT(bytes.size(), 200'000u);
    testing::ResidentPeak peak = testing::peakFromHere();
    auto gif = source(bytes);
    testing::expectGrowthUnder(peak, 32 * MiB, "listing 16 frames of 4096 x 4096");
    ASSERT_EQ(gif->count(), 16u);
    for (size_t i = 0; i < 16; ++i) EXPECT_FALSE(gif->isBrokenAtIndex(i)) << i;
    // One open of the library, and nothing decoded: the codes tell.
    const cg::CodecWork listing = gif->counters().work;
    EXPECT_EQ(listing.libraryHeaderReads, 1u);
    EXPECT_EQ(listing.bytesInflated, 0u);

    // A picture decodes its frame once it is charged; the budget holds
    // four of these screens.
    auto first = gif->createImageAtIndex(0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->bitmap().pixel(4095, 4095), (cg::Pixel{255, 0, 255, 0}));
    EXPECT_EQ(gif->counters().work.bytesInflated, 4096u * 4096u);
    EXPECT_EQ(gif->counters().work.libraryHeaderReads, 2u);
}

TEST(GifReaderTest, FramesWithACodeNoEntryStandsForAreListedFromTheirCodes) {
    // The same 16 frames, each with a code giflib decodes as the last
    // string and one index more: listed from their codes, as the others.
    const auto bytes = testing::gifOfZeroFrames(4096, 4096, 16, true);
    ASSERT_LT(bytes.size(), 200'000u);
    auto gif = source(bytes);
    ASSERT_EQ(gif->count(), 16u);
    for (size_t i = 0; i < 16; ++i) EXPECT_FALSE(gif->isBrokenAtIndex(i)) << i;
    EXPECT_EQ(gif->counters().work.bytesInflated, 0u);
    auto first = gif->createImageAtIndex(0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->bitmap().pixel(4095, 4095), (cg::Pixel{255, 0, 255, 0}));
}

TEST(GifReaderTest, AFrameLargerThanItsScreenDecodesOnlyTheRowsThatReachIt) {
    // Frames of 4096 x 4096 indices on a screen of one pixel: each picture
    // is one pixel, and composing it decodes the frame's first row.
    auto gif = source(testing::gifOfZeroFrames(1, 4096, 16));
    ASSERT_EQ(gif->count(), 16u);
    for (size_t i = 0; i < 16; ++i) {
        auto picture = gif->createImageAtIndex(i);
        ASSERT_TRUE(picture) << i;
        EXPECT_EQ(picture->bitmap().pixel(0, 0), (cg::Pixel{255, 0, 255, 0})) << i;
    }
    const cg::CodecWork work = gif->counters().work;
    EXPECT_EQ(work.bytesInflated, 16u * 4096u);
    EXPECT_EQ(work.libraryHeaderReads, 2u);
    // Each is charged what it decodes, not its one pixel of screen.
    EXPECT_EQ(gif->budget()->pixelsCharged(), 16u * 4096u);

    // Interlaced, the rows reaching a screen of two come in the fourth
    // pass: half the frame is decoded to reach them, and charged.
    cg::gif::Frame frame;
    frame.width = 4096;
    frame.height = 4096;
    frame.interlaced = true;
    EXPECT_EQ(cg::gif::indicesToCompose(frame, 1, 1), 4096u);
    EXPECT_EQ(cg::gif::indicesToCompose(frame, 1, 2), 4096u * (2048 + 1));
    frame.interlaced = false;
    EXPECT_EQ(cg::gif::indicesToCompose(frame, 1, 2), 2u * 4096u);
    frame.top = 2;
    EXPECT_EQ(cg::gif::indicesToCompose(frame, 1, 2), 0u);
}

TEST(GifReaderTest, ATableInEveryFrameIsReadFromTheFileAsTheFrameIsDrawn) {
    auto gif = source(testing::gifOfLocalTables(300));
    ASSERT_EQ(gif->count(), 300u);
    for (size_t i = 0; i < 300; ++i) {
        auto picture = gif->createImageAtIndex(i);
        ASSERT_TRUE(picture) << i;
        const uint8_t c = uint8_t(i % 256);
        EXPECT_EQ(picture->bitmap().pixel(0, 0), (cg::Pixel{255, c, uint8_t(255 - c), uint8_t(c * 3)})) << i;
    }
}

// ---- The check beside giflib ----

using testing::decodedByGiflib;

// Frames of random sizes, places (some past the screen's edges), tables,
// interlacing, disposals and runs of indices.
cg::gif::WriterFile randomFile(std::mt19937& random) {
    cg::gif::WriterFile file;
    file.width = 8 + int(random() % 40);
    file.height = 8 + int(random() % 40);
    const int colours[] = {2, 4, 16, 256};
    auto palette = [&](int n) {
        std::vector<uint32_t> table;
        for (int i = 0; i < n; ++i) table.push_back(random() & 0xFFFFFF);
        return table;
    };
    file.globalPalette = palette(colours[random() % 4]);
    const int frames = 1 + int(random() % 6);
    for (int f = 0; f < frames; ++f) {
        cg::gif::WriterFrame frame;
        frame.left = int(random() % uint32_t(file.width));
        frame.top = int(random() % uint32_t(file.height));
        frame.width = 1 + int(random() % 60);
        frame.height = 1 + int(random() % 60);
        if (random() % 3 == 0) frame.localPalette = palette(colours[random() % 4]);
        const size_t n = frame.localPalette.empty() ? file.globalPalette.size() : frame.localPalette.size();
        frame.interlaced = random() % 2;
        frame.delayCentiseconds = int(random() % 20);
        frame.disposal = int(random() % 4);
        if (random() % 2) frame.transparentIndex = int(random() % n);
        // Runs of one index make long strings; noise makes short ones.
        const size_t run = 1 + random() % 200;
        uint8_t index = 0;
        for (int p = 0; p < frame.width * frame.height; ++p) {
            if (p % run == 0) index = uint8_t(random() % n);
            frame.indices.push_back(random() % 8 ? index : uint8_t(random() % n));
        }
        file.frames.push_back(std::move(frame));
    }
    return file;
}

// The screen after each frame, composed from the indices as written.
std::vector<cg::Bitmap> composedAsWritten(const cg::gif::WriterFile& file) {
    cg::gif::Compositor compositor(file.width, file.height);
    std::vector<uint32_t> global;
    for (uint32_t c : file.globalPalette) global.push_back(0xFF000000u | c);
    std::vector<cg::Bitmap> screens;
    for (const auto& f : file.frames) {
        std::vector<uint32_t> local;
        for (uint32_t c : f.localPalette) local.push_back(0xFF000000u | c);
        cg::gif::FrameView view{f.left,      f.top, f.width, f.height, f.indices.data(),
                                local.empty() ? std::span<const uint32_t>(global) : local,
                                f.transparentIndex, f.disposal};
        compositor.draw(view);
        screens.push_back(compositor.canvas());
    }
    return screens;
}

TEST(GifReaderTest, ATwoHundredFrameFileWithATablePerFrameReadsWithNoPixelOff) {
    // As tools write banners: a full first frame, then patches moving about
    // with every disposal, each with its own table and a transparent index.
    cg::gif::WriterFile file;
    file.width = file.height = 240;
    file.loopCount = 0;
    for (uint32_t i = 0; i < 64; ++i) file.globalPalette.push_back(i * 0x040404u + (i % 3) * 0x200000u);
    for (int i = 0; i < 200; ++i) {
        cg::gif::WriterFrame frame;
        const bool full = i == 0;
        frame.width = frame.height = full ? 240 : 80;
        frame.left = full ? 0 : (i * 37) % 160;
        frame.top = full ? 0 : (i * 53) % 160;
        frame.delayCentiseconds = 5;
        frame.disposal = full ? 1 : 1 + i % 3;
        frame.transparentIndex = 63;
        frame.interlaced = i % 5 == 0;
        for (int p = 0; p < frame.width * frame.height; ++p) frame.indices.push_back(uint8_t((p / 7 + i) % 64));
        for (uint32_t c = 0; c < 64; ++c) frame.localPalette.push_back(file.globalPalette[(c + uint32_t(i)) % 64]);
        file.frames.push_back(std::move(frame));
    }
    auto gif = source(cg::gif::write(file));
    ASSERT_EQ(gif->count(), 200u);
    const auto screens = composedAsWritten(file);
    for (size_t i = 0; i < screens.size(); ++i) {
        auto picture = gif->createImageAtIndex(i);
        ASSERT_TRUE(picture && picture->bitmap() == screens[i]) << i;
    }
    // Going back starts over and comes out the same.
    auto again = gif->createImageAtIndex(57);
    ASSERT_TRUE(again && again->bitmap() == screens[57]);
}

// The data of `codes` at the widths giflib reads them, after the minimum
// code size: each code read moves the running code on (to 4097 at most),
// widening the codes past each power of two up to 12 bits, and a clear
// code starts the widths over.
std::vector<uint8_t> codedAsRead(int minimumCodeSize, const std::vector<int>& codes) {
    const int clear = 1 << minimumCodeSize;
    int running = clear + 2, bits = minimumCodeSize + 1, maxCode = 1 << bits;
    std::vector<uint8_t> packed;
    uint32_t accumulator = 0;
    int pending = 0;
    for (int code : codes) {
        accumulator |= uint32_t(code) << pending;
        for (pending += bits; pending >= 8; pending -= 8, accumulator >>= 8) packed.push_back(uint8_t(accumulator));
        if (running < 4097 && ++running > maxCode && bits < 12) {
            maxCode <<= 1;
            ++bits;
        }
        if (code == clear) running = clear + 2, bits = minimumCodeSize + 1, maxCode = 1 << bits;
    }
    if (pending > 0) packed.push_back(uint8_t(accumulator));
    return testing::gifSubBlocks(minimumCodeSize, packed);
}

// Codes as no encoder writes them: indices and entries already made (the
// latest most often, for long strings), codes past the entry being made
// that no entry stands for yet (entries made after them link to them, or
// loop back), clear codes and now and then an end code. Half the frames
// have such a code among their first four, read before the frame is whole.
struct HostileCodes {
    std::vector<int> codes;
    bool undefinedEarly = false;
};

HostileCodes hostileCodes(std::mt19937& random, int minimumCodeSize, size_t count) {
    const int clear = 1 << minimumCodeSize;
    const int first = clear + 2;
    int running = first, bits = minimumCodeSize + 1;
    HostileCodes made;
    const size_t early = random() % 2 ? 1 + random() % 4 : SIZE_MAX;
    for (size_t i = 0; i < count; ++i) {
        // The running code moves on as the code is read: entries below
        // `entry` are made (but for the first code after a clear).
        const int next = std::min(running + 1, 4097);
        const int entry = next - 2;
        const int widest = 1 << (next > (1 << bits) && bits < 12 ? bits + 1 : bits);
        const uint32_t pick = random() % 1000;
        int code;
        if ((i == early || pick < 5) && entry + 1 < std::min(widest, 4096)) {
            code = entry + 1 + int(random() % uint32_t(std::min(widest, 4096) - entry - 1));
            made.undefinedEarly |= i == early;
        } else if (pick < 15 && i > 0) {
            code = clear;
        } else if (pick < 17) {
            code = clear + 1;
        } else if (pick < 550 && entry > first) {
            code = std::max(first, entry - 1 - int(random() % 8));
        } else if (pick < 850 && entry > first) {
            code = first + int(random() % uint32_t(entry - first));
        } else {
            code = int(random() % uint32_t(clear));
        }
        made.codes.push_back(code);
        if (running < 4097 && ++running > (1 << bits) && bits < 12) ++bits;
        if (code == clear) running = first, bits = minimumCodeSize + 1;
    }
    return made;
}

TEST(GifReaderTest, TheCheckAgreesWithGiflibOnCodesNoEncoderWrites) {
    std::mt19937 random(51);
    size_t complete = 0, completeThroughUndefined = 0, broken = 0;
    for (int round = 0; round < 4000; ++round) {
        SCOPED_TRACE(round);
        const int minimumCodeSize = 1 + int(random() % 8);
        const int width = 1 + int(random() % 64), height = 1 + int(random() % 64);
        const HostileCodes codes = hostileCodes(random, minimumCodeSize, size_t(width) * size_t(height));
        std::vector<uint8_t> bytes = testing::gifScreen(width, height, 1 << std::max(minimumCodeSize, 1));
        testing::gifImage(bytes, 0, 0, width, height, codedAsRead(minimumCodeSize, codes.codes));
        testing::gifEnd(bytes);
        const std::vector<bool> expected = decodedByGiflib(bytes);
        ASSERT_EQ(expected.size(), 1u);
        auto gif = source(bytes);
        ASSERT_EQ(gif->count(), 1u);
        ASSERT_EQ(!gif->isBrokenAtIndex(0), bool(expected[0])) << minimumCodeSize << " " << width << "x" << height;
        (expected[0] ? complete : broken) += 1;
        completeThroughUndefined += expected[0] && codes.undefinedEarly && width * height >= 64;
    }
    std::printf("%zu frames of hostile codes whole (%zu through a code no entry stood for), %zu broken\n", complete,
                completeThroughUndefined, broken);
    EXPECT_GT(completeThroughUndefined, 200u);
    EXPECT_GT(broken, 500u);
}

// Files as common tools write them at their defaults (gif_from_tools/make.sh):
// every frame whole, each picture as giflib reads the file.
TEST(GifReaderTest, FilesMadeByCommonToolsReadWithNoPixelOff) {
    for (const char* name : {"pillow.gif", "pillow-noise.gif", "gifsicle.gif", "gifsicle-interlaced-noise.gif"}) {
        SCOPED_TRACE(name);
        std::ifstream in(std::string(GIF_FILES_FROM_TOOLS) + "/" + name, std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_FALSE(bytes.empty());
        const std::vector<cg::Bitmap> screens = testing::composedByGiflib(bytes);
        ASSERT_FALSE(screens.empty());
        auto gif = source(bytes);
        ASSERT_EQ(gif->count(), screens.size());
        EXPECT_EQ(gif->counters().work.bytesInflated, 0u);
        for (size_t i = 0; i < screens.size(); ++i) {
            EXPECT_FALSE(gif->isBrokenAtIndex(i)) << i;
            auto picture = gif->createImageAtIndex(i);
            ASSERT_TRUE(picture) << i;
            EXPECT_TRUE(picture->bitmap() == screens[i]) << "frame " << i;
        }
    }
}

TEST(GifReaderTest, FramesComposeAsWrittenAndTheCheckAgreesWithGiflibOnDamagedData) {
    std::mt19937 random(46);
    size_t damagedFrames = 0;
    size_t brokenFrames = 0;
    for (int round = 0; round < 400; ++round) {
        SCOPED_TRACE(round);
        const cg::gif::WriterFile file = randomFile(random);
        const std::vector<uint8_t> bytes = cg::gif::write(file);
        ASSERT_FALSE(bytes.empty());
        auto gif = source(bytes);
        ASSERT_EQ(gif->count(), file.frames.size());
        const auto screens = composedAsWritten(file);
        for (size_t i = 0; i < screens.size(); ++i) {
            auto picture = gif->createImageAtIndex(i);
            ASSERT_TRUE(picture) << i;
            ASSERT_TRUE(picture->bitmap() == screens[i]) << "frame " << i;
        }

        // Bytes changed or cut past the screen's description: the frames
        // listed, and which of them are whole, are giflib's.
        std::vector<uint8_t> damaged = bytes;
        const size_t start = 13 + (size_t(1) << ((bytes[10] & 7) + 1)) * 3;
        const int changes = 1 + int(random() % 4);
        for (int c = 0; c < changes; ++c) damaged[start + random() % (damaged.size() - start)] = uint8_t(random());
        if (random() % 3 == 0) damaged.resize(start + random() % (damaged.size() - start));
        const std::vector<bool> expected = decodedByGiflib(damaged);
        auto listed = source(damaged);
        ASSERT_EQ(listed->count(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(!listed->isBrokenAtIndex(i), bool(expected[i])) << "damaged frame " << i;
            brokenFrames += !expected[i];
            ++damagedFrames;
        }
    }
    std::printf("%zu frames of damaged files listed, %zu of them broken\n", damagedFrames, brokenFrames);
    EXPECT_GT(brokenFrames, 50u);
}

}  // namespace
