#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Number.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/KeyValueObserving.h"
#include "platform/uikit/ScrollView.h"
#include "platform/uikit/TouchSimulation.h"
#include "platform/uikit/Window.h"
#include "ui_test_support.h"

namespace {

using Log = std::vector<std::string>;

class DelegateLog : public ui::ScrollViewDelegate {
public:
    void scrollViewDidScroll(ui::ScrollView& s) override { log.push_back("didScroll " + cg::toString(s.contentOffset())); }
    void scrollViewWillBeginDragging(ui::ScrollView&) override { log.push_back("willBeginDragging"); }
    void scrollViewWillEndDragging(ui::ScrollView&, cg::Point, cg::Point& target) override {
        log.push_back("willEndDragging " + cg::toString(target));
    }
    void scrollViewDidEndDragging(ui::ScrollView&, bool decelerate) override {
        log.push_back(decelerate ? "didEndDragging decelerate" : "didEndDragging");
    }
    void scrollViewWillBeginDecelerating(ui::ScrollView&) override { log.push_back("willBeginDecelerating"); }
    void scrollViewDidEndDecelerating(ui::ScrollView&) override { log.push_back("didEndDecelerating"); }
    void scrollViewDidEndScrollingAnimation(ui::ScrollView&) override { log.push_back("didEndScrollingAnimation"); }
    Log log;
};

class ScrollViewTest : public UIKitTest {
protected:
    ScrollViewTest() {
        scroll = ui::ScrollView::make({0, 0, 300, 600});
        scroll->setContentSize({300, 1000});
        scroll->setDelegate(delegate);
    }

    ns::Ref<ui::ScrollView> scroll;
    std::shared_ptr<DelegateLog> delegate = std::make_shared<DelegateLog>();
};

TEST_F(ScrollViewTest, ObserversSeeOffsetsAndPanStatesOfADragInOrder) {
    // What a pull-to-refresh control watches: offsets with old and new
    // values, and the pan's state, each with whether the view is dragging.
    Log seen;
    auto offsetToken = ns::addObserver(
        *scroll, "contentOffset", ns::KeyValueObservingOptionNew | ns::KeyValueObservingOptionOld,
        [&](ns::Object&, const std::string&, const ns::KeyValueChange& change) {
            seen.push_back("offset " + cg::toString(ui::pointValue(change.oldValue)) + " -> " +
                           cg::toString(ui::pointValue(change.newValue)) + (scroll->isDragging() ? " dragging" : ""));
        });
    auto stateToken = ns::addObserver(*scroll->panGestureRecognizer(), "state", ns::KeyValueObservingOptionNew,
                                      [&](ns::Object&, const std::string&, const ns::KeyValueChange& change) {
                                          auto state = ns::cast<ns::Number>(change.newValue)->longLongValue();
                                          seen.push_back("state " + std::to_string(state) +
                                                         (scroll->isDragging() ? " dragging" : ""));
                                      });

    // Pull the content down by 80: past the top, then let go.
    ASSERT_TRUE(scroll->simulateDrag({0, 80}, 2));
    // Each state is announced before the scroll view acts on it; the place
    // of release is heard once more, no longer dragging, before the bounce.
    EXPECT_EQ(seen, (Log{"state 1", "state 2 dragging", "offset {0, 0} -> {0, -40} dragging", "state 2 dragging",
                         "offset {0, -40} -> {0, -80} dragging", "state 3 dragging", "offset {0, -80} -> {0, -80}",
                         "offset {0, -80} -> {0, 0}"}));
    EXPECT_FALSE(scroll->isDragging());
    EXPECT_TRUE(scroll->isDecelerating());
    EXPECT_EQ(scroll->panGestureRecognizer()->state(), ui::GestureRecognizerState::Possible);

    env.fastForwardBy(ui::ScrollView::DecelerationDuration);
    EXPECT_FALSE(scroll->isDecelerating());
    EXPECT_EQ(delegate->log, (Log{"willBeginDragging", "didScroll {0, -40}", "didScroll {0, -80}",
                                  "willEndDragging {0, 0}", "didEndDragging decelerate", "willBeginDecelerating",
                                  "didScroll {0, 0}", "didEndDecelerating"}));
    ns::removeObserver(offsetToken);
    ns::removeObserver(stateToken);
}

TEST_F(ScrollViewTest, SettingTheSameOffsetIsStillHeardButDoesNotScroll) {
    int changes = 0;
    auto token = ns::addObserver(*scroll, "contentOffset", ns::KeyValueObservingOptionNew,
                                 [&](ns::Object&, const std::string&, const ns::KeyValueChange&) { ++changes; });
    scroll->setContentOffset({0, 0});
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(delegate->log.empty());
    scroll->setContentOffset({0, 120});
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(scroll->bounds().origin, (cg::Point{0, 120}));
    ns::removeObserver(token);
}

TEST_F(ScrollViewTest, ReleaseTargetsStayInsideTheContentAndItsInsets) {
    scroll->setContentInset({54, 0, 44, 0});
    EXPECT_EQ(scroll->minimumContentOffset(), (cg::Point{0, -54}));
    EXPECT_EQ(scroll->maximumContentOffset(), (cg::Point{0, 444}));
    // A drag in range with the finger at rest stays where it was let go.
    scroll->simulateDrag({0, -100});
    EXPECT_EQ(scroll->contentOffset(), (cg::Point{0, 100}));
    EXPECT_FALSE(scroll->isDecelerating());
    // Past the end it springs back to the last offset the insets allow.
    scroll->simulateDrag({0, -500});
    EXPECT_EQ(scroll->contentOffset(), (cg::Point{0, 444}));
    // A fling travels on (1000 points a second projects 499 more), up to
    // the end.
    scroll->setContentOffset({0, 0});
    scroll->simulateDrag({0, -10}, 1, {0, -1000});
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 444);
    // Without bounces a drag stops at the edge.
    scroll->setBounces(false);
    scroll->setContentOffset({0, 0});
    scroll->simulateDrag({0, 300});
    EXPECT_EQ(scroll->contentOffset(), (cg::Point{0, -54}));
    // Content that fits does not move unless told to bounce.
    scroll->setContentInset({});
    scroll->setContentSize({300, 200});
    scroll->setContentOffset({0, 0});
    scroll->setBounces(true);
    scroll->simulateDrag({0, -50});
    EXPECT_EQ(scroll->contentOffset(), (cg::Point{0, 0}));
    scroll->setAlwaysBounceVertical(true);
    delegate->log.clear();
    scroll->simulateDrag({0, -50});
    EXPECT_EQ(delegate->log[1], "didScroll {0, 5}");
}

TEST_F(ScrollViewTest, PagingSnapsToTheNearestPageWithinOneOfTheStart) {
    scroll->setFrame({0, 0, 300, 400});
    scroll->setContentSize({900, 400});
    scroll->setPagingEnabled(true);
    scroll->simulateDrag({-200, 0});
    EXPECT_EQ(scroll->contentOffset(), (cg::Point{300, 0}));
    env.fastForwardBy(ui::ScrollView::DecelerationDuration);
    EXPECT_EQ(delegate->log.back(), "didEndDecelerating");
    // Exactly on a page with the finger at rest: nothing to decelerate.
    delegate->log.clear();
    scroll->simulateDrag({-300, 0});
    EXPECT_EQ(scroll->contentOffset(), (cg::Point{600, 0}));
    EXPECT_EQ(delegate->log.back(), "didEndDragging");
    // A hard fling back still moves one page only.
    scroll->simulateDrag({10, 0}, 1, {5000, 0});
    EXPECT_EQ(scroll->contentOffset(), (cg::Point{300, 0}));
}

TEST_F(ScrollViewTest, AnimatedScrollsEndOnTheClock) {
    scroll->setContentOffset({0, 300}, true);
    EXPECT_EQ(scroll->contentOffset(), (cg::Point{0, 300}));
    env.fastForwardBy(ui::ScrollView::ScrollAnimationDuration / 2);
    // A newer animated scroll replaces the pending one.
    scroll->setContentOffset({0, 200}, true);
    env.fastForwardBy(ui::ScrollView::ScrollAnimationDuration);
    EXPECT_EQ(delegate->log, (Log{"didScroll {0, 300}", "didScroll {0, 200}", "didEndScrollingAnimation"}));
    // Nothing to animate, nothing to end.
    scroll->setContentOffset({0, 200}, true);
    env.fastForwardBy(ui::ScrollView::ScrollAnimationDuration);
    EXPECT_EQ(delegate->log.size(), 3u);

    scroll->scrollRectToVisible({0, 900, 10, 50}, false);
    EXPECT_EQ(scroll->contentOffset(), (cg::Point{0, 350}));
    scroll->scrollRectToVisible({0, 100, 10, 50}, false);
    EXPECT_EQ(scroll->contentOffset(), (cg::Point{0, 100}));
}

TEST_F(ScrollViewTest, AFingerDragsTheContentOnceThePanBegins) {
    auto window = ui::Window::makeFullScreen();
    window->makeKeyAndVisible();
    window->addSubview(scroll);
    scroll->setContentInsetAdjustmentBehavior(ui::ScrollViewContentInsetAdjustmentBehavior::Never);
    // 12 points start the pan without moving the content; the next 20 do,
    // and the finger leaves at 20 points a sixtieth: the content flies on
    // to the end.
    ui::simulatePan({100, 300}, {{0, -4}, {0, -8}, {0, -20}});
    EXPECT_EQ(delegate->log[0], "willBeginDragging");
    EXPECT_EQ(delegate->log[1], "didScroll {0, 20}");
    EXPECT_EQ(scroll->contentOffset(), (cg::Point{0, 400}));
    EXPECT_TRUE(scroll->isDecelerating());
}

TEST_F(ScrollViewTest, DisabledScrollingRefusesDrags) {
    scroll->setScrollEnabled(false);
    EXPECT_FALSE(scroll->panGestureRecognizer()->isEnabled());
    EXPECT_FALSE(scroll->simulateDrag({0, -100}));
    EXPECT_EQ(scroll->contentOffset(), (cg::Point{0, 0}));
    EXPECT_TRUE(delegate->log.empty());
}

TEST_F(ScrollViewTest, SafeAreaJoinsTheInsetOfScrollingAxes) {
    auto window = ui::Window::makeFullScreen();
    window->makeKeyAndVisible();
    scroll->setFrame(window->bounds());
    window->addSubview(scroll);
    cg::EdgeInsets safe = window->safeAreaInsets();
    ASSERT_GT(safe.top, 0);
    scroll->setContentSize({window->bounds().width(), 3000});
    EXPECT_EQ(scroll->adjustedContentInset(), (cg::EdgeInsets{safe.top, 0, safe.bottom, 0}));
    scroll->setContentInsetAdjustmentBehavior(ui::ScrollViewContentInsetAdjustmentBehavior::Never);
    EXPECT_EQ(scroll->adjustedContentInset(), (cg::EdgeInsets{}));
}

}  // namespace
