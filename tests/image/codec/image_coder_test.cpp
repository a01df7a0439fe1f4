// The coder's plain functions: type detection, identifiers, decoded and
// oriented copies, the 32-bit buffer decode and the one-image encoder.

#include <gtest/gtest.h>

#include "image/codec/TVImageCoder.h"
#include "platform/graphics/ImageSource.h"
#include "platform/graphics/Png.h"
#include "platform/testing/PeakBound.h"
#include "tests/image/codec/png_test_support.h"

namespace {

ns::Ref<ns::Data> bytes(std::vector<uint8_t> b) { return ns::Data::make(std::move(b)); }

// Each pixel its own colour: red from x, green from y.
ns::Ref<cg::Image> numbered(int w, int h) {
    cg::Bitmap bitmap(w, h, cg::PixelFormat::RGB24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) bitmap.setPixel(x, y, {0, uint8_t(x * 8), uint8_t(y * 8), 1});
    return cg::Image::make(bitmap);
}

cg::Pixel at(const ns::Ref<cg::Image>& image, int x, int y) {
    cg::Pixel p = image->bitmap().pixel(x, y);
    p.alpha = 255;
    return p;
}

TEST(ImageCoderTest, TypeDetectionByLeadingBytes) {
    std::vector<uint8_t> png = cg::encodePng(pngtest::solid(2, 2, 255, 1, 2, 3));
    EXPECT_EQ(TVImageTypeFromData(bytes({png.begin(), png.begin() + 15}).get()), TVImageTypeUnknown);
    EXPECT_EQ(TVImageTypeFromData(bytes({png.begin(), png.begin() + 16}).get()), TVImageTypePNG);
    EXPECT_EQ(TVImageTypeFromData(nullptr), TVImageTypeUnknown);
    auto padded = [](std::vector<uint8_t> lead) {
        lead.resize(16, 0);
        return TVImageTypeFromData(ns::Data::make(lead).get());
    };
    EXPECT_EQ(padded({'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}), TVImageTypeUnknown);
    EXPECT_EQ(padded({'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P'}), TVImageTypeWebP);
    EXPECT_EQ(padded({0x47, 0x49, 0x46, 0x38, 0x37, 0x61}), TVImageTypeGIF);
    EXPECT_EQ(padded({0x47, 0x49, 0x46, 0x38, 0x39, 0x61}), TVImageTypeGIF);
    EXPECT_EQ(padded({0x49, 0x49, 0x2A, 0}), TVImageTypeTIFF);
    EXPECT_EQ(padded({0x4D, 0x4D, 0, 0x2A}), TVImageTypeTIFF);
    EXPECT_EQ(padded({0, 0, 1, 0}), TVImageTypeICO);
    EXPECT_EQ(padded({0, 0, 2, 0}), TVImageTypeICO);
    EXPECT_EQ(padded({'i', 'c', 'n', 's'}), TVImageTypeICNS);
    for (const char* bmp : {"BM", "BA", "CI", "CP", "IC", "PI"}) EXPECT_EQ(padded({uint8_t(bmp[0]), uint8_t(bmp[1])}), TVImageTypeBMP);
    EXPECT_EQ(padded({0xFF, 0x4F, 0xFF, 0x51}), TVImageTypeJPEG2000);
    EXPECT_EQ(padded({0, 0, 0, 12, 0x6A, 0x50, 0x20, 0x20, 0x0D}), TVImageTypeJPEG2000);
    EXPECT_EQ(padded({0xFF, 0xD8, 0xFF, 0xE0}), TVImageTypeJPEG);
    EXPECT_EQ(padded({0xFF, 0xD8, 0x00}), TVImageTypeUnknown);

    EXPECT_STREQ(TVImageTypeToUTType(TVImageTypePNG), "public.png");
    EXPECT_STREQ(TVImageTypeToUTType(TVImageTypeICNS), "com.apple.icns");
    EXPECT_EQ(TVImageTypeToUTType(TVImageTypeWebP), nullptr);
    EXPECT_EQ(TVImageTypeToUTType(TVImageTypeUnknown), nullptr);
    EXPECT_FALSE(TVWebPDecoderPresent());
    EXPECT_EQ(TVSharedDeviceRGBColorSpace(), TVSharedDeviceRGBColorSpace());
}

TEST(ImageCoderTest, DecodedCopiesTakeTheDisplayFormat) {
    cg::Bitmap pixel(1, 1, cg::PixelFormat::RGB24);
    auto jpeg = TVCreateEncodedImageData(cg::Image::make(pixel), TVImageTypeJPEG, 0.9);
    ASSERT_TRUE(jpeg);
    auto opaque = cg::ImageSource::createWithData(jpeg->vector())->createImageAtIndex(0);
    EXPECT_EQ(TVCreateDecodedCGImage(opaque, true)->bitmapInfo(), 0x2006u);
    auto png = cg::ImageSource::createWithData(cg::encodePng(pngtest::solid(3, 2, 100, 200, 0, 0)))->createImageAtIndex(0);
    auto decoded = TVCreateDecodedCGImage(png, true);
    EXPECT_EQ(decoded->bitmapInfo(), 0x2002u);
    EXPECT_EQ(decoded->bitmap(), png->bitmap());
    // Straight alpha is still alpha: it decodes to the premultiplied format.
    auto straight = cg::Image::make(png->bitmap(), cg::ImageAlphaInfo::Last);
    EXPECT_EQ(TVCreateDecodedCGImage(straight, true)->bitmapInfo(), 0x2002u);
    auto copy = TVCreateDecodedCGImage(straight, false);
    EXPECT_EQ(copy->bitmapInfo(), straight->bitmapInfo());
    EXPECT_EQ(copy->bitmap(), straight->bitmap());
    EXPECT_FALSE(TVCreateDecodedCGImage(nullptr, true));
}

// Drawn for display, a picture is held twice at most while the copy is
// made (the source and the surface handed over), not three times.
TEST(ImageCoderTest, ADecodedCopyHoldsThePictureTwiceAtMost) {
    constexpr int side = 4096;
    constexpr uint64_t picture = uint64_t(side) * side * 4;
    cg::Bitmap bitmap(side, side, cg::PixelFormat::ARGB32Premultiplied);
    for (int y = 0; y < side; ++y) bitmap.row(y)[y] = 0xFF102030u;  // every page written
    auto source = cg::Image::make(std::move(bitmap));
    testing::ResidentPeak peak = testing::peakFromHere();
    auto decoded = TVCreateDecodedCGImage(source, true);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->bitmap().pixel(side - 1, side - 1), source->bitmap().pixel(side - 1, side - 1));
    testing::expectGrowthUnder(peak, picture + picture / 2, "a decoded copy of a 4096 x 4096 picture");
}

TEST(ImageCoderTest, BufferDecodeRefusesWhatItCannotFill) {
    auto image = numbered(3, 2);
    TVPixelBuffer buffer;
    EXPECT_FALSE(TVImageDecodeToARGB8888Buffer(nullptr, &buffer, 2));
    EXPECT_FALSE(TVImageDecodeToARGB8888Buffer(image, nullptr, 2));
    EXPECT_FALSE(TVImageDecodeToARGB8888Buffer(image, &buffer, 0));       // no alpha info
    EXPECT_FALSE(TVImageDecodeToARGB8888Buffer(image, &buffer, 7));       // alpha only
    EXPECT_FALSE(TVImageDecodeToARGB8888Buffer(image, &buffer, 0x3002));  // 16-bit order
    ASSERT_TRUE(TVImageDecodeToARGB8888Buffer(image, &buffer, 0x4000 | 5));
    EXPECT_EQ(buffer.width, 3u);
    EXPECT_EQ(buffer.height, 2u);
    EXPECT_EQ(buffer.rowBytes, 12u);
    auto* p = static_cast<uint8_t*>(buffer.data);
    EXPECT_EQ(p[4 * 2 + 0], 16);  // pixel (2, 0): R G B X
    EXPECT_EQ(p[4 * 2 + 3], 255);
    TVFreePixelBuffer(buffer.data);
    TVFreePixelBuffer(nullptr);
}

TEST(ImageCoderTest, OrientationsTurnThePixels) {
    auto image = numbered(30, 20);
    EXPECT_EQ(TVCreateOrientedCGImage(image, ui::ImageOrientation::Up, 0x2002), image);
    EXPECT_EQ(TVCreateOrientedCGImage(image, ui::ImageOrientation(9), 0x2002), image);
    EXPECT_FALSE(TVCreateOrientedCGImage(nullptr, ui::ImageOrientation::Right, 0x2002));

    // Right: the picture turns a quarter clockwise; its left column becomes
    // the top row, read from the bottom up.
    auto right = TVCreateOrientedCGImage(image, ui::ImageOrientation::Right, 0x2002);
    ASSERT_TRUE(right);
    EXPECT_EQ(right->width(), 20);
    EXPECT_EQ(right->height(), 30);
    EXPECT_EQ(right->bitmapInfo(), 0x2002u);
    for (int x = 0; x < 30; x += 7)
        for (int y = 0; y < 20; y += 3) EXPECT_EQ(at(right, 19 - y, x), at(image, x, y)) << x << "," << y;

    auto left = TVCreateOrientedCGImage(image, ui::ImageOrientation::Left, 0x2006);
    EXPECT_EQ(left->bitmapInfo(), 0x2006u);
    EXPECT_EQ(at(left, 0, 29), at(image, 0, 0));
    EXPECT_EQ(at(left, 5, 0), at(image, 29, 5));

    auto down = TVCreateOrientedCGImage(image, ui::ImageOrientation::Down, 0x2002);
    EXPECT_EQ(at(down, 0, 0), at(image, 29, 19));
    auto mirrored = TVCreateOrientedCGImage(image, ui::ImageOrientation::UpMirrored, 0x2002);
    EXPECT_EQ(at(mirrored, 0, 3), at(image, 29, 3));
    auto downMirrored = TVCreateOrientedCGImage(image, ui::ImageOrientation::DownMirrored, 0x2002);
    EXPECT_EQ(at(downMirrored, 4, 0), at(image, 4, 19));
    auto leftMirrored = TVCreateOrientedCGImage(image, ui::ImageOrientation::LeftMirrored, 0x2002);
    EXPECT_EQ(at(leftMirrored, 2, 5), at(image, 5, 2));  // a transpose
    auto rightMirrored = TVCreateOrientedCGImage(image, ui::ImageOrientation::RightMirrored, 0x2002);
    EXPECT_EQ(at(rightMirrored, 19 - 2, 29 - 5), at(image, 5, 2));

    // Straight alpha first, default byte order: the warp's own format.
    auto straight = TVCreateOrientedCGImage(image, ui::ImageOrientation::Down, 4);
    EXPECT_EQ(straight->bitmapInfo(), 4u);
}

TEST(ImageCoderTest, PhotoTakenSidewaysComesOutUpright) {
    // What the camera stores for a portrait shot held turned: the upright
    // picture a quarter turn anticlockwise, tagged EXIF 6 (turn it right).
    auto upright = numbered(12, 18);
    auto stored = TVCreateOrientedCGImage(upright, ui::ImageOrientation::Left, 0x2006);
    ASSERT_EQ(stored->width(), 18);
    auto jpeg = TVCreateEncodedImageData(stored, TVImageTypeJPEG, 1.0);
    std::vector<uint8_t> file = jpeg->vector();
    std::vector<uint8_t> app1 = {0xFF, 0xE1, 0, 32, 'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8,
                                 0, 1, 0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, 6, 0, 0, 0, 0};
    file.insert(file.begin() + 2, app1.begin(), app1.end());
    auto photo = ui::Image::imageWithData(ns::Data::make(file));
    ASSERT_TRUE(photo);
    ASSERT_EQ(photo->imageOrientation(), ui::ImageOrientation::Right);
    auto shown = TVCreateOrientedCGImage(photo->cgImage(), photo->imageOrientation(), 0x2006);
    ASSERT_EQ(shown->width(), 12);
    ASSERT_EQ(shown->height(), 18);
    for (int y = 0; y < 18; y += 5)
        for (int x = 0; x < 12; x += 5) {
            cg::Pixel got = at(shown, x, y), want = at(upright, x, y);
            EXPECT_NEAR(got.red, want.red, 8) << x << "," << y;
            EXPECT_NEAR(got.green, want.green, 8) << x << "," << y;
        }
}

TEST(ImageCoderTest, EncodingClampsQualityAndRefusesUnwrittenTypes) {
    auto image = numbered(40, 40);
    auto high = TVCreateEncodedImageData(image, TVImageTypeJPEG, 1.0);
    auto low = TVCreateEncodedImageData(image, TVImageTypeJPEG, 0.0);
    ASSERT_TRUE(high && low);
    EXPECT_TRUE(TVCreateEncodedImageData(image, TVImageTypeJPEG, 1.7)->isEqualToData(high.get()));
    EXPECT_TRUE(TVCreateEncodedImageData(image, TVImageTypeJPEG, -0.5)->isEqualToData(low.get()));
    EXPECT_FALSE(TVCreateEncodedImageData(image, TVImageTypeWebP, 1));
    EXPECT_FALSE(TVCreateEncodedImageData(image, TVImageTypeUnknown, 1));
    EXPECT_FALSE(TVCreateEncodedImageData(image, TVImageTypeICNS, 1)) << "40 x 40 is no icon size";
    EXPECT_FALSE(TVCreateEncodedImageData(nullptr, TVImageTypePNG, 1));
    auto png = TVCreateEncodedImageData(image, TVImageTypePNG, 1);
    ASSERT_TRUE(png);
    EXPECT_EQ(TVImageTypeFromData(png.get()), TVImageTypePNG);
}

}  // namespace
