#include "platform/runtime/Exception.h"
#include "platform/uikit/LayoutAnchor.h"
#include "platform/uikit/LayoutConstraint.h"
#include "platform/uikit/LayoutGuide.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/View.h"
#include "platform/uikit/Window.h"
#include "ui_test_support.h"

namespace {

using ConstraintTest = UIKitTest;

ns::Ref<ui::View> constrained(const ns::Ref<ui::View>& parent) {
    auto v = ui::View::make();
    v->setTranslatesAutoresizingMaskIntoConstraints(false);
    parent->addSubview(v);
    return v;
}

class Sized : public ui::View {
public:
    explicit Sized(cg::Size size) : size_(size) { setTranslatesAutoresizingMaskIntoConstraints(false); }
    cg::Size intrinsicContentSize() const override { return size_; }

private:
    cg::Size size_;
};

TEST_F(ConstraintTest, PinsEdgesToTheSuperview) {
    auto parent = ui::View::make({0, 0, 300, 200});
    auto child = constrained(parent);
    ui::LayoutConstraint::activateConstraints({
        child->leadingAnchor()->constraintEqualToAnchor(parent->leadingAnchor(), 10),
        child->trailingAnchor()->constraintEqualToAnchor(parent->trailingAnchor(), -10),
        child->topAnchor()->constraintEqualToAnchor(parent->topAnchor(), 20),
        child->heightAnchor()->constraintEqualToConstant(44),
    });
    parent->layoutIfNeeded();
    EXPECT_EQ(child->frame(), cg::Rect(10, 20, 280, 44));

    // The superview's new size carries through at the next layout.
    parent->setFrame({0, 0, 400, 200});
    parent->layoutIfNeeded();
    EXPECT_EQ(child->frame(), cg::Rect(10, 20, 380, 44));
}

TEST_F(ConstraintTest, HeightSwitchedByConstantRelaysOutTheStack) {
    auto window = ui::Window::makeFullScreen();
    window->setHidden(false);
    auto panel = ui::View::make({0, 0, 300, 400});
    window->addSubview(panel);
    auto first = constrained(panel);
    auto second = constrained(panel);
    auto firstHeight = first->heightAnchor()->constraintEqualToConstant(50);
    firstHeight->setIdentifier("firstH");
    ui::LayoutConstraint::activateConstraints({
        first->topAnchor()->constraintEqualToAnchor(panel->topAnchor()),
        first->leftAnchor()->constraintEqualToAnchor(panel->leftAnchor()),
        first->widthAnchor()->constraintEqualToAnchor(panel->widthAnchor()),
        firstHeight,
        second->topAnchor()->constraintEqualToAnchor(first->bottomAnchor(), 8),
        second->leftAnchor()->constraintEqualToAnchor(panel->leftAnchor()),
        second->rightAnchor()->constraintEqualToAnchor(panel->rightAnchor()),
        second->heightAnchor()->constraintEqualToConstant(30),
    });
    env.runUntilIdle();
    EXPECT_EQ(first->frame(), cg::Rect(0, 0, 300, 50));
    EXPECT_EQ(second->frame(), cg::Rect(0, 58, 300, 30));
    EXPECT_EQ(firstHeight->installedView(), first);

    firstHeight->setConstant(0);
    EXPECT_TRUE(panel->needsLayout());
    env.runUntilIdle();
    EXPECT_EQ(first->frame(), cg::Rect(0, 0, 300, 0));
    EXPECT_EQ(second->frame(), cg::Rect(0, 8, 300, 30));
}

TEST_F(ConstraintTest, SiblingsAreSolvedInDependencyOrder) {
    auto parent = ui::View::make({0, 0, 200, 200});
    // Added in reverse, so the solver has to find the order.
    auto last = constrained(parent);
    auto first = constrained(parent);
    ui::LayoutConstraint::activateConstraints({
        last->leadingAnchor()->constraintEqualToAnchor(first->trailingAnchor(), 5),
        last->centerYAnchor()->constraintEqualToAnchor(first->centerYAnchor()),
        last->widthAnchor()->constraintEqualToAnchorWithMultiplier(first->widthAnchor(), 2),
        last->heightAnchor()->constraintEqualToConstant(10),
        first->leadingAnchor()->constraintEqualToAnchor(parent->leadingAnchor(), 10),
        first->topAnchor()->constraintEqualToAnchor(parent->topAnchor(), 10),
        first->widthAnchor()->constraintEqualToConstant(20),
        first->heightAnchor()->constraintEqualToConstant(20),
    });
    parent->layoutIfNeeded();
    EXPECT_EQ(first->frame(), cg::Rect(10, 10, 20, 20));
    EXPECT_EQ(last->frame(), cg::Rect(35, 15, 40, 10));
}

TEST_F(ConstraintTest, IntrinsicSizeFillsOpenDimensionsAndInequalitiesBound) {
    auto parent = ui::View::make({0, 0, 100, 100});
    auto label = std::make_shared<Sized>(cg::Size{150, 20});
    parent->addSubview(label);
    ui::LayoutConstraint::activateConstraints({
        label->centerXAnchor()->constraintEqualToAnchor(parent->centerXAnchor()),
        label->centerYAnchor()->constraintEqualToAnchor(parent->centerYAnchor()),
        label->widthAnchor()->constraintLessThanOrEqualToAnchor(parent->widthAnchor(), -20),
    });
    parent->layoutIfNeeded();
    // 150 wide by its content, held to 80 and kept centred.
    EXPECT_EQ(label->frame(), cg::Rect(10, 40, 80, 20));

    auto small = std::make_shared<Sized>(cg::Size{10, 10});
    parent->addSubview(small);
    auto minimum = small->widthAnchor()->constraintGreaterThanOrEqualToConstant(30);
    ui::LayoutConstraint::activateConstraints({
        small->leftAnchor()->constraintGreaterThanOrEqualToAnchor(parent->leftAnchor(), 12),
        small->topAnchor()->constraintEqualToAnchor(parent->topAnchor()),
        minimum,
    });
    parent->layoutIfNeeded();
    EXPECT_EQ(small->frame(), cg::Rect(12, 0, 30, 10));
}

TEST_F(ConstraintTest, HigherPriorityWinsAConflict) {
    auto parent = ui::View::make({0, 0, 100, 100});
    auto child = constrained(parent);
    auto weak = child->widthAnchor()->constraintEqualToConstant(10);
    weak->setPriority(ui::LayoutPriorityDefaultLow);
    auto strong = child->widthAnchor()->constraintEqualToConstant(60);
    strong->setPriority(999);
    ui::LayoutConstraint::activateConstraints({weak, strong});
    parent->layoutIfNeeded();
    EXPECT_EQ(child->frame().size.width, 60);
    strong->setActive(false);
    parent->layoutIfNeeded();
    EXPECT_EQ(child->frame().size.width, 10);
    EXPECT_FALSE(strong->isActive());
    EXPECT_EQ(strong->installedView(), nullptr);
}

TEST_F(ConstraintTest, SafeAreaGuideIsAnItem) {
    ui::Screen::mainScreen()->setOrientation(ui::InterfaceOrientation::LandscapeLeft);
    auto window = ui::Window::makeFullScreen();
    window->setHidden(false);
    auto root = ui::View::make(window->bounds());
    window->addSubview(root);
    auto content = constrained(root);
    auto guide = root->safeAreaLayoutGuide();
    ui::LayoutConstraint::activateConstraints({
        content->leadingAnchor()->constraintEqualToAnchor(guide->leadingAnchor()),
        content->trailingAnchor()->constraintEqualToAnchor(guide->trailingAnchor()),
        content->topAnchor()->constraintEqualToAnchor(guide->topAnchor()),
        content->bottomAnchor()->constraintEqualToAnchor(guide->bottomAnchor()),
    });
    env.runUntilIdle();
    EXPECT_EQ(content->frame(), cg::Rect(47, 0, 750, 369));
}

TEST_F(ConstraintTest, ActivationNeedsACommonAncestor) {
    auto a = ui::View::make();
    auto b = ui::View::make();
    auto c = a->topAnchor()->constraintEqualToAnchor(b->topAnchor());
    EXPECT_THROW(c->setActive(true), ns::Exception);
    EXPECT_FALSE(c->isActive());

    auto parent = ui::View::make();
    parent->addSubview(a);
    parent->addSubview(b);
    c->setActive(true);
    EXPECT_EQ(c->installedView(), parent);
    EXPECT_EQ(parent->constraints().size(), 1u);
}

TEST_F(ConstraintTest, AnchorsOfDifferentKindsDoNotMix) {
    auto a = ui::View::make();
    auto b = ui::View::make();
    EXPECT_THROW(a->topAnchor()->constraintEqualToAnchor(b->leadingAnchor()), ns::Exception);
    EXPECT_THROW(a->widthAnchor()->constraintEqualToAnchor(b->leftAnchor()), ns::Exception);
    EXPECT_THROW(ui::LayoutConstraint::constraintWithItem(a, ui::LayoutAttribute::Top, ui::LayoutRelation::Equal,
                                                          nullptr, ui::LayoutAttribute::NotAnAttribute, 1, 10),
                 ns::Exception);
    auto ok = a->heightAnchor()->constraintEqualToAnchorWithMultiplier(b->widthAnchor(), 0.5, 3);
    EXPECT_EQ(ok->firstItem(), a);
    EXPECT_EQ(ok->secondItem(), b);
    EXPECT_EQ(ok->firstAttribute(), ui::LayoutAttribute::Height);
    EXPECT_EQ(ok->secondAttribute(), ui::LayoutAttribute::Width);
    EXPECT_EQ(ok->multiplier(), 0.5);
    EXPECT_EQ(ok->constant(), 3);
    EXPECT_EQ(ok->priority(), ui::LayoutPriorityRequired);
}

}  // namespace
