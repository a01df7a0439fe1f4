// Files of every hostile shape in every format read, read through the
// image source a picture at a time (as a player asks) and as an image of
// every picture: neither costs more memory than one file's budget, nor
// tries more pictures than that budget admits, nor reads a directory or a
// progressive scan more often than it must.

#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <ostream>

#include "platform/foundation/Data.h"
#include "platform/graphics/ImageSource.h"
#include "platform/testing/ResidentMemory.h"
#include "platform/uikit/Image.h"
#include "tests/platform/graphics/hostile_images.h"
#include "ui_test_support.h"

namespace hostile {
void PrintTo(const Shape& shape, std::ostream* out) { *out << shape.name; }
}  // namespace hostile

namespace {

constexpr uint64_t MiB = 1 << 20;
// What one file's pictures may hold: their pixels and their overheads.
constexpr uint64_t BudgetBytes = cg::MaximumPixelsPerFile * 4 + cg::MaximumOverheadBytesPerFile;
// What a reader holds besides the pictures kept: the one being decoded
// and the library's working memory for it.
constexpr uint64_t SlackBytes = 128 * MiB;

// The most pictures of `pixels` each that one file's budget admits.
uint64_t picturesAdmitted(uint64_t pixels) {
    return std::min(cg::MaximumPicturesPerFile, cg::MaximumPixelsPerFile / std::max<uint64_t>(pixels, 1));
}

class HostileShapeTest : public UIKitTest, public testing::WithParamInterface<hostile::Shape> {
protected:
    // Starts a peak from what is resident now, with the heap's free pages
    // given back, so that one reader's leftovers do not hide the next's.
    static testing::ResidentPeak peakFromHere() {
        malloc_trim(0);
        return testing::ResidentPeak();
    }

    void expectPeakWithinTheBudget(const testing::ResidentPeak& peak, const char* reader) {
        ASSERT_TRUE(peak.started());
        std::printf("%s through %s: resident peak grew %.1f MiB\n", GetParam().name, reader,
                    double(peak.growth()) / MiB);
        if constexpr (testing::PeaksMeasureTheProduct) {
            EXPECT_LT(peak.growth(), BudgetBytes + SlackBytes) << reader;
        }
    }
};

TEST_P(HostileShapeTest, CostsNoMoreThanTheFileBudget) {
    const hostile::Shape& shape = GetParam();
    const hostile::Bytes file = shape.make();
    const uint64_t admitted = picturesAdmitted(shape.pixelsPerPicture);
    std::printf("%s: %zu bytes, at most %llu pictures\n", shape.name, file.size(),
                static_cast<unsigned long long>(admitted));
    {
        // A player asks for every picture in turn and keeps none.
        testing::ResidentPeak peak = peakFromHere();
        auto source = cg::ImageSource::createWithData(file);
        ASSERT_TRUE(source);
        for (size_t i = 0; i < source->count(); ++i) (void)source->createImageAtIndex(i);
        expectPeakWithinTheBudget(peak, "the image source");
        const cg::ImageSource::Counters counters = source->counters();
        std::printf("%s: %zu of %zu pictures attempted, %zu directory reads, %zu scans\n", shape.name,
                    counters.picturesAttempted, source->count(), counters.directoryParses, counters.progressiveScans);
        EXPECT_LE(counters.picturesAttempted, admitted);
        EXPECT_LE(counters.directoryParses, 1u);
        EXPECT_LE(counters.progressiveScans,
                  counters.picturesAttempted * size_t(cg::still::MaximumProgressiveScans));
    }
    {
        testing::ResidentPeak peak = peakFromHere();
        auto image = ui::Image::imageWithData(ns::Data::make(file));
        const size_t kept = !image ? 0 : image->images().empty() ? 1 : image->images().size();
        EXPECT_LE(kept, admitted);
        expectPeakWithinTheBudget(peak, "an image of every picture");
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, HostileShapeTest, testing::ValuesIn(hostile::shapes()),
                         [](const testing::TestParamInfo<hostile::Shape>& info) { return std::string(info.param.name); });

}  // namespace
