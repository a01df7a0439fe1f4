#include <string>
#include <vector>

#include "platform/foundation/AttributedString.h"
#include "platform/foundation/Number.h"
#include "platform/runtime/Exception.h"
#include "platform/uikit/AttributedText.h"
#include "platform/uikit/AttributedTextLayout.h"
#include "platform/uikit/Color.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/GeometryValue.h"
#include "ui_test_support.h"

namespace {

using ui::AttributedText;
using ui::Font;

ns::Id num(double v) { return ns::Number::withDouble(v); }

std::vector<ns::Range> runRanges(const AttributedText& text) {
    std::vector<ns::Range> out;
    for (const auto& run : text.runs()) out.push_back(run.range);
    return out;
}

TEST(AttributedTextTest, AttributesSplitAndMergeRuns) {
    auto text = AttributedText::make("hello world");
    EXPECT_EQ(runRanges(*text), (std::vector<ns::Range>{{0, 11}}));

    text->addAttribute(ui::UnderlineStyleAttributeName, ns::Number::withInteger(ui::UnderlineStyleSingle), {6, 5});
    EXPECT_EQ(runRanges(*text), (std::vector<ns::Range>{{0, 6}, {6, 5}}));

    ns::Range effective;
    EXPECT_TRUE(text->attributesAtIndex(2, &effective).empty());
    EXPECT_EQ(effective, (ns::Range{0, 6}));
    EXPECT_EQ(text->attributesAtIndex(8, &effective).size(), 1u);
    EXPECT_EQ(effective, (ns::Range{6, 5}));

    // The same value over the rest joins the runs again.
    text->addAttribute(ui::UnderlineStyleAttributeName, ns::Number::withInteger(ui::UnderlineStyleSingle), {0, 6});
    EXPECT_EQ(runRanges(*text), (std::vector<ns::Range>{{0, 11}}));

    text->removeAttribute(ui::UnderlineStyleAttributeName, {3, 2});
    EXPECT_EQ(runRanges(*text), (std::vector<ns::Range>{{0, 3}, {3, 2}, {5, 6}}));
    EXPECT_FALSE(text->attributeAtIndex(ui::UnderlineStyleAttributeName, 4));
}

TEST(AttributedTextTest, RangesCountUtf16Units) {
    // The emoji takes two units, each CJK character one.
    auto text = AttributedText::make("好😀a");
    EXPECT_EQ(text->length(), 4u);
    text->addAttribute(ui::ForegroundColorAttributeName, ui::valueWithColor(ui::redColor()), {1, 2});
    auto sub = text->attributedSubstringFromRange({1, 2});
    EXPECT_EQ(sub->string()->utf8(), "😀");
    EXPECT_EQ(ui::colorValue(sub->attributeAtIndex(ui::ForegroundColorAttributeName, 0)), ui::redColor());
    EXPECT_EQ(text->attributesAtIndex(3).size(), 0u);
}

TEST(AttributedTextTest, KeyRangeSpansRunsThatDifferElsewhere) {
    auto text = AttributedText::make("abcdef", {{ui::FontAttributeName, Font::systemFontOfSize(12)}});
    text->addAttribute(ui::KernAttributeName, num(1), {2, 2});
    ns::Range range;
    text->attributeAtIndex(ui::FontAttributeName, 3, &range);
    EXPECT_EQ(range, (ns::Range{0, 6}));

    std::vector<ns::Range> stretches;
    text->enumerateAttribute(ui::KernAttributeName, {1, 4}, [&](const ns::Id&, ns::Range r, bool&) {
        stretches.push_back(r);
    });
    EXPECT_EQ(stretches, (std::vector<ns::Range>{{1, 1}, {2, 2}, {4, 1}}));
}

TEST(AttributedTextTest, ReplacedTextTakesTheAttributesItReplaces) {
    auto text = AttributedText::make("price");
    text->addAttribute(ui::StrikethroughStyleAttributeName, ns::Number::withInteger(ui::UnderlineStyleSingle), {0, 5});
    text->replaceCharactersInRange({0, 5}, "12元");
    EXPECT_EQ(text->string()->utf8(), "12元");
    EXPECT_EQ(runRanges(*text), (std::vector<ns::Range>{{0, 3}}));
    EXPECT_TRUE(text->attributeAtIndex(ui::StrikethroughStyleAttributeName, 2));

    // Appending plain text adds text without attributes.
    text->appendAttributedString(*ns::AttributedString::make(ns::str("!")));
    EXPECT_EQ(runRanges(*text), (std::vector<ns::Range>{{0, 3}, {3, 1}}));
    EXPECT_FALSE(text->attributeAtIndex(ui::StrikethroughStyleAttributeName, 3));

    // Inserting at the end takes the attributes of the last character.
    text->replaceCharactersInRange({4, 0}, "?");
    EXPECT_EQ(runRanges(*text), (std::vector<ns::Range>{{0, 3}, {3, 2}}));
}

TEST(AttributedTextTest, RangesPastTheEndRaise) {
    auto text = AttributedText::make("abc");
    try {
        text->addAttribute(ui::KernAttributeName, num(1), {2, 2});
        FAIL() << "no exception";
    } catch (const ns::Exception& e) {
        EXPECT_EQ(e.name(), ns::RangeException);
    }
    EXPECT_THROW(text->attributesAtIndex(3), ns::Exception);
    EXPECT_THROW(text->replaceCharactersInRange({4, 0}, "x"), ns::Exception);
}

TEST(AttributedTextTest, EqualityCopiesAndTheFoundationClass) {
    auto a = AttributedText::make("ab", {{ui::KernAttributeName, num(2)}});
    auto b = AttributedText::make("ab", {{ui::KernAttributeName, num(2)}});
    EXPECT_TRUE(a->isEqual(b));
    b->addAttribute(ui::KernAttributeName, num(3), {1, 1});
    EXPECT_FALSE(a->isEqual(b));

    // A copy keeps the runs and goes its own way.
    auto copy = ns::cast<AttributedText>(a->copy());
    ASSERT_TRUE(copy);
    copy->removeAttribute(ui::KernAttributeName, {0, 2});
    EXPECT_TRUE(a->hasAttribute(ui::KernAttributeName));

    // A plain attributed string is one without attributes.
    auto plain = ns::AttributedString::make(ns::str("ab"));
    EXPECT_TRUE(AttributedText::make("ab")->isEqual(plain));
    EXPECT_FALSE(a->isEqual(plain));
    EXPECT_TRUE(a->isKindOf("NSAttributedString"));
    EXPECT_EQ(AttributedText::from(plain)->runs().size(), 1u);

    // A nil value is no attribute at all.
    auto none = AttributedText::make("ab", {{ui::KernAttributeName, nullptr}});
    EXPECT_FALSE(none->hasAttribute(ui::KernAttributeName));
}

TEST(AttributedTextTest, ChangesThroughTheFoundationClassKeepRunsInLine) {
    auto text = AttributedText::make("ab", {{ui::KernAttributeName, num(1)}});
    ns::MutableAttributedString& base = *text;
    base.appendAttributedString(*ns::AttributedString::make(ns::str("cd")));
    EXPECT_EQ(runRanges(*text), (std::vector<ns::Range>{{0, 2}, {2, 2}}));
    EXPECT_FALSE(text->attributeAtIndex(ui::KernAttributeName, 3));
}

TEST(AttributedTextTest, DescriptionListsEachRun) {
    auto text = AttributedText::make("ab", {{ui::KernAttributeName, num(2)}});
    text->appendAttributedString(*AttributedText::make("c"));
    EXPECT_EQ(text->description(), "ab{\n    NSKern = 2;\n}c{\n}");
}

TEST(AttributedTextTest, StringMeasuringFollowsTheOptions) {
    ui::TextAttributes font{{ui::FontAttributeName, Font::systemFontOfSize(20)}};
    std::string text = "The quick brown fox jumps over the lazy dog";
    // The status HUD's call: line-fragment origin in a 200 x 300 box.
    EXPECT_EQ(ui::boundingRectWithSize(text, {200, 300}, 35, font), (cg::Rect{0, 0, 190, 72}));
    // Without the line-fragment option nothing wraps.
    EXPECT_EQ(ui::boundingRectWithSize(text, {200, 300}, 0, font), (cg::Rect{0, 0, 430, 24}));
    // Truncating keeps the lines that fit the height, at least one.
    EXPECT_EQ(ui::boundingRectWithSize(text, {200, 50}, 35, font), (cg::Rect{0, 0, 190, 48}));
    EXPECT_EQ(ui::boundingRectWithSize(text, {200, 5}, 35, font), (cg::Rect{0, 0, 190, 24}));
    // Text without a font measures at 12 points.
    EXPECT_EQ(ui::sizeWithAttributes("abcd", {}), (cg::Size{24, 15}));
}

TEST(AttributedTextTest, MixedSizesLayOutAtTheLargest) {
    auto text = AttributedText::make("ab", {{ui::FontAttributeName, Font::systemFontOfSize(10)}});
    text->addAttribute(ui::FontAttributeName, Font::systemFontOfSize(20), {1, 1});
    ui::TextLayout layout(*text, nullptr, 0);
    EXPECT_EQ(layout.size(), (cg::Size{20, 24}));
}

TEST(AttributedTextTest, LayoutFindsTheNearestCharacterBoundary) {
    auto text = AttributedText::make("ab cd\nef", {{ui::FontAttributeName, Font::systemFontOfSize(10)}});
    ui::TextLayout layout(*text, nullptr, 0);
    ASSERT_EQ(layout.lines().size(), 2u);
    EXPECT_EQ(layout.lines()[1].range, (ns::Range{6, 2}));
    EXPECT_EQ(layout.closestIndexToPoint({1, 2}), 0u);
    EXPECT_EQ(layout.closestIndexToPoint({4, 2}), 1u);
    EXPECT_EQ(layout.closestIndexToPoint({100, 2}), 5u);
    EXPECT_EQ(layout.closestIndexToPoint({6, 15}), 7u);
}

}  // namespace
