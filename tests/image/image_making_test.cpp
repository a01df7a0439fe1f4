// Images from a colour, a drawing and small GIFs; drawing by content mode,
// resizing, cropping and insets.

#include <gtest/gtest.h>

#include "image/UIImage+TVWebImage.h"
#include "image_utils_support.h"
#include "platform/testing/GifFiles.h"
#include "platform/testing/PeakBound.h"
#include "platform/testing/ScreenScaleScope.h"
#include "platform/uikit/DecodedPixelAccount.h"
#include "platform/uikit/GraphicsContext.h"

namespace {

TEST(ImageMakingTest, ColourAndDrawingImages) {
    testing::ScreenScaleScope screen(2);
    EXPECT_FALSE(TV_imageWithColor(std::nullopt));
    EXPECT_FALSE(TV_imageWithColor(cg::Color::white(), {0, 4}));
    auto dot = TV_imageWithColor(cg::Color(0, 0, 1, 1));
    ASSERT_TRUE(dot);
    EXPECT_EQ(dot->scale(), 2);
    EXPECT_EQ(dot->cgImage()->width(), 2);
    EXPECT_EQ(pixelOf(dot, 1, 1), (cg::Pixel{255, 0, 0, 255}));

    EXPECT_FALSE(TV_imageWithSize({4, 4}, nullptr));
    EXPECT_FALSE(TV_imageWithSize({0, 4}, [](cg::BitmapContext&) {}));
    auto drawn = TV_imageWithSize({3, 2}, [](cg::BitmapContext& context) {
        context.setFillColor(cg::Color(1, 0, 0, 1));
        context.fillRect({1, 0, 1, 1});
    });
    ASSERT_TRUE(drawn);
    EXPECT_EQ(drawn->size(), (cg::Size{3, 2}));
    EXPECT_EQ(pixelOf(drawn, 2, 0), (cg::Pixel{255, 255, 0, 0}));
    EXPECT_EQ(pixelOf(drawn, 0, 0).alpha, 0);
}

TEST(ImageMakingTest, SmallGifFramesRepeatForTheirTicks) {
    // 0.04 s and 0.08 s: 2 and 4 ticks, so 1 and 2 repeats of 0.04 s.
    auto image = TV_imageWithSmallGIFData(gifWithDelays({4, 8}), 2);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->images().size(), 3u);
    EXPECT_NEAR(image->duration(), 0.12, 1e-9);
    EXPECT_EQ(image->images()[1], image->images()[2]);  // one bitmap for the repeats
    EXPECT_NE(image->images()[0], image->images()[1]);
    EXPECT_EQ(image->images()[0]->scale(), 2);
    EXPECT_EQ(pixelOf(image->images()[2], 0, 0), (cg::Pixel{255, 0, 255, 0}));

    // 0.01 s counts as 0.1 s (5 ticks); 0.05 s is 2.5 ticks, rounded to the
    // even 2: the frames share no common step but one tick.
    auto mixed = TV_imageWithSmallGIFData(gifWithDelays({1, 5}), 1);
    ASSERT_TRUE(mixed);
    EXPECT_EQ(mixed->images().size(), 7u);
    EXPECT_NEAR(mixed->duration(), 0.15, 1e-9);

    // Each frame's 2 x 2 pixels are charged for as long as it is shown:
    // the copy drawn of it keeps the charge of the frame it was drawn from.
    ui::DecodedPixelAccount& account = ui::DecodedPixelAccount::shared();
    const uint64_t before = account.pixelsHeld();
    auto charged = TV_imageWithSmallGIFData(gifWithDelays({4, 8}), 1);
    ASSERT_TRUE(charged);
    EXPECT_EQ(account.pixelsHeld(), before + 8);
    charged = nullptr;
    EXPECT_EQ(account.pixelsHeld(), before);

    // One frame: the platform's still image.
    auto still = TV_imageWithSmallGIFData(gifWithDelays({4}), 1);
    ASSERT_TRUE(still);
    EXPECT_TRUE(still->images().empty());
    EXPECT_FALSE(TV_imageWithSmallGIFData(ns::Data::withBytes("GIF89a but not really"), 1));
    EXPECT_FALSE(TV_imageWithSmallGIFData(nullptr, 1));
}

// The GIF is read where it lies in the Data given: 48 MiB past its trailer
// cost nothing more to hold.
TEST(ImageMakingTest, ASmallGifIsReadFromItsOwnData) {
    std::vector<uint8_t> bytes = testing::solidGif({4, 8}, 2, 2, 0);
    bytes.resize(48 * testing::MiB, 0);
    auto data = ns::Data::make(std::move(bytes));
    const auto peak = testing::peakFromHere();
    auto image = TV_imageWithSmallGIFData(data, 1);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->images().size(), 3u);
    testing::expectGrowthUnder(peak, 8 * testing::MiB, "a small GIF of 2 x 2 frames in a 48 MiB Data");
}

TEST(ImageMakingTest, AlphaChannel) {
    EXPECT_TRUE(TV_hasAlphaChannel(ui::Image(solidPixels(1, 1, {255, 1, 1, 1}), 1)));
    cg::Bitmap opaque(1, 1, cg::PixelFormat::RGB24);
    EXPECT_FALSE(TV_hasAlphaChannel(ui::Image(cg::Image::make(opaque), 1)));
    EXPECT_FALSE(TV_hasAlphaChannel(ui::Image()));
}

TEST(ImageMakingTest, ContentModesPlaceThePicture) {
    auto wide = ui::Image::imageWithCGImage(solidPixels(100, 50, {255, 255, 0, 0}), 1);
    // Aspect fit into 50 x 50: 50 x 25 in the middle.
    auto fit = TV_imageByResizeToSize(*wide, {50, 50}, ui::ViewContentMode::ScaleAspectFit);
    ASSERT_TRUE(fit);
    EXPECT_EQ(fit->scale(), 1);
    EXPECT_EQ(pixelOf(fit, 25, 5).alpha, 0);
    EXPECT_EQ(pixelOf(fit, 25, 25), (cg::Pixel{255, 255, 0, 0}));
    EXPECT_EQ(pixelOf(fit, 25, 45).alpha, 0);
    // Bottom right keeps the picture's size, placed at (-50, 10).
    auto corner = TV_imageByResizeToSize(*wide, {50, 60}, ui::ViewContentMode::BottomRight);
    EXPECT_EQ(pixelOf(corner, 10, 5).alpha, 0);
    EXPECT_EQ(pixelOf(corner, 10, 15).alpha, 255);
    // Stretched.
    auto stretched = TV_imageByResizeToSize(*wide, {10, 30});
    EXPECT_EQ(stretched->cgImage()->width(), 10);
    EXPECT_EQ(pixelOf(stretched, 5, 29).alpha, 255);
    EXPECT_FALSE(TV_imageByResizeToSize(*wide, {0, 30}));

    // Clipping keeps the drawing inside the caller's rect.
    ui::graphicsBeginImageContext({100, 100}, false, 1);
    TV_drawInRect(*wide, {0, 0, 20, 20}, ui::ViewContentMode::Center, true);
    TV_drawInRect(*wide, {0, 50, 20, 20}, ui::ViewContentMode::Center, false);
    auto canvas = ui::graphicsGetImageFromCurrentImageContext();
    ui::graphicsEndImageContext();
    EXPECT_EQ(pixelOf(canvas, 30, 10).alpha, 0);
    EXPECT_EQ(pixelOf(canvas, 30, 60).alpha, 255);
}

TEST(ImageMakingTest, CropAndInsets) {
    auto image = ui::Image::imageWithCGImage(markedPixels(40, 40, 20, {255, 0, 255, 0}), 2,
                                             ui::ImageOrientation::Down);
    auto cut = TV_imageByCropToRect(*image, {0, 0, 10, 10});
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->cgImage()->width(), 20);
    EXPECT_EQ(cut->cgImage()->height(), 20);
    EXPECT_EQ(cut->scale(), 2);
    EXPECT_EQ(cut->imageOrientation(), ui::ImageOrientation::Down);
    EXPECT_EQ(pixelOf(cut, 19, 19), (cg::Pixel{255, 0, 255, 0}));
    EXPECT_FALSE(TV_imageByCropToRect(*image, {0, 0, 0, 10}));
    EXPECT_FALSE(TV_imageByCropToRect(*image, {50, 50, 10, 10}));

    auto plain = ui::Image::imageWithCGImage(solidPixels(20, 10, {255, 255, 0, 0}), 1);
    auto framed = TV_imageByInsetEdge(*plain, {-10, -10, -10, -10}, cg::Color(0, 0, 1, 1));
    ASSERT_TRUE(framed);
    EXPECT_EQ(framed->size(), (cg::Size{40, 30}));
    EXPECT_EQ(pixelOf(framed, 2, 2), (cg::Pixel{255, 0, 0, 255}));
    EXPECT_EQ(pixelOf(framed, 20, 15), (cg::Pixel{255, 255, 0, 0}));
    auto bare = TV_imageByInsetEdge(*plain, {-5, 0, 0, 0}, std::nullopt);
    EXPECT_EQ(pixelOf(bare, 3, 2).alpha, 0);
    auto inner = TV_imageByInsetEdge(*plain, {2, 2, 2, 2}, std::nullopt);
    EXPECT_EQ(inner->size(), (cg::Size{16, 6}));
    EXPECT_FALSE(TV_imageByInsetEdge(*plain, {5, 0, 6, 0}, cg::Color::white()));
}

}  // namespace
