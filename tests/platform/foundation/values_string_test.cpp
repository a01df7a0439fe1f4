#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "platform/foundation/CharacterSet.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Exception.h"

namespace ns {
namespace {

const std::string grinning = "\xF0\x9F\x98\x80";  // U+1F600, two UTF-16 units

TEST(StringUnits, LengthsCountUtf16Units) {
    EXPECT_EQ(str("")->length(), 0u);
    EXPECT_EQ(str("abc")->length(), 3u);
    EXPECT_EQ(str("中文字")->length(), 3u);
    EXPECT_EQ(str(grinning)->length(), 2u);
    EXPECT_EQ(str("a" + grinning + "中")->length(), 4u);
    // Family emoji: three people joined by two zero-width joiners.
    EXPECT_EQ(str("👨‍👩‍👧")->length(), 8u);
}

TEST(StringUnits, CharacterAtIndexHandsOutSurrogateHalves) {
    auto s = str("a" + grinning + "é");
    EXPECT_EQ(s->characterAtIndex(0), u'a');
    EXPECT_EQ(s->characterAtIndex(1), 0xD83D);
    EXPECT_EQ(s->characterAtIndex(2), 0xDE00);
    EXPECT_EQ(s->characterAtIndex(3), 0x00E9);
    EXPECT_THROW(s->characterAtIndex(4), Exception);
    EXPECT_EQ(s->utf16(), std::u16string(u"a\U0001F600\u00E9"));
}

TEST(StringUnits, SubstringsByUtf16Ranges) {
    auto s = str("中" + grinning + "x");
    EXPECT_EQ(s->substringWithRange({1, 2})->utf8(), grinning);
    EXPECT_EQ(s->substringFromIndex(3)->utf8(), "x");
    EXPECT_EQ(s->substringToIndex(1)->utf8(), "中");
    // Cutting through a pair leaves lone surrogates, kept losslessly.
    auto high = s->substringWithRange({1, 1});
    EXPECT_EQ(high->length(), 1u);
    EXPECT_EQ(high->characterAtIndex(0), 0xD83D);
    auto low = s->substringFromIndex(2);
    EXPECT_EQ(low->characterAtIndex(0), 0xDE00);
    try {
        s->substringWithRange({3, 5});
        FAIL() << "expected a range exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.name(), RangeException);
        EXPECT_NE(e.reason().find("{3, 5} out of bounds; string length 4"), std::string::npos) << e.reason();
    }
}

TEST(StringUnits, LoneSurrogatesSurviveRoundTrips) {
    std::u16string units = {u'a', 0xD800, u'b', 0xDC01};
    auto s = String::withCharacters(units);
    EXPECT_EQ(s->length(), 4u);
    EXPECT_EQ(s->utf16(), units);
    // A high and a low half appended separately become one proper pair.
    auto joined = MutableString::make();
    joined->appendString(String::withCharacters(std::u16string(1, char16_t(0xD83D))).get());
    joined->appendString(String::withCharacters(std::u16string(1, char16_t(0xDE00))).get());
    EXPECT_EQ(joined->utf8(), grinning);
    EXPECT_TRUE(joined->isEqual(str(grinning)));
    // No UTF-8 form exists for a lone surrogate.
    EXPECT_EQ(s->dataUsingEncoding(StringEncoding::UTF8), nullptr);
    EXPECT_EQ(s->stringByAddingPercentEncodingWithAllowedCharacters(*CharacterSet::URLQueryAllowed()), nullptr);
}

TEST(StringUnits, ComposedCharacterSequences) {
    // e + combining acute, a pair, a flag (two regional indicators), a
    // thumbs-up with skin tone, a joined family, CR LF.
    std::string text = "e\xCC\x81" + grinning + "🇨🇳" + "👍🏽" + "👨‍👩‍👧" + "\r\n" + "z";
    auto s = str(text);
    EXPECT_EQ(s->rangeOfComposedCharacterSequenceAtIndex(0), (Range{0, 2}));
    EXPECT_EQ(s->rangeOfComposedCharacterSequenceAtIndex(1), (Range{0, 2}));
    EXPECT_EQ(s->rangeOfComposedCharacterSequenceAtIndex(3), (Range{2, 2}));
    EXPECT_EQ(s->rangeOfComposedCharacterSequenceAtIndex(5), (Range{4, 4}));
    EXPECT_EQ(s->rangeOfComposedCharacterSequenceAtIndex(8), (Range{8, 4}));
    EXPECT_EQ(s->rangeOfComposedCharacterSequenceAtIndex(15), (Range{12, 8}));
    EXPECT_EQ(s->rangeOfComposedCharacterSequenceAtIndex(21), (Range{20, 2}));
    EXPECT_EQ(s->rangeOfComposedCharacterSequenceAtIndex(22), (Range{22, 1}));
    EXPECT_EQ(s->rangeOfComposedCharacterSequencesForRange({1, 3}), (Range{0, 4}));
    EXPECT_THROW(s->rangeOfComposedCharacterSequenceAtIndex(23), Exception);
}

TEST(StringBytes, Utf8IsValidatedOnTheWayIn) {
    EXPECT_EQ(String::withBytes("caf\xC3\xA9", 5, StringEncoding::UTF8)->utf8(), "café");
    EXPECT_EQ(String::withBytes("\xC0\x80", 2, StringEncoding::UTF8), nullptr);      // overlong
    EXPECT_EQ(String::withBytes("\xED\xA0\x80", 3, StringEncoding::UTF8), nullptr);  // surrogate
    EXPECT_EQ(String::withBytes("\xE2\x82", 2, StringEncoding::UTF8), nullptr);      // cut short
    EXPECT_EQ(String::withBytes("\xFF", 1, StringEncoding::UTF8), nullptr);
    // make() takes program text; stray bytes become U+FFFD rather than failing.
    EXPECT_EQ(str("a\xFF" "b")->utf8(), "a\xEF\xBF\xBD" "b");
}

TEST(StringBytes, OtherEncodings) {
    auto s = str("é" + grinning);
    EXPECT_EQ(s->dataUsingEncoding(StringEncoding::UTF16LittleEndian)->view(), std::string("\xE9\x00\x3D\xD8\x00\xDE", 6));
    EXPECT_EQ(s->dataUsingEncoding(StringEncoding::UTF16BigEndian)->view(), std::string("\x00\xE9\xD8\x3D\xDE\x00", 6));
    EXPECT_EQ(s->dataUsingEncoding(StringEncoding::UTF16)->view().substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(s->lengthOfBytesUsingEncoding(StringEncoding::UTF16), 6u);
    EXPECT_EQ(String::withBytes("\xFE\xFF\x00\x41", 4, StringEncoding::UTF16)->utf8(), "A");
    EXPECT_EQ(String::withBytes("\xE9", 1, StringEncoding::ISOLatin1)->utf8(), "é");
    EXPECT_EQ(s->dataUsingEncoding(StringEncoding::ASCII), nullptr);
    EXPECT_EQ(s->dataUsingEncoding(StringEncoding::ISOLatin1, true)->view(), "\xE9?");
    EXPECT_FALSE(str("User-Agent 中")->canBeConvertedToEncoding(StringEncoding::ASCII));
}

TEST(StringCompare, EqualityHashAndCopies) {
    auto a = str("key");
    auto m = MutableString::make("key");
    EXPECT_TRUE(a->isEqual(m));
    EXPECT_EQ(a->hash(), m->hash());
    // The hash is ours and fixed: FNV-1a of the UTF-8 bytes.
    EXPECT_EQ(str("")->hash(), 0xcbf29ce484222325ull);
    EXPECT_EQ(str("a")->hash(), 0xaf63dc4c8601ec8cull);
    EXPECT_FALSE(a->isEqual(str("Key")));

    EXPECT_EQ(a->copy(), a);  // immutable: the copy is the object itself
    auto mutableCopy = cast<MutableString>(a->mutableCopy());
    ASSERT_TRUE(mutableCopy);
    mutableCopy->appendString("s");
    EXPECT_EQ(a->utf8(), "key");
    auto frozen = m->copy();
    EXPECT_FALSE(cast<MutableString>(frozen));
    m->appendString("!");
    EXPECT_EQ(cast<String>(frozen)->utf8(), "key");
}

TEST(StringCompare, OrderIsByUtf16Units) {
    // U+FF5E is above the lead surrogate of U+1F600 in UTF-16 order, though
    // below it as a code point.
    EXPECT_EQ(str("～")->compare(*str(grinning)), ComparisonResult::Descending);
    EXPECT_EQ(str("abc")->compare(*str("abd")), ComparisonResult::Ascending);
    EXPECT_EQ(str("ab")->compare(*str("abc")), ComparisonResult::Ascending);
    EXPECT_EQ(str("B")->compare(*str("a")), ComparisonResult::Ascending);
    EXPECT_EQ(str("B")->caseInsensitiveCompare(*str("a")), ComparisonResult::Descending);
    EXPECT_EQ(str("HeLLo")->caseInsensitiveCompare(*str("hello")), ComparisonResult::Same);
    EXPECT_EQ(str("v2.10")->compare(*str("v2.9"), NumericSearch), ComparisonResult::Descending);
    EXPECT_EQ(str("v2.10")->compare(*str("v2.9")), ComparisonResult::Ascending);
    EXPECT_EQ(str("file007")->compare(*str("file7"), NumericSearch), ComparisonResult::Same);
}

TEST(StringSearch, RangesAndOptions) {
    auto s = str("中a" + grinning + "abcABC");
    EXPECT_EQ(s->rangeOfString("abc"), (Range{4, 3}));
    EXPECT_EQ(s->rangeOfString(grinning), (Range{2, 2}));
    EXPECT_EQ(s->rangeOfString("ABC"), (Range{7, 3}));
    EXPECT_EQ(s->rangeOfString("abc", BackwardsSearch | CaseInsensitiveSearch), (Range{7, 3}));
    EXPECT_EQ(s->rangeOfString("a", 0, {2, 8}), (Range{4, 1}));
    EXPECT_FALSE(s->rangeOfString("中", AnchoredSearch | BackwardsSearch).found());
    EXPECT_EQ(s->rangeOfString("中", AnchoredSearch), (Range{0, 1}));
    EXPECT_FALSE(s->rangeOfString("").found());
    EXPECT_FALSE(s->rangeOfString("xyz").found());
    EXPECT_EQ(s->rangeOfCharacterFromSet(*CharacterSet::decimalDigits()).location, NotFound);
    EXPECT_EQ(str("ab1c2")->rangeOfCharacterFromSet(*CharacterSet::decimalDigits(), BackwardsSearch), (Range{4, 1}));
    // The platform answers NO for an empty prefix or suffix.
    EXPECT_FALSE(s->hasPrefix(""));
    EXPECT_TRUE(s->hasPrefix("中a"));
    EXPECT_TRUE(s->hasSuffix("ABC"));
}

TEST(StringDerived, SplittingReplacingTrimming) {
    auto parts = str("a,,b,")->componentsSeparatedByString(",");
    ASSERT_EQ(parts.size(), 4u);
    EXPECT_EQ(parts[0]->utf8(), "a");
    EXPECT_EQ(parts[1]->utf8(), "");
    EXPECT_EQ(parts[3]->utf8(), "");
    EXPECT_EQ(str("abc")->componentsSeparatedByString("").size(), 1u);
    EXPECT_EQ(str("a b\tc")->componentsSeparatedByCharactersInSet(*CharacterSet::whitespace()).size(), 3u);
    EXPECT_EQ(str("aXbXX")->stringByReplacingOccurrencesOfString("X", "--")->utf8(), "a--b----");
    EXPECT_EQ(str("aaa")->stringByReplacingOccurrencesOfString("aa", "b")->utf8(), "ba");
    EXPECT_EQ(str(" \t\n x y \r\n")->stringByTrimmingWhitespaceAndNewlines()->utf8(), "x y");
    EXPECT_EQ(str(" \tx\n ")->stringByTrimmingWhitespace()->utf8(), "x\n");
    EXPECT_EQ(str("\u3000全角\u3000")->stringByTrimmingWhitespace()->utf8(), "全角");
    EXPECT_EQ(str("   ")->stringByTrimmingWhitespace()->utf8(), "");
    EXPECT_EQ(str("MiXeD é")->lowercaseString()->utf8(), "mixed é");
    EXPECT_EQ(str("MiXeD é")->uppercaseString()->utf8(), "MIXED é");
}

TEST(StringDerived, PercentEscapes) {
    auto query = CharacterSet::URLQueryAllowed();
    EXPECT_EQ(str("http://h/p?q=a b&c=中")->stringByAddingPercentEncodingWithAllowedCharacters(*query)->utf8(),
              "http://h/p?q=a%20b&c=%E4%B8%AD");
    // An existing escape is escaped again: "%" is not in the set.
    EXPECT_EQ(str("a%20b")->stringByAddingPercentEncodingWithAllowedCharacters(*query)->utf8(), "a%2520b");
    auto field = cast<MutableCharacterSet>(query->mutableCopy());
    field->removeCharactersInString(":#[]@!$&'()*+,;=");
    EXPECT_EQ(str("a[]=1&b")->stringByAddingPercentEncodingWithAllowedCharacters(*field)->utf8(), "a%5B%5D%3D1%26b");
    EXPECT_EQ(str("a%20b%E4%B8%AD")->stringByRemovingPercentEncoding()->utf8(), "a b中");
    EXPECT_EQ(str("100%")->stringByRemovingPercentEncoding(), nullptr);
    EXPECT_EQ(str("%zz")->stringByRemovingPercentEncoding(), nullptr);
    EXPECT_EQ(str("%FF")->stringByRemovingPercentEncoding(), nullptr);
    EXPECT_EQ(str("https://h/a b?x=%7C#f")->stringByAddingPercentEscapesUsingEncoding(StringEncoding::UTF8)->utf8(),
              "https://h/a%20b?x=%257C#f");
}

TEST(StringDerived, Paths) {
    EXPECT_EQ(str("/tmp/scratch.tiff")->lastPathComponent()->utf8(), "scratch.tiff");
    EXPECT_EQ(str("/tmp/")->lastPathComponent()->utf8(), "tmp");
    EXPECT_EQ(str("/")->lastPathComponent()->utf8(), "/");
    EXPECT_EQ(str("/tmp/scratch.tiff")->pathExtension()->utf8(), "tiff");
    EXPECT_EQ(str("/tmp/.hidden")->pathExtension()->utf8(), "");
    EXPECT_EQ(str("/tmp/")->stringByAppendingPathComponent("a.txt")->utf8(), "/tmp/a.txt");
    EXPECT_EQ(str("")->stringByAppendingPathComponent("a")->utf8(), "a");
    EXPECT_EQ(str("/tmp/lock/")->stringByDeletingLastPathComponent()->utf8(), "/tmp");
    EXPECT_EQ(str("/tmp")->stringByDeletingLastPathComponent()->utf8(), "/");
    EXPECT_EQ(str("a.txt")->stringByDeletingLastPathComponent()->utf8(), "");
    EXPECT_EQ(str("/a.b/c.tar.gz")->stringByDeletingPathExtension()->utf8(), "/a.b/c.tar");
    EXPECT_EQ(str("/a.b/c")->stringByDeletingPathExtension()->utf8(), "/a.b/c");
}

TEST(StringNumbers, LeadingSpaceSignAndDigits) {
    EXPECT_EQ(str("  42abc")->intValue(), 42);
    EXPECT_EQ(str("\n\t-17")->integerValue(), -17);
    EXPECT_EQ(str("+8")->longLongValue(), 8);
    EXPECT_EQ(str("abc")->intValue(), 0);
    EXPECT_EQ(str("- 5")->intValue(), 0);
    EXPECT_EQ(str("99999999999")->intValue(), INT32_MAX);
    EXPECT_EQ(str("-99999999999")->intValue(), INT32_MIN);
    EXPECT_EQ(str("9223372036854775807")->longLongValue(), INT64_MAX);
    EXPECT_EQ(str("99999999999999999999999")->longLongValue(), INT64_MAX);
    EXPECT_EQ(str("-9223372036854775808")->longLongValue(), INT64_MIN);
    EXPECT_EQ(str(" 3.25e2xyz")->doubleValue(), 325.0);
    EXPECT_EQ(str("-.5")->doubleValue(), -0.5);
    EXPECT_EQ(str("1e")->doubleValue(), 1.0);
    EXPECT_EQ(str("1,5")->doubleValue(), 1.0);
    EXPECT_EQ(str(".")->doubleValue(), 0.0);
    EXPECT_EQ(str("1e999")->doubleValue(), HUGE_VAL);
    EXPECT_FLOAT_EQ(str("0.1")->floatValue(), 0.1f);
}

TEST(StringNumbers, BoolValue) {
    for (const char* yes : {"YES", "yes", "true", "T", "1", " 001", "-5", "9z"}) EXPECT_TRUE(str(yes)->boolValue()) << yes;
    for (const char* no : {"NO", "false", "0", "000", "", " ", "abc", "null"}) EXPECT_FALSE(str(no)->boolValue()) << no;
}

TEST(MutableStringOps, EditsByUtf16Ranges) {
    auto m = MutableString::make("héllo");
    m->appendFormat(" %d/%@", 5, str("x"));
    EXPECT_EQ(m->utf8(), "héllo 5/x");
    m->insertString(grinning, 1);
    EXPECT_EQ(m->utf8(), "h" + grinning + "éllo 5/x");
    EXPECT_EQ(m->length(), 11u);
    m->deleteCharactersInRange({1, 2});
    EXPECT_EQ(m->utf8(), "héllo 5/x");
    m->replaceCharactersInRange({0, 5}, "中文");
    EXPECT_EQ(m->utf8(), "中文 5/x");
    EXPECT_EQ(m->length(), 6u);
    EXPECT_THROW(m->deleteCharactersInRange({5, 2}), Exception);
    EXPECT_THROW(m->insertString("x", 7), Exception);
    EXPECT_THROW(m->appendString(static_cast<const String*>(nullptr)), Exception);
    m->setString("");
    EXPECT_EQ(m->length(), 0u);
}

TEST(StringBytes, TextIsKeptInOneFormSoEqualTextHasEqualBytes) {
    // A pair written as two three-byte halves (CESU-8) is joined into the
    // four-byte form, so it equals, and hashes like, the same character.
    auto halves = str("\xED\xA0\xBD\xED\xB8\x80");
    EXPECT_EQ(halves->utf8(), grinning);
    EXPECT_EQ(halves->hash(), str(grinning)->hash());
    // A half on its own stays as it is.
    EXPECT_EQ(str("x\xED\xA0\xBDy")->length(), 3u);
    // A sequence cut short is one replacement character, not one per byte.
    EXPECT_EQ(str("a\xF0\x9F\x98")->utf8(), "a\xEF\xBF\xBD");
}

TEST(CharacterSets, MembershipAndEditing) {
    const auto& alnum = CharacterSet::alphanumerics();
    EXPECT_TRUE(alnum->contains('z'));
    EXPECT_TRUE(alnum->contains(U'中'));
    EXPECT_TRUE(alnum->contains(U'é'));
    EXPECT_FALSE(alnum->contains('-'));
    EXPECT_TRUE(CharacterSet::newline()->contains(0x2028));
    EXPECT_FALSE(CharacterSet::whitespace()->contains('\n'));
    EXPECT_FALSE(CharacterSet::URLQueryAllowed()->contains('#'));
    EXPECT_FALSE(CharacterSet::URLPathAllowed()->contains('?'));
    EXPECT_TRUE(CharacterSet::URLHostAllowed()->contains('['));
    EXPECT_FALSE(CharacterSet::URLUserAllowed()->contains(':'));

    auto set = MutableCharacterSet::make();
    set->addCharactersInRange('a', 'z');
    set->removeCharactersInString("aeiou");
    EXPECT_TRUE(set->contains('b'));
    EXPECT_FALSE(set->contains('e'));
    auto inverted = set->invertedSet();
    EXPECT_TRUE(inverted->contains('e'));
    EXPECT_TRUE(inverted->contains(0x10FFFF));
    EXPECT_FALSE(inverted->contains('b'));
    set->formIntersectionWithCharacterSet(*CharacterSet::withCharactersInString("abcxyz"));
    EXPECT_TRUE(set->isEqual(CharacterSet::withCharactersInString("bcxyz")));
    auto frozen = set->copy();
    set->invert();
    EXPECT_TRUE(cast<CharacterSet>(frozen)->contains('b'));
    EXPECT_FALSE(set->contains('b'));
}

TEST(Registration, ValueClassesUnderPlatformNames) {
    EXPECT_EQ(str("x")->className(), "NSString");
    EXPECT_EQ(MutableString::make()->className(), "NSMutableString");
    EXPECT_TRUE(MutableString::make()->isKindOf("NSString"));
    EXPECT_TRUE(CharacterSet::whitespace()->isKindOf("NSCharacterSet"));
}

}  // namespace
}  // namespace ns
