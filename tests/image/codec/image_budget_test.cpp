// An animated image kept whole (preloaded) keeps only the leading frames
// its file's budget holds, also when its frames are decoded one source
// each (animated PNG); it still plays every frame.

#include <gtest/gtest.h>

#include "image/codec/TVImage.h"
#include "platform/foundation/Log.h"
#include "png_test_support.h"

namespace {

TEST(TVImageBudgetTest, PreloadingAnAnimatedPngKeepsTheBudgetAndPlayingShowsEveryFrame) {
    // A 4096 x 4096 canvas (2^24 pixels a frame) and seven dots on it:
    // four frames fit the budget.
    std::vector<pngtest::Frame> frames;
    frames.push_back({pngtest::solid(4096, 4096, 0, 0, 0, 0)});
    for (uint32_t i = 1; i < 8; ++i) frames.push_back({pngtest::solid(1, 1, 255, 255, 0, 0), i, 0});
    auto image = TVImage::imageWithData(ns::Data::make(pngtest::apng(frames)));
    ASSERT_TRUE(image);
    ASSERT_EQ(image->animatedImageFrameCount(), 8u);

    ns::LogCapture log;
    image->setPreloadAllAnimatedImageFrames(true);
    EXPECT_TRUE(log.contains("picture 4 of a public.png file is past the file's budget"))
        << testing::PrintToString(log.lines());
    for (uint64_t i = 0; i < 8; ++i) {
        auto frame = image->animatedImageFrameAtIndex(i);
        ASSERT_TRUE(frame && frame->cgImage()) << i;
        // Each dot stays for the frames after it.
        EXPECT_EQ(frame->cgImage()->bitmap().pixel(int(i), 0).alpha, i == 0 ? 0 : 255) << i;
    }
}

}  // namespace
