// The account of pixels held by pictures decoded from data: charged before
// each picture is decoded, refused past its limit with a log line (and no
// picture after), held by every reference to the pixels and given back by
// the last; the app's own files are not charged.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "platform/foundation/Log.h"
#include "platform/graphics/Png.h"
#include "platform/testing/GifFiles.h"
#include "platform/uikit/DecodedPixelAccount.h"
#include "platform/uikit/Image.h"
#include "ui_test_support.h"

namespace {

class DecodedPixelAccountTest : public UIKitTest {
protected:
    ~DecodedPixelAccountTest() override { account.setLimitForTesting(ui::MaximumDecodedPixels); }

    ui::DecodedPixelAccount& account = ui::DecodedPixelAccount::shared();
};

ns::Ref<ns::Data> pngOf(int side) {
    return ns::Data::make(cg::encodePng(cg::Bitmap(side, side, cg::PixelFormat::ARGB32Premultiplied)));
}

TEST_F(DecodedPixelAccountTest, APictureIsHeldUntilItsLastReferenceGoesAndOnePastTheLimitIsRefused) {
    account.setLimitForTesting(100);
    ns::LogCapture log;
    auto first = ui::Image::imageWithData(pngOf(8));
    ASSERT_TRUE(first);
    EXPECT_EQ(account.pixelsHeld(), 64u);
    EXPECT_FALSE(ui::Image::imageWithData(pngOf(8))) << "64 more would pass 100";
    EXPECT_TRUE(log.contains("picture 0 of a public.png file (8 x 8) is not decoded"));
    EXPECT_TRUE(ui::Image::imageWithData(pngOf(6)));  // 36 fit, and go at once
    EXPECT_EQ(account.pixelsHeld(), 64u);

    // A layer keeping the pixels keeps them charged.
    ns::Ref<cg::Image> pixels = first->cgImage();
    first = nullptr;
    EXPECT_EQ(account.pixelsHeld(), 64u);
    pixels = nullptr;
    EXPECT_EQ(account.pixelsHeld(), 0u);
}

TEST_F(DecodedPixelAccountTest, AFileOfSeveralPicturesKeepsThoseThatFitAndTheAppsOwnFilesAreNotCharged) {
    // Frames of a 4 x 4 screen, 16 pixels each: two fit in 40.
    account.setLimitForTesting(40);
    ns::LogCapture log;
    auto animated = ui::Image::imageWithData(ns::Data::make(testing::gifOfDots(4, 3)));
    ASSERT_TRUE(animated);
    EXPECT_EQ(animated->images().size(), 2u);
    EXPECT_EQ(account.pixelsHeld(), 32u);
    EXPECT_TRUE(log.contains("kept 2 of the 3 pictures of a com.compuserve.gif file"));

    const auto file = std::filesystem::temp_directory_path() / ("decoded-pixel-account-" + std::to_string(::getpid()) + ".png");
    const auto bytes = cg::encodePng(cg::Bitmap(16, 16, cg::PixelFormat::ARGB32Premultiplied));
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    auto own = ui::Image::imageWithContentsOfFile(file.string());
    std::filesystem::remove(file);
    ASSERT_TRUE(own) << "the app's own picture is read past the account";
    EXPECT_EQ(account.pixelsHeld(), 32u);
    animated = nullptr;
    EXPECT_EQ(account.pixelsHeld(), 0u);
}

}  // namespace
