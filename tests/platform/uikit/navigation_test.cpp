#include <memory>
#include <string>
#include <vector>

#include "platform/runtime/Exception.h"
#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/Color.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/NavigationBar.h"
#include "platform/uikit/NavigationController.h"
#include "platform/uikit/NavigationItem.h"
#include "platform/uikit/TouchSimulation.h"
#include "platform/uikit/Window.h"
#include "ui_test_support.h"

namespace {

using Log = std::vector<std::string>;

class Screen : public ui::ViewController {
public:
    Screen(std::string name, Log* log) : name_(std::move(name)), log_(log) { setTitle(name_); }

    void viewWillAppear(bool) override { add("viewWillAppear"); }
    void viewDidAppear(bool) override { add("viewDidAppear"); }
    void viewWillDisappear(bool) override { add("viewWillDisappear"); }
    void viewDidDisappear(bool) override { add("viewDidDisappear"); }
    void didMoveToParentViewController(ViewController* parent) override {
        add(parent ? "didMoveToParent" : "didMoveToParent(nil)");
    }

private:
    void add(const std::string& what) { log_->push_back(name_ + "." + what); }

    std::string name_;
    Log* log_;
};

class NavigationTest : public UIKitTest {
protected:
    NavigationTest() {
        root = std::make_shared<Screen>("Home", &log);
        nav = std::make_shared<ui::NavigationController>(root);
        window = ui::Window::makeFullScreen();
        window->setRootViewController(nav);
        window->makeKeyAndVisible();
        env.runUntilIdle();
        log.clear();
    }
    // The controllers still on screen log into `log` while they go.
    ~NavigationTest() override { ui::resetSharedStateForTesting(); }

    std::string barTitle() { return nav->navigationBar()->titleLabel()->text()->utf8(); }

    Log log;
    ns::Ref<Screen> root;
    ns::Ref<ui::NavigationController> nav;
    ns::Ref<ui::Window> window;
};

TEST_F(NavigationTest, RootFillsTheViewUnderABarBelowTheStatusBar) {
    EXPECT_EQ(nav->viewControllers(), (std::vector<ns::Ref<ui::ViewController>>{root}));
    EXPECT_EQ(root->navigationController(), nav);
    EXPECT_EQ(root->parentViewController(), nav);
    double top = window->safeAreaInsets().top;
    EXPECT_TRUE(near(nav->navigationBar()->frame(), {0, top, window->bounds().width(), 44}));
    EXPECT_TRUE(near(root->view()->frame(), nav->view()->bounds()));
    EXPECT_EQ(barTitle(), "Home");
    EXPECT_EQ(nav->navigationBar()->backButton(), nullptr);
}

TEST_F(NavigationTest, PushAndPopRunTheAppearanceCallbacksAroundTheTransition) {
    auto detail = std::make_shared<Screen>("Detail", &log);
    nav->pushViewController(detail, true);
    EXPECT_EQ(nav->topViewController(), detail);
    EXPECT_EQ(log, (Log{"Home.viewWillDisappear", "Detail.viewWillAppear"}));
    EXPECT_EQ(barTitle(), "Detail");
    ASSERT_NE(nav->navigationBar()->backButton(), nullptr);
    EXPECT_EQ(nav->navigationBar()->backButton()->currentTitle()->utf8(), "Home");

    env.fastForwardBy(ui::ViewController::TransitionDuration);
    EXPECT_EQ(log, (Log{"Home.viewWillDisappear", "Detail.viewWillAppear", "Home.viewDidDisappear",
                        "Detail.viewDidAppear", "Detail.didMoveToParent"}));
    EXPECT_EQ(root->view()->superview(), nullptr);
    EXPECT_EQ(detail->view()->superview(), nav->view());

    log.clear();
    EXPECT_EQ(nav->popViewController(false), detail);
    env.runUntilIdle();
    EXPECT_EQ(log, (Log{"Detail.viewWillDisappear", "Home.viewWillAppear", "Detail.viewDidDisappear",
                        "Home.viewDidAppear", "Detail.didMoveToParent(nil)"}));
    EXPECT_EQ(nav->viewControllers().size(), 1u);
    EXPECT_EQ(detail->parentViewController(), nullptr);
    EXPECT_EQ(barTitle(), "Home");
}

TEST_F(NavigationTest, ANewPushFinishesTheTransitionInProgress) {
    auto second = std::make_shared<Screen>("Second", &log);
    auto third = std::make_shared<Screen>("Third", &log);
    nav->pushViewController(second, true);
    nav->pushViewController(third, true);
    EXPECT_EQ(root->view()->superview(), nullptr) << "the first transition ended at once";
    EXPECT_EQ(log, (Log{"Home.viewWillDisappear", "Second.viewWillAppear", "Home.viewDidDisappear",
                        "Second.viewDidAppear", "Second.didMoveToParent", "Second.viewWillDisappear",
                        "Third.viewWillAppear"}));
    env.fastForwardBy(ui::ViewController::TransitionDuration);
    EXPECT_EQ(log.back(), "Third.didMoveToParent");
    EXPECT_EQ(nav->viewControllers().size(), 3u);

    auto popped = nav->popToRootViewController(false);
    EXPECT_EQ(popped, (std::vector<ns::Ref<ui::ViewController>>{second, third}));
    env.runUntilIdle();
    EXPECT_EQ(nav->topViewController(), root);
    EXPECT_TRUE(nav->popToRootViewController(false).empty());
    EXPECT_EQ(nav->popViewController(false), nullptr);
}

TEST_F(NavigationTest, AnAnimatedPopChangesTheStackAtOnce) {
    auto detail = std::make_shared<Screen>("Detail", &log);
    nav->pushViewController(detail, false);
    env.runUntilIdle();
    ASSERT_EQ(nav->popViewController(true), detail);
    // The stack reads the new state while the leaving screen animates out,
    // so code that asks "am I the last one?" right after a pop is answered.
    EXPECT_EQ(nav->viewControllers(), (std::vector<ns::Ref<ui::ViewController>>{root}));
    EXPECT_EQ(nav->topViewController(), root);
    EXPECT_EQ(detail->parentViewController(), nav) << "still a child until its transition ends";
    env.fastForwardBy(ui::ViewController::TransitionDuration);
    EXPECT_EQ(detail->parentViewController(), nullptr);
    EXPECT_EQ(nav->viewControllers().size(), 1u);
}

TEST_F(NavigationTest, MisuseOfTheStackRaises) {
    EXPECT_THROW(nav->pushViewController(root, false), ns::Exception);
    EXPECT_THROW(nav->pushViewController(nullptr, false), ns::Exception);
    EXPECT_THROW(nav->popToViewController(std::make_shared<Screen>("Stranger", &log), false), ns::Exception);
}

TEST_F(NavigationTest, TheBackButtonPopsAndItemsShowInTheBar) {
    auto detail = std::make_shared<Screen>("Detail", &log);
    int saved = 0;
    detail->navigationItem()->setRightBarButtonItem(
        ui::BarButtonItem::withTitle("Save", ui::BarButtonItemStyle::Done, [&](ui::BarButtonItem&) { ++saved; }));
    // A title view of one's own, centred in the bar, found by its tag.
    auto titleView = ui::View::make({0, 0, 120, 30});
    titleView->setTag(10001);
    detail->navigationItem()->setTitleView(titleView);
    nav->pushViewController(detail, false);
    env.runUntilIdle();
    nav->view()->layoutIfNeeded();

    auto bar = nav->navigationBar();
    EXPECT_EQ(bar->viewWithTag(10001), titleView);
    EXPECT_TRUE(near(titleView->center(), {bar->bounds().width() / 2, 22}));
    auto save = ns::cast<ui::Button>(bar->subviews().back());
    ASSERT_NE(save, nullptr);
    EXPECT_EQ(save->currentTitle()->utf8(), "Save");
    EXPECT_DOUBLE_EQ(save->frame().maxX(), bar->bounds().width() - ui::NavigationBar::ItemMargin);
    save->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    EXPECT_EQ(saved, 1);

    bar->backButton()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    env.fastForwardBy(ui::ViewController::TransitionDuration);
    EXPECT_EQ(nav->topViewController(), root);
    EXPECT_EQ(bar->viewWithTag(10001), nullptr);
}

TEST_F(NavigationTest, BarItemsTakeTheAppearanceProxysTitleColour) {
    ui::BarButtonItem::appearance().setTitleTextAttributes(
        {{ui::ForegroundColorAttributeName, ui::valueWithColor(ui::blackColor())}}, ui::ControlStateNormal);
    auto item = ui::BarButtonItem::withTitle("Edit", ui::BarButtonItemStyle::Plain);
    root->navigationItem()->setLeftBarButtonItem(item);
    auto button = ns::cast<ui::Button>(nav->navigationBar()->subviews().back());
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->titleColorForState(ui::ControlStateNormal), ui::blackColor());
    // The item's own attributes win, state by state.
    item->setTitleTextAttributes({{ui::ForegroundColorAttributeName, ui::valueWithColor(ui::redColor())}},
                                 ui::ControlStateNormal);
    button = ns::cast<ui::Button>(nav->navigationBar()->subviews().back());
    EXPECT_EQ(button->titleColorForState(ui::ControlStateNormal), ui::redColor());
}

}  // namespace

namespace {

TEST_F(NavigationTest, AnEdgeSwipePastHalfTheWidthPops) {
    nav->pushViewController(std::make_shared<Screen>("Detail", &log), false);
    env.runUntilIdle();
    double width = window->bounds().width();
    // From the middle of the screen nothing happens.
    ui::simulatePan({100, 400}, {{12, 0}, {width * 0.6, 0}});
    env.fastForwardBy(ui::ViewController::TransitionDuration);
    EXPECT_EQ(nav->viewControllers().size(), 2u);
    // From the edge, a short swipe does not pop either; a long one does.
    ui::simulatePan({5, 400}, {{12, 0}, {width * 0.2, 0}});
    env.fastForwardBy(ui::ViewController::TransitionDuration);
    EXPECT_EQ(nav->viewControllers().size(), 2u);
    ui::simulatePan({5, 400}, {{12, 0}, {width * 0.6, 0}});
    env.fastForwardBy(ui::ViewController::TransitionDuration);
    EXPECT_EQ(nav->topViewController(), root);
}

}  // namespace
