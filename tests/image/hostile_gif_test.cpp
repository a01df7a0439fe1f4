// GIF files of every hostile shape through the readers that keep frames:
// the small-GIF reader (every frame drawn and repeated by its delay) and
// the animated image (a record per frame, frames made as they play).
// Neither keeps more than one file's budget, nor lists more entries than a
// file may keep pictures.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <ostream>
#include <set>

#include "image/UIImage+TVWebImage.h"
#include "image/codec/TVImage.h"
#include "platform/graphics/DecodeBudget.h"
#include "platform/testing/PeakBound.h"
#include "tests/platform/graphics/hostile_images.h"

namespace hostile {
void PrintTo(const Shape& shape, std::ostream* out) { *out << shape.name; }
}  // namespace hostile

namespace {

using testing::MiB;
// A file's pictures and overheads, the picture being drawn and its copy.
constexpr uint64_t BoundBytes = cg::MaximumPixelsPerFile * 4 + cg::MaximumOverheadBytesPerFile + 192 * MiB;

std::vector<hostile::Shape> gifShapes() {
    std::vector<hostile::Shape> gifs;
    for (const auto& shape : hostile::shapes())
        if (std::string(shape.extension) == "gif") gifs.push_back(shape);
    return gifs;
}

uint64_t picturesAdmitted(uint64_t pixels) {
    return std::min(cg::MaximumPicturesPerFile, cg::MaximumPixelsPerFile / std::max<uint64_t>(pixels, 1));
}

class HostileGifTest : public testing::TestWithParam<hostile::Shape> {
protected:
    void expectPeakWithinTheBudget(const testing::ResidentPeak& peak, const char* reader) {
        testing::expectGrowthUnder(peak, BoundBytes, std::string(GetParam().name) + " through " + reader);
    }
};

TEST_P(HostileGifTest, KeepsNoMoreThanTheFileBudget) {
    const hostile::Shape& shape = GetParam();
    auto data = ns::Data::make(shape.make());
    const uint64_t admitted = picturesAdmitted(shape.pixelsPerPicture);
    {
        testing::ResidentPeak peak = testing::peakFromHere();
        auto image = TV_imageWithSmallGIFData(data, 1);
        expectPeakWithinTheBudget(peak, "the small-GIF reader");
        if (image) {
            std::set<const cg::Image*> pictures;
            for (const auto& frame : image->images()) pictures.insert(frame->cgImage().get());
            EXPECT_LE(pictures.size(), admitted);
            EXPECT_LE(image->images().size(), cg::MaximumPicturesPerFile);
        }
    }
    {
        testing::ResidentPeak peak = testing::peakFromHere();
        auto image = TVImage::imageWithData(data);
        if (image) {
            EXPECT_LE(image->animatedImageFrameCount(), cg::MaximumPicturesPerFile);
            // Played once through, keeping none.
            for (uint64_t i = 0; i < image->animatedImageFrameCount(); ++i) (void)image->animatedImageFrameAtIndex(i);
        }
        expectPeakWithinTheBudget(peak, "the animated image");
    }
}

INSTANTIATE_TEST_SUITE_P(EveryGifShape, HostileGifTest, testing::ValuesIn(gifShapes()),
                         [](const testing::TestParamInfo<hostile::Shape>& info) { return std::string(info.param.name); });

}  // namespace
