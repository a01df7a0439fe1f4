// The status HUD's show and dismiss machinery on mock time: display times,
// queued operations, grace, activity counting, notifications, mask types,
// touches and haptics.

#include <string>

#include "hud_test_support.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Dictionary.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/FeedbackGenerator.h"
#include "platform/uikit/TouchSimulation.h"
#include "ui/hud/KVTRProgressHUD.h"

namespace {

using HUD = KVTRProgressHUD;

std::string repeat(const std::string& unit, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += unit;
    return out;
}

class StatusHudTest : public HudTest {
protected:
    // Lets the queued operations run and the fade-in end.
    void settleShow() {
        env.runUntilIdle();
        env.fastForwardBy(0.2);
    }
    bool inWindow() { return HUD::sharedView()->window() != nullptr; }
};

TEST_F(StatusHudTest, DisplayTimeGrowsWithTheTextsUtf16Length) {
    EXPECT_DOUBLE_EQ(HUD::displayDurationForString(nullptr), 2.0);
    EXPECT_DOUBLE_EQ(HUD::displayDurationForString(text(repeat("x", 25))), 2.0);
    EXPECT_DOUBLE_EQ(HUD::displayDurationForString(text(repeat("x", 50))), 3.5);
    // Wide characters count one unit each, characters outside the BMP two.
    EXPECT_DOUBLE_EQ(HUD::displayDurationForString(text(repeat("错", 50))), 3.5);
    EXPECT_DOUBLE_EQ(HUD::displayDurationForString(text(repeat("😀", 25))), 3.5);
    EXPECT_NEAR(HUD::displayDurationForString(text(repeat("x", 80))), 5.3, 1e-12);

    HUD::setMaximumDismissTimeInterval(3);
    EXPECT_DOUBLE_EQ(HUD::displayDurationForString(text(repeat("x", 80))), 3.0);
}

struct Shown {
    int units;
    double seconds;
};

void PrintTo(const Shown& shown, std::ostream* os) { *os << shown.units << " units for " << shown.seconds << " s"; }

class StatusHudDisplayTimeTest : public StatusHudTest, public ::testing::WithParamInterface<Shown> {};

TEST_P(StatusHudDisplayTimeTest, AnImageShowStaysUpForItsDisplayTime) {
    NotificationLog log("KVTRProgressHUD");
    HUD::showSuccessWithStatus(text(repeat("领", GetParam().units)));
    env.runUntilIdle();
    env.fastForwardBy(0.16);  // the fade-in
    ASSERT_FALSE(std::isnan(log.timeOf(KVTRProgressHUDDidAppearNotification)));

    env.fastForwardBy(GetParam().seconds - 0.02);
    EXPECT_TRUE(HUD::iKVTRisible());
    EXPECT_TRUE(std::isnan(log.timeOf(KVTRProgressHUDWillDisappearNotification)));

    env.fastForwardBy(0.04 + 0.2);
    double shown =
        log.timeOf(KVTRProgressHUDWillDisappearNotification) - log.timeOf(KVTRProgressHUDDidAppearNotification);
    EXPECT_NEAR(shown, GetParam().seconds, 1e-9);
    EXPECT_FALSE(HUD::iKVTRisible());
    EXPECT_FALSE(inWindow());
}

INSTANTIATE_TEST_SUITE_P(StatusTexts, StatusHudDisplayTimeTest,
                         ::testing::Values(Shown{10, 2.0}, Shown{50, 3.5}, Shown{80, 5.3}));

TEST_F(StatusHudTest, AnErrorShownRightAfterADismissStaysOnScreen) {
    HUD::showWithStatus(text("正在登录"));
    settleShow();
    ASSERT_TRUE(HUD::iKVTRisible());

    // What the reply handlers do: take the spinner down, report the error.
    const std::string error = "用户名或密码错误";
    NotificationLog log("KVTRProgressHUD");
    HUD::dismiss();
    HUD::showErrorWithStatus(text(error));
    env.runUntilIdle();
    env.fastForwardBy(1.0);

    EXPECT_TRUE(HUD::iKVTRisible());
    EXPECT_TRUE(inWindow());
    EXPECT_EQ(HUD::sharedView()->statusLabel()->text()->utf8(), error);
    EXPECT_EQ(HUD::sharedView()->progress(), -1);

    env.fastForwardBy(3.0);
    EXPECT_FALSE(HUD::iKVTRisible());
    EXPECT_FALSE(inWindow());
    // The spinner went first, then the error came up for its whole time.
    ASSERT_EQ(log.names, (std::vector<std::string>{
                             KVTRProgressHUDWillDisappearNotification, KVTRProgressHUDDidDisappearNotification,
                             KVTRProgressHUDWillDisappearNotification, KVTRProgressHUDDidDisappearNotification,
                             KVTRProgressHUDWillAppearNotification, KVTRProgressHUDDidAppearNotification,
                             KVTRProgressHUDWillDisappearNotification, KVTRProgressHUDDidDisappearNotification}));
    EXPECT_NEAR(log.times[6] - log.times[5], 2.0, 1e-9);
}

TEST_F(StatusHudTest, AnErrorWithNothingShownFirstStillAppears) {
    HUD::dismiss();
    HUD::showErrorWithStatus(text("网络连接失败"));
    env.runUntilIdle();
    env.fastForwardBy(0.5);
    EXPECT_TRUE(HUD::iKVTRisible());
    // No error image is set: the text shows alone.
    EXPECT_EQ(HUD::sharedView()->imageView()->image(), nullptr);
}

TEST_F(StatusHudTest, AGraceTimeHidesAQuickTaskEntirely) {
    HUD::setGraceTimeInterval(1);
    NotificationLog log("KVTRProgressHUD");
    HUD::showWithStatus(text("加载中"));
    env.runUntilIdle();
    env.fastForwardBy(0.5);
    EXPECT_FALSE(HUD::iKVTRisible());

    HUD::dismiss();
    env.runUntilIdle();
    env.fastForwardBy(2);
    EXPECT_FALSE(HUD::iKVTRisible());
    EXPECT_EQ(log.names, (std::vector<std::string>{KVTRProgressHUDWillDisappearNotification,
                                                   KVTRProgressHUDDidDisappearNotification}));
}

TEST_F(StatusHudTest, AGraceTimeDelaysASlowTask) {
    HUD::setGraceTimeInterval(1);
    HUD::showWithStatus(text("加载中"));
    env.runUntilIdle();
    env.fastForwardBy(0.99);
    EXPECT_FALSE(HUD::iKVTRisible());
    env.fastForwardBy(0.02);
    EXPECT_TRUE(HUD::iKVTRisible());
}

TEST_F(StatusHudTest, NotificationsComeInOrderWithTheStatus) {
    NotificationLog log("KVTRProgressHUD");
    HUD::showWithStatus(text("同步中"));
    settleShow();
    HUD::dismiss();
    env.runUntilIdle();
    env.fastForwardBy(0.2);

    ASSERT_EQ(log.names, (std::vector<std::string>{
                             KVTRProgressHUDWillAppearNotification, KVTRProgressHUDDidAppearNotification,
                             KVTRProgressHUDWillDisappearNotification, KVTRProgressHUDDidDisappearNotification}));
    auto hud = HUD::sharedView();
    for (const auto& n : log.all) {
        bool objectless = n->name() == KVTRProgressHUDWillDisappearNotification;
        EXPECT_EQ(n->object().get(), objectless ? nullptr : hud.get()) << n->name();
        ASSERT_NE(n->userInfo(), nullptr) << n->name();
        EXPECT_EQ(n->userInfo()->objectForKey(KVTRProgressHUDStatusUserInfoKey)->description(), "同步中");
    }
    EXPECT_DOUBLE_EQ(log.times[1] - log.times[0], double(0.15f));
}

TEST_F(StatusHudTest, AShowOnAVisibleHudDoesNotAppearAgain) {
    NotificationLog log("KVTRProgressHUD");
    HUD::showWithStatus(text("第一步"));
    settleShow();
    HUD::showWithStatus(text("第二步"));
    settleShow();
    EXPECT_EQ(log.names,
              (std::vector<std::string>{KVTRProgressHUDWillAppearNotification, KVTRProgressHUDDidAppearNotification}));
    EXPECT_EQ(HUD::sharedView()->statusLabel()->text()->utf8(), "第二步");
}

TEST_F(StatusHudTest, ActivitiesAreCountedUntilTheLastPop) {
    HUD::showWithStatus(text("a"));
    HUD::showWithStatus(text("b"));
    settleShow();
    EXPECT_EQ(HUD::sharedView()->activityCount(), 2u);

    HUD::popActivity();
    env.runUntilIdle();
    env.fastForwardBy(1);
    EXPECT_TRUE(HUD::iKVTRisible());

    HUD::popActivity();
    env.runUntilIdle();
    env.fastForwardBy(0.2);
    EXPECT_FALSE(HUD::iKVTRisible());
    EXPECT_EQ(HUD::sharedView()->activityCount(), 0u);
}

TEST_F(StatusHudTest, OnlyProgressAtZeroCountsAnActivity) {
    HUD::showProgress(0.0f);
    settleShow();
    EXPECT_EQ(HUD::sharedView()->activityCount(), 1u);
    HUD::showProgress(0.5f, text("下载中"));
    settleShow();
    EXPECT_EQ(HUD::sharedView()->activityCount(), 1u);
    EXPECT_DOUBLE_EQ(HUD::sharedView()->progress(), 0.5);
}

TEST_F(StatusHudTest, ADelayedDismissKeepsTheHudUpUntilItRuns) {
    bool completed = false;
    HUD::showWithStatus(text("保存中"));
    settleShow();
    HUD::dismissWithDelay(1.0, [&] { completed = true; });
    env.runUntilIdle();
    env.fastForwardBy(0.9);
    EXPECT_TRUE(HUD::iKVTRisible());
    EXPECT_FALSE(completed);
    env.fastForwardBy(0.3);
    EXPECT_FALSE(HUD::iKVTRisible());
    EXPECT_TRUE(completed);
}

TEST_F(StatusHudTest, TheMaskTypeVariantsApplyTheMaskTheyAreGiven) {
    HUD::showWithStatus(text("处理中"), KVTRProgressHUDMaskType::Black);
    settleShow();
    auto hud = HUD::sharedView();
    EXPECT_EQ(hud->defaultMaskType(), KVTRProgressHUDMaskType::None);
    EXPECT_EQ(hud->activeMaskType(), KVTRProgressHUDMaskType::Black);
    EXPECT_EQ(hud->backgroundView()->backgroundColor(), cg::Color::fromWhite(0, 0.4));
    EXPECT_TRUE(hud->controlView()->isUserInteractionEnabled());

    HUD::showWithStatus(text("处理中"));
    settleShow();
    EXPECT_EQ(hud->backgroundView()->backgroundColor(), cg::Color::clear());
    EXPECT_FALSE(hud->controlView()->isUserInteractionEnabled());
}

TEST_F(StatusHudTest, TheErrorVariantWithAMaskUsesIt) {
    HUD::showErrorWithStatus(text("支付失败"), KVTRProgressHUDMaskType::Custom);
    env.runUntilIdle();
    env.fastForwardBy(0.5);
    auto hud = HUD::sharedView();
    EXPECT_EQ(hud->activeMaskType(), KVTRProgressHUDMaskType::Custom);
    EXPECT_EQ(hud->backgroundView()->backgroundColor(), hud->backgroundLayerColor());
    EXPECT_EQ(hud->defaultMaskType(), KVTRProgressHUDMaskType::None);
}

TEST_F(StatusHudTest, WithoutAMaskTouchesReachTheViewsBelow) {
    auto button = ui::Button::make({20, 100, 200, 60});
    int taps = 0;
    button->addTarget(
        nullptr, [&](ui::Control&, ui::Event*) { ++taps; }, ui::ControlEventTouchUpInside);
    window->addSubview(button);

    HUD::showWithStatus(text("请稍候"));
    settleShow();
    NotificationLog log("KVTRProgressHUDDid");
    EXPECT_TRUE(ui::simulateTap({120, 130}));
    EXPECT_EQ(taps, 1);
    EXPECT_TRUE(log.names.empty());

    HUD::showWithStatus(text("请稍候"), KVTRProgressHUDMaskType::Clear);
    settleShow();
    EXPECT_TRUE(ui::simulateTap({120, 130}));
    EXPECT_EQ(taps, 1);
    EXPECT_EQ(log.names, (std::vector<std::string>{KVTRProgressHUDDidReceiveTouchEventNotification}));

    // On the panel, which sits at the screen's centre.
    EXPECT_TRUE(ui::simulateTap({195, 422}));
    EXPECT_EQ(log.names, (std::vector<std::string>{KVTRProgressHUDDidReceiveTouchEventNotification,
                                                   KVTRProgressHUDDidReceiveTouchEventNotification,
                                                   KVTRProgressHUDDidTouchDownInsideNotification}));
    // Touches never dismiss.
    env.fastForwardBy(5);
    EXPECT_TRUE(HUD::iKVTRisible());
}

TEST_F(StatusHudTest, HapticsPlayOnlyWhenEnabled) {
    auto& recorder = ui::FeedbackRecorder::shared();
    HUD::showErrorWithStatus(text("错误"));
    env.runUntilIdle();
    EXPECT_TRUE(recorder.records().empty());

    HUD::setHapticsEnabled(true);
    HUD::showErrorWithStatus(text("错误"));
    HUD::showInfoWithStatus(text("提示"));
    env.runUntilIdle();
    std::vector<int> played;
    for (const auto& r : recorder.records()) {
        if (r.kind == ui::FeedbackRecord::Kind::Notification) played.push_back(r.value);
    }
    EXPECT_EQ(played, (std::vector<int>{2, 1}));
}

}  // namespace
