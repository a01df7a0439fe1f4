#include <string>
#include <vector>

#include "platform/foundation/Number.h"
#include "platform/graphics/TextMetrics.h"
#include "platform/uikit/AttributedText.h"
#include "platform/uikit/Color.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/Window.h"
#include "ui_test_support.h"

namespace {

using ui::Font;
using ui::Label;

ns::Ref<Label> labelWith(const std::string& text, double fontSize, int64_t lines = 1) {
    auto label = Label::make();
    label->setFont(Font::systemFontOfSize(fontSize));
    label->setNumberOfLines(lines);
    label->setText(text);
    return label;
}

class LabelTest : public UIKitTest {};

TEST_F(LabelTest, LatinAndCjkTextSizeAsTheModelSays) {
    // Half the point size per Latin character, the whole size per CJK one;
    // lines ceil(1.2 x size) high.
    auto latin = labelWith("Hello", 17);
    latin->sizeToFit();
    EXPECT_EQ(latin->frame().size, (cg::Size{42.5, 21}));

    auto cjk = labelWith("你好世界", 17);
    cjk->sizeToFit();
    EXPECT_EQ(cjk->frame().size, (cg::Size{68, 21}));

    // The fullwidth comma is wide too.
    auto mixed = labelWith("OK，好", 20);
    EXPECT_EQ(mixed->intrinsicContentSize(), (cg::Size{60, 24}));
}

TEST_F(LabelTest, WrapsInsideA200PointBox) {
    auto latin = labelWith("The quick brown fox jumps over the lazy dog", 20, 0);
    // 10 points a character: 19 characters fit before the next word would
    // cross 200, and the breaking spaces hang.
    EXPECT_EQ(latin->sizeThatFits({200, 1000}), (cg::Size{190, 72}));

    std::string wide;
    for (int i = 0; i < 25; ++i) wide += "字";
    auto cjk = labelWith(wide, 20, 0);
    // Ten wide characters to a line, breaking anywhere.
    EXPECT_EQ(cjk->sizeThatFits({200, 1000}), (cg::Size{200, 72}));

    // The label's own sizes agree with the one model.
    EXPECT_EQ(latin->sizeThatFits({200, 1000}),
              cg::TextMetrics::boundingSize("The quick brown fox jumps over the lazy dog", 20, 200));
}

TEST_F(LabelTest, LineCountLimitsTheHeight) {
    auto label = labelWith("The quick brown fox jumps over the lazy dog", 20, 2);
    EXPECT_EQ(label->sizeThatFits({200, 1000}), (cg::Size{190, 48}));
    label->setNumberOfLines(1);
    // One line never wraps, whatever width is offered.
    EXPECT_EQ(label->sizeThatFits({200, 1000}), (cg::Size{430, 24}));
}

TEST_F(LabelTest, SizeToFitWrapsAtTheCurrentWidthAndShrinksToTheWidestLine) {
    // A toast's label: limited to the host's width less 40, any number of lines.
    auto label = labelWith("aaaa bbbb cccc", 10, 0);
    label->setFrame({10, 10, 50, 0});
    label->sizeToFit();
    EXPECT_EQ(label->frame(), (cg::Rect{10, 10, 45, 24}));
}

TEST_F(LabelTest, EmptyOrMissingTextTakesNoRoom) {
    auto label = labelWith("", 17);
    EXPECT_EQ(label->intrinsicContentSize(), (cg::Size{0, 0}));
    label->setText(nullptr);
    EXPECT_EQ(label->text(), nullptr);
    EXPECT_EQ(label->sizeThatFits({100, 100}), (cg::Size{0, 0}));
    EXPECT_EQ(label->attributedText(), nullptr);
}

TEST_F(LabelTest, MultiLineIntrinsicSizeWrapsAtThePreferredWidth) {
    auto label = labelWith("aaaa bbbb cccc", 10, 0);
    EXPECT_EQ(label->intrinsicContentSize(), (cg::Size{70, 12}));
    label->setPreferredMaxLayoutWidth(50);
    EXPECT_EQ(label->intrinsicContentSize(), (cg::Size{45, 24}));
}

TEST_F(LabelTest, TextRectKeepsTheLinesThatFitTheBounds) {
    auto label = labelWith("The quick brown fox jumps over the lazy dog", 20, 0);
    EXPECT_EQ(label->textRectForBounds({5, 5, 200, 50}, 0), (cg::Rect{5, 5, 190, 48}));
    EXPECT_EQ(label->textRectForBounds({5, 5, 200, 30}, 0), (cg::Rect{5, 5, 190, 24}));
    // A single line is clipped to the bounds' width.
    EXPECT_EQ(label->textRectForBounds({0, 0, 100, 30}, 1), (cg::Rect{0, 0, 100, 24}));
}

TEST_F(LabelTest, AttributedTextSetsTheFontAndColourAndMeasuresWithItsAttributes) {
    auto label = Label::make();
    auto text = ui::AttributedText::make("提示", {{ui::FontAttributeName, Font::systemFontOfSize(18)},
                                                 {ui::ForegroundColorAttributeName, ui::valueWithColor(ui::redColor())}});
    label->setAttributedText(text);
    EXPECT_EQ(label->text()->utf8(), "提示");
    EXPECT_EQ(label->font()->pointSize(), 18);
    EXPECT_EQ(label->textColor(), ui::redColor());
    EXPECT_EQ(label->intrinsicContentSize(), (cg::Size{36, 22}));

    // Kerning goes after every character, the last one too.
    auto kerned = ui::AttributedText::make("abc", {{ui::FontAttributeName, Font::systemFontOfSize(10)},
                                                   {ui::KernAttributeName, ns::Number::withDouble(2)}});
    label->setAttributedText(kerned);
    EXPECT_EQ(label->intrinsicContentSize(), (cg::Size{21, 12}));

    // Line spacing goes between lines.
    auto style = ui::ParagraphStyle::make();
    style->setLineSpacing(5);
    auto spaced = ui::AttributedText::make("a\nb\nc", {{ui::FontAttributeName, Font::systemFontOfSize(10)},
                                                       {ui::ParagraphStyleAttributeName, style}});
    label->setNumberOfLines(0);
    label->setAttributedText(spaced);
    EXPECT_EQ(label->intrinsicContentSize(), (cg::Size{5, 46}));

    // Plain text drops the attributes but keeps the font they set.
    label->setText("ab");
    EXPECT_FALSE(label->attributedText()->hasAttribute(ui::KernAttributeName));
    EXPECT_EQ(label->intrinsicContentSize(), (cg::Size{10, 12}));
}

TEST_F(LabelTest, FontAndColourChangesReachAttributedText) {
    auto label = Label::make();
    label->setAttributedText(ui::AttributedText::make("ab", {{ui::FontAttributeName, Font::systemFontOfSize(10)}}));
    label->setFont(Font::boldSystemFontOfSize(30));
    label->setTextColor(ui::blueColor());
    auto text = label->attributedText();
    EXPECT_TRUE(ns::equal(text->attributeAtIndex(ui::FontAttributeName, 1), Font::boldSystemFontOfSize(30)));
    EXPECT_EQ(ui::colorValue(text->attributeAtIndex(ui::ForegroundColorAttributeName, 0)), ui::blueColor());
    EXPECT_EQ(label->intrinsicContentSize(), (cg::Size{30, 36}));
}

TEST_F(LabelTest, DrawsItsLinesCentredInAWindow) {
    auto window = ui::Window::makeFullScreen();
    window->makeKeyAndVisible();
    auto label = labelWith("ab\ncdef", 10, 0);
    label->setFrame({0, 0, 100, 50});
    label->setTextAlignment(ui::TextAlignment::Center);
    label->setTextColor(ui::redColor());
    window->addSubview(label);
    env.runUntilIdle();

    std::vector<cg::DrawingRecord> texts;
    for (const auto& r : label->layer()->displayRecords()) {
        if (r.kind == cg::DrawingRecord::Kind::Text) texts.push_back(r);
    }
    ASSERT_EQ(texts.size(), 2u);
    // Two 12-point lines, centred in 50 points: the first at y 13.
    EXPECT_EQ(texts[0].text, "ab");
    EXPECT_EQ(texts[0][0], 45);
    EXPECT_EQ(texts[0][1], 13);
    EXPECT_EQ(texts[1].text, "cdef");
    EXPECT_EQ(texts[1][0], 40);
    EXPECT_EQ(texts[1][1], 25);
    EXPECT_EQ(texts[1][3], 1);  // red
}

TEST_F(LabelTest, LabelsIgnoreTouches) {
    auto label = labelWith("tap", 17);
    label->setFrame({0, 0, 50, 20});
    EXPECT_EQ(label->hitTest({5, 5}, nullptr), nullptr);
}

}  // namespace
