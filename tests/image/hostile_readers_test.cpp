// Every hostile shape through every reader that keeps what it decodes,
// besides the view layer's image (tests/platform/uikit): a TVImage with
// its frames preloaded, the small-GIF reader and the GIF view's image.
// None holds more than one file's budget.

#include <gtest/gtest.h>

#include "image/UIImage+TVWebImage.h"
#include "image/codec/TVImage.h"
#include "platform/foundation/Data.h"
#include "tests/platform/graphics/hostile_reading.h"
#include "ui/gif/KVTRGFAnimatedImage.h"

namespace {

class HostileReadersTest : public testing::TestWithParam<hostile::Shape> {};

TEST_P(HostileReadersTest, EveryKeepingReaderHoldsNoMoreThanTheFileBudget) {
    const hostile::Shape& shape = GetParam();
    const auto data = ns::Data::make(shape.make());
    {
        testing::ResidentPeak peak = hostile::peakFromHere();
        auto image = TVImage::imageWithData(data, 1);
        if (image) image->setPreloadAllAnimatedImageFrames(true);
        // Its first frame is decoded for display: drawn into a context and
        // copied out of it while the picture decoded is still held.
        hostile::expectPeakWithinTheBudget(peak, shape, "a TVImage preloading its frames", 2);
    }
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

INSTANTIATE_TEST_SUITE_P(EveryFormat, HostileReadersTest, testing::ValuesIn(hostile::shapes()), hostile::testName);

}  // namespace
