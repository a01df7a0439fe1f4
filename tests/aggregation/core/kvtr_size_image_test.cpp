// The aggregation views' crop of 3x artwork: three pixels a point, the
// result at the main screen's scale and upright.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "aggregation/core/UIImage+KVTRSizeImage.h"
#include "platform/graphics/Png.h"
#include "platform/testing/ScreenScaleScope.h"

namespace {

// Each pixel says where it stands: red = x, green = y.
cg::Bitmap coordinateBitmap(int width, int height) {
    cg::Bitmap bitmap(width, height, cg::PixelFormat::ARGB32Premultiplied);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) bitmap.setPixel(x, y, {255, uint8_t(x), uint8_t(y), 7});
    return bitmap;
}

class KVTRSizeImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "sizeimage-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    void setScreenScale(double scale) { screen_.setScale(scale); }

    testing::ScreenScaleScope screen_{3};
    std::string folder_;
};

TEST_F(KVTRSizeImageTest, CropsTheBundlePictureAtThreePixelsAPoint) {
    // A 3x bundle picture, looked up by name on a 2x screen.
    setScreenScale(2);
    ASSERT_TRUE(cg::writePngFile(coordinateBitmap(200, 240), folder_ + "/turnprocess@3x.png"));
    auto bar = ui::Image::imageNamed("turnprocess", folder_);
    ASSERT_TRUE(bar);
    ASSERT_EQ(bar->scale(), 3);

    auto cut = interceptionWithRect(bar, cg::Rect{10, 20, 30, 40});
    ASSERT_TRUE(cut);
    // The pixel rectangle (30, 60, 90, 120).
    EXPECT_EQ(cut->cgImage()->width(), 90);
    EXPECT_EQ(cut->cgImage()->height(), 120);
    EXPECT_EQ(cut->cgImage()->bitmap().pixel(0, 0), (cg::Pixel{255, 30, 60, 7}));
    EXPECT_EQ(cut->cgImage()->bitmap().pixel(89, 119), (cg::Pixel{255, 119, 179, 7}));
    // The main screen's scale, not the picture's, and upright.
    EXPECT_EQ(cut->scale(), 2);
    EXPECT_EQ(cut->imageOrientation(), ui::ImageOrientation::Up);
    EXPECT_EQ(cut->size(), (cg::Size{45, 60}));
}

TEST_F(KVTRSizeImageTest, TheFactorIsFixedWhateverThePictureScale) {
    setScreenScale(3);
    auto plain = ui::Image::imageWithCGImage(cg::Image::make(coordinateBitmap(60, 60)), 1);
    auto cut = interceptionWithRect(plain, cg::Rect{1, 2, 3, 4});
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->cgImage()->width(), 9);
    EXPECT_EQ(cut->cgImage()->height(), 12);
    EXPECT_EQ(cut->cgImage()->bitmap().pixel(0, 0), (cg::Pixel{255, 3, 6, 7}));
    EXPECT_EQ(cut->scale(), 3);
}

TEST_F(KVTRSizeImageTest, FractionsWidenToWholePixelsAndEdgesClip) {
    auto plain = ui::Image::imageWithCGImage(cg::Image::make(coordinateBitmap(30, 30)), 1);
    // 206 x 0.37 points of a progress bar: pixels 0.5..229.2 widen to 0..230, clipped to 30.
    auto cut = interceptionWithRect(plain, cg::Rect{0.5 / 3, 0, 206 * 0.37, 5});
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->cgImage()->width(), 30);
    EXPECT_EQ(cut->cgImage()->height(), 15);
    // Nothing of the picture inside, or nothing to cut from.
    EXPECT_FALSE(interceptionWithRect(plain, cg::Rect{20, 0, 5, 5}));
    EXPECT_FALSE(interceptionWithRect(plain, cg::Rect{0, 0, 0, 5}));
    EXPECT_FALSE(interceptionWithRect(nullptr, cg::Rect{0, 0, 5, 5}));
    EXPECT_FALSE(interceptionWithRect(plain, cg::Rect{0, 0, 1e308, 1e308 * 10}));
}

}  // namespace
