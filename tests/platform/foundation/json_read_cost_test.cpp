// What reading JSON makes: the values that repeat (small integers, the
// booleans, null) are shared objects that nobody can change or mistake for
// one another, and what a read makes is charged to the reply it belongs to
// while a charge is in force, the read stopping past the budget.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
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
#include "tests/platform/foundation/json_records.h"

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
        // Per object at least a dictionary, its slots and a text of its own.
        EXPECT_GE(share.size(), 10'000u * (sizeof(Dictionary) + 2 * sizeof(Id) + 40));
    }
}

TEST(JSONReadCost, AReadPastTheBudgetStopsAndGivesBackWhatItCharged) {
    const std::string text = zeros(1'000'000);
    // The same text failing only at its last byte: the read stops where the
    // budget ran out, long before it, and says so.
    const std::string brokenAtItsEnd = text.substr(0, text.size() - 1) + "}";
    for (const std::string* body : {&text, &brokenAtItsEnd}) {
        SCOPED_TRACE(body == &text ? "whole" : "broken at its end");
        // Past its first MiB a reply has no room past the limit.
        ReplyBudget budget(4ull << 20);
        ReplyShare others(budget);
        ASSERT_TRUE(others.growToOrRelease(2ull << 20));
        ReplyShare share(budget);
        ASSERT_TRUE(share.growToOrRelease(body->size()));
        Ref<Error> error;
        {
            ReplyCharge charge(share);
            EXPECT_FALSE(read(*body, 0, &error));
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
        EXPECT_EQ(share.size(), body->size());
        EXPECT_EQ(budget.held(), others.size() + body->size());
    }

    // Outside the charge, reads are unbounded as before.
    EXPECT_TRUE(ReplyCharge::charge(UINT64_MAX)) << "no charge in force";
    EXPECT_TRUE(read(text));
}

// Records as a game server lists them, ids varying.
std::string records(size_t count) {
    std::string text = "[";
    for (size_t i = 0; i < count; ++i) {
        if (i) text += ',';
        text += jsontest::record(i);
    }
    return text + "]";
}

TEST(JSONReadCost, RecordsCostAFewTimesTheirBytes) {
    const std::string text = records(10'000);
    ReplyBudget budget(64ull << 20);
    ReplyShare share(budget);
    Id list;
    {
        ReplyCharge charge(share);
        list = read(text);
    }
    ASSERT_TRUE(list);
    // Each record's values in slots, its keys shared with every other
    // record's: a dictionary made of objects and a table of its own would
    // come to eighteen times.
    EXPECT_LE(share.size(), text.size() * 9 / 2) << double(share.size()) / double(text.size()) << " per byte";

    auto first = cast<Dictionary>(cast<Array>(list)->objectAtIndex(0));
    auto last = cast<Dictionary>(cast<Array>(list)->objectAtIndex(9'999));
    ASSERT_TRUE(first && last);
    EXPECT_EQ(first->allKeys()->objectAtIndex(3).get(), last->allKeys()->objectAtIndex(3).get()) << "one key for both";
    EXPECT_EQ(cast<Number>(last->objectForKey("id"))->longLongValue(), 123456789 + 9'999);
    EXPECT_EQ(cast<String>(last->objectForKey("name"))->utf8(), "sword gem");
    EXPECT_EQ(cast<Number>(last->objectForKey("price"))->doubleValue(), 512.25);
    EXPECT_EQ(last->objectForKey("vip").get(), Number::False().get());
    EXPECT_EQ(last->objectForKey("discount").get(), Null::null().get());
    EXPECT_TRUE(last->objectForKey("tags")->isEqual(Array::make({str("ring"), str("bow")})));
    EXPECT_EQ(cast<Number>(cast<Dictionary>(last->objectForKey("meta"))->objectForKey("ts"))->longLongValue(), 1701234567);
    EXPECT_FALSE(last->objectForKey("missing"));
}

// jsontest::record(i) with its keys, and its meta's, the other way round.
std::string reversedRecord(uint64_t i) {
    return R"({"meta":{"flag":1,"ts":1701234567,"server":4},"tags":["ring","bow"],"level":33,"discount":null,)"
           R"("vip":false,"count":7,"price":512.25,"name":"sword gem","id":)" +
           std::to_string(123456789 + i) + "}";
}

// Every key of record `i` and of its meta reads its own value, the keys
// listed in the order of its text.
void expectRecord(const Id& value, uint64_t i, bool reversed) {
    SCOPED_TRACE("record " + std::to_string(i) + (reversed ? ", reversed" : ""));
    auto record = cast<Dictionary>(value);
    ASSERT_TRUE(record);
    std::string keys = "id,name,price,count,vip,discount,level,tags,meta";
    if (reversed) keys = "meta,tags,level,discount,vip,count,price,name,id";
    EXPECT_EQ(record->allKeys()->componentsJoinedByString(",")->utf8(), keys);
    auto id = cast<Number>(record->objectForKey("id"));
    ASSERT_TRUE(id);
    EXPECT_EQ(id->longLongValue(), int64_t(123456789 + i));
    EXPECT_TRUE(record->objectForKey("name")->isEqual(str("sword gem")));
    EXPECT_TRUE(record->objectForKey("price")->isEqual(Number::withDouble(512.25)));
    EXPECT_TRUE(record->objectForKey("count")->isEqual(Number::withLongLong(7)));
    EXPECT_EQ(record->objectForKey("vip").get(), Number::False().get());
    EXPECT_EQ(record->objectForKey("discount").get(), Null::null().get());
    EXPECT_TRUE(record->objectForKey("level")->isEqual(Number::withLongLong(33)));
    EXPECT_TRUE(record->objectForKey("tags")->isEqual(Array::make({str("ring"), str("bow")})));
    auto meta = cast<Dictionary>(record->objectForKey("meta"));
    ASSERT_TRUE(meta);
    EXPECT_EQ(meta->allKeys()->componentsJoinedByString(",")->utf8(), reversed ? "flag,ts,server" : "server,ts,flag");
    EXPECT_TRUE(meta->objectForKey("server")->isEqual(Number::withLongLong(4)));
    EXPECT_TRUE(meta->objectForKey("ts")->isEqual(Number::withLongLong(1701234567)));
    EXPECT_TRUE(meta->objectForKey("flag")->isEqual(Number::withLongLong(1)));
}

// Objects share a key list only when they name the same keys in the same
// order: the same keys in another order are a list of their own, beside a
// sibling that has them (read right after it) or not (found among the
// read's lists).
TEST(JSONReadCost, TheSameKeysInAnotherOrderAreAListOfTheirOwn) {
    const std::string text = "[" + jsontest::record(0) + "," + reversedRecord(1) + "," + jsontest::record(2) + "," +
                             reversedRecord(3) + R"(,{"other":1},)" + jsontest::record(4) + R"(,{"wrap":)" +
                             reversedRecord(5) + R"(},{"wrap":)" + jsontest::record(6) + "}]";
    auto list = cast<Array>(read(text));
    ASSERT_TRUE(list);
    ASSERT_EQ(list->count(), 8u);
    expectRecord(list->objectAtIndex(0), 0, false);
    expectRecord(list->objectAtIndex(1), 1, true);
    expectRecord(list->objectAtIndex(2), 2, false);
    expectRecord(list->objectAtIndex(3), 3, true);
    expectRecord(list->objectAtIndex(5), 4, false);
    expectRecord(cast<Dictionary>(list->objectAtIndex(6))->objectForKey("wrap"), 5, true);
    expectRecord(cast<Dictionary>(list->objectAtIndex(7))->objectForKey("wrap"), 6, false);

    // Two keys swapped in the first object of its depth, the read keeping
    // the other order's list: it must not take that one.
    auto pairs = cast<Array>(read(R"([{"a":1,"b":2},{"c":0},[{"b":5,"a":6}],{"x":{"b":7,"a":8}}])"));
    ASSERT_TRUE(pairs);
    auto swapped = cast<Dictionary>(cast<Array>(pairs->objectAtIndex(2))->objectAtIndex(0));
    auto inner = cast<Dictionary>(cast<Dictionary>(pairs->objectAtIndex(3))->objectForKey("x"));
    ASSERT_TRUE(swapped && inner);
    EXPECT_EQ(swapped->allKeys()->componentsJoinedByString(",")->utf8(), "b,a");
    EXPECT_TRUE(swapped->objectForKey("b")->isEqual(Number::withLongLong(5)));
    EXPECT_TRUE(swapped->objectForKey("a")->isEqual(Number::withLongLong(6)));
    EXPECT_EQ(inner->allKeys()->componentsJoinedByString(",")->utf8(), "b,a");
    EXPECT_TRUE(inner->objectForKey("b")->isEqual(Number::withLongLong(7)));
    EXPECT_TRUE(inner->objectForKey("a")->isEqual(Number::withLongLong(8)));
}

TEST(JSONReadCost, ValuesHeldInPlaceAreTheValuesRead) {
    // Texts up to 15 bytes are held in place, longer ones are objects; the
    // same for every kind of value, in arrays and in objects.
    const std::string text =
        R"([["", "a", "fifteen bytes!!", "sixteen bytes!!!", "caf\u00e9 \u4e2d", "tab\t"], )"
        R"([-9223372036854775808, 9223372036854775807, 18446744073709551615, 2.5, -0.0, 1e300, 1024, -129], )"
        R"([true, false, null, [], {}], {"k": "v", "n": 12345678, "k": "last", "e": {}, "a": []}])";
    Id document = read(text);
    ASSERT_TRUE(document);
    auto list = cast<Array>(document);
    auto texts = cast<Array>(list->objectAtIndex(0));
    const char* const expected[] = {"", "a", "fifteen bytes!!", "sixteen bytes!!!", "caf\xC3\xA9 \xE4\xB8\xAD", "tab\t"};
    ASSERT_EQ(texts->count(), 6u);
    for (uint64_t i = 0; i < 6; ++i) {
        auto value = cast<String>(texts->objectAtIndex(i));
        ASSERT_TRUE(value) << i;
        EXPECT_EQ(value->utf8(), expected[i]) << i;
    }
    // Asked for twice, a value held in place is equal, each time the same
    // text.
    EXPECT_TRUE(texts->objectAtIndex(2)->isEqual(texts->objectAtIndex(2)));

    auto numbers = cast<Array>(list->objectAtIndex(1));
    EXPECT_EQ(cast<Number>(numbers->objectAtIndex(0))->longLongValue(), INT64_MIN);
    EXPECT_EQ(cast<Number>(numbers->objectAtIndex(1))->longLongValue(), INT64_MAX);
    EXPECT_STREQ(cast<Number>(numbers->objectAtIndex(2))->objCType(), "Q");
    EXPECT_EQ(cast<Number>(numbers->objectAtIndex(2))->unsignedLongLongValue(), UINT64_MAX);
    EXPECT_EQ(cast<Number>(numbers->objectAtIndex(3))->doubleValue(), 2.5);
    EXPECT_TRUE(std::signbit(cast<Number>(numbers->objectAtIndex(4))->doubleValue()));
    EXPECT_EQ(cast<Number>(numbers->objectAtIndex(5))->doubleValue(), 1e300);
    EXPECT_STREQ(cast<Number>(numbers->objectAtIndex(6))->objCType(), "q");
    EXPECT_EQ(cast<Number>(numbers->objectAtIndex(7))->longLongValue(), -129);

    auto others = cast<Array>(list->objectAtIndex(2));
    EXPECT_EQ(others->objectAtIndex(0).get(), Number::True().get());
    EXPECT_EQ(others->objectAtIndex(2).get(), Null::null().get());
    EXPECT_EQ(cast<Array>(others->objectAtIndex(3))->count(), 0u);
    EXPECT_EQ(cast<Dictionary>(others->objectAtIndex(4))->count(), 0u);

    // A key named twice keeps its first place and its last value.
    auto object = cast<Dictionary>(list->objectAtIndex(3));
    ASSERT_TRUE(object);
    EXPECT_EQ(object->count(), 4u);
    EXPECT_EQ(cast<String>(object->allKeys()->objectAtIndex(0))->utf8(), "k");
    EXPECT_EQ(cast<String>(object->objectForKey("k"))->utf8(), "last");
    EXPECT_EQ(cast<Number>(object->objectForKey("n"))->longLongValue(), 12345678);
    EXPECT_EQ(cast<Dictionary>(object->objectForKey("e"))->count(), 0u);

    // Enumerated, copied, made mutable and written, they are what was read.
    uint64_t seen = 0;
    for (const Id& value : *texts) EXPECT_TRUE(value->isEqual(texts->objectAtIndex(seen++)));
    EXPECT_EQ(seen, 6u);
    EXPECT_EQ(document->copy().get(), document.get());
    auto changing = cast<MutableArray>(numbers->mutableCopy());
    ASSERT_TRUE(changing);
    changing->addObject(str("more"));
    EXPECT_EQ(numbers->count(), 8u);
    EXPECT_TRUE(read(JSONSerialization::dataWithJSONObject(document, 0)->view())->isEqual(document));
}

TEST(JSONReadCost, LongTextsAreChargedForTheirBytes) {
    // A long text, as a value and as a key, plain and escaped: each costs
    // its bytes beside its object.
    const std::string longText(2 << 20, 'x');
    for (const std::string& text :
         {"[\"" + longText + "\"]", "{\"" + longText + "\":1}", "[\"\\n" + longText + "\"]"}) {
        ReplyBudget budget(64ull << 20);
        ReplyShare share(budget);
        {
            ReplyCharge charge(share);
            ASSERT_TRUE(read(text));
        }
        EXPECT_GE(share.size(), longText.size()) << text.substr(0, 4);
    }
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
