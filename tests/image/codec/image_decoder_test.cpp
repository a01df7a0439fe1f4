// The image decoder: updates, type detection and refusal, still and GIF
// frames, animated PNG frames whole and in pieces, and composing frames by
// their dispose and blend operations, in sequence and at random.

#include <gtest/gtest.h>

#include <cstdlib>

#include "image/codec/TVImageDecoder.h"
#include "image/codec/UIImage+TVImageCoder.h"
#include "platform/foundation/Log.h"
#include "platform/graphics/GifWriter.h"
#include "platform/testing/GifFiles.h"
#include "platform/testing/PeakBound.h"
#include "tests/image/codec/png_test_support.h"

namespace {

using pngtest::Bytes;
using pngtest::Frame;

ns::Ref<ns::Data> asData(const Bytes& bytes) { return ns::Data::make(bytes); }

ns::Ref<TVImageDecoder> decoder(const Bytes& bytes) { return TVImageDecoder::decoderWithData(asData(bytes), 1); }

const cg::Bitmap& pixels(const ns::Ref<TVImageFrame>& frame) { return frame->image->cgImage()->bitmap(); }

// The animated PNG rules applied by hand: the canvas after each frame.
std::vector<cg::Bitmap> composeByHand(const std::vector<Frame>& frames) {
    const int w = frames[0].bitmap.width(), h = frames[0].bitmap.height();
    cg::Bitmap canvas(w, h, cg::PixelFormat::ARGB32Premultiplied);
    std::vector<cg::Bitmap> out;
    for (const Frame& f : frames) {
        cg::Bitmap before = canvas;
        for (int y = 0; y < f.bitmap.height(); ++y)
            for (int x = 0; x < f.bitmap.width(); ++x) {
                cg::Pixel src = f.bitmap.pixel(x, y), dst = canvas.pixel(int(f.x) + x, int(f.y) + y);
                if (f.blend == 1) {
                    auto over = [&](uint8_t s, uint8_t d) { return uint8_t(s + (d * (255 - src.alpha) + 127) / 255); };
                    src = {over(src.alpha, dst.alpha), over(src.red, dst.red), over(src.green, dst.green),
                           over(src.blue, dst.blue)};
                }
                canvas.setPixel(int(f.x) + x, int(f.y) + y, src);
            }
        out.push_back(canvas);
        if (f.dispose == 1) {
            for (int y = 0; y < f.bitmap.height(); ++y)
                for (int x = 0; x < f.bitmap.width(); ++x) canvas.setPixel(int(f.x) + x, int(f.y) + y, {});
        } else if (f.dispose == 2) {
            canvas = before;
        }
    }
    return out;
}

void expectNear(const cg::Bitmap& got, const cg::Bitmap& want, const std::string& what) {
    ASSERT_EQ(got.width(), want.width()) << what;
    ASSERT_EQ(got.height(), want.height()) << what;
    for (int y = 0; y < got.height(); ++y)
        for (int x = 0; x < got.width(); ++x) {
            cg::Pixel g = got.pixel(x, y), w = want.pixel(x, y);
            ASSERT_LE(std::abs(g.alpha - w.alpha) + std::abs(g.red - w.red) + std::abs(g.green - w.green) +
                          std::abs(g.blue - w.blue),
                      2)
                << what << " at " << x << "," << y;
        }
}

cg::Bitmap red(int w, int h) { return pngtest::solid(w, h, 255, 255, 0, 0); }
cg::Bitmap green(int w, int h) { return pngtest::solid(w, h, 255, 0, 255, 0); }
cg::Bitmap halfBlue(int w, int h) { return pngtest::solid(w, h, 128, 0, 0, 255); }

TEST(ImageDecoderTest, TypeIsFixedAtTheFirstUpdateOfMoreThan16Bytes) {
    Bytes png = cg::encodePng(red(4, 4));
    auto d = std::make_shared<TVImageDecoder>(2.0);
    EXPECT_TRUE(d->updateData(asData(Bytes(png.begin(), png.begin() + 10)), false));
    EXPECT_EQ(d->type(), TVImageTypeUnknown);
    EXPECT_EQ(d->frameCount(), 0u);
    EXPECT_FALSE(d->updateData(asData(Bytes(png.begin(), png.begin() + 5)), false)) << "shorter data";
    EXPECT_TRUE(d->updateData(asData(png), true));
    EXPECT_EQ(d->type(), TVImageTypePNG);
    EXPECT_TRUE(d->isFinalized());
    EXPECT_EQ(d->frameCount(), 1u);
    EXPECT_EQ(d->width(), 4u);
    EXPECT_FALSE(d->updateData(asData(png), true)) << "finalized";
    auto frame = d->frameAtIndex(0, true);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->image->scale(), 2.0);
    EXPECT_TRUE(TV_isDecodedForDisplay(frame->image.get()));
    EXPECT_EQ(pixels(frame).pixel(1, 1), (cg::Pixel{255, 255, 0, 0}));
    EXPECT_FALSE(d->frameAtIndex(1, true));
    EXPECT_EQ(d->frameDurationAtIndex(7), 0);
    EXPECT_EQ(std::make_shared<TVImageDecoder>(-1.0)->scale(), 1.0);
}

TEST(ImageDecoderTest, DataOfAnotherTypeIsRefused) {
    Bytes jpeg = TVCreateEncodedImageData(cg::Image::make(red(8, 8)), TVImageTypeJPEG, 0.9)->vector();
    Bytes png = cg::encodePng(red(8, 8));
    auto d = std::make_shared<TVImageDecoder>(1.0);
    EXPECT_TRUE(d->updateData(asData(Bytes(jpeg.begin(), jpeg.begin() + 40)), false));
    EXPECT_EQ(d->type(), TVImageTypeJPEG);
    Bytes longer = png;
    longer.resize(jpeg.size() + 10, 0);
    EXPECT_FALSE(d->updateData(asData(longer), false));
    EXPECT_EQ(d->type(), TVImageTypeJPEG);
    // The refused data is still held, so the JPEG is now the shorter data.
    EXPECT_FALSE(d->updateData(asData(jpeg), true));
    d = std::make_shared<TVImageDecoder>(1.0);
    EXPECT_TRUE(d->updateData(asData(jpeg), true));
    auto frame = d->frameAtIndex(0, false);
    ASSERT_TRUE(frame);
    EXPECT_FALSE(TV_isDecodedForDisplay(frame->image.get()));
    EXPECT_EQ(frame->image->cgImage()->bitmapInfo(), 5u) << "as the source gave it";
    EXPECT_EQ(d->frameAtIndex(0, true)->image->cgImage()->bitmapInfo(), 0x2006u);
    EXPECT_FALSE(TVImageDecoder::decoderWithData(nullptr, 1));
    EXPECT_FALSE(decoder(Bytes(40, 7))) << "unknown data has no frame";
}

TEST(ImageDecoderTest, GifFramesLoopCountAndDurations) {
    // Red, green and blue frames.
    auto d = decoder(testing::solidGif({7, 7, 1}, 4, 3, 5));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->type(), TVImageTypeGIF);
    EXPECT_EQ(d->frameCount(), 3u);
    EXPECT_EQ(d->loopCount(), 5u);
    EXPECT_DOUBLE_EQ(d->frameDurationAtIndex(0), 0.07);
    EXPECT_DOUBLE_EQ(d->frameDurationAtIndex(2), 0.01) << "the unclamped delay";
    EXPECT_EQ(pixels(d->frameAtIndex(2, true)).pixel(0, 0), (cg::Pixel{255, 0, 0, 255}));
    EXPECT_EQ(pixels(d->frameAtIndex(1, false)).pixel(3, 2), (cg::Pixel{255, 0, 255, 0}));
    ASSERT_TRUE(d->framePropertiesAtIndex(1));
    EXPECT_EQ(d->imageProperties()->gif.loopCount, 5u);
}

TEST(ImageDecoderTest, AnimatedPngInPiecesShowsOneStillUntilTheEnd) {
    Bytes file = pngtest::apng({{red(6, 4)}, {green(6, 4), 0, 0, 1, 4}, {halfBlue(3, 2), 1, 1, 10, 0, 0, 1}}, 2);
    auto d = std::make_shared<TVImageDecoder>(1.0);
    for (size_t cut : {file.size() / 3, file.size() / 2, file.size() - 1}) {
        ASSERT_TRUE(d->updateData(asData(Bytes(file.begin(), file.begin() + long(cut))), false));
        EXPECT_LE(d->frameCount(), 1u) << cut;
        EXPECT_FALSE(d->frameAtIndex(1, false));
    }
    ASSERT_TRUE(d->updateData(asData(file), true));
    EXPECT_EQ(d->frameCount(), 3u);
    EXPECT_EQ(d->loopCount(), 2u);
    EXPECT_DOUBLE_EQ(d->frameDurationAtIndex(0), 0.1);
    EXPECT_DOUBLE_EQ(d->frameDurationAtIndex(1), 0.25);
    EXPECT_DOUBLE_EQ(d->frameDurationAtIndex(2), 0.1) << "10/0: a denominator of 0 counts as 100";
    EXPECT_FALSE(d->framePropertiesAtIndex(0)) << "no image source once cut into frames";
    auto last = d->frameAtIndex(2, true);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->width, 6u);
    EXPECT_EQ(last->offsetX, 0u);
    expectNear(pixels(last), composeByHand({{red(6, 4)}, {green(6, 4), 0, 0, 1, 4}, {halfBlue(3, 2), 1, 1, 10, 0, 0, 1}})[2],
               "last frame");
}

TEST(ImageDecoderTest, InconsistentAnimationDecodesAsStillPng) {
    Bytes file = pngtest::apng({{red(4, 4)}, {green(4, 4)}});
    // fdAT sequence 2 made 3.
    auto chunks = pngtest::chunksOf(file);
    Bytes broken = pngtest::signature();
    for (auto& c : chunks) {
        if (c.code == "fdAT") c.data[3] = 3;
        pngtest::putChunk(broken, c.code, c.data);
    }
    auto d = decoder(broken);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->frameCount(), 1u);
    EXPECT_EQ(pixels(d->frameAtIndex(0, true)).pixel(0, 0), (cg::Pixel{255, 255, 0, 0}));
}

// The line is logged once per process: the check runs in a fresh process
// of its own, so earlier tests of this binary cannot have used it up. Its
// exit code is the number of lines seen.
TEST(ImageDecoderTest, WebPGivesNoDecoderAndLogsOnce) {
    const std::string style = GTEST_FLAG_GET(death_test_style);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto countLines = [] {
        Bytes webp = {'R', 'I', 'F', 'F', 30, 0, 0, 0, 'W', 'E', 'B', 'P', 'V', 'P', '8', ' '};
        webp.resize(40, 0);
        ns::LogCapture log;
        bool decoded = decoder(webp) || decoder(webp) || decoder(webp);
        int lines = 0;
        for (const auto& line : log.lines()) {
            if (line.find("[-[TVImageDecoder _updateSourceWebP]: 1841] WebP is not available") == 0) lines++;
        }
        std::_Exit(decoded ? 100 : lines);
    };
    EXPECT_EXIT(countLines(), ::testing::ExitedWithCode(1), "");
    GTEST_FLAG_SET(death_test_style, style);
}

// Every pair of dispose and blend operations, with frames of full and part
// size: the frames by hand, in sequence, backwards and one decoder per frame
// must all agree.
TEST(ImageDecoderTest, DisposeAndBlendGiveTheSamePixelsInSequenceAndAtRandom) {
    std::vector<std::vector<Frame>> cases;
    for (uint8_t dispose0 = 0; dispose0 < 3; ++dispose0)
        for (uint8_t dispose1 = 0; dispose1 < 3; ++dispose1)
            for (uint8_t blend = 0; blend < 2; ++blend) {
                cases.push_back({
                    {red(6, 5), 0, 0, 1, 10, dispose0, 0},
                    {halfBlue(3, 2), 2, 1, 1, 10, dispose1, blend},
                    {green(6, 5), 0, 0, 1, 10, 2, 0},          // full size, stands alone, disposes to previous
                    {halfBlue(2, 2), 0, 3, 1, 10, 1, 1},
                    {halfBlue(6, 5), 0, 0, 1, 10, dispose0, 1},
                    {red(1, 1), 5, 4, 1, 10, 0, blend},
                });
            }
    for (size_t c = 0; c < cases.size(); ++c) {
        const auto& frames = cases[c];
        Bytes file = pngtest::apng(frames);
        auto expected = composeByHand(frames);
        auto sequential = decoder(file);
        ASSERT_TRUE(sequential);
        ASSERT_EQ(sequential->frameCount(), frames.size());
        std::vector<cg::Bitmap> inOrder;
        for (size_t i = 0; i < frames.size(); ++i) {
            auto frame = sequential->frameAtIndex(i, true);
            ASSERT_TRUE(frame) << c << "/" << i;
            inOrder.push_back(pixels(frame));
            expectNear(inOrder.back(), expected[i], "case " + std::to_string(c) + " frame " + std::to_string(i));
        }
        auto backwards = decoder(file);
        for (size_t i = frames.size(); i-- > 0;) {
            EXPECT_EQ(pixels(backwards->frameAtIndex(i, true)), inOrder[i]) << c << "/" << i;
        }
        for (size_t i = 0; i < frames.size(); ++i) {
            EXPECT_EQ(pixels(decoder(file)->frameAtIndex(i, true)), inOrder[i]) << c << "/" << i;
        }
    }
}

TEST(ImageDecoderTest, FirstFrameDisposingToPreviousLeavesTheCanvasClear) {
    // Frame 0 stands alone; frame 1 is drawn over what frame 0 left: nothing.
    std::vector<Frame> frames = {{red(4, 4), 0, 0, 1, 10, 2, 0}, {halfBlue(2, 2), 1, 1, 1, 10, 0, 1}};
    auto d = decoder(pngtest::apng(frames));
    ASSERT_TRUE(d);
    d->frameAtIndex(0, true);
    auto second = d->frameAtIndex(1, true);
    EXPECT_EQ(pixels(second).pixel(0, 0).alpha, 0);
    EXPECT_EQ(pixels(second).pixel(1, 1).alpha, 128);
    EXPECT_EQ(pixels(second), pixels(decoder(pngtest::apng(frames))->frameAtIndex(1, true)));
}

TEST(ImageDecoderTest, FramesNotDecodedForDisplayKeepTheirOwnSize) {
    std::vector<Frame> frames = {{red(6, 4)}, {green(2, 3), 4, 1, 1, 10, 1, 0}};
    auto d = decoder(pngtest::apng(frames, 0, false));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->frameCount(), 1u) << "one frame that is not the default image";
    // The default image outside the animation: one animated frame only,
    // which the still reading shows.
    frames.push_back({green(6, 4)});
    d = decoder(pngtest::apng(frames, 0, false));
    ASSERT_EQ(d->frameCount(), 2u);
    auto first = d->frameAtIndex(0, false);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->width, 2u);
    EXPECT_EQ(first->offsetX, 4u);
    EXPECT_EQ(first->offsetY, 0u) << "from the bottom: 4 - 1 - 3";
    auto copy = ns::cast<TVImageFrame>(first->copy());
    EXPECT_EQ(copy->width, 2u);
    EXPECT_TRUE(ns::cast<TVImageDecoderFrame>(copy));
}


// Texts shared by every frame (here 4 x 8 MB) are not copied into each
// frame's picture: the reader would pass over them anyway.
TEST(ImageDecoderTest, AnimatedPngFramesLeaveTheSharedTextsOut) {
    std::vector<Frame> frames = {{pngtest::solid(4, 4, 255, 200, 0, 0)}, {pngtest::solid(4, 4, 255, 0, 200, 0)},
                                 {pngtest::solid(4, 4, 255, 0, 0, 200)}};
    const Bytes plain = pngtest::apng(frames);
    Bytes file = pngtest::signature();
    for (const auto& chunk : pngtest::chunksOf(plain)) {
        pngtest::putChunk(file, chunk.code, chunk.data);
        if (chunk.code != "IHDR") continue;
        Bytes text = {'C', 'o', 'm', 'm', 'e', 'n', 't', 0};
        text.resize(8'000'000, 'A');
        for (int i = 0; i < 4; ++i) pngtest::putChunk(file, "tEXt", text);
    }
    auto d = decoder(file);
    ASSERT_EQ(d->frameCount(), 3u);
    testing::ResidentPeak peak = testing::peakFromHere();
    for (uint64_t i = 0; i < 3; ++i) {
        auto frame = d->frameAtIndex(i, false);
        ASSERT_TRUE(frame);
        EXPECT_EQ(pixels(frame).pixel(1, 1), frames[i].bitmap.pixel(1, 1)) << i;
    }
    testing::expectGrowthUnder(peak, 16 * testing::MiB, "three animated PNG frames beside 32 MB of texts");
    // Each frame's header read once and its 16 pixels' rows inflated.
    const cg::CodecWork work = d->apngFrameWork();
    EXPECT_EQ(work.libraryHeaderReads, 3u);
    EXPECT_EQ(work.bytesInflated, 3u * 16u * 4u);
}

}  // namespace
