#pragma once
// Controls: views that turn touches into control events and send them, by
// target-action, to whoever registered for them.
//
// An action is a closure registered with a target (held weakly: the action
// runs only while the target lives; a nil target always runs) and, where
// it has one, a selector name. Registering a target and selector that are
// already registered only adds the events; anonymous actions are never
// merged. Actions run in the order they were registered.
//
// Touches arriving from the window drive tracking: down sends touchDown
// (and touchDownRepeat for a second tap), moves send the drag events, up
// sends touchUpInside or touchUpOutside, a cancel sends touchCancel. As on
// the platform, a touch still counts as inside up to 70 points beyond the
// bounds. A disabled control passes its touches on to the next responder.
//
// Main thread only.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/uikit/View.h"

namespace ui {

class Control;

// The platform's event bits.
enum ControlEvents : uint64_t {
    ControlEventTouchDown = 1 << 0,
    ControlEventTouchDownRepeat = 1 << 1,
    ControlEventTouchDragInside = 1 << 2,
    ControlEventTouchDragOutside = 1 << 3,
    ControlEventTouchDragEnter = 1 << 4,
    ControlEventTouchDragExit = 1 << 5,
    ControlEventTouchUpInside = 1 << 6,
    ControlEventTouchUpOutside = 1 << 7,
    ControlEventTouchCancel = 1 << 8,
    ControlEventValueChanged = 1 << 12,
    ControlEventPrimaryActionTriggered = 1 << 13,
    ControlEventEditingDidBegin = 1 << 16,
    ControlEventEditingChanged = 1 << 17,
    ControlEventEditingDidEnd = 1 << 18,
    ControlEventEditingDidEndOnExit = 1 << 19,
    ControlEventAllTouchEvents = 0x00000FFF,
    ControlEventAllEditingEvents = 0x000F0000,
    ControlEventApplicationReserved = 0x0F000000,
    ControlEventSystemReserved = 0xF0000000,
    ControlEventAllEvents = 0xFFFFFFFF,
};

// The platform's state bits; combinations are states of their own.
enum ControlState : unsigned {
    ControlStateNormal = 0,
    ControlStateHighlighted = 1 << 0,
    ControlStateDisabled = 1 << 1,
    ControlStateSelected = 1 << 2,
    ControlStateFocused = 1 << 3,
};

enum class ControlContentHorizontalAlignment { Center = 0, Left = 1, Right = 2, Fill = 3, Leading = 4, Trailing = 5 };
enum class ControlContentVerticalAlignment { Center = 0, Top = 1, Bottom = 2, Fill = 3 };

class Control : public View {
    RT_DECLARE_CLASS(Control)
public:
    using Action = std::function<void(Control& sender, Event* event)>;

    Control();
    explicit Control(const cg::Rect& frame);
    ~Control() override;

    // ---- Target-action ----
    void addTarget(const ns::Id& target, std::string selector, Action action, uint64_t events);
    // An anonymous action: never merged with another.
    void addTarget(const ns::Id& target, Action action, uint64_t events);
    // A member function of the target, called with the sender while the
    // target lives; the selector names it for merging and removal.
    template <class T>
    void addTarget(const ns::Ref<T>& target, std::string selector, void (T::*method)(Control& sender),
                   uint64_t events) {
        ns::Weak<T> weak = target;
        addTarget(ns::Id(target), std::move(selector),
                  [weak, method](Control& sender, Event*) {
                      if (auto t = weak.lock()) (t.get()->*method)(sender);
                  },
                  events);
    }
    // Takes the events away from matching registrations (nil target: every
    // target; empty selector: every action of it), dropping those left
    // without events.
    void removeTarget(const ns::Id& target, std::string_view selector, uint64_t events);
    // The live targets (nil for registrations without one), each once.
    std::vector<ns::Id> allTargets() const;
    uint64_t allControlEvents() const;
    // Selector names registered for the target (nil: the nil target) and
    // any of the events; anonymous actions are not listed.
    std::vector<std::string> actionsForTarget(const ns::Id& target, uint64_t events) const;

    // Runs every action registered for any of the events.
    void sendActionsForControlEvents(uint64_t events, Event* event = nullptr);

    // ---- State ----
    bool isEnabled() const { return enabled_; }
    virtual void setEnabled(bool enabled);
    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected);
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted);
    unsigned state() const;
    ControlContentHorizontalAlignment contentHorizontalAlignment() const { return horizontalAlignment_; }
    void setContentHorizontalAlignment(ControlContentHorizontalAlignment alignment);
    ControlContentVerticalAlignment contentVerticalAlignment() const { return verticalAlignment_; }
    void setContentVerticalAlignment(ControlContentVerticalAlignment alignment);

    // ---- Tracking ----
    bool isTracking() const { return tracking_; }
    bool isTouchInside() const { return touchInside_; }
    // Subclasses refine tracking here; returning false from begin or
    // continue stops tracking the touch.
    virtual bool beginTrackingWithTouch(Touch& touch, Event* event);
    virtual bool continueTrackingWithTouch(Touch& touch, Event* event);
    virtual void endTrackingWithTouch(Touch* touch, Event* event);
    virtual void cancelTrackingWithEvent(Event* event);

    void touchesBegan(const TouchSet& touches, Event* event) override;
    void touchesMoved(const TouchSet& touches, Event* event) override;
    void touchesEnded(const TouchSet& touches, Event* event) override;
    void touchesCancelled(const TouchSet& touches, Event* event) override;

    // How far beyond the bounds a tracked touch still counts as inside.
    static constexpr double TouchInsideSlop = 70;

protected:
    // Called after enabled, selected or highlighted changed.
    virtual void stateDidChange() {}
    // The platform's rule for its standard controls: a single-tap recognizer
    // of another view does not take a tap that lands on the control.
    bool blocksTapRecognizer(GestureRecognizer& recognizer) const;

private:
    struct Registration;

    bool insideForTracking(const Touch& touch) const;

    std::vector<std::shared_ptr<Registration>> registrations_;
    bool enabled_ = true;
    bool selected_ = false;
    bool highlighted_ = false;
    bool tracking_ = false;
    bool touchInside_ = false;
    ControlContentHorizontalAlignment horizontalAlignment_ = ControlContentHorizontalAlignment::Center;
    ControlContentVerticalAlignment verticalAlignment_ = ControlContentVerticalAlignment::Center;
};

}  // namespace ui
