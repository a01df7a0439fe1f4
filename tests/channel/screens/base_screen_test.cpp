// The base screen's back rule, title views and keyboard handling, and the
// navigation controller's bar, appearance and rotation.

#include "channel/screens/TVBaseNav.h"
#include "channel/screens/TVBaseVC.h"
#include "channel/screens/TVScreenResources.h"
#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/NavigationBar.h"
#include "platform/uikit/NavigationItem.h"
#include "screens_test_support.h"

namespace {

using screens_test::ScreensTest;

class FieldScreen : public TVBaseVC {
public:
    ns::Ref<ui::TextField> field;
    void viewDidLoad() override {
        TVBaseVC::viewDidLoad();
        field = ui::TextField::make({20, 100, 200, 30});
        field->setDelegate(textFieldDelegate());
        view()->addSubview(field);
    }
    bool shouldAutorotate() const override { return false; }
    unsigned supportedInterfaceOrientations() const override { return ui::InterfaceOrientationMaskLandscape; }
};

class BaseScreenTest : public ScreensTest {
protected:
    // A navigation controller with one screen, presented full screen.
    ns::Ref<TVBaseNav> presentNav(const ns::Ref<TVBaseVC>& screen) {
        auto nav = TVBaseNav::make(screen);
        nav->setModalPresentationStyle(ui::ModalPresentationStyle::FullScreen);
        root->presentViewController(nav, false);
        env.runUntilIdle();
        return nav;
    }
    static ns::Ref<ui::Button> backButton(TVBaseVC& screen) {
        auto item = screen.navigationItem()->leftBarButtonItem();
        if (!item || !item->customView() || item->customView()->subviews().empty()) return nullptr;
        return ns::cast<ui::Button>(item->customView()->subviews().front());
    }
};

TEST_F(BaseScreenTest, TheBackButtonPopsAPushedScreenAndDismissesTheRoot) {
    auto first = std::make_shared<TVBaseVC>();
    auto nav = presentNav(first);
    auto second = std::make_shared<TVBaseVC>();
    nav->pushViewController(second, false);
    env.runUntilIdle();

    auto back = backButton(*second);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->frame(), (cg::Rect{0, 2, 30, 25}));
    EXPECT_EQ(back->superview()->frame().size, (cg::Size{70, 30}));
    back->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    env.fastForwardBy(1);
    EXPECT_EQ(nav->viewControllers().size(), 1u);
    EXPECT_EQ(root->presentedViewController(), nav) << "one level only";
    // The tapped screen's bar item is an empty view now.
    EXPECT_TRUE(second->navigationItem()->leftBarButtonItem()->customView()->subviews().empty());

    ASSERT_TRUE(driver.tap(backButton(*first)));
    env.fastForwardBy(1);
    EXPECT_EQ(root->presentedViewController(), nullptr) << "the root's back dismisses the whole navigation";
}

TEST_F(BaseScreenTest, TheBackButtonShowsTheBundlesImageAndFallsBackToTheBareName) {
    auto screen = std::make_shared<TVBaseVC>();
    presentNav(screen);
    auto image = backButton(*screen)->imageForState(ui::ControlStateNormal);
    ASSERT_TRUE(image) << "DOVUZ.bundle/TV_nav_back";
    EXPECT_NE(image->path().find("DOVUZ.bundle/TV_nav_back@2x.png"), std::string::npos);
    EXPECT_EQ(image->size(), (cg::Size{30, 25}));

    std::filesystem::remove_all(folder + "/resources/DOVUZ.bundle");
    writeResource("TV_nav_back.png", "");  // not a PNG: looked up by the bare name, and absent
    auto bare = std::make_shared<TVBaseVC>();
    bare->loadViewIfNeeded();
    EXPECT_FALSE(backButton(*bare)->imageForState(ui::ControlStateNormal));
}

TEST_F(BaseScreenTest, TitlesGoThroughTheLabelOfTheLatestAppearance) {
    auto screen = std::make_shared<TVBaseVC>();
    screen->loadViewIfNeeded();
    screen->setTitle("早");
    EXPECT_FALSE(screen->navigationItem()->titleView()) << "no label before the first appearance";
    EXPECT_FALSE(screen->title()) << "the platform's own title is never set";

    auto nav = presentNav(screen);
    screen->setTitle("用户协议");
    auto label = ns::cast<ui::Label>(screen->navigationItem()->titleView());
    ASSERT_TRUE(label);
    EXPECT_EQ(label, screen->titlelable());
    EXPECT_EQ(label->text()->utf8(), "用户协议");
    EXPECT_EQ(label->frame(), (cg::Rect{0, 0, 95, 30}));
    EXPECT_EQ(label->font()->pointSize(), 20);
    EXPECT_FALSE(screen->automaticallyAdjustsScrollViewInsets());

    screen->SetBarTitleViewWithTitle(ns::str("忘记密码"), TVScreenResources::image("TV_ForgetPwd_Icon"));
    auto titleView = screen->navigationItem()->titleView();
    ASSERT_TRUE(titleView);
    EXPECT_EQ(titleView->tag(), TVBaseVC::kBarTitleViewTag);
    EXPECT_EQ(titleView->frame().size, (cg::Size{120, 30}));
    ASSERT_EQ(titleView->subviews().size(), 2u);
    auto imageView = ns::cast<ui::ImageView>(titleView->subviews()[1]);
    ASSERT_TRUE(imageView && imageView->image());
    EXPECT_EQ(titleView->subviews()[0]->frame(), (cg::Rect{25, 0, 95, 30}));
    EXPECT_EQ(imageView->frame(), (cg::Rect{0, 5, 20, 20})) << "centred on the label, x centre kept at 10";
    env.runUntilIdle();
    EXPECT_EQ(nav->navigationBar()->viewWithTag(TVBaseVC::kBarTitleViewTag), titleView);

    screen->hiddenNavBar(true);
    EXPECT_TRUE(nav->isNavigationBarHidden());
    screen->hiddenNavBar(false);
    EXPECT_FALSE(nav->isNavigationBarHidden());
}

TEST_F(BaseScreenTest, ReturnClosesTheKeyboardAndInsertsNoLineBreak) {
    auto screen = std::make_shared<FieldScreen>();
    presentNav(screen);
    ASSERT_TRUE(driver.typeText(screen->field, "ab"));
    EXPECT_TRUE(screen->field->isFirstResponder());
    driver.typeText(screen->field, "\n");
    EXPECT_EQ(screen->field->text()->utf8(), "ab");
    EXPECT_FALSE(screen->field->isFirstResponder());

    driver.typeText(screen->field, "c");
    EXPECT_TRUE(screen->field->isFirstResponder());
    screen->touchesBegan({}, nullptr);
    EXPECT_FALSE(screen->field->isFirstResponder()) << "a touch outside ends editing";
    EXPECT_EQ(screen->field->text()->utf8(), "abc");
}

TEST_F(BaseScreenTest, TheNavigationStylesItsBarAndAsksTheTopScreenAboutRotation) {
    auto screen = std::make_shared<FieldScreen>();
    auto nav = presentNav(screen);
    EXPECT_EQ(nav->navigationBar()->barTintColor(), cg::Color::white());
    auto colour = ui::BarButtonItem::appearance().titleTextAttributes(ui::ControlStateNormal).at("NSColor");
    EXPECT_EQ(ui::colorValue(colour), cg::Color::black());
    EXPECT_FALSE(nav->shouldAutorotate());
    EXPECT_EQ(nav->supportedInterfaceOrientations(), ui::InterfaceOrientationMaskLandscape);
    nav->pushViewController(std::make_shared<TVBaseVC>(), false);
    EXPECT_TRUE(nav->shouldAutorotate());
}

TEST_F(BaseScreenTest, TheWholeViewPanGoesBackOnlyAboveTheRoot) {
    auto nav = presentNav(std::make_shared<TVBaseVC>());
    nav->overrideGesture();
    EXPECT_FALSE(nav->interactivePopGestureRecognizer()->isEnabled());
    auto pan = std::make_shared<ui::PanGestureRecognizer>();
    EXPECT_FALSE(nav->gestureRecognizerShouldBegin(*pan)) << "nothing to go back to";

    nav->pushViewController(std::make_shared<TVBaseVC>(), false);
    env.runUntilIdle();
    EXPECT_TRUE(nav->gestureRecognizerShouldBegin(*pan));
    ASSERT_TRUE(driver.drag(nav->view(), {100, 0}));
    env.fastForwardBy(1);
    EXPECT_EQ(nav->viewControllers().size(), 2u) << "not past half the width";
    ASSERT_TRUE(driver.drag(nav->view(), {250, 0}));
    env.fastForwardBy(1);
    EXPECT_EQ(nav->viewControllers().size(), 1u);
}

}  // namespace
