// The image cache: what each level holds after a store, the scale kept
// beside the bytes, lookups and their promotion into memory, costs and the
// memory warning; pictures read back from disk charged to the account of
// decoded pixels, whose first refusal empties the memory level.

#include <gtest/gtest.h>

#include "image/cache/TVImageCache.h"
#include "image/codec/UIImage+TVImageCoder.h"
#include "platform/dispatch/MainThread.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Number.h"
#include "platform/runtime/Exception.h"
#include "platform/testing/LoopbackImageServer.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/DecodedPixelAccount.h"
#include "platform/uikit/Screen.h"
#include "tests/image/cache/cache_test_support.h"

namespace {

using cache_test::CacheTest;

class ImageStoreTest : public CacheTest {
protected:
    ImageStoreTest() {
        // A screen scale no picture here is stored at, so a fallback to it shows.
        savedModel_ = ui::Screen::mainScreen()->model();
        ui::ScreenModel model = savedModel_;
        model.scale = 3;
        ui::Screen::mainScreen()->setModel(model);
        cache_ = TVImageCache::initWithPath(folder("images"));
    }
    ~ImageStoreTest() override { ui::Screen::mainScreen()->setModel(savedModel_); }

    static ns::Ref<ns::Data> pngData(int side = 8) {
        return ns::Data::withBytes(testing::LoopbackImageServer::png(side, side, false));
    }

    ui::ScreenModel savedModel_;
    ns::Ref<TVImageCache> cache_;
};

TEST_F(ImageStoreTest, PlainInitRaisesAndLevelsAreSetUp) {
    try {
        TVImageCache cache;
        FAIL() << "init made a cache";
    } catch (const ns::Exception& e) {
        EXPECT_EQ(e.name(), "TVImageCache init error");
        EXPECT_EQ(e.reason(), "TVImageCache must be initialized with a path. Use 'initWithPath:' instead.");
    }
    ASSERT_TRUE(cache_);
    EXPECT_EQ(cache_->memoryCache()->ageLimit(), 43200);
    EXPECT_EQ(cache_->memoryCache()->countLimit(), UINT64_MAX);
    EXPECT_EQ(cache_->diskCache()->inlineThreshold(), 20480u);
    EXPECT_TRUE(cache_->allowAnimatedImage());
    EXPECT_TRUE(cache_->decodeForDisplay());
    EXPECT_FALSE(TVImageCache::initWithPath(""));
}

TEST_F(ImageStoreTest, ScaleComesFromTheStoredImageElseTheScreen) {
    // Data alone: the screen's scale.
    cache_->setImage(nullptr, pngData(), "plain", TVImageCacheTypeDisk);
    auto plain = cache_->getImageForKey("plain", TVImageCacheTypeDisk);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->scale(), 3);
    EXPECT_TRUE(TV_isDecodedForDisplay(plain.get()));

    // An image of scale 2 with its data: 2, and the bytes are kept as they are.
    auto data = pngData();
    auto twice = ui::Image::imageWithData(data, 2);
    cache_->setImage(twice, data, "twice", TVImageCacheTypeDisk);
    auto read = cache_->getImageForKey("twice", TVImageCacheTypeDisk);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->scale(), 2);
    EXPECT_TRUE(cache_->getImageDataForKey("twice")->isEqual(data.get()));

    // A stored scale of 0 or below reads back at the screen's.
    for (double bad : {0.0, -1.0}) {
        // An image's scale is never below 0 here: write the side record by hand.
        auto bytes = pngData();
        TVDiskCache::setExtendedDataToObject(
            ns::KeyedArchiver::archivedDataWithRootObject(ns::Number::withDouble(bad)), bytes);
        cache_->setImage(nullptr, bytes, "bad", TVImageCacheTypeDisk);
        auto back = cache_->getImageForKey("bad", TVImageCacheTypeDisk);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->scale(), 3) << bad;
    }
}

TEST_F(ImageStoreTest, MemoryStoreOfDataFillsAfterTheLowPriorityQueue) {
    cache_->setImage(nullptr, pngData(), "k", TVImageCacheTypeMemory);
    // The decode is queued; the key appears only once it has run.
    env_.runUntilIdle();
    EXPECT_TRUE(cache_->containsImageForKey("k", TVImageCacheTypeMemory));
    EXPECT_FALSE(cache_->containsImageForKey("k", TVImageCacheTypeDisk));
    auto image = cache_->getImageForKey("k", TVImageCacheTypeMemory);
    ASSERT_TRUE(image);
    EXPECT_EQ(cache_->memoryCache()->totalCost(), TVImageCache::imageCost(image.get()));

    // An image not yet decoded is decoded first, with the cost of the image handed in.
    auto raw = ui::Image::imageWithData(pngData(16), 1);
    ASSERT_FALSE(TV_isDecodedForDisplay(raw.get()));
    cache_->setImage(raw, nullptr, "raw", TVImageCacheTypeAll);
    env_.runUntilIdle();
    auto stored = cache_->getImageForKey("raw", TVImageCacheTypeMemory);
    ASSERT_TRUE(stored);
    EXPECT_NE(stored, raw);
    EXPECT_TRUE(TV_isDecodedForDisplay(stored.get()));
    // And encoded for disk off the calling thread, its scale beside it.
    EXPECT_TRUE(cache_->containsImageForKey("raw", TVImageCacheTypeDisk));
    EXPECT_EQ(cache_->getImageForKey("raw", TVImageCacheTypeDisk)->scale(), 1);

    // Nothing stored for an empty key or for no image and no bytes.
    cache_->setImage(nullptr, ns::Data::make(), "empty", TVImageCacheTypeAll);
    cache_->setImage(raw, nullptr, "", TVImageCacheTypeAll);
    env_.runUntilIdle();
    EXPECT_FALSE(cache_->containsImageForKey("empty"));
}

TEST_F(ImageStoreTest, SyncDiskHitStaysOutOfMemoryAsyncOneIsPromotedWithoutCost) {
    cache_->setImage(nullptr, pngData(), "k", TVImageCacheTypeDisk);
    ASSERT_TRUE(cache_->getImageForKey("k", TVImageCacheTypeDisk));
    EXPECT_FALSE(cache_->containsImageForKey("k", TVImageCacheTypeMemory));

    ASSERT_TRUE(cache_->getImageForKey("k", TVImageCacheTypeAll));
    EXPECT_TRUE(cache_->containsImageForKey("k", TVImageCacheTypeMemory));
    cache_->removeImageForKey("k", TVImageCacheTypeMemory);

    ns::Ref<ui::Image> got;
    TVImageCacheType from = 99;
    cache_->getImageForKey("k", TVImageCacheTypeDisk, [&](const ns::Ref<ui::Image>& image, TVImageCacheType type) {
        EXPECT_TRUE(dispatch::isMainThread());
        got = image;
        from = type;
    });
    env_.runUntilIdle();
    ASSERT_TRUE(got);
    EXPECT_EQ(from, TVImageCacheTypeDisk);
    EXPECT_TRUE(cache_->containsImageForKey("k", TVImageCacheTypeMemory));
    EXPECT_EQ(cache_->memoryCache()->totalCost(), 0u);

    // Memory first, then nothing for a missing key.
    cache_->getImageForKey("k", TVImageCacheTypeAll, [&](const ns::Ref<ui::Image>&, TVImageCacheType type) { from = type; });
    env_.runUntilIdle();
    EXPECT_EQ(from, TVImageCacheTypeMemory);
    cache_->getImageForKey("none", TVImageCacheTypeAll, [&](const ns::Ref<ui::Image>& image, TVImageCacheType type) {
        got = image;
        from = type;
    });
    env_.runUntilIdle();
    EXPECT_FALSE(got);
    EXPECT_EQ(from, TVImageCacheTypeNone);
}

TEST_F(ImageStoreTest, CostsAndTheMemoryWarning) {
    auto empty = std::make_shared<ui::Image>();
    EXPECT_EQ(TVImageCache::imageCost(empty.get()), 1u);
    EXPECT_EQ(TVImageCache::imageCost(nullptr), 1u);
    auto image = ui::Image::imageWithData(pngData(10), 1);
    EXPECT_EQ(TVImageCache::imageCost(image.get()), 10 * image->cgImage()->bytesPerRow());

    auto data = pngData();
    cache_->setImage(TV_imageByDecoded(ui::Image::imageWithData(data, 1)), data, "k", TVImageCacheTypeAll);
    ASSERT_TRUE(cache_->containsImageForKey("k", TVImageCacheTypeMemory));
    ns::NotificationCenter::defaultCenter()->postNotificationName(ui::ApplicationDidReceiveMemoryWarningNotification);
    EXPECT_FALSE(cache_->containsImageForKey("k", TVImageCacheTypeMemory));
    EXPECT_TRUE(cache_->containsImageForKey("k", TVImageCacheTypeDisk));
    EXPECT_TRUE(cache_->getImageForKey("k"));
}

TEST_F(ImageStoreTest, WithoutAnimationOnlyTheFirstFrameIsDecoded) {
    cache_->setAllowAnimatedImage(false);
    cache_->setImage(nullptr, pngData(), "k", TVImageCacheTypeDisk);
    auto image = cache_->getImageForKey("k", TVImageCacheTypeDisk);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->className(), "UIImage");
    EXPECT_FALSE(cache_->imageFromData(ns::Data::withBytes(std::string("not a picture"))));
}

class ImageStoreAccountTest : public ImageStoreTest {
protected:
    ImageStoreAccountTest() { account.setLimitForTesting(250); }
    ~ImageStoreAccountTest() override { account.setLimitForTesting(ui::MaximumDecodedPixels); }

    ui::DecodedPixelAccount& account = ui::DecodedPixelAccount::shared();
};

TEST_F(ImageStoreAccountTest, PicturesReadBackFromDiskAreChargedWhileTheyAreHeld) {
    cache_->setImage(nullptr, pngData(10), "k", TVImageCacheTypeDisk);
    auto animated = cache_->getImageForKey("k", TVImageCacheTypeDisk);
    ASSERT_TRUE(animated);
    EXPECT_EQ(account.pixelsHeld(), 100u);
    cache_->setAllowAnimatedImage(false);
    auto still = cache_->getImageForKey("k", TVImageCacheTypeDisk);
    ASSERT_TRUE(still);
    EXPECT_EQ(account.pixelsHeld(), 200u);
    animated = nullptr;
    still = nullptr;
    EXPECT_EQ(account.pixelsHeld(), 0u);
}

TEST_F(ImageStoreAccountTest, TheFirstRefusalWarnsTheAppAndTheMemoryLevelLetsItsPicturesGo) {
    for (const char* key : {"a", "b", "c"}) cache_->setImage(nullptr, pngData(10), key, TVImageCacheTypeDisk);
    // Read back into the memory level, and let go by their callers.
    ASSERT_TRUE(cache_->getImageForKey("a", TVImageCacheTypeAll));
    ASSERT_TRUE(cache_->getImageForKey("b", TVImageCacheTypeAll));
    EXPECT_EQ(account.pixelsHeld(), 200u);
    EXPECT_FALSE(cache_->getImageForKey("c", TVImageCacheTypeDisk)) << "100 more would pass 250";
    EXPECT_TRUE(cache_->containsImageForKey("a", TVImageCacheTypeMemory)) << "warned later, on the main queue";
    env_.fastForwardBy(1);
    EXPECT_FALSE(cache_->containsImageForKey("a", TVImageCacheTypeMemory));
    EXPECT_EQ(account.pixelsHeld(), 0u);
    EXPECT_TRUE(cache_->getImageForKey("c", TVImageCacheTypeDisk));
}

}  // namespace
