// A JPEG 2000 file is weighed by its size marker and its coding style
// before OpenJPEG reads it: too many tiles, sample planes and output beyond
// the budget, or a tile cut into too many code-blocks and precincts, are
// refused with a log line, in little memory, while files just inside the
// limits are read. The files are written by jpeg2000_shapes.h.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/foundation/Log.h"
#include "platform/graphics/ImageSource.h"
#include "platform/testing/PeakBound.h"
#include "tests/platform/graphics/jpeg2000_shapes.h"

namespace {

using namespace jpeg2000shapes;

using testing::MiB;

size_t pictures(const Bytes& file) { return cg::ImageSource::createWithData(file)->count(); }

// A source of the file is made and found to hold no picture, growing the
// resident set's peak by less than `bound`.
void expectRefusedUnder(const char* name, const Bytes& file, uint64_t bound) {
    testing::ResidentPeak peak;
    auto source = cg::ImageSource::createWithData(file);
    EXPECT_EQ(source->type(), cg::ImageTypeJPEG2000);
    EXPECT_EQ(source->count(), 0u);
    EXPECT_FALSE(source->createImageAtIndex(0));
    testing::expectGrowthUnder(peak, bound, std::string(name) + ", " + std::to_string(file.size()) + " bytes");
}

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

TEST(Jpeg2000BudgetTest, ATilesPlanesCountWhileThePictureFillsAndGoBeforeItsWordsAreMade) {
    // The library fills the picture's planes from one tile's at a time: an
    // RGBA tile of half the picture needs as much again as its words.
    ns::LogCapture log;
    EXPECT_EQ(pictures(jp2({8192, 4096, 8192, 2048, 4}, kSRGB, true)), 0u);
    EXPECT_TRUE(log.contains(
        "JPEG 2000: refused a 8192 x 4096 picture of 4 components: decoding it takes 768.0 MiB, more than 640 MiB"))
        << testing::PrintToString(log.lines());
    EXPECT_EQ(pictures(jp2({8192, 4096, 4096, 2048, 4}, kSRGB, true)), 1u);
    // 8192 x 4096 grey in two tiles: a plane of 128 MiB and a tile's 64 MiB
    // while it fills, then the 128 MiB of words once the tile has gone
    // (the decoder is let go before the words are made). Each is large
    // enough to be mapped on its own and given back when freed.
    testing::ResidentPeak peak;
    auto source = cg::ImageSource::createWithData(jp2({8192, 4096, 8192, 2048, 1}, kGrey, false));
    auto image = source->createImageAtIndex(0);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->bitmap().pixel(8191, 4095), (cg::Pixel{255, 128, 128, 128}));
    testing::expectGrowthUnder(peak, 288 * MiB, "8192 x 4096 grey in two tiles");
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
        expectRefusedUnder(c.name, c.file, c.bound);
    }
}

TEST(Jpeg2000BudgetTest, TinyCodeBlocksAndPrecinctsAreRefusedAndLoggedInLittleMemory) {
    struct Case {
        const char* name;
        Bytes file;
        const char* line;
    };
    // Handed to the library, these held 3.9, 2.4, 0.97 and 3.9 GB.
    Case cases[] = {
        {"8192 x 4096 RGBA, 4 x 4 code-blocks", tinyCodeBlocksRgba(),
         "refused a 8192 x 4096 picture cut into 8388608 code-blocks and 4 precincts: decoding it keeps 3200.0 "
         "MiB for them"},
        {"1024 x 1024 RGBA, one-sample precincts", onePixelPrecincts(),
         "refused a 1024 x 1024 picture cut into 4194304 code-blocks and 4194304 precincts"},
        // 46 x 46 blocks in the lowest resolution's 181 x 181 samples, as
        // many in each of the three bands one level up, then four times as
        // many at each level above.
        {"5792 x 5792 grey, five levels of 4 x 4 code-blocks", smallCodeBlocksGrey(),
         "refused a 5792 x 5792 picture cut into 2097250 code-blocks and 16 precincts"},
        {"5792 x 5792 RGBA JP2, code-block exponents 0", zeroExponentsRgbaJp2(),
         "refused a 5792 x 5792 picture cut into 8389000 code-blocks and 64 precincts"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ns::LogCapture log;
        expectRefusedUnder(c.name, c.file, 32 * MiB);
        EXPECT_TRUE(log.contains(std::string("JPEG 2000: ") + c.line)) << testing::PrintToString(log.lines());
    }
}

}  // namespace

