// Both HUDs as a person sees them, through the UI driver: what is on
// screen, where, and for how long.

#include "hud_test_support.h"
#include "platform/foundation/Log.h"
#include "platform/testing/UIDriver.h"
#include "platform/uikit/Button.h"
#include "ui/hud/KVTRProgressHUD.h"
#include "ui/hud/sd_KXProgressHUD.h"

namespace {

class HudDriverTest : public HudTest {
protected:
    // Shown: on screen and not faded out.
    bool showing(std::string_view status) {
        auto label = driver.findByText(status);
        return label && testing::UIDriver::isOnScreen(*label) && label->alpha() == 1 && KVTRProgressHUD::iKVTRisible();
    }

    testing::UIDriver driver;
};

TEST_F(HudDriverTest, TheStatusPanelIsSizedFromItsTextAndCentred) {
    KVTRProgressHUD::showErrorWithStatus(text("订单创建失败"));
    env.runUntilIdle();
    env.fastForwardBy(0.2);

    auto hud = driver.findByAccessibilityIdentifier("KVTRProgressHUD");
    ASSERT_NE(hud, nullptr);
    auto label = driver.findByText("订单创建失败");
    ASSERT_NE(label, nullptr);
    // Six wide characters of 15 points, 18 high, and 12 around.
    EXPECT_TRUE(near(testing::UIDriver::frameInWindow(*label), {150, 413, 90, 18}));
    EXPECT_TRUE(near(testing::UIDriver::frameInWindow(*label->superview()), {138, 401, 114, 42}));
}

TEST_F(HudDriverTest, AnErrorAfterADismissIsReadableForItsWholeTime) {
    KVTRProgressHUD::showWithStatus(text("正在支付"));
    env.runUntilIdle();
    env.fastForwardBy(0.2);
    ASSERT_TRUE(showing("正在支付"));

    KVTRProgressHUD::dismiss();
    KVTRProgressHUD::showErrorWithStatus(text("余额不足"));
    env.runUntilIdle();
    env.fastForwardBy(0.5);  // the spinner's fade-out, the error's fade-in
    EXPECT_EQ(driver.findByText("正在支付"), nullptr);
    EXPECT_TRUE(showing("余额不足"));
    env.fastForwardBy(1.8);
    EXPECT_TRUE(showing("余额不足"));
    env.fastForwardBy(0.5);
    EXPECT_FALSE(showing("余额不足"));
}

TEST_F(HudDriverTest, TheGameStaysTappableUnderTheStatusHud) {
    auto button = ui::Button::make({100, 700, 190, 44});
    button->setTitle("进入游戏", ui::ControlStateNormal);
    int taps = 0;
    button->addTarget(
        nullptr, [&](ui::Control&, ui::Event*) { ++taps; }, ui::ControlEventTouchUpInside);
    window->addSubview(button);

    KVTRProgressHUD::showWithStatus(text("加载中"));
    env.runUntilIdle();
    EXPECT_TRUE(driver.tap("进入游戏"));
    EXPECT_EQ(taps, 1);

    KVTRProgressHUD::showWithStatus(text("加载中"), KVTRProgressHUDMaskType::Black);
    env.runUntilIdle();
    driver.tap("进入游戏");
    EXPECT_EQ(taps, 1);
}

TEST_F(HudDriverTest, TheLoginScreensHudCoversItsViewWhileTheRequestRuns) {
    auto screen = ui::View::make(window->bounds());
    window->addSubview(screen);
    auto hud = sd_KXProgressHUD::showHUDAddedTo(screen, true);
    hud->backgroundView()->setStyle(sd_KXProgressHUDBackgroundStyle::SolidColor);
    hud->backgroundView()->setColor(cg::Color::fromWhite(0, 0.1));
    env.runUntilIdle();
    env.fastForwardBy(0.3);

    ASSERT_EQ(driver.findByClassName("sd_KXProgressHUD"), hud);
    EXPECT_TRUE(near(testing::UIDriver::frameInWindow(*hud->bezelView()), {156.5, 383.5, 77, 77}));
    auto spinner = driver.findByClassName("UIActivityIndicatorView");
    ASSERT_NE(spinner, nullptr);
    EXPECT_TRUE(near(testing::UIDriver::frameInWindow(*spinner), {176.5, 403.5, 37, 37}));

    hud->hideAnimated(true);
    env.fastForwardBy(0.31);
    EXPECT_EQ(driver.findByClassName("sd_KXProgressHUD"), nullptr);
}

TEST_F(HudDriverTest, TheScreenLogShowsEachTextTheHudsShow) {
    ns::LogCapture log;
    auto screenLines = [&] {
        std::vector<std::string> out;
        for (const auto& line : log.lines()) {
            if (line.rfind("screen: ", 0) == 0) out.push_back(line);
        }
        return out;
    };

    // The status HUD: a spinner without text says nothing; each show with a
    // text does, a text changed while up does, a ring moving under the same
    // text does not; the same refusal twice is two lines.
    KVTRProgressHUD::show();
    env.runUntilIdle();
    KVTRProgressHUD::setStatus(text("正在连接"));
    KVTRProgressHUD::showProgress(0.2f, text("下载中"));
    KVTRProgressHUD::showProgress(0.6f, text("下载中"));
    env.runUntilIdle();
    KVTRProgressHUD::showErrorWithStatus(text("sign error"));
    env.runUntilIdle();
    env.fastForwardBy(3);
    KVTRProgressHUD::showErrorWithStatus(text("sign error"));
    env.runUntilIdle();
    env.fastForwardBy(3);
    EXPECT_EQ(screenLines(), (std::vector<std::string>{"screen: hud: 正在连接", "screen: hud: 下载中",
                                                       "screen: hud: sign error", "screen: hud: sign error"}));

    // The per-view HUD: its texts when it shows, and again when they change.
    log.clear();
    auto screen = ui::View::make(window->bounds());
    window->addSubview(screen);
    auto hud = sd_KXProgressHUD::showHUDAddedTo(screen, false);
    hud->setLabelText(text("加载中"));
    env.runUntilIdle();
    hud->setDetailsLabelText(text("请稍候"));
    env.runUntilIdle();
    hud->hideAnimated(false);
    env.runUntilIdle();
    EXPECT_EQ(screenLines(), (std::vector<std::string>{"screen: hud: 加载中", "screen: hud: 加载中 | 请稍候"}));
}

}  // namespace
