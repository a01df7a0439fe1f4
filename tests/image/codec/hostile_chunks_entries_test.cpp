// PNG texts, icon entries sharing a PNG, JPEG 2000 headers by the
// thousand, an interlaced picture at the pixel cap and two large JPEG 2000
// entries, read as an image of every picture, through the image (its
// first picture drawn for display) and played through the decoder frame
// by frame: each costs the pictures
// it gives, drawn for display at most twice, and no text is inflated.

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>

#include "image/codec/TVImage.h"
#include "image/codec/TVImageDecoder.h"
#include "platform/testing/PeakBound.h"
#include "platform/uikit/Image.h"
#include "tests/platform/graphics/hostile_images.h"

namespace {

using testing::MiB;
using testing::peakFromHere;

struct Case {
    const char* name;
    hostile::Bytes (*make)();
    // The largest picture, in pixels.
    uint64_t pixels;
};

hostile::Bytes byName(const char* name) { return hostile::shapeNamed(name).make(); }

const Case kCases[] = {
    {"PngTextsAtTheLibraryLimit", [] { return byName("PngTextsAtTheLibraryLimit"); }, 1},
    {"IcoEntriesSharingOnePngWithText", [] { return byName("IcoEntriesSharingOnePngWithText"); }, 1},
    {"IcnsEntriesOfPngsWithText", [] { return byName("IcnsEntriesOfPngsWithText"); }, 1},
    {"ApngWithSharedTexts", [] { return byName("ApngWithSharedTexts"); }, 1},
    {"IcnsOfTinyJpeg2000", [] { return byName("IcnsOfTinyJpeg2000"); }, 64 * 64},
    {"IcnsOfTinyJpeg2000Rgba32Levels", [] { return byName("IcnsOfTinyJpeg2000Rgba32Levels"); }, 64 * 64},
    {"PngInterlacedAtTheCap", [] { return hostile::pngInterlaced(8192); }, 8192 * 8192},
    {"IcnsOfTwoLargeJpeg2000", [] { return hostile::icnsOfTwoLargeJpeg2000(); }, 5792 * 5792},
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class HostileChunksAndEntriesTest : public testing::TestWithParam<Case> {
protected:
    // A picture drawn for display is held twice while it is drawn; a JPEG
    // 2000 one is made from four planes of 32-bit samples.
    static uint64_t bound(const Case& c) {
        const uint64_t picture = c.pixels * 4;
        const bool jpeg2000 = std::string(c.name).find("Jpeg2000") != std::string::npos;
        return (jpeg2000 ? 5 : 2) * picture + 64 * MiB;
    }
    void expectWithin(const testing::ResidentPeak& peak, const char* reader) {
        testing::expectGrowthUnder(peak, bound(GetParam()), std::string(GetParam().name) + " through " + reader);
    }
};

TEST_P(HostileChunksAndEntriesTest, CostsThePicturesItGives) {
    const hostile::Bytes file = GetParam().make();
    auto data = ns::Data::make(file);
    {
        testing::ResidentPeak peak = peakFromHere();
        auto image = ui::Image::imageWithData(data);
        expectWithin(peak, "an image of every picture");
    }
    {
        testing::ResidentPeak peak = peakFromHere();
        // Nil where no picture decodes (the JPEG 2000 headers hold none).
        auto image = TVImage::imageWithData(data);
        expectWithin(peak, "TVImage");
    }
    {
        testing::ResidentPeak peak = peakFromHere();
        auto decoder = TVImageDecoder::decoderWithData(data, 1);
        const uint64_t frames = decoder ? std::min<uint64_t>(decoder->frameCount(), 64) : 0;
        for (uint64_t i = 0; i < frames; ++i) (void)decoder->frameAtIndex(i, true);
        expectWithin(peak, "the decoder, frames drawn for display");
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, HostileChunksAndEntriesTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
