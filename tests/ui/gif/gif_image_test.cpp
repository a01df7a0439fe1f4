#include "gif_test_support.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Log.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/DecodeBudget.h"
#include "platform/testing/GifFiles.h"
#include "platform/uikit/DecodedPixelAccount.h"

namespace {

using GifImageTest = GifTest;

void postMemoryWarning() {
    ns::NotificationCenter::defaultCenter()->postNotificationName(ui::ApplicationDidReceiveMemoryWarningNotification);
}

// Plays every frame in order `passes` times, letting decoding catch up;
// `most` is the largest cache seen by a request (which purges).
void play(testing::TaskEnvironment& env, KVTRGFAnimatedImage& image, size_t passes, size_t* most = nullptr) {
    for (size_t pass = 0; pass < passes; ++pass) {
        for (uint64_t i = 0; i < image.frameCount(); ++i) {
            image.imageLazilyCachedAtIndex(i);
            if (most) *most = std::max(*most, image.cachedFrameIndexes().size());
            env.runUntilIdle();
        }
    }
}

TEST_F(GifImageTest, RefusesWhatIsNoAnimatedGif) {
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13};
    std::vector<uint8_t> jpeg = {0xff, 0xd8, 0xff, 0xe0, 0, 16, 'J', 'F', 'I', 'F'};
    EXPECT_EQ(KVTRGFAnimatedImage::animatedImageWithGIFData(ns::Data::make(png)), nullptr);
    EXPECT_EQ(KVTRGFAnimatedImage::animatedImageWithGIFData(ns::Data::make(jpeg)), nullptr);
    EXPECT_TRUE(log.contains("Supplied data is of type public.png and doesn't seem to be GIF data"));
    EXPECT_TRUE(log.contains("Supplied data is of type public.jpeg and doesn't seem to be GIF data"));

    EXPECT_EQ(KVTRGFAnimatedImage::animatedImageWithGIFData(ns::Data::make()), nullptr);
    EXPECT_EQ(KVTRGFAnimatedImage::animatedImageWithGIFData(nullptr), nullptr);
    EXPECT_TRUE(log.contains("No animated GIF data supplied."));
    EXPECT_EQ(KVTRGFAnimatedImage::init(), nullptr);
    EXPECT_TRUE(log.contains("initWithAnimatedGIFData:"));

    // A GIF without any image.
    EXPECT_EQ(KVTRGFAnimatedImage::animatedImageWithGIFData(gifData(GifSpec{})), nullptr);
    EXPECT_TRUE(log.contains("Failed to create any valid frames for GIF"));

    auto single = KVTRGFAnimatedImage::animatedImageWithGIFData(gifData(uniformGif(1)));
    ASSERT_TRUE(single);
    EXPECT_EQ(single->frameCount(), 1u);
    EXPECT_TRUE(log.contains("Created valid GIF but with only a single frame."));
}

TEST_F(GifImageTest, DelaysRoundTooShortOnesUpAndFallBackToThePrecedingOne) {
    GifSpec spec;
    spec.loopCount = 3;
    spec.frames = {{1}, {0}, {2}, {std::nullopt}, {7}};
    auto image = KVTRGFAnimatedImage::animatedImageWithGIFData(gifData(spec));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->loopCount(), 3u);
    std::map<uint64_t, double> expected = {{0, 0.1}, {1, 0.1}, {2, 0.02}, {3, 0.02}, {4, 0.07}};
    EXPECT_EQ(image->delayTimesForIndexes(), expected);
    EXPECT_TRUE(log.contains("Rounding frame 0's `delayTime` from 0.010000 up to default 0.100000"));
    EXPECT_TRUE(log.contains("Falling back to preceding delay time for frame 3"));

    GifSpec first;
    first.frames = {{std::nullopt}, {5}};
    auto defaulted = KVTRGFAnimatedImage::animatedImageWithGIFData(gifData(first));
    ASSERT_TRUE(defaulted);
    EXPECT_DOUBLE_EQ(defaulted->delayTimesForIndexes().at(0), 0.1);
    EXPECT_EQ(defaulted->loopCount(), 0u);  // no loop extension: forever
    EXPECT_TRUE(log.contains("Falling back to default delay time for first frame"));
}

TEST_F(GifImageTest, CacheSizeFollowsThePredictedDecodedSize) {
    // A 300 x 300 poster has 1,200 bytes per row: 100 frames come to about
    // 34 units, 20 frames to about 7.
    auto large = KVTRGFAnimatedImage::animatedImageWithGIFData(gifData(uniformGif(100, 10, 300, 300)));
    ASSERT_TRUE(large);
    EXPECT_EQ(large->posterImage()->cgImage()->bytesPerRow(), 1200u);
    EXPECT_EQ(large->frameCacheSizeOptimal(), 5u);
    auto small = KVTRGFAnimatedImage::animatedImageWithGIFData(gifData(uniformGif(20, 10, 300, 300)));
    EXPECT_EQ(small->frameCacheSizeOptimal(), 20u);
    auto capped = KVTRGFAnimatedImage::initWithAnimatedGIFData(gifData(uniformGif(20)), 50, true);
    EXPECT_EQ(capped->frameCacheSizeOptimal(), 20u);

    capped->setFrameCacheSizeMax(3);
    EXPECT_EQ(capped->frameCacheSizeCurrent(), 3u);
    capped->setFrameCacheSizeMax(0);
    EXPECT_EQ(capped->frameCacheSizeCurrent(), 20u);
    EXPECT_EQ(KVTRGFAnimatedImage::sizeForImage(large), (cg::Size{300, 300}));
    EXPECT_EQ(KVTRGFAnimatedImage::sizeForImage(large->posterImage()), (cg::Size{300, 300}));
    EXPECT_EQ(KVTRGFAnimatedImage::sizeForImage(ns::Data::make()), (cg::Size{}));
    EXPECT_EQ(KVTRGFAnimatedImage::sizeForImage(nullptr), (cg::Size{}));
}

TEST_F(GifImageTest, TheCacheHoldsTheWindowAheadAndThePosterSurvivesPurges) {
    auto image = KVTRGFAnimatedImage::initWithAnimatedGIFData(gifData(uniformGif(12)), 4, true);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->cachedFrameIndexes(), (std::set<uint64_t>{0}));

    EXPECT_EQ(image->imageLazilyCachedAtIndex(6), nullptr);  // not decoded yet
    EXPECT_EQ(image->requestedFrameIndex(), 6u);
    env.runUntilIdle();
    EXPECT_EQ(image->cachedFrameIndexes(), (std::set<uint64_t>{0, 6, 7, 8, 9}));
    EXPECT_TRUE(image->imageLazilyCachedAtIndex(7));

    // Near the end the window wraps to the start.
    image->imageLazilyCachedAtIndex(10);
    env.runUntilIdle();
    image->imageLazilyCachedAtIndex(10);
    EXPECT_EQ(image->cachedFrameIndexes(), (std::set<uint64_t>{0, 1, 10, 11}));

    EXPECT_EQ(image->imageLazilyCachedAtIndex(image->frameCount()), nullptr);
    EXPECT_EQ(image->requestedFrameIndex(), 10u);
    EXPECT_TRUE(log.contains("Skipping requested frame 12 beyond bounds (total frame count: 12)"));

    size_t most = 0;
    play(env, *image, 2, &most);
    EXPECT_LE(most, 5u);  // the window and the poster
    image->setFrameCacheSizeMax(1);
    image->imageLazilyCachedAtIndex(5);
    EXPECT_TRUE(image->cachedFrameIndexes().count(0));
    EXPECT_LE(image->cachedFrameIndexes().size(), 2u);
}

TEST_F(GifImageTest, MemoryWarningsShrinkTheCacheAndItGrowsBackInSteps) {
    auto image = KVTRGFAnimatedImage::initWithAnimatedGIFData(gifData(uniformGif(20)), 6, false);
    ASSERT_TRUE(image);
    play(env, *image, 1);
    ASSERT_GE(image->cachedFrameIndexes().size(), 6u);

    postMemoryWarning();
    EXPECT_EQ(image->memoryWarningCount(), 1u);
    EXPECT_EQ(image->frameCacheSizeCurrent(), 1u);
    EXPECT_LE(image->cachedFrameIndexes().size(), 2u);  // one frame and the poster
    EXPECT_TRUE(image->cachedFrameIndexes().count(0));
    env.fastForwardBy(1.9);
    EXPECT_EQ(image->frameCacheSizeCurrent(), 1u);
    env.fastForwardBy(0.2);
    EXPECT_EQ(image->frameCacheSizeCurrent(), 2u);
    EXPECT_TRUE(log.contains("Grew frame cache size max to 2 after memory warning"));
    env.fastForwardBy(2.8);
    EXPECT_EQ(image->frameCacheSizeCurrent(), 2u);
    env.fastForwardBy(0.2);
    EXPECT_EQ(image->frameCacheSizeCurrent(), 6u);

    // A warning during the grow-back starts the steps over.
    postMemoryWarning();
    env.fastForwardBy(2.1);
    postMemoryWarning();
    EXPECT_EQ(image->frameCacheSizeCurrent(), 1u);
    env.fastForwardBy(2.1);
    EXPECT_EQ(image->frameCacheSizeCurrent(), 2u);
    env.fastForwardBy(3.0);
    EXPECT_EQ(image->frameCacheSizeCurrent(), 6u);

    // From the fourth warning on the cap stays at one frame.
    postMemoryWarning();
    EXPECT_EQ(image->memoryWarningCount(), 4u);
    env.fastForwardBy(10);
    EXPECT_EQ(image->frameCacheSizeCurrent(), 1u);
    size_t most = 0;
    play(env, *image, 1, &most);
    EXPECT_LE(most, 2u);
}

TEST_F(GifImageTest, AFreedImageGetsNoFrameAndCancelsItsDelayedCalls) {
    auto image = KVTRGFAnimatedImage::initWithAnimatedGIFData(gifData(uniformGif(30)), 10, true);
    ASSERT_TRUE(image);
    ns::Weak<KVTRGFAnimatedImage> weak = image;
    auto proxy = image->weakProxy();
    image->imageLazilyCachedAtIndex(15);
    postMemoryWarning();
    image.reset();
    EXPECT_TRUE(weak.expired());  // neither the queue nor the delayed calls hold it
    env.runUntilIdle();
    env.fastForwardBy(6);
    EXPECT_EQ(proxy->target(), nullptr);
    // Calls through the proxy of a freed image are dropped and answer empty.
    EXPECT_EQ(proxy->forward<KVTRGFAnimatedImage>([](KVTRGFAnimatedImage& i) { return i.frameCount(); }), 0u);
    EXPECT_FALSE(log.contains("Grew frame cache size max"));
}

TEST_F(GifImageTest, AFileOfMoreFramesThanABudgetHoldsPicturesPlaysTheLeadingOnes) {
    // A record and a delay for every frame: 4,000,000 one-pixel frames took
    // 594 MB to set up. The image plays as many as the other players do.
    ns::LogCapture capture;
    auto image = KVTRGFAnimatedImage::animatedImageWithGIFData(
        ns::Data::make(testing::gifOfDelaysDefeatingTheStep(cg::MaximumPicturesPerFile + 9'000)));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->frameCount(), cg::MaximumPicturesPerFile);
    EXPECT_EQ(image->delayTimesForIndexes().size(), cg::MaximumPicturesPerFile);
    EXPECT_TRUE(capture.contains("KVTRGFAnimatedImage: kept 131072 of the 140072 pictures of a com.compuserve.gif file"))
        << testing::PrintToString(capture.lines());
    EXPECT_FALSE(image->imageLazilyCachedAtIndex(cg::MaximumPicturesPerFile));
    EXPECT_TRUE(log.contains("Skipping requested frame 131072 beyond bounds (total frame count: 131072)"));
}

TEST_F(GifImageTest, AGifWhoseFramesAllFailHasNoPosterAndNoDelays) {
    GifSpec spec;
    spec.frames = {{10, true}, {10, true}};
    auto image = KVTRGFAnimatedImage::animatedImageWithGIFData(gifData(spec));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->frameCount(), 2u);
    EXPECT_EQ(image->posterImage(), nullptr);
    EXPECT_TRUE(image->delayTimesForIndexes().empty());
    EXPECT_TRUE(log.contains("Dropping frame 0 because failed to `CGImageSourceCreateImageAtIndex`"));
    EXPECT_EQ(image->imageLazilyCachedAtIndex(1), nullptr);
    env.runUntilIdle();
    EXPECT_EQ(image->imageLazilyCachedAtIndex(1), nullptr);
}

TEST_F(GifImageTest, PredrawingKeepsThePixelsAndTurnsStraightAlphaPremultiplied) {
    cg::Bitmap bitmap(2, 2, cg::PixelFormat::ARGB32Premultiplied);
    bitmap.setPixel(1, 1, {255, 10, 20, 30});
    auto straight = ui::Image::imageWithCGImage(cg::Image::make(bitmap, cg::ImageAlphaInfo::Last), 1);
    auto drawn = KVTRGFAnimatedImage::predrawnImageFromImage(straight);
    ASSERT_NE(drawn, straight);
    EXPECT_EQ(drawn->cgImage()->alphaInfo(), cg::ImageAlphaInfo::PremultipliedLast);
    EXPECT_EQ(drawn->cgImage()->bitmap().pixel(1, 1), (cg::Pixel{255, 10, 20, 30}));
    EXPECT_EQ(drawn->cgImage()->bitmap().pixel(0, 0).alpha, 0);

    auto opaque = ui::Image::imageWithCGImage(cg::Image::make(bitmap, cg::ImageAlphaInfo::None), 1);
    auto skipped = KVTRGFAnimatedImage::predrawnImageFromImage(opaque);
    EXPECT_EQ(skipped->cgImage()->alphaInfo(), cg::ImageAlphaInfo::NoneSkipFirst);
    EXPECT_FALSE(skipped->cgImage()->hasAlpha());

    // Nothing to draw into: the input comes back, with the reason logged.
    auto empty = ui::Image::imageWithCGImage(cg::Image::make(cg::Bitmap(0, 0, cg::PixelFormat::RGB24)), 1);
    EXPECT_EQ(KVTRGFAnimatedImage::predrawnImageFromImage(empty), empty);
    EXPECT_TRUE(log.contains("Failed to `CGBitmapContextCreate`"));
}

TEST_F(GifImageTest, TheFramesItHoldsAreChargedPredrawnOrNot) {
    ui::DecodedPixelAccount& account = ui::DecodedPixelAccount::shared();
    const uint64_t before = account.pixelsHeld();
    for (bool predraw : {false, true}) {
        auto image = KVTRGFAnimatedImage::initWithAnimatedGIFData(gifData(uniformGif(12)), 4, predraw);
        ASSERT_TRUE(image);
        const auto& poster = image->posterImage()->cgImage();
        const uint64_t frame = uint64_t(poster->width()) * uint64_t(poster->height());
        // The poster, and the screen the image's source composes frames on.
        EXPECT_EQ(account.pixelsHeld(), before + 2 * frame) << "predraw " << predraw;
        image->imageLazilyCachedAtIndex(6);
        env.runUntilIdle();
        EXPECT_EQ(image->cachedFrameIndexes(), (std::set<uint64_t>{0, 6, 7, 8, 9}));
        EXPECT_EQ(account.pixelsHeld(), before + 6 * frame) << "predraw " << predraw;
        image = nullptr;
        env.runUntilIdle();
        EXPECT_EQ(account.pixelsHeld(), before);
    }
}

}  // namespace
