#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "platform/foundation/Array.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/DecimalNumber.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/MutableArray.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Exception.h"

using namespace ns;

namespace {

std::string write(const Id& object, uint64_t options = 0) {
    auto data = JSONSerialization::dataWithJSONObject(object, options);
    return data ? std::string(data->view()) : "(nil)";
}

// The reason of the exception writing raises, or "" when it wrote.
std::string refusal(const Id& object, uint64_t options = 0) {
    try {
        JSONSerialization::dataWithJSONObject(object, options);
    } catch (const Exception& e) {
        EXPECT_EQ(e.name(), InvalidArgumentException);
        return e.reason();
    }
    return "";
}

Ref<Dictionary> sample() {
    return Dictionary::make({
        {"b", Array::make({Number::True(), Null::null(), str("x/y")})},
        {"a", num(1)},
        {"c", Number::withDouble(1.5)},
    });
}

}  // namespace

TEST(JSONWriting, CompactAndSlashes) {
    EXPECT_EQ(write(sample()), R"({"b":[true,null,"x\/y"],"a":1,"c":1.5})");
    EXPECT_EQ(write(sample(), JSONWritingWithoutEscapingSlashes), R"({"b":[true,null,"x/y"],"a":1,"c":1.5})");
    EXPECT_EQ(write(Array::make({})), "[]");
    EXPECT_EQ(write(Dictionary::make({})), "{}");
}

TEST(JSONWriting, PrettyPrintedAndSorted) {
    auto object = Dictionary::make({
        {"b", Array::make({num(1), Dictionary::make({{"k", str("v")}})})},
        {"a", Array::make({})},
        {"C", Dictionary::make({})},
    });
    EXPECT_EQ(write(object, JSONWritingPrettyPrinted),
              "{\n"
              "  \"b\" : [\n"
              "    1,\n"
              "    {\n"
              "      \"k\" : \"v\"\n"
              "    }\n"
              "  ],\n"
              "  \"a\" : [\n"
              "\n"
              "  ],\n"
              "  \"C\" : {\n"
              "\n"
              "  }\n"
              "}");
    // Sorted by UTF-16 units: upper case before lower case.
    EXPECT_EQ(write(object, JSONWritingSortedKeys), R"({"C":{},"a":[],"b":[1,{"k":"v"}]})");
}

TEST(JSONWriting, StringEscapes) {
    auto text = str("q\"b\\n\nt\tc\x01 é😀\x7f");
    EXPECT_EQ(write(Array::make({text})), "[\"q\\\"b\\\\n\\nt\\tc\\u0001 é😀\x7f\"]");
    // A lone surrogate has no UTF-8 form but still an escape.
    auto lone = String::withCharacters(u"a\xd800");
    EXPECT_EQ(write(Array::make({lone})), R"(["a\ud800"])");
}

TEST(JSONWriting, Numbers) {
    auto numbers = Array::make({
        Number::withDouble(0.1),
        Number::withDouble(6.0),
        Number::withDouble(1e300),
        Number::withDouble(-0.0),
        Number::withFloat(0.1f),
        Number::withUnsignedLongLong(std::numeric_limits<uint64_t>::max()),
        Number::withLongLong(std::numeric_limits<int64_t>::min()),
        Number::withInt(-7),
        DecimalNumber::withString("12.50"),
        Number::False(),
    });
    EXPECT_EQ(write(numbers), "[0.1,6,1e+300,-0,0.1,18446744073709551615,-9223372036854775808,-7,12.5,false]");
}

TEST(JSONWriting, RoundTrip) {
    auto object = Dictionary::make({
        {"text", str("line\nbreak \"quoted\" / é")},
        {"list", Array::make({num(-3), Number::withDouble(2.25), Null::null(), Number::True()})},
        {"nested", Dictionary::make({{"deep", Array::make({Array::make({})})}})},
    });
    for (uint64_t options : {uint64_t(0), uint64_t(JSONWritingPrettyPrinted | JSONWritingSortedKeys)}) {
        Ref<Error> error;
        auto back = JSONSerialization::JSONObjectWithData(JSONSerialization::dataWithJSONObject(object, options), 0, &error);
        EXPECT_FALSE(error);
        EXPECT_TRUE(ns::equal(back, object)) << options;
    }
}

TEST(JSONWriting, InvalidObjectsRaise) {
    EXPECT_EQ(refusal(Array::make({Date::withTimeIntervalSince1970(0)})), "Invalid type in JSON write (NSDate)");
    EXPECT_EQ(refusal(Array::make({Number::withDouble(NAN)})), "Invalid number value (NaN) in JSON write");
    EXPECT_EQ(refusal(Array::make({Number::withDouble(INFINITY)})), "Invalid number value (infinite) in JSON write");
    EXPECT_EQ(refusal(Array::make({DecimalNumber::notANumber()})), "Invalid number value (NaN) in JSON write");
    EXPECT_EQ(refusal(Dictionary::make({{num(1), str("v")}})), "Invalid (non-string) key in JSON dictionary");
    EXPECT_EQ(refusal(str("x")), "Invalid top-level type in JSON write");
    EXPECT_EQ(refusal(nullptr), "Invalid top-level type in JSON write");

    EXPECT_EQ(write(str("x/"), JSONWritingFragmentsAllowed), R"("x\/")");
    EXPECT_EQ(write(num(3), JSONWritingFragmentsAllowed), "3");

    // A collection that holds itself ends at the depth limit, not in a crash.
    auto loop = MutableArray::make();
    loop->addObject(loop);
    EXPECT_EQ(refusal(loop), "Too many nested arrays or dictionaries in JSON write");
    EXPECT_FALSE(JSONSerialization::isValidJSONObject(loop));
    loop->removeAllObjects();
}

TEST(JSONWriting, Validity) {
    EXPECT_TRUE(JSONSerialization::isValidJSONObject(sample()));
    EXPECT_TRUE(JSONSerialization::isValidJSONObject(Array::make({})));
    EXPECT_FALSE(JSONSerialization::isValidJSONObject(str("x")));
    EXPECT_FALSE(JSONSerialization::isValidJSONObject(nullptr));
    EXPECT_FALSE(JSONSerialization::isValidJSONObject(Array::make({Array::make({Number::withDouble(NAN)})})));
    EXPECT_FALSE(JSONSerialization::isValidJSONObject(Array::make({Date::withTimeIntervalSince1970(0)})));
    EXPECT_FALSE(JSONSerialization::isValidJSONObject(Dictionary::make({{num(1), str("v")}})));
}
