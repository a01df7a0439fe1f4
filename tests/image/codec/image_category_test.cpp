// The coder's additions to images: the decoded copy and its flag, the data
// representation and saving to the album.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "image/codec/UIImage+TVImageCoder.h"
#include "image/codec/TVImageCoder.h"
#include "platform/graphics/ImageSource.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/uikit/AssetsLibrary.h"
#include "tests/image/codec/png_test_support.h"

namespace {

ns::Ref<ui::Image> image(bool alpha, ui::ImageOrientation orientation = ui::ImageOrientation::Up) {
    cg::Bitmap bitmap(6, 4, alpha ? cg::PixelFormat::ARGB32Premultiplied : cg::PixelFormat::RGB24);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) bitmap.setPixel(x, y, {uint8_t(alpha ? 255 : 0), uint8_t(x * 40), uint8_t(y * 60), 0});
    return ui::Image::imageWithCGImage(cg::Image::make(bitmap), 2, orientation);
}

TEST(ImageCategoryTest, DecodedCopyIsMarkedAndMadeOnce) {
    auto plain = image(true, ui::ImageOrientation::Left);
    EXPECT_FALSE(TV_isDecodedForDisplay(plain.get()));
    auto decoded = TV_imageByDecoded(plain);
    ASSERT_NE(decoded, plain);
    EXPECT_TRUE(TV_isDecodedForDisplay(decoded.get()));
    EXPECT_EQ(decoded->scale(), 2);
    EXPECT_EQ(decoded->imageOrientation(), ui::ImageOrientation::Left);
    EXPECT_EQ(decoded->cgImage()->bitmap(), plain->cgImage()->bitmap());
    EXPECT_EQ(TV_imageByDecoded(decoded), decoded);
    auto animated = ui::Image::animatedImageWithImages({plain, plain}, 1);
    EXPECT_TRUE(TV_isDecodedForDisplay(animated.get()));
    auto empty = std::make_shared<ui::Image>();
    EXPECT_EQ(TV_imageByDecoded(empty), empty) << "nothing to decode";
    EXPECT_FALSE(TV_isDecodedForDisplay(empty.get()));
}

TEST(ImageCategoryTest, DataRepresentationIsJpegWhenOpaqueAndPngWithAlpha) {
    auto opaque = TV_imageDataRepresentation(image(false));
    auto alpha = TV_imageDataRepresentation(image(true));
    EXPECT_EQ(TVImageTypeFromData(opaque.get()), TVImageTypeJPEG);
    EXPECT_EQ(TVImageTypeFromData(alpha.get()), TVImageTypePNG);
    // Turned images are stored upright.
    auto turned = TV_imageDataRepresentation(image(true, ui::ImageOrientation::Right));
    auto source = cg::ImageSource::createWithData(turned->vector());
    EXPECT_EQ(source->createImageAtIndex(0)->width(), 4);
    EXPECT_FALSE(TV_imageDataRepresentation(nullptr));
}

TEST(ImageCategoryTest, SavingToTheAlbumAnswersOnTheMainThread) {
    testing::TaskEnvironment env;
    auto home = std::filesystem::temp_directory_path() / ("codec-album-" + std::to_string(::getpid()));
    std::filesystem::create_directories(home);
    std::string previous = std::getenv("GAMEHOST_HOME") ? std::getenv("GAMEHOST_HOME") : "";
    ::setenv("GAMEHOST_HOME", home.c_str(), 1);
    std::string url;
    bool answered = false;
    TV_saveToAlbumWithCompletionBlock(image(true), [&](const ns::Ref<ns::URL>& asset, const ns::Ref<ns::Error>& error) {
        EXPECT_FALSE(error);
        url = asset ? asset->absoluteString()->utf8() : "";
        answered = true;
    });
    env.runUntilIdle();
    EXPECT_TRUE(answered);
    EXPECT_EQ(url, "assets-library://asset/asset.PNG?id=1&ext=PNG");
    EXPECT_TRUE(std::filesystem::exists(ui::AssetsLibrary::savedPhotosAlbumPath() + "/IMG_0001.PNG"));
    if (previous.empty()) ::unsetenv("GAMEHOST_HOME");
    else ::setenv("GAMEHOST_HOME", previous.c_str(), 1);
    std::filesystem::remove_all(home);
}

}  // namespace
