// The per-view HUD's building blocks: what the round and bar views draw,
// when they redraw, the background view's styles and the rounded button.

#include <numbers>

#include "hud_test_support.h"
#include "platform/graphics/BlendMode.h"
#include "platform/graphics/DrawingRecord.h"
#include "ui/hud/sd_KXBackgroundView.h"
#include "ui/hud/sd_KXBarProgressView.h"
#include "ui/hud/sd_KXProgressHUDRoundedButton.h"
#include "ui/hud/sd_KXRoundProgressView.h"

namespace {

using Kind = cg::DrawingRecord::Kind;
using ProgressViewTest = HudTest;

std::vector<cg::DrawingRecord> drawn(ui::View& view, Kind kind) {
    view.layer()->display();
    std::vector<cg::DrawingRecord> out;
    for (const auto& r : view.layer()->displayRecords()) {
        if (r.kind == kind) out.push_back(r);
    }
    return out;
}

TEST_F(ProgressViewTest, TheRoundViewDrawsItsOutlineAndAnArcFromTheTop) {
    auto view = std::make_shared<sd_KXRoundProgressView>();
    EXPECT_EQ(view->frame(), (cg::Rect{0, 0, 37, 37}));
    EXPECT_EQ(view->intrinsicContentSize(), (cg::Size{37, 37}));

    auto ellipses = drawn(*view, Kind::Ellipse);
    ASSERT_EQ(ellipses.size(), 1u);
    EXPECT_EQ(ellipses[0][0], 1);
    EXPECT_EQ(ellipses[0][2], 35);
    auto arcs = drawn(*view, Kind::Arc);
    ASSERT_EQ(arcs.size(), 1u);
    const float pi = float(std::numbers::pi);
    EXPECT_EQ(arcs[0][2], 37.0 / 2 - 2);
    EXPECT_FLOAT_EQ(arcs[0][3], -pi / 2);
    EXPECT_FLOAT_EQ(arcs[0][4], -pi / 2);  // nothing yet at progress 0

    view->setProgress(1);
    arcs = drawn(*view, Kind::Arc);
    EXPECT_FLOAT_EQ(arcs[0][4], -pi / 2 + 2 * pi);
    auto strokes = drawn(*view, Kind::Stroke);
    ASSERT_EQ(strokes.size(), 2u);
    EXPECT_EQ(strokes[1][4], 4);  // the arc's width
    EXPECT_EQ(strokes[1][5], double(cg::BlendMode::Copy));
}

TEST_F(ProgressViewTest, TheAnnularViewDrawsATrackThenTheArc) {
    auto view = std::make_shared<sd_KXRoundProgressView>();
    view->setAnnular(true);
    view->setProgress(0.25f);
    auto arcs = drawn(*view, Kind::Arc);
    ASSERT_EQ(arcs.size(), 2u);
    EXPECT_EQ(arcs[0][2], 17.5);
    EXPECT_FLOAT_EQ(arcs[1][4], 0);  // a quarter: from the top to the right
    auto strokes = drawn(*view, Kind::Stroke);
    ASSERT_EQ(strokes.size(), 2u);
    EXPECT_DOUBLE_EQ(strokes[0][3], 0.1);  // the track's faint tint
    EXPECT_DOUBLE_EQ(strokes[1][3], 1);
}

TEST_F(ProgressViewTest, OnlyProgressAndColourChangesRedraw) {
    auto view = std::make_shared<sd_KXRoundProgressView>();
    view->layer()->display();
    view->setAnnular(true);
    EXPECT_FALSE(view->layer()->needsDisplay());
    view->setProgressTintColor(cg::Color::white());  // equal to the default
    EXPECT_FALSE(view->layer()->needsDisplay());
    view->setProgress(0.5f);
    EXPECT_TRUE(view->layer()->needsDisplay());

    auto bar = std::make_shared<sd_KXBarProgressView>();
    bar->layer()->display();
    bar->setLineColor(cg::Color::black());
    EXPECT_FALSE(bar->layer()->needsDisplay());
    bar->setProgressColor(cg::Color::black());
    EXPECT_TRUE(bar->layer()->needsDisplay());
}

TEST_F(ProgressViewTest, AnEmptyBarDrawsOnlyItsCapsule) {
    auto bar = std::make_shared<sd_KXBarProgressView>(cg::Rect{0, 0, 120, 10});
    EXPECT_EQ(bar->intrinsicContentSize(), (cg::Size{120, 10}));
    EXPECT_EQ(drawn(*bar, Kind::Fill).size(), 1u);
    auto corners = drawn(*bar, Kind::ArcToPoint);
    ASSERT_EQ(corners.size(), 8u);  // the capsule, built twice
    EXPECT_EQ(corners[0][4], 3);    // outer radius h/2 - 2
}

TEST_F(ProgressViewTest, ASmallProgressFillsTheWholeLeftCap) {
    auto bar = std::make_shared<sd_KXBarProgressView>(cg::Rect{0, 0, 120, 10});
    bar->setProgress(0.02f);  // 2.4 points, inside the cap of 1 + 4
    EXPECT_EQ(drawn(*bar, Kind::Fill).size(), 2u);
    auto lines = drawn(*bar, Kind::LineTo);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back()[0], 5);  // to the cap's end, q + 4
    EXPECT_EQ(lines.back()[1], 5);
}

TEST_F(ProgressViewTest, NearTheRightEndAnArcBeyondItsRangeDrawsAtZero) {
    auto bar = std::make_shared<sd_KXBarProgressView>(cg::Rect{0, 0, 120, 10});
    bar->setProgress(0.99f);  // x = 118.8 - 115 = 3.8 > q = 1
    auto arcs = drawn(*bar, Kind::Arc);
    ASSERT_EQ(arcs.size(), 2u);
    EXPECT_EQ(arcs[0][0], 115);
    EXPECT_EQ(arcs[0][4], 0);
    EXPECT_EQ(arcs[1][4], 0);
    EXPECT_EQ(drawn(*bar, Kind::Fill).size(), 2u);
}

TEST_F(ProgressViewTest, TheBackgroundViewSwitchesBetweenBlurAndSolid) {
    auto view = std::make_shared<sd_KXBackgroundView>(cg::Rect{0, 0, 100, 50});
    EXPECT_TRUE(view->clipsToBounds());
    EXPECT_EQ(view->intrinsicContentSize(), (cg::Size{0, 0}));
    auto blur = view->effectView();
    ASSERT_NE(blur, nullptr);
    EXPECT_EQ(blur->superview(), view);
    EXPECT_EQ(blur->frame(), view->bounds());
    EXPECT_FALSE(view->layer()->allowsGroupOpacity());

    view->setStyle(sd_KXProgressHUDBackgroundStyle::Blur);
    EXPECT_EQ(view->effectView(), blur);
    EXPECT_EQ(view->subviews().size(), 1u);

    view->setStyle(sd_KXProgressHUDBackgroundStyle::SolidColor);
    EXPECT_EQ(view->effectView(), nullptr);
    EXPECT_EQ(blur->superview(), nullptr);
    view->setColor(cg::Color::fromWhite(0, 0.1));
    EXPECT_EQ(view->backgroundColor(), cg::Color::fromWhite(0, 0.1));
}

TEST_F(ProgressViewTest, TheRoundedButtonIsBorderedInItsTitleColour) {
    auto button = std::make_shared<sd_KXProgressHUDRoundedButton>();
    button->setTitle("重试", ui::ControlStateNormal);
    EXPECT_EQ(button->layer()->borderWidth(), 1);
    EXPECT_EQ(button->intrinsicContentSize(), (cg::Size{0, 0}));

    button->addTarget(
        nullptr, [](ui::Control&, ui::Event*) {}, ui::ControlEventTouchUpInside);
    auto plain = ui::Button::make();
    plain->setTitle("重试", ui::ControlStateNormal);
    EXPECT_EQ(button->intrinsicContentSize().width, plain->intrinsicContentSize().width + 20);

    const cg::Color red{1, 0, 0, 1};
    button->setTitleColor(red, ui::ControlStateNormal);
    EXPECT_EQ(button->layer()->borderColor(), red);
    button->setHighlighted(true);
    EXPECT_EQ(button->backgroundColor(), red.withAlpha(0.1));
    button->setHighlighted(false);
    EXPECT_EQ(button->backgroundColor(), cg::Color::clear());

    button->setFrame({0, 0, 80, 33});
    button->layoutSubviews();
    EXPECT_EQ(button->layer()->cornerRadius(), 17);
}

}  // namespace
