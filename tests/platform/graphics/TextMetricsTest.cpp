#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/graphics/TextMetrics.h"

namespace cg {
namespace {

using Lines = std::vector<std::string>;

TEST(TextMetricsTest, LineHeightIsRoundedUp) {
    EXPECT_EQ(TextMetrics::lineHeight(10), 12);
    EXPECT_EQ(TextMetrics::lineHeight(15), 18);
    EXPECT_EQ(TextMetrics::lineHeight(17), 21);  // 20.4
    EXPECT_EQ(TextMetrics::lineHeight(5), 6);    // exactly 6, not 6.000...1
    EXPECT_EQ(TextMetrics::lineHeight(0), 0);
}

TEST(TextMetricsTest, WideCharactersAdvanceAWholeEmOthersHalf) {
    EXPECT_EQ(TextMetrics::measure("你好世界", 17), (Size{68, 21}));
    EXPECT_EQ(TextMetrics::measure("Hello", 17), (Size{42.5, 21}));
    EXPECT_EQ(TextMetrics::measure("OK确定", 10), (Size{30, 12}));
    // Kana, Hangul, fullwidth forms, CJK punctuation and wide emoji.
    EXPECT_EQ(TextMetrics::measure("カな한Ａ，。😀", 10).width, 70);
    // Halfwidth katakana and Latin-1 letters are narrow.
    EXPECT_EQ(TextMetrics::measure("ｶé", 10).width, 10);
}

TEST(TextMetricsTest, MarksAndJoinersAdvanceNothingAndBadBytesCountOnce) {
    EXPECT_EQ(TextMetrics::measure("e\xCC\x81", 10).width, 5);  // e + combining acute
    EXPECT_EQ(TextMetrics::measure("\xE2\x80\x8B", 10).width, 0);  // zero-width space
    EXPECT_EQ(TextMetrics::measure("a\xFF" "b", 10).width, 15);
    EXPECT_EQ(TextMetrics::measure("\xE4\xBD", 10).width, 10);  // truncated sequence: two bad bytes
}

TEST(TextMetricsTest, EmptyTextAndLineBreaks) {
    EXPECT_EQ(TextMetrics::measure("", 17), (Size{0, 0}));
    EXPECT_TRUE(TextMetrics::lines("", 17, 200).empty());
    EXPECT_EQ(TextMetrics::measure("ab\ncdef\r\ng", 10), (Size{20, 36}));
    EXPECT_EQ(TextMetrics::lines("ab\n", 10, 0), (Lines{"ab", ""}));
    EXPECT_EQ(TextMetrics::lines("a\rb\xE2\x80\xA8" "c", 10, 0), (Lines{"a", "b", "c"}));
}

TEST(TextMetricsTest, LatinWrapsAtSpacesInA200PointBox) {
    const char* text = "The quick brown fox jumps over the lazy dog";
    EXPECT_EQ(TextMetrics::lines(text, 20, 200), (Lines{"The quick brown fox", "jumps over the lazy", "dog"}));
    EXPECT_EQ(TextMetrics::boundingSize(text, 20, 200), (Size{190, 72}));
    EXPECT_EQ(TextMetrics::boundingSize(text, 20, 200, 2), (Size{190, 48}));
    // Without a width the text stays on one line.
    EXPECT_EQ(TextMetrics::boundingSize(text, 20, 0), (Size{430, 24}));
}

TEST(TextMetricsTest, CjkWrapsAnywhereInA200PointBox) {
    std::string text;
    for (int i = 0; i < 20; ++i) text += "字";
    Lines lines = TextMetrics::lines(text, 15, 200);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(TextMetrics::measure(lines[0], 15).width, 195);  // 13 characters
    EXPECT_EQ(TextMetrics::measure(lines[1], 15).width, 105);
    EXPECT_EQ(TextMetrics::boundingSize(text, 15, 200), (Size{195, 36}));
}

TEST(TextMetricsTest, MixedTextBreaksBeforeAWideCharacter) {
    EXPECT_EQ(TextMetrics::lines("abcd中文字", 10, 40), (Lines{"abcd中文", "字"}));
    // A Latin word after CJK moves whole to the next line.
    EXPECT_EQ(TextMetrics::lines("中文abcd", 10, 30), (Lines{"中文", "abcd"}));
    EXPECT_EQ(TextMetrics::boundingSize("中文abcd", 10, 30), (Size{20, 24}));
}

TEST(TextMetricsTest, SpacesHangAndLongWordsBreakBetweenCharacters) {
    EXPECT_EQ(TextMetrics::lines("aaaa bbbb", 10, 20), (Lines{"aaaa", "bbbb"}));
    EXPECT_EQ(TextMetrics::boundingSize("aaaa    bbbb   ", 10, 20), (Size{20, 24}));
    EXPECT_EQ(TextMetrics::lines("abcdefghij", 10, 22), (Lines{"abcd", "efgh", "ij"}));
    // Too narrow for anything: one character a line, never an endless loop.
    EXPECT_EQ(TextMetrics::lines("a字b", 10, 1), (Lines{"a", "字", "b"}));
    // A line that fits exactly stays whole.
    EXPECT_EQ(TextMetrics::lines("abcd", 10, 20), (Lines{"abcd"}));
}

}  // namespace
}  // namespace cg
