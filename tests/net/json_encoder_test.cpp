// The encoder: compact and pretty text, escapes, numbers, the formatter
// hooks and every failure message.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "net/JKArray.h"
#include "net/JKCodec.h"
#include "net/JSONDecoder.h"
#include "net/JKSerializer.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/MutableArray.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Exception.h"

namespace {

using ns::num;
using ns::str;

struct Encoded {
    std::string text;
    bool ok = false;
    std::string error;
};

Encoded encode(const ns::Id& object, JKSerializeOptionFlags options = 0, const JKUnsupportedClassFormatter& block = {},
               JKEncodeOptionType encodeOption = JKEncodeAsString) {
    Encoded e;
    ns::Ref<ns::Error> error;
    auto result = ns::cast<ns::String>(
        JKSerializer::serializeObject(object, options, encodeOption, block, nullptr, nullptr, &error));
    e.ok = result != nullptr;
    if (result) e.text = result->utf8();
    if (error) e.error = error->localizedDescription();
    return e;
}

std::string text(const ns::Id& object, JKSerializeOptionFlags options = 0) { return encode(object, options).text; }
std::string errorOf(const ns::Id& object, JKSerializeOptionFlags options = 0) { return encode(object, options).error; }

ns::Ref<ns::Dictionary> sample() {
    auto d = ns::MutableDictionary::make();
    d->setObjectForKey(num(1), "a");
    d->setObjectForKey(ns::Array::make({ns::Number::True(), ns::Null::null()}), "b");
    return d;
}

std::string raisedBy(const std::function<void()>& f) {
    try {
        f();
    } catch (const ns::Exception& e) {
        return e.name() + ": " + e.reason();
    }
    return "nothing raised";
}

TEST(JsonEncoder, CompactAndPrettyText) {
    EXPECT_EQ(text(sample()), R"({"a":1,"b":[true,null]})");
    EXPECT_EQ(text(sample(), JKSerializeFlagPretty), "{\n  \"a\": 1,\n  \"b\": [\n    true,\n    null\n  ]\n}");

    auto reversed = ns::MutableDictionary::make();
    reversed->setObjectForKey(num(2), "b");
    reversed->setObjectForKey(num(1), "a");
    EXPECT_EQ(text(reversed), R"({"b":2,"a":1})") << "compact keeps the dictionary's own order";
    EXPECT_EQ(text(reversed, JKSerializeFlagPretty), "{\n  \"a\": 1,\n  \"b\": 2\n}") << "pretty sorts the keys";

    EXPECT_EQ(text(ns::Dictionary::make({})), "{}");
    EXPECT_EQ(text(ns::Dictionary::make({}), JKSerializeFlagPretty), "{\n  \n}");
    EXPECT_EQ(text(ns::Array::make({})), "[]");
    EXPECT_EQ(text(ns::Array::make({ns::Array::make({})}), JKSerializeFlagPretty), "[\n  [\n    \n  ]\n]");
}

TEST(JsonEncoder, NumbersByTheirKind) {
    auto numbers = ns::Array::make({
        ns::Number::withDouble(0.1), ns::Number::withDouble(1.0), ns::Number::withDouble(1e21),
        ns::Number::withDouble(-0.0), ns::Number::withDouble(1.5e-7), num(INT64_MIN), num(-42),
        ns::Number::withUnsignedLongLong(UINT64_MAX), ns::Number::withInt(-7), ns::Number::withUnsignedInt(7),
        ns::Number::withChar(-3), ns::Number::withUnsignedChar(200), ns::Number::withShort(-300),
        ns::Number::withFloat(0.5f), ns::Number::False(),
    });
    EXPECT_EQ(text(numbers),
              "[0.10000000000000001,1,1e+21,-0,1.4999999999999999e-07,-9223372036854775808,-42,"
              "18446744073709551615,-7,7,-3,200,-300,0.5,false]");
}

TEST(JsonEncoder, NonFiniteNumbersAreRefused) {
    const std::string message = "Floating point values must be finite.  JSON does not support NaN or Infinity.";
    EXPECT_EQ(errorOf(ns::Array::make({ns::Number::withDouble(std::nan("")) })), message);
    EXPECT_EQ(errorOf(ns::Dictionary::make({{"x", ns::Array::make({ns::Number::withDouble(INFINITY)})}})), message);
    EXPECT_FALSE(encode(ns::Array::make({ns::Number::withDouble(-INFINITY)})).ok);
}

TEST(JsonEncoder, StringEscapes) {
    auto s = str("\t\"\\/");
    EXPECT_EQ(text(ns::Array::make({s}), JKSerializeFlagEscapeSlash), "[\"\\t\\\"\\\\\\/\"]");
    EXPECT_EQ(text(ns::Array::make({s})), "[\"\\t\\\"\\\\/\"]");
    EXPECT_EQ(text(ns::Array::make({str(std::string("\x01\x1f\b\f\n\r", 6))})), "[\"\\u0001\\u001f\\b\\f\\n\\r\"]");
    EXPECT_EQ(text(ns::Array::make({str(std::string("a\0b", 3))})), "[\"a\\u0000b\"]");
    EXPECT_EQ(text(ns::Array::make({str("\x7f~")})), "[\"\x7f~\"]");
}

TEST(JsonEncoder, NonASCIIIsRawOrEscaped) {
    auto accented = ns::Array::make({str("\xC3\xA9")});
    EXPECT_EQ(text(accented), "[\"\xC3\xA9\"]");
    EXPECT_EQ(text(accented, JKSerializeFlagEscapeUnicode), "[\"\\u00e9\"]");
    auto emoji = ns::Array::make({str("a\xF0\x9F\x98\x80/")});
    EXPECT_EQ(text(emoji), "[\"a\xF0\x9F\x98\x80/\"]");
    EXPECT_EQ(text(emoji, JKSerializeFlagEscapeUnicode | JKSerializeFlagEscapeSlash), "[\"a\\ud83d\\ude00\\/\"]");
    EXPECT_EQ(text(ns::Array::make({str("\xE4\xB8\xAD\t")}), JKSerializeFlagEscapeUnicode), "[\"\\u4e2d\\t\"]");
    EXPECT_EQ(errorOf(ns::Array::make({str("\xEF\xBF\xBE")}), JKSerializeFlagEscapeUnicode), "Error converting UTF8.");
    EXPECT_EQ(text(ns::Array::make({str("\xEF\xBF\xBE")})), "[\"\xEF\xBF\xBE\"]");
    // A lone surrogate has no UTF-8 form and is written as "?".
    EXPECT_EQ(text(ns::Array::make({ns::String::withCharacters(u"x\xD800y")})), "[\"x?y\"]");
}

TEST(JsonEncoder, LongStringsNeverWritePastTheOutput) {
    std::string control(200, '\x01');
    const std::string s = control + std::string(1800, 'z');
    std::string expected = "[\"";
    for (int i = 0; i < 200; ++i) expected += "\\u0001";
    expected += std::string(1800, 'z') + "\"]";
    EXPECT_EQ(text(ns::Array::make({str(s)})), expected);

    std::string wide, wideExpected;
    for (int i = 0; i < 3000; ++i) {
        wide += (i % 2) ? "\x02" : "\xE4\xB8\xAD";
        wideExpected += (i % 2) ? "\\u0002" : "\\u4e2d";
    }
    EXPECT_EQ(text(ns::Array::make({str(wide)}), JKSerializeFlagEscapeUnicode), "[\"" + wideExpected + "\"]");
}

TEST(JsonEncoder, KeysMustBeStrings) {
    auto numberKey = ns::MutableDictionary::make();
    numberKey->setObjectForKey(num(1), ns::Id(num(1)));
    EXPECT_EQ(errorOf(numberKey), "Key must be a string object.");
    numberKey->setObjectForKey(num(2), "b");
    EXPECT_EQ(errorOf(numberKey, JKSerializeFlagPretty), "Key must be a string object.") << "checked before sorting";
}

TEST(JsonEncoder, UnsupportedObjectsGoThroughTheFormatter) {
    auto date = ns::Date::withTimeIntervalSince1970(0);
    auto withDate = ns::Array::make({date});
    const std::string dateClass = date->className();
    EXPECT_EQ(errorOf(withDate), "Unable to serialize object class " + dateClass + ".");

    auto described = encode(withDate, 0, [](const ns::Id& object) -> ns::Id { return str(object->description()); });
    EXPECT_TRUE(described.ok);
    EXPECT_EQ(described.text, "[\"" + date->description() + "\"]");

    auto doubleFault = encode(withDate, 0, [](const ns::Id&) -> ns::Id { return ns::Date::withTimeIntervalSince1970(1); });
    EXPECT_EQ(doubleFault.error, "Unable to serialize object class " + dateClass +
                                     " that was returned by the unsupported class formatter.  Original object class was " +
                                     dateClass + ".");

    auto refused = encode(withDate, 0, [](const ns::Id&) -> ns::Id { return nullptr; });
    EXPECT_EQ(refused.error, "Unable to serialize object class " + dateClass + ".");

    // Each formatter answer lives to the end of the call, so answers made
    // afresh never share an address and the text cache stays right.
    int calls = 0;
    auto many = ns::Array::make({ns::Date::withTimeIntervalSince1970(1), ns::Date::withTimeIntervalSince1970(2), ns::Date::withTimeIntervalSince1970(3), date, date});
    auto counted = encode(many, 0, [&](const ns::Id&) -> ns::Id { return str("d" + std::to_string(++calls)); });
    EXPECT_EQ(counted.text, R"(["d1","d2","d3","d4","d4"])") << "the same object's text is reused";
    EXPECT_EQ(calls, 4);

    auto nested = encode(many, 0, [&](const ns::Id&) -> ns::Id {
        return ns::Array::make({str("n" + std::to_string(++calls))});
    });
    EXPECT_EQ(nested.text, R"([["n5"],["n6"],["n7"],["n8"],["n9"]])") << "containers are not cached";
}

class Formatter : public JKSerializerDelegate {
public:
    JKUnsupportedClassFormatter methodForSelector(std::string_view selector) override {
        if (selector != "jsonValueFor:") return {};
        return [this](const ns::Id& object) -> ns::Id {
            seen = object;
            return str("formatted");
        };
    }
    ns::Id seen;
};

TEST(JsonEncoder, DelegateFormatterAndItsMisuse) {
    Formatter formatter;
    auto date = ns::Date::withTimeIntervalSince1970(0);
    auto array = ns::Array::make({date});
    auto out = JKCodec::JSONStringWithOptionsSerializeUnsupportedClassesUsingDelegate(*array, 0, &formatter,
                                                                                      "jsonValueFor:");
    ASSERT_TRUE(out);
    EXPECT_EQ(out->utf8(), R"(["formatted"])");
    EXPECT_EQ(formatter.seen, ns::Id(date));

    // With a block that gives up, the delegate gets the block's answer.
    formatter.seen = date;
    ns::Id result = JKSerializer::serializeObject(array, 0, JKEncodeAsString, [](const ns::Id&) { return ns::Id(); },
                                                  &formatter, "jsonValueFor:");
    EXPECT_TRUE(result);
    EXPECT_FALSE(formatter.seen);

    EXPECT_EQ(raisedBy([&] { JKCodec::JSONDataWithOptionsSerializeUnsupportedClassesUsingDelegate(*array, 0, &formatter,
                                                                                                  nullptr); }),
              "NSInvalidArgumentException: The delegate argument is not NULL, but the selector argument is NULL.");
    EXPECT_EQ(raisedBy([&] { JKCodec::JSONDataWithOptionsSerializeUnsupportedClassesUsingDelegate(*array, 0, &formatter,
                                                                                                  "other:"); }),
              "NSInvalidArgumentException: The serializeUnsupportedClassesUsingDelegate: delegate does not respond to "
              "the selector argument.");
}

TEST(JsonEncoder, RootRequirementsAndResultTypes) {
    auto quoted = str("a\"b");
    EXPECT_EQ(JKCodec::JSONString(*quoted)->utf8(), R"("a\"b")");
    EXPECT_EQ(JKCodec::JSONStringWithOptions(*quoted, 0, false)->utf8(), R"(a\"b)");
    EXPECT_EQ(JKCodec::JSONData(*quoted)->view(), R"("a\"b")");
    EXPECT_EQ(JKCodec::JSONDataWithOptions(*str("x/y"), JKSerializeFlagEscapeSlash, false)->view(), R"(x\/y)");

    auto array = ns::Array::make({num(1), str("\xC3\xA9")});
    EXPECT_EQ(JKCodec::JSONData(*array)->view(), JKCodec::JSONString(*array)->utf8());
    auto resultText = JKCodec::JSONString(*array);
    EXPECT_EQ(resultText->length(), 7u) << "the seven characters of [1,\"\\u00e9\"] as text";
    EXPECT_TRUE(resultText->isEqual(ns::str("[1,\"\xC3\xA9\"]")));

    ns::Ref<ns::Error> error = ns::Error::make("Earlier", 1);
    EXPECT_TRUE(JKCodec::JSONStringWithOptions(*array, 0, &error));
    EXPECT_FALSE(error) << "success clears the caller's error";

    EXPECT_EQ(encode(num(5), 0, {}, JKEncodeAsString).text, "5") << "a bare root number without requirements";
    EXPECT_EQ(encode(num(5), 0, {}, JKEncodeAsString | JKEncodeRequireCollection).error,
              "Unable to serialize object class NSNumber, expected a NSArray or NSDictionary.");
    EXPECT_EQ(encode(num(5), 0, {}, JKEncodeAsString | JKEncodeRequireString).error,
              "Unable to serialize object class NSNumber, expected a NSString.");
    EXPECT_EQ(encode(array, 0, {}, 3).error, "Unknown encode as type.");
    auto data = JKSerializer::serializeObject(array, 0, JKEncodeAsData, {}, nullptr, nullptr);
    EXPECT_TRUE(ns::cast<ns::Data>(data));

    // A value on the caller's stack can be encoded too.
    const ns::String onStack("plain");
    EXPECT_EQ(JKCodec::JSONString(onStack)->utf8(), "\"plain\"");
}

TEST(JsonEncoder, LargeAndRepeatedContent) {
    auto shared = str("shared value");
    std::vector<ns::Id> items;
    for (int i = 0; i < 3000; ++i) items.push_back(i % 2 ? ns::Id(shared) : ns::Id(num(i)));
    auto big = ns::Array::make(items);
    const std::string out = text(big);
    EXPECT_EQ(out.size(), 2 + 1500 * std::string("\"shared value\"").size() + 2999 +
                              [] {
                                  size_t n = 0;
                                  for (int i = 0; i < 3000; i += 2) n += std::to_string(i).size();
                                  return n;
                              }());
    EXPECT_EQ(out.substr(0, 24), "[0,\"shared value\",2,\"sha");

    auto wide = ns::MutableDictionary::make();
    for (int i = 0; i < 2000; ++i) wide->setObjectForKey(num(i), "key" + std::to_string(i));
    const std::string wideText = text(wide);
    EXPECT_EQ(wideText.substr(0, 18), "{\"key0\":0,\"key1\":1");
    EXPECT_EQ(wideText.substr(wideText.size() - 15), "\"key1999\":1999}");
}

TEST(JsonEncoder, AFormatterChangingTheContainerBeingWrittenIsHarmless) {
    JSONDecoder decoder;
    const std::string text = R"([1,2,3])";
    auto list = ns::cast<JKArray>(decoder.mutableObjectWithUTF8String(text.data(), text.size()));
    ASSERT_TRUE(list);
    list->insertObject(ns::Date::withTimeIntervalSince1970(0), 1);
    // The formatter grows the very array being written: the walk goes on over
    // what the array held when it started.
    auto out = encode(list, 0, [&](const ns::Id&) -> ns::Id {
        for (int i = 0; i < 40; ++i) list->addObject(num(9));
        return str("date");
    });
    EXPECT_EQ(out.text, R"([1,"date",2,3])");
    EXPECT_EQ(list->count(), 44u);
}

TEST(JsonEncoder, TextRepeatedRightAfterItselfIsCopiedWhole) {
    auto a = str("a");
    auto one = num(1);
    EXPECT_EQ(text(ns::Array::make({a, a, a, one, one})), R"(["a","a","a",1,1])");
    EXPECT_EQ(text(ns::Dictionary::make({{ns::Id(a), a}})), R"({"a":"a"})");
    auto longer = str(std::string(40, 'x'));
    EXPECT_EQ(text(ns::Array::make({longer, longer})), "[\"" + std::string(40, 'x') + "\",\"" + std::string(40, 'x') + "\"]");
}

TEST(JsonEncoder, NestingIsBoundedAndCyclesFailCleanly) {
    ns::Id inner = ns::Array::make({});
    for (int i = 1; i < 512; ++i) inner = ns::Array::make({inner});
    EXPECT_TRUE(encode(inner).ok);
    EXPECT_EQ(errorOf(ns::Array::make({inner})), "Maximum nesting depth of 512 exceeded.");

    auto cycle = ns::MutableArray::make();
    cycle->addObject(cycle);
    EXPECT_EQ(errorOf(cycle), "Maximum nesting depth of 512 exceeded.");
    cycle->removeAllObjects();
}

}  // namespace
