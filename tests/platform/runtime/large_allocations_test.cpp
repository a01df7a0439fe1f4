// Large blocks go back to the system when freed, however many came before:
// what a budget gives back is no longer resident.

#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdlib>
#include <cstring>

#include "platform/runtime/LargeAllocations.h"
#include "platform/testing/ResidentMemory.h"

namespace {

TEST(LargeAllocationsTest, ABlockPastTheThresholdIsMappedAndGivenBackEvenAfterOthersWereFreed) {
    if (!testing::PeaksMeasureTheProduct) GTEST_SKIP() << "a sanitizer's allocator keeps freed blocks";
    // Sizes around the threshold and well past it, each twice: the C
    // library's own rule would keep the second of each in its arena.
    for (size_t size : {rt::LargeAllocationBytes, 3 * rt::LargeAllocationBytes, 8 * rt::LargeAllocationBytes,
                        rt::LargeAllocationBytes, 8 * rt::LargeAllocationBytes}) {
        const size_t mappedBefore = mallinfo2().hblkhd;
        auto* block = static_cast<volatile char*>(std::malloc(size));
        ASSERT_NE(block, nullptr);
        block[0] = 1;
        block[size - 1] = 1;
        EXPECT_GE(mallinfo2().hblkhd, mappedBefore + size) << size << " bytes";
        std::free(const_cast<char*>(block));
        EXPECT_LT(mallinfo2().hblkhd, mappedBefore + size) << size << " bytes";
    }
}

}  // namespace
