// What reading JSON makes: the values that repeat (small integers, the
// booleans, null) are shared objects that nobody can change or mistake for
// one another, and what a read makes is charged to the reply it belongs to
// while a charge is in force, the read stopping past the budget.

#include <gtest/gtest.h>

#include <string>

#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/KeyValueCoding.h"
#include "platform/foundation/MutableArray.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/ReplyBudget.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Exception.h"

using namespace ns;

namespace {

Id read(std::string_view text, uint64_t options = 0, Ref<Error>* error = nullptr) {
    return JSONSerialization::JSONObjectWithData(Data::withBytes(text), options, error);
}

Ref<Number> at(const Id& array, uint64_t index) { return cast<Number>(cast<Array>(array)->objectAtIndex(index)); }

std::string zeros(size_t count) {
    std::string text = "[";
    for (size_t i = 0; i < count; ++i) text += i ? ",0" : "0";
    return text + "]";
}

TEST(JSONReadCost, SmallIntegersAreSharedAndKeepTheirKindAndTypeCode) {
    const Id first = read("[0, 0, -128, 1023, 1024, -129, 7, true, false, null, 0.0, 1, 18446744073709551615]");
    const Id second = read("[0, 7, 1, true]");
    ASSERT_TRUE(first && second);
    // One object for each small value, in every read.
    EXPECT_EQ(at(first, 0).get(), at(first, 1).get());
    EXPECT_EQ(at(first, 0).get(), at(second, 0).get());
    EXPECT_EQ(at(first, 6).get(), at(second, 1).get());
    EXPECT_EQ(at(first, 2).get(), Number::sharedWithLongLong(-128).get());
    EXPECT_EQ(at(first, 3).get(), Number::sharedWithLongLong(1023).get());
    // Past the shared range each number is one of its own.
    const Id other = read("[1024]");
    ASSERT_TRUE(other);
    EXPECT_NE(at(first, 4).get(), at(other, 0).get());
    EXPECT_EQ(at(first, 4)->longLongValue(), 1024);
    EXPECT_EQ(at(first, 5)->longLongValue(), -129);

    // Integers stay signed 'q', the booleans 'c' and themselves: 0 and
    // false, 1 and true are never the same object.
    for (uint64_t i : {0, 2, 3, 4, 5, 6, 11}) {
        EXPECT_STREQ(at(first, i)->objCType(), "q") << i;
        EXPECT_FALSE(at(first, i)->isBoolean()) << i;
    }
    EXPECT_EQ(at(first, 7).get(), Number::True().get());
    EXPECT_EQ(at(first, 8).get(), Number::False().get());
    EXPECT_STREQ(at(first, 8)->objCType(), "c");
    EXPECT_NE(at(first, 0).get(), Number::False().get());
    EXPECT_NE(at(first, 11).get(), Number::True().get());
    EXPECT_EQ(cast<Array>(first)->objectAtIndex(9).get(), Null::null().get());
    EXPECT_STREQ(at(first, 10)->objCType(), "d");
    EXPECT_STREQ(at(first, 12)->objCType(), "Q");
    // Written back as read.
    auto written = JSONSerialization::dataWithJSONObject(second, 0);
    EXPECT_EQ(written->view(), "[0,7,1,true]");
}

TEST(JSONReadCost, ASharedNumberCannotBeChangedThroughAnyCaller) {
    const Id zero = at(read("[0]"), 0);
    // Numbers made for other widths are their own objects: making them
    // leaves the shared zero a 'q' zero.
    auto asInt = Number::withInt(0);
    auto asChar = Number::withChar(0);
    auto asShort = Number::withShort(0);
    EXPECT_NE(asInt.get(), zero.get());
    EXPECT_STREQ(asInt->objCType(), "i");
    EXPECT_STREQ(asChar->objCType(), "c");
    EXPECT_STREQ(asShort->objCType(), "s");
    EXPECT_STREQ(Number::sharedWithLongLong(0)->objCType(), "q");
    EXPECT_NE(Number::withLongLong(0).get(), zero.get()) << "withLongLong makes a number of its own";

    // A copy is the number itself; there is no mutable one; key-value
    // coding finds nothing to set.
    EXPECT_EQ(zero->copy().get(), zero.get());
    EXPECT_THROW(zero->mutableCopy(), Exception);
    EXPECT_THROW(setValueForKey(zero, Number::withLongLong(5), "longLongValue"), Exception);
    EXPECT_EQ(cast<Number>(zero)->longLongValue(), 0);

    // Mutable containers are the reader's own: changing one changes no
    // other read.
    const Id mutableRead = read("[0, 0]", JSONReadingMutableContainers);
    auto array = cast<MutableArray>(mutableRead);
    ASSERT_TRUE(array);
    array->replaceObjectAtIndex(0, Number::withLongLong(9));
    EXPECT_EQ(at(read("[0]"), 0)->longLongValue(), 0);
    EXPECT_EQ(at(mutableRead, 1)->longLongValue(), 0);
}

TEST(JSONReadCost, WhatAReadMakesIsChargedToTheReplyInForce) {
    // 100,000 zeros: 1.6 MB of slots at least, though the text is 200 KB.
    const std::string text = zeros(100'000);
    ReplyBudget budget(64ull << 20);
    {
        ReplyShare share(budget);
        ReplyCharge charge(share);
        ASSERT_TRUE(read(text));
        EXPECT_FALSE(charge.refused());
        EXPECT_GE(share.size(), 100'000 * sizeof(Id));
        // An array is made at its size: not twice its slots, as one that
        // doubles while it grows would be.
        EXPECT_LE(share.size(), 100'000 * sizeof(Id) * 11 / 10 + 64 * 1024);
    }
    EXPECT_EQ(budget.held(), 0u);

    // Other objects are charged too: numbers of their own, strings, keys.
    std::string objects = "[";
    for (int i = 0; i < 10'000; ++i) {
        objects += (i ? ",{\"name\":\"" : "{\"name\":\"") + std::string(40, 'n') + "\",\"id\":" +
                   std::to_string(100'000 + i) + "}";
    }
    objects += "]";
    {
        ReplyShare share(budget);
        ReplyCharge charge(share);
        ASSERT_TRUE(read(objects));
        // Per object at least a dictionary, two keys, a text and a number.
        EXPECT_GE(share.size(), 10'000u * 5 * sizeof(Number));
    }
}

TEST(JSONReadCost, AReadPastTheBudgetStopsAndGivesBackWhatItCharged) {
    // Past its first MiB a reply has no room past the limit.
    ReplyBudget budget(4ull << 20);
    ReplyShare others(budget);
    ASSERT_TRUE(others.growToOrRelease(2ull << 20));
    const std::string text = zeros(1'000'000);
    ReplyShare share(budget);
    ASSERT_TRUE(share.growToOrRelease(text.size()));
    Ref<Error> error;
    {
        ReplyCharge charge(share);
        EXPECT_FALSE(read(text, 0, &error));
        EXPECT_TRUE(charge.refused());
        EXPECT_EQ(charge.refusal(), "the replies of all tasks in progress would hold more than 4194304 bytes together");
        // Refused once, refused for the rest of the read.
        EXPECT_FALSE(ReplyCharge::charge(1));
    }
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), JSONSerialization::ReadCorruptError);
    auto debug = cast<String>(error->userInfo()->objectForKey("NSDebugDescription"));
    ASSERT_TRUE(debug);
    EXPECT_EQ(debug->utf8(), "Not enough room to hold what the data is parsed into.");
    // The reply's bytes are still held: their share stays.
    EXPECT_EQ(share.size(), text.size());
    EXPECT_EQ(budget.held(), others.size() + text.size());

    // Outside the charge, reads are unbounded as before.
    EXPECT_TRUE(ReplyCharge::charge(UINT64_MAX)) << "no charge in force";
    EXPECT_TRUE(read(text));
}

TEST(JSONReadCost, ASmallReplyReadsInTheRoomForFirstBytesWhenTheBudgetIsFull) {
    ReplyBudget budget(4ull << 20);
    ReplyShare others(budget);
    ASSERT_TRUE(others.growToOrRelease(4ull << 20));
    const std::string text =
        R"({"code":200,"msg":"ok","data":{"list":[{"id":1,"name":"a"},{"id":2,"name":"b"}],"total":2,"vip":false}})";
    ReplyShare share(budget);
    ReplyCharge charge(share);
    auto reply = cast<Dictionary>(read(text));
    ASSERT_TRUE(reply);
    EXPECT_FALSE(charge.refused());
    EXPECT_GT(share.size(), 0u);
    EXPECT_EQ(cast<Number>(reply->objectForKey("code"))->longLongValue(), 200);
}

}  // namespace
