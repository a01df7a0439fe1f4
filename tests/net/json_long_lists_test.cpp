// Long lists and wide objects: every shape the decoder's stack meets as it
// grows into pages of its own, hands a list its pages or copies them, and
// keeps pages for the next read, then gives them back.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "json_test_support.h"
#include "net/JKArray.h"
#include "net/JKCodec.h"
#include "net/JKSparePages.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/MappedPages.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Allocator.h"
#include "platform/testing/ResidentMemory.h"
#include "platform/testing/TaskEnvironment.h"

namespace {

using jsontest::parse;

// Documents of lists whose lengths sit about each of the stack's steps
// (its scratch, its growth unit, its first mapped block), at the root, first
// in a list, after other elements and as an object's value after other
// members, with objects after long lists' elements and wide objects.
class ShapeGenerator {
public:
    explicit ShapeGenerator(uint64_t seed) : rng_(seed) {}

    std::string document() {
        std::string out;
        value(out, 0, true);
        return out;
    }

private:
    size_t pick(size_t n) { return size_t(rng_() % n); }

    // Only the root list may be of the longest.
    size_t listLength(int depth) {
        static const size_t lengths[] = {0, 1, 3, 1019, 1021, 1024, 2047, 2049, 4091, 4095, 4097, 5000, 9000, 70000};
        const size_t choices = sizeof lengths / sizeof lengths[0] - (depth > 0 ? 1 : 0);
        return lengths[pick(choices)];
    }

    void scalar(std::string& out) {
        switch (pick(4)) {
            case 0: out += std::to_string(int64_t(pick(2000000)) - 1000000); break;
            case 1: out += "\"s" + std::to_string(pick(50000)) + "\""; break;
            case 2: out += pick(2) ? "true" : "null"; break;
            default: out += std::to_string(pick(10)); break;
        }
    }

    void value(std::string& out, int depth, bool container) {
        // Past a few MB a document grows by scalars only.
        if (out.size() > (size_t(3) << 20)) return scalar(out);
        if (!container && (depth > 3 || pick(3) != 0)) return scalar(out);
        if (pick(3) == 0) return object(out, depth);
        list(out, depth);
    }

    void list(std::string& out, int depth) {
        const size_t n = depth > 2 ? pick(8) : listLength(depth);
        // Containers among the elements: none, a few, or first.
        const size_t mode = pick(3);
        out += '[';
        for (size_t i = 0; i < n; ++i) {
            if (i) out += ',';
            const bool nested = (mode == 1 && pick(400) == 0) || (mode == 2 && i == 0);
            value(out, depth + 1, nested);
        }
        out += ']';
    }

    void object(std::string& out, int depth) {
        // A wide object holds scalars.
        const bool wide = depth <= 2 && pick(4) == 0;
        const size_t n = wide ? 1500 : 1 + pick(6);
        out += '{';
        for (size_t i = 0; i < n; ++i) {
            if (i) out += ',';
            out += "\"k" + std::to_string(i) + "\":";
            value(out, depth + 1, !wide && depth < 2 && pick(3) == 0);
        }
        out += '}';
    }

    std::mt19937_64 rng_;
};

ns::Id platformRead(const std::string& text) {
    return ns::JSONSerialization::JSONObjectWithData(ns::Data::withBytes(std::string_view(text)), 0);
}

TEST(JsonLongLists, EveryShapeReadsAsThePlatformReaderReadsIt) {
    JSONDecoder decoder;
    for (uint64_t seed = 1; seed <= 40; ++seed) {
        const std::string text = ShapeGenerator(seed).document();
        SCOPED_TRACE("seed " + std::to_string(seed) + ", " + std::to_string(text.size()) + " bytes");
        const ns::Id expected = platformRead(text);
        ASSERT_TRUE(expected);
        ns::Ref<ns::Error> error;
        const ns::Id read = decoder.objectWithUTF8String(text.data(), text.size(), &error);
        ASSERT_TRUE(read) << (error ? error->localizedDescription() : "");
        EXPECT_TRUE(read->isEqual(expected.get()));
        // Cut short, the same text fails and leaves the decoder as it was.
        const size_t cut = text.size() / 2 + seed % 97;
        EXPECT_FALSE(decoder.objectWithUTF8String(text.data(), cut));
        const ns::Id again = decoder.mutableObjectWithUTF8String(text.data(), text.size());
        ASSERT_TRUE(again);
        EXPECT_TRUE(again->isEqual(expected.get()));
    }
}

// A root list takes the stack's pages, any other long list a copy, wherever
// it sits: the lists read right and change like any parsed list.
TEST(JsonLongLists, ListsHandedTheirPagesHoldTheirValuesAndChange) {
    auto numbers = [](int from, int count) {
        std::string text = "[";
        for (int i = 0; i < count; ++i) text += (i ? "," : "") + std::to_string(from + i);
        return text + "]";
    };
    const std::string shapes[] = {
        numbers(0, 100000),                                                  // the root
        "[" + numbers(7, 100000) + ",1]",                                    // first in a list
        "[1,2,3," + numbers(7, 100000) + "]",                                // after elements
        "{\"code\":0,\"data\":" + numbers(7, 100000) + ",\"more\":[1]}",     // a member's value
        "[" + numbers(7, 5000) + "," + numbers(7, 100000) + "," + numbers(7, 4100) + "]",
    };
    for (const std::string& text : shapes) {
        SCOPED_TRACE(text.substr(0, 40));
        JSONDecoder decoder;
        ns::Id root = decoder.mutableObjectWithUTF8String(text.data(), text.size());
        ASSERT_TRUE(root);
        EXPECT_TRUE(root->isEqual(platformRead(text).get()));
        // The longest list in the document, wherever it is.
        ns::Ref<JKArray> longest = ns::cast<JKArray>(root);
        if (auto dictionary = ns::cast<ns::Dictionary>(root)) longest = ns::cast<JKArray>(dictionary->objectForKey("data"));
        for (uint64_t i = 0; longest && i < longest->count(); ++i) {
            auto inner = ns::cast<JKArray>(longest->objectAtIndex(i));
            if (inner && inner->count() == 100000) longest = inner;
        }
        ASSERT_TRUE(longest);
        ASSERT_TRUE(longest->count() >= 100000u);
        const int64_t first = ns::cast<ns::Number>(longest->objectAtIndex(0))->longLongValue();
        longest->removeObjectAtIndex(0);
        longest->addObject(ns::num(-1));
        longest->insertObject(ns::num(-2), 5);
        EXPECT_EQ(ns::cast<ns::Number>(longest->objectAtIndex(0))->longLongValue(), first + 1);
        EXPECT_EQ(ns::cast<ns::Number>(longest->objectAtIndex(5))->longLongValue(), -2);
        EXPECT_EQ(ns::cast<ns::Number>(longest->lastObject())->longLongValue(), -1);
    }
}

// Lets go of whatever an earlier test left kept.
void dropKept() {
    const JKSparePages::Block kept = JKSparePages::take();
    ns::pages::unmap(kept.bytes, kept.size);
}

std::string longList(size_t elements) {
    std::string text = "[";
    text.reserve(elements * 2 + 2);
    for (size_t i = 0; i < elements; ++i) {
        if (i) text += ',';
        text += char('0' + i % 10);
    }
    return text + "]";
}

TEST(JsonLongLists, AListsPagesServeTheNextReadThenGoBackWhenUnused) {
    testing::TaskEnvironment environment;
    dropKept();
    const auto data = ns::Data::withBytes(std::string_view(longList(200000)));
    ns::Id list = JKCodec::objectFromJSONData(*data);
    ASSERT_TRUE(list);
    EXPECT_EQ(JKSparePages::keptBytes(), 0u) << "the list holds the pages it was read into";
    list = nullptr;
    const size_t kept = JKSparePages::keptBytes();
    EXPECT_GE(kept, 200000 * sizeof(ns::Id));

    // The next read takes them, and they come back with its list.
    list = JKCodec::objectFromJSONData(*data);
    ASSERT_EQ(ns::cast<ns::Array>(list)->count(), 200000u);
    EXPECT_EQ(JKSparePages::keptBytes(), 0u);
    list = nullptr;
    EXPECT_EQ(JKSparePages::keptBytes(), kept);

    environment.fastForwardBy(JKSparePages::KeptFor / 2);
    EXPECT_EQ(JKSparePages::keptBytes(), kept) << "a second read soon after finds them";
    environment.fastForwardBy(JKSparePages::KeptFor);
    EXPECT_EQ(JKSparePages::keptBytes(), 0u) << "unused for a while, they go back";
}

TEST(JsonLongLists, PagesPastTheBoundGoBackAtOnce) {
    testing::TaskEnvironment environment;
    dropKept();
    const size_t elements = JKSparePages::KeptUpTo / sizeof(ns::Id) + 1000;
    ns::Id list = JKCodec::objectFromJSONData(*ns::Data::withBytes(std::string_view(longList(elements))));
    ASSERT_EQ(ns::cast<ns::Array>(list)->count(), elements);
    list = nullptr;
    EXPECT_LE(JKSparePages::keptBytes(), JKSparePages::KeptUpTo);
    EXPECT_LT(JKSparePages::keptBytes(), elements * sizeof(ns::Id));
}

// Read over and over and let go, a long list leaves nothing behind once the
// app has been idle a while.
TEST(JsonLongLists, ListsReadOverAndOverLeaveNothingOnceIdle) {
    if (!testing::PeaksMeasureTheProduct) GTEST_SKIP() << "a sanitizer build keeps freed blocks aside";
    testing::TaskEnvironment environment;
    dropKept();
    const auto data = ns::Data::withBytes(std::string_view(longList(1000000)));
    rt::allocator::giveBackFreed();
    const uint64_t before = testing::residentBytes();
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(JKCodec::objectFromJSONData(*data));
    environment.fastForwardBy(JKSparePages::KeptFor * 2);
    EXPECT_EQ(JKSparePages::keptBytes(), 0u);
    rt::allocator::giveBackFreed();
    EXPECT_LT(testing::residentBytes(), before + (uint64_t(8) << 20));
}

}  // namespace
