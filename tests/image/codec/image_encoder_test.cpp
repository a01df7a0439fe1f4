// The image encoder: choosing the writer, the animated PNG writer's chunks
// and canvas, delay fractions, and what decodes back.

#include <gtest/gtest.h>

#include <filesystem>

#include "image/codec/TVImageDecoder.h"
#include "image/codec/TVImageEncoder.h"
#include "platform/foundation/Log.h"
#include "platform/graphics/ImageSource.h"
#include "platform/runtime/Exception.h"
#include "tests/image/codec/png_test_support.h"

namespace {

using pngtest::Bytes;

ns::Ref<ui::Image> uiImage(const cg::Bitmap& bitmap) { return ui::Image::imageWithCGImage(cg::Image::make(bitmap)); }

std::vector<pngtest::Chunk> chunksNamed(const ns::Ref<ns::Data>& data, const std::string& code) {
    std::vector<pngtest::Chunk> out;
    for (auto& c : pngtest::chunksOf(data->vector()))
        if (c.code == code) out.push_back(c);
    return out;
}

TEST(ImageEncoderTest, CreationDefaultsAndBadTypes) {
    EXPECT_THROW(TVImageEncoder(), ns::Exception);
    try {
        TVImageEncoder encoder;
    } catch (const ns::Exception& e) {
        EXPECT_EQ(e.name(), "TVImageEncoder init error");
        EXPECT_EQ(e.reason(), "TVImageEncoder must be initialized with a type. Use 'initWithType:' instead.");
    }
    auto jpeg = TVImageEncoder::initWithType(TVImageTypeJPEG);
    EXPECT_DOUBLE_EQ(jpeg->quality(), 0.9);
    EXPECT_FALSE(jpeg->lossless());
    auto png = TVImageEncoder::initWithType(TVImageTypePNG);
    EXPECT_DOUBLE_EQ(png->quality(), 1.0);
    EXPECT_TRUE(png->lossless());
    png->setQuality(2);
    EXPECT_DOUBLE_EQ(png->quality(), 1.0);
    png->setQuality(-1);
    EXPECT_DOUBLE_EQ(png->quality(), 0.0);

    ns::LogCapture log;
    EXPECT_FALSE(TVImageEncoder::initWithType(TVImageTypeWebP));
    EXPECT_FALSE(TVImageEncoder::initWithType(TVImageTypeUnknown));
    EXPECT_FALSE(TVImageEncoder::initWithType(TVImageType(12)));
    EXPECT_TRUE(log.contains("[-[TVImageEncoder initWithType:]: 2332] WebP is not available, check the documentation"));
    EXPECT_TRUE(log.contains("[-[TVImageEncoder initWithType:]: 2326] Unsupported image type:0"));
    EXPECT_TRUE(log.contains("[-[TVImageEncoder initWithType:]: 2326] Unsupported image type:12"));
}

TEST(ImageEncoderTest, EntriesThatAreKept) {
    auto encoder = TVImageEncoder::initWithType(TVImageTypeGIF);
    encoder->addImage(uiImage(pngtest::solid(2, 2, 255, 1, 1, 1)), -3);
    encoder->addImage(std::make_shared<ui::Image>(), 1);  // no pixels
    encoder->addImageWithData(ns::Data::make({}), 1);
    encoder->addImageWithData(nullptr, 1);
    encoder->addImageWithFile("", 1);
    ASSERT_EQ(encoder->imageCount(), 1u);
    EXPECT_EQ(encoder->durationAtIndex(0), 0);
    EXPECT_FALSE(TVImageEncoder::initWithType(TVImageTypePNG)->encode()) << "no image";
    EXPECT_FALSE(TVImageEncoder::initWithType(TVImageTypePNG)->encodeToFile("/tmp/x.png"));
}

TEST(ImageEncoderTest, OnePngThroughTheDestinationTwoAsAnimatedPng) {
    auto one = TVImageEncoder::initWithType(TVImageTypePNG);
    one->addImage(uiImage(pngtest::solid(3, 3, 255, 9, 8, 7)), 0.5);
    auto still = one->encode();
    ASSERT_TRUE(still);
    EXPECT_TRUE(chunksNamed(still, "acTL").empty());

    auto two = TVImageEncoder::initWithType(TVImageTypePNG);
    two->setLoopCount(4);
    two->addImage(uiImage(pngtest::solid(3, 3, 255, 9, 8, 7)), 0.5);
    two->addImage(uiImage(pngtest::solid(3, 3, 255, 1, 2, 3)), 0.04);
    auto animated = two->encode();
    ASSERT_TRUE(animated);
    auto actl = chunksNamed(animated, "acTL");
    ASSERT_EQ(actl.size(), 1u);
    EXPECT_EQ(pngtest::readU32(actl[0].data.data()), 2u);
    EXPECT_EQ(pngtest::readU32(actl[0].data.data() + 4), 4u);
    auto fctl = chunksNamed(animated, "fcTL");
    ASSERT_EQ(fctl.size(), 2u);
    EXPECT_EQ(fctl[1].data[21], 1);  // 1/25
    EXPECT_EQ(fctl[1].data[23], 25);
    EXPECT_EQ(fctl[1].data[24], 1);  // dispose background
    EXPECT_EQ(fctl[1].data[25], 0);  // blend source
    auto decoder = TVImageDecoder::decoderWithData(animated, 1);
    ASSERT_TRUE(decoder);
    EXPECT_EQ(decoder->frameCount(), 2u);
    EXPECT_EQ(decoder->loopCount(), 4u);
    EXPECT_DOUBLE_EQ(decoder->frameDurationAtIndex(0), 0.5);
}

TEST(ImageEncoderTest, JpegWritesOnlyTheFirstImage) {
    auto encoder = TVImageEncoder::initWithType(TVImageTypeJPEG);
    for (int i = 0; i < 3; ++i) encoder->addImage(uiImage(pngtest::solid(4, 4, 255, uint8_t(i * 100), 0, 0)), 0.1);
    auto data = encoder->encode();
    ASSERT_TRUE(data);
    auto source = cg::ImageSource::createWithData(data->vector());
    EXPECT_EQ(source->type(), cg::ImageTypeJPEG);
    EXPECT_EQ(source->count(), 1u);
    EXPECT_LT(source->createImageAtIndex(0)->bitmap().pixel(1, 1).red, 20);
}

TEST(ImageEncoderTest, DelayFractions) {
    struct Case {
        double seconds;
        uint16_t numerator, denominator;
    } cases[] = {{0.1, 1, 10}, {0.04, 1, 25}, {300, 255, 1}, {255, 255, 1}, {0.001, 1, 255},
                 {1.0 / 255, 1, 255}, {1.5, 3, 2}, {0.333, 1, 3}, {2.0 / 3, 2, 3}};
    for (const Case& c : cases) {
        uint16_t n = 0, d = 0;
        TVDurationToPNGDelay(c.seconds, &n, &d);
        EXPECT_EQ(n, c.numerator) << c.seconds;
        EXPECT_EQ(d, c.denominator) << c.seconds;
    }
    // An irrational-looking value still lands within a 255th.
    uint16_t n = 0, d = 0;
    TVDurationToPNGDelay(0.123456, &n, &d);
    EXPECT_NEAR(double(n) / d, 0.123456, 0.5 / 255);
    EXPECT_LE(d, 255);
}

TEST(ImageEncoderTest, CanvasIsTheLargestSizeAndTheFirstFrameIsExtended) {
    auto encoder = TVImageEncoder::initWithType(TVImageTypePNG);
    cg::Bitmap small = pngtest::solid(10, 10, 255, 255, 0, 0), wide = pngtest::solid(20, 5, 128, 0, 0, 255);
    encoder->addImage(uiImage(small), 0.1);
    encoder->addImage(uiImage(wide), 0.2);
    auto data = encoder->encode();
    ASSERT_TRUE(data);
    auto fctl = chunksNamed(data, "fcTL");
    ASSERT_EQ(fctl.size(), 2u);
    EXPECT_EQ(pngtest::readU32(fctl[0].data.data() + 4), 20u);
    EXPECT_EQ(pngtest::readU32(fctl[0].data.data() + 8), 10u);
    EXPECT_EQ(pngtest::readU32(fctl[1].data.data() + 4), 20u);
    EXPECT_EQ(pngtest::readU32(fctl[1].data.data() + 8), 5u);
    EXPECT_EQ(pngtest::readU32(fctl[1].data.data() + 12), 0u);
    EXPECT_EQ(pngtest::readU32(fctl[1].data.data() + 16), 0u);
    // Sequence numbers run 0, 1, 2... over fcTL and fdAT.
    uint32_t expected = 0;
    for (auto& c : pngtest::chunksOf(data->vector())) {
        if (c.code == "fcTL" || c.code == "fdAT") {
            EXPECT_EQ(pngtest::readU32(c.data.data()), expected++);
        }
    }

    // Decoded back, pixel for pixel.
    auto decoder = TVImageDecoder::decoderWithData(data, 1);
    ASSERT_TRUE(decoder);
    EXPECT_EQ(decoder->width(), 20u);
    EXPECT_EQ(decoder->height(), 10u);
    const cg::Bitmap& first = decoder->frameAtIndex(0, true)->image->cgImage()->bitmap();
    EXPECT_EQ(first.pixel(3, 3), small.pixel(3, 3));
    EXPECT_EQ(first.pixel(15, 3).alpha, 0) << "the extension is transparent";
    const cg::Bitmap& second = decoder->frameAtIndex(1, true)->image->cgImage()->bitmap();
    EXPECT_EQ(second.pixel(19, 4), wide.pixel(19, 4));
    EXPECT_EQ(second.pixel(3, 7).alpha, 0) << "the first frame is disposed of";
}

TEST(ImageEncoderTest, WrittenAnimationsDecodeBackExactly) {
    std::vector<cg::Bitmap> frames;
    for (int i = 0; i < 4; ++i) {
        cg::Bitmap b(7, 5, cg::PixelFormat::ARGB32Premultiplied);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x)
                b.setPixel(x, y, (x + y + i) % 3 ? cg::premultiplied(255, uint8_t(40 * i), uint8_t(x * 30), uint8_t(y * 40))
                                                 : cg::Pixel{});
        frames.push_back(b);
    }
    auto encoder = TVImageEncoder::initWithType(TVImageTypePNG);
    for (auto& f : frames) encoder->addImage(uiImage(f), 0.1);
    auto data = encoder->encode();
    auto decoder = TVImageDecoder::decoderWithData(data, 1);
    ASSERT_TRUE(decoder);
    ASSERT_EQ(decoder->frameCount(), 4u);
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(decoder->frameAtIndex(i, true)->image->cgImage()->bitmap(), frames[i]) << i;
    }
    // Back out of the decoder into a GIF, frame for frame.
    auto gif = TVImageEncoder::encodeImageWithDecoder(decoder, TVImageTypeGIF, 1);
    ASSERT_TRUE(gif);
    auto back = TVImageDecoder::decoderWithData(gif, 1);
    ASSERT_EQ(back->frameCount(), 4u);
    EXPECT_DOUBLE_EQ(back->frameDurationAtIndex(3), 0.1);
    EXPECT_EQ(back->frameAtIndex(2, true)->image->cgImage()->bitmap(), frames[2]);
    EXPECT_FALSE(TVImageEncoder::encodeImageWithDecoder(nullptr, TVImageTypeGIF, 1));
}

TEST(ImageEncoderTest, DataFileAndTurnedEntries) {
    auto dir = std::filesystem::temp_directory_path() / ("encoder-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::string file = (dir / "frame.png").string();
    ASSERT_TRUE(cg::writePngFile(pngtest::solid(4, 2, 255, 0, 200, 0), file));
    // A turned image is written upright.
    auto turned = ui::Image::imageWithCGImage(cg::Image::make(pngtest::solid(4, 2, 255, 200, 0, 0)), 1,
                                              ui::ImageOrientation::Right);
    auto encoder = TVImageEncoder::initWithType(TVImageTypeGIF);
    encoder->addImage(turned, 0.1);
    encoder->addImageWithData(ns::Data::make(cg::encodePng(pngtest::solid(4, 2, 255, 0, 0, 200))), 0.2);
    encoder->addImageWithFile(file, 0.3);
    std::string out = (dir / "out.gif").string();
    ASSERT_TRUE(encoder->encodeToFile(out));
    auto source = cg::ImageSource::createWithData(ns::Data::withContentsOfFile(out)->vector());
    ASSERT_EQ(source->count(), 3u);
    EXPECT_EQ(source->copyPropertiesAtIndex(0)->pixelWidth, 4);
    EXPECT_EQ(source->createImageAtIndex(0)->width(), 4);
    EXPECT_DOUBLE_EQ(*source->propertiesAtIndex(2)->unclampedDelayTime, 0.3);

    // The animated PNG writer turns entries upright too, and writes files.
    auto apng = TVImageEncoder::initWithType(TVImageTypePNG);
    apng->addImage(turned, 0.1);
    apng->addImageWithFile(file, 0.1);
    std::string outPng = (dir / "out.png").string();
    ASSERT_TRUE(apng->encodeToFile(outPng));
    auto decoder = TVImageDecoder::decoderWithData(ns::Data::withContentsOfFile(outPng), 1);
    ASSERT_TRUE(decoder);
    EXPECT_EQ(decoder->width(), 4u);
    EXPECT_EQ(decoder->height(), 4u);
    std::filesystem::remove_all(dir);
}

}  // namespace
