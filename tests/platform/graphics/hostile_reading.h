#pragma once
// What the tests that read every hostile shape share: the memory one
// file's pictures may hold, the pictures its budget admits, and a peak of
// the resident set measured from a clean start.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/graphics/DecodeBudget.h"
#include "platform/testing/PeakBound.h"
#include "tests/platform/graphics/hostile_images.h"

namespace hostile {

using testing::MiB;
using testing::peakFromHere;
// What one file's pictures may hold: their pixels and their overheads.
inline constexpr uint64_t BudgetBytes = cg::MaximumPixelsPerFile * 4 + cg::MaximumOverheadBytesPerFile;
// What a reader holds besides the pictures kept: the one being decoded
// and the library's working memory for it.
inline constexpr uint64_t SlackBytes = 128 * MiB;

// The most pictures of `pixels` each that one file's budget admits.
inline uint64_t picturesAdmitted(uint64_t pixels) {
    return std::min(cg::MaximumPicturesPerFile, cg::MaximumPixelsPerFile / std::max<uint64_t>(pixels, 1));
}

// The peak since `peak` began, within the budget. A reader that decodes a
// picture for display holds `copies` more of the largest picture while it
// does.
inline void expectPeakWithinTheBudget(const testing::ResidentPeak& peak, const Shape& shape, const char* reader,
                                      uint64_t copies = 0) {
    const uint64_t picture = std::min(shape.pixelsPerPicture, cg::MaximumPixelsPerFile) * 4;
    testing::expectGrowthUnder(peak, BudgetBytes + copies * picture + SlackBytes,
                               std::string(shape.name) + " through " + reader);
}

inline std::string testName(const testing::TestParamInfo<Shape>& info) { return info.param.name; }

}  // namespace hostile
