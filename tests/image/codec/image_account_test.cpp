// The codec's readers charge the account of decoded pixels for every
// picture they make from data, still, GIF frame or animated PNG frame, and
// the copy they draw for display keeps the charge for as long as it is
// shown; past the account nothing is decoded. The app's own named files
// are not charged.

#include <gtest/gtest.h>

#include <fstream>

#include "animated_test_support.h"
#include "image/codec/TVImage.h"
#include "platform/foundation/Log.h"
#include "platform/graphics/PictureAccount.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/uikit/DecodedPixelAccount.h"
#include "png_test_support.h"
#include "tests/platform/foundation/filemanager_test_folders.h"

namespace {

class ImageAccountTest : public ::testing::Test {
protected:
    ImageAccountTest() { account.setLimitForTesting(1000); }
    ~ImageAccountTest() override { account.setLimitForTesting(ui::MaximumDecodedPixels); }

    ui::DecodedPixelAccount& account = ui::DecodedPixelAccount::shared();
    // A refusal's warning goes to this main queue.
    testing::TaskEnvironment env;
};

TEST_F(ImageAccountTest, TheImageAndItsDecoderChargeEveryPictureTheyMakeForAsLongAsItIsShown) {
    auto still = TVImage::imageWithData(solidPng(10, 10));
    ASSERT_TRUE(still);
    EXPECT_EQ(account.pixelsHeld(), 100u) << "the copy drawn for display keeps the charge";
    still = nullptr;
    EXPECT_EQ(account.pixelsHeld(), 0u);

    auto frame = TVImageDecoder::decoderWithData(solidPng(10, 10), 1)->frameAtIndex(0, true);
    ASSERT_TRUE(frame && frame->image);
    EXPECT_EQ(account.pixelsHeld(), 100u);
    frame = nullptr;
    EXPECT_EQ(account.pixelsHeld(), 0u);

    // Animated PNG frames are read by the decoder itself.
    std::vector<pngtest::Frame> frames;
    frames.push_back({pngtest::solid(10, 10, 255, 255, 0, 0)});
    frames.push_back({pngtest::solid(10, 10, 255, 0, 255, 0)});
    auto apng = TVImage::imageWithData(ns::Data::make(pngtest::apng(frames)));
    ASSERT_TRUE(apng);
    ASSERT_EQ(apng->animatedImageFrameCount(), 2u);
    const uint64_t first = account.pixelsHeld();
    EXPECT_EQ(first, 100u);
    auto second = apng->animatedImageFrameAtIndex(1);
    ASSERT_TRUE(second);
    EXPECT_EQ(account.pixelsHeld(), 200u);
    second = nullptr;
    apng = nullptr;
    EXPECT_EQ(account.pixelsHeld(), 0u);

    // GIF frames, composed on their 4 x 4 screen, which the image's decoder
    // keeps and is charged too.
    auto gif = TVImage::imageWithData(solidGif({10, 10}));
    ASSERT_TRUE(gif);
    auto gifFrame = gif->animatedImageFrameAtIndex(1);
    ASSERT_TRUE(gifFrame);
    EXPECT_EQ(account.pixelsHeld(), 48u);
    gifFrame = nullptr;
    gif = nullptr;
    EXPECT_EQ(account.pixelsHeld(), 0u) << "the screen goes with the decoder";
}

TEST_F(ImageAccountTest, PastTheAccountNothingIsDecodedAndTheRefusalIsToldApartFromBrokenData) {
    auto held = TVImage::imageWithData(solidPng(30, 30));
    ASSERT_TRUE(held);
    ns::LogCapture log;
    cg::PictureRefusals refusals;
    // 121 more would pass 1,000.
    EXPECT_FALSE(TVImage::imageWithData(solidPng(11, 11)));
    EXPECT_FALSE(TVImageDecoder::decoderWithData(solidPng(11, 11), 1)->frameAtIndex(0, true));
    EXPECT_EQ(refusals.count(), 2u);
    EXPECT_TRUE(log.contains("picture 0 of a public.png file (11 x 11) is not decoded"));
    EXPECT_EQ(account.pixelsHeld(), 900u);
    // Data that decodes to nothing is no refusal.
    EXPECT_FALSE(TVImage::imageWithData(ns::Data::make(std::vector<uint8_t>(64, 0x42))));
    EXPECT_EQ(refusals.count(), 2u);
    held = nullptr;
    EXPECT_TRUE(TVImage::imageWithData(solidPng(11, 11)));
}

TEST_F(ImageAccountTest, TheAppsOwnNamedFilesAreNotCharged) {
    ns::testing_support::ScratchFolder folder;
    ns::testing_support::ScopedEnvironment resources;
    resources.set("GAMEHOST_RESOURCES", folder.path());
    const auto bytes = solidPngBytes(40, 40);
    std::ofstream(folder / "icon.png", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    auto own = TVImage::imageNamed("icon");
    ASSERT_TRUE(own) << "1,600 pixels, past the account, read all the same";
    EXPECT_EQ(account.pixelsHeld(), 0u);
}

}  // namespace
