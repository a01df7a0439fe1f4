// The toast's geometry and life, the window registry and its top-window
// rule, and the small UI categories.

#include "channel/CALayer+TVColor.h"
#include "channel/UIButton+FillColor.h"
#include "channel/UIColor+XTExtention.h"
#include "channel/UIView+Extension.h"
#include "channel/VRQImageTitleBtn.h"
#include "channel/VRQMessage.h"
#include "channel/VRQWindowManager.h"
#include "channel_test_support.h"
#include "platform/foundation/Log.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/Layer.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/ViewController.h"

namespace {

using channel_test::ChannelTest;

class ToastTest : public ChannelTest {
protected:
    // A host whose W - 40 holds exactly 21 wide characters at 16 points.
    ns::Ref<ui::View> host = ui::View::make({{0, 0}, {376, 600}});

    ns::Ref<ui::View> onlyBox() {
        EXPECT_EQ(host->subviews().size(), 1u);
        return host->subviews().empty() ? nullptr : host->subviews().front();
    }
    ns::Ref<ui::Label> labelOf(const ns::Ref<ui::View>& box) {
        return box && !box->subviews().empty() ? ns::cast<ui::Label>(box->subviews().front()) : nullptr;
    }
};

TEST_F(ToastTest, AShortTextGivesABoxTwentyLargerThanItsLabelAtTwoThirdsOfTheFreeHeight) {
    ns::LogCapture log;
    VRQMessage::showMessage(ns::str("登录成功"), host);
    auto box = onlyBox();
    auto label = labelOf(box);
    ASSERT_TRUE(label);
    cg::Rect l = label->frame(), b = box->frame();
    EXPECT_EQ(l.origin, (cg::Point{10, 10}));
    EXPECT_EQ(l.size.width, 64) << "four wide characters at 16 points";
    EXPECT_EQ(b.size.width, l.size.width + 20);
    EXPECT_EQ(b.size.height, l.size.height + 20);
    EXPECT_EQ(b.origin.x, (376 - b.size.width) / 2);
    EXPECT_EQ(b.origin.y, 2 * (600 - b.size.height) / 3);
    EXPECT_EQ(box->layer()->cornerRadius(), 5);
    EXPECT_TRUE(log.contains("screen: toast: 登录成功"));
}

TEST_F(ToastTest, AWideTextWrapsInABoxTenPointsFromEachSide) {
    std::string wide;
    for (int i = 0; i < 30; ++i) wide += "字";
    VRQMessage::showMessage(ns::str(wide), host);
    auto box = onlyBox();
    auto label = labelOf(box);
    ASSERT_TRUE(label);
    EXPECT_EQ(box->frame().size.width, 376 - 20);
    EXPECT_EQ(box->frame().origin.x, 10);
    EXPECT_EQ(label->numberOfLines(), 0);
    EXPECT_GT(label->frame().size.height, ui::Font::boldSystemFontOfSize(16)->lineHeight()) << "wrapped";
}

TEST_F(ToastTest, TheToastFadesAfterADelayAndIsGoneAtTwoPointThreeSeconds) {
    VRQMessage::showMessage(ns::str("a"), host);
    auto box = onlyBox();
    env.fastForwardBy(2.2);
    EXPECT_EQ(host->subviews().size(), 1u);
    env.fastForwardBy(0.11);
    EXPECT_TRUE(host->subviews().empty());
    EXPECT_EQ(box->alpha(), 0);
}

TEST_F(ToastTest, ANilMessageShowsNothingAndSeveralToastsAreIndependent) {
    VRQMessage::showMessage(nullptr, host);
    EXPECT_TRUE(host->subviews().empty());
    VRQMessage::showMessage(ns::str("one"), host);
    env.fastForwardBy(1);
    VRQMessage::showMessage(ns::str("two"), host);
    EXPECT_EQ(host->subviews().size(), 2u);
    env.fastForwardBy(1.31);
    EXPECT_EQ(host->subviews().size(), 1u) << "the older one goes first";
    env.fastForwardBy(1);
    EXPECT_TRUE(host->subviews().empty());
}

TEST_F(ToastTest, TheToastWithoutAHostShowsOnTheTopWindow) {
    VRQMessage::showMessage("退出成功");
    ASSERT_EQ(VRQWindowManager::topWindow(), window);
    EXPECT_EQ(window->subviews().size(), 1u);
}

TEST(ToastWidth, MeasuresOneLineAndStandsInForEmptyText) {
    auto text = ns::str("abcd");
    EXPECT_EQ(VRQMessage::getWidthWithText(text.get(), 20, 16), 32);
    EXPECT_EQ(VRQMessage::getWidthWithText(nullptr, 20, 16), 16) << "measured as 无";
    EXPECT_EQ(VRQMessage::getWidthWithText(text.get(), -1, 0), 26) << "13 points when no size";
}

using WindowRegistryTest = ChannelTest;

TEST_F(WindowRegistryTest, TopWindowIsTheFrontMostVisibleOpaqueFullScreenWindow) {
    EXPECT_EQ(VRQWindowManager::topWindow(), window);
    auto small = ui::Window::make({{0, 0}, {60, 60}});
    small->setHidden(false);
    EXPECT_EQ(VRQWindowManager::topWindow(), window) << "not full screen";
    auto clear = ui::Window::makeFullScreen();
    clear->setOpaque(false);
    clear->setHidden(false);
    EXPECT_EQ(VRQWindowManager::topWindow(), window) << "not opaque";
    auto front = ui::Window::makeFullScreen();
    front->setHidden(false);
    EXPECT_EQ(VRQWindowManager::topWindow(), front);
    front->setHidden(true);
    EXPECT_EQ(VRQWindowManager::topWindow(), window);
}

TEST_F(WindowRegistryTest, WindowsAreKeptShownHiddenAndDestroyedByKey) {
    auto ball = ui::Window::make({{0, 0}, {60, 60}});
    ball->setHidden(false);
    VRQWindowManager::saveWindow(ball, "K");
    EXPECT_EQ(VRQWindowManager::windowForKey("K"), ball);
    EXPECT_FALSE(VRQWindowManager::windowForKey("other"));
    VRQWindowManager::hideWindowForKey("K");
    EXPECT_TRUE(ball->isHidden());
    VRQWindowManager::showWindowForKey("K");
    EXPECT_FALSE(ball->isHidden());
    VRQWindowManager::hideWindowForKey("missing");  // nothing happens

    auto replacement = ui::Window::make({{0, 0}, {60, 60}});
    VRQWindowManager::saveWindow(replacement, "K");
    EXPECT_EQ(VRQWindowManager::windowForKey("K"), replacement);
    VRQWindowManager::destroyWindowForKey("K");
    EXPECT_FALSE(VRQWindowManager::windowForKey("K"));
    EXPECT_TRUE(VRQWindowManager::shared()->windowDic().empty());
}

TEST_F(WindowRegistryTest, DestroyingAWindowDismissesWhatItsRootPresentsAtOnceAndClearsTheRoot) {
    auto extra = ui::Window::makeFullScreen();
    auto root = std::make_shared<ui::ViewController>();
    extra->setRootViewController(root);
    extra->setHidden(false);
    auto shown = std::make_shared<ui::ViewController>();
    root->presentViewController(shown, false);
    env.runUntilIdle();
    ASSERT_EQ(root->presentedViewController(), shown);
    VRQWindowManager::saveWindow(extra, "K");

    VRQWindowManager::destroyWindowForKey("K");
    EXPECT_TRUE(extra->isHidden());
    EXPECT_FALSE(extra->rootViewController());
    EXPECT_FALSE(VRQWindowManager::windowForKey("K"));
    // Without animation: over by the next turn, the clock standing still.
    env.runUntilIdle();
    EXPECT_FALSE(root->presentedViewController());
    EXPECT_FALSE(shown->view()->superview());
    EXPECT_FALSE(root->view()->superview());
}

TEST(ViewExtension, SettersReplaceOneMeasureAndKeepTheRest) {
    auto view = ui::View::make({{40, 50}, {20, 20}});
    ViewExtension::setCenterX(*view, 10);
    EXPECT_EQ(view->center(), (cg::Point{10, 60}));
    ViewExtension::setWidth(*view, 30);
    EXPECT_EQ(view->frame(), (cg::Rect{{0, 50}, {30, 20}}));
    ViewExtension::setY(*view, 5);
    ViewExtension::setSize(*view, {8, 9});
    EXPECT_EQ(view->frame(), (cg::Rect{{0, 5}, {8, 9}}));
    EXPECT_EQ(ViewExtension::centerY(*view), 9.5);
    ViewExtension::setLayerCornerRadius(*view, 4);
    EXPECT_TRUE(view->layer()->masksToBounds());
    ViewExtension::setLayerBorderWidth(*view, 2, cg::Color::white());
    EXPECT_EQ(TVColor::borderUIColor(*view->layer()), cg::Color::white());
}

TEST(HexColours, TopByteAlphaAndShortForms) {
    EXPECT_EQ(XTExtention::fromHexValue(0x00FF0000u), (cg::Color{1, 0, 0, 1}));
    EXPECT_EQ(XTExtention::fromHexValue(0x80FF0000u), (cg::Color{1, 0, 0, 128 / 255.0}));
    EXPECT_EQ(XTExtention::fromHexValue(0xAB00FF00u, 0.5), (cg::Color{0, 1, 0, 0.5}));
    EXPECT_EQ(XTExtention::fromShortHexValue(0xF00u), (cg::Color{1, 0, 0, 1}));
}

TEST(ButtonCategories, StateColoursAndImageAboveTitle) {
    auto button = ui::Button::make({{0, 0}, {50, 50}});
    FillColor::setBackgroundColorForState(*button, cg::Color::black(), ui::ControlStateHighlighted);
    auto image = button->backgroundImageForState(ui::ControlStateHighlighted);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), (cg::Size{1, 1}));

    auto stacked = VRQImageTitleBtn::make({{0, 0}, {80, 80}});
    stacked->setTitle("礼包", ui::ControlStateNormal);
    stacked->awakeFromNib();
    cg::Size title = stacked->titleLabel()->intrinsicContentSize();
    EXPECT_EQ(stacked->imageEdgeInsets().top, -(title.height + 5));
    EXPECT_EQ(stacked->imageEdgeInsets().right, -title.width);
}

TEST(BarButtonItem, AZeroSizeTakesTheImageSize) {
    auto item = BarButtonItemExtension::itemWithTarget(nullptr, [](ui::Control&, ui::Event*) {}, "none", "none",
                                                       {24, 20});
    ASSERT_TRUE(item->customView());
    EXPECT_EQ(item->customView()->frame().size, (cg::Size{24, 20}));
    auto sized = BarButtonItemExtension::itemWithTarget(nullptr, [](ui::Control&, ui::Event*) {}, "none", "none",
                                                        {0, 20});
    EXPECT_EQ(sized->customView()->frame().size, (cg::Size{0, 0})) << "no image, no size";
}

}  // namespace
