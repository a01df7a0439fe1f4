// GIF files of every hostile shape through the GIF view's image, which
// keeps a record and a delay per frame it plays and decodes up front only
// the frames a file's budget holds: none of them costs more than that
// budget, in memory or in indices decoded.

#include <gtest/gtest.h>

#include <ostream>

#include "gif_test_support.h"
#include "platform/graphics/DecodeBudget.h"
#include "platform/testing/GifFiles.h"
#include "platform/testing/PeakBound.h"
#include "tests/platform/graphics/hostile_images.h"

namespace hostile {
void PrintTo(const Shape& shape, std::ostream* out) { *out << shape.name; }
}  // namespace hostile

namespace {

using testing::MiB;

std::vector<hostile::Shape> gifShapes() {
    std::vector<hostile::Shape> gifs;
    for (const auto& shape : hostile::shapes())
        if (std::string(shape.extension) == "gif") gifs.push_back(shape);
    return gifs;
}

class HostileGifViewTest : public GifTest, public testing::WithParamInterface<hostile::Shape> {};

TEST_P(HostileGifViewTest, SetsUpWithinTheFileBudget) {
    const hostile::Shape& shape = GetParam();
    auto data = ns::Data::make(shape.make());
    KVTRGFAnimatedImage::setLogBlock(nullptr, KVTRGFLogLevel::None);
    testing::ResidentPeak peak = testing::peakFromHere();
    auto image = KVTRGFAnimatedImage::animatedImageWithGIFData(data);
    testing::expectGrowthUnder(peak, cg::MaximumPixelsPerFile * 4 + cg::MaximumOverheadBytesPerFile + 128 * MiB,
                               std::string(shape.name) + " through the GIF view's image");
    if (!image) return;
    EXPECT_LE(image->frameCount(), cg::MaximumPicturesPerFile);
    EXPECT_LE(image->delayTimesForIndexes().size(), image->frameCount());
    const cg::ImageSource::Counters made = image->sourceCounters();
    const uint64_t admitted =
        std::min(cg::MaximumPicturesPerFile, cg::MaximumPixelsPerFile / std::max<uint64_t>(shape.pixelsPerPicture, 1));
    // The poster is made whatever the budget says.
    EXPECT_LE(made.picturesAttempted, admitted + 1);
    // The listing opens the library once and the player once; the indices
    // decoded are those of the pictures charged.
    EXPECT_LE(made.work.libraryHeaderReads, 2u);
    EXPECT_LE(made.work.bytesInflated, cg::MaximumPixelsPerFile + uint64_t(cg::gif::MaximumPixels));
}

TEST_F(GifTest, FramesOfZerosOnAHugeScreenAreDecodedOnlyWithinTheBudget) {
    // 16 frames of 4096 x 4096 zeros in about 185 KB: only the four frames
    // the budget holds are decoded, one at a time on the player's canvas.
    auto data = ns::Data::make(testing::gifOfZeroFrames(4096, 4096, 16));
    testing::ResidentPeak peak = testing::peakFromHere();
    auto image = KVTRGFAnimatedImage::animatedImageWithGIFData(data);
    const uint64_t growth = peak.growth();
    ASSERT_TRUE(image);
    EXPECT_EQ(image->frameCount(), 16u);
    EXPECT_EQ(image->delayTimesForIndexes().size(), 16u);
    const cg::ImageSource::Counters made = image->sourceCounters();
    EXPECT_EQ(made.picturesAttempted, 4u);
    EXPECT_EQ(made.work.bytesInflated, 4u * 4096u * 4096u);
    // The player's canvas and the picture made of it.
    testing::expectGrowthUnder(growth, 256 * MiB, "16 frames of 4096 x 4096 zeros through the GIF view's image");
}

INSTANTIATE_TEST_SUITE_P(EveryGifShape, HostileGifViewTest, testing::ValuesIn(gifShapes()),
                         [](const testing::TestParamInfo<hostile::Shape>& info) { return std::string(info.param.name); });

}  // namespace
