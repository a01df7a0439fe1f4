// Pixel layouts, conversion both ways, un-premultiplying, the affine warp,
// image bytes and crops, and the y-up bitmap context.

#include <gtest/gtest.h>

#include <numbers>
#include <vector>

#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/PixelBuffer.h"

namespace {

cg::Bitmap sample() {
    cg::Bitmap bitmap(3, 2, cg::PixelFormat::ARGB32Premultiplied);
    bitmap.setPixel(0, 0, cg::premultiplied(255, 10, 20, 30));
    bitmap.setPixel(1, 0, cg::premultiplied(128, 200, 100, 50));
    bitmap.setPixel(2, 0, cg::premultiplied(0, 0, 0, 0));
    bitmap.setPixel(0, 1, cg::premultiplied(255, 255, 0, 0));
    bitmap.setPixel(1, 1, cg::premultiplied(255, 0, 255, 0));
    bitmap.setPixel(2, 1, cg::premultiplied(255, 0, 0, 255));
    return bitmap;
}

TEST(PixelBufferTest, LayoutsPlaceEachByteWhereTheWordSays) {
    cg::Bitmap bitmap = sample();
    auto bytesOf = [&](uint32_t info) {
        std::vector<uint8_t> bytes(3 * 2 * 4);
        EXPECT_TRUE(cg::convertToPixels(bitmap, info, {bytes.data(), 2, 3, 12}));
        return std::vector<uint8_t>(bytes.begin() + 4, bytes.begin() + 8);  // pixel (1, 0)
    };
    // Straight colour of (1, 0) is about 200, 100, 50 at alpha 128.
    EXPECT_EQ(bytesOf(4), (std::vector<uint8_t>{128, 199, 100, 50}));                // A R G B
    EXPECT_EQ(bytesOf(3), (std::vector<uint8_t>{199, 100, 50, 128}));                // R G B A
    EXPECT_EQ(bytesOf(0x2000 | 4), (std::vector<uint8_t>{50, 100, 199, 128}));       // B G R A
    EXPECT_EQ(bytesOf(0x2002), (std::vector<uint8_t>{25, 50, 100, 128}));            // premultiplied
    EXPECT_EQ(bytesOf(0x4000 | 1), (std::vector<uint8_t>{100, 50, 25, 128}));
    EXPECT_EQ(bytesOf(5), (std::vector<uint8_t>{100, 50, 25, 255}));                 // skip last
    EXPECT_FALSE(cg::isSupportedPixelLayout(0));
    EXPECT_FALSE(cg::isSupportedPixelLayout(7));
    EXPECT_FALSE(cg::isSupportedPixelLayout(0x3002));
    std::vector<uint8_t> small(8);
    EXPECT_FALSE(cg::convertToPixels(bitmap, 2, {small.data(), 1, 2, 8})) << "buffer too small";
}

TEST(PixelBufferTest, EveryLayoutRoundTrips) {
    cg::Bitmap bitmap = sample();
    for (uint32_t order : {0u, 0x2000u, 0x4000u}) {
        for (uint32_t alpha = 1; alpha <= 6; ++alpha) {
            uint32_t info = order | alpha;
            std::vector<uint8_t> bytes(3 * 2 * 4);
            ASSERT_TRUE(cg::convertToPixels(bitmap, info, {bytes.data(), 2, 3, 12}));
            auto back = cg::bitmapFromPixels({bytes.data(), 2, 3, 12}, info);
            ASSERT_TRUE(back) << info;
            for (int y = 0; y < 2; ++y)
                for (int x = 0; x < 3; ++x) {
                    cg::Pixel want = bitmap.pixel(x, y);
                    if (alpha >= 5) want = {255, want.red, want.green, want.blue};
                    cg::Pixel got = back->pixel(x, y);
                    if (alpha >= 5) got.alpha = 255;
                    EXPECT_NEAR(got.red, want.red, 1) << info << " at " << x << "," << y;
                    EXPECT_EQ(got.alpha, want.alpha) << info;
                }
        }
    }
    auto image = cg::Image::make(bitmap, cg::ImageAlphaInfo::Last);
    EXPECT_EQ(image->bitmapInfo(), 0x2003u);
    EXPECT_EQ(image->copyData().size(), 24u);
}

TEST(PixelBufferTest, UnpremultiplyByAlphaPosition) {
    std::vector<uint8_t> argb = {128, 64, 32, 0, 0, 10, 10, 10};
    std::vector<uint8_t> out(8);
    ASSERT_TRUE(cg::unpremultiplyARGB8888({argb.data(), 1, 2, 8}, {out.data(), 1, 2, 8}));
    EXPECT_EQ(out, (std::vector<uint8_t>{128, 128, 64, 0, 0, 0, 0, 0}));
    std::vector<uint8_t> rgba = {64, 32, 0, 128};
    ASSERT_TRUE(cg::unpremultiplyRGBA8888({rgba.data(), 1, 1, 4}, {rgba.data(), 1, 1, 4}));
    EXPECT_EQ(rgba, (std::vector<uint8_t>{128, 64, 0, 128}));
    EXPECT_FALSE(cg::unpremultiplyRGBA8888({rgba.data(), 1, 1, 4}, {out.data(), 1, 2, 8}));
}

TEST(PixelBufferTest, WarpRotatesInAYUpSpace) {
    // 2 x 1 source: A B. Rotating by -pi/2 then moving back by the width
    // (a quarter turn clockwise on screen) gives a 1 x 2 column A over B.
    std::vector<uint8_t> source = {255, 1, 0, 0, 255, 2, 0, 0};
    std::vector<uint8_t> destination(8, 7);
    auto t = cg::AffineTransform::identity().rotated(-std::numbers::pi / 2).translated(-2, 0);
    ASSERT_TRUE(cg::affineWarpARGB8888({source.data(), 1, 2, 8}, {destination.data(), 2, 1, 4}, t));
    EXPECT_EQ(destination, (std::vector<uint8_t>{255, 1, 0, 0, 255, 2, 0, 0}));
    // A shift by one pixel leaves transparent what the source does not cover.
    std::vector<uint8_t> shifted(8, 7);
    ASSERT_TRUE(cg::affineWarpARGB8888({source.data(), 1, 2, 8}, {shifted.data(), 1, 2, 8},
                                       cg::AffineTransform::makeTranslation(1, 0)));
    EXPECT_EQ(shifted, (std::vector<uint8_t>{0, 0, 0, 0, 255, 1, 0, 0}));
    EXPECT_FALSE(cg::affineWarpARGB8888({source.data(), 1, 2, 8}, {shifted.data(), 1, 2, 8},
                                        cg::AffineTransform::makeScale(0, 1)));
}

TEST(PixelBufferTest, CropsAndYUpContexts) {
    auto image = cg::Image::make(sample());
    auto crop = image->createWithImageInRect(1, 1, 5, 5);
    ASSERT_TRUE(crop);
    EXPECT_EQ(crop->width(), 2);
    EXPECT_EQ(crop->height(), 1);
    EXPECT_EQ(crop->bitmap().pixel(0, 0), image->bitmap().pixel(1, 1));
    EXPECT_FALSE(image->createWithImageInRect(3, 0, 1, 1));

    auto context = cg::BitmapContext::createWithPixels(3, 2, cg::BitmapInfo::PremultipliedFirst32Little);
    ASSERT_TRUE(context);
    context->drawImageBottomUp(*image, {0, 0, 3, 2});
    EXPECT_EQ(context->makeImage()->bitmap(), image->bitmap()) << "drawn upright";
    // y up: the rectangle at the origin is the bottom row.
    context->clearRect({0, 0, 3, 1});
    auto cleared = context->makeImage();
    EXPECT_EQ(cleared->bitmap().pixel(0, 1).alpha, 0);
    EXPECT_EQ(cleared->bitmap().pixel(0, 0).alpha, 255);
    auto opaque = cg::BitmapContext::createWithPixels(2, 2, cg::BitmapInfo::NoneSkipFirst32Little);
    EXPECT_EQ(opaque->makeImage()->bitmapInfo(), cg::BitmapInfo::NoneSkipFirst32Little);
    EXPECT_FALSE(cg::BitmapContext::createWithPixels(2, 2, 0));
    EXPECT_FALSE(cg::BitmapContext::createWithPixels(0, 2, 2));
}

}  // namespace
