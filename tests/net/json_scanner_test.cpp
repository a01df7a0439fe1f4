// Strings and numbers as the decoder scans them: kinds, escapes, Unicode
// checks and the exact messages of each failure.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "json_test_support.h"
#include "net/JKArray.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"

namespace {

using jsontest::errorOf;
using jsontest::parse;

ns::Id first(std::string_view text, JKParseOptionFlags options = 0) {
    auto array = ns::cast<JKArray>(parse(text, options).value);
    return array && array->count() ? array->objectAtIndex(0) : nullptr;
}

ns::Ref<ns::Number> firstNumber(std::string_view text) { return ns::cast<ns::Number>(first(text)); }

std::string firstText(std::string_view text, JKParseOptionFlags options = 0) {
    auto s = ns::cast<ns::String>(first(text, options));
    return s ? s->utf8() : "<none>";
}

TEST(JsonScanner, NumberKindsFollowHowTheNumberIsWritten) {
    auto negativeZero = firstNumber("[-0]");
    ASSERT_TRUE(negativeZero);
    EXPECT_STREQ(negativeZero->objCType(), "d");
    EXPECT_TRUE(std::signbit(negativeZero->doubleValue()));

    auto minusOne = firstNumber("[-1]");
    EXPECT_STREQ(minusOne->objCType(), "q");
    EXPECT_EQ(minusOne->longLongValue(), -1);

    auto largestSigned = firstNumber("[9223372036854775807]");
    EXPECT_STREQ(largestSigned->objCType(), "q");
    EXPECT_EQ(largestSigned->longLongValue(), INT64_MAX);

    auto largestUnsigned = firstNumber("[18446744073709551615]");
    EXPECT_STREQ(largestUnsigned->objCType(), "Q");
    EXPECT_EQ(largestUnsigned->unsignedLongLongValue(), UINT64_MAX);

    auto smallest = firstNumber("[-9223372036854775808]");
    EXPECT_EQ(smallest->longLongValue(), INT64_MIN);

    EXPECT_STREQ(firstNumber("[0]")->objCType(), "q");
    EXPECT_STREQ(firstNumber("[1.5]")->objCType(), "d");
    EXPECT_STREQ(firstNumber("[1e2]")->objCType(), "d");
    EXPECT_DOUBLE_EQ(firstNumber("[-12.5E-1]")->doubleValue(), -1.25);
    EXPECT_DOUBLE_EQ(firstNumber("[2.5e+3]")->doubleValue(), 2500);
}

TEST(JsonScanner, NumbersOutOfRangeAreRefusedWithTheirText) {
    EXPECT_EQ(errorOf("[18446744073709551616]"),
              "The value '18446744073709551616' exceeded the maximum value that could be represented: "
              "18446744073709551615.");
    EXPECT_EQ(errorOf("[-9223372036854775809]"),
              "The value '-9223372036854775809' exceeded the minimum value that could be represented: "
              "-9223372036854775808.");
    EXPECT_EQ(errorOf("[1e999]"), "The value '1e999' could not be represented as a 'double' due to overflow.");
    EXPECT_EQ(errorOf("[-1e999]"), "The value '-1e999' could not be represented as a 'double' due to overflow.");
    EXPECT_EQ(errorOf("[1e-999]"), "The value '1e-999' could not be represented as a 'double' due to underflow.");
    // A subnormal result is an underflow too, and refused.
    EXPECT_EQ(errorOf("[4.9e-324]"), "The value '4.9e-324' could not be represented as a 'double' due to underflow.");
    EXPECT_EQ(errorOf("[2.2e-308]"), "The value '2.2e-308' could not be represented as a 'double' due to underflow.");
    EXPECT_EQ(errorOf("[0e-999]"), "") << "an exact zero is no underflow";
    EXPECT_EQ(errorOf("[2.3e-308]"), "") << "the smallest normal range is fine";
}

TEST(JsonScanner, MalformedNumbersAreInvalid) {
    for (const char* text : {"[1.]", "[-]", "[1e]", "[1e+]", "[-a]", "[1.e5]", "[1, 2", "[12"}) {
        EXPECT_EQ(errorOf(text), "Invalid number.") << text;
    }
    EXPECT_EQ(errorOf("[+1]"), errorOf("[x]")) << "a plus sign starts no token";
    EXPECT_EQ(errorOf("[.5]"), errorOf("[x]")) << "nor does a point";
    EXPECT_EQ(errorOf("[01]"), "Expected a comma or a ']', not '1'");
    EXPECT_EQ(errorOf("[-01]"), "Expected a comma or a ']', not '1'");
}

TEST(JsonScanner, EscapesAndUnicodeEscapesDecode) {
    EXPECT_EQ(firstText(R"(["a\"b\\c\/d\b\f\n\r\t"])"), "a\"b\\c/d\b\f\n\r\t");
    EXPECT_EQ(firstText(R"(["\u00e9"])"), "\xC3\xA9");
    EXPECT_EQ(firstText(R"(["\u00E9x"])"), "\xC3\xA9x");
    EXPECT_EQ(firstText(R"(["\ud83d\ude00"])"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(firstText(R"(["\u0041\u4e2d"])"), "A\xE4\xB8\xAD");
    EXPECT_EQ(firstText("[\"caf\xC3\xA9 \xE4\xB8\xAD\"]"), "caf\xC3\xA9 \xE4\xB8\xAD") << "raw UTF-8 is kept";
}

TEST(JsonScanner, BadUnicodeEscapesFailStrictlyAndBecomeReplacementsLoosely) {
    const std::string replacement = "\xEF\xBF\xBD";
    EXPECT_EQ(errorOf(R"(["\u0000"])"), "Illegal \\u Unicode escape sequence.");
    EXPECT_EQ(firstText(R"(["\u0000"])", JKParseFlagLooseUnicode), replacement);

    EXPECT_EQ(errorOf(R"(["\ud800x"])"),
              "Required a second \\u Unicode escape sequence following a surrogate \\u Unicode escape sequence.");
    EXPECT_EQ(firstText(R"(["\ud800x"])", JKParseFlagLooseUnicode), replacement + "x");
    EXPECT_EQ(firstText(R"(["\ud800\n"])", JKParseFlagLooseUnicode), replacement + "\n")
        << "the backslash that starts no \\u is read again";

    EXPECT_EQ(errorOf(R"(["\udc00"])"), "Illegal \\u Unicode escape sequence.");
    EXPECT_EQ(firstText(R"(["\udc00"])", JKParseFlagLooseUnicode), replacement);

    EXPECT_EQ(errorOf(R"(["\ud800\u0041"])"), "Illegal \\u Unicode escape sequence.");
    EXPECT_EQ(firstText(R"(["\ud800\u0041"])", JKParseFlagLooseUnicode), replacement) << "one replacement, no A";

    EXPECT_EQ(errorOf(R"(["\ufffe"])"), "Illegal \\u Unicode escape sequence.");
    EXPECT_EQ(errorOf(R"(["\ufdd0"])"), "Illegal \\u Unicode escape sequence.");

    EXPECT_EQ(errorOf(R"(["\x"])"), "Invalid escape sequence found in \"\" string.");
    EXPECT_EQ(errorOf(R"(["\u12G4"])"),
              "Unexpected character found in \\u Unicode escape sequence.  Found 'G', expected [0-9a-fA-F].");
}

TEST(JsonScanner, RawControlCharactersAreRefused) {
    EXPECT_EQ(errorOf("[\"a\tb\"]"), "Invalid character < 0x20 found in string: 0x09.");
    EXPECT_EQ(errorOf("[\"a\\n\x1f\"]"), "Invalid character < 0x20 found in string: 0x1f.") << "on the slow path too";
    EXPECT_EQ(errorOf("[\"abc"), "Invalid string.");
    EXPECT_EQ(errorOf("[\"abc\\"), "Invalid string.");
}

TEST(JsonScanner, IllFormedUTF8FailsStrictlyAndIsReplacedLoosely) {
    const std::string replacement = "\xEF\xBF\xBD";
    const struct {
        const char* bytes;
        const char* name;
    } cases[] = {{"\xFF", "FF"}, {"\xC0\x80", "overlong NUL"}, {"\xED\xA0\x80", "surrogate"}, {"\xEF\xBF\xBE", "U+FFFE"}};
    for (const auto& c : cases) {
        const std::string text = std::string("[\"a") + c.bytes + "b\"]";
        EXPECT_EQ(errorOf(text), "Illegal UTF8 sequence found in \"\" string.") << c.name;
        EXPECT_EQ(firstText(text, JKParseFlagLooseUnicode), "a" + replacement + "b") << c.name;
    }
    // After an escape the value is built in the token buffer; the rule holds there too.
    EXPECT_EQ(firstText("[\"\\n\xFF\xFE\"]", JKParseFlagLooseUnicode), "\n" + replacement + replacement);

    const std::string cutOff = "[\"a\xE2\x82";
    EXPECT_EQ(errorOf(cutOff), "End of buffer reached while parsing UTF8 in \"\" string.");
    EXPECT_EQ(errorOf(cutOff, JKParseFlagLooseUnicode), "End of buffer reached while parsing UTF8 in \"\" string.");
}

TEST(JsonScanner, DecodedStringsCountInUTF16Units) {
    auto array = ns::cast<JKArray>(parse(R"(["abc","\u00e9\ud83d\ude00x",")" "\xE4\xB8\xAD" R"("])").value);
    ASSERT_TRUE(array);
    auto ascii = ns::cast<ns::String>(array->objectAtIndex(0));
    EXPECT_EQ(ascii->length(), 3u);
    EXPECT_EQ(ascii->characterAtIndex(1), u'b');
    auto mixed = ns::cast<ns::String>(array->objectAtIndex(1));
    EXPECT_EQ(mixed->length(), 4u) << "U+00E9, a surrogate pair, x";
    EXPECT_EQ(mixed->characterAtIndex(1), char16_t(0xD83D));
    EXPECT_EQ(mixed->substringFromIndex(3)->utf8(), "x");
    EXPECT_EQ(ns::cast<ns::String>(array->objectAtIndex(2))->length(), 1u);
    EXPECT_EQ(mixed->className(), "NSString");
    EXPECT_TRUE(mixed->isEqual(ns::str("\xC3\xA9\xF0\x9F\x98\x80x")));
    EXPECT_EQ(mixed->hash(), ns::str("\xC3\xA9\xF0\x9F\x98\x80x")->hash());

    // Long enough to be counted several bytes at a time, with every width.
    std::string text;
    for (int i = 0; i < 20; ++i) text += "ab\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80" + std::string(i % 3, 'z');
    auto longer = ns::cast<ns::String>(first("[\"" + text + "\"]"));
    ASSERT_TRUE(longer);
    EXPECT_EQ(longer->length(), ns::str(text)->length());
    EXPECT_EQ(longer->utf16(), ns::str(text)->utf16());
    auto longAscii = ns::cast<ns::String>(first("[\"" + std::string(37, 'q') + "\"]"));
    EXPECT_EQ(longAscii->length(), 37u);
    EXPECT_EQ(longAscii->characterAtIndex(36), u'q');
}

TEST(JsonScanner, LongStringsNeedingDecodingGrowTheTokenBuffer) {
    std::string expected, text = "[\"";
    for (int i = 0; i < 5000; ++i) {
        text += (i % 100 == 0) ? "\\u00e9" : "x";
        expected += (i % 100 == 0) ? "\xC3\xA9" : "x";
    }
    text += "\"]";
    EXPECT_EQ(firstText(text), expected);
}

}  // namespace
