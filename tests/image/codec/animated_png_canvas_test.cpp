// The canvases an animated PNG's frames are shown on are charged for their
// own pixels: a small frame shown alone on a canvas of its own, the canvas
// frames are composed on (and no picture drawn on it besides), and the copy
// of that canvas held under a frame that restores it.

#include <gtest/gtest.h>

#include "image/codec/TVImageDecoder.h"
#include "platform/graphics/PictureAccount.h"
#include "account_test_support.h"
#include "png_test_support.h"

namespace {

class AnimatedPngCanvasTest : public DecodedPixelsTest {};

const cg::Pixel Grey = cg::premultiplied(255, 90, 90, 90);
const cg::Pixel Red = cg::premultiplied(255, 220, 0, 0);
const cg::Pixel Blue = cg::premultiplied(255, 0, 0, 220);

pngtest::Frame solidFrame(int side, cg::Pixel c, uint32_t x = 0, uint32_t y = 0) {
    pngtest::Frame frame{pngtest::solid(side, side, c.alpha, c.red, c.green, c.blue)};
    frame.x = x;
    frame.y = y;
    return frame;
}

TEST_F(AnimatedPngCanvasTest, ASmallFrameShownAloneIsChargedTheCanvasItIsShownOn) {
    // The default image outside the animation sets a 2048 x 2048 canvas;
    // the animation's first frame is 16 x 16 and stands alone.
    constexpr int Side = 2048;
    auto file = pngtest::apng({solidFrame(Side, Grey), solidFrame(16, Red), solidFrame(Side, Blue)}, 0, false);
    auto decoder = TVImageDecoder::decoderWithData(ns::Data::make(file), 1);
    ASSERT_TRUE(decoder);
    ASSERT_EQ(decoder->frameCount(), 2u);
    ASSERT_EQ(decoder->width(), uint64_t(Side));
    auto frame = decoder->frameAtIndex(0, true);
    ASSERT_TRUE(frame && frame->image);
    const cg::Bitmap& shown = frame->image->cgImage()->bitmap();
    ASSERT_EQ(shown.width(), Side);
    EXPECT_EQ(shown.pixel(0, 0), Red);
    EXPECT_EQ(shown.pixel(15, 15), Red);
    EXPECT_EQ(shown.pixel(16, 16).alpha, 0);
    EXPECT_EQ(held(), uint64_t(Side) * Side) << "the canvas, the small picture let go";
    frame = nullptr;
    EXPECT_EQ(held(), 0u);
}

// A 64 x 64 canvas: a full frame, a patch that restores what was under it,
// and a patch that stays.
std::vector<uint8_t> restoringFile() {
    auto restoring = solidFrame(16, Red, 8, 8);
    restoring.blend = 1;
    restoring.dispose = 2;
    auto staying = solidFrame(16, Blue, 32, 32);
    staying.blend = 1;
    return pngtest::apng({solidFrame(64, Grey), restoring, staying});
}
constexpr uint64_t Canvas = 64 * 64;
constexpr uint64_t Patch = 16 * 16;

TEST_F(AnimatedPngCanvasTest, TheCompositionCanvasIsChargedWhatItHoldsAndNoPictureDrawnOnIt) {
    auto decoder = TVImageDecoder::decoderWithData(ns::Data::make(restoringFile()), 1);
    ASSERT_TRUE(decoder);
    ASSERT_EQ(decoder->frameCount(), 3u);
    auto first = decoder->frameAtIndex(0, true);
    ASSERT_TRUE(first);
    EXPECT_EQ(held(), 2 * Canvas) << "the canvas and the frame";
    first = nullptr;
    auto second = decoder->frameAtIndex(1, true);
    ASSERT_TRUE(second);
    const cg::Bitmap& shown = second->image->cgImage()->bitmap();
    EXPECT_EQ(shown.pixel(8, 8), Red);
    EXPECT_EQ(shown.pixel(0, 0), Grey);
    EXPECT_EQ(held(), 2 * Canvas) << "the canvas and the frame; the copy restored from is let go";
    second = nullptr;
    EXPECT_EQ(held(), Canvas);
    auto third = decoder->frameAtIndex(2, true);
    ASSERT_TRUE(third);
    const cg::Bitmap& last = third->image->cgImage()->bitmap();
    EXPECT_EQ(last.pixel(8, 8), Grey) << "restored";
    EXPECT_EQ(last.pixel(32, 32), Blue);
    third = nullptr;
    EXPECT_EQ(held(), Canvas);
    decoder = nullptr;
    EXPECT_EQ(held(), 0u);
}

TEST_F(AnimatedPngCanvasTest, TheCopyHeldUnderAFrameThatRestoresIsCharged) {
    auto decoder = TVImageDecoder::decoderWithData(ns::Data::make(restoringFile()), 1);
    ASSERT_TRUE(decoder);
    ASSERT_TRUE(decoder->frameAtIndex(0, true));
    ASSERT_EQ(held(), Canvas);
    // While frame 1 is drawn: the canvas, the frame's copy, its picture and
    // the copy of the canvas under it.
    account.setLimitForTesting(before + 3 * Canvas + Patch - 1);
    {
        cg::PictureRefusals refusals;
        EXPECT_FALSE(decoder->frameAtIndex(1, true));
        EXPECT_GT(refusals.count(), 0u);
    }
    EXPECT_EQ(held(), Canvas);
    account.setLimitForTesting(before + 3 * Canvas + Patch);
    auto second = decoder->frameAtIndex(1, true);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->image->cgImage()->bitmap().pixel(8, 8), Red);
    second = nullptr;
    auto third = decoder->frameAtIndex(2, true);
    ASSERT_TRUE(third);
    EXPECT_EQ(third->image->cgImage()->bitmap().pixel(8, 8), Grey);
}

}  // namespace
