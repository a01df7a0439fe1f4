// Hostile shapes through the keeping readers the other shape tests leave
// out: a TVImage preloading every frame it may keep (every shape), and the
// small-GIF reader and the GIF view's image given files that are not GIF
// (ICO, ICNS and TIFF of many pictures among them), which both read as
// they read a GIF's frames. None holds more than one file's budget.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/UIImage+TVWebImage.h"
#include "image/codec/TVImage.h"
#include "platform/foundation/Data.h"
#include "tests/platform/graphics/hostile_reading.h"
#include "ui/gif/KVTRGFAnimatedImage.h"

namespace {

class HostileReadersTest : public testing::TestWithParam<hostile::Shape> {};

TEST_P(HostileReadersTest, APreloadingImageHoldsNoMoreThanTheFileBudget) {
    const hostile::Shape& shape = GetParam();
    const auto data = ns::Data::make(shape.make());
    testing::ResidentPeak peak = hostile::peakFromHere();
    auto image = TVImage::imageWithData(data, 1);
    if (image) image->setPreloadAllAnimatedImageFrames(true);
    // Its first frame is decoded for display: drawn into a context whose
    // pixels become the picture, while the picture decoded is still held.
    hostile::expectPeakWithinTheBudget(peak, shape, "a TVImage preloading its frames", 1);
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, HostileReadersTest, testing::ValuesIn(hostile::shapes()), hostile::testName);

class HostileNonGifReadersTest : public testing::TestWithParam<hostile::Shape> {};

TEST_P(HostileNonGifReadersTest, TheGifReadersHoldNoMoreThanTheFileBudget) {
    const hostile::Shape& shape = GetParam();
    const auto data = ns::Data::make(shape.make());
    {
        testing::ResidentPeak peak = hostile::peakFromHere();
        auto image = TV_imageWithSmallGIFData(data, 1);
        hostile::expectPeakWithinTheBudget(peak, shape, "the small-GIF reader");
    }
    {
        testing::ResidentPeak peak = hostile::peakFromHere();
        auto image = KVTRGFAnimatedImage::animatedImageWithGIFData(data);
        hostile::expectPeakWithinTheBudget(peak, shape, "the GIF view's image");
    }
}

std::vector<hostile::Shape> shapesOtherThanGif() {
    std::vector<hostile::Shape> others;
    for (const auto& shape : hostile::shapes())
        if (std::string(shape.extension) != "gif") others.push_back(shape);
    return others;
}

INSTANTIATE_TEST_SUITE_P(EveryOtherFormat, HostileNonGifReadersTest, testing::ValuesIn(shapesOtherThanGif()),
                         hostile::testName);

}  // namespace
