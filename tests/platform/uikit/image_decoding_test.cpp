// Images from data of every decodable type: orientation from EXIF, the
// frames of an animated GIF, PNG and JPEG representations, and the
// saved-photos album.

#include <cstdlib>
#include <filesystem>

#include "platform/foundation/Data.h"
#include "platform/testing/GifFiles.h"
#include "platform/graphics/ImageDestination.h"
#include "platform/graphics/ImageSource.h"
#include "platform/uikit/AssetsLibrary.h"
#include "platform/uikit/Image.h"
#include "ui_test_support.h"

namespace {

namespace fs = std::filesystem;

ns::Ref<ns::Data> encoded(const char* type, int w, int h, bool alpha) {
    cg::Bitmap bitmap(w, h, alpha ? cg::PixelFormat::ARGB32Premultiplied : cg::PixelFormat::RGB24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) bitmap.setPixel(x, y, {uint8_t(alpha ? 200 : 0), uint8_t(x * 5), uint8_t(y * 5), 9});
    auto destination = cg::ImageDestination::createWithData(type, 1);
    destination->addImage(cg::Image::make(bitmap));
    EXPECT_TRUE(destination->finalize());
    return ns::Data::make(destination->data());
}

class ImageDecodingTest : public UIKitTest {
protected:
    ImageDecodingTest() {
        home = fs::temp_directory_path() / ("uikit-album-" + std::to_string(::getpid()));
        fs::create_directories(home);
        if (const char* old = std::getenv("GAMEHOST_HOME")) previous = old;
        ::setenv("GAMEHOST_HOME", home.c_str(), 1);
    }
    ~ImageDecodingTest() override {
        if (previous.empty()) ::unsetenv("GAMEHOST_HOME");
        else ::setenv("GAMEHOST_HOME", previous.c_str(), 1);
        fs::remove_all(home);
    }
    fs::path home;
    std::string previous;
};

TEST_F(ImageDecodingTest, EveryDecodableTypeGivesAnImage) {
    for (const char* type : {cg::ImageTypePNG, cg::ImageTypeJPEG, cg::ImageTypeBMP, cg::ImageTypeGIF}) {
        auto image = ui::Image::imageWithData(encoded(type, 6, 4, false), 2);
        ASSERT_TRUE(image) << type;
        EXPECT_EQ(image->size().width, 3) << type;
        EXPECT_EQ(image->imageOrientation(), ui::ImageOrientation::Up);
        EXPECT_TRUE(image->images().empty());
    }
    EXPECT_FALSE(ui::Image::imageWithData(ns::Data::withBytes("not an image")));
    EXPECT_FALSE(ui::Image::imageWithData(nullptr));
}

TEST_F(ImageDecodingTest, ExifOrientationTurnsTheSize) {
    auto data = encoded(cg::ImageTypeJPEG, 30, 20, false);
    // An APP1 EXIF block (orientation 6) right after the start of image.
    std::vector<uint8_t> app1 = {0xFF, 0xE1, 0, 32, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0,
                                 1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0, 6, 0, 0, 0, 0, 0};
    std::vector<uint8_t> bytes = data->vector();
    bytes.insert(bytes.begin() + 2, app1.begin(), app1.end());
    auto image = ui::Image::imageWithData(ns::Data::make(bytes));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->imageOrientation(), ui::ImageOrientation::Right);
    EXPECT_EQ(image->size().width, 20);
    EXPECT_EQ(image->size().height, 30);
    EXPECT_EQ(image->cgImage()->width(), 30);
}

TEST_F(ImageDecodingTest, AnimatedGifKeepsItsFrames) {
    // The last frame without a delay.
    auto image = ui::Image::imageWithData(ns::Data::make(testing::solidGif({2, 2, std::nullopt, {20, 20, std::nullopt}})));
    ASSERT_TRUE(image);
    ASSERT_EQ(image->images().size(), 3u);
    EXPECT_DOUBLE_EQ(image->duration(), 0.5);
    EXPECT_EQ(image->images()[1]->cgImage()->bitmap().pixel(0, 0), (cg::Pixel{255, 0, 255, 0}));
    EXPECT_EQ(image->cgImage(), image->images()[0]->cgImage());
}

TEST_F(ImageDecodingTest, RepresentationsAndTheAlbum) {
    auto image = ui::Image::imageWithData(encoded(cg::ImageTypePNG, 5, 5, true));
    auto png = ui::ImagePNGRepresentation(image.get());
    ASSERT_TRUE(png);
    EXPECT_EQ(ui::Image::imageWithData(png)->cgImage()->bitmap(), image->cgImage()->bitmap());
    auto jpeg = ui::ImageJPEGRepresentation(image.get(), 0.8);
    ASSERT_TRUE(jpeg);
    EXPECT_EQ(jpeg->bytes()[0], 0xFF);
    EXPECT_FALSE(ui::ImagePNGRepresentation(nullptr));

    auto library = std::make_shared<ui::AssetsLibrary>();
    std::vector<std::string> urls;
    std::vector<int64_t> codes;
    auto record = [&](const ns::Ref<ns::URL>& url, const ns::Ref<ns::Error>& error) {
        urls.push_back(url ? url->absoluteString()->utf8() : std::string());
        codes.push_back(error ? error->code() : 0);
    };
    library->writeImageDataToSavedPhotosAlbum(png, nullptr, record);
    library->writeImageDataToSavedPhotosAlbum(jpeg, nullptr, record);
    library->writeImageDataToSavedPhotosAlbum(ns::Data::withBytes("text"), nullptr, record);
    EXPECT_TRUE(urls.empty()) << "answers come on the main queue";
    env.runUntilIdle();
    ASSERT_EQ(urls.size(), 3u);
    EXPECT_EQ(urls[0], "assets-library://asset/asset.PNG?id=1&ext=PNG");
    EXPECT_EQ(urls[1], "assets-library://asset/asset.JPG?id=2&ext=JPG");
    EXPECT_EQ(codes[2], -3302);
    EXPECT_TRUE(fs::exists(ui::AssetsLibrary::savedPhotosAlbumPath() + "/IMG_0001.PNG"));
    EXPECT_TRUE(fs::exists(ui::AssetsLibrary::savedPhotosAlbumPath() + "/IMG_0002.JPG"));
}

}  // namespace
