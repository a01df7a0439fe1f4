// Partial images of a download cost a decode of the whole picture each: a
// large picture in growing pieces gets none, so the download's thread is
// never kept decoding back to back, while a small one still gets one a
// wait. Counted under mock time.

#include "platform/foundation/Log.h"
#include "tests/image/web/web_image_test_support.h"
#include "tests/platform/graphics/hostile_images.h"

namespace {

using namespace web_test;

using PartialDecodeTest = WebImageTest;

size_t partialsIn(const std::vector<Delivery>& deliveries) {
    return size_t(std::count_if(deliveries.begin(), deliveries.end(),
                                [](const Delivery& delivery) { return delivery.stage == TVWebImageStageProgress; }));
}

TEST_F(PartialDecodeTest, ALargePictureInGrowingPiecesIsShownOnlyWhole) {
    const hostile::Bytes large = hostile::transparentPng(8192, 8192);
    ns::LogCapture log;
    // A hundred pieces, each past the wait between partial images: every
    // one would decode 8192 x 8192 pixels again.
    auto deliveries = paced("/large.png", std::string(large.begin(), large.end()), TVWebImageOptionProgressive, 100,
                            0.25, false);
    EXPECT_EQ(partialsIn(deliveries), 0u);
    ASSERT_FALSE(deliveries.empty());
    EXPECT_EQ(deliveries.back().stage, TVWebImageStageFinished);
    ASSERT_TRUE(deliveries.back().image);
    EXPECT_EQ(deliveries.back().image->cgImage()->width(), 8192);
    EXPECT_TRUE(log.contains("no partial images of a 8192 x 8192 picture"));

    // Blurred partials of an interlaced picture wait twice as long, and
    // admit twice the pixels: 4096 x 4096 is still past them.
    const hostile::Bytes interlaced = hostile::transparentPng(4096, 4096);
    auto blurred = paced("/interlaced.png", std::string(interlaced.begin(), interlaced.end()),
                         TVWebImageOptionProgressiveBlur, 20, 0.5, false);
    EXPECT_EQ(partialsIn(blurred), 0u);
}

TEST_F(PartialDecodeTest, ASmallPictureStillGetsAPartialImageAWait) {
    // 2048 x 2048 is decoded in the wait; ten pieces a wait apart give one
    // partial each until the last piece, which ends the data.
    const hostile::Bytes small = hostile::transparentPng(2048, 2048);
    auto deliveries = paced("/small.png", std::string(small.begin(), small.end()), TVWebImageOptionProgressive, 10,
                            0.25);
    EXPECT_GE(partialsIn(deliveries), 8u);
    EXPECT_LE(partialsIn(deliveries), 9u);
    EXPECT_EQ(deliveries.back().stage, TVWebImageStageFinished);
}

}  // namespace
