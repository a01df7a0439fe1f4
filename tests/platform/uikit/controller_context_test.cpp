#include <memory>
#include <string>
#include <vector>

#include "platform/uikit/Screen.h"
#include "platform/uikit/TableViewController.h"
#include "platform/uikit/ViewController.h"
#include "platform/uikit/Window.h"
#include "ui_test_support.h"

namespace {

class SizeListener : public ui::ViewController {
public:
    void viewWillTransitionToSize(cg::Size size) override {
        sizes.push_back(size);
        ViewController::viewWillTransitionToSize(size);
    }
    std::vector<cg::Size> sizes;
};

class ContextTest : public UIKitTest {
protected:
    ContextTest() {
        root = std::make_shared<ui::ViewController>();
        window = ui::Window::makeFullScreen();
        window->setRootViewController(root);
        window->makeKeyAndVisible();
        env.runUntilIdle();
    }

    ns::Ref<ui::ViewController> root;
    ns::Ref<ui::Window> window;
};

TEST_F(ContextTest, ACurrentContextPresentationCoversOnlyTheContext) {
    auto panel = std::make_shared<ui::ViewController>();
    panel->setDefinesPresentationContext(true);
    root->addChildViewController(panel);
    panel->view()->setFrame({0, 100, 390, 300});
    root->view()->addSubview(panel->view());
    panel->didMoveToParentViewController(root.get());

    auto sheet = std::make_shared<ui::ViewController>();
    sheet->setModalPresentationStyle(ui::ModalPresentationStyle::CurrentContext);
    bool done = false;
    panel->presentViewController(sheet, false, [&] { done = true; });
    env.runUntilIdle();
    ASSERT_TRUE(done);
    EXPECT_EQ(panel->presentedViewController(), sheet);
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_TRUE(near(sheet->view()->frame(), {0, 100, 390, 300}));
    EXPECT_EQ(panel->view()->superview(), nullptr);
    EXPECT_EQ(root->view()->window(), window);

    sheet->dismissViewController(false);
    env.runUntilIdle();
    EXPECT_EQ(panel->view()->superview(), root->view());
    EXPECT_EQ(sheet->view()->superview(), nullptr);
}

TEST_F(ContextTest, DismissingTakesEverythingPresentedAbove) {
    auto first = std::make_shared<ui::ViewController>();
    auto second = std::make_shared<ui::ViewController>();
    root->presentViewController(first, false);
    first->presentViewController(second, false);
    env.runUntilIdle();
    ASSERT_EQ(first->presentedViewController(), second);
    // Automatic is a page sheet from system version 13 on.
    EXPECT_DOUBLE_EQ(first->view()->frame().minY(), window->safeAreaInsets().top + 10);

    root->dismissViewController(true);
    env.fastForwardBy(ui::ViewController::TransitionDuration);
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_EQ(first->presentedViewController(), nullptr);
    EXPECT_EQ(second->presentingViewController(), nullptr);
    EXPECT_EQ(second->view()->window(), nullptr);
    EXPECT_EQ(first->view()->window(), nullptr);

    // With nothing to dismiss the completion still comes.
    bool done = false;
    root->dismissViewController(true, [&] { done = true; });
    env.runUntilIdle();
    EXPECT_TRUE(done);
}

TEST_F(ContextTest, RotationReachesChildrenAndPresentedControllers) {
    auto parent = std::make_shared<SizeListener>();
    auto child = std::make_shared<SizeListener>();
    auto presented = std::make_shared<SizeListener>();
    parent->addChildViewController(child);
    window->setRootViewController(parent);
    parent->presentViewController(presented, false);
    env.runUntilIdle();
    ui::Screen::mainScreen()->setOrientation(ui::InterfaceOrientation::LandscapeRight);
    cg::Size landscape = ui::Screen::mainScreen()->bounds().size;
    EXPECT_EQ(parent->sizes, std::vector<cg::Size>{landscape});
    EXPECT_EQ(child->sizes, std::vector<cg::Size>{landscape});
    EXPECT_EQ(presented->sizes, std::vector<cg::Size>{landscape});
}

class Menu : public ui::TableViewController, public ui::TableViewDataSource {
public:
    int64_t numberOfRowsInSection(ui::TableView&, int64_t) override { return 3; }
    ns::Ref<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override {
        return ui::TableViewCell::make(ui::TableViewCellStyle::Default, "");
    }
};

TEST_F(ContextTest, ATableControllerServesItsOwnTableAndClearsItsSelectionOnAppearing) {
    auto menu = std::make_shared<Menu>();
    auto table = menu->tableView();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->dataSource(), std::static_pointer_cast<ui::TableViewDataSource>(menu));
    EXPECT_EQ(table->numberOfRowsInSection(0), 3);
    table->selectRowAtIndexPath(ui::IndexPath::forRow(1, 0), false, ui::TableViewScrollPosition::None);
    root->presentViewController(menu, false);
    env.runUntilIdle();
    EXPECT_TRUE(table->indexPathsForSelectedRows().empty());
}

}  // namespace
