// The decode budget of a file: each picture charged once, before it is
// decoded and whether or not it decodes; nothing new past the budget,
// except for a source that plays.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/foundation/Log.h"
#include "platform/graphics/DecodeBudget.h"
#include "platform/graphics/ImageSource.h"
#include "platform/graphics/Png.h"
#include "platform/testing/GifFiles.h"
#include "tests/platform/graphics/hostile_images.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A TIFF of `pages` deflate-compressed grey pages of side x side that all
// read one strip of bytes that are not deflate data.
Bytes tiffSharingOneBrokenStrip(uint32_t side, uint32_t pages) {
    return hostile::tiffPagesSharingOneStrip(side, side, pages, 8, Bytes(64, 0xFF));
}

// What a reader keeping every picture does: charge, then decode, up to
// the first refusal. Returns the pictures made.
size_t keepEveryPicture(cg::ImageSource& source) {
    size_t made = 0;
    for (size_t i = 0; i < source.count() && source.chargeAtIndex(i); ++i) made += source.createImageAtIndex(i) ? 1 : 0;
    return made;
}

TEST(DecodeBudgetTest, ChargesEachPictureOnceAndRefusesNewOnesPastEitherPart) {
    ns::LogCapture log;
    cg::DecodeBudget pixels("public.tiff");
    EXPECT_TRUE(pixels.charge(0, cg::MaximumPixelsPerFile - 1));
    EXPECT_TRUE(pixels.charge(0, cg::MaximumPixelsPerFile - 1));  // charged before: free
    EXPECT_TRUE(pixels.charge(1, 1));
    EXPECT_FALSE(pixels.charge(2, 1));
    // Once refused, a smaller picture after it is refused too; the ones
    // charged before still pass.
    EXPECT_FALSE(pixels.charge(3, 0));
    EXPECT_TRUE(pixels.charge(1, 1));
    EXPECT_TRUE(pixels.isSpent());
    EXPECT_EQ(pixels.picturesCharged(), 2u);
    EXPECT_EQ(pixels.pixelsCharged(), cg::MaximumPixelsPerFile);
    auto lines = log.lines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) { return line.find("past the file's budget") != line.npos; }),
              1)
        << testing::PrintToString(lines);
    EXPECT_TRUE(log.contains("picture 2 of a public.tiff file"));

    // Pictures of no pixels still cost their overhead.
    cg::DecodeBudget overhead;
    size_t charged = 0;
    while (overhead.charge(charged, 0)) ++charged;
    EXPECT_EQ(charged, cg::MaximumPicturesPerFile);
}

TEST(DecodeBudgetTest, FailedPicturesAreChargedSoSharedBrokenPagesAreTriedOnlyAsTheBudgetHolds) {
    // 256 pages of 4096 x 4096 (2^24 pixels) sharing one strip that does
    // not inflate: each failed page was once zero-filled and tried.
    Bytes file = tiffSharingOneBrokenStrip(4096, 256);
    ASSERT_LT(file.size(), 40'000u);
    // Asked for page after page without a charge first, as a player asks:
    // the decode itself charges each page, whether it then fails or not.
    auto asked = cg::ImageSource::createWithData(file);
    ASSERT_EQ(asked->count(), 256u);
    for (size_t i = 0; i < asked->count(); ++i) EXPECT_FALSE(asked->createImageAtIndex(i)) << i;
    EXPECT_EQ(asked->counters().picturesAttempted, 4u);
    EXPECT_EQ(asked->budget()->picturesCharged(), 4u);
    EXPECT_TRUE(asked->budget()->isSpent());

    // A reader keeping every page charges before it decodes, and stops at
    // the first refusal.
    auto source = cg::ImageSource::createWithData(file);
    EXPECT_EQ(keepEveryPicture(*source), 0u);
    EXPECT_EQ(source->counters().picturesAttempted, 4u);
    EXPECT_TRUE(source->budget()->isSpent());
    // Asked again directly, a new page is refused without being tried.
    EXPECT_FALSE(source->createImageAtIndex(100));
    EXPECT_EQ(source->counters().picturesAttempted, 4u);
}

TEST(DecodeBudgetTest, APlayingSourceChargesEveryFrameButRefusesNone) {
    // Eight frames on a 4096 x 4096 screen: four fit the budget.
    Bytes file = testing::gifOfDots(4096, 8);
    ASSERT_LT(file.size(), 300u);
    auto reader = cg::ImageSource::createWithData(file);
    EXPECT_EQ(keepEveryPicture(*reader), 4u);
    EXPECT_FALSE(reader->createImageAtIndex(5));
    // Frames made before are never refused, whatever the order.
    EXPECT_TRUE(reader->createImageAtIndex(3));
    EXPECT_TRUE(reader->createImageAtIndex(0));

    auto player = cg::ImageSource::createWithData(file, true);
    player->setPlays(true);
    for (int loop = 0; loop < 2; ++loop)
        for (size_t i = 0; i < player->count(); ++i) EXPECT_TRUE(player->createImageAtIndex(i)) << loop << " " << i;
    EXPECT_EQ(player->budget()->picturesCharged(), 4u);
    EXPECT_TRUE(player->budget()->isSpent());
    EXPECT_EQ(player->counters().picturesAttempted, 16u);
}

TEST(DecodeBudgetTest, AnIncrementalSourceChargesItsPictureOnce) {
    cg::Bitmap pixels(64, 64, cg::PixelFormat::ARGB32Premultiplied);
    Bytes png = cg::encodePng(pixels);
    auto source = cg::ImageSource::createIncremental(true);
    for (size_t received : {png.size() / 2, png.size() * 3 / 4, png.size()}) {
        source->updateData(std::span(png.data(), received), received == png.size());
        ASSERT_TRUE(source->createImageAtIndex(0)) << received;
    }
    EXPECT_EQ(source->budget()->picturesCharged(), 1u);
    EXPECT_EQ(source->budget()->pixelsCharged(), 64u * 64u);
    EXPECT_EQ(source->counters().picturesAttempted, 3u);
}

}  // namespace
