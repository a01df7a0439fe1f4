// TIFF, JPEG 2000, ICO and ICNS through the codec: round trips through the
// encoder and decoder, upright pixels written, the TIFF orientation tag on
// the frame, and an ICO of several entries played as an animated image.

#include <gtest/gtest.h>

#include "image/codec/TVImage.h"
#include "image/codec/TVImageCoder.h"
#include "image/codec/TVImageDecoder.h"
#include "image/codec/TVImageEncoder.h"
#include "platform/graphics/Png.h"
#include "tests/platform/graphics/still_test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

using stilltest::gradient;
using stilltest::maxDifference;

ns::Ref<ns::Data> encoded(TVImageType type, const ns::Ref<ui::Image>& image, std::optional<double> quality = {}) {
    auto encoder = TVImageEncoder::initWithType(type);
    if (quality) encoder->setQuality(*quality);
    encoder->addImage(image, 0);
    return encoder->encode();
}

// The picture of a decoder's only frame, as decoded (not redrawn).
ns::Ref<cg::Image> onlyFrame(const ns::Ref<ns::Data>& data) {
    auto decoder = TVImageDecoder::decoderWithData(data, 1);
    if (!decoder || decoder->frameCount() != 1) return nullptr;
    auto frame = decoder->frameAtIndex(0, false);
    return frame && frame->image ? frame->image->cgImage() : nullptr;
}

TEST(ImageIOFormatsTest, RoundTripsThroughEncoderAndDecoder) {
    for (TVImageType type : {TVImageTypeTIFF, TVImageTypeJPEG2000, TVImageTypeICO, TVImageTypeICNS}) {
        for (bool alpha : {true, false}) {
            SCOPED_TRACE(testing::Message() << "type " << type << (alpha ? " with alpha" : " opaque"));
            cg::Bitmap picture = gradient(32, 32, alpha);
            auto image = ui::Image::imageWithCGImage(cg::Image::make(picture));
            // JPEG 2000 is lossless at quality 1.
            auto data = encoded(type, image, 1.0);
            ASSERT_TRUE(data);
            EXPECT_EQ(TVImageTypeFromData(data.get()), type);
            auto decoded = onlyFrame(data);
            ASSERT_TRUE(decoded);
            EXPECT_EQ(decoded->width(), 32);
            EXPECT_EQ(decoded->hasAlpha(), alpha);
            EXPECT_EQ(decoded->bitmap(), picture);
        }
    }
    // JPEG 2000 at its default quality (0.9): close, and smaller.
    cg::Bitmap picture = gradient(48, 40, true);
    auto image = ui::Image::imageWithCGImage(cg::Image::make(picture));
    auto lossy = encoded(TVImageTypeJPEG2000, image);
    auto decoded = onlyFrame(lossy);
    ASSERT_TRUE(decoded);
    EXPECT_LE(maxDifference(decoded->bitmap(), picture), 16);
    EXPECT_LT(lossy->length(), encoded(TVImageTypeJPEG2000, image, 1.0)->length());
    // The one-image encoder writes the same types.
    EXPECT_TRUE(TVCreateEncodedImageData(cg::Image::make(picture), TVImageTypeTIFF, 1));
    EXPECT_TRUE(TVCreateEncodedImageData(cg::Image::make(picture), TVImageTypeICO, 1));
}

TEST(ImageIOFormatsTest, EncoderWritesUprightPixels) {
    cg::Bitmap picture = gradient(6, 4, false);
    auto turned = ui::Image::imageWithCGImage(cg::Image::make(picture), 1, ui::ImageOrientation::Right);
    auto upright = TVCreateOrientedCGImage(cg::Image::make(picture), ui::ImageOrientation::Right,
                                           cg::BitmapInfo::NoneSkipFirst32Little);
    ASSERT_TRUE(upright);
    for (TVImageType type : {TVImageTypeTIFF, TVImageTypeJPEG2000, TVImageTypeICO}) {
        SCOPED_TRACE(type);
        auto data = encoded(type, turned, 1.0);
        auto decoded = onlyFrame(data);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->width(), 4);
        EXPECT_EQ(decoded->height(), 6);
        EXPECT_EQ(maxDifference(decoded->bitmap(), upright->bitmap()), 0);
        EXPECT_EQ(TVImageDecoder::decoderWithData(data, 1)->frameAtIndex(0, true)->image->imageOrientation(),
                  ui::ImageOrientation::Up);
    }
}

TEST(ImageIOFormatsTest, TiffOrientationTagReachesTheFrame) {
    auto data = encoded(TVImageTypeTIFF, ui::Image::imageWithCGImage(cg::Image::make(gradient(5, 3, false))));
    ASSERT_TRUE(data);
    // Our writer says top-left (1); the tag is set to 6 (right-top) by hand.
    Bytes bytes = data->vector();
    auto u16 = [&](size_t at) { return uint16_t(bytes[at] | bytes[at + 1] << 8); };
    size_t directory = size_t(u16(4)) | size_t(u16(6)) << 16;
    bool patched = false;
    for (size_t i = 0; i < u16(directory); ++i) {
        size_t entry = directory + 2 + i * 12;
        if (u16(entry) != 0x0112) continue;
        EXPECT_EQ(u16(entry + 8), 1);
        bytes[entry + 8] = 6;
        patched = true;
    }
    ASSERT_TRUE(patched);
    auto turned = ns::Data::make(bytes);
    auto decoder = TVImageDecoder::decoderWithData(turned, 1);
    ASSERT_TRUE(decoder);
    EXPECT_EQ(decoder->framePropertiesAtIndex(0)->orientation, 6);
    auto frame = decoder->frameAtIndex(0, true);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->image->imageOrientation(), ui::ImageOrientation::Right);
    EXPECT_EQ(frame->image->cgImage()->width(), 5) << "pixels stay as stored";
    auto image = TVImage::imageWithData(turned);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->imageOrientation(), ui::ImageOrientation::Right);
}

TEST(ImageIOFormatsTest, IcoOfSeveralEntriesPlaysAsAnAnimatedImage) {
    // Three PNG entries of their own colours and sizes, directory by hand.
    const cg::Pixel colours[] = {{255, 255, 0, 0}, {255, 0, 255, 0}, {255, 0, 0, 255}};
    std::vector<Bytes> entries;
    for (int i = 0; i < 3; ++i) {
        cg::Bitmap bitmap(8 + 8 * i, 8 + 8 * i, cg::PixelFormat::ARGB32Premultiplied);
        for (int y = 0; y < bitmap.height(); ++y)
            for (int x = 0; x < bitmap.width(); ++x) bitmap.setPixel(x, y, colours[i]);
        entries.push_back(cg::encodePng(bitmap));
    }
    Bytes file = {0, 0, 1, 0, 3, 0};
    uint32_t offset = 6 + 16 * 3;
    for (const Bytes& entry : entries) {
        Bytes directory = {0, 0, 0, 0, 1, 0, 32, 0};
        for (uint32_t v : {uint32_t(entry.size()), offset})
            for (int b = 0; b < 4; ++b) directory.push_back(uint8_t(v >> (8 * b)));
        file.insert(file.end(), directory.begin(), directory.end());
        offset += uint32_t(entry.size());
    }
    for (const Bytes& entry : entries) file.insert(file.end(), entry.begin(), entry.end());

    auto image = TVImage::imageWithData(ns::Data::make(file));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->animatedImageType(), TVImageTypeICO);
    ASSERT_EQ(image->animatedImageFrameCount(), 3u);
    for (uint64_t i = 0; i < 3; ++i) {
        EXPECT_DOUBLE_EQ(image->animatedImageDurationAtIndex(i), 0.10000000149011612) << i;
        auto frame = image->animatedImageFrameAtIndex(i);
        ASSERT_TRUE(frame) << i;
        EXPECT_EQ(frame->cgImage()->width(), int(8 + 8 * i)) << "entries keep their own size";
        EXPECT_EQ(frame->cgImage()->bitmap().pixel(1, 1), colours[i]) << i;
    }
}

}  // namespace
