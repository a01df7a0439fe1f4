// A JPEG 2000 file is weighed by its coding style before OpenJPEG reads
// it: the code-blocks and precincts of its heaviest tile, each tile under
// the main header's COD and COC as its own headers override them. Files
// whose tiles the library would cut into millions of records are refused
// with a log line (their peaks are in Jpeg2000BudgetTest); files the
// compressor writes, up to the size limits, are read; broken coding
// segments are refused without reading past them.

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/foundation/Log.h"
#include "platform/graphics/ImageSource.h"
#include "platform/graphics/Jpeg2000TileState.h"
#include "tests/platform/graphics/jpeg2000_shapes.h"

namespace {

using namespace jpeg2000shapes;

// No source at all for data too short to tell its type.
size_t pictures(const Bytes& file) {
    auto source = cg::ImageSource::createWithData(file);
    return source ? source->count() : 0;
}

cg::still::Jpeg2000TileState stateOf(const Bytes& file) {
    auto size = cg::still::jpeg2000Size(file);
    EXPECT_TRUE(size);
    if (!size) return {};
    auto state = cg::still::jpeg2000TileState(file, *size);
    EXPECT_TRUE(state);
    return state.value_or(cg::still::Jpeg2000TileState{});
}

Shape grey(uint32_t side, uint32_t tile, Coding coding) {
    Shape s{side, side, tile, tile, 1};
    s.coding = std::move(coding);
    return s;
}

// Where the main header's COD begins: after SOC and SIZ.
size_t codAt(const Shape& s) { return 42 + 3 * size_t(s.components); }

// Where the first tile-part begins.
size_t firstTilePart(const Bytes& file) {
    for (size_t at = 2; at + 1 < file.size(); ++at) {
        if (file[at] == 0xFF && file[at + 1] == 0x90) return at;
    }
    return file.size();
}

TEST(Jpeg2000TileStateTest, CodeBlocksAndPrecinctsFollowTheCodingStyle) {
    struct Case {
        const char* name;
        Shape shape;
        uint64_t codeBlocks, precincts;
    };
    Shape subsampled = grey(1024, 1024, {0, 0, 0, {}});
    subsampled.subsampling = 2;
    Case cases[] = {
        // 256 x 256 blocks of 4 x 4 (an exponent of 0), one precinct.
        {"4 x 4 code-blocks", grey(1024, 1024, {0, 0, 0, {}}), 65536, 1},
        // 512 x 512 samples in the lowest resolution, and in each of the
        // three bands above it: 64 blocks of 64 x 64 in each.
        {"one level", grey(1024, 1024, {1, 4, 4, {}}), 256, 4},
        // Precincts of 32 at the lowest resolution and 64 above it, which
        // cover 32 samples of each band there: blocks shrink to 32.
        {"precincts", grey(1024, 1024, {1, 4, 4, {0x55, 0x66}}), 1024, 256 + 3 * 256},
        // A precinct, and a block, per sample of each component.
        {"one-sample precincts", oneTile(1024, 1024, 4, {0, 4, 4, {0x00}}), 4 << 20, 4 << 20},
        // Every other sample across and down.
        {"subsampled", subsampled, 128 * 128, 1},
        // The first tile is the largest: 512 x 512.
        {"tiles", grey(1000, 512, {0, 4, 4, {}}), 64, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto state = stateOf(codestream(c.shape));
        EXPECT_EQ(state.codeBlocks, c.codeBlocks);
        EXPECT_EQ(state.precincts, c.precincts);
    }
}

TEST(Jpeg2000TileStateTest, EachTileIsWeighedUnderItsOwnCodingStyle) {
    // The main header's 64 x 64 code-blocks, which each tile's COD makes
    // 4 x 4: tiles of 512 x 512 hold 128 x 128 blocks.
    Shape tiles = grey(1024, 512, {0, 4, 4, {}});
    tiles.tileCoding = Coding{0, 0, 0, {}};
    EXPECT_EQ(stateOf(codestream(tiles)).codeBlocks, 128u * 128);
    // And the other way round: the tiles' own coding is what they hold.
    Shape relieved = grey(1024, 512, {0, 0, 0, {}});
    relieved.tileCoding = Coding{0, 4, 4, {}};
    EXPECT_EQ(stateOf(codestream(relieved)).codeBlocks, 64u);
    // A COC sets one component: the second of two, in the main header...
    Shape twoComponents{1024, 1024, 1024, 1024, 2};
    twoComponents.componentCoding = ComponentCoding{1, {0, 0, 0, {}}};
    EXPECT_EQ(stateOf(codestream(twoComponents)).codeBlocks, 256u + 65536);
    // ...which a tile's COD sets back for both, and a tile's COC for one.
    twoComponents.tileCoding = Coding{0, 4, 4, {}};
    EXPECT_EQ(stateOf(codestream(twoComponents)).codeBlocks, 2u * 256);
    twoComponents.tileComponentCoding = ComponentCoding{0, {0, 1, 1, {}}};
    EXPECT_EQ(stateOf(codestream(twoComponents)).codeBlocks, 128u * 128 + 256);

    // Through the source: the tiles' 4 x 4 blocks are refused, the main
    // header's overridden ones are not.
    ns::LogCapture log;
    Shape heavy = grey(4096, 2048, {0, 4, 4, {}});
    heavy.tileCoding = Coding{0, 0, 0, {}};
    EXPECT_EQ(pictures(codestream(heavy)), 0u);
    EXPECT_TRUE(log.contains("JPEG 2000: refused a 4096 x 4096 picture cut into 262144 code-blocks and 1 "
                             "precincts: decoding it keeps 100.0 MiB for them, more than 96 MiB"))
        << testing::PrintToString(log.lines());
    Shape light = grey(4096, 2048, {0, 0, 0, {}});
    light.tileCoding = Coding{0, 4, 4, {}};
    auto source = cg::ImageSource::createWithData(codestream(light));
    ASSERT_EQ(source->count(), 1u);
    auto image = source->createImageAtIndex(0);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->bitmap().pixel(4095, 4095), (cg::Pixel{255, 128, 128, 128}));
}

TEST(Jpeg2000TileStateTest, BandsKeptFromTileToTileAreCounted) {
    // Two tiles of two components, each tile's COC making the first
    // component's code-blocks 4 x 4: 384 x 384 of them in each tile, which
    // the second tile reuses, and 24 x 24 of the second component's.
    Shape shape{3072, 1536, 1536, 1536, 2};
    shape.tileComponentCoding = ComponentCoding{0, {0, 0, 0, {}}};
    const Bytes same = codestream(shape);
    EXPECT_EQ(stateOf(same).codeBlocks, 384u * 384 + 24 * 24);
    // The second tile's COC names the second component instead: the
    // library keeps the first tile's blocks as it makes the second's.
    Bytes alternating = same;
    static constexpr uint8_t kSot[] = {0xFF, 0x90}, kCoc[] = {0xFF, 0x53};
    const auto second = std::search(alternating.begin() + ptrdiff_t(firstTilePart(same)) + 2, alternating.end(),
                                    std::begin(kSot), std::end(kSot));
    const auto coc = std::search(second, alternating.end(), std::begin(kCoc), std::end(kCoc));
    ASSERT_NE(coc, alternating.end());
    *(coc + 4) = 1;
    EXPECT_EQ(stateOf(alternating).codeBlocks, 2u * 384 * 384);
    // Precincts too are kept at the most any tile had, not the last
    // tile's: 64 x 64 precincts, 24 x 24 of them, for the first component
    // in the first tile and for the second in the second.
    Shape precincts{3072, 1536, 1536, 1536, 2};
    precincts.tileComponentCoding = ComponentCoding{0, {0, 4, 4, {0x66}}};
    Bytes precinctsAlternating = codestream(precincts);
    const auto secondPart = std::search(precinctsAlternating.begin() + ptrdiff_t(firstTilePart(precinctsAlternating)) + 2,
                                        precinctsAlternating.end(), std::begin(kSot), std::end(kSot));
    const auto precinctsCoc = std::search(secondPart, precinctsAlternating.end(), std::begin(kCoc), std::end(kCoc));
    ASSERT_NE(precinctsCoc, precinctsAlternating.end());
    *(precinctsCoc + 4) = 1;
    EXPECT_EQ(stateOf(precinctsAlternating).precincts, 2u * 24 * 24);

    ns::LogCapture log;
    EXPECT_EQ(pictures(same), 1u);
    EXPECT_EQ(pictures(alternating), 0u);
    EXPECT_TRUE(log.contains("JPEG 2000: refused a 3072 x 1536 picture cut into 294912 code-blocks and 2 precincts"))
        << testing::PrintToString(log.lines());
}

TEST(Jpeg2000TileStateTest, TheCompressorsUsualCodingIsReadUpToTheSizeLimits) {
    // Five wavelet levels of 64 x 64 code-blocks, as the compressor writes
    // by default: the largest RGBA picture the decode budget takes, in one
    // tile and in the most tiles read; and the largest grey one.
    const Coding usual{5, 4, 4, {}};
    Shape oneTile{8192, 4096, 8192, 4096, 4};
    oneTile.coding = usual;
    EXPECT_EQ(pictures(jp2(oneTile, kSRGB, true)), 1u);
    Shape mostTiles{8192, 4096, 128, 64, 4};
    mostTiles.coding = usual;
    EXPECT_EQ(pictures(jp2(mostTiles, kSRGB, true)), 1u);
    Shape greyPicture{8192, 8192, 8192, 8192, 1};
    greyPicture.coding = usual;
    EXPECT_EQ(pictures(jp2(greyPicture, kGrey, false)), 1u);
    // Smaller blocks, 32 x 32, still within the tile's bound there; 16 x
    // 32 blocks without levels are past it.
    oneTile.coding = {5, 3, 3, {}};
    EXPECT_EQ(pictures(jp2(oneTile, kSRGB, true)), 1u);
    oneTile.coding = {0, 2, 3, {}};
    EXPECT_EQ(pictures(jp2(oneTile, kSRGB, true)), 0u);
}

TEST(Jpeg2000TileStateTest, CutOrMalformedCodingSegmentsAreRefused) {
    // One 64 x 64 grey tile with one level, coded in its own header too.
    Shape shape = grey(64, 64, {1, 4, 4, {0x77, 0x88}});
    shape.tileCoding = Coding{1, 4, 4, {}};
    const Bytes file = codestream(shape);
    ASSERT_EQ(pictures(file), 1u);
    const size_t cod = codAt(shape), sot = firstTilePart(file);
    ASSERT_LT(sot, file.size());
    auto changed = [&](size_t at, std::initializer_list<uint8_t> bytes) {
        Bytes out = file;
        std::copy(bytes.begin(), bytes.end(), out.begin() + ptrdiff_t(at));
        return out;
    };
    struct Case {
        const char* name;
        Bytes file;
    };
    Case cases[] = {
        {"COD shorter than its parameters", changed(cod + 2, {0, 8})},
        {"COD running past the data", changed(cod + 2, {0xFF, 0xF0})},
        {"precinct sizes the COD does not hold", changed(cod + 9, {4})},
        {"a code-block exponent past 8", changed(cod + 10, {9})},
        {"code-blocks of more than 4096 samples", changed(cod + 10, {5, 5})},
        {"33 levels", changed(cod + 4, {0, 0, 0, 1, 0, 33})},
        {"a one-sample precinct above the lowest resolution", changed(cod + 15, {0x80})},
        {"no COD in the main header", changed(cod + 1, {0x64})},
        // The library would hunt past it for a marker it knows.
        {"a marker the library does not know", changed(cod + 1, {0x30})},
        {"a tile-part longer than the data", changed(sot + 6, {0, 0, 0xFF, 0xFF})},
        {"a tile-part too short for its SOT and SOD", changed(sot + 6, {0, 0, 0, 13})},
        {"SOT of another length", changed(sot + 3, {11})},
        {"a tile the grid does not have", changed(sot + 4, {0, 1})},
        {"the tile's COD running past the tile-part", changed(sot + 14, {0x7F, 0xFF})},
        {"no marker after the tile-part", changed(file.size() - 2, {0x12, 0x34})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(pictures(c.file), 0u);
        auto size = cg::still::jpeg2000Size(c.file);
        ASSERT_TRUE(size);
        EXPECT_FALSE(cg::still::jpeg2000TileState(c.file, *size));
    }
    // Every cut inside a header or a tile-part.
    for (size_t length = 0; length + 2 < file.size(); ++length) {
        const Bytes cut(file.begin(), file.begin() + ptrdiff_t(length));
        SCOPED_TRACE(length);
        EXPECT_EQ(pictures(cut), 0u);
        if (auto size = cg::still::jpeg2000Size(cut)) {
            EXPECT_FALSE(cg::still::jpeg2000TileState(cut, *size));
        }
    }
}

}  // namespace
