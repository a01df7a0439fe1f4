// The status HUD's ring, spinner and gradient layer.

#include <cmath>
#include <numbers>

#include "hud_test_support.h"
#include "platform/foundation/Number.h"
#include "platform/uikit/Animation.h"
#include "ui/hud/KVTRIndefiniteAnimatedView.h"
#include "ui/hud/KVTRProgressAnimatedView.h"
#include "ui/hud/KVTRRadialGradientLayer.h"

namespace {

constexpr double pi = std::numbers::pi;

using IndicatorTest = HudTest;

ns::Ref<KVTRProgressAnimatedView> ring(double radius, double thickness) {
    auto view = std::make_shared<KVTRProgressAnimatedView>(cg::Rect{});
    view->setRadius(radius);
    view->setStrokeThickness(thickness);
    view->setStrokeColor(cg::Color::black());
    return view;
}

TEST_F(IndicatorTest, TheRingsSquareLeavesRoomForTheLineAndAMargin) {
    EXPECT_EQ(ring(18, 2)->sizeThatFits({}), (cg::Size{48, 48}));
    EXPECT_EQ(ring(24, 2)->sizeThatFits({300, 10}), (cg::Size{60, 60}));
    auto spinner = std::make_shared<KVTRIndefiniteAnimatedView>(cg::Rect{});
    spinner->setRadius(18);
    spinner->setStrokeThickness(2);
    EXPECT_EQ(spinner->sizeThatFits({}), (cg::Size{48, 48}));
}

TEST_F(IndicatorTest, TheRingLayerLivesWhileTheViewHasASuperview) {
    auto view = ring(18, 2);
    EXPECT_EQ(view->currentRingLayer(), nullptr);

    window->addSubview(view);
    auto layer = view->currentRingLayer();
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(layer->superlayer(), view->layer());
    EXPECT_EQ(layer->frame().size, (cg::Size{48, 48}));
    EXPECT_EQ(layer->lineWidth(), 2);
    EXPECT_EQ(layer->strokeColor(), cg::Color::black());
    EXPECT_EQ(layer->fillColor(), cg::Color::clear());
    EXPECT_EQ(layer->lineCap(), ui::LineCapRound);
    EXPECT_EQ(layer->contentsScale(), 3);

    view->setRadius(18);
    EXPECT_EQ(view->currentRingLayer(), layer);
    view->setRadius(24);
    EXPECT_NE(view->currentRingLayer(), layer);
    EXPECT_EQ(layer->superlayer(), nullptr);
    EXPECT_EQ(view->currentRingLayer()->frame().size, (cg::Size{60, 60}));

    view->removeFromSuperview();
    EXPECT_EQ(view->currentRingLayer(), nullptr);
    // Made again from the stored values.
    view->setStrokeColor(cg::Color::white());
    window->addSubview(view);
    EXPECT_EQ(view->currentRingLayer()->strokeColor(), cg::Color::white());
}

TEST_F(IndicatorTest, TheRingRunsClockwiseFromTheTopToItsEnd) {
    auto view = ring(18, 2);
    window->addSubview(view);
    auto layer = view->currentRingLayer();
    EXPECT_EQ(layer->strokeEnd(), 1);  // the shape's own until set
    view->setStrokeEnd(0.25);
    EXPECT_EQ(layer->strokeEnd(), 0.25);

    ASSERT_TRUE(layer->path().has_value());
    const auto& arc = layer->path()->elements().front();
    ASSERT_EQ(arc.kind, cg::BezierPath::ElementKind::Arc);
    EXPECT_EQ(arc.points[0], (cg::Point{24, 24}));
    EXPECT_EQ(arc.radius, 18);
    EXPECT_DOUBLE_EQ(arc.startAngle, -pi / 2);
    EXPECT_DOUBLE_EQ(arc.endAngle, 3 * pi / 2);
    EXPECT_TRUE(arc.clockwise);
}

TEST_F(IndicatorTest, TheSpinnerTurnsWithoutEndUntilItLeaves) {
    auto spinner = std::make_shared<KVTRIndefiniteAnimatedView>(cg::Rect{});
    spinner->setRadius(24);
    spinner->setStrokeThickness(2);
    window->addSubview(spinner);
    auto shape = spinner->currentSpinnerLayer();
    ASSERT_NE(shape, nullptr);

    const auto& arc = shape->path()->elements().front();
    EXPECT_DOUBLE_EQ(arc.startAngle, 3 * pi / 2);
    EXPECT_DOUBLE_EQ(arc.endAngle, 11 * pi / 2);

    auto group = ns::cast<ui::AnimationGroup>(shape->animationForKey(KVTRIndefiniteAnimatedView::ProgressAnimationKey));
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->duration(), 1.0);
    EXPECT_EQ(group->repeatCount(), ui::RepeatForever);
    ASSERT_EQ(group->animations().size(), 2u);
    auto start = ns::cast<ui::BasicAnimation>(group->animations()[0]);
    auto end = ns::cast<ui::BasicAnimation>(group->animations()[1]);
    EXPECT_EQ(start->keyPath(), "strokeStart");
    EXPECT_DOUBLE_EQ(ns::cast<ns::Number>(start->fromValue())->doubleValue(), 0.015);
    EXPECT_DOUBLE_EQ(ns::cast<ns::Number>(start->toValue())->doubleValue(), 0.515);
    EXPECT_EQ(end->keyPath(), "strokeEnd");
    EXPECT_DOUBLE_EQ(ns::cast<ns::Number>(end->fromValue())->doubleValue(), 0.485);
    EXPECT_DOUBLE_EQ(ns::cast<ns::Number>(end->toValue())->doubleValue(), 0.985);

    ASSERT_NE(shape->mask(), nullptr);
    EXPECT_NE(shape->mask()->contents(), nullptr);
    auto rotate =
        ns::cast<ui::BasicAnimation>(shape->mask()->animationForKey(KVTRIndefiniteAnimatedView::RotateAnimationKey));
    ASSERT_NE(rotate, nullptr);
    EXPECT_EQ(rotate->keyPath(), "transform.rotation");
    EXPECT_DOUBLE_EQ(ns::cast<ns::Number>(rotate->toValue())->doubleValue(), 2 * pi);
    EXPECT_EQ(rotate->repeatCount(), ui::RepeatForever);
    EXPECT_FALSE(rotate->isRemovedOnCompletion());

    // Still turning long after.
    env.fastForwardBy(30);
    EXPECT_NE(shape->animationForKey(KVTRIndefiniteAnimatedView::ProgressAnimationKey), nullptr);

    spinner->removeFromSuperview();
    EXPECT_EQ(spinner->currentSpinnerLayer(), nullptr);
    EXPECT_EQ(shape->superlayer(), nullptr);
}

TEST_F(IndicatorTest, TheGradientDarkensWithTheDistanceFromItsCentre) {
    auto layer = std::make_shared<KVTRRadialGradientLayer>();
    layer->setBounds({0, 0, 320, 480});
    layer->setGradientCenter({160, 240});
    layer->display();
    ASSERT_NE(layer->contents(), nullptr);
    const auto& bitmap = layer->contents()->bitmap();

    EXPECT_LT(bitmap.colorAt(160, 240).alpha, 0.01);
    // 240 points away: 0.75 x 240 / 320 (sampled at the pixel's centre).
    EXPECT_NEAR(bitmap.colorAt(160, 0).alpha, 0.5625, 0.01);
    EXPECT_EQ(bitmap.colorAt(160, 0).red, 0);
    // The far corner, 288 away, stays short of the full 0.75.
    EXPECT_NEAR(bitmap.colorAt(0, 0).alpha, 0.75 * 288 / 320, 0.01);
}

}  // namespace
