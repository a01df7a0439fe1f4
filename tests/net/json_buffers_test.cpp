// The codec's scratch-first buffers and its UTF-8 rules.

#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "net/JKManagedBuffer.h"
#include "net/JKObjectStack.h"
#include "net/JKUTF8.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"

namespace {

// Pushes a list's element, first making room as the decoder does (four
// entries ahead, by 128 at a time); false when the stack could not grow.
bool pushElement(JKObjectStack& stack, ns::Id value) {
    if (stack.index() + 4 > stack.count() && !stack.resize(stack.count() + 128)) return false;
    stack.push(std::move(value));
    return true;
}

TEST(JsonBuffers, ManagedBufferMovesToTheHeapInGrowthUnits) {
    uint8_t scratch[2048];
    for (size_t i = 0; i < sizeof scratch; ++i) scratch[i] = uint8_t(i * 7);
    JKManagedBuffer buffer;
    buffer.setGrowthUnit(4096);
    buffer.pointAtScratch(scratch, sizeof scratch);
    EXPECT_EQ(buffer.flags(), uint64_t(JKManagedBufferOnStack));

    uint8_t* grown = buffer.resize(2100);
    ASSERT_NE(grown, nullptr);
    EXPECT_NE(grown, scratch);
    EXPECT_EQ(buffer.size(), 4096u);
    EXPECT_EQ(buffer.flags(), uint64_t(JKManagedBufferOnHeap | JKManagedBufferMustFree));
    EXPECT_EQ(std::memcmp(grown, scratch, sizeof scratch), 0) << "the whole scratch contents moved";

    ASSERT_NE(buffer.resize(4097), nullptr);
    EXPECT_EQ(buffer.size(), 8192u);
    EXPECT_EQ(std::memcmp(buffer.bytes(), scratch, sizeof scratch), 0);

    buffer.release();
    EXPECT_EQ(buffer.bytes(), nullptr);
    EXPECT_EQ(buffer.size(), 0u);
    EXPECT_EQ(buffer.flags(), 0u);
}

TEST(JsonBuffers, ASizeThatFitsAfterRoundingChangesNothing) {
    uint8_t scratch[4096];
    JKManagedBuffer buffer;
    buffer.setGrowthUnit(4096);
    buffer.pointAtScratch(scratch, sizeof scratch);
    EXPECT_EQ(buffer.resize(4000), scratch);
    EXPECT_EQ(buffer.flags(), uint64_t(JKManagedBufferOnStack));
    uint8_t* grown = buffer.resize(4097);
    EXPECT_EQ(grown, buffer.bytes());
    EXPECT_NE(grown, scratch);
    EXPECT_EQ(buffer.size(), 8192u);
}

TEST(JsonBuffers, HeapStorageCanBeTakenOverAsText) {
    uint8_t scratch[16];
    JKManagedBuffer buffer;
    buffer.pointAtScratch(scratch, sizeof scratch);
    uint8_t* bytes = buffer.resize(64);
    ASSERT_NE(bytes, nullptr);
    std::memcpy(bytes, "hello", 5);
    EXPECT_EQ(buffer.takeHeapStorage(5), "hello");
    EXPECT_EQ(buffer.bytes(), nullptr);

    JKManagedBuffer data;
    data.setHeapAsBytes(true);
    data.pointAtScratch(scratch, sizeof scratch);
    std::memcpy(scratch, "abc", 3);
    ASSERT_NE(data.resize(100), nullptr);
    EXPECT_EQ(data.takeHeapBytes(3), (std::vector<uint8_t>{'a', 'b', 'c'}));
    EXPECT_EQ(data.flags(), 0u);
}

TEST(JsonBuffers, ObjectStackGrowsByItsUnitAndKeepsItsEntries) {
    JKObjectStack::Slot values[1024], keys[1024];
    uint64_t hashes[1024];
    JKObjectStack stack;
    stack.setGrowthUnit(2048);
    stack.pointAtScratch(values, keys, hashes, 1024);
    stack.pushKeyed();
    stack.value(0) = ns::str("first");
    stack.key(0) = ns::str("k");
    stack.keyHash(0) = 42;

    ASSERT_TRUE(stack.resize(1152));
    EXPECT_EQ(stack.count(), 2048u);
    ASSERT_TRUE(stack.resize(2176));
    EXPECT_EQ(stack.count(), 4096u);
    EXPECT_EQ(stack.index(), 1u);

    // The reported count keeps to whole units while the storage doubles, so
    // a step within the storage moves nothing.
    EXPECT_EQ(stack.capacity(), 4096u);
    ASSERT_TRUE(stack.resize(4097));
    EXPECT_EQ(stack.count(), 6144u);
    EXPECT_EQ(stack.capacity(), 8192u);
    const ns::Id* first = &stack.value(0);
    ASSERT_TRUE(stack.resize(8000));
    EXPECT_EQ(stack.count(), 8192u);
    EXPECT_EQ(&stack.value(0), first);

    // The keys grow on their own, past the scratch and into pages.
    EXPECT_EQ(stack.keyCapacity(), 1024u);
    ASSERT_TRUE(stack.resizeKeys(1025));
    ASSERT_TRUE(stack.resizeKeys(8000));
    EXPECT_GE(stack.keyCapacity(), 8000u);
    EXPECT_TRUE(stack.value(0)->isEqual(ns::str("first")));
    EXPECT_TRUE(stack.key(0)->isEqual(ns::str("k")));
    EXPECT_EQ(stack.keyHash(0), 42u);
}

// A list's elements take values only: the keys stay in their scratch
// however long the list, and a dictionary after the list's elements finds
// nil keys below its own.
TEST(JsonBuffers, ListEntriesTakeNoKeySlots) {
    JKObjectStack::Slot values[16], keys[16];
    uint64_t hashes[16];
    JKObjectStack stack;
    stack.setGrowthUnit(2048);
    stack.pointAtScratch(values, keys, hashes, 16);
    constexpr size_t elements = 100000;
    for (size_t i = 0; i < elements; ++i) ASSERT_TRUE(pushElement(stack, ns::num(int64_t(i))));
    EXPECT_EQ(stack.keyCapacity(), 16u);
    ASSERT_TRUE(stack.resizeKeys(stack.count()));
    stack.pushKeyed();
    stack.key(elements) = ns::str("k");
    for (size_t i = 0; i < elements; i += 997) EXPECT_FALSE(stack.key(i)) << i;
    EXPECT_TRUE(stack.key(elements)->isEqual(ns::str("k")));
    stack.popKeyedTo(elements);
    EXPECT_FALSE(stack.key(elements)) << "a popped member leaves its key slot nil";
    EXPECT_EQ(ns::cast<ns::Number>(stack.value(elements - 1))->longLongValue(), int64_t(elements - 1));
}

TEST(JsonBuffers, ReleasingTheStackReleasesWhatIsBelowTheIndex) {
    JKObjectStack::Slot values[8], keys[8];
    uint64_t hashes[8];
    JKObjectStack stack;
    stack.pointAtScratch(values, keys, hashes, 8);
    std::vector<ns::Weak<ns::Object>> watched;
    for (int i = 0; i < 3; ++i) {
        ns::Id value = ns::str("value" + std::to_string(i));
        ns::Id key = ns::str("key" + std::to_string(i));
        watched.push_back(value);
        watched.push_back(key);
        stack.pushKeyed();
        stack.value(stack.index() - 1) = value;
        stack.key(stack.index() - 1) = key;
    }
    // Values of a list above them, in storage of its own.
    stack.setGrowthUnit(2048);
    for (int i = 0; i < 5000; ++i) {
        ns::Id value = ns::str("element" + std::to_string(i));
        if (i % 500 == 0) watched.push_back(value);
        ASSERT_TRUE(pushElement(stack, value));
    }
    EXPECT_EQ(stack.index(), 5003u);
    stack.release();
    EXPECT_EQ(stack.index(), 0u);
    EXPECT_EQ(stack.count(), 0u);
    for (const auto& weak : watched) EXPECT_TRUE(weak.expired());
}

struct DecodeCase {
    std::vector<uint8_t> bytes;
    uint32_t codePoint;
    JKConversionResult result;
    size_t consumed;
};

TEST(JsonBuffers, DecodesOneSequenceByTheCodecsRules) {
    const std::vector<DecodeCase> cases = {
        {{0x41}, 0x41, JKConversionOK, 1},
        {{0xC3, 0xA9}, 0xE9, JKConversionOK, 2},
        {{0xF0, 0x9F, 0x98, 0x80}, 0x1F600, JKConversionOK, 4},
        {{0xC0, 0x80}, 0xFFFD, JKConversionSourceIllegal, 2},        // overlong
        {{0xED, 0xA0, 0x80}, 0xFFFD, JKConversionSourceIllegal, 3},  // a surrogate
        {{0xEF, 0xBF, 0xBE}, 0xFFFD, JKConversionSourceIllegal, 3},  // U+FFFE is not allowed
        {{0xEF, 0xB7, 0x90}, 0xFFFD, JKConversionSourceIllegal, 3},  // U+FDD0 is not allowed
        {{0xE2, 0x82, 0x22}, 0xFFFD, JKConversionSourceIllegal, 2},  // stops at the quote
        {{0xE2, 0x82}, 0xFFFD, JKConversionSourceExhausted, 2},      // cut off by the end
        {{0x80}, 0xFFFD, JKConversionSourceIllegal, 1},              // a lone continuation
        {{0xFF, 0x41}, 0xFFFD, JKConversionSourceIllegal, 1},
        {{0xF4, 0x90, 0x80, 0x80}, 0xFFFD, JKConversionSourceIllegal, 4},  // above U+10FFFF
    };
    for (const DecodeCase& c : cases) {
        const JKUTF8Sequence seq = JKDecodeUTF8Sequence(c.bytes.data(), c.bytes.data() + c.bytes.size());
        SCOPED_TRACE(testing::PrintToString(c.bytes));
        EXPECT_EQ(seq.codePoint, c.codePoint);
        EXPECT_EQ(seq.result, c.result);
        EXPECT_EQ(size_t(seq.next - c.bytes.data()), c.consumed);
    }
}

TEST(JsonBuffers, EncodesCodePointsReplacingThoseNotAllowed) {
    auto encode = [](uint32_t cp) {
        uint8_t out[4];
        const size_t n = JKEncodeCodePoint(cp, out, out + sizeof out);
        return std::vector<uint8_t>(out, out + n);
    };
    const std::vector<uint8_t> replacement = {0xEF, 0xBF, 0xBD};
    EXPECT_EQ(encode(0x0000), replacement);
    EXPECT_EQ(encode(0xD800), replacement);
    EXPECT_EQ(encode(0xFFFF), replacement);
    EXPECT_EQ(encode(0x10FFFF), replacement);
    EXPECT_EQ(encode(0x110000), replacement);
    EXPECT_EQ(encode(0x10FFFD), (std::vector<uint8_t>{0xF4, 0x8F, 0xBF, 0xBD}));
    EXPECT_EQ(encode(0x7F), (std::vector<uint8_t>{0x7F}));
    EXPECT_EQ(encode(0x7FF), (std::vector<uint8_t>{0xDF, 0xBF}));

    uint8_t small[2];
    EXPECT_EQ(JKEncodeCodePoint(0x1F600, small, small + sizeof small), 0u) << "nothing written when it does not fit";
}

}  // namespace
