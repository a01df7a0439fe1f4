#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Number.h"
#include "platform/uikit/AnimationRecorder.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/ShapeLayer.h"
#include "platform/uikit/Transaction.h"
#include "platform/uikit/View.h"
#include "ui_test_support.h"

namespace {

using AnimationTest = UIKitTest;

struct Completion {
    std::optional<bool> finished;
    int calls = 0;
    ui::View::Completion handler() {
        return [this](bool f) {
            finished = f;
            ++calls;
        };
    }
};

TEST_F(AnimationTest, ValuesChangeAtOnceAndTheCompletionWaitsForTheClock) {
    auto view = ui::View::make({0, 0, 100, 100});
    Completion done;
    ui::View::animate(0.3, [&] { view->setAlpha(0); }, done.handler());

    EXPECT_EQ(view->alpha(), 0);
    EXPECT_EQ(view->layer()->animationKeys(), (std::vector<std::string>{"opacity"}));
    auto animation = ns::cast<ui::BasicAnimation>(view->layer()->animationForKey("opacity"));
    ASSERT_NE(animation, nullptr);
    EXPECT_EQ(ui::doubleValue(animation->fromValue()), 1);
    EXPECT_EQ(ui::doubleValue(animation->toValue()), 0);
    EXPECT_EQ(animation->duration(), 0.3);

    env.runUntilIdle();
    env.fastForwardBy(0.29);
    EXPECT_FALSE(done.finished.has_value());
    env.fastForwardBy(0.02);
    EXPECT_EQ(done.finished, true);
    EXPECT_TRUE(view->layer()->animationKeys().empty());
}

TEST_F(AnimationTest, RemovingTheAnimationsCompletesUnfinished) {
    auto view = ui::View::make({0, 0, 100, 100});
    Completion done;
    ui::View::animate(1.0, 0, 0, [&] { view->setCenter({200, 200}); }, done.handler());
    env.fastForwardBy(0.5);
    view->layer()->removeAllAnimations();
    // Stops arrive on the next turn of the run loop, as on the platform.
    EXPECT_EQ(done.calls, 0);
    env.runUntilIdle();
    EXPECT_EQ(done.finished, false);
    env.fastForwardBy(1.0);
    EXPECT_EQ(done.calls, 1);
    EXPECT_EQ(view->center(), (cg::Point{200, 200}));
}

TEST_F(AnimationTest, DelayAndDurationBothCount) {
    auto view = ui::View::make({0, 0, 10, 10});
    Completion done;
    double start = env.now();
    ui::View::animate(0.5, 1.0, ui::ViewAnimationOptionCurveLinear, [&] { view->setAlpha(0.5); }, done.handler());
    auto animation = view->layer()->animationForKey("opacity");
    ASSERT_NE(animation, nullptr);
    EXPECT_EQ(animation->beginTime(), start + 1.0);
    EXPECT_EQ(animation->fillMode(), ui::FillModeBackwards);
    EXPECT_EQ(animation->timingFunction()->name(), ui::MediaTimingFunctionLinear);
    env.fastForwardBy(1.4);
    EXPECT_EQ(done.calls, 0);
    env.fastForwardBy(0.2);
    EXPECT_EQ(done.finished, true);
}

TEST_F(AnimationTest, TheRecorderKeepsWhatEachBlockAnimated) {
    auto a = ui::View::make({0, 0, 10, 10});
    auto b = ui::View::make({0, 0, 10, 10});
    ui::View::animate(0.25, 0.1, ui::ViewAnimationOptionBeginFromCurrentState | ui::ViewAnimationOptionCurveEaseOut,
                      [&] {
                          a->setFrame({5, 5, 20, 20});
                          b->setBackgroundColor(cg::Color{1, 0, 0, 1});
                          b->setTransform(cg::AffineTransform::makeScale(2, 2));
                      });
    ui::View::animateWithSpring(0.6, 0, 0.7, 0.5, 0, [&] { a->setAlpha(0.2); });

    const auto& records = ui::AnimationRecorder::shared().records();
    ASSERT_EQ(records.size(), 2u);
    const auto& block = records[0];
    EXPECT_EQ(block.kind, ui::ViewAnimationRecord::Kind::Block);
    EXPECT_EQ(block.duration, 0.25);
    EXPECT_EQ(block.delay, 0.1);
    EXPECT_EQ(block.curve, ui::ViewAnimationCurve::EaseOut);
    EXPECT_TRUE(block.options & ui::ViewAnimationOptionBeginFromCurrentState);
    EXPECT_EQ(block.keyPathsFor(*a), (std::vector<std::string>{"position", "bounds"}));
    EXPECT_EQ(block.keyPathsFor(*b), (std::vector<std::string>{"backgroundColor", "transform"}));
    EXPECT_EQ(ui::rectValue(block.changes[1].toValue), cg::Rect(0, 0, 20, 20));

    const auto& spring = records[1];
    EXPECT_EQ(spring.kind, ui::ViewAnimationRecord::Kind::Spring);
    EXPECT_EQ(spring.dampingRatio, 0.7);
    EXPECT_EQ(spring.initialVelocity, 0.5);
    EXPECT_TRUE(spring.animates(*a, "opacity"));
    EXPECT_EQ(ui::AnimationRecorder::shared().lastFor(*a), &spring);
    EXPECT_NE(ns::cast<ui::SpringAnimation>(a->layer()->animationForKey("opacity")), nullptr);
}

TEST_F(AnimationTest, BlocksThatAnimateNothingCompleteOnTheNextTurn) {
    auto view = ui::View::make({0, 0, 10, 10});
    Completion nothing;
    ui::View::animate(5, [] {}, nothing.handler());
    Completion zero;
    ui::View::animate(0, [&] { view->setAlpha(0.5); }, zero.handler());
    EXPECT_EQ(nothing.calls + zero.calls, 0);
    EXPECT_TRUE(view->layer()->animationKeys().empty());
    env.runUntilIdle();
    EXPECT_EQ(nothing.finished, true);
    EXPECT_EQ(zero.finished, true);
}

TEST_F(AnimationTest, SecondAnimationRunsBesideOrReplacesTheFirst) {
    auto view = ui::View::make({0, 0, 10, 10});
    Completion first;
    Completion second;
    ui::View::animate(1, [&] { view->setAlpha(0.5); }, first.handler());
    ui::View::animate(1, [&] { view->setAlpha(0.2); }, second.handler());
    EXPECT_EQ(view->layer()->animationKeys(), (std::vector<std::string>{"opacity", "opacity-1"}));
    env.fastForwardBy(1.01);
    EXPECT_EQ(first.finished, true);
    EXPECT_EQ(second.finished, true);

    Completion replaced;
    Completion current;
    ui::View::animate(1, [&] { view->setAlpha(0.5); }, replaced.handler());
    ui::View::animate(1, 0, ui::ViewAnimationOptionBeginFromCurrentState, [&] { view->setAlpha(1); },
                      current.handler());
    EXPECT_EQ(view->layer()->animationKeys(), (std::vector<std::string>{"opacity"}));
    env.runUntilIdle();
    EXPECT_EQ(replaced.finished, false);
    env.fastForwardBy(1.01);
    EXPECT_EQ(current.finished, true);
}

TEST_F(AnimationTest, ChangesOutsideAnimationAreNotAnimated) {
    auto view = ui::View::make({0, 0, 10, 10});
    view->setAlpha(0.5);
    ui::View::animate(1, [&] {
        view->setCenter({50, 50});
        ui::View::performWithoutAnimation([&] { view->setAlpha(0.1); });
    });
    EXPECT_EQ(view->layer()->animationKeys(), (std::vector<std::string>{"position"}));
    EXPECT_EQ(view->alpha(), 0.1);

    ui::View::setAnimationsEnabled(false);
    Completion done;
    ui::View::animate(1, [&] { view->setBounds({0, 0, 30, 30}); }, done.handler());
    ui::View::setAnimationsEnabled(true);
    EXPECT_EQ(view->layer()->animationForKey("bounds"), nullptr);
    env.runUntilIdle();
    EXPECT_EQ(done.finished, true);
}

TEST_F(AnimationTest, NestedBlocksInheritTheDurationUnlessTheyOverrideIt) {
    auto a = ui::View::make({0, 0, 10, 10});
    auto b = ui::View::make({0, 0, 10, 10});
    ui::View::animate(2, [&] {
        ui::View::animate(0.5, [&] { a->setAlpha(0); });
        ui::View::animate(0.5, 0, ui::ViewAnimationOptionOverrideInheritedDuration, [&] { b->setAlpha(0); });
    });
    EXPECT_EQ(a->layer()->animationForKey("opacity")->duration(), 2);
    EXPECT_EQ(b->layer()->animationForKey("opacity")->duration(), 0.5);
}

TEST_F(AnimationTest, BeginCommitBracketUsesItsSettings) {
    auto view = ui::View::make({0, 0, 60, 60});
    ui::View::beginAnimations();
    ui::View::setAnimationDuration(0.4);
    view->setCenter({300, 130});
    ui::View::commitAnimations();
    auto animation = view->layer()->animationForKey("position");
    ASSERT_NE(animation, nullptr);
    EXPECT_EQ(animation->duration(), 0.4);
    ASSERT_EQ(ui::AnimationRecorder::shared().records().size(), 1u);
    EXPECT_EQ(ui::AnimationRecorder::shared().records()[0].kind, ui::ViewAnimationRecord::Kind::BeginCommit);
    env.fastForwardBy(0.41);
    EXPECT_TRUE(view->layer()->animationKeys().empty());
}

struct DelegateLog : ui::AnimationDelegate {
    void animationDidStart(ui::Animation&) override { events.push_back("start@" + std::to_string(std::lround(now() * 100))); }
    void animationDidStop(ui::Animation&, bool finished) override {
        events.push_back(std::string(finished ? "finished" : "stopped") + "@" + std::to_string(std::lround(now() * 100)));
    }
    double now() const { return ui::mediaTime() - origin; }
    double origin = ui::mediaTime();
    std::vector<std::string> events;
};

TEST_F(AnimationTest, LayerAnimationsTellTheirDelegate) {
    auto layer = ui::Layer::make();
    auto log = std::make_shared<DelegateLog>();
    auto spin = ui::BasicAnimation::animationWithKeyPath("transform.rotation");
    spin->setToValue(ns::Number::withDouble(6.28));
    spin->setDuration(1);
    spin->setRepeatCount(2.5);
    spin->setBeginTime(ui::mediaTime() + 0.5);
    spin->setDelegate(log);
    layer->addAnimation(spin, "rotate");
    // Later changes to the original do not reach the added copy.
    spin->setDuration(10);
    EXPECT_EQ(layer->animationForKey("rotate")->duration(), 1);

    env.fastForwardBy(0.4);
    EXPECT_TRUE(log->events.empty());
    env.fastForwardBy(0.2);
    EXPECT_EQ(log->events, (std::vector<std::string>{"start@50"}));
    env.fastForwardBy(2.5);
    EXPECT_EQ(log->events, (std::vector<std::string>{"start@50", "finished@300"}));
    EXPECT_EQ(layer->animationForKey("rotate"), nullptr);
}

TEST_F(AnimationTest, AnimationsKeptAfterCompletionOrRepeatingForever) {
    auto layer = ui::Layer::make();
    auto log = std::make_shared<DelegateLog>();
    auto keep = ui::BasicAnimation::animationWithKeyPath("strokeEnd");
    keep->setDuration(0.2);
    keep->setRemovedOnCompletion(false);
    keep->setFillMode(ui::FillModeForwards);
    keep->setDelegate(log);
    layer->addAnimation(keep, "keep");
    auto forever = ui::BasicAnimation::animationWithKeyPath("opacity");
    forever->setRepeatCount(ui::RepeatForever);
    forever->setDelegate(log);
    layer->addAnimation(forever, "forever");

    env.fastForwardBy(100);
    EXPECT_EQ(layer->animationKeys(), (std::vector<std::string>{"keep", "forever"}));
    EXPECT_EQ(log->events, (std::vector<std::string>{"start@0", "start@0", "finished@20"}));

    // Removing a finished animation says nothing more; a running one stops.
    layer->removeAnimationForKey("keep");
    layer->removeAnimationForKey("forever");
    env.runUntilIdle();
    EXPECT_EQ(log->events.back(), "stopped@10000");
    EXPECT_EQ(log->events.size(), 4u);
    EXPECT_TRUE(layer->animationKeys().empty());
}

TEST_F(AnimationTest, AddingUnderAUsedKeyStopsTheOldAnimation) {
    auto layer = ui::Layer::make();
    auto log = std::make_shared<DelegateLog>();
    auto first = ui::BasicAnimation::animationWithKeyPath("position");
    first->setDelegate(log);
    layer->addAnimation(first, "move");
    layer->addAnimation(ui::BasicAnimation::animationWithKeyPath("position"), "move");
    env.runUntilIdle();
    EXPECT_EQ(log->events, (std::vector<std::string>{"stopped@0"}));
    EXPECT_EQ(layer->animationKeys().size(), 1u);
}

TEST_F(AnimationTest, ImplicitAnimationsOnStandaloneLayersInATree) {
    auto root = ui::Layer::make();
    auto shape = ui::ShapeLayer::make();
    // Out of any tree: no action.
    shape->setStrokeEnd(0.5);
    EXPECT_TRUE(shape->animationKeys().empty());

    root->addSublayer(shape);
    shape->setStrokeEnd(0.25);
    ASSERT_EQ(shape->animationKeys(), (std::vector<std::string>{"strokeEnd"}));
    auto implicit = ns::cast<ui::BasicAnimation>(shape->animationForKey("strokeEnd"));
    EXPECT_EQ(implicit->duration(), 0.25);
    EXPECT_EQ(ui::doubleValue(implicit->fromValue()), 0.5);
    EXPECT_EQ(ui::doubleValue(implicit->toValue()), 0.25);
    shape->removeAllAnimations();

    ui::Transaction::begin();
    ui::Transaction::setDisableActions(true);
    shape->setStrokeEnd(0);
    ui::Transaction::commit();
    EXPECT_TRUE(shape->animationKeys().empty());
    EXPECT_EQ(shape->strokeEnd(), 0);

    // The layer of a view animates only in animation blocks.
    auto view = ui::View::make({0, 0, 10, 10});
    root->addSublayer(view->layer());
    view->layer()->setOpacity(0.5);
    EXPECT_TRUE(view->layer()->animationKeys().empty());
}

TEST_F(AnimationTest, TransactionCompletionWaitsForItsAnimations) {
    auto root = ui::Layer::make();
    auto layer = ui::Layer::make();
    root->addSublayer(layer);
    bool done = false;
    ui::Transaction::begin();
    ui::Transaction::setAnimationDuration(0.5);
    ui::Transaction::setCompletionBlock([&] { done = true; });
    layer->setCornerRadius(8);
    ui::Transaction::commit();
    EXPECT_EQ(layer->animationForKey("cornerRadius")->duration(), 0.5);
    env.fastForwardBy(0.4);
    EXPECT_FALSE(done);
    env.fastForwardBy(0.2);
    EXPECT_TRUE(done);

    // Settings made outside a bracket last for the run-loop turn only.
    ui::Transaction::setDisableActions(true);
    EXPECT_TRUE(ui::Transaction::disableActions());
    env.runUntilIdle();
    EXPECT_FALSE(ui::Transaction::disableActions());
}

}  // namespace
