#include <string>
#include <vector>

#include "platform/runtime/Exception.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/GestureRecognizer.h"
#include "platform/uikit/View.h"
#include "platform/uikit/ViewControllerHost.h"
#include "platform/uikit/Window.h"
#include "ui_test_support.h"

namespace {

using HierarchyTest = UIKitTest;

// Logs every hook with the view's tag.
class HookView : public ui::View {
public:
    HookView(int64_t tag, std::vector<std::string>* log) : log_(log) { setTag(tag); }

    void willMoveToSuperview(ui::View* v) override { note("willMoveToSuperview", v != nullptr); }
    void didMoveToSuperview() override { note("didMoveToSuperview", superview() != nullptr); }
    void willMoveToWindow(ui::Window* w) override { note("willMoveToWindow", w != nullptr); }
    void didMoveToWindow() override { note("didMoveToWindow", window() != nullptr); }
    void didAddSubview(ui::View* v) override { note("didAddSubview:" + std::to_string(v->tag()), true); }
    void willRemoveSubview(ui::View* v) override { note("willRemoveSubview:" + std::to_string(v->tag()), true); }

private:
    void note(const std::string& what, bool flag) {
        log_->push_back(std::to_string(tag()) + " " + what + (flag ? "" : "(nil)"));
    }
    std::vector<std::string>* log_;
};

std::vector<int64_t> tags(const ui::View& parent) {
    std::vector<int64_t> out;
    for (const auto& v : parent.subviews()) out.push_back(v->tag());
    return out;
}

TEST_F(HierarchyTest, HooksRunInThePlatformsOrder) {
    std::vector<std::string> log;
    auto window = ui::Window::makeFullScreen();
    auto parent = std::make_shared<HookView>(1, &log);
    auto child = std::make_shared<HookView>(2, &log);
    auto grandchild = std::make_shared<HookView>(3, &log);
    window->addSubview(parent);
    log.clear();

    child->addSubview(grandchild);
    EXPECT_EQ(log, (std::vector<std::string>{"3 willMoveToSuperview", "3 didMoveToSuperview", "2 didAddSubview:3"}));
    log.clear();

    parent->addSubview(child);
    EXPECT_EQ(log, (std::vector<std::string>{"2 willMoveToSuperview", "2 willMoveToWindow", "3 willMoveToWindow",
                                             "2 didMoveToWindow", "3 didMoveToWindow", "2 didMoveToSuperview",
                                             "1 didAddSubview:2"}));
    log.clear();

    child->removeFromSuperview();
    EXPECT_EQ(log, (std::vector<std::string>{"1 willRemoveSubview:2", "2 willMoveToSuperview(nil)",
                                             "2 willMoveToWindow(nil)", "3 willMoveToWindow(nil)",
                                             "2 didMoveToWindow(nil)", "3 didMoveToWindow(nil)",
                                             "2 didMoveToSuperview(nil)"}));
    EXPECT_EQ(child->superview(), nullptr);
    EXPECT_EQ(grandchild->window(), nullptr);
}

TEST_F(HierarchyTest, SubviewOrderAndLayerOrderMatch) {
    auto parent = ui::View::make();
    std::vector<ns::Ref<ui::View>> views;
    for (int i = 1; i <= 4; ++i) {
        auto v = ui::View::make();
        v->setTag(i);
        views.push_back(v);
    }
    auto extra = ui::Layer::make();
    parent->layer()->addSublayer(extra);
    parent->addSubview(views[0]);
    parent->addSubview(views[1]);
    parent->insertSubview(views[2], 0);
    parent->insertSubviewAbove(views[3], views[2]);
    EXPECT_EQ(tags(*parent), (std::vector<int64_t>{3, 4, 1, 2}));

    parent->bringSubviewToFront(views[2]);
    EXPECT_EQ(tags(*parent), (std::vector<int64_t>{4, 1, 2, 3}));
    parent->sendSubviewToBack(views[1]);
    EXPECT_EQ(tags(*parent), (std::vector<int64_t>{2, 4, 1, 3}));
    parent->exchangeSubview(0, 3);
    EXPECT_EQ(tags(*parent), (std::vector<int64_t>{3, 4, 1, 2}));
    parent->insertSubviewBelow(views[1], views[3]);
    EXPECT_EQ(tags(*parent), (std::vector<int64_t>{3, 2, 4, 1}));
    // Adding a subview again brings it to the front.
    parent->addSubview(views[2]);
    EXPECT_EQ(tags(*parent), (std::vector<int64_t>{2, 4, 1, 3}));

    // The subviews' layers keep that order among the sublayers.
    std::vector<ui::Layer*> order;
    for (const auto& l : parent->layer()->sublayers()) {
        if (l != extra) order.push_back(l.get());
    }
    std::vector<ui::Layer*> expected;
    for (const auto& v : parent->subviews()) expected.push_back(v->layer().get());
    EXPECT_EQ(order, expected);

    EXPECT_THROW(parent->exchangeSubview(0, 9), ns::Exception);
}

// Builds its subviews and gestures in its constructor, as views commonly do.
class Card : public ui::View {
public:
    Card() : ui::View(cg::Rect{0, 0, 100, 50}) {
        title = ui::View::make({10, 10, 80, 20});
        addSubview(title);
        addGestureRecognizer(std::make_shared<ui::TapGestureRecognizer>());
    }
    ns::Ref<ui::View> title;
};

TEST_F(HierarchyTest, ViewsMayBuildTheirTreeWhileConstructed) {
    auto card = std::make_shared<Card>();
    EXPECT_EQ(card->title->superview(), card);
    EXPECT_EQ(card->gestureRecognizers().at(0)->view(), card);
    EXPECT_EQ(card->title->layer()->superlayer(), card->layer());

    // A view that dies lets go of its subviews and recognizers.
    auto title = card->title;
    auto tap = card->gestureRecognizers()[0];
    card.reset();
    EXPECT_EQ(title->superview(), nullptr);
    EXPECT_EQ(tap->view(), nullptr);
    EXPECT_EQ(title->window(), nullptr);
}

TEST_F(HierarchyTest, MovingAViewTakesItFromItsOldParent) {
    auto a = ui::View::make();
    auto b = ui::View::make();
    auto v = ui::View::make();
    a->addSubview(v);
    b->addSubview(v);
    EXPECT_TRUE(a->subviews().empty());
    EXPECT_EQ(v->superview(), b);
    EXPECT_EQ(v->layer()->superlayer(), b->layer());
}

TEST_F(HierarchyTest, CyclesAreRefused) {
    auto a = ui::View::make();
    auto b = ui::View::make();
    a->addSubview(b);
    EXPECT_THROW(b->addSubview(a), ns::Exception);
    EXPECT_THROW(a->addSubview(a), ns::Exception);
    EXPECT_THROW(a->addSubview(ui::Window::make({})), ns::Exception);
    EXPECT_TRUE(a->isDescendantOfView(a.get()));
    EXPECT_TRUE(b->isDescendantOfView(a.get()));
    EXPECT_FALSE(a->isDescendantOfView(b.get()));
}

TEST_F(HierarchyTest, ViewWithTagSearchesDepthFirst) {
    auto root = ui::View::make();
    auto a = ui::View::make();
    auto b = ui::View::make();
    auto deep = ui::View::make();
    a->setTag(5);
    deep->setTag(7);
    b->setTag(7);
    root->addSubview(a);
    a->addSubview(deep);
    root->addSubview(b);
    EXPECT_EQ(root->viewWithTag(7), deep);
    EXPECT_EQ(root->viewWithTag(0), root);
    EXPECT_EQ(root->viewWithTag(9), nullptr);
}

class Field : public ui::View {
public:
    bool canBecomeFirstResponder() const override { return true; }
    bool canResignFirstResponder() const override { return mayResign; }
    bool mayResign = true;
};

TEST_F(HierarchyTest, FirstResponderNeedsAWindowAndEndEditingResigns) {
    auto window = ui::Window::makeFullScreen();
    auto form = ui::View::make();
    auto field = std::make_shared<Field>();
    auto other = std::make_shared<Field>();
    form->addSubview(field);

    EXPECT_FALSE(field->becomeFirstResponder());
    window->addSubview(form);
    window->addSubview(other);
    EXPECT_TRUE(field->becomeFirstResponder());
    EXPECT_TRUE(field->isFirstResponder());
    EXPECT_FALSE(ui::View::make()->becomeFirstResponder());

    // Ending editing elsewhere leaves it alone.
    EXPECT_TRUE(other->endEditing(false));
    EXPECT_TRUE(field->isFirstResponder());

    field->mayResign = false;
    EXPECT_FALSE(other->becomeFirstResponder());
    EXPECT_FALSE(form->endEditing(false));
    EXPECT_TRUE(field->isFirstResponder());
    EXPECT_TRUE(form->endEditing(true));
    EXPECT_FALSE(field->isFirstResponder());

    // Leaving the window resigns it.
    field->mayResign = true;
    EXPECT_TRUE(field->becomeFirstResponder());
    form->removeFromSuperview();
    EXPECT_EQ(ui::Responder::firstResponder(), nullptr);
}

class Controller : public ui::ViewControllerBase {
public:
    ns::Ref<ui::View> view() override {
        if (!view_) {
            view_ = ui::View::make();
            view_->setViewDelegate(ref<ui::ViewControllerBase>());
        }
        return view_;
    }
    bool isViewLoaded() const override { return view_ != nullptr; }
    void beginAppearanceTransition(bool appearing, bool) override { log.push_back(appearing ? "will appear" : "will disappear"); }
    void endAppearanceTransition() override { log.push_back("did"); }

    std::vector<std::string> log;

private:
    ns::Ref<ui::View> view_;
};

TEST_F(HierarchyTest, ResponderChainRunsThroughControllerAndWindow) {
    auto window = ui::Window::makeFullScreen();
    auto controller = std::make_shared<Controller>();
    window->setRootViewController(controller);
    EXPECT_FALSE(controller->isViewLoaded());
    window->makeKeyAndVisible();
    auto root = controller->view();
    auto button = ui::View::make();
    root->addSubview(button);

    EXPECT_EQ(root->superview(), window);
    EXPECT_EQ(root->frame(), window->bounds());
    EXPECT_EQ(controller->log, (std::vector<std::string>{"will appear", "did"}));
    EXPECT_EQ(button->nextResponder(), root);
    EXPECT_EQ(root->nextResponder(), controller);
    EXPECT_EQ(window->nextResponder(), ui::Application::sharedApplication());

    window->setHidden(true);
    EXPECT_EQ(controller->log.back(), "did");
    EXPECT_EQ(controller->log[2], "will disappear");
    EXPECT_EQ(root->superview(), nullptr);
}

}  // namespace
