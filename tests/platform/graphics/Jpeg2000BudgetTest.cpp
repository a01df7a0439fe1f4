// A JPEG 2000 file is weighed by its size marker before OpenJPEG reads it:
// too many tiles, or sample planes and output beyond the budget, are
// refused with a log line, in little memory, while files just inside the
// limits are read. The files are written here: codestreams whose packets
// are all empty, a few bytes a tile, which decode to mid-grey.

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "platform/foundation/Log.h"
#include "platform/graphics/ImageSource.h"
#include "platform/testing/ResidentMemory.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint64_t MiB = 1 << 20;

void put16(Bytes& out, uint32_t v) {
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}
void put32(Bytes& out, uint32_t v) {
    put16(out, v >> 16);
    put16(out, v & 0xFFFF);
}
void putType(Bytes& out, const char* type) { out.insert(out.end(), type, type + 4); }

struct Shape {
    uint32_t width = 0, height = 0, tileWidth = 0, tileHeight = 0;
    uint16_t components = 1;
    // False: the main header alone, as a file cut short after it.
    bool withTiles = true;
};

// 8-bit unsigned components, one quality layer, no wavelet levels: each
// tile holds one empty packet per component.
Bytes codestream(const Shape& s) {
    Bytes out = {0xFF, 0x4F, 0xFF, 0x51};
    put16(out, 38 + 3u * s.components);
    put16(out, 0);
    for (uint32_t v : {s.width, s.height, 0u, 0u, s.tileWidth, s.tileHeight, 0u, 0u}) put32(out, v);
    put16(out, s.components);
    for (int c = 0; c < s.components; ++c) out.insert(out.end(), {7, 1, 1});
    // Coding style: layer-resolution order, one layer, no colour transform,
    // no levels, 64 x 64 code-blocks, the reversible filter.
    out.insert(out.end(), {0xFF, 0x52, 0, 12, 0, 0, 0, 1, 0, 0, 4, 4, 0, 1});
    // Quantization: none, two guard bits, one band.
    out.insert(out.end(), {0xFF, 0x5C, 0, 4, 0x40, 0x40});
    const uint32_t tiles =
        s.withTiles ? ((s.width + s.tileWidth - 1) / s.tileWidth) * ((s.height + s.tileHeight - 1) / s.tileHeight) : 0;
    for (uint32_t t = 0; t < tiles; ++t) {
        out.insert(out.end(), {0xFF, 0x90, 0, 10});
        put16(out, t);
        put32(out, 14 + s.components);
        out.insert(out.end(), {0, 1, 0xFF, 0x93});
        out.insert(out.end(), s.components, 0);
    }
    out.insert(out.end(), {0xFF, 0xD9});
    return out;
}

// The JP2 file form around a codestream: its header box (image header,
// colour box of `space`, a last component marked as alpha when
// `alpha`), then the codestream box.
Bytes jp2(const Shape& s, uint32_t space, bool alpha) {
    Bytes out = {0, 0, 0, 12, 'j', 'P', ' ', ' ', '\r', '\n', 0x87, '\n'};
    put32(out, 20);
    putType(out, "ftyp");
    putType(out, "jp2 ");
    put32(out, 0);
    putType(out, "jp2 ");
    const uint32_t definitions = alpha ? 10 + 6u * s.components : 0;
    put32(out, 8 + 22 + 15 + definitions);
    putType(out, "jp2h");
    put32(out, 22);
    putType(out, "ihdr");
    put32(out, s.height);
    put32(out, s.width);
    put16(out, s.components);
    out.insert(out.end(), {7, 7, 0, 0});
    put32(out, 15);
    putType(out, "colr");
    out.insert(out.end(), {1, 0, 0});
    put32(out, space);
    if (alpha) {
        put32(out, definitions);
        putType(out, "cdef");
        put16(out, s.components);
        for (uint16_t c = 0; c < s.components; ++c) {
            const bool last = c + 1 == s.components;
            put16(out, c);
            put16(out, last ? 1 : 0);
            put16(out, last ? 0 : c + 1u);
        }
    }
    Bytes stream = codestream(s);
    put32(out, 8 + uint32_t(stream.size()));
    putType(out, "jp2c");
    out.insert(out.end(), stream.begin(), stream.end());
    return out;
}

constexpr uint32_t kSRGB = 16, kGrey = 17;

size_t pictures(const Bytes& file) { return cg::ImageSource::createWithData(file)->count(); }

TEST(Jpeg2000BudgetTest, FilesWithinTheLimitsAreRead) {
    // The files written here are sound: tiled RGBA, and grey, decode.
    auto source = cg::ImageSource::createWithData(jp2({40, 24, 16, 16, 4}, kSRGB, true));
    ASSERT_EQ(source->count(), 1u);
    auto image = source->createImageAtIndex(0);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->bitmap().pixel(39, 23), cg::premultiplied(128, 128, 128, 128));
    // As many tiles as are read, 1 x 1 each, in the bare codestream.
    auto tiles = cg::ImageSource::createWithData(codestream({64, 64, 1, 1, 1}));
    ASSERT_EQ(tiles->count(), 1u);
    image = tiles->createImageAtIndex(0);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->bitmap().pixel(63, 63), (cg::Pixel{255, 128, 128, 128}));
    // Planes and output of exactly the budget: 8192 x 4096 RGBA; and
    // 8192 x 8192 grey, within it.
    EXPECT_EQ(pictures(jp2({8192, 4096, 8192, 4096, 4}, kSRGB, true)), 1u);
    EXPECT_EQ(pictures(jp2({8192, 8192, 8192, 8192, 1}, kGrey, false)), 1u);
}

TEST(Jpeg2000BudgetTest, TooManyTilesOrTooLargeADecodeIsRefusedAndLogged) {
    ns::LogCapture log;
    // One tile too many, of one pixel each.
    EXPECT_EQ(pictures(codestream({4097, 1, 1, 1, 1})), 0u);
    EXPECT_TRUE(log.contains("JPEG 2000: refused a 4097 x 1 picture in 4097 tiles: at most 4096 are read"))
        << testing::PrintToString(log.lines());
    // One row past the budget; 8192 x 8192 RGB, and grey with alpha.
    EXPECT_EQ(pictures(jp2({8192, 4097, 8192, 4097, 4}, kSRGB, true)), 0u);
    EXPECT_TRUE(log.contains("JPEG 2000: refused a 8192 x 4097 picture of 4 components: decoding it takes 640.2 MiB, more than 640 MiB"))
        << testing::PrintToString(log.lines());
    EXPECT_EQ(pictures(jp2({8192, 8192, 8192, 8192, 3}, kSRGB, false)), 0u);
    EXPECT_EQ(pictures(jp2({8192, 8192, 8192, 8192, 2}, kGrey, true)), 0u);
    // Numbers that describe no picture.
    EXPECT_EQ(pictures(codestream({64, 64, 0, 64, 1, false})), 0u);
    Bytes noCodestream = jp2({8, 8, 8, 8, 1}, kGrey, false);
    noCodestream.resize(noCodestream.size() - codestream({8, 8, 8, 8, 1}).size() - 8);
    EXPECT_EQ(pictures(noCodestream), 0u);
}

TEST(Jpeg2000BudgetTest, FilesClaimingHugeDecodesAreRefusedInLittleMemory) {
    struct Case {
        const char* name;
        Bytes file;
        uint64_t bound;
    };
    // 65,025 tiles of one pixel, the main header alone; an 8192 x 8192
    // RGBA picture in one tile, and in 1,024. Handed to the library, the
    // first costs hundreds of megabytes in the header read alone, the
    // others over a gigabyte to decode.
    Case cases[] = {{"65,025 tiles", codestream({255, 255, 1, 1, 3, false}), 100 * 1000 * 1000},
                    {"8192 x 8192 RGBA", jp2({8192, 8192, 8192, 8192, 4}, kSRGB, true), 820 * 1000 * 1000},
                    {"1,024 tiles of 8192 x 8192 RGBA", jp2({8192, 8192, 256, 256, 4}, kSRGB, true), 820 * 1000 * 1000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing::ResidentPeak peak;
        ASSERT_TRUE(peak.started());
        auto source = cg::ImageSource::createWithData(c.file);
        EXPECT_EQ(source->type(), cg::ImageTypeJPEG2000);
        EXPECT_EQ(source->count(), 0u);
        EXPECT_FALSE(source->createImageAtIndex(0));
        std::printf("%s: %zu bytes, peak growth %.1f MiB\n", c.name, c.file.size(), double(peak.growth()) / MiB);
        if (testing::PeaksMeasureTheProduct) {
            EXPECT_LT(peak.growth(), c.bound);
        }
    }
}

}  // namespace
