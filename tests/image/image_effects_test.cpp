// Rounded corners, rotation and flips, tint, and the blur pipeline with its
// presets and log lines.

#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

#include "image/UIImage+TVWebImage.h"
#include "image_utils_support.h"
#include "platform/foundation/Log.h"
#include "platform/uikit/GraphicsContext.h"

namespace {

const cg::Pixel Red{255, 255, 0, 0};
const cg::Pixel Green{255, 0, 255, 0};

TEST(ImageEffectsTest, RoundedCornersAndBorder) {
    auto image = ui::Image::imageWithCGImage(solidPixels(40, 20, Red), 2);  // 20 x 10 points
    auto round = TV_imageByRoundCornerRadius(*image, 4);
    ASSERT_TRUE(round);
    EXPECT_EQ(round->size(), (cg::Size{20, 10}));
    EXPECT_EQ(pixelOf(round, 0, 0).alpha, 0);
    EXPECT_EQ(pixelOf(round, 20, 10), Red);
    // Only the top-left corner rounded: the top-right one stays square.
    auto one = TV_imageByRoundCornerRadius(*image, 4, cg::CornerTopLeft, 0, std::nullopt, cg::LineJoin::Miter);
    EXPECT_EQ(pixelOf(one, 0, 0).alpha, 0);
    EXPECT_EQ(pixelOf(one, 39, 0), Red);
    EXPECT_EQ(pixelOf(one, 0, 19), Red);
    // A border along the edge.
    auto bordered = TV_imageByRoundCornerRadius(*image, 0, 1, cg::Color(0, 1, 0, 1));
    EXPECT_EQ(pixelOf(bordered, 20, 2), Green);  // the stroke covers pixels 1.5 to 3.5
    EXPECT_EQ(pixelOf(bordered, 20, 10), Red);
    // Half the shorter side or more: nothing but a transparent image.
    auto gone = TV_imageByRoundCornerRadius(*image, 2, 5, cg::Color(0, 1, 0, 1));
    ASSERT_TRUE(gone);
    EXPECT_EQ(gone->size(), (cg::Size{20, 10}));
    EXPECT_EQ(pixelOf(gone, 20, 10).alpha, 0);
    EXPECT_EQ(pixelOf(gone, 0, 0).alpha, 0);
}

TEST(ImageEffectsTest, RotationTurnsCounterClockwiseAndFits) {
    // Green block at the top left of a red 100 x 50.
    auto image = ui::Image::imageWithCGImage(markedPixels(100, 50, 10, Green), 2, ui::ImageOrientation::Up);
    auto left = TV_imageByRotateLeft90(*image);
    ASSERT_TRUE(left);
    EXPECT_EQ(left->cgImage()->width(), 50);
    EXPECT_EQ(left->cgImage()->height(), 100);
    EXPECT_EQ(left->scale(), 2);
    EXPECT_EQ(pixelOf(left, 5, 94), Green);  // top left turned to bottom left
    EXPECT_EQ(pixelOf(left, 5, 5), Red);
    auto right = TV_imageByRotateRight90(*image);
    EXPECT_EQ(pixelOf(right, 44, 5), Green);  // to the top right
    // Without fitting the size stays and the corners are cut.
    auto tilted = TV_imageByRotate(*image, 0.3, false);
    EXPECT_EQ(tilted->cgImage()->width(), 100);
    EXPECT_EQ(tilted->cgImage()->height(), 50);
    EXPECT_EQ(pixelOf(tilted, 0, 0).alpha, 0);
    EXPECT_EQ(pixelOf(tilted, 50, 25), Red);
}

TEST(ImageEffectsTest, FlipsReflectThePixels) {
    auto image = ui::Image::imageWithCGImage(markedPixels(6, 4, 1, Green), 3, ui::ImageOrientation::Left);
    auto horizontal = TV_imageByFlipHorizontal(*image);
    auto vertical = TV_imageByFlipVertical(*image);
    auto both = TV_imageByRotate180(*image);
    EXPECT_EQ(pixelOf(horizontal, 5, 0), Green);
    EXPECT_EQ(pixelOf(horizontal, 0, 0), Red);
    EXPECT_EQ(pixelOf(vertical, 0, 3), Green);
    EXPECT_EQ(pixelOf(both, 5, 3), Green);
    EXPECT_EQ(both->scale(), 3);
    EXPECT_EQ(both->imageOrientation(), ui::ImageOrientation::Left);
    EXPECT_EQ(pixelOf(image, 0, 0), Green);  // the receiver is untouched
    EXPECT_FALSE(TV_imageByFlipVertical(ui::Image()));
}

TEST(ImageEffectsTest, TintKeepsTheShape) {
    cg::Bitmap bitmap(2, 1, cg::PixelFormat::ARGB32Premultiplied);
    bitmap.setPixel(0, 0, {128, 128, 0, 0});
    auto image = ui::Image::imageWithCGImage(cg::Image::make(bitmap), 1);
    auto tinted = TV_imageByTintColor(*image, cg::Color(0, 0, 1, 1));
    ASSERT_TRUE(tinted);
    EXPECT_EQ(pixelOf(tinted, 0, 0), (cg::Pixel{128, 0, 0, 128}));
    EXPECT_EQ(pixelOf(tinted, 1, 0).alpha, 0);
}

TEST(ImageEffectsTest, BoxBlurShapeFromTheRadius) {
    // 1 point at 2x: 2 pixels, kernel 3, three passes.
    EXPECT_EQ(TVBoxBlurShapeForRadius(2).kernelSize, 3u);
    EXPECT_EQ(TVBoxBlurShapeForRadius(2).passes, 3);
    // 0.2 at 1x: the kernel of 2 pixels, one pass.
    EXPECT_EQ(TVBoxBlurShapeForRadius(0.2).kernelSize, 3u);
    EXPECT_EQ(TVBoxBlurShapeForRadius(0.2).passes, 1);
    EXPECT_EQ(TVBoxBlurShapeForRadius(1).passes, 2);
    // 60 points at 3x: (180 x 3 x sqrt(2 pi) / 4 + 0.5) / 2 = 169.4.
    EXPECT_EQ(TVBoxBlurShapeForRadius(180).kernelSize, 169u);
    EXPECT_EQ(TVBoxBlurShapeForRadius(20).kernelSize, 19u);  // 19.05, already odd
    EXPECT_EQ(TVBoxBlurShapeForRadius(24).kernelSize, 23u);  // 22.8 -> 22 -> 23
}

TEST(ImageEffectsTest, BlurSpreadsByKernelAndPasses) {
    // One white pixel on black: three passes of a 3-wide box reach 3 pixels.
    cg::Bitmap bitmap(15, 2, cg::PixelFormat::ARGB32Premultiplied);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 15; ++x) bitmap.setPixel(x, y, {255, 0, 0, 0});
        bitmap.setPixel(7, y, {255, 255, 255, 255});
    }
    auto image = ui::Image::imageWithCGImage(cg::Image::make(bitmap), 2);
    auto blurred = TV_imageByBlurRadius(*image, 1, std::nullopt, cg::BlendMode::Normal, 1, nullptr);
    ASSERT_TRUE(blurred);
    // Two equal rows: the vertical box changes nothing.
    EXPECT_GT(pixelOf(blurred, 4, 0).red, 0);
    EXPECT_EQ(pixelOf(blurred, 3, 0).red, 0);
    EXPECT_GT(pixelOf(blurred, 10, 0).red, 0);
    EXPECT_EQ(pixelOf(blurred, 11, 0).red, 0);
    // 1/27 x (1, 3, 6, 7, 6, 3, 1) x 255 after three passes of [1 1 1] / 3.
    EXPECT_EQ(pixelOf(blurred, 7, 0).red, 66);
    EXPECT_EQ(pixelOf(blurred, 7, 0).alpha, 255);
    // 0.2 points at 1x: one pass only.
    auto once = TV_imageByBlurRadius(*ui::Image::imageWithCGImage(cg::Image::make(bitmap), 1), 0.2, std::nullopt,
                                     cg::BlendMode::Normal, 1, nullptr);
    EXPECT_EQ(pixelOf(once, 7, 0).red, 85);
    EXPECT_EQ(pixelOf(once, 5, 0).red, 0);
}

TEST(ImageEffectsTest, NothingToDoKeepsThePictureScaleAndOrientation) {
    auto image = ui::Image::imageWithCGImage(markedPixels(8, 6, 2, Green), 2, ui::ImageOrientation::Right);
    auto same = TV_imageByBlurRadius(*image, 0, std::nullopt, cg::BlendMode::Normal, 1, nullptr);
    ASSERT_TRUE(same);
    EXPECT_EQ(same->cgImage()->bitmap(), image->cgImage()->bitmap());
    EXPECT_EQ(same->scale(), 2);
    EXPECT_EQ(same->imageOrientation(), ui::ImageOrientation::Right);
}

TEST(ImageEffectsTest, BlurredRotatedImageKeepsItsPointsAndOrientation) {
    // A 2x photo tagged to be turned right: 40 x 20 pixels shown as 10 x 20 points.
    auto photo = ui::Image::imageWithCGImage(markedPixels(40, 20, 4, Green), 2, ui::ImageOrientation::Right);
    ASSERT_EQ(photo->size(), (cg::Size{10, 20}));
    auto blurred = TV_imageByBlurRadius(*photo, 1, std::nullopt, cg::BlendMode::Normal, 1, nullptr);
    ASSERT_TRUE(blurred);
    EXPECT_EQ(blurred->size(), (cg::Size{10, 20}));
    EXPECT_EQ(blurred->scale(), 2);
    EXPECT_EQ(blurred->imageOrientation(), ui::ImageOrientation::Right);
    // With a tint the result is drawn upright at the receiver's size.
    auto dark = TV_imageByBlurDark(*photo);
    ASSERT_TRUE(dark);
    EXPECT_EQ(dark->size(), (cg::Size{10, 20}));
    EXPECT_EQ(dark->scale(), 2);
    EXPECT_EQ(dark->imageOrientation(), ui::ImageOrientation::Up);
}

TEST(ImageEffectsTest, GrayscaleIsTheLumaWithinOneStep) {
    cg::Bitmap bitmap(3, 1, cg::PixelFormat::ARGB32Premultiplied);
    bitmap.setPixel(0, 0, {255, 200, 100, 50});
    bitmap.setPixel(1, 0, {255, 10, 240, 130});
    bitmap.setPixel(2, 0, {128, 100, 20, 60});  // premultiplied, alpha kept
    auto grey = TV_imageByGrayscale(*ui::Image::imageWithCGImage(cg::Image::make(bitmap), 1));
    ASSERT_TRUE(grey);
    for (int x = 0; x < 3; ++x) {
        cg::Pixel in = bitmap.pixel(x, 0), out = pixelOf(grey, x, 0);
        double luma = 0.2126 * in.red + 0.7152 * in.green + 0.0722 * in.blue;
        EXPECT_EQ(out.alpha, in.alpha);
        EXPECT_EQ(out.red, out.green);
        EXPECT_EQ(out.green, out.blue);
        EXPECT_NEAR(out.red, luma, 1.0 + luma / 256) << "pixel " << x;
    }
}

TEST(ImageEffectsTest, TintMaskAndPresets) {
    auto image = ui::Image::imageWithCGImage(solidPixels(4, 4, Red), 1);
    // The tint laid over in its mode, then the mask keeps its opaque half.
    cg::Bitmap half(4, 4, cg::PixelFormat::ARGB32Premultiplied);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 2; ++x) half.setPixel(x, y, {255, 0, 0, 0});
    auto halfMask = ui::Image::imageWithCGImage(cg::Image::make(half), 1);
    auto tinted = TV_imageByBlurRadius(*image, 0, cg::Color(0, 0, 1, 1), cg::BlendMode::Normal, 1, halfMask);
    ASSERT_TRUE(tinted);
    EXPECT_EQ(pixelOf(tinted, 0, 0), (cg::Pixel{255, 0, 0, 255}));  // inside the mask: the tint
    EXPECT_EQ(pixelOf(tinted, 3, 0), Red);                          // outside: the receiver
    for (auto preset : {TV_imageByBlurSoft, TV_imageByBlurLight, TV_imageByBlurExtraLight, TV_imageByBlurDark}) {
        auto result = preset(*image);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->size(), (cg::Size{4, 4}));
    }
    auto withTint = TV_imageByBlurWithTint(*image, cg::Color(0, 1, 0, 0.2));
    ASSERT_TRUE(withTint);
    // Saturation -1 swaps the hue, then 60% green lies over it.
    EXPECT_GT(pixelOf(withTint, 2, 2).green, 150);
}

TEST(ImageEffectsTest, BlursRunOnOtherThreadsBesideAnOpenContext) {
    auto image = ui::Image::imageWithCGImage(solidPixels(8, 8, Red), 2);
    // The main thread is inside an image context of its own meanwhile.
    ui::graphicsBeginImageContext({3, 3}, false, 1);
    std::vector<ns::Ref<ui::Image>> results(4);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < results.size(); ++i)
        threads.emplace_back([&, i] { results[i] = TV_imageByBlurDark(*image); });
    for (auto& thread : threads) thread.join();
    auto mine = ui::graphicsGetImageFromCurrentImageContext();
    ui::graphicsEndImageContext();
    ASSERT_TRUE(mine);
    EXPECT_EQ(mine->size(), (cg::Size{3, 3}));
    for (const auto& result : results) {
        ASSERT_TRUE(result);
        EXPECT_EQ(result->size(), (cg::Size{4, 4}));
        EXPECT_EQ(pixelOf(result, 3, 3), pixelOf(results[0], 3, 3));
    }
}

TEST(ImageEffectsTest, BadInputLogsAndGivesNil) {
    ns::LogCapture log;
    auto tiny = ui::Image::imageWithCGImage(solidPixels(1, 1, Red), 2);  // 0.5 x 0.5 points
    EXPECT_FALSE(TV_imageByBlurRadius(*tiny, 1, std::nullopt, cg::BlendMode::Normal, 1, nullptr));
    EXPECT_TRUE(log.contains("UIImage+TVAdd error: invalid size: (0.50 x 0.50). Both dimensions must be >= 1: "));
    auto image = ui::Image::imageWithCGImage(solidPixels(4, 4, Red), 1);
    auto blank = std::make_shared<ui::Image>();
    EXPECT_FALSE(TV_imageByBlurRadius(*image, 1, std::nullopt, cg::BlendMode::Normal, 1, blank));
    EXPECT_TRUE(log.contains("UIImage+TVAdd error: effectMaskImage must be backed by a CGImage: "));
}

}  // namespace
