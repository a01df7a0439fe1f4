#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Png.h"
#include "platform/graphics/StillFormats.h"

namespace cg {
namespace {

// The picture of whole PNG data, as the image source's reader gives it.
std::optional<Bitmap> decodePng(std::span<const uint8_t> data) {
    auto decoded = still::decodePng(data, true);
    if (!decoded) return std::nullopt;
    return std::move(decoded->bitmap);
}

// 2x1, 8-bit palette (red, blue) with transparency (opaque, 0x80).
const std::vector<uint8_t> kPaletteWithTransparency = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00,
    0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x08, 0x03, 0x00, 0x00, 0x00, 0xC3, 0xFC, 0x8F, 0xB8, 0x00,
    0x00, 0x00, 0x06, 0x50, 0x4C, 0x54, 0x45, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x6C, 0xA1, 0xFD, 0x8E,
    0x00, 0x00, 0x00, 0x02, 0x74, 0x52, 0x4E, 0x53, 0xFF, 0x80, 0x08, 0x0F, 0xB3, 0x6A, 0x00, 0x00, 0x00,
    0x0B, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0x60, 0x60, 0x04, 0x00, 0x00, 0x04, 0x00, 0x02, 0xBF,
    0x7A, 0x3F, 0x4A, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};

// 2x1, 16-bit grey: 0xFFFF, 0x8080.
const std::vector<uint8_t> kGrey16 = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00,
    0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x10, 0x00, 0x00, 0x00, 0x00, 0x81, 0xD9, 0xFC, 0x15, 0x00, 0x00, 0x00,
    0x0D, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0xF8, 0xFF, 0xBF, 0xA1, 0x01, 0x00, 0x08, 0x7E, 0x02, 0xFF,
    0xE9, 0x8E, 0x31, 0x5F, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};

TEST(PngTest, DecodesPaletteTransparencyToPremultipliedArgb) {
    auto bitmap = decodePng(kPaletteWithTransparency);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->width(), 2);
    EXPECT_EQ(bitmap->height(), 1);
    EXPECT_TRUE(bitmap->hasAlpha());
    EXPECT_EQ(bitmap->pixel(0, 0), (Pixel{255, 255, 0, 0}));
    EXPECT_EQ(bitmap->pixel(1, 0), (Pixel{128, 0, 0, 128}));
    EXPECT_NEAR(bitmap->colorAt(1, 0).blue, 1.0, 1e-9);
}

TEST(PngTest, DecodesOpaqueSixteenBitGreyToRgb) {
    auto bitmap = decodePng(kGrey16);
    ASSERT_TRUE(bitmap);
    EXPECT_FALSE(bitmap->hasAlpha());
    EXPECT_EQ(bitmap->format(), PixelFormat::RGB24);
    EXPECT_EQ(bitmap->pixel(0, 0), (Pixel{255, 255, 255, 255}));
    EXPECT_EQ(bitmap->pixel(1, 0), (Pixel{255, 128, 128, 128}));
}

TEST(PngTest, RoundTripKeepsPixelsAndLayout) {
    Bitmap argb(3, 2, PixelFormat::ARGB32Premultiplied);
    argb.setPixel(0, 0, premultiplied(255, 10, 200, 30));
    argb.setPixel(1, 0, premultiplied(128, 255, 0, 64));
    argb.setPixel(2, 0, premultiplied(1, 255, 255, 255));
    argb.setPixel(0, 1, premultiplied(0, 0, 0, 0));
    argb.setPixel(2, 1, premultiplied(77, 12, 34, 56));
    std::string error;
    std::vector<uint8_t> data = encodePng(argb, &error);
    ASSERT_FALSE(data.empty()) << error;
    auto back = decodePng(data);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, argb);

    Bitmap rgb(2, 2, PixelFormat::RGB24);
    rgb.setPixel(0, 0, {255, 1, 2, 3});
    rgb.setPixel(1, 1, {255, 250, 128, 0});
    auto rgbBack = decodePng(encodePng(rgb));
    ASSERT_TRUE(rgbBack);
    EXPECT_EQ(*rgbBack, rgb);
}

TEST(PngTest, BadDataGivesNothingNotACrash) {
    const std::vector<uint8_t> text = {'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g'};
    EXPECT_FALSE(decodePng(text));

    // Cut before its pixels, or with them damaged: no row decodes.
    std::vector<uint8_t> truncated(kPaletteWithTransparency.begin(), kPaletteWithTransparency.begin() + 60);
    EXPECT_FALSE(decodePng(truncated));
    std::vector<uint8_t> corrupt = kPaletteWithTransparency;
    corrupt[77] ^= 0xFF;  // inside the compressed pixels
    EXPECT_FALSE(decodePng(corrupt));

    std::string error;
    EXPECT_TRUE(encodePng(Bitmap(0, 4, PixelFormat::RGB24), &error).empty());
    EXPECT_EQ(error, "cannot encode an empty bitmap");
}

TEST(PngTest, FilesRoundTripAndUnwritablePathsAreReported) {
    auto dir = std::filesystem::temp_directory_path() / ("graphics-png-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "dot.png").string();
    Bitmap bitmap(1, 1, PixelFormat::ARGB32Premultiplied);
    bitmap.setPixel(0, 0, premultiplied(200, 100, 50, 25));
    std::string error;
    ASSERT_TRUE(writePngFile(bitmap, path, &error)) << error;
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto back = decodePng(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, bitmap);

    EXPECT_FALSE(writePngFile(bitmap, (dir / "missing" / "dot.png").string(), &error));
    EXPECT_NE(error.find("missing"), std::string::npos);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace cg
