// Partial images of a download cost a decode of the whole picture each: a
// large picture in growing pieces gets none, so the download's thread is
// never kept decoding back to back, while a small one still gets one a
// wait. Counted under mock time.

#include "platform/foundation/Log.h"
#include "platform/foundation/ReplyBudget.h"
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

// The copy of the bytes so far that the partial decoder keeps is held too:
// it counts in what the loader holds until the decoder lets it go, and
// without room for it the download goes on with no partial image.
TEST_F(PartialDecodeTest, ThePartialDecodersCopyCountsInWhatTheLoaderHolds) {
    const hostile::Bytes picture = hostile::transparentPng(1024, 1024);
    const std::string body(picture.begin(), picture.end());
    const size_t half = body.size() / 2;
    auto load = [&](const std::string& path, Recorder& recorder, bool expectPartial) {
        auto gate = std::make_shared<ChunkGate>();
        server_.serve(path, ImageReply{.body = body, .chunkSize = half + 1, .gate = gate});
        auto operation = request(path, TVWebImageOptionProgressive, recorder);
        gate->release();
        EXPECT_TRUE(recorder.waitForReceived(int64_t(half + 1)));
        if (expectPartial) {
            EXPECT_TRUE(recorder.waitForDeliveries(1));
        }
        return std::make_pair(operation, gate);
    };

    Recorder shown;
    auto [operation, gate] = load("/shown.png", shown, true);
    ASSERT_EQ(partialsIn(shown.all()), 1u);
    EXPECT_EQ(TVWebImageManager::heldBytes().held(), 2 * (half + 1)) << "the bytes and the decoder's copy";
    gate->release();
    env_.runUntilIdle();
    ASSERT_TRUE(shown.all().back().image);
    EXPECT_EQ(TVWebImageManager::heldBytes().held(), 0u);

    // Room for the bytes, not for a copy of them as well.
    ns::ReplyShare others(TVWebImageManager::heldBytes());
    ASSERT_TRUE(others.growToOrRelease(TVWebImageManager::MaxHeldBytes - body.size()));
    Recorder skipped;
    auto [second, secondGate] = load("/skipped.png", skipped, false);
    env_.advanceClockWhileInFlight(0.25);
    secondGate->release();
    env_.runUntilIdle();
    EXPECT_EQ(partialsIn(skipped.all()), 0u);
    ASSERT_FALSE(skipped.all().empty());
    EXPECT_EQ(skipped.all().back().stage, TVWebImageStageFinished);
    EXPECT_TRUE(skipped.all().back().image);
    EXPECT_EQ(TVWebImageManager::heldBytes().held(), others.size());
}

}  // namespace
