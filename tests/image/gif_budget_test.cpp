// GIFs that cost far more decoded than their size: a tiny file of a few
// dots on a huge screen, and a file of hundreds of thousands of one-pixel
// frames, keep at most the file's budget in the readers that keep every
// frame; players play every frame of a long animation, loop after loop.

#include <gtest/gtest.h>

#include <set>

#include "image/UIImage+TVWebImage.h"
#include "image/codec/TVImage.h"
#include "platform/foundation/Log.h"
#include "platform/graphics/DecodeBudget.h"
#include "platform/testing/GifFiles.h"
#include "platform/testing/PeakBound.h"
#include "platform/uikit/Image.h"

namespace {

using testing::expectGrowthUnder;
using testing::MiB;

ns::Ref<ns::Data> dotsOnAScreen(int side, size_t count, int delay) {
    return ns::Data::make(testing::gifOfDots(side, count, delay));
}

ns::Ref<ns::Data> millionsOfDots(size_t count) { return ns::Data::make(testing::gifOfOnePixelFrames(count)); }

TEST(GifBudgetTest, ATinyFileOfDotsOnAHugeScreenKeepsAtMostTheBudgetAsASmallGif) {
    // Eight dots on a 4096 x 4096 screen: each frame is a 64 MiB picture,
    // and the budget keeps four of them.
    auto data = dotsOnAScreen(4096, 8, 4);
    ASSERT_LT(data->length(), 300u);
    ns::LogCapture log;
    testing::ResidentPeak peak;
    auto image = TV_imageWithSmallGIFData(data, 1);
    uint64_t growth = peak.growth();
    ASSERT_TRUE(image);
    std::set<const cg::Image*> pictures;
    for (const auto& frame : image->images()) pictures.insert(frame->cgImage().get());
    EXPECT_EQ(pictures.size(), 4u);
    EXPECT_NEAR(image->duration(), 0.16, 1e-9);
    EXPECT_TRUE(log.contains("GIF: kept 4 of the 8 pictures of a com.compuserve.gif file")) << testing::PrintToString(log.lines());
    // Four frames kept (256 MiB), the source's canvas, the picture being
    // copied and its copy being made.
    expectGrowthUnder(growth, 512 * MiB, "eight dots on a 4096 x 4096 screen as a small GIF");
}

TEST(GifBudgetTest, HundredsOfThousandsOfOnePixelFramesStayWithinTheBudget) {
    // 400,000 frames sharing one 1 KiB colour table: a frame's record
    // holds no copy of it, and pictures are kept only as the budget admits.
    auto data = millionsOfDots(400'000);
    {
        SCOPED_TRACE("every picture kept");
        testing::ResidentPeak peak;
        auto image = ui::Image::imageWithData(data);
        uint64_t growth = peak.growth();
        ASSERT_TRUE(image);
        EXPECT_EQ(image->images().size(), cg::MaximumPicturesPerFile);
        EXPECT_EQ(image->images().back()->cgImage()->bitmap().pixel(0, 0),
                  (cg::Pixel{255, uint8_t((cg::MaximumPicturesPerFile - 1) % 256),
                             uint8_t(255 - (cg::MaximumPicturesPerFile - 1) % 256), 0}));
        // The overhead part of the budget (64 MiB) and the frames' records.
        expectGrowthUnder(growth, 160 * MiB, "400,000 one-pixel frames, every picture kept");
    }
    {
        SCOPED_TRACE("played");
        testing::ResidentPeak peak;
        // A frame's record is there from the start: only the frames the
        // budget holds pictures of are played.
        auto image = TVImage::imageWithData(data);
        ASSERT_TRUE(image);
        ASSERT_EQ(image->animatedImageFrameCount(), cg::MaximumPicturesPerFile);
        const uint64_t lastIndex = cg::MaximumPicturesPerFile - 1;
        auto last = image->animatedImageFrameAtIndex(lastIndex);
        ASSERT_TRUE(last);
        EXPECT_EQ(last->cgImage()->bitmap().pixel(0, 0),
                  (cg::Pixel{255, uint8_t(lastIndex % 256), uint8_t(255 - lastIndex % 256), 0}));
        expectGrowthUnder(peak, 160 * MiB, "400,000 one-pixel frames played");
    }
}

TEST(GifBudgetTest, ALongAnimationPastTheBudgetPlaysEveryFrameLoopAfterLoop) {
    // 300 frames of a 500 x 500 screen: 75 million pixels, past the 67
    // million of the budget.
    auto data = dotsOnAScreen(500, 300, 2);
    auto image = TVImage::imageWithData(data);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->animatedImageFrameCount(), 300u);
    for (int loop = 0; loop < 5; ++loop) {
        for (uint64_t i = 0; i < 300; ++i) {
            auto frame = image->animatedImageFrameAtIndex(i);
            ASSERT_TRUE(frame && frame->cgImage()) << loop << " " << i;
            // Each frame adds its dot to those before it.
            EXPECT_EQ(frame->cgImage()->bitmap().pixel(int(i), 0).alpha, 255) << loop << " " << i;
        }
    }
    // Kept all at once, only the leading frames the budget holds are kept;
    // the others are still made as they are played.
    image->setPreloadAllAnimatedImageFrames(true);
    for (uint64_t i = 0; i < 300; ++i) ASSERT_TRUE(image->animatedImageFrameAtIndex(i)) << i;
}

TEST(GifBudgetTest, FramesOfZerosAreDecodedOnlyAsTheirPicturesAreCharged) {
    // 16 frames of 4096 x 4096 zeros in about 185 KB: no frame's indices
    // are decoded before its picture is charged, so the readers hold the
    // four pictures the budget admits and little more.
    auto data = ns::Data::make(testing::gifOfZeroFrames(4096, 4096, 16));
    {
        SCOPED_TRACE("every picture kept");
        testing::ResidentPeak peak;
        auto image = ui::Image::imageWithData(data);
        uint64_t growth = peak.growth();
        ASSERT_TRUE(image);
        EXPECT_EQ(image->images().size(), 4u);
        // The four pictures the budget holds and the one being made.
        expectGrowthUnder(growth, 400 * MiB, "16 frames of 4096 x 4096 zeros, every picture kept");
    }
    {
        SCOPED_TRACE("small GIF");
        testing::ResidentPeak peak;
        auto image = TV_imageWithSmallGIFData(data, 1);
        uint64_t growth = peak.growth();
        ASSERT_TRUE(image);
        EXPECT_EQ(image->images().size(), 4u);
        // Four frames kept, the source's canvas, the picture being copied
        // and its copy being made.
        expectGrowthUnder(growth, 512 * MiB, "16 frames of 4096 x 4096 zeros as a small GIF");
    }
}

TEST(GifBudgetTest, DelaysThatDefeatTheCommonStepStillMakeABoundedFrameList) {
    // One-pixel frames of 0.02 s and 655.35 s in turn: a step of 0.02 s
    // repeats each pair 32,769 times. 400 frames made 6.5 million entries;
    // 4,000 (92 KB) a gigabyte, and 20,000 aborted.
    auto data = ns::Data::make(testing::gifOfDelaysDefeatingTheStep(400));
    ns::LogCapture log;
    auto image = TV_imageWithSmallGIFData(data, 1);
    ASSERT_TRUE(image);
    const auto& frames = image->images();
    EXPECT_LE(frames.size(), cg::MaximumPicturesPerFile);
    EXPECT_TRUE(log.contains("GIF: its delays would repeat its 400 frames")) << testing::PrintToString(log.lines());
    // Every frame shows, the long ones for far longer, and the whole lasts
    // as long as the delays say.
    EXPECT_NEAR(image->duration(), 200 * 0.02 + 200 * 655.35, 1e-6);
    std::vector<size_t> runs;
    for (size_t i = 0; i < frames.size(); ++i) {
        if (i == 0 || frames[i]->cgImage() != frames[i - 1]->cgImage()) runs.push_back(0);
        ++runs.back();
    }
    ASSERT_EQ(runs.size(), 400u);
    EXPECT_EQ(runs[0], 1u);
    EXPECT_GT(runs[1], 300u);
}

}  // namespace
