// A reader that keeps every frame of an image, as the animated view's
// buffer does, holds what the account says: a picture drawn on a canvas of
// the first picture's size is charged the canvas, every blended frame of an
// animated PNG is charged as it is made, and the first frame read again
// while the image shows it is the image's own picture, charged once. Past the account's limit frames are refused,
// not held uncharged. The account is sized to a few canvases here, so that
// each case shows the rule in a few hundred MiB.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "animated_test_support.h"
#include "image/codec/TVImage.h"
#include "image/codec/TVImageDecoder.h"
#include "platform/foundation/Log.h"
#include "platform/graphics/PictureAccount.h"
#include "platform/testing/IconFiles.h"
#include "platform/testing/PeakBound.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/testing/TiffFiles.h"
#include "platform/uikit/DecodedPixelAccount.h"
#include "png_test_support.h"

namespace {

using testing::MiB;

// The pictures a small page or frame makes while it is drawn on a canvas.
constexpr uint64_t SmallPictureRoom = 256 * 256 * 2;

class KeptFramesAccountTest : public ::testing::Test {
protected:
    ~KeptFramesAccountTest() override { account.setLimitForTesting(ui::MaximumDecodedPixels); }

    // Room for `canvases` canvases of `canvasPixels` beside what is held
    // now; returns the limit in pixels.
    uint64_t limitTo(uint64_t canvases, uint64_t canvasPixels) {
        const uint64_t limit = account.pixelsHeld() + canvases * canvasPixels + SmallPictureRoom;
        account.setLimitForTesting(limit);
        return limit;
    }

    ui::DecodedPixelAccount& account = ui::DecodedPixelAccount::shared();
    // A refusal's memory warning goes to this main queue.
    testing::TaskEnvironment env;
};

struct Kept {
    std::vector<ns::Ref<ui::Image>> frames;
    // The image's own picture and every frame's, each bitmap once.
    uint64_t pixelsHeld = 0;
    size_t refused = 0;
};

// Reads every frame of `image` and keeps it. Stops at the first frame after
// which the account holds less than 90% of the pixels held: readers that
// let frames pass the account would go on to hold gigabytes.
Kept keepEveryFrame(TVImage& image, const ui::DecodedPixelAccount& account) {
    Kept kept;
    std::set<const cg::Image*> pictures;
    auto hold = [&](const ns::Ref<cg::Image>& picture) {
        if (pictures.insert(picture.get()).second) kept.pixelsHeld += uint64_t(picture->width()) * picture->height();
    };
    hold(image.cgImage());
    for (uint64_t i = 0; i < image.animatedImageFrameCount(); ++i) {
        cg::PictureRefusals refusals;
        auto frame = image.animatedImageFrameAtIndex(i);
        if (!frame) {
            EXPECT_GT(refusals.count(), 0u) << "frame " << i << " is missing without a refusal";
            ++kept.refused;
            continue;
        }
        EXPECT_EQ(frame->cgImage()->width(), image.cgImage()->width()) << i;
        EXPECT_EQ(frame->cgImage()->height(), image.cgImage()->height()) << i;
        hold(frame->cgImage());
        kept.frames.push_back(frame);
        if (account.pixelsHeld() * 10 < kept.pixelsHeld * 9) {
            ADD_FAILURE() << "after frame " << i << " the account holds " << account.pixelsHeld() << " of the "
                          << kept.pixelsHeld << " pixels held";
            break;
        }
    }
    return kept;
}

// A file whose first picture is `side` x `side` and whose `count` others
// are of one pixel, each shown on the first one's canvas, read with room for
// four canvases: the image's own picture, which frame 0 read again shares,
// and three more frames.
void expectSmallPicturesChargedTheCanvas(const ui::DecodedPixelAccount& account, const ns::Ref<ns::Data>& file,
                                         int side, uint64_t count, uint64_t limit) {
    const uint64_t canvas = uint64_t(side) * uint64_t(side);
    const auto peak = testing::peakFromHere();
    auto image = TVImage::imageWithData(file);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->animatedImageFrameCount(), count + 1);
    ns::LogCapture log;
    Kept kept = keepEveryFrame(*image, account);
    if (::testing::Test::HasFailure()) return;
    // Frame 0 read again, then three small pictures each on a canvas.
    EXPECT_EQ(kept.frames.size(), 4u);
    EXPECT_EQ(kept.refused, count + 1 - kept.frames.size());
    EXPECT_GE(account.pixelsHeld(), 4 * canvas);
    EXPECT_TRUE(log.contains("x " + std::to_string(side) + ") is not decoded")) << testing::PrintToString(log.lines());
    // The account's limit in bytes, and 64 MiB for the allocator, the
    // readers' buffers and a picture while it is drawn.
    testing::expectGrowthUnder(peak, limit * 4 + 64 * MiB,
                               std::to_string(count) + " small pictures on a canvas of " + std::to_string(side));
    // The small picture at the canvas's top left, nothing elsewhere.
    const cg::Bitmap& small = kept.frames[1]->cgImage()->bitmap();
    EXPECT_EQ(small.pixel(0, 0).alpha, 255);
    EXPECT_EQ(small.pixel(1, 0).alpha, 0);
    EXPECT_EQ(small.pixel(side - 1, side - 1).alpha, 0);
}

TEST_F(KeptFramesAccountTest, PagesSmallerThanTheFirstAreChargedTheirCanvas) {
    {
        SCOPED_TRACE("TIFF of a 2048 x 2048 page and 64 of one pixel");
        testing::TiffLayout large, small;
        large.width = large.height = 2048;
        small.pages = 64;
        auto file = ns::Data::make(testing::flatTiffPages({large, small}));
        const uint64_t limit = limitTo(4, 2048 * 2048);
        expectSmallPicturesChargedTheCanvas(account, file, 2048, 64, limit);
    }
    {
        SCOPED_TRACE("ICNS of a 2048 x 2048 entry and 64 of one pixel");
        std::vector<testing::Bytes> entries = {solidPngBytes(2048, 2048)};
        entries.resize(65, testing::onePixelPng());
        auto file = ns::Data::make(testing::icnsOf(entries));
        const uint64_t limit = limitTo(4, 2048 * 2048);
        expectSmallPicturesChargedTheCanvas(account, file, 2048, 64, limit);
    }
}

TEST_F(KeptFramesAccountTest, PagesSmallerThanALargeFirstPageAreRefusedPastTheAccount) {
    // Canvases of 64 MiB: the 128 pages kept uncharged would take 8 GiB.
    testing::TiffLayout large, small;
    large.width = large.height = 4096;
    small.pages = 128;
    auto file = ns::Data::make(testing::flatTiffPages({large, small}));
    ASSERT_LT(file->length(), 64u * 1024u);
    const uint64_t limit = limitTo(4, 4096 * 4096);
    expectSmallPicturesChargedTheCanvas(account, file, 4096, 128, limit);
}

TEST_F(KeptFramesAccountTest, BlendedAnimatedPngFramesAreChargedAsTheyAreMade) {
    // A 1024 x 1024 canvas and 120 frames of 256 x 256, each drawn over the
    // ones before at the next of 16 places.
    constexpr int Side = 1024, Tile = 256;
    std::vector<pngtest::Frame> frames;
    frames.push_back({pngtest::solid(Side, Side, 255, 90, 90, 90)});
    auto colourOf = [](int i) { return cg::premultiplied(255, uint8_t(2 * i), uint8_t(255 - 2 * i), 40); };
    auto placeOf = [](int i) { return std::pair<uint32_t, uint32_t>(i % 4 * Tile, i / 4 % 4 * Tile); };
    for (int i = 0; i < 120; ++i) {
        const cg::Pixel c = colourOf(i);
        pngtest::Frame frame{pngtest::solid(Tile, Tile, c.alpha, c.red, c.green, c.blue)};
        std::tie(frame.x, frame.y) = placeOf(i);
        frame.blend = 1;
        frames.push_back(std::move(frame));
    }
    // The default image is not part of the animation.
    auto file = ns::Data::make(pngtest::apng(frames, 0, false));
    ASSERT_LT(file->length(), 256u * 1024u);

    // The canvas frames are composed on, the image's own frame (which frame 0
    // read again shares) and 14 more.
    const uint64_t limit = limitTo(16, Side * Side);
    const auto peak = testing::peakFromHere();
    auto image = TVImage::imageWithData(file);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->animatedImageFrameCount(), 120u);
    ns::LogCapture log;
    Kept kept = keepEveryFrame(*image, account);
    ASSERT_FALSE(HasFailure());
    EXPECT_EQ(kept.frames.size(), 15u);
    EXPECT_EQ(kept.refused, 120u - kept.frames.size());
    EXPECT_TRUE(log.contains("(1024 x 1024) is not decoded")) << testing::PrintToString(log.lines());
    testing::expectGrowthUnder(peak, limit * 4 + 64 * MiB, "120 blended animated PNG frames kept");
    // Each frame shows its own tile over the one before, and nothing yet
    // where later frames go.
    for (size_t i = 0; i < kept.frames.size(); ++i) {
        const cg::Bitmap& shown = kept.frames[i]->cgImage()->bitmap();
        const auto [x, y] = placeOf(int(i));
        EXPECT_EQ(shown.pixel(int(x) + 10, int(y) + 10), colourOf(int(i))) << i;
        if (i > 0) {
            const auto [px, py] = placeOf(int(i) - 1);
            EXPECT_EQ(shown.pixel(int(px) + 10, int(py) + 10), colourOf(int(i) - 1)) << i;
        }
        EXPECT_EQ(shown.pixel(Side - 1, Side - 1).alpha, 0) << i;
    }
    // Let go, the frames leave room for the rest.
    kept.frames.clear();
    auto later = image->animatedImageFrameAtIndex(119);
    ASSERT_TRUE(later);
    // The bottom right tile was last drawn by frame 111.
    EXPECT_EQ(later->cgImage()->bitmap().pixel(Side - 1, Side - 1), colourOf(111));
}

// A blended frame is composed from the frames before it; one of them
// refused by the account would leave it wrong, so it is refused too.
TEST_F(KeptFramesAccountTest, AFrameComposedWithoutARefusedPictureIsNotHandedOut) {
    std::vector<pngtest::Frame> frames;
    frames.push_back({pngtest::solid(64, 64, 255, 90, 90, 90)});
    // Three of 32 x 32, then one of 16 x 16 that the account admits alone.
    for (uint8_t i = 0; i < 4; ++i) {
        const int side = i < 3 ? 32 : 16;
        pngtest::Frame frame{pngtest::solid(side, side, 255, uint8_t(60 * i), 200, 0)};
        frame.x = i % 2 * 32u;
        frame.y = i / 2 * 32u;
        frame.blend = 1;
        frames.push_back(std::move(frame));
    }
    auto decoder = TVImageDecoder::decoderWithData(ns::Data::make(pngtest::apng(frames, 0, false)), 1);
    ASSERT_TRUE(decoder);
    // The canvas, the frame's copy and its own picture, but not the larger
    // ones replayed under it.
    account.setLimitForTesting(account.pixelsHeld() + 2 * 64 * 64 + 512);
    {
        ns::LogCapture log;
        cg::PictureRefusals refusals;
        EXPECT_FALSE(decoder->frameAtIndex(3, true));
        EXPECT_GT(refusals.count(), 0u);
        EXPECT_TRUE(log.contains("(32 x 32) is not decoded")) << testing::PrintToString(log.lines());
    }
    account.setLimitForTesting(ui::MaximumDecodedPixels);
    auto whole = decoder->frameAtIndex(3, true);
    ASSERT_TRUE(whole);
    const cg::Bitmap& shown = whole->image->cgImage()->bitmap();
    for (uint8_t i = 0; i < 4; ++i) {
        EXPECT_EQ(shown.pixel(i % 2 * 32 + 5, i / 2 * 32 + 5), cg::premultiplied(255, uint8_t(60 * i), 200, 0)) << int(i);
    }
}

}  // namespace
