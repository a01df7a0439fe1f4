#pragma once
// What the tests that read every hostile shape share: the memory one
// file's pictures may hold, the pictures its budget admits, and a peak of
// the resident set measured from a clean start.

#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <cstdio>

#include "platform/graphics/DecodeBudget.h"
#include "platform/testing/ResidentMemory.h"
#include "tests/platform/graphics/hostile_images.h"

namespace hostile {

inline constexpr uint64_t MiB = 1 << 20;
// What one file's pictures may hold: their pixels and their overheads.
inline constexpr uint64_t BudgetBytes = cg::MaximumPixelsPerFile * 4 + cg::MaximumOverheadBytesPerFile;
// What a reader holds besides the pictures kept: the one being decoded
// and the library's working memory for it.
inline constexpr uint64_t SlackBytes = 128 * MiB;

// The most pictures of `pixels` each that one file's budget admits.
inline uint64_t picturesAdmitted(uint64_t pixels) {
    return std::min(cg::MaximumPicturesPerFile, cg::MaximumPixelsPerFile / std::max<uint64_t>(pixels, 1));
}

// Starts a peak from what is resident now, with the heap's free pages
// given back, so that one reader's leftovers do not hide the next's.
inline testing::ResidentPeak peakFromHere() {
    malloc_trim(0);
    return testing::ResidentPeak();
}

// The peak since `peak` began, printed, and bounded where peaks measure
// the product (not under the sanitizers). A reader that decodes a picture
// for display holds `copies` more of the largest picture while it does.
inline void expectPeakWithinTheBudget(const testing::ResidentPeak& peak, const Shape& shape, const char* reader,
                                      uint64_t copies = 0) {
    ASSERT_TRUE(peak.started());
    std::printf("%s through %s: resident peak grew %.1f MiB\n", shape.name, reader, double(peak.growth()) / MiB);
    if constexpr (testing::PeaksMeasureTheProduct) {
        const uint64_t picture = std::min(shape.pixelsPerPicture, cg::MaximumPixelsPerFile) * 4;
        EXPECT_LT(peak.growth(), BudgetBytes + copies * picture + SlackBytes) << reader;
    }
}

inline std::string testName(const testing::TestParamInfo<Shape>& info) { return info.param.name; }

}  // namespace hostile
