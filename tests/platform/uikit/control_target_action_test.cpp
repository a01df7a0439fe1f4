#include <string>
#include <vector>

#include "platform/uikit/Button.h"
#include "platform/uikit/Control.h"
#include "platform/uikit/GestureRecognizer.h"
#include "platform/uikit/TouchSimulation.h"
#include "platform/uikit/Window.h"
#include "ui_test_support.h"

namespace {

using ui::Control;

// A target that counts the actions it receives.
class Counter : public ns::Object {
public:
    void tapped(Control&) { ++taps; }
    int taps = 0;
};

// Logs the touches that reach it through the responder chain.
class TouchLog : public ui::View {
public:
    using ui::View::View;
    void touchesBegan(const ui::TouchSet&, ui::Event*) override { log.push_back("began"); }
    void touchesEnded(const ui::TouchSet&, ui::Event*) override { log.push_back("ended"); }
    std::vector<std::string> log;
};

class ControlTest : public UIKitTest {
protected:
    ControlTest() {
        window = ui::Window::makeFullScreen();
        window->makeKeyAndVisible();
        parent = std::make_shared<TouchLog>(cg::Rect{0, 0, 300, 300});
        window->addSubview(parent);
        control = std::make_shared<Control>(cg::Rect{50, 100, 100, 50});
        parent->addSubview(control);
    }

    // Records every event of the control by name.
    void logEvents() {
        const std::vector<std::pair<uint64_t, const char*>> names = {
            {ui::ControlEventTouchDown, "down"},           {ui::ControlEventTouchDownRepeat, "repeat"},
            {ui::ControlEventTouchDragInside, "inside"},   {ui::ControlEventTouchDragOutside, "outside"},
            {ui::ControlEventTouchDragEnter, "enter"},     {ui::ControlEventTouchDragExit, "exit"},
            {ui::ControlEventTouchUpInside, "upInside"},   {ui::ControlEventTouchUpOutside, "upOutside"},
            {ui::ControlEventTouchCancel, "cancel"},
        };
        for (const auto& [event, name] : names) {
            std::string n = name;
            control->addTarget(nullptr, [this, n](Control&, ui::Event*) { events.push_back(n); }, event);
        }
    }

    ns::Ref<ui::Window> window;
    std::shared_ptr<TouchLog> parent;
    ns::Ref<Control> control;
    std::vector<std::string> events;
};

TEST_F(ControlTest, ASimulatedTapSendsTouchDownThenTouchUpInside) {
    logEvents();
    EXPECT_TRUE(ui::simulateTap({100, 125}));
    EXPECT_EQ(events, (std::vector<std::string>{"down", "upInside"}));
    EXPECT_FALSE(control->isHighlighted());
    // The control kept the touches to itself.
    EXPECT_TRUE(parent->log.empty());

    events.clear();
    ui::simulateTap({100, 125}, 2);
    EXPECT_EQ(events, (std::vector<std::string>{"down", "upInside", "down", "repeat", "upInside"}));
}

TEST_F(ControlTest, DraggingCountsAsInsideUpTo70PointsBeyondTheBounds) {
    logEvents();
    ui::TouchSequence finger({100, 125});
    finger.moveTo({100, 210});  // 60 below the bottom edge
    finger.moveTo({100, 260});  // 110 below
    finger.moveTo({100, 140});
    finger.end();
    EXPECT_EQ(events, (std::vector<std::string>{"down", "inside", "outside", "exit", "inside", "enter", "upInside"}));

    events.clear();
    ui::TouchSequence away({100, 125});
    away.moveTo({300, 125});
    away.end();
    EXPECT_EQ(events, (std::vector<std::string>{"down", "outside", "exit", "upOutside"}));

    events.clear();
    ui::TouchSequence cancelled({100, 125});
    cancelled.cancel();
    EXPECT_EQ(events, (std::vector<std::string>{"down", "cancel"}));
}

TEST_F(ControlTest, ATargetAndSelectorRegisterOnce) {
    auto counter = std::make_shared<Counter>();
    // Attached again each time a screen mode is entered: still one action.
    for (int i = 0; i < 3; ++i) {
        control->addTarget(counter, "tapped:", &Counter::tapped, ui::ControlEventTouchUpInside);
    }
    int anonymous = 0;
    for (int i = 0; i < 2; ++i) {
        control->addTarget(counter, [&](Control&, ui::Event*) { ++anonymous; }, ui::ControlEventTouchUpInside);
    }
    control->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    EXPECT_EQ(counter->taps, 1);
    EXPECT_EQ(anonymous, 2);
    EXPECT_EQ(control->actionsForTarget(counter, ui::ControlEventTouchUpInside),
              (std::vector<std::string>{"tapped:"}));
    EXPECT_EQ(control->allTargets(), (std::vector<ns::Id>{counter}));

    control->removeTarget(counter, "tapped:", ui::ControlEventTouchUpInside);
    control->sendActionsForControlEvents(ui::ControlEventAllEvents);
    EXPECT_EQ(counter->taps, 1);
    EXPECT_EQ(anonymous, 4);

    // A nil target with no selector removes everything for the events.
    control->removeTarget(nullptr, "", ui::ControlEventTouchUpInside);
    EXPECT_EQ(control->allControlEvents(), 0u);
}

TEST_F(ControlTest, ActionsOfDeadTargetsDoNotRun) {
    int calls = 0;
    {
        auto target = std::make_shared<Counter>();
        control->addTarget(target, [&](Control&, ui::Event*) { ++calls; }, ui::ControlEventValueChanged);
        EXPECT_EQ(control->allControlEvents(), uint64_t(ui::ControlEventValueChanged));
    }
    control->sendActionsForControlEvents(ui::ControlEventValueChanged);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(control->allControlEvents(), 0u);
}

TEST_F(ControlTest, ActionsMayRemoveThemselves) {
    int calls = 0;
    control->addTarget(nullptr, "once", [&](Control& sender, ui::Event*) {
        ++calls;
        sender.removeTarget(nullptr, "once", ui::ControlEventAllEvents);
    }, ui::ControlEventTouchUpInside);
    ui::simulateTap({100, 125});
    ui::simulateTap({100, 125});
    EXPECT_EQ(calls, 1);
}

TEST_F(ControlTest, DisabledControlsPassTouchesOn) {
    logEvents();
    control->setEnabled(false);
    EXPECT_EQ(control->state(), unsigned(ui::ControlStateDisabled));
    ui::simulateTap({100, 125});
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(parent->log, (std::vector<std::string>{"began", "ended"}));
}

TEST_F(ControlTest, StatesCombine) {
    control->setSelected(true);
    control->setHighlighted(true);
    EXPECT_EQ(control->state(), unsigned(ui::ControlStateSelected | ui::ControlStateHighlighted));
    control->setEnabled(false);
    EXPECT_EQ(control->state(), unsigned(ui::ControlStateSelected | ui::ControlStateDisabled));
}

TEST_F(ControlTest, ButtonsKeepSingleTapsFromTheirParentsRecognizers) {
    int parentTaps = 0;
    parent->addGestureRecognizer(
        std::make_shared<ui::TapGestureRecognizer>([&](ui::GestureRecognizer&) { ++parentTaps; }));
    auto button = ui::Button::make({50, 200, 100, 50});
    parent->addSubview(button);
    int buttonTaps = 0;
    button->addTarget(nullptr, [&](Control&, ui::Event*) { ++buttonTaps; }, ui::ControlEventTouchUpInside);
    logEvents();

    ui::simulateTap({100, 225});
    EXPECT_EQ(buttonTaps, 1);
    EXPECT_EQ(parentTaps, 0);

    // A plain control has no such claim: the recognizer takes the tap.
    ui::simulateTap({100, 125});
    EXPECT_EQ(parentTaps, 1);
    EXPECT_EQ(events, (std::vector<std::string>{"down", "cancel"}));
}

}  // namespace
