// A GIF source composes its frames on a screen it keeps, and on a second
// one under a frame that restores what was under it: both are charged to
// the account of decoded pixels from when they are made until the source
// goes, and a frame the account cannot hold them for is refused. A frame
// asked for again right after it was made is handed out from the screen as
// it stands, not composed again from the first.

#include <gtest/gtest.h>

#include "image/codec/TVImage.h"
#include "image/codec/UIImage+TVImageCoder.h"
#include "platform/foundation/Data.h"
#include "platform/graphics/ImageSource.h"
#include "platform/graphics/PictureAccount.h"
#include "platform/testing/GifFiles.h"

#include "account_test_support.h"

namespace {

constexpr int Side = 64;
constexpr uint64_t Screen = uint64_t(Side) * Side;

// A full first frame, then patches that move about with every disposal in
// turn: frame 2 restores what was under it.
std::vector<uint8_t> bannerGif(int frames) { return testing::gifOfMovingPatches(Side, Side, frames, 16, 16); }

class GifScreensTest : public DecodedPixelsTest {};

TEST_F(GifScreensTest, TheScreensASourceKeepsAreChargedUntilItGoes) {
    const auto bytes = bannerGif(4);
    auto source = cg::ImageSource::createWithData(bytes);
    ASSERT_EQ(source->count(), 4u);
    {
        auto first = source->createImageAtIndex(0);
        ASSERT_TRUE(first);
        EXPECT_EQ(held(), 2 * Screen) << "the picture and the screen it was composed on";
    }
    EXPECT_EQ(held(), Screen) << "the screen stays with the source";
    EXPECT_TRUE(source->createImageAtIndex(1));
    EXPECT_EQ(held(), Screen);
    {
        // Frame 2 restores what was under it: a second screen is kept.
        auto restoring = source->createImageAtIndex(2);
        ASSERT_TRUE(restoring);
        EXPECT_EQ(held(), 3 * Screen);
    }
    EXPECT_EQ(held(), 2 * Screen);
    EXPECT_TRUE(source->createImageAtIndex(3));
    EXPECT_TRUE(source->createImageAtIndex(0)) << "starting over makes no screen more";
    EXPECT_EQ(held(), 2 * Screen);
    source = nullptr;
    EXPECT_EQ(held(), 0u);

    // The app's own files are not charged, screens included.
    auto own = cg::ImageSource::createWithData(bytes);
    own->setCharged(false);
    EXPECT_TRUE(own->createImageAtIndex(2));
    EXPECT_EQ(held(), 0u);
}

TEST_F(GifScreensTest, AFrameWhoseScreensTheAccountCannotHoldIsRefusedAndComposedLater) {
    const auto bytes = bannerGif(4);
    const std::vector<cg::Bitmap> expected = testing::composedByGiflib(bytes);
    ASSERT_EQ(expected.size(), 4u);
    {
        // Room for a picture and the screen, not for the picture beside the
        // screen a new source makes.
        account.setLimitForTesting(before + 2 * Screen - 1);
        auto source = cg::ImageSource::createWithData(bytes);
        cg::PictureRefusals refusals;
        EXPECT_FALSE(source->createImageAtIndex(0));
        EXPECT_EQ(refusals.count(), 1u);
        EXPECT_EQ(held(), 0u);
    }
    account.setLimitForTesting(before + 2 * Screen);
    auto source = cg::ImageSource::createWithData(bytes);
    auto first = source->createImageAtIndex(0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->bitmap(), expected[0]);
    first = nullptr;
    EXPECT_EQ(source->createImageAtIndex(1)->bitmap(), expected[1]);
    {
        // Frame 2 needs its picture and the screen kept under it.
        cg::PictureRefusals refusals;
        EXPECT_FALSE(source->createImageAtIndex(2));
        EXPECT_EQ(refusals.count(), 1u);
        EXPECT_EQ(held(), Screen);
    }
    // With room, the frames come out whole, from where composing stopped.
    account.setLimitForTesting(before + 3 * Screen);
    for (size_t i = 2; i < expected.size(); ++i) {
        auto frame = source->createImageAtIndex(i);
        ASSERT_TRUE(frame) << i;
        EXPECT_EQ(frame->bitmap(), expected[i]) << i;
    }
}

// What decoding a GIF's frames inflates, for frames asked in `order`.
struct Asked {
    uint64_t inflated = 0;
    std::vector<cg::Bitmap> pictures;
};

Asked ask(const std::vector<uint8_t>& bytes, const std::vector<size_t>& order) {
    auto source = cg::ImageSource::createWithData(bytes);
    Asked asked;
    for (size_t index : order) {
        auto picture = source->createImageAtIndex(index);
        EXPECT_TRUE(picture) << index;
        if (picture) asked.pictures.push_back(picture->bitmap());
    }
    asked.inflated = source->counters().work.bytesInflated;
    return asked;
}

TEST_F(GifScreensTest, AFrameAskedAgainRightAfterItWasMadeIsHandedOutAsItStands) {
    const auto bytes = bannerGif(60);
    const std::vector<cg::Bitmap> expected = testing::composedByGiflib(bytes);
    ASSERT_EQ(expected.size(), 60u);
    std::vector<size_t> once, twice;
    for (size_t i = 0; i < 60; ++i) {
        once.push_back(i);
        twice.insert(twice.end(), {i, i});
    }
    const Asked one = ask(bytes, once);
    const Asked two = ask(bytes, twice);
    ASSERT_GT(one.inflated, 0u);
    EXPECT_EQ(two.inflated, one.inflated) << "each frame decoded once";
    ASSERT_EQ(two.pictures.size(), 120u);
    for (size_t i = 0; i < 60; ++i) {
        EXPECT_EQ(one.pictures[i], expected[i]) << i;
        EXPECT_EQ(two.pictures[2 * i], expected[i]) << i;
        EXPECT_EQ(two.pictures[2 * i + 1], expected[i]) << i;
    }
    // Going back still starts over: frame 1 after frame 3 decodes frames 0
    // and 1 again.
    const Asked back = ask(bytes, {0, 1, 2, 3, 1});
    EXPECT_EQ(back.pictures.back(), expected[1]);
    EXPECT_GT(back.inflated, ask(bytes, {0, 1, 2, 3}).inflated + ask(bytes, {0}).inflated);
}

TEST_F(GifScreensTest, ViewsTakingTurnsOnOneImageShareEachFrameWhileOneHoldsIt) {
    const auto bytes = bannerGif(60);
    const std::vector<cg::Bitmap> expected = testing::composedByGiflib(bytes);
    auto image = TVImage::imageWithData(ns::Data::make(bytes));
    ASSERT_TRUE(image);
    ASSERT_EQ(image->animatedImageFrameCount(), 60u);
    for (uint64_t i = 0; i < 60; ++i) {
        // Each view's buffer holds the frame it was given until it shows it.
        auto first = image->animatedImageFrameAtIndex(i);
        auto second = image->animatedImageFrameAtIndex(i);
        ASSERT_TRUE(first && second) << i;
        EXPECT_NE(first, second) << "an image of its own for each view";
        EXPECT_EQ(first->cgImage(), second->cgImage()) << "the same pixels, made once: " << i;
        EXPECT_EQ(second->cgImage()->bitmap(), expected[i]) << i;
        EXPECT_TRUE(TV_isDecodedForDisplay(second.get())) << i;
    }
    // Let go, a frame asked again is made again, the same.
    ASSERT_TRUE(image->animatedImageFrameAtIndex(59));
    auto again = image->animatedImageFrameAtIndex(59);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->cgImage()->bitmap(), expected[59]);
}

}  // namespace
