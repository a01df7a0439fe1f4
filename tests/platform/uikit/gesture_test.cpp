#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Number.h"
#include "platform/uikit/GestureRecognizer.h"
#include "platform/uikit/KeyValueObserving.h"
#include "platform/uikit/Touch.h"
#include "platform/uikit/TouchSimulation.h"
#include "platform/uikit/Window.h"
#include "ui_test_support.h"

namespace {

using State = ui::GestureRecognizerState;

// Logs the touches a view hears.
class TouchView : public ui::View {
public:
    using ui::View::View;
    void touchesBegan(const ui::TouchSet&, ui::Event*) override { log.push_back("began"); }
    void touchesMoved(const ui::TouchSet&, ui::Event*) override { log.push_back("moved"); }
    void touchesEnded(const ui::TouchSet&, ui::Event*) override { log.push_back("ended"); }
    void touchesCancelled(const ui::TouchSet&, ui::Event*) override { log.push_back("cancelled"); }
    std::vector<std::string> log;
};

class GestureTest : public UIKitTest {
protected:
    GestureTest() {
        window = ui::Window::makeFullScreen();
        window->makeKeyAndVisible();
        view = std::make_shared<TouchView>(cg::Rect{50, 100, 200, 200});
        window->addSubview(view);
    }

    ns::Ref<ui::Window> window;
    std::shared_ptr<TouchView> view;
};

TEST_F(GestureTest, SimulatedPanGoesThroughItsStates) {
    std::vector<State> states;
    std::vector<cg::Point> translations;
    cg::Point velocity;
    auto pan = std::make_shared<ui::PanGestureRecognizer>([&](ui::GestureRecognizer& r) {
        auto& p = static_cast<ui::PanGestureRecognizer&>(r);
        states.push_back(p.state());
        translations.push_back(p.translationInView(view.get()));
        velocity = p.velocityInView(view.get());
    });
    view->addGestureRecognizer(pan);
    EXPECT_EQ(pan->view(), view);

    // 4 points do not start it; 12 do; then two more moves.
    ui::simulatePan({100, 150}, {{4, 0}, {8, 0}, {0, 6}, {0, 6}}, 0.01);

    EXPECT_EQ(states, (std::vector<State>{State::Began, State::Changed, State::Changed, State::Ended}));
    EXPECT_EQ(translations.front(), (cg::Point{12, 0}));
    EXPECT_EQ(translations.back(), (cg::Point{12, 12}));
    // The last move: 6 points in 10 ms. Touch stamps are the platform's
    // double seconds of uptime, exact to about 1e-7 relative at years of it.
    EXPECT_TRUE(near(velocity, {0, 600}, 600 * 1e-5));
    // Back to Possible once the finger is up; the view heard the start, then
    // lost the touch to the pan.
    EXPECT_EQ(pan->state(), State::Possible);
    EXPECT_EQ(view->log, (std::vector<std::string>{"began", "moved", "cancelled"}));
}

TEST_F(GestureTest, PanStateIsObservable) {
    auto pan = std::make_shared<ui::PanGestureRecognizer>();
    view->addGestureRecognizer(pan);
    std::vector<int64_t> seen;
    ns::addObserver(*pan, "state", ns::KeyValueObservingOptionNew,
                    [&](ns::Object&, const std::string&, const ns::KeyValueChange& change) {
                        seen.push_back(ns::cast<ns::Number>(change.newValue)->longLongValue());
                    });
    ui::simulatePan({100, 150}, {{0, 20}, {0, 20}});
    EXPECT_EQ(seen, (std::vector<int64_t>{1, 2, 3}));
}

TEST_F(GestureTest, SetTranslationRebasesAndLocationFollowsTheFinger) {
    auto pan = std::make_shared<ui::PanGestureRecognizer>();
    view->addGestureRecognizer(pan);
    ui::TouchSequence finger({100, 150});
    ASSERT_TRUE(finger.isDelivered());
    EXPECT_EQ(finger.view(), view);
    finger.moveBy(0, 30);
    EXPECT_EQ(pan->state(), State::Began);
    EXPECT_EQ(pan->translationInView(nullptr), (cg::Point{0, 30}));
    pan->setTranslation({0, 0}, view.get());
    finger.moveBy(5, 5);
    EXPECT_EQ(pan->translationInView(view.get()), (cg::Point{5, 5}));
    EXPECT_EQ(pan->locationInView(view.get()), (cg::Point{55, 85}));
    finger.cancel();
    EXPECT_EQ(pan->state(), State::Possible);
}

TEST_F(GestureTest, TapRecognizesAndTakesTheTouchFromTheView) {
    int taps = 0;
    auto tap = std::make_shared<ui::TapGestureRecognizer>([&](ui::GestureRecognizer& r) {
        EXPECT_EQ(r.state(), State::Recognized);
        EXPECT_EQ(r.locationInView(view.get()), (cg::Point{10, 20}));
        ++taps;
    });
    view->addGestureRecognizer(tap);
    EXPECT_TRUE(ui::simulateTap({60, 120}));
    EXPECT_EQ(taps, 1);
    EXPECT_EQ(view->log, (std::vector<std::string>{"began", "cancelled"}));

    // A finger that wanders is no tap, and the view keeps the touch.
    view->log.clear();
    ui::TouchSequence finger({60, 120});
    finger.moveBy(30, 0);
    finger.end();
    EXPECT_EQ(taps, 1);
    EXPECT_EQ(view->log, (std::vector<std::string>{"began", "moved", "ended"}));

    // Without cancelling, the view hears the whole touch.
    view->log.clear();
    tap->setCancelsTouchesInView(false);
    ui::simulateTap({60, 120});
    EXPECT_EQ(taps, 2);
    EXPECT_EQ(view->log, (std::vector<std::string>{"began", "ended"}));

    // Nothing takes touches where no window is.
    EXPECT_FALSE(ui::simulateTap({-10, -10}));

    // Points of a view, through a window placed away from the origin.
    auto small = ui::Window::make({100, 300, 50, 50});
    small->setWindowLevel(ui::WindowLevelAlert);
    small->setHidden(false);
    auto button = std::make_shared<TouchView>(cg::Rect{10, 10, 20, 20});
    small->addSubview(button);
    EXPECT_EQ(ui::screenPoint(*button, {5, 5}), (cg::Point{115, 315}));
    EXPECT_TRUE(ui::simulateTap(ui::screenPoint(*button, {5, 5})));
    EXPECT_EQ(button->log, (std::vector<std::string>{"began", "ended"}));
}

TEST_F(GestureTest, DoubleTapNeedsTheSecondTap) {
    int doubles = 0;
    auto tap = std::make_shared<ui::TapGestureRecognizer>([&](ui::GestureRecognizer&) { ++doubles; });
    tap->setNumberOfTapsRequired(2);
    view->addGestureRecognizer(tap);
    ui::simulateTap({60, 120});
    EXPECT_EQ(doubles, 0);
    ui::simulateTap({60, 120}, 2);
    EXPECT_EQ(doubles, 1);
}

struct Simultaneous : ui::GestureRecognizerDelegate {
    bool gestureRecognizerShouldRecognizeSimultaneously(ui::GestureRecognizer&, ui::GestureRecognizer&) override {
        return allow;
    }
    bool gestureRecognizerShouldBegin(ui::GestureRecognizer&) override { return begin; }
    bool allow = false;
    bool begin = true;
};

TEST_F(GestureTest, TheFirstToBeginMakesTheOthersFail) {
    auto inner = ui::View::make({0, 0, 100, 100});
    view->addSubview(inner);
    int outerCalls = 0;
    int innerCalls = 0;
    auto outer = std::make_shared<ui::PanGestureRecognizer>([&](ui::GestureRecognizer&) { ++outerCalls; });
    auto own = std::make_shared<ui::PanGestureRecognizer>([&](ui::GestureRecognizer&) { ++innerCalls; });
    view->addGestureRecognizer(outer);
    inner->addGestureRecognizer(own);
    ui::simulatePan({60, 110}, {{0, 20}, {0, 20}});
    EXPECT_EQ(innerCalls, 3);
    EXPECT_EQ(outerCalls, 0);

    auto delegate = std::make_shared<Simultaneous>();
    delegate->allow = true;
    own->setDelegate(delegate);
    ui::simulatePan({60, 110}, {{0, 20}, {0, 20}});
    EXPECT_EQ(innerCalls, 6);
    EXPECT_EQ(outerCalls, 3);

    // A delegate that refuses the start fails it and lets the other win.
    delegate->allow = false;
    delegate->begin = false;
    ui::simulatePan({60, 110}, {{0, 20}, {0, 20}});
    EXPECT_EQ(innerCalls, 6);
    EXPECT_EQ(outerCalls, 6);
}

TEST_F(GestureTest, DisabledRecognizersHearNothing) {
    int calls = 0;
    auto tap = std::make_shared<ui::TapGestureRecognizer>([&](ui::GestureRecognizer&) { ++calls; });
    view->addGestureRecognizer(tap);
    tap->setEnabled(false);
    ui::simulateTap({60, 120});
    EXPECT_EQ(calls, 0);
    view->removeGestureRecognizer(tap);
    EXPECT_EQ(tap->view(), nullptr);
    EXPECT_TRUE(view->gestureRecognizers().empty());
}

TEST_F(GestureTest, LongPressBeginsAfterItsDurationOnTheClock) {
    std::vector<State> states;
    auto press = std::make_shared<ui::LongPressGestureRecognizer>(
        [&](ui::GestureRecognizer& r) { states.push_back(r.state()); });
    view->addGestureRecognizer(press);
    {
        ui::TouchSequence finger({60, 120});
        env.fastForwardBy(0.4);
        EXPECT_TRUE(states.empty());
        env.fastForwardBy(0.2);
        EXPECT_EQ(states, (std::vector<State>{State::Began}));
        finger.moveBy(3, 0);
        finger.end();
    }
    EXPECT_EQ(states, (std::vector<State>{State::Began, State::Changed, State::Ended}));

    // Lifted early: it fails quietly.
    states.clear();
    ui::TouchSequence quick({60, 120});
    env.fastForwardBy(0.2);
    quick.end();
    env.fastForwardBy(1);
    EXPECT_TRUE(states.empty());
}

}  // namespace
