// The status HUD's panel: sizes from the text metrics (subheadline, 15 pt:
// 7.5 per Latin character, 15 per wide one, 18 per line), content layout,
// placement on the 390 x 844 screen, styles, masks and the keyboard.

#include "hud_test_support.h"
#include "platform/foundation/Log.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/VisualEffectView.h"
#include "ui/hud/KVTRProgressAnimatedView.h"
#include "ui/hud/KVTRProgressHUD.h"
#include "ui/hud/KVTRRadialGradientLayer.h"

namespace {

using HUD = KVTRProgressHUD;

const cg::Point ScreenCentre{195, 422};

class StatusHudLayoutTest : public HudTest {
protected:
    ns::Ref<HUD> settle() {
        env.runUntilIdle();
        env.fastForwardBy(0.2);
        return HUD::sharedView();
    }
    cg::Rect panelBounds() { return HUD::sharedView()->hudView()->bounds(); }
    cg::Point panelCentre() { return HUD::sharedView()->hudView()->center(); }
};

TEST_F(StatusHudLayoutTest, ATextOnlyHudIsTheMeasuredTextPlusTwelveAround) {
    // 13 x 7.5 = 97.5, rounded up.
    HUD::showErrorWithStatus(text("Network error"));
    auto hud = settle();
    EXPECT_TRUE(near(panelBounds(), {0, 0, 122, 42}));
    EXPECT_EQ(panelCentre(), ScreenCentre);
    EXPECT_TRUE(near(hud->statusLabel()->frame(), {12, 12, 98, 18}));
    // In the window, the panel sits at the screen's centre.
    EXPECT_TRUE(near(hud->hudView()->convertRectToView(panelBounds(), nullptr), {134, 401, 122, 42}));
}

TEST_F(StatusHudLayoutTest, ALongTextWrapsWithinTwoHundredPoints) {
    // 17 wide characters: 13 fit in a line of 200 (195 wide), 4 go on.
    HUD::showErrorWithStatus(text("支付失败请检查网络连接后重新尝试吧"));
    auto hud = settle();
    EXPECT_TRUE(near(panelBounds(), {0, 0, 219, 60}));
    EXPECT_TRUE(near(hud->statusLabel()->frame(), {12, 12, 195, 36}));
}

TEST_F(StatusHudLayoutTest, ASpinnerWithoutTextIsEightyFourSquare) {
    HUD::show();
    auto hud = settle();
    EXPECT_TRUE(near(panelBounds(), {0, 0, 84, 84}));
    EXPECT_TRUE(near(hud->indefiniteAnimatedView()->frame(), {12, 12, 60, 60}));
    EXPECT_TRUE(hud->statusLabel()->isHidden());
}

TEST_F(StatusHudLayoutTest, ASpinnerWithTextUsesTheSmallerRadiusAndPutsTheTextBelow) {
    HUD::showWithStatus(text("加载中"));
    auto hud = settle();
    // 12 + 48 + 8 + 18 + 12 high; 12 + 48 + 12 wide.
    EXPECT_TRUE(near(panelBounds(), {0, 0, 72, 98}));
    EXPECT_TRUE(near(hud->indefiniteAnimatedView()->frame(), {12, 12, 48, 48}));
    EXPECT_TRUE(near(hud->statusLabel()->frame(), {13.5, 68, 45, 18}));
}

TEST_F(StatusHudLayoutTest, AMinimumSizeCentresTheContentAsABlock) {
    HUD::setMinimumSize({200, 200});
    HUD::showWithStatus(text("加载中"));
    auto hud = settle();
    EXPECT_TRUE(near(panelBounds(), {0, 0, 200, 200}));
    // The 74-point block of spinner, gap and text starts 63 down.
    EXPECT_TRUE(near(hud->indefiniteAnimatedView()->frame(), {76, 63, 48, 48}));
    EXPECT_TRUE(near(hud->statusLabel()->frame(), {77.5, 119, 45, 18}));
}

TEST_F(StatusHudLayoutTest, AProgressRingSitsWhereTheSpinnerWould) {
    HUD::showProgress(0.25f, text("下载中"));
    auto hud = settle();
    EXPECT_EQ(hud->ringView()->superview(), hud->hudView()->contentView());
    EXPECT_EQ(hud->indefiniteAnimatedView()->superview(), nullptr);
    // The ring view has no size of its own: its layer is centred on it.
    EXPECT_EQ(hud->ringView()->center(), (cg::Point{36, 36}));
    auto ring = hud->ringView()->currentRingLayer();
    ASSERT_NE(ring, nullptr);
    EXPECT_TRUE(
        near(ring->convertRectToLayer(ring->bounds(), hud->hudView()->contentView()->layer().get()), {12, 12, 48, 48}));
    EXPECT_DOUBLE_EQ(hud->ringView()->strokeEnd(), 0.25);
    EXPECT_DOUBLE_EQ(hud->backgroundRingView()->strokeEnd(), 1.0);
}

TEST_F(StatusHudLayoutTest, TheOffsetMovesThePanelFromTheCentre) {
    HUD::setOffsetFromCenter({10, -20});
    HUD::show();
    settle();
    EXPECT_EQ(panelCentre(), (cg::Point{205, 402}));
    HUD::resetOffsetFromCenter();
    HUD::show();
    settle();
    EXPECT_EQ(panelCentre(), ScreenCentre);
}

TEST_F(StatusHudLayoutTest, ThePanelStaysCentredWhenTheKeyboardComes) {
    HUD::showWithStatus(text("加载中"));
    settle();
    ui::Keyboard::simulateShow();
    env.runUntilIdle();
    env.fastForwardBy(0.3);
    EXPECT_EQ(panelCentre(), ScreenCentre);
    EXPECT_DOUBLE_EQ(HUD::sharedView()->visibleKeyboardHeight(), 336);
    ui::Keyboard::simulateHide();
    env.runUntilIdle();
    env.fastForwardBy(0.3);
    EXPECT_DOUBLE_EQ(HUD::sharedView()->visibleKeyboardHeight(), 0);
}

TEST_F(StatusHudLayoutTest, TheGradientCentresAboveTheKeyboard) {
    ui::Keyboard::simulateShow();
    env.runUntilIdle();
    HUD::showWithStatus(text("加载中"), KVTRProgressHUDMaskType::Gradient);
    auto hud = settle();
    auto gradient = hud->backgroundRadialGradientLayer();
    ASSERT_NE(gradient, nullptr);
    EXPECT_EQ(gradient->superlayer(), hud->backgroundView()->layer());
    EXPECT_EQ(gradient->gradientCenter(), (cg::Point{195, (844.0 - 336) / 2}));

    ui::Keyboard::simulateHide();
    env.runUntilIdle();
    HUD::showWithStatus(text("加载中"), KVTRProgressHUDMaskType::Gradient);
    settle();
    EXPECT_EQ(gradient->gradientCenter(), ScreenCentre);

    // Another mask takes the gradient away and dims instead.
    HUD::showWithStatus(text("加载中"), KVTRProgressHUDMaskType::Black);
    settle();
    EXPECT_EQ(gradient->superlayer(), nullptr);
    EXPECT_EQ(hud->backgroundView()->backgroundColor(), cg::Color::fromWhite(0, 0.4));
}

TEST_F(StatusHudLayoutTest, TheDarkStyleShowsWhiteOnADarkBlur) {
    HUD::setDefaultStyle(KVTRProgressHUDStyle::Dark);
    HUD::showWithStatus(text("加载中"));
    auto hud = settle();
    auto blur = ns::cast<ui::BlurEffect>(hud->hudView()->effect());
    ASSERT_NE(blur, nullptr);
    EXPECT_EQ(blur->style(), ui::BlurEffectStyle::Dark);
    EXPECT_EQ(hud->hudView()->backgroundColor(), cg::Color::black().withAlpha(double(0.6f)));
    EXPECT_EQ(hud->statusLabel()->textColor(), cg::Color::white());
    EXPECT_EQ(hud->ringView()->strokeColor(), cg::Color::white());
}

TEST_F(StatusHudLayoutTest, AFadeOutTakesTheBlurAway) {
    HUD::showWithStatus(text("加载中"));
    auto hud = settle();
    EXPECT_NE(hud->hudView()->effect(), nullptr);
    HUD::dismiss();
    settle();
    EXPECT_EQ(hud->hudView()->effect(), nullptr);
    EXPECT_EQ(hud->hudView()->backgroundColor(), cg::Color::clear());
}

TEST_F(StatusHudLayoutTest, ANewImageViewSizeMakesANewImageView) {
    auto hud = HUD::sharedView();
    auto first = hud->imageView();
    EXPECT_EQ(first->bounds().size, (cg::Size{28, 28}));
    HUD::setImageViewSize({40, 40});
    auto second = hud->imageView();
    EXPECT_NE(first, second);
    EXPECT_EQ(second->bounds().size, (cg::Size{40, 40}));
    EXPECT_EQ(first->superview(), nullptr);
}

TEST_F(StatusHudLayoutTest, WithoutASupportedFrontWindowNothingShows) {
    auto alert = ui::Window::makeFullScreen();
    alert->setWindowLevel(ui::WindowLevelAlert);
    alert->makeKeyAndVisible();
    EXPECT_EQ(HUD::sharedView()->frontWindow(), nullptr);
    ns::LogCapture log;
    HUD::showWithStatus(text("加载中"));
    auto hud = settle();
    EXPECT_EQ(hud->controlView()->superview(), nullptr);
    // Nothing seen, nothing on the screen log.
    EXPECT_FALSE(log.contains("screen: hud: 加载中"));

    HUD::setMaxSupportedWindowLevel(ui::WindowLevelAlert);
    EXPECT_EQ(hud->frontWindow(), alert);
}

TEST_F(StatusHudLayoutTest, AContainerViewTakesTheHud) {
    auto container = ui::View::make({0, 0, 300, 200});
    container->setCenter({150, 300});
    window->addSubview(container);
    HUD::setContainerView(container);
    HUD::show();
    auto hud = settle();
    EXPECT_EQ(hud->controlView()->superview(), container);
    EXPECT_EQ(panelCentre(), (cg::Point{150, 300}));
}

}  // namespace
