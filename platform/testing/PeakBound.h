#pragma once
// How tests bound what a piece of work costs in resident memory: the
// growth is always printed (the log is where a reader sees it), and judged
// only where peaks measure the product (see ResidentMemory.h).

#include <gtest/gtest.h>

#include <cstdio>
#include <string_view>

#include "platform/runtime/Allocator.h"
#include "platform/testing/ResidentMemory.h"

namespace testing {

inline constexpr uint64_t MiB = uint64_t(1) << 20;

// A peak started from what is resident now, with the pages freed so far
// given back first, so that earlier work's leftovers do not hide this one's.
inline ResidentPeak peakFromHere() {
    rt::allocator::giveBackFreed();
    return ResidentPeak();
}

namespace detail {
inline void expectPeakFigureUnder(const char* figure, uint64_t bytes, uint64_t bound, std::string_view what) {
    std::printf("%.*s: %s %.1f MiB (bound %.1f MiB)\n", int(what.size()), what.data(), figure, double(bytes) / MiB,
                double(bound) / MiB);
    if constexpr (PeaksMeasureTheProduct) {
        EXPECT_LT(bytes, bound) << what;
    }
}
}  // namespace detail

// Prints `bytes` as what `what` grew the resident peak by, and expects it
// under `bound` where peaks measure the product.
inline void expectGrowthUnder(uint64_t bytes, uint64_t bound, std::string_view what) {
    detail::expectPeakFigureUnder("resident peak grew", bytes, bound, what);
}

// The same for the growth of `peak` so far; the peak must have started.
inline void expectGrowthUnder(const ResidentPeak& peak, uint64_t bound, std::string_view what) {
    ASSERT_TRUE(peak.started()) << what;
    expectGrowthUnder(peak.growth(), bound, what);
}

// The resident set now, with the pages freed so far given back first: taken
// before and after a piece of work, what the work left held.
inline uint64_t residentFromHere() {
    rt::allocator::giveBackFreed();
    return residentBytes();
}

// Expects what stays resident now over `before` (both from
// residentFromHere()) under `bound`, where peaks measure the product.
inline void expectLeftHeldUnder(uint64_t before, uint64_t bound, std::string_view what) {
    const uint64_t after = residentFromHere();
    detail::expectPeakFigureUnder("still resident", after > before ? after - before : 0, bound, what);
}

// The process's whole peak since the last reset, for a bound on all it
// holds rather than on one piece of work.
inline void expectProcessPeakUnder(uint64_t bound, std::string_view what) {
    detail::expectPeakFigureUnder("resident peak", residentPeakBytes(), bound, what);
}

}  // namespace testing
