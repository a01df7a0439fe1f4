#include <numbers>

#include "platform/uikit/Application.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/View.h"
#include "platform/uikit/Window.h"
#include "ui_test_support.h"

namespace {

using GeometryTest = UIKitTest;
constexpr double Pi = std::numbers::pi;

TEST_F(GeometryTest, FrameCenterAndBoundsStayInStep) {
    auto view = ui::View::make({10, 20, 100, 50});
    EXPECT_EQ(view->center(), (cg::Point{60, 45}));
    EXPECT_EQ(view->bounds(), cg::Rect(0, 0, 100, 50));

    view->setCenter({100, 100});
    EXPECT_EQ(view->frame(), cg::Rect(50, 75, 100, 50));

    // Scrolling the bounds origin moves the content, not the view.
    view->setBounds({30, 40, 200, 50});
    EXPECT_EQ(view->frame(), cg::Rect(0, 75, 200, 50));
    EXPECT_EQ(view->center(), (cg::Point{100, 100}));
}

TEST_F(GeometryTest, RotatedViewHasTheBoundingBoxAsFrame) {
    auto view = ui::View::make({100, 100, 200, 100});
    view->setTransform(cg::AffineTransform::makeRotation(Pi / 2));
    EXPECT_TRUE(near(view->frame(), {150, 50, 100, 200}));
    EXPECT_EQ(view->bounds().size, (cg::Size{200, 100}));
    EXPECT_EQ(view->center(), (cg::Point{200, 150}));
}

TEST_F(GeometryTest, ConversionsGoThroughARotatedParent) {
    auto window = ui::Window::makeFullScreen();
    auto parent = ui::View::make({100, 100, 200, 100});
    auto child = ui::View::make({0, 0, 20, 10});
    window->addSubview(parent);
    parent->addSubview(child);
    parent->setTransform(cg::AffineTransform::makeRotation(Pi / 2));

    // The parent turns a quarter clockwise about its centre (200, 150).
    EXPECT_TRUE(near(parent->convertPointToView({0, 0}, nullptr), {250, 50}));
    EXPECT_TRUE(near(child->convertPointToView({20, 10}, window.get()), {240, 70}));
    EXPECT_TRUE(near(child->convertRectToView(child->bounds(), nullptr), {240, 50, 10, 20}));

    // And back.
    EXPECT_TRUE(near(child->convertPointFromView({240, 70}, window.get()), {20, 10}));
    cg::Point there = child->convertPointToView({5, 5}, window.get());
    EXPECT_TRUE(near(window->convertPointToView(there, child.get()), {5, 5}));

    // Between siblings, through the common parent.
    auto sibling = ui::View::make({200, 40, 10, 10});
    window->addSubview(sibling);
    EXPECT_TRUE(near(child->convertPointToView({20, 10}, sibling.get()), {40, 30}));
}

TEST_F(GeometryTest, ConversionsBetweenWindowsGoThroughTheScreen) {
    auto a = ui::Window::make({0, 0, 390, 844});
    auto b = ui::Window::make({100, 200, 60, 60});
    auto inA = ui::View::make({10, 10, 50, 50});
    a->addSubview(inA);
    EXPECT_TRUE(near(inA->convertPointToView({0, 0}, b.get()), {-90, -190}));
    EXPECT_TRUE(near(b->convertPointToView({5, 5}, a.get()), {105, 205}));
}

TEST_F(GeometryTest, HitTestingSkipsHiddenTransparentAndInertViews) {
    auto window = ui::Window::makeFullScreen();
    window->setHidden(false);
    auto bottom = ui::View::make({0, 0, 100, 100});
    auto inert = ui::View::make({0, 0, 100, 100});
    auto faint = ui::View::make({0, 0, 100, 100});
    auto hidden = ui::View::make({0, 0, 100, 100});
    inert->setUserInteractionEnabled(false);
    faint->setAlpha(0.005);
    hidden->setHidden(true);
    for (const auto& v : {bottom, inert, faint, hidden}) window->addSubview(v);

    EXPECT_EQ(window->hitTest({50, 50}, nullptr), bottom);

    faint->setAlpha(0.01);
    EXPECT_EQ(window->hitTest({50, 50}, nullptr), faint);

    // A subview of an inert view is out of reach too.
    auto inside = ui::View::make({10, 10, 20, 20});
    inert->addSubview(inside);
    faint->removeFromSuperview();
    EXPECT_EQ(window->hitTest({15, 15}, nullptr), bottom);

    // Outside the window, nothing; outside a parent, not its overhanging child.
    EXPECT_EQ(window->hitTest({-1, 10}, nullptr), nullptr);
    auto overhang = ui::View::make({90, 90, 50, 50});
    bottom->addSubview(overhang);
    EXPECT_EQ(window->hitTest({95, 95}, nullptr), overhang);
    EXPECT_EQ(window->hitTest({120, 120}, nullptr), window);
}

TEST_F(GeometryTest, HitTestingFindsPointsThroughTransforms) {
    auto window = ui::Window::makeFullScreen();
    window->setHidden(false);
    auto parent = ui::View::make({100, 100, 200, 100});
    parent->setTransform(cg::AffineTransform::makeRotation(Pi / 2));
    auto child = ui::View::make({0, 0, 20, 10});
    window->addSubview(parent);
    parent->addSubview(child);
    // The child's corner lands at (240..250, 50..70) in the window.
    EXPECT_EQ(window->hitTest({245, 60}, nullptr), child);
    EXPECT_EQ(window->hitTest({120, 110}, nullptr), window);
}

TEST_F(GeometryTest, SafeAreaOfANotchedLandscapeScreen) {
    ui::Screen::mainScreen()->setOrientation(ui::InterfaceOrientation::LandscapeLeft);
    EXPECT_EQ(ui::Screen::mainScreen()->bounds(), cg::Rect(0, 0, 844, 390));

    auto window = ui::Window::makeFullScreen();
    window->makeKeyAndVisible();
    EXPECT_EQ(window->safeAreaInsets(), (cg::EdgeInsets{0, 47, 21, 47}));
    EXPECT_EQ(window->safeAreaLayoutFrame(), cg::Rect(47, 0, 750, 369));

    auto corner = ui::View::make({700, 300, 144, 90});
    auto left = ui::View::make({0, 0, 100, 100});
    auto middle = ui::View::make({300, 100, 100, 100});
    for (const auto& v : {corner, left, middle}) window->addSubview(v);
    EXPECT_EQ(corner->safeAreaInsets(), (cg::EdgeInsets{0, 0, 21, 47}));
    EXPECT_EQ(left->safeAreaInsets(), (cg::EdgeInsets{0, 47, 0, 0}));
    EXPECT_EQ(middle->safeAreaInsets(), cg::EdgeInsets{});

    // A view in no window has none.
    EXPECT_EQ(ui::View::make({0, 0, 10, 10})->safeAreaInsets(), cg::EdgeInsets{});
}

TEST_F(GeometryTest, SafeAreaOfTheOtherScreenModels) {
    auto screen = ui::Screen::mainScreen();
    auto window = ui::Window::makeFullScreen();
    window->makeKeyAndVisible();
    EXPECT_EQ(window->safeAreaInsets(), (cg::EdgeInsets{47, 0, 34, 0}));

    screen->setModel(ui::ScreenModel::classicPhone());
    window->setFrame(screen->bounds());
    EXPECT_EQ(window->safeAreaInsets(), (cg::EdgeInsets{20, 0, 0, 0}));
    ui::Application::sharedApplication()->setStatusBarHidden(true);
    EXPECT_EQ(window->safeAreaInsets(), cg::EdgeInsets{});
    ui::Application::sharedApplication()->setStatusBarHidden(false);

    screen->setOrientation(ui::InterfaceOrientation::LandscapeRight);
    EXPECT_EQ(window->frame(), cg::Rect(0, 0, 667, 375));
    EXPECT_EQ(window->safeAreaInsets(), cg::EdgeInsets{});

    // A small window away from the edges is safe all over.
    screen->setModel(ui::ScreenModel::notchedPhone());
    auto ball = ui::Window::make({100, 130, 60, 60});
    ball->setHidden(false);
    EXPECT_EQ(ball->safeAreaInsets(), cg::EdgeInsets{});
}

TEST_F(GeometryTest, AutoresizingSharesTheChangeAmongFlexibleParts) {
    auto parent = ui::View::make({0, 0, 100, 100});
    auto stretch = ui::View::make({10, 10, 80, 80});
    stretch->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    auto centred = ui::View::make({40, 40, 20, 20});
    centred->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin | ui::ViewAutoresizingFlexibleRightMargin |
                                 ui::ViewAutoresizingFlexibleTopMargin | ui::ViewAutoresizingFlexibleBottomMargin);
    auto fixed = ui::View::make({10, 10, 10, 10});
    auto proportional = ui::View::make({10, 0, 30, 10});
    proportional->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleRightMargin);
    for (const auto& v : {stretch, centred, fixed, proportional}) parent->addSubview(v);

    parent->setFrame({0, 0, 200, 300});
    EXPECT_EQ(stretch->frame(), cg::Rect(10, 10, 180, 280));
    EXPECT_EQ(centred->frame(), cg::Rect(90, 140, 20, 20));
    EXPECT_EQ(fixed->frame(), cg::Rect(10, 10, 10, 10));
    // Width 30 and right margin 60 share the 100 points as 1 to 2.
    EXPECT_TRUE(near(proportional->frame(), {10, 0, 30 + 100.0 / 3, 10}));

    parent->setAutoresizesSubviews(false);
    parent->setFrame({0, 0, 100, 100});
    EXPECT_EQ(stretch->frame(), cg::Rect(10, 10, 180, 280));
}

}  // namespace
