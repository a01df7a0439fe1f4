// The decoder's grammar, its messages with index and line, options,
// cache and entry points.

#include <gtest/gtest.h>

#include <string>

#include "json_test_support.h"
#include "net/JKArray.h"
#include "net/JKCodec.h"
#include "net/JKDictionary.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Exception.h"

namespace {

using jsontest::errorOf;
using jsontest::parse;

const char* const unexpectedToken =
    "Unexpected token, wanted '{', '}', '[', ']', ',', ':', 'true', 'false', 'null', '\"STRING\"', 'NUMBER'.";

std::string raisedBy(const std::function<void()>& f) {
    try {
        f();
    } catch (const ns::Exception& e) {
        return e.name() + ": " + e.reason();
    }
    return "nothing raised";
}

TEST(JsonDecoder, BuildsTheCodecsContainersAndPlatformValues) {
    auto root = ns::cast<JKDictionary>(
        parse(R"({"s":"text","i":-3,"u":7,"d":0.5,"t":true,"f":false,"n":null,"a":[1,[2]],"o":{"k":{}},"e":""})").value);
    ASSERT_TRUE(root);
    EXPECT_EQ(root->count(), 10u);
    EXPECT_EQ(ns::cast<ns::String>(root->objectForKey("s"))->utf8(), "text");
    EXPECT_EQ(ns::cast<ns::Number>(root->objectForKey("i"))->longLongValue(), -3);
    EXPECT_EQ(root->objectForKey("t"), ns::Number::True());
    EXPECT_EQ(root->objectForKey("f"), ns::Number::False());
    EXPECT_EQ(root->objectForKey("n"), ns::Null::null());
    auto nested = ns::cast<JKArray>(root->objectForKey("a"));
    ASSERT_TRUE(nested);
    EXPECT_TRUE(ns::cast<JKArray>(nested->objectAtIndex(1)));
    EXPECT_TRUE(ns::cast<JKDictionary>(ns::cast<JKDictionary>(root->objectForKey("o"))->objectForKey("k")));
    EXPECT_EQ(ns::cast<ns::String>(root->objectForKey("e"))->utf8(), "");
    EXPECT_FALSE(root->isMutable());

    auto emptyArray = ns::cast<JKArray>(parse("[]").value);
    ASSERT_TRUE(emptyArray);
    EXPECT_EQ(emptyArray->count(), 0u);
    auto emptyObject = ns::cast<JKDictionary>(parse(" {} ").value);
    ASSERT_TRUE(emptyObject);
    EXPECT_EQ(emptyObject->count(), 0u);
}

TEST(JsonDecoder, EmptyAndScalarDocumentsAreRefused) {
    auto empty = parse("");
    EXPECT_FALSE(empty.value);
    EXPECT_EQ(empty.message(), "Reached the end of the buffer.");
    EXPECT_EQ(empty.index(), 0u);
    EXPECT_EQ(empty.line(), 1u);
    ASSERT_TRUE(empty.error);
    EXPECT_EQ(empty.error->domain(), "JKErrorDomain");
    EXPECT_EQ(empty.error->code(), -1);

    for (const char* scalar : {"5", "\"text\"", "true", "null", " -1.5 "}) {
        EXPECT_EQ(errorOf(scalar), "Expected either '[' or '{'.") << scalar;
    }
    EXPECT_EQ(errorOf("   "), unexpectedToken);
}

TEST(JsonDecoder, GrammarErrorsNameWhatWasExpected) {
    EXPECT_EQ(errorOf("[1,]"), "Unexpected ']'.");
    EXPECT_EQ(errorOf("[,1]"), "Unexpected ','.");
    EXPECT_EQ(errorOf("[1,,2]"), "Unexpected ','.");
    EXPECT_EQ(errorOf("[1 2]"), "Expected a comma or a ']', not '2'");
    EXPECT_EQ(errorOf("[1 \"x\"]"), "Expected a comma or a ']', not '\"x\"'");
    EXPECT_EQ(errorOf("[1:2]"), "Expected a comma or a ']', not ':'");
    EXPECT_EQ(errorOf("[:]"), "Expected a value or a ']', not ':'");
    EXPECT_EQ(errorOf("[1,}"), "Expected a value, not '}'");
    EXPECT_EQ(errorOf("{\"a\" 1}"), "Expected ':'.");
    EXPECT_EQ(errorOf("{\"a\":}"), "Expected a value, not '}'");
    EXPECT_EQ(errorOf("{1:2}"), "Expected a \"STRING\" or a '}', not '1'");
    EXPECT_EQ(errorOf("{\"a\":1,}"), "Unexpected '}'.");
    EXPECT_EQ(errorOf("{\"a\":1,2}"), "Expected a \"STRING\", not '2'");
    EXPECT_EQ(errorOf("{\"a\":1 \"b\":2}"), "Unexpected string.");
    EXPECT_EQ(errorOf("{\"a\":1 2}"), "Expected a comma or a '}', not '2'");
    EXPECT_EQ(errorOf("{,}"), "Unexpected ','.");
    EXPECT_EQ(errorOf("[tru]"), unexpectedToken);
    EXPECT_EQ(errorOf("[true]"), "");
    EXPECT_EQ(errorOf("[nul]"), unexpectedToken);
    EXPECT_EQ(errorOf("[x]"), unexpectedToken);
}

TEST(JsonDecoder, EndsOfInputGiveTheirOwnMessages) {
    EXPECT_EQ(errorOf("[1, 2"), "Invalid number.");
    EXPECT_EQ(errorOf("[1, 2 "), unexpectedToken);
    EXPECT_EQ(errorOf("[1, 2,"), "Reached the end of the buffer.");
    EXPECT_EQ(errorOf("["), "Reached the end of the buffer.");
    EXPECT_EQ(errorOf("[[1]"), "Reached the end of the buffer.");
    EXPECT_EQ(errorOf("[[1,"), "Reached the end of the buffer.") << "a nested container that runs out, too";
    EXPECT_EQ(errorOf("{\"a\":[1,"), "Reached the end of the buffer.");
    EXPECT_EQ(errorOf("{\"a\""), unexpectedToken);
    EXPECT_EQ(errorOf("[true"), unexpectedToken) << "a literal needs one more byte after it";
}

TEST(JsonDecoder, ErrorsCarryTheIndexAndLine) {
    auto p = parse("[1,\n 2,\n ]");
    EXPECT_EQ(p.message(), "Unexpected ']'.");
    EXPECT_EQ(p.line(), 3u);
    EXPECT_EQ(p.index(), 10u) << "just after the offending token";

    EXPECT_EQ(parse("[\r\n\r\n x]").line(), 3u) << "CR LF counts once";
    EXPECT_EQ(parse("[\n\r x]").line(), 3u) << "LF CR counts twice";
    EXPECT_EQ(parse("[\r\r\n x]").line(), 3u);
}

TEST(JsonDecoder, UnicodeNewlinesCountOnlyWithTheirOption) {
    const std::string text = "[1,\xE2\x80\xA8 x]";
    EXPECT_EQ(parse(text, JKParseFlagUnicodeNewlines).line(), 2u);
    EXPECT_EQ(parse("[1,\xC2\x85\xE2\x80\xA9 x]", JKParseFlagUnicodeNewlines).line(), 3u);
    auto without = parse(text);
    EXPECT_EQ(without.message(), unexpectedToken);
    EXPECT_EQ(without.line(), 1u);
    EXPECT_TRUE(parse("[1,\xE2\x80\xA8 2]", JKParseFlagUnicodeNewlines).value);
}

TEST(JsonDecoder, CommentsAreWhiteSpaceOnlyWithTheirOption) {
    auto values = [](std::string_view text) {
        auto array = ns::cast<JKArray>(parse(text, JKParseFlagComments).value);
        std::string out;
        if (!array) return std::string("<fail>");
        for (const ns::Id& v : *array) out += ns::cast<ns::Number>(v)->stringValue() + ",";
        return out;
    };
    EXPECT_EQ(values("[1 // c\n,2]"), "1,2,");
    EXPECT_EQ(values("[1 /* c */ ,2]"), "1,2,");
    EXPECT_EQ(values("[1 /*/ ,2 */]"), "1,") << "the comment ends at the */ before the ]";
    EXPECT_EQ(values("/* lead */[1]// tail"), "1,");
    EXPECT_TRUE(parse("{\"a\":1} /* open", JKParseFlagComments).value);
    EXPECT_EQ(parse("[1, /* a\nb\r\nc */ x]", JKParseFlagComments).line(), 3u) << "newlines in comments count";
    EXPECT_EQ(parse("[1, // a\r\n x]", JKParseFlagComments).line(), 2u);

    EXPECT_EQ(errorOf("[1 // c\n,2]"), unexpectedToken);
    EXPECT_EQ(errorOf("[1 / 2]", JKParseFlagComments), unexpectedToken) << "a lone slash is no comment";
    EXPECT_EQ(errorOf("[1]/", JKParseFlagComments),
              "A valid JSON object was parsed but there were additional non-white-space characters remaining.");
}

TEST(JsonDecoder, TextAfterTheRootNeedsItsOption) {
    EXPECT_EQ(errorOf("{\"a\":1} x"),
              "A valid JSON object was parsed but there were additional non-white-space characters remaining.");
    auto lenient = parse("{\"a\":1} x", JKParseFlagTextAfterJSON);
    ASSERT_TRUE(ns::cast<JKDictionary>(lenient.value));
    EXPECT_FALSE(lenient.error);
    EXPECT_TRUE(parse("[1]  \n\t ").value);
}

TEST(JsonDecoder, LooseUnicodeAloneKeepsEverythingElseStrict) {
    const JKParseOptionFlags loose = JKParseFlagLooseUnicode;
    EXPECT_EQ(errorOf("[1 /* c */]", loose), unexpectedToken);
    EXPECT_EQ(errorOf("[1] x", loose),
              "A valid JSON object was parsed but there were additional non-white-space characters remaining.");
    EXPECT_EQ(errorOf("[1,\xE2\x80\xA8 2]", loose), unexpectedToken);
}

TEST(JsonDecoder, RepeatedKeysKeepTheLastValue) {
    auto dictionary = ns::cast<JKDictionary>(parse(R"({"a":1,"a":2})").value);
    ASSERT_TRUE(dictionary);
    EXPECT_EQ(dictionary->count(), 1u);
    EXPECT_EQ(ns::cast<ns::Number>(dictionary->objectForKey("a"))->longLongValue(), 2);
}

TEST(JsonDecoder, NestingDeeperThan512IsAnError) {
    const std::string deepest = std::string(512, '[') + std::string(512, ']');
    EXPECT_TRUE(parse(deepest).value);
    const std::string tooDeep = std::string(513, '[') + std::string(513, ']');
    EXPECT_EQ(errorOf(tooDeep), "Maximum nesting depth of 512 exceeded.");
    // Far deeper input must not exhaust the stack either.
    std::string hostile;
    for (int i = 0; i < 200000; ++i) hostile += "{\"a\":[";
    EXPECT_EQ(errorOf(hostile), "Maximum nesting depth of 512 exceeded.");
}

TEST(JsonDecoder, WideDocumentsGrowTheObjectStack) {
    std::string text = "[";
    for (int i = 0; i < 5000; ++i) text += (i ? ",[" : "[") + std::to_string(i) + ",{\"k\":" + std::to_string(i) + "}]";
    text += "]";
    auto array = ns::cast<JKArray>(parse(text).value);
    ASSERT_TRUE(array);
    ASSERT_EQ(array->count(), 5000u);
    auto last = ns::cast<JKArray>(array->objectAtIndex(4999));
    EXPECT_EQ(ns::cast<ns::Number>(last->objectAtIndex(0))->longLongValue(), 4999);
    auto inner = ns::cast<JKDictionary>(last->objectAtIndex(1));
    EXPECT_EQ(ns::cast<ns::Number>(inner->objectForKey("k"))->longLongValue(), 4999);
}

// A million elements and 700,000 keys: every value lands where it was
// written, including across the stack's growth steps.
TEST(JsonDecoder, VeryWideContainersKeepEveryValue) {
    constexpr int elements = 1000000;
    std::string text = "[";
    text.reserve(size_t(elements) * 8);
    for (int i = 0; i < elements; ++i) {
        if (i) text += ',';
        text += std::to_string(i % 3 == 0 ? -i : i);
    }
    text += "]";
    auto array = ns::cast<JKArray>(parse(text).value);
    ASSERT_TRUE(array);
    ASSERT_EQ(array->count(), size_t(elements));
    int wrong = 0;
    for (int i = 0; i < elements; ++i) {
        auto number = ns::cast<ns::Number>(array->objectAtIndex(size_t(i)));
        if (!number || number->longLongValue() != (i % 3 == 0 ? -i : i)) ++wrong;
    }
    EXPECT_EQ(wrong, 0);

    constexpr int keys = 700000;
    text = "{";
    for (int i = 0; i < keys; ++i) {
        if (i) text += ',';
        text += "\"k" + std::to_string(i) + "\":\"v" + std::to_string(keys - i) + "\"";
    }
    text += "}";
    auto dictionary = ns::cast<JKDictionary>(parse(text).value);
    ASSERT_TRUE(dictionary);
    ASSERT_EQ(dictionary->count(), size_t(keys));
    wrong = 0;
    for (int i = 0; i < keys; ++i) {
        auto value = ns::cast<ns::String>(dictionary->objectForKey(ns::str("k" + std::to_string(i))));
        if (!value || value->utf8() != "v" + std::to_string(keys - i)) ++wrong;
    }
    EXPECT_EQ(wrong, 0);
}

TEST(JsonDecoder, TheCacheSharesValuesBetweenParsesUntilCleared) {
    JSONDecoder decoder;
    const std::string text = R"({"k":"v","n":12})";
    auto a = ns::cast<JKDictionary>(decoder.objectWithUTF8String(text.data(), text.size()));
    auto b = ns::cast<JKDictionary>(decoder.objectWithUTF8String(text.data(), text.size()));
    ASSERT_TRUE(a && b);
    EXPECT_NE(a, b);
    ns::Id keysA[2], keysB[2];
    a->getObjectsAndKeys(nullptr, keysA);
    b->getObjectsAndKeys(nullptr, keysB);
    EXPECT_EQ(keysA[0], keysB[0]) << "the same key objects";
    EXPECT_EQ(keysA[1], keysB[1]);
    EXPECT_EQ(a->objectForKey("k"), b->objectForKey("k"));
    EXPECT_EQ(a->objectForKey("n"), b->objectForKey("n"));

    decoder.clearCache();
    auto c = ns::cast<JKDictionary>(decoder.objectWithUTF8String(text.data(), text.size()));
    EXPECT_NE(c->objectForKey("k"), a->objectForKey("k"));
    EXPECT_TRUE(c->objectForKey("k")->isEqual(a->objectForKey("k")));

    // Equal text of different kinds never shares: 1 and "1", 1 and 1.0.
    auto mixed = ns::cast<JKArray>(parse(R"([1,"1",1.0,-1,"-1"])").value);
    ASSERT_TRUE(mixed);
    EXPECT_TRUE(ns::cast<ns::Number>(mixed->objectAtIndex(0)));
    EXPECT_TRUE(ns::cast<ns::String>(mixed->objectAtIndex(1)));
    EXPECT_STREQ(ns::cast<ns::Number>(mixed->objectAtIndex(2))->objCType(), "d");
    EXPECT_TRUE(ns::cast<ns::String>(mixed->objectAtIndex(4)));
}

TEST(JsonDecoder, TheCacheSurvivesManyDistinctValues) {
    JSONDecoder decoder;
    std::string text = "[";
    for (int i = 0; i < 5000; ++i) text += (i ? ",\"s" : "\"s") + std::to_string(i % 3000) + "\"";
    text += "]";
    for (int round = 0; round < 2; ++round) {
        auto array = ns::cast<JKArray>(decoder.objectWithUTF8String(text.data(), text.size()));
        ASSERT_TRUE(array);
        for (uint64_t i = 0; i < array->count(); ++i) {
            ASSERT_EQ(ns::cast<ns::String>(array->objectAtIndex(i))->utf8(), "s" + std::to_string(i % 3000));
        }
    }
}

TEST(JsonDecoder, MutableEntryPointsMakeEveryContainerMutable) {
    JSONDecoder decoder;
    const std::string text = R"({"list":[1,{"inner":[]}]})";
    auto root = ns::cast<JKDictionary>(decoder.mutableObjectWithUTF8String(text.data(), text.size()));
    ASSERT_TRUE(root);
    root->setObjectForKey(ns::str("added"), "new");
    auto list = ns::cast<JKArray>(root->objectForKey("list"));
    list->addObject(ns::num(2));
    auto inner = ns::cast<JKArray>(ns::cast<JKDictionary>(list->objectAtIndex(1))->objectForKey("inner"));
    inner->addObject(ns::num(3));
    EXPECT_EQ(root->count(), 2u);
    EXPECT_EQ(list->count(), 3u);
    EXPECT_EQ(inner->count(), 1u);

    auto frozen = ns::cast<JKDictionary>(decoder.objectWithUTF8String(text.data(), text.size()));
    EXPECT_EQ(raisedBy([&] { frozen->setObjectForKey(ns::num(1), "x"); }),
              "NSInternalInconsistencyException: *** -[JKDictionary setObject:forKey:]: mutating method sent to "
              "immutable object");
    EXPECT_EQ(raisedBy([&] { ns::cast<JKArray>(frozen->objectForKey("list"))->addObject(ns::num(1)); }),
              "NSInternalInconsistencyException: *** -[JKArray insertObject:atIndex:]: mutating method sent to "
              "immutable object");

    auto data = ns::Data::withBytes(std::string_view("[[1]]"));
    auto fromData = ns::cast<JKArray>(decoder.mutableObjectWithData(data));
    ASSERT_TRUE(fromData);
    ns::cast<JKArray>(fromData->objectAtIndex(0))->addObject(ns::num(2));
}

TEST(JsonDecoder, TheErrorIsWrittenOnlyWhenTheParseFails) {
    JSONDecoder decoder;
    auto earlier = ns::Error::make("Earlier", 7);
    ns::Ref<ns::Error> error = earlier;
    EXPECT_TRUE(decoder.objectWithUTF8String("[1]", 3, &error));
    EXPECT_EQ(error, earlier);
    EXPECT_FALSE(decoder.objectWithUTF8String("[1", 2, &error));
    EXPECT_EQ(error->localizedDescription(), "Invalid number.");
    EXPECT_TRUE(decoder.objectWithUTF8String("[2]", 3)) << "ready again after a failure";
}

TEST(JsonDecoder, MisuseRaises) {
    EXPECT_EQ(raisedBy([] { JSONDecoder decoder(16); }), "NSInvalidArgumentException: Invalid parse options.");
    EXPECT_EQ(raisedBy([] { JSONDecoder::decoderWithParseOptions(UINT64_MAX); }),
              "NSInvalidArgumentException: Invalid parse options.");
    EXPECT_TRUE(JSONDecoder::decoderWithParseOptions(15));

    JSONDecoder decoder;
    EXPECT_EQ(raisedBy([&] { decoder.objectWithUTF8String(nullptr, 3); }),
              "NSInvalidArgumentException: The string argument is NULL.");
    EXPECT_EQ(raisedBy([&] { decoder.objectWithData(static_cast<const ns::Data*>(nullptr)); }),
              "NSInvalidArgumentException: The jsonData argument is NULL.");
    EXPECT_FALSE(decoder.objectWithData(ns::Data::make()));
    decoder.cleanUp();
    EXPECT_EQ(raisedBy([&] { decoder.objectWithUTF8String("[]", 2); }),
              "NSInternalInconsistencyException: parseState is NULL.");
}

TEST(JsonDecoder, OlderNamesParseLikeTheImmutableForms) {
    JSONDecoder decoder;
    ns::Ref<ns::Error> error;
    EXPECT_TRUE(ns::cast<JKArray>(decoder.parseUTF8String("[1]", 3)));
    EXPECT_FALSE(decoder.parseUTF8String("[1", 2, &error));
    EXPECT_TRUE(error);
    auto data = ns::Data::withBytes(std::string_view("{}"));
    EXPECT_TRUE(ns::cast<JKDictionary>(decoder.parseJSONData(data.get())));
}

TEST(JsonDecoder, PageMessagesParseWithLooseUnicode) {
    // The game page's message body: invalid UTF-8 inside a string becomes
    // U+FFFD instead of losing the message.
    auto body = ns::str(R"({"action":"login","data":{"name":"caf)" "\xC3\xA9" R"("}})");
    auto message = ns::cast<ns::Dictionary>(JKCodec::objectFromJSONStringWithParseOptions(*body, JKParseFlagLooseUnicode));
    ASSERT_TRUE(message);
    EXPECT_EQ(ns::cast<ns::String>(message->objectForKey("action"))->utf8(), "login");

    auto bytes = ns::Data::withBytes(std::string_view("{\"action\":\"pay\",\"data\":{\"n\":\"a\xFF\"}}"));
    EXPECT_FALSE(JKCodec::objectFromJSONData(*bytes));
    auto loose = ns::cast<ns::Dictionary>(JKCodec::objectFromJSONDataWithParseOptions(*bytes, JKParseFlagLooseUnicode));
    ASSERT_TRUE(loose);
    auto data = ns::cast<ns::Dictionary>(loose->objectForKey("data"));
    EXPECT_EQ(ns::cast<ns::String>(data->objectForKey("n"))->utf8(), "a\xEF\xBF\xBD");

    EXPECT_FALSE(JKCodec::objectFromJSONStringWithParseOptions(*ns::str("\"just text\""), JKParseFlagLooseUnicode));
    ns::Ref<ns::Error> error;
    EXPECT_FALSE(JKCodec::objectFromJSONStringWithParseOptions(*ns::str("{"), 0, &error));
    EXPECT_EQ(error->localizedDescription(), "Reached the end of the buffer.");

    auto mutableRoot = ns::cast<JKDictionary>(JKCodec::mutableObjectFromJSONString(*ns::str("{\"a\":[]}")));
    ASSERT_TRUE(mutableRoot);
    EXPECT_TRUE(mutableRoot->isMutable());
    // A lone surrogate in the text has no UTF-8 form: it reaches the parser as "?".
    auto lone = ns::String::withCharacters(u"[\"a\xD800\"]");
    auto parsed = ns::cast<JKArray>(JKCodec::objectFromJSONString(*lone));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(ns::cast<ns::String>(parsed->objectAtIndex(0))->utf8(), "a?");
}

}  // namespace
