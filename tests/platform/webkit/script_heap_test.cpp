// The script heap's ceiling on live bytes, on the heap alone: no page, and
// blocks that are allocated but never touched, so nothing here becomes
// resident.

#include <gtest/gtest.h>

#include <vector>

#include "platform/testing/PeakBound.h"
#include "platform/webkit/ScriptHeap.h"

namespace {

using web::detail::ScriptHeap;

using testing::MiB;

// Fills the heap with blocks of `size` until one is refused.
std::vector<void*> fill(ScriptHeap& heap, size_t size) {
    std::vector<void*> blocks;
    while (void* block = heap.allocate(size)) blocks.push_back(block);
    return blocks;
}

void releaseAll(ScriptHeap& heap, std::vector<void*>& blocks) {
    for (void* block : blocks) heap.release(block);
    blocks.clear();
}

TEST(ScriptHeapTest, LiveBytesStopAtTwoHundredFiftySixMiB) {
    EXPECT_EQ(ScriptHeap::CeilingBytes, 268435456u);
    ScriptHeap heap;
    auto blocks = fill(heap, MiB);
    EXPECT_LE(heap.liveBytes(), 268435456u);
    EXPECT_GT(heap.liveBytes(), 268435456u - MiB);
    EXPECT_LE(heap.peakBytes(), 268435456u);
    // Room made, a request is granted again.
    heap.release(blocks.back());
    blocks.pop_back();
    void* again = heap.allocate(4096);
    EXPECT_NE(again, nullptr);
    heap.release(again);
    releaseAll(heap, blocks);
    EXPECT_EQ(heap.liveBytes(), 0u);
    EXPECT_FALSE(heap.exhausted());
}

// A large block is counted by the pages its request spans: an allocator
// may round it up to a size class a quarter larger, whose tail nothing
// touches. Whole MiB and a little more, as an engine's buffers ask.
TEST(ScriptHeapTest, LargeBlocksAreCountedByThePagesTheyAskFor) {
    ScriptHeap heap;
    auto blocks = fill(heap, MiB + 64);
    EXPECT_EQ(blocks.size(), 255u);
    EXPECT_GT(heap.liveBytes(), 268435456u - 2 * MiB);
    // Grown in place or moved, still by its request's pages.
    heap.release(blocks.back());
    blocks.pop_back();
    heap.release(blocks.back());
    blocks.back() = heap.allocate(64);
    ASSERT_NE(blocks.back(), nullptr);
    blocks.back() = heap.reallocate(blocks.back(), MiB + 64);
    ASSERT_NE(blocks.back(), nullptr);
    auto more = fill(heap, MiB + 64);
    EXPECT_EQ(more.size(), 1u) << "room for one more, as before";
    releaseAll(heap, more);
    releaseAll(heap, blocks);
    EXPECT_EQ(heap.liveBytes(), 0u);
}

TEST(ScriptHeapTest, GrowingPastTheCeilingIsRefusedAndKeepsTheBlock) {
    ScriptHeap heap;
    auto blocks = fill(heap, 8 * MiB);
    void* grown = heap.allocate(64);
    ASSERT_NE(grown, nullptr);
    static_cast<char*>(grown)[0] = 'k';
    EXPECT_EQ(heap.reallocate(grown, 16 * MiB), nullptr);
    EXPECT_EQ(static_cast<char*>(grown)[0], 'k');
    // Close to the ceiling (less than 12,000 bytes left, more than 7,000) a
    // growth that fits moves the block, both counted meanwhile.
    void* filler = heap.allocate(ScriptHeap::CeilingBytes - heap.liveBytes() - 12000);
    ASSERT_NE(filler, nullptr);
    void* moved = heap.reallocate(grown, 4096);
    ASSERT_NE(moved, nullptr);
    EXPECT_NE(moved, grown);
    EXPECT_EQ(static_cast<char*>(moved)[0], 'k');
    EXPECT_LE(heap.peakBytes(), ScriptHeap::CeilingBytes);
    heap.release(filler);
    heap.release(moved);
    releaseAll(heap, blocks);
    EXPECT_EQ(heap.liveBytes(), 0u);
}

TEST(ScriptHeapTest, ARefusalThatCollectingGarbageAnswersLeavesTheHeapUsable) {
    ScriptHeap heap;
    // The engine's first attempt and all but its last retry refused, with
    // other requests refused between them (its collection compacting).
    auto blocks = fill(heap, MiB);
    for (int i = 0; i < ScriptHeap::EngineRetries - 1; ++i) {
        EXPECT_EQ(heap.allocate(MiB), nullptr);
        EXPECT_EQ(heap.allocate(100 * MiB), nullptr);
    }
    EXPECT_FALSE(heap.exhausted());
    // The collection freed garbage: the last retry is granted.
    for (int i = 0; i < 4; ++i) heap.release(blocks[i]);
    blocks.erase(blocks.begin(), blocks.begin() + 4);
    void* again = heap.allocate(MiB);
    ASSERT_NE(again, nullptr);
    blocks.push_back(again);
    // A later refusal starts a count of its own.
    auto more = fill(heap, MiB);
    for (int i = 0; i < ScriptHeap::EngineRetries - 1; ++i) EXPECT_EQ(heap.allocate(MiB), nullptr);
    EXPECT_FALSE(heap.exhausted());
    releaseAll(heap, more);
    releaseAll(heap, blocks);
}

TEST(ScriptHeapTest, TheSameRequestRefusedOnEveryRetryExhaustsTheHeap) {
    ScriptHeap heap;
    auto blocks = fill(heap, MiB);
    for (int i = 0; i < ScriptHeap::EngineRetries - 1; ++i) EXPECT_EQ(heap.allocate(MiB), nullptr);
    EXPECT_FALSE(heap.exhausted());
    EXPECT_EQ(heap.allocate(3 * MiB), nullptr);
    EXPECT_EQ(heap.allocate(MiB), nullptr);
    EXPECT_TRUE(heap.exhausted());
    // From then on nothing grows it, even what would fit.
    heap.release(blocks.back());
    blocks.pop_back();
    EXPECT_EQ(heap.allocate(16), nullptr);
    EXPECT_EQ(heap.reallocate(blocks.back(), 2 * MiB), nullptr);
    releaseAll(heap, blocks);
    EXPECT_EQ(heap.liveBytes(), 0u);
}

}  // namespace
