#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/RegularExpression.h"
#include "platform/foundation/String.h"
#include "platform/foundation/Text.h"
#include "platform/runtime/Exception.h"

namespace ns {
namespace {

Ref<RegularExpression> regex(std::string_view pattern, uint64_t options = 0) {
    Ref<Error> error;
    auto expression = RegularExpression::withPattern(pattern, options, &error);
    EXPECT_NE(expression, nullptr) << pattern;
    EXPECT_EQ(error, nullptr);
    return expression;
}

std::vector<Range> matchRanges(const RegularExpression& expression, const String& text, uint64_t options = 0) {
    std::vector<Range> ranges;
    auto matches = expression.matchesInString(text, options);
    for (uint64_t i = 0; i < matches->count(); ++i) {
        ranges.push_back(cast<TextCheckingResult>(matches->objectAtIndex(i))->range());
    }
    return ranges;
}

bool anyMatch(std::string_view pattern, std::string_view text) {
    auto s = str(std::string(text));
    return regex(pattern)->numberOfMatchesInString(*s) > 0;
}

TEST(RegularExpression, RangesCountUtf16UnitsAroundEmoji) {
    auto text = str("a😀b😀");
    EXPECT_EQ(matchRanges(*regex("."), *text), (std::vector<Range>{{0, 1}, {1, 2}, {3, 1}, {4, 2}}));
    auto match = regex("b(.)")->firstMatchInString(*text);
    ASSERT_NE(match, nullptr);
    EXPECT_EQ(match->range(), (Range{3, 3}));
    ASSERT_EQ(match->numberOfRanges(), 2u);
    EXPECT_EQ(match->rangeAtIndex(1), (Range{4, 2}));
    EXPECT_EQ(text->substringWithRange(match->rangeAtIndex(1))->utf8(), "😀");
    EXPECT_THROW(match->rangeAtIndex(2), Exception);
}

TEST(RegularExpression, InvalidPatternGivesTheCocoaFormattingError) {
    for (std::string_view bad : {"(unclosed", "*leading", "[z-a]", "a{2,1}"}) {
        Ref<Error> error;
        EXPECT_EQ(RegularExpression::withPattern(bad, 0, &error), nullptr) << bad;
        ASSERT_NE(error, nullptr) << bad;
        EXPECT_EQ(error->domain(), CocoaErrorDomain);
        EXPECT_EQ(error->code(), 2048);
        EXPECT_EQ(textOf(error->userInfo()->objectForKey("NSInvalidValue")), bad);
    }
    EXPECT_EQ(RegularExpression::withPattern("(", 0), nullptr);  // no error out-parameter
}

TEST(RegularExpression, OptionsChangeWhatMatches) {
    auto lines = str("one\ntwo");
    EXPECT_EQ(regex("^\\w+$")->numberOfMatchesInString(*lines), 0u);
    EXPECT_EQ(regex("^\\w+$", RegularExpressionAnchorsMatchLines)->numberOfMatchesInString(*lines), 2u);
    EXPECT_EQ(regex("e.t")->numberOfMatchesInString(*lines), 0u);
    EXPECT_EQ(regex("e.t", RegularExpressionDotMatchesLineSeparators)->numberOfMatchesInString(*lines), 1u);
    EXPECT_EQ(regex("straße", RegularExpressionCaseInsensitive)->numberOfMatchesInString(*str("STRASSE Straße")), 2u);
    EXPECT_EQ(regex("a.c", RegularExpressionIgnoreMetacharacters)->numberOfMatchesInString(*str("abc a.c")), 1u);
}

TEST(RegularExpression, SearchRangeAndItsBounds) {
    auto text = str("ab ab ab");
    EXPECT_EQ(regex("ab")->numberOfMatchesInString(*text, 0, {1, 6}), 1u);
    EXPECT_EQ(regex("^ab")->rangeOfFirstMatchInString(*text, 0, {3, 5}), (Range{3, 2}));
    EXPECT_FALSE(regex("^ab")->rangeOfFirstMatchInString(*text, MatchingWithoutAnchoringBounds, {3, 5}).found());
    // Look-ahead sees past the range only with transparent bounds.
    EXPECT_FALSE(regex("ab(?= )")->rangeOfFirstMatchInString(*text, 0, {3, 2}).found());
    EXPECT_EQ(regex("ab(?= )")->rangeOfFirstMatchInString(*text, MatchingWithTransparentBounds, {3, 2}), (Range{3, 2}));
    EXPECT_THROW(regex("ab")->numberOfMatchesInString(*text, 0, {4, 5}), Exception);
}

TEST(RegularExpression, AnchoredMatchesMustFollowOneAnother) {
    auto text = str("12a3");
    EXPECT_EQ(regex("\\d")->numberOfMatchesInString(*text), 3u);
    EXPECT_EQ(regex("\\d")->numberOfMatchesInString(*text, MatchingAnchored), 2u);
    EXPECT_EQ(regex("a")->firstMatchInString(*text, MatchingAnchored), nullptr);
}

TEST(RegularExpression, EnumerationStopsWhenToldAndReportsCompletion) {
    auto text = str("x1 x2 x3");
    std::vector<uint64_t> flags;
    regex("x\\d")->enumerateMatchesInString(*text, MatchingReportCompletion, {0, text->length()},
                                            [&](const Ref<TextCheckingResult>& result, uint64_t f, bool&) {
                                                flags.push_back(f);
                                                EXPECT_EQ(result == nullptr, f == MatchingCompleted);
                                            });
    EXPECT_EQ(flags, (std::vector<uint64_t>{0, 0, 0, MatchingCompleted}));
    int seen = 0;
    regex("x\\d")->enumerateMatchesInString(*text, MatchingReportCompletion, {0, text->length()},
                                            [&](const Ref<TextCheckingResult>&, uint64_t, bool& stop) {
                                                ++seen;
                                                stop = true;
                                            });
    EXPECT_EQ(seen, 1);
}

TEST(RegularExpression, TemplatesFillInGroups) {
    auto mail = regex("(\\w+)@(\\w+)");
    EXPECT_EQ(mail->stringByReplacingMatchesInString(*str("to ann@home, bob@work."), "$2 at $1")->utf8(),
              "to home at ann, work at bob.");
    EXPECT_EQ(mail->stringByReplacingMatchesInString(*str("ann@home"), "\\$1 costs $$1")->utf8(), "$1 costs $ann");
    // Only one group: "$12" is group 1 followed by "2"; "$9" names nothing.
    EXPECT_EQ(regex("(a)")->stringByReplacingMatchesInString(*str("xa"), "[$12$9]")->utf8(), "x[a2]");
    // An optional group that did not take part gives nothing.
    EXPECT_EQ(regex("(a)?b")->stringByReplacingMatchesInString(*str("b ab"), "<$1>")->utf8(), "<> <a>");
    // Only inside the range, with emoji around it left intact.
    auto text = str("😀x😀x");
    EXPECT_EQ(regex("x")->stringByReplacingMatchesInString(*text, 0, {3, 3}, "y")->utf8(), "😀x😀y");

    auto mutableText = MutableString::make("a-b-c");
    EXPECT_EQ(regex("-")->replaceMatchesInString(*mutableText, 0, {0, mutableText->length()}, "+"), 2u);
    EXPECT_EQ(mutableText->utf8(), "a+b+c");
}

TEST(RegularExpression, EscapedPatternsAndTemplatesAreLiteral) {
    const std::string tricky = "1+1=2? (a.b)*[c]$^|\\";
    auto pattern = RegularExpression::escapedPatternForString(tricky);
    auto text = str("x" + tricky + "x");
    EXPECT_EQ(regex(pattern->utf8())->rangeOfFirstMatchInString(*text, 0, {0, text->length()}),
              (Range{1, tricky.size()}));
    auto templ = RegularExpression::escapedTemplateForString("$1 \\ $");
    EXPECT_EQ(regex("x")->stringByReplacingMatchesInString(*str("x"), templ->utf8())->utf8(), "$1 \\ $");
}

TEST(RegularExpression, InputCheckPatternsAnchorToTheWholeText) {
    const char* weakPassword = "^(?=.*\\d.*)(?=.*[a-zA-Z].*).{6,20}$";
    EXPECT_TRUE(anyMatch(weakPassword, "abc123"));
    EXPECT_FALSE(anyMatch(weakPassword, "abcdef"));
    EXPECT_FALSE(anyMatch(weakPassword, "a1"));
    EXPECT_FALSE(anyMatch(weakPassword, "abc1234567890123456789"));
    const char* mobile = "^1(3[0-9]|5[0-35-9]|8[025-9])\\d{8}$";
    EXPECT_TRUE(anyMatch(mobile, "13812345678"));
    EXPECT_FALSE(anyMatch(mobile, "138123456789"));
    const char* landline = "^0(10|2[0-5789]|\\d{3})\\d{7,8}$";
    EXPECT_TRUE(anyMatch(landline, "01012345678"));
}

TEST(StringRegexSearch, RangeOfStringTakesAPattern) {
    auto text = str("ID: 42, 7");
    EXPECT_EQ(text->rangeOfString("\\d+", RegularExpressionSearch), (Range{4, 2}));
    EXPECT_EQ(text->rangeOfString("id", RegularExpressionSearch | CaseInsensitiveSearch), (Range{0, 2}));
    EXPECT_FALSE(text->rangeOfString("\\d", RegularExpressionSearch | AnchoredSearch).found());
    EXPECT_FALSE(text->rangeOfString("(", RegularExpressionSearch).found());
    EXPECT_EQ(text->rangeOfString("\\d+", RegularExpressionSearch, {6, 3}), (Range{8, 1}));
    // Without the option the pattern is plain text.
    EXPECT_FALSE(text->rangeOfString("\\d+").found());
    // A scale suffix at the end of an image name.
    auto name = str("icon@2x");
    EXPECT_EQ(name->rangeOfString("@[0-9]+\\.?[0-9]*x$", RegularExpressionSearch), (Range{4, 3}));
}

}  // namespace
}  // namespace ns
