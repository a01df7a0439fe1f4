#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <string>

#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/MutableArray.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Exception.h"

using namespace ns;

namespace {

Id read(std::string_view text, uint64_t options = 0, Ref<Error>* error = nullptr) {
    return JSONSerialization::JSONObjectWithData(Data::withBytes(text), options, error);
}

// The reader's message for text that must fail, or "" when it parsed.
std::string failure(std::string_view text, uint64_t options = 0) {
    Ref<Error> error;
    Id value = read(text, options, &error);
    if (value) return "";
    EXPECT_TRUE(error);
    if (!error) return "(no error)";
    EXPECT_EQ(error->domain(), CocoaErrorDomain);
    EXPECT_EQ(error->code(), 3840);
    auto debug = cast<String>(error->userInfo()->objectForKey("NSDebugDescription"));
    return debug ? debug->utf8() : "(no description)";
}

std::string utf16(std::string_view ascii, bool bigEndian) {
    std::string out;
    for (char c : ascii) {
        out += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
    }
    return out;
}

}  // namespace

TEST(JSONReading, ValuesAndKinds) {
    auto object = cast<Dictionary>(
        read(R"({"b": [1, -2, 2.5, true, false, null, "x"], "a": {"n": 18446744073709551615}, "z": -0})"));
    ASSERT_TRUE(object);
    // Keys keep document order.
    EXPECT_EQ(object->allKeys()->componentsJoinedByString(",")->utf8(), "b,a,z");

    auto list = cast<Array>(object->objectForKey("b"));
    ASSERT_TRUE(list);
    ASSERT_EQ(list->count(), 7u);
    EXPECT_STREQ(cast<Number>(list->objectAtIndex(0))->objCType(), "q");
    EXPECT_EQ(cast<Number>(list->objectAtIndex(1))->longLongValue(), -2);
    EXPECT_STREQ(cast<Number>(list->objectAtIndex(2))->objCType(), "d");
    EXPECT_DOUBLE_EQ(cast<Number>(list->objectAtIndex(2))->doubleValue(), 2.5);
    EXPECT_EQ(list->objectAtIndex(3), Number::True());
    EXPECT_EQ(list->objectAtIndex(4), Number::False());
    EXPECT_EQ(list->objectAtIndex(5), Null::null());
    EXPECT_EQ(cast<String>(list->objectAtIndex(6))->utf8(), "x");

    auto big = cast<Number>(cast<Dictionary>(object->objectForKey("a"))->objectForKey("n"));
    ASSERT_TRUE(big);
    EXPECT_EQ(big->kind(), Number::Kind::Unsigned);
    EXPECT_EQ(big->unsignedLongLongValue(), 18446744073709551615ull);
    EXPECT_EQ(cast<Number>(object->objectForKey("z"))->kind(), Number::Kind::Signed);
}

TEST(JSONReading, NumberEdges) {
    auto numbers = cast<Array>(read("[-9223372036854775808, 18446744073709551616, 1.5e3, 1E-400, 0.1]"));
    ASSERT_TRUE(numbers);
    auto at = [&](uint64_t i) { return cast<Number>(numbers->objectAtIndex(i)); };
    EXPECT_EQ(at(0)->kind(), Number::Kind::Signed);
    EXPECT_EQ(at(0)->longLongValue(), INT64_MIN);
    // Beyond 64 bits the value is only approximate.
    EXPECT_EQ(at(1)->kind(), Number::Kind::Double);
    EXPECT_DOUBLE_EQ(at(1)->doubleValue(), 18446744073709551616.0);
    EXPECT_DOUBLE_EQ(at(2)->doubleValue(), 1500.0);
    EXPECT_EQ(at(3)->doubleValue(), 0.0);
    EXPECT_EQ(at(4)->doubleValue(), 0.1);
}

// Either side of each end of 64 bits, signed and not, as the value and the
// kind each reads as: up to INT64_MAX a signed integer, on to UINT64_MAX an
// unsigned one, past either end a double.
TEST(JSONReading, IntegersAtTheEndsOfSixtyFourBits) {
    struct Case {
        const char* text;
        Number::Kind kind;
        int64_t signedValue;
        uint64_t unsignedValue;
        double doubleValue;
    };
    const Case cases[] = {
        {"999999999999999999", Number::Kind::Signed, 999999999999999999, 0, 0},
        {"1000000000000000000", Number::Kind::Signed, 1000000000000000000, 0, 0},
        {"9223372036854775806", Number::Kind::Signed, INT64_MAX - 1, 0, 0},
        {"9223372036854775807", Number::Kind::Signed, INT64_MAX, 0, 0},
        {"9223372036854775808", Number::Kind::Unsigned, 0, 9223372036854775808ull, 0},
        {"9223372036854775809", Number::Kind::Unsigned, 0, 9223372036854775809ull, 0},
        {"9999999999999999999", Number::Kind::Unsigned, 0, 9999999999999999999ull, 0},
        {"10000000000000000000", Number::Kind::Unsigned, 0, 10000000000000000000ull, 0},
        {"18446744073709551615", Number::Kind::Unsigned, 0, UINT64_MAX, 0},
        {"18446744073709551616", Number::Kind::Double, 0, 0, 18446744073709551616.0},
        {"-999999999999999999", Number::Kind::Signed, -999999999999999999, 0, 0},
        {"-1000000000000000000", Number::Kind::Signed, -1000000000000000000, 0, 0},
        {"-9223372036854775807", Number::Kind::Signed, -INT64_MAX, 0, 0},
        {"-9223372036854775808", Number::Kind::Signed, INT64_MIN, 0, 0},
        {"-9223372036854775809", Number::Kind::Double, 0, 0, -9223372036854775809.0},
        {"-9999999999999999999", Number::Kind::Double, 0, 0, -9999999999999999999.0},
        {"-10000000000000000000", Number::Kind::Double, 0, 0, -10000000000000000000.0},
    };
    std::string list = "[";
    std::string object = "{";
    for (const Case& c : cases) {
        list += std::string(list.size() > 1 ? "," : "") + c.text;
        object += std::string(object.size() > 1 ? "," : "") + "\"" + c.text + "\":" + c.text;
    }
    auto numbers = cast<Array>(read(list + "]"));
    auto named = cast<Dictionary>(read(object + "}"));
    ASSERT_TRUE(numbers && named);
    ASSERT_EQ(numbers->count(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        // The same in a list and as an object's value.
        for (auto number : {cast<Number>(numbers->objectAtIndex(i)), cast<Number>(named->objectForKey(c.text))}) {
            ASSERT_TRUE(number) << c.text;
            EXPECT_EQ(int(number->kind()), int(c.kind)) << c.text << " (0 signed, 1 unsigned, 2 double)";
            switch (c.kind) {
                case Number::Kind::Signed:
                    EXPECT_EQ(number->longLongValue(), c.signedValue) << c.text;
                    EXPECT_EQ(number->stringValue(), c.text);
                    break;
                case Number::Kind::Unsigned:
                    EXPECT_EQ(number->unsignedLongLongValue(), c.unsignedValue) << c.text;
                    EXPECT_EQ(number->stringValue(), c.text);
                    break;
                default:
                    EXPECT_EQ(number->doubleValue(), c.doubleValue) << c.text;
                    break;
            }
        }
    }
}

TEST(JSONReading, ContainersAreImmutableUnlessAsked) {
    const char* text = R"({"list": [{"k": "v"}]})";
    auto plain = cast<Dictionary>(read(text));
    ASSERT_TRUE(plain);
    EXPECT_FALSE(cast<MutableDictionary>(plain));
    EXPECT_FALSE(cast<MutableArray>(plain->objectForKey("list")));

    auto containers = cast<MutableDictionary>(read(text, JSONReadingMutableContainers));
    ASSERT_TRUE(containers);
    auto list = cast<MutableArray>(containers->objectForKey("list"));
    ASSERT_TRUE(list);
    auto inner = cast<MutableDictionary>(list->objectAtIndex(0));
    ASSERT_TRUE(inner);
    EXPECT_FALSE(cast<MutableString>(inner->objectForKey("k")));
    inner->setObjectForKey(str("w"), "k2");
    list->addObject(Null::null());
    EXPECT_EQ(list->count(), 2u);

    auto leaves = cast<Dictionary>(read(text, JSONReadingMutableLeaves));
    ASSERT_TRUE(leaves);
    EXPECT_FALSE(cast<MutableDictionary>(leaves));
    auto leaf = cast<MutableString>(cast<Dictionary>(cast<Array>(leaves->objectForKey("list"))->objectAtIndex(0))->objectForKey("k"));
    ASSERT_TRUE(leaf);
    leaf->appendString("!");
    EXPECT_EQ(leaf->utf8(), "v!");
}

TEST(JSONReading, Fragments) {
    EXPECT_EQ(failure(R"("text")"),
              "JSON text did not start with array or object and option to allow fragments not set.");
    EXPECT_EQ(failure("12"), "JSON text did not start with array or object and option to allow fragments not set.");
    EXPECT_EQ(failure("<html>"), "JSON text did not start with array or object and option to allow fragments not set.");

    auto text = cast<String>(read(R"( "text" )", JSONReadingFragmentsAllowed));
    ASSERT_TRUE(text);
    EXPECT_EQ(text->utf8(), "text");
    EXPECT_EQ(cast<Number>(read("12", JSONReadingFragmentsAllowed))->longLongValue(), 12);
    EXPECT_EQ(read("null", JSONReadingFragmentsAllowed), Null::null());
    EXPECT_TRUE(cast<MutableString>(read(R"("a")", JSONReadingFragmentsAllowed | JSONReadingMutableLeaves)));
    EXPECT_EQ(failure("<html>", JSONReadingFragmentsAllowed), "Invalid value around character 0.");
}

TEST(JSONReading, ErrorMessages) {
    EXPECT_EQ(failure(""), "No value.");
    EXPECT_EQ(failure("  \n "), "No value.");
    EXPECT_EQ(failure("[1] x"), "Garbage at end.");
    EXPECT_EQ(failure("{}{}"), "Garbage at end.");
    EXPECT_EQ(failure("[1,]"), "Invalid value around character 3.");
    EXPECT_EQ(failure("[tru]"), "Invalid value around character 1.");
    EXPECT_EQ(failure("[-]"), "Invalid value around character 1.");
    EXPECT_EQ(failure("[1.]"), "Invalid value around character 1.");
    EXPECT_EQ(failure("[1 2]"), "Badly formed array around character 3.");
    EXPECT_EQ(failure("[1"), "Badly formed array around character 2.");
    EXPECT_EQ(failure(R"({"a":1,})"), "No string key for value in object around character 7.");
    EXPECT_EQ(failure("{1:2}"), "No string key for value in object around character 1.");
    EXPECT_EQ(failure(R"({"a" 1})"), "Badly formed object around character 5.");
    EXPECT_EQ(failure(R"({"a":)"), "No value for key in object around character 5.");
    EXPECT_EQ(failure(R"(["abc)"), "Unterminated string around character 1.");
    EXPECT_EQ(failure("[01]"), "Number with leading zero around character 1.");
    EXPECT_EQ(failure(R"(["\x"])"), "Invalid escape sequence around character 2.");
    EXPECT_EQ(failure(R"(["\u12G4"])"), "Invalid escape sequence around character 2.");
    EXPECT_EQ(failure("[\"a\x01\"]"), "Unescaped control character around character 3.");
    EXPECT_EQ(failure("[\"\xff\"]"), "Unable to convert data to string around character 2.");
    EXPECT_EQ(failure("[\"\xed\xa0\x80\"]"), "Unable to convert data to string around character 2.");
    EXPECT_EQ(failure(R"(["\ud800"])"),
              "Unable to convert hex escape sequence (no low character) to UTF8-encoded character around character 2.");
    EXPECT_EQ(failure(R"(["\udc00"])"),
              "Unable to convert hex escape sequence (no high character) to UTF8-encoded character around character 2.");
    EXPECT_EQ(failure("[1e999]"), "Number out of range around character 1.");

    // Without an error slot the failure is just nil.
    EXPECT_EQ(read("[1,]"), nullptr);
    EXPECT_THROW(JSONSerialization::JSONObjectWithData(nullptr, 0), Exception);
}

TEST(JSONReading, StringsAndEscapes) {
    auto list = cast<Array>(read(R"(["\u00e9\ud83d\ude00\/\n\t\"\\", "é😀", "\u0000"])"));
    ASSERT_TRUE(list);
    EXPECT_EQ(cast<String>(list->objectAtIndex(0))->utf8(), "é😀/\n\t\"\\");
    EXPECT_EQ(cast<String>(list->objectAtIndex(1))->utf8(), "é😀");
    EXPECT_EQ(cast<String>(list->objectAtIndex(2))->utf8(), std::string(1, '\0'));
    // A repeated key keeps its last value.
    EXPECT_EQ(cast<String>(cast<Dictionary>(read(R"({"k":"1","k":"2"})"))->objectForKey("k"))->utf8(), "2");
}

TEST(JSONReading, WideEncodings) {
    const std::string text = R"({"a":[1,"x"]})";
    auto expected = read(text);
    ASSERT_TRUE(expected);
    EXPECT_TRUE(ns::equal(read(utf16(text, false)), expected));
    EXPECT_TRUE(ns::equal(read(utf16(text, true)), expected));
    EXPECT_TRUE(ns::equal(read("\xef\xbb\xbf" + text), expected));
    EXPECT_TRUE(ns::equal(read("\xff\xfe" + utf16(text, false)), expected));

    std::string utf32le;
    for (char c : text) utf32le += std::string{c, '\0', '\0', '\0'};
    EXPECT_TRUE(ns::equal(read(utf32le), expected));

    // A short fragment is still told apart by its zero byte.
    EXPECT_EQ(cast<Number>(read(utf16("7", true), JSONReadingFragmentsAllowed))->longLongValue(), 7);
    // A surrogate without its partner does not convert.
    EXPECT_EQ(failure(std::string("[\0\"\0\0\xd8\"\0]\0", 10)), "Unable to convert data to string around character 2.");
}

TEST(JSONReading, NestingIsBounded) {
    const unsigned limit = JSONSerialization::MaxDepth;
    auto nested = [](unsigned depth) { return std::string(depth, '[') + std::string(depth, ']'); };
    EXPECT_TRUE(read(nested(limit)));
    EXPECT_EQ(failure(nested(limit + 1)), "Too many nested arrays or dictionaries around character 512.");
    // Far deeper input fails the same way rather than exhausting the stack.
    EXPECT_EQ(failure(std::string(200000, '[')), "Too many nested arrays or dictionaries around character 512.");
    std::string objects;
    for (unsigned i = 0; i <= limit; ++i) objects += R"({"k":)";
    EXPECT_NE(failure(objects).find("Too many nested"), std::string::npos);
}
