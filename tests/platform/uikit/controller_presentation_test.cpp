#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Log.h"
#include "platform/runtime/Exception.h"
#include "platform/uikit/ViewController.h"
#include "platform/uikit/Window.h"
#include "ui_test_support.h"

namespace {

using Log = std::vector<std::string>;

// Writes every lifecycle callback into a shared log, "name.callback".
class Recorder : public ui::ViewController {
public:
    Recorder(std::string name, Log* log) : name_(std::move(name)), log_(log) {}

    void viewDidLoad() override { add("viewDidLoad"); }
    void viewWillAppear(bool animated) override { add(animated ? "viewWillAppear(animated)" : "viewWillAppear"); }
    void viewDidAppear(bool) override { add("viewDidAppear"); }
    void viewWillDisappear(bool) override { add("viewWillDisappear"); }
    void viewDidDisappear(bool) override { add("viewDidDisappear"); }
    void viewWillLayoutSubviews() override { add("viewWillLayoutSubviews"); }
    void viewDidLayoutSubviews() override { add("viewDidLayoutSubviews"); }
    void willMoveToParentViewController(ViewController* parent) override {
        add(parent ? "willMoveToParent" : "willMoveToParent(nil)");
    }
    void didMoveToParentViewController(ViewController* parent) override {
        add(parent ? "didMoveToParent" : "didMoveToParent(nil)");
    }

private:
    void add(const std::string& what) { log_->push_back(name_ + "." + what); }

    std::string name_;
    Log* log_;
};

class ControllerTest : public UIKitTest {
protected:
    // The controllers still on screen log into `log` while they go.
    ~ControllerTest() override { ui::resetSharedStateForTesting(); }

    ns::Ref<Recorder> make(const std::string& name) { return std::make_shared<Recorder>(name, &log); }

    // A visible window whose root is `root`, with the log cleared after.
    void show(const ns::Ref<ui::ViewController>& root) {
        window = ui::Window::makeFullScreen();
        window->setRootViewController(root);
        window->makeKeyAndVisible();
        env.runUntilIdle();
        log.clear();
    }

    Log log;
    ns::Ref<ui::Window> window;
};

TEST_F(ControllerTest, RootControllerLoadsOnceAndAppearsAfterItsFirstLayout) {
    auto root = make("A");
    window = ui::Window::makeFullScreen();
    window->setRootViewController(root);
    window->makeKeyAndVisible();
    EXPECT_EQ(log, (Log{"A.viewDidLoad", "A.viewWillAppear", "A.viewWillLayoutSubviews", "A.viewDidLayoutSubviews",
                        "A.viewDidAppear"}));
    EXPECT_EQ(root->view()->nextResponder(), root);
    EXPECT_EQ(root->nextResponder(), window);
    EXPECT_TRUE(near(root->view()->frame(), window->bounds()));

    log.clear();
    window->setHidden(true);
    EXPECT_EQ(log, (Log{"A.viewWillDisappear", "A.viewDidDisappear"}));
}

TEST_F(ControllerTest, AnimatedFullScreenPresentationFinishesOnTheClock) {
    auto a = make("A");
    show(a);
    auto b = make("B");
    b->setModalPresentationStyle(ui::ModalPresentationStyle::FullScreen);
    bool completed = false;
    a->presentViewController(b, true, [&] { completed = true; });

    EXPECT_EQ(log, (Log{"B.viewDidLoad", "A.viewWillDisappear", "B.viewWillAppear(animated)"}));
    EXPECT_TRUE(b->isBeingPresented());
    EXPECT_EQ(a->presentedViewController(), b);
    EXPECT_EQ(b->presentingViewController(), a);
    EXPECT_EQ(b->view()->window(), window);

    env.fastForwardBy(ui::ViewController::TransitionDuration - 0.01);
    EXPECT_FALSE(completed);
    EXPECT_EQ(log.back(), "B.viewDidLayoutSubviews");

    env.fastForwardBy(0.01);
    EXPECT_TRUE(completed);
    EXPECT_EQ(log, (Log{"B.viewDidLoad", "A.viewWillDisappear", "B.viewWillAppear(animated)",
                        "B.viewWillLayoutSubviews", "B.viewDidLayoutSubviews", "B.viewDidAppear",
                        "A.viewDidDisappear"}));
    // A full-screen presentation takes the covered view out of the window.
    EXPECT_EQ(a->view()->window(), nullptr);
    EXPECT_FALSE(b->isBeingPresented());

    log.clear();
    completed = false;
    b->dismissViewController(false, [&] { completed = true; });
    EXPECT_EQ(log, (Log{"B.viewWillDisappear", "A.viewWillAppear"}));
    EXPECT_EQ(a->view()->window(), window);
    EXPECT_FALSE(completed);
    env.runUntilIdle();
    EXPECT_TRUE(completed);
    EXPECT_EQ(log, (Log{"B.viewWillDisappear", "A.viewWillAppear", "A.viewWillLayoutSubviews",
                        "A.viewDidLayoutSubviews", "A.viewDidAppear", "B.viewDidDisappear"}));
    EXPECT_EQ(a->presentedViewController(), nullptr);
    EXPECT_EQ(b->presentingViewController(), nullptr);
    EXPECT_EQ(b->view()->superview(), nullptr);
}

TEST_F(ControllerTest, OverFullScreenLeavesThePresenterAlone) {
    auto a = make("A");
    show(a);
    auto b = make("B");
    b->setModalPresentationStyle(ui::ModalPresentationStyle::OverFullScreen);
    a->presentViewController(b, false);
    env.runUntilIdle();
    for (const auto& entry : log) EXPECT_EQ(entry.rfind("A.", 0), std::string::npos) << entry;
    EXPECT_EQ(a->view()->window(), window);
    EXPECT_TRUE(near(b->view()->frame(), window->bounds()));
}

TEST_F(ControllerTest, RequestsDuringATransitionWaitForIt) {
    auto a = make("A");
    show(a);
    auto b = make("B");
    b->setModalPresentationStyle(ui::ModalPresentationStyle::FullScreen);
    Log order;
    a->presentViewController(b, true, [&] { order.push_back("presented"); });
    // Dismissed by itself before its presentation is over, from a child.
    auto child = make("C");
    b->addChildViewController(child);
    child->dismissViewController(true, [&] { order.push_back("dismissed"); });
    env.fastForwardBy(ui::ViewController::TransitionDuration);
    EXPECT_EQ(order, (Log{"presented"}));
    EXPECT_EQ(a->presentedViewController(), b);
    env.fastForwardBy(ui::ViewController::TransitionDuration);
    EXPECT_EQ(order, (Log{"presented", "dismissed"}));
    EXPECT_EQ(a->presentedViewController(), nullptr);
}

TEST_F(ControllerTest, RefusedPresentationsAreLoggedAndNeverComplete) {
    ns::LogCapture capture;
    auto loose = make("L");
    bool completed = false;
    loose->presentViewController(make("X"), false, [&] { completed = true; });
    env.runUntilIdle();
    EXPECT_FALSE(completed);
    EXPECT_TRUE(capture.contains("whose view is not in the window hierarchy"));

    auto a = make("A");
    show(a);
    a->presentViewController(make("B"), false);
    a->presentViewController(make("C"), false, [&] { completed = true; });
    env.runUntilIdle();
    EXPECT_FALSE(completed);
    EXPECT_TRUE(capture.contains("which is already presenting"));

    EXPECT_THROW(a->presentViewController(nullptr, false), ns::Exception);
    EXPECT_THROW(a->presentViewController(a, false), ns::Exception);
}

TEST_F(ControllerTest, ChildViewsAddedToAVisibleParentAppear) {
    auto parent = make("P");
    show(parent);
    auto child = make("C");
    parent->view()->addSubview(child->view());
    parent->addChildViewController(child);
    child->didMoveToParentViewController(parent.get());
    EXPECT_EQ(log, (Log{"C.viewDidLoad", "C.viewWillAppear", "C.viewDidAppear", "C.willMoveToParent",
                        "C.didMoveToParent"}));
    EXPECT_EQ(child->parentViewController(), parent);

    log.clear();
    child->willMoveToParentViewController(nullptr);
    child->view()->removeFromSuperview();
    child->removeFromParentViewController();
    EXPECT_EQ(log, (Log{"C.willMoveToParent(nil)", "C.viewWillDisappear", "C.viewDidDisappear",
                        "C.didMoveToParent(nil)"}));
    EXPECT_TRUE(parent->childViewControllers().empty());
}

TEST_F(ControllerTest, ChildrenFollowTheirParentsPresentation) {
    auto a = make("A");
    show(a);
    auto parent = make("P");
    parent->setModalPresentationStyle(ui::ModalPresentationStyle::OverFullScreen);
    auto child = make("C");
    parent->addChildViewController(child);
    parent->view()->addSubview(child->view());
    log.clear();
    a->presentViewController(parent, true);
    env.fastForwardBy(ui::ViewController::TransitionDuration);
    Log appearance;
    for (const auto& entry : log) {
        if (entry.find("Appear") != std::string::npos) appearance.push_back(entry);
    }
    EXPECT_EQ(appearance, (Log{"P.viewWillAppear(animated)", "C.viewWillAppear(animated)", "C.viewDidAppear",
                               "P.viewDidAppear"}));
}

}  // namespace
