#include "platform/graphics/BitmapContext.h"
#include "platform/uikit/GraphicsContext.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/UpdateCycle.h"
#include "platform/uikit/View.h"
#include "platform/uikit/Window.h"
#include "ui_test_support.h"

namespace {

using UpdateCycleTest = UIKitTest;

class CountingView : public ui::View {
public:
    using ui::View::View;
    void layoutSubviews() override {
        ui::View::layoutSubviews();
        ++layouts;
        if (onLayout) onLayout();
    }
    void updateConstraints() override {
        ++constraintUpdates;
        ui::View::updateConstraints();
    }
    void drawRect(const cg::Rect& rect) override {
        ++draws;
        if (!fill) return;
        auto* context = ui::graphicsGetCurrentContext();
        context->setFillColor(cg::Color{1, 0, 0, 1});
        context->fillRect(rect);
    }

    int layouts = 0;
    int constraintUpdates = 0;
    int draws = 0;
    bool fill = false;
    std::function<void()> onLayout;
};

TEST_F(UpdateCycleTest, LayoutWaitsForTheRunLoopAndRequestsShareAPass) {
    auto window = ui::Window::makeFullScreen();
    window->makeKeyAndVisible();
    auto view = std::make_shared<CountingView>(cg::Rect{0, 0, 100, 100});
    window->addSubview(view);
    env.runUntilIdle();
    EXPECT_EQ(view->layouts, 1);
    uint64_t passes = ui::UpdateCycle::layoutPassCount();

    view->setNeedsLayout();
    view->setNeedsLayout();
    view->setNeedsLayout();
    EXPECT_TRUE(view->needsLayout());
    EXPECT_EQ(view->layouts, 1);
    env.runUntilIdle();
    EXPECT_EQ(view->layouts, 2);
    EXPECT_FALSE(view->needsLayout());
    EXPECT_EQ(ui::UpdateCycle::layoutPassCount(), passes + 1);

    // Nothing asked, nothing laid out.
    env.runUntilIdle();
    EXPECT_EQ(ui::UpdateCycle::layoutPassCount(), passes + 1);
}

TEST_F(UpdateCycleTest, ASizeChangeAsksForLayoutAMoveDoesNot) {
    auto window = ui::Window::makeFullScreen();
    window->setHidden(false);
    auto view = std::make_shared<CountingView>(cg::Rect{0, 0, 100, 100});
    window->addSubview(view);
    env.runUntilIdle();
    view->setCenter({200, 200});
    env.runUntilIdle();
    EXPECT_EQ(view->layouts, 1);
    view->setFrame({0, 0, 50, 50});
    env.runUntilIdle();
    EXPECT_EQ(view->layouts, 2);
}

TEST_F(UpdateCycleTest, ViewsOutsideWindowsWaitUntilTheyJoinOne) {
    auto view = std::make_shared<CountingView>(cg::Rect{0, 0, 10, 10});
    view->setNeedsLayout();
    env.runUntilIdle();
    EXPECT_EQ(view->layouts, 0);
    EXPECT_EQ(view->draws, 0);

    // layoutIfNeeded works anywhere.
    view->layoutIfNeeded();
    EXPECT_EQ(view->layouts, 1);

    auto window = ui::Window::makeFullScreen();
    window->setHidden(false);
    window->addSubview(view);
    env.runUntilIdle();
    EXPECT_EQ(view->layouts, 2);
    EXPECT_EQ(view->draws, 1);
}

TEST_F(UpdateCycleTest, LayoutRequestedDuringAPassGetsTheNextOne) {
    auto window = ui::Window::makeFullScreen();
    window->setHidden(false);
    auto view = std::make_shared<CountingView>(cg::Rect{0, 0, 10, 10});
    window->addSubview(view);
    env.runUntilIdle();
    int again = 1;
    view->onLayout = [&] {
        if (again-- > 0) view->setNeedsLayout();
    };
    view->setNeedsLayout();
    env.runUntilIdle();
    EXPECT_EQ(view->layouts, 3);
    EXPECT_FALSE(view->needsLayout());
}

TEST_F(UpdateCycleTest, LayoutIfNeededStartsFromTheTopmostWaitingAncestor) {
    auto parent = std::make_shared<CountingView>(cg::Rect{0, 0, 100, 100});
    auto child = std::make_shared<CountingView>(cg::Rect{0, 0, 10, 10});
    parent->addSubview(child);
    parent->layoutIfNeeded();
    ASSERT_EQ(parent->layouts, 1);
    ASSERT_EQ(child->layouts, 1);
    parent->setNeedsLayout();
    child->layoutIfNeeded();
    EXPECT_EQ(parent->layouts, 2);
    EXPECT_EQ(child->layouts, 1);
}

TEST_F(UpdateCycleTest, ConstraintUpdatesRunBeforeLayout) {
    auto window = ui::Window::makeFullScreen();
    window->setHidden(false);
    auto view = std::make_shared<CountingView>(cg::Rect{0, 0, 10, 10});
    window->addSubview(view);
    env.runUntilIdle();
    int updatesAtLayout = -1;
    view->onLayout = [&] { updatesAtLayout = view->constraintUpdates; };
    view->setNeedsUpdateConstraints();
    view->setNeedsLayout();
    env.runUntilIdle();
    EXPECT_EQ(view->constraintUpdates, 1);
    EXPECT_EQ(updatesAtLayout, 1);
    EXPECT_FALSE(view->needsUpdateConstraints());
}

TEST_F(UpdateCycleTest, DrawingHappensOnlyInAWindowAndIsRecorded) {
    auto view = std::make_shared<CountingView>(cg::Rect{0, 0, 4, 2});
    view->fill = true;
    view->setNeedsDisplay();
    env.runUntilIdle();
    EXPECT_EQ(view->draws, 0);
    EXPECT_EQ(view->layer()->contents(), nullptr);

    auto window = ui::Window::makeFullScreen();
    window->setHidden(false);
    window->addSubview(view);
    env.runUntilIdle();
    ASSERT_EQ(view->draws, 1);
    const auto& records = view->layer()->displayRecords();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].kind, cg::DrawingRecord::Kind::FillColor);
    EXPECT_EQ(records[1].kind, cg::DrawingRecord::Kind::FillRect);
    EXPECT_EQ(records[1][2], 4);
    ASSERT_NE(view->layer()->contents(), nullptr);
    // The screen's scale: 3 pixels a point.
    EXPECT_EQ(view->layer()->contents()->width(), 12);
    EXPECT_EQ(view->layer()->contents()->bitmap().colorAt(1, 1), (cg::Color{1, 0, 0, 1}));

    // Display again only when asked.
    env.runUntilIdle();
    EXPECT_EQ(view->draws, 1);
    view->setNeedsDisplay();
    view->setNeedsDisplay();
    env.runUntilIdle();
    EXPECT_EQ(view->draws, 2);
}

TEST_F(UpdateCycleTest, ViewsThatDrawNothingGetNoBitmap) {
    auto window = ui::Window::makeFullScreen();
    window->setHidden(false);
    auto view = std::make_shared<CountingView>(cg::Rect{0, 0, 100, 100});
    window->addSubview(view);
    env.runUntilIdle();
    EXPECT_EQ(view->draws, 1);
    EXPECT_EQ(view->layer()->contents(), nullptr);
}

TEST_F(UpdateCycleTest, ImageContextsMakeImages) {
    ui::graphicsBeginImageContext({2, 1}, false, 1);
    auto* context = ui::graphicsGetCurrentContext();
    ASSERT_NE(context, nullptr);
    context->setFillColor(cg::Color{0, 0, 1, 1});
    context->fillRect({0, 0, 1, 1});
    auto image = ui::graphicsGetImageFromCurrentImageContext();
    ui::graphicsEndImageContext();
    EXPECT_EQ(ui::graphicsGetCurrentContext(), nullptr);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->size(), (cg::Size{2, 1}));
    EXPECT_EQ(image->cgImage()->bitmap().colorAt(0, 0), (cg::Color{0, 0, 1, 1}));
    EXPECT_EQ(image->cgImage()->bitmap().colorAt(1, 0).alpha, 0);
}

}  // namespace
