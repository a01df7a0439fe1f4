// The per-view HUD over a host view: the bezel's size and place from its
// constraints, the show/hide state machine on mock time, modes, progress,
// colours and the older interface.

#include "hud_test_support.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Progress.h"
#include "platform/uikit/ActivityIndicatorView.h"
#include "platform/uikit/AnimationRecorder.h"
#include "platform/uikit/Appearance.h"
#include "platform/uikit/GeometryValue.h"
#include "ui/hud/sd_KXBarProgressView.h"
#include "ui/hud/sd_KXProgressHUD.h"
#include "ui/hud/sd_KXRoundProgressView.h"

namespace {

using HUD = sd_KXProgressHUD;

struct Hidden : sd_KXProgressHUDDelegate {
    void hudWasHidden(sd_KXProgressHUD&) override { ++calls; }
    int calls = 0;
};

class ViewHudTest : public HudTest {
protected:
    ViewHudTest() {
        host = ui::View::make(window->bounds());
        window->addSubview(host);
    }

    // The login screen's HUD: a 10 % dark veil under the default bezel.
    ns::Ref<HUD> showLoginHud() {
        auto hud = HUD::showHUDAddedTo(host, true);
        hud->backgroundView()->setStyle(sd_KXProgressHUDBackgroundStyle::SolidColor);
        hud->backgroundView()->setColor(cg::Color::fromWhite(0, 0.1));
        env.runUntilIdle();
        return hud;
    }

    bool isUp(const ns::Ref<HUD>& hud) { return hud->superview() == host && hud->alpha() == 1; }

    ns::Ref<ui::View> host;
};

// ---- Bezel and stack ----

TEST_F(ViewHudTest, AnIndicatorOnlyHudIsTheIndicatorPlusTheMarginAround) {
    auto hud = showLoginHud();
    EXPECT_EQ(hud->frame(), host->bounds());
    EXPECT_TRUE(near(hud->bezelView()->frame(), {156.5, 383.5, 77, 77}));
    EXPECT_EQ(hud->size(), (cg::Size{77, 77}));
    auto spinner = ns::cast<ui::ActivityIndicatorView>(hud->indicator());
    ASSERT_NE(spinner, nullptr);
    EXPECT_TRUE(spinner->isAnimating());
    EXPECT_TRUE(near(spinner->frame(), {20, 20, 37, 37}));
    EXPECT_EQ(hud->backgroundView()->backgroundColor(), cg::Color::fromWhite(0, 0.1));
    EXPECT_EQ(hud->backgroundView()->frame(), host->bounds());
}

TEST_F(ViewHudTest, LabelsStackUnderTheIndicatorWithFourPointGaps) {
    auto hud = HUD::showHUDAddedTo(host, false);
    hud->label()->setText("加载中");         // 48 x 20 in bold 16
    hud->detailsLabel()->setText("请稍候");  // 36 x 15 in bold 12
    env.runUntilIdle();
    // 20 + 37 + 4 + 20 + 4 + 15 + 20.
    EXPECT_EQ(hud->size(), (cg::Size{88, 120}));
    EXPECT_TRUE(near(hud->indicator()->frame(), {25.5, 20, 37, 37}));
    EXPECT_TRUE(near(hud->label()->frame(), {20, 61, 48, 20}));
    EXPECT_TRUE(near(hud->detailsLabel()->frame(), {26, 85, 36, 15}));
    std::vector<double> gaps;
    for (const auto& c : hud->paddingConstraints()) gaps.push_back(c->constant());
    // Spacer to indicator, indicator to label, label to details, details to
    // the (empty) button, button to spacer.
    EXPECT_EQ(gaps, (std::vector<double>{0, 4, 4, 0, 0}));
}

TEST_F(ViewHudTest, TextModeHugsTheLabel) {
    auto hud = HUD::showHUDAddedTo(host, false);
    hud->setMode(sd_KXProgressHUDMode::Text);
    hud->label()->setText("已复制");
    env.runUntilIdle();
    EXPECT_EQ(hud->indicator(), nullptr);
    EXPECT_EQ(hud->size(), (cg::Size{88, 60}));
    EXPECT_TRUE(near(hud->label()->frame(), {20, 20, 48, 20}));
}

TEST_F(ViewHudTest, SquareAndMinimumSizeGrowTheBezelAroundCentredContent) {
    auto hud = HUD::showHUDAddedTo(host, false);
    hud->setMode(sd_KXProgressHUDMode::Text);
    hud->label()->setText("已复制");
    hud->setSquare(true);
    env.runUntilIdle();
    EXPECT_EQ(hud->size(), (cg::Size{88, 88}));
    EXPECT_TRUE(near(hud->label()->frame(), {20, 34, 48, 20}));

    hud->setSquare(false);
    hud->setMinSize({200, 100});
    env.runUntilIdle();
    EXPECT_EQ(hud->size(), (cg::Size{200, 100}));
    EXPECT_TRUE(near(hud->label()->frame(), {76, 40, 48, 20}));
}

TEST_F(ViewHudTest, TheOffsetMovesTheBezelButTheMarginsHoldIt) {
    auto hud = HUD::showHUDAddedTo(host, false);
    hud->setOffset({0, 100});
    env.runUntilIdle();
    EXPECT_EQ(hud->bezelView()->center(), (cg::Point{195, 522}));
    hud->setYOffset(1000);
    env.runUntilIdle();
    EXPECT_EQ(hud->bezelView()->center(), (cg::Point{195, 844 - 20 - 38.5}));
    EXPECT_EQ(hud->xOffset(), 0);
}

TEST_F(ViewHudTest, AButtonTakesRoomOnlyOnceItHasAnAction) {
    auto hud = HUD::showHUDAddedTo(host, false);
    hud->button()->setTitle("取消", ui::ControlStateNormal);
    env.runUntilIdle();
    EXPECT_EQ(hud->size(), (cg::Size{77, 77}));

    hud->button()->addTarget(
        nullptr, [](ui::Control&, ui::Event*) {}, ui::ControlEventTouchUpInside);
    hud->setNeedsLayout();
    env.runUntilIdle();
    EXPECT_GT(hud->size().height, 77 + 4);
    EXPECT_GT(hud->button()->frame().width(), 20);
}

// ---- Showing and hiding ----

TEST_F(ViewHudTest, HidingAnimatedFadesOutAndLeavesTheHost) {
    auto hud = showLoginHud();
    int completions = 0;
    hud->setCompletionBlock([&] { ++completions; });
    hud->hideAnimated(true);
    EXPECT_TRUE(hud->hasFinished());
    env.fastForwardBy(0.29);
    EXPECT_EQ(hud->superview(), host);
    env.fastForwardBy(0.02);
    EXPECT_EQ(hud->superview(), nullptr);
    EXPECT_EQ(hud->alpha(), 0);
    EXPECT_EQ(completions, 1);
}

TEST_F(ViewHudTest, AGraceTimeHidesAQuickTaskEntirely) {
    auto delegate = std::make_shared<Hidden>();
    auto hud = HUD::initWithView(host);
    hud->setGraceTime(0.5);
    hud->setRemoveFromSuperViewOnHide(true);
    hud->setDelegate(delegate);
    host->addSubview(hud);
    hud->showAnimated(true);
    env.fastForwardBy(0.2);
    EXPECT_EQ(hud->alpha(), 0);
    hud->hideAnimated(true);
    EXPECT_EQ(hud->superview(), nullptr);
    EXPECT_EQ(delegate->calls, 1);
    env.fastForwardBy(1);
    EXPECT_EQ(hud->alpha(), 0);
    EXPECT_FALSE(hud->showStarted().has_value());
}

TEST_F(ViewHudTest, AMinimumShowTimeHoldsTheHud) {
    auto hud = HUD::initWithView(host);
    hud->setMinShowTime(1.0);
    hud->setRemoveFromSuperViewOnHide(true);
    host->addSubview(hud);
    hud->showAnimated(true);
    env.fastForwardBy(0.2);
    hud->hideAnimated(true);
    env.fastForwardBy(0.79);
    EXPECT_TRUE(isUp(hud));
    // Another 0.8 s after the hide, then the 0.3 s fade.
    env.fastForwardBy(0.02 + 0.3);
    EXPECT_EQ(hud->superview(), nullptr);
}

TEST_F(ViewHudTest, AShowCancelsAHideHeldByTheMinimumShowTime) {
    auto hud = HUD::showHUDAddedTo(host, true);
    hud->setMinShowTime(1.0);
    env.fastForwardBy(0.2);
    hud->hideAnimated(true);
    env.fastForwardBy(0.3);
    hud->showAnimated(true);
    env.fastForwardBy(2);
    EXPECT_TRUE(isUp(hud));
}

TEST_F(ViewHudTest, AHideDelayHidesLater) {
    auto hud = HUD::showHUDAddedTo(host, true);
    hud->hideAnimated(true, 2.0);
    env.fastForwardBy(1.99);
    EXPECT_TRUE(isUp(hud));
    EXPECT_FALSE(hud->hasFinished());
    env.fastForwardBy(0.02 + 0.3);
    EXPECT_EQ(hud->superview(), nullptr);
}

TEST_F(ViewHudTest, AShowBeforeTheHideDelayEndsCancelsIt) {
    auto hud = HUD::showHUDAddedTo(host, true);
    hud->hideAnimated(true, 2.0);
    env.fastForwardBy(1.0);
    hud->showAnimated(true);
    env.fastForwardBy(5);
    EXPECT_TRUE(isUp(hud));
}

TEST_F(ViewHudTest, TheZoomAnimationGrowsInAndShrinksOutThenCompletes) {
    auto delegate = std::make_shared<Hidden>();
    auto hud = HUD::initWithView(host);
    hud->setAnimationType(sd_KXProgressHUDAnimation::Zoom);
    hud->setRemoveFromSuperViewOnHide(true);
    hud->setDelegate(delegate);
    host->addSubview(hud);
    auto& recorder = ui::AnimationRecorder::shared();
    recorder.clear();

    hud->showAnimated(true);
    const auto* in = recorder.lastFor(*hud->bezelView());
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(in->kind, ui::ViewAnimationRecord::Kind::Spring);
    EXPECT_EQ(in->duration, 0.3);
    EXPECT_EQ(in->dampingRatio, 1.0);
    EXPECT_TRUE(in->options & ui::ViewAnimationOptionBeginFromCurrentState);
    for (const auto& change : in->changes) {
        if (change.keyPath != "transform") continue;
        EXPECT_EQ(ui::transform3DValue(change.fromValue).affine, cg::AffineTransform::makeScale(0.5, 0.5));
        EXPECT_TRUE(ui::transform3DValue(change.toValue).isIdentity());
    }
    EXPECT_EQ(hud->bezelView()->alpha(), 1);
    env.fastForwardBy(0.5);

    hud->hideAnimated(true);
    EXPECT_EQ(hud->bezelView()->transform(), cg::AffineTransform::makeScale(0.5, 0.5));
    EXPECT_EQ(hud->bezelView()->alpha(), 0);
    env.fastForwardBy(0.29);
    EXPECT_EQ(delegate->calls, 0);
    EXPECT_EQ(hud->superview(), host);
    env.fastForwardBy(0.02);
    EXPECT_EQ(delegate->calls, 1);
    EXPECT_EQ(hud->superview(), nullptr);
}

TEST_F(ViewHudTest, AShowDuringTheFadeOutKeepsTheHudButTheCutHideStillReports) {
    auto hud = HUD::showHUDAddedTo(host, true);
    env.fastForwardBy(0.5);
    int completions = 0;
    hud->setCompletionBlock([&] { ++completions; });
    hud->hideAnimated(true);
    env.fastForwardBy(0.1);
    hud->showAnimated(true);
    env.fastForwardBy(1);
    EXPECT_TRUE(isUp(hud));
    EXPECT_EQ(completions, 1);
}

TEST_F(ViewHudTest, HUDForViewSkipsHudsThatAreHiding) {
    auto below = HUD::showHUDAddedTo(host, false);
    auto above = HUD::showHUDAddedTo(host, false);
    EXPECT_EQ(HUD::HUDForView(host), above);
    EXPECT_TRUE(HUD::hideHUDForView(host, true));
    EXPECT_EQ(HUD::HUDForView(host), below);
    EXPECT_TRUE(HUD::hideHUDForView(host, true));
    EXPECT_FALSE(HUD::hideHUDForView(host, true));
    EXPECT_EQ(HUD::allHUDsForView(host).size(), 2u);
    env.fastForwardBy(0.5);
    EXPECT_TRUE(HUD::allHUDsForView(host).empty());
}

TEST_F(ViewHudTest, HideAllTakesEveryHudOff) {
    HUD::showHUDAddedTo(host, false);
    HUD::showHUDAddedTo(host, false);
    EXPECT_EQ(HUD::hideAllHUDsForView(host, false), 2u);
    EXPECT_TRUE(HUD::allHUDsForView(host).empty());
}

// ---- Modes, progress and colours ----

TEST_F(ViewHudTest, ModesBuildTheirIndicators) {
    auto hud = HUD::showHUDAddedTo(host, false);
    hud->setProgress(0.3f);
    hud->setMode(sd_KXProgressHUDMode::AnnularDeterminate);
    auto round = ns::cast<sd_KXRoundProgressView>(hud->indicator());
    ASSERT_NE(round, nullptr);
    EXPECT_TRUE(round->isAnnular());
    EXPECT_FLOAT_EQ(round->progress(), 0.3f);
    hud->setMode(sd_KXProgressHUDMode::Determinate);
    EXPECT_EQ(hud->indicator(), round);
    EXPECT_TRUE(round->isAnnular());

    hud->setMode(sd_KXProgressHUDMode::DeterminateHorizontalBar);
    auto bar = hud->indicator();
    EXPECT_NE(ns::cast<sd_KXBarProgressView>(bar), nullptr);
    EXPECT_EQ(round->superview(), nullptr);
    hud->setMode(sd_KXProgressHUDMode::DeterminateHorizontalBar);
    EXPECT_EQ(hud->indicator(), bar);

    auto custom = ui::View::make({0, 0, 30, 30});
    hud->setCustomView(custom);
    EXPECT_EQ(hud->indicator(), bar);
    hud->setMode(sd_KXProgressHUDMode::CustomView);
    EXPECT_EQ(hud->indicator(), custom);
    env.runUntilIdle();
    EXPECT_EQ(hud->size(), (cg::Size{70, 70}));

    hud->setMode(sd_KXProgressHUDMode(9));
    EXPECT_EQ(hud->indicator(), custom);
}

TEST_F(ViewHudTest, AProgressObjectReachesTheIndicatorEachFrameWhileShown) {
    auto progress = ns::Progress::progressWithTotalUnitCount(10);
    auto hud = HUD::initWithView(host);
    hud->setMode(sd_KXProgressHUDMode::Determinate);
    hud->setProgressObject(progress);
    host->addSubview(hud);
    hud->showAnimated(false);
    progress->setCompletedUnitCount(4);
    env.fastForwardBy(1.0 / 30);
    auto round = ns::cast<sd_KXRoundProgressView>(hud->indicator());
    EXPECT_FLOAT_EQ(round->progress(), 0.4f);
    EXPECT_FLOAT_EQ(hud->progress(), 0.4f);

    hud->hideAnimated(false);
    EXPECT_EQ(hud->progressObjectDisplayLink(), nullptr);
    progress->setCompletedUnitCount(9);
    env.fastForwardBy(0.1);
    EXPECT_FLOAT_EQ(round->progress(), 0.4f);
}

TEST_F(ViewHudTest, TheContentColourRecoloursTextAndIndicators) {
    auto hud = HUD::showHUDAddedTo(host, false);
    const cg::Color orange{1, 127.0 / 255, 0, 1};
    hud->setContentColor(orange);
    EXPECT_EQ(hud->label()->textColor(), orange);
    EXPECT_EQ(hud->button()->titleColorForState(ui::ControlStateNormal), orange);
    EXPECT_EQ(ns::cast<ui::ActivityIndicatorView>(hud->indicator())->color(), orange);

    hud->setActivityIndicatorColor(cg::Color::white());
    EXPECT_EQ(ns::cast<ui::ActivityIndicatorView>(hud->indicator())->color(), cg::Color::white());
    hud->setMode(sd_KXProgressHUDMode::Determinate);
    auto round = ns::cast<sd_KXRoundProgressView>(hud->indicator());
    EXPECT_EQ(round->progressTintColor(), cg::Color::white());
    EXPECT_EQ(round->backgroundTintColor(), cg::Color::white().withAlpha(0.1));

    // A colour set on the appearance proxy inside HUDs is left alone.
    ui::Appearance<sd_KXBarProgressView>::appearanceWhenContainedIn({HUD::staticClass()})
        .setColor("progressColor", cg::Color{0, 0, 1, 1});
    hud->setMode(sd_KXProgressHUDMode::DeterminateHorizontalBar);
    auto bar = ns::cast<sd_KXBarProgressView>(hud->indicator());
    env.runUntilIdle();
    EXPECT_EQ(bar->progressColor(), (cg::Color{0, 0, 1, 1}));
    EXPECT_EQ(bar->lineColor(), cg::Color::white());
}

TEST_F(ViewHudTest, ANewBackgroundIsClearUntilItsColourChanges) {
    auto hud = HUD::initWithView(host);
    const auto& background = hud->backgroundView();
    EXPECT_EQ(background->style(), sd_KXProgressHUDBackgroundStyle::SolidColor);
    EXPECT_EQ(background->color(), cg::Color::fromWhite(0.8, 0.6));
    EXPECT_EQ(background->backgroundColor(), cg::Color::clear());
    EXPECT_FALSE(hud->disd_KXackground());

    background->setColor(cg::Color::fromWhite(0, 0.1));
    EXPECT_EQ(background->backgroundColor(), cg::Color::fromWhite(0, 0.1));
    EXPECT_FALSE(hud->disd_KXackground());
    background->setColor(cg::Color::fromWhite(0, 0.2));
    EXPECT_TRUE(hud->disd_KXackground());
    hud->setDisd_KXackground(false);
    EXPECT_EQ(background->backgroundColor(), cg::Color::clear());
    hud->setDisd_KXackground(true);
    EXPECT_TRUE(hud->disd_KXackground());

    // The bezel blurs by default, a light blur under its colour.
    const auto& bezel = hud->bezelView();
    ASSERT_NE(bezel->effectView(), nullptr);
    EXPECT_EQ(bezel->backgroundColor(), cg::Color::fromWhite(0.8, 0.6));
    EXPECT_EQ(hud->cornerRadius(), 5);
}

TEST_F(ViewHudTest, AQuickBlockUnderAGraceTimeNeverShowsTheHud) {
    auto hud = HUD::initWithView(host);
    host->addSubview(hud);
    hud->setGraceTime(1.0);
    bool ran = false;
    bool completed = false;
    hud->showAnimatedWhileExecutingBlock(
        true, [&] { ran = true; }, dispatch::Queue::serial("hud.test"), [&] { completed = true; });
    EXPECT_TRUE(hud->taskInProgress());
    env.runUntilIdle();
    EXPECT_TRUE(ran);
    EXPECT_TRUE(completed);
    EXPECT_FALSE(hud->taskInProgress());
    env.fastForwardBy(2);
    EXPECT_EQ(hud->alpha(), 0);
}

TEST_F(ViewHudTest, TheOlderShowWhileExecutingSendsTheMethod) {
    struct Worker : ns::Object {
        void work(const ns::Id& object) { received = object; }
        ns::Id received;
    };
    auto worker = std::make_shared<Worker>();
    auto hud = HUD::showHUDAddedTo(host, false);
    auto payload = text("order-1");
    hud->showWhileExecuting(&Worker::work, worker, payload, false);
    env.runUntilIdle();
    EXPECT_EQ(worker->received, payload);
    EXPECT_EQ(hud->alpha(), 0);
}

}  // namespace
