// Playing an animated image frame after frame costs a frame or two, not
// the whole file: the decoder keeps no picture it made, only the screen a
// GIF's frames are composed on (GIF frames are pictures of the whole
// screen).

#include <gtest/gtest.h>

#include "platform/testing/GifFiles.h"

#include <string>

#include "animated_test_support.h"
#include "image/codec/TVImage.h"
#include "platform/testing/PeakBound.h"

namespace {

using testing::MiB;

// An icon file of `count` entries that all point at one PNG of a solid
// square.
ns::Ref<ns::Data> icoRepeating(int side, size_t count) {
    std::vector<uint8_t> png = solidPngBytes(side, side);
    std::vector<uint8_t> out = {0, 0, 1, 0, uint8_t(count), uint8_t(count >> 8)};
    auto le32 = [&](uint32_t v) { out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}); };
    for (size_t i = 0; i < count; ++i) {
        out.insert(out.end(), {0, 0, 0, 0, 1, 0, 32, 0});
        le32(uint32_t(png.size()));
        le32(uint32_t(6 + 16 * count));
    }
    out.insert(out.end(), png.begin(), png.end());
    return ns::Data::make(std::move(out));
}

// A GIF of `count` frames of one pixel each, along the top row of a square
// screen.
ns::Ref<ns::Data> gifOfDots(int side, size_t count) { return ns::Data::make(testing::gifOfDots(side, count)); }

// Plays every frame once, as a view would (each frame let go before the
// next), checking each; returns the peak growth of the resident set.
uint64_t playEveryFrame(TVImage& image, int side) {
    testing::ResidentPeak peak;
    EXPECT_TRUE(peak.started());
    for (uint64_t i = 0; i < image.animatedImageFrameCount(); ++i) {
        auto frame = image.animatedImageFrameAtIndex(i);
        EXPECT_TRUE(frame && frame->cgImage()) << i;
        if (!frame || !frame->cgImage()) continue;
        EXPECT_EQ(frame->cgImage()->width(), side) << i;
    }
    return peak.growth();
}

void expectAtMostTwoFrames(uint64_t growth, const TVImage& image) {
    const uint64_t frame = image.animatedImageBytesPerFrame();
    // The frame handed out is drawn for display through a context of its
    // own; the reader's working memory (a PNG's rows and window) comes on
    // top.
    testing::expectGrowthUnder(growth, 2 * frame + MiB,
                               std::to_string(image.animatedImageFrameCount()) + " frames of " +
                                   std::to_string(frame / MiB) + " MiB played");
}

TEST(AnimatedImagePlayingMemoryTest, IconEntriesPlayWithinTwoFrames) {
    // Twelve entries of 16 MiB: played, none stays once the next is made.
    auto image = TVImage::imageWithData(icoRepeating(2048, 12));
    ASSERT_TRUE(image);
    ASSERT_EQ(image->animatedImageFrameCount(), 12u);
    ASSERT_EQ(image->animatedImageBytesPerFrame(), 16 * MiB);
    expectAtMostTwoFrames(playEveryFrame(*image, 2048), *image);
    // Played again, every frame is still there.
    EXPECT_TRUE(image->animatedImageFrameAtIndex(3));
}

TEST(AnimatedImagePlayingMemoryTest, GifFramesPlayWithinTwoScreens) {
    // 60 frames of a 1024 x 1024 screen (4 MiB each), then 24 of a
    // 2048 x 2048 one (16 MiB each).
    for (int side : {1024, 2048}) {
        SCOPED_TRACE(side);
        auto image = TVImage::imageWithData(gifOfDots(side, side == 1024 ? 60 : 24));
        ASSERT_TRUE(image);
        ASSERT_EQ(image->animatedImageBytesPerFrame(), uint64_t(side) * uint64_t(side) * 4);
        expectAtMostTwoFrames(playEveryFrame(*image, side), *image);
        // The frames still compose in order: the last shows every dot.
        auto last = image->animatedImageFrameAtIndex(image->animatedImageFrameCount() - 1);
        ASSERT_TRUE(last);
        const cg::Bitmap& pixels = last->cgImage()->bitmap();
        EXPECT_EQ(pixels.pixel(0, 0), (cg::Pixel{255, 255, 0, 0}));
        EXPECT_EQ(pixels.pixel(1, 0), (cg::Pixel{255, 0, 255, 0}));
        EXPECT_EQ(pixels.pixel(int(image->animatedImageFrameCount()), 0).alpha, 0);
    }
}

}  // namespace
