// A reply buffer holds what it counts: many replies grown together keep
// no spare room, and a reply handed on a block at a time (in order, each
// block counted until it is handed over and let go as soon as it has
// been) is held once.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/ReplyBuffer.h"
#include "platform/runtime/Allocator.h"
#include "platform/testing/PeakBound.h"
#include "platform/testing/ResidentMemory.h"

namespace {

using testing::MiB;

// `size` bytes that differ from block to block and within each.
std::string patterned(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = char((i * 7 + i / 4093) & 0xff);
    return bytes;
}

void fill(ns::ReplyBuffer& buffer, const std::string& bytes, size_t piece) {
    for (size_t at = 0; at < bytes.size(); at += piece) buffer.append(bytes.data() + at, std::min(piece, bytes.size() - at));
}

TEST(ReplyBufferTest, TakenInBlocksTheReplyComesInOrderAndLeavesTheBufferAsEachBlockIsHandedOver) {
    const std::string bytes = patterned(3 * MiB + 12345);
    ns::ReplyBuffer buffer;
    fill(buffer, bytes, 64 * 1024 + 7);
    std::string handed;
    EXPECT_TRUE(buffer.takeInBlocks([&](const char* block, size_t length) {
        EXPECT_LE(length, MiB);
        handed.append(block, length);
        // The block in hand no longer counts as the buffer's.
        EXPECT_EQ(buffer.size(), bytes.size() - handed.size());
        return true;
    }));
    EXPECT_TRUE(handed == bytes);
    EXPECT_EQ(buffer.size(), 0u);

    // Empty, it hands over nothing; used again, it holds the new reply only.
    EXPECT_TRUE(buffer.takeInBlocks([](const char*, size_t) {
        ADD_FAILURE() << "an empty buffer handed over a block";
        return true;
    }));
    buffer.append("again", 5);
    EXPECT_EQ(buffer.take(), std::vector<uint8_t>({'a', 'g', 'a', 'i', 'n'}));
}

TEST(ReplyBufferTest, ABlockRefusedOrABufferReleasedMeanwhileLetsTheRestGo) {
    const std::string bytes = patterned(4 * MiB);
    for (const bool releases : {false, true}) {
        SCOPED_TRACE(releases ? "the taker releases the buffer" : "the taker refuses the second block");
        ns::ReplyBuffer buffer;
        fill(buffer, bytes, MiB / 2);
        size_t blocks = 0;
        const bool whole = buffer.takeInBlocks([&](const char*, size_t) {
            ++blocks;
            if (releases) buffer.release();
            return releases || blocks < 2;
        });
        EXPECT_EQ(whole, releases);
        EXPECT_EQ(blocks, releases ? 1u : 2u);
        EXPECT_EQ(buffer.size(), 0u);
    }
}

// Each block is let go once handed over: a reply handed on into pieces the
// taker keeps grows the resident peak by about a block, not by the reply.
TEST(ReplyBufferTest, AReplyHandedOnInBlocksIsHeldOnce) {
    const size_t size = 33 * MiB;
    const std::string bytes = patterned(size);
    ns::ReplyBuffer buffer;
    fill(buffer, bytes, 256 * 1024);
    std::vector<ns::Ref<ns::Data>> pieces;
    pieces.reserve(64);
    auto peak = testing::peakFromHere();
    buffer.takeInBlocks([&](const char* block, size_t length) {
        pieces.push_back(ns::Data::withBytes(block, length));
        return true;
    });
    testing::expectGrowthUnder(peak, 4 * MiB, "a reply of 33 MiB handed on in blocks");
    std::string handed;
    for (const auto& piece : pieces) handed.append(piece->view());
    EXPECT_TRUE(handed == bytes);
}

// Many replies of a few hundred KiB grown together, as one transport
// thread grows its transfers' replies a piece at a time, hold about what
// they count: no buffer keeps room it has not filled, nor copies it grew
// out of.
TEST(ReplyBufferTest, ManyRepliesGrownTogetherHoldWhatTheyCount) {
    constexpr size_t replies = 100;
    // Just past a power of two, where a doubling buffer keeps most room spare.
    constexpr size_t size = 528 * 1024;
    const std::string piece(16 * 1024, 'p');
    std::vector<std::unique_ptr<ns::ReplyBuffer>> buffers;
    for (size_t i = 0; i < replies; ++i) buffers.push_back(std::make_unique<ns::ReplyBuffer>());
    auto peak = testing::peakFromHere();
    for (size_t at = 0; at < size; at += piece.size()) {
        for (auto& buffer : buffers) buffer->append(piece.data(), piece.size());
    }
    uint64_t counted = 0;
    for (const auto& buffer : buffers) counted += buffer->size();
    EXPECT_EQ(counted, replies * size);
    testing::expectGrowthUnder(peak, counted + 4 * MiB, "100 replies of 528 KiB grown together");
}

// A reply taken as data and let go is the system's again once the
// allocator gives back what was freed: nothing of the reply is kept aside,
// whatever its size and whatever large blocks were freed before it.
TEST(ReplyBufferTest, AReplyTakenAsDataGoesBackToTheSystemWithWhatTheAllocatorFrees) {
    if (!testing::PeaksMeasureTheProduct) GTEST_SKIP() << "a sanitizer's allocator keeps freed blocks";
    auto* large = static_cast<volatile char*>(std::malloc(16 * MiB));
    ASSERT_NE(large, nullptr);
    large[0] = 1;
    std::free(const_cast<char*>(large));
    const auto page = size_t(::sysconf(_SC_PAGESIZE));
    for (size_t size : {8 * MiB, MiB, 8 * MiB, MiB - 64 * 1024, 3 * MiB}) {
        SCOPED_TRACE(size);
        ns::ReplyBuffer buffer;
        fill(buffer, patterned(size), 256 * 1024);
        ns::Ref<ns::Data> data = buffer.takeData();
        ASSERT_EQ(data->length(), size);
        const uint8_t* bytes = data->bytes();
        const size_t pages = testing::residentPagesInside(bytes, size);
        EXPECT_GE(pages, size / page - 2);
        data.reset();
        rt::allocator::giveBackFreed();
        // The first page and the last may hold other blocks.
        EXPECT_LT(testing::residentPagesInside(bytes + page, size - 2 * page), pages / 8) << "of " << pages;
    }
}

}  // namespace
