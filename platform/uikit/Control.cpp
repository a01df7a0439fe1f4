#include "platform/uikit/Control.h"

#include <algorithm>

#include "platform/uikit/GestureRecognizer.h"
#include "platform/uikit/Touch.h"

namespace ui {

namespace {

rt::Property stateProperty(const char* name, bool (Control::*get)() const, void (Control::*set)(bool)) {
    rt::Property p;
    p.name = name;
    p.typeCode = "B";
    p.kind = rt::ValueKind::Bool;
    p.get = [get](const ns::Object& o) -> rt::Value { return (static_cast<const Control&>(o).*get)(); };
    p.set = [set](ns::Object& o, const rt::Value& v) {
        bool on;
        if (auto b = std::get_if<bool>(&v)) on = *b;
        else if (auto i = std::get_if<int64_t>(&v)) on = *i != 0;
        else if (auto u = std::get_if<uint64_t>(&v)) on = *u != 0;
        else if (auto d = std::get_if<double>(&v)) on = *d != 0;
        else return false;
        (static_cast<Control&>(o).*set)(on);
        return true;
    };
    return p;
}

}  // namespace

RT_DEFINE_CLASS(Control, View, "UIControl", stateProperty("enabled", &Control::isEnabled, &Control::setEnabled),
                stateProperty("selected", &Control::isSelected, &Control::setSelected),
                stateProperty("highlighted", &Control::isHighlighted, &Control::setHighlighted))

struct Control::Registration {
    ns::Weak<ns::Object> target;
    bool hasTarget = false;
    std::string selector;
    Action action;
    uint64_t events = 0;

    bool targetGone() const { return hasTarget && target.expired(); }
    bool sameTarget(const ns::Id& other) const {
        return other ? hasTarget && target.lock() == other : !hasTarget;
    }
};

Control::Control() = default;

Control::Control(const cg::Rect& frame) : View(frame) {}

Control::~Control() = default;

// ---- Target-action ----

void Control::addTarget(const ns::Id& target, std::string selector, Action action, uint64_t events) {
    if (!action || events == 0) return;
    std::erase_if(registrations_, [](const auto& r) { return r->targetGone(); });
    if (!selector.empty()) {
        for (const auto& r : registrations_) {
            if (r->selector == selector && r->sameTarget(target)) {
                r->events |= events;
                return;
            }
        }
    }
    auto r = std::make_shared<Registration>();
    r->target = target;
    r->hasTarget = target != nullptr;
    r->selector = std::move(selector);
    r->action = std::move(action);
    r->events = events;
    registrations_.push_back(std::move(r));
}

void Control::addTarget(const ns::Id& target, Action action, uint64_t events) {
    addTarget(target, std::string(), std::move(action), events);
}

void Control::removeTarget(const ns::Id& target, std::string_view selector, uint64_t events) {
    for (const auto& r : registrations_) {
        if (target && !r->sameTarget(target)) continue;
        if (!selector.empty() && r->selector != selector) continue;
        r->events &= ~events;
    }
    std::erase_if(registrations_, [](const auto& r) { return r->events == 0 || r->targetGone(); });
}

std::vector<ns::Id> Control::allTargets() const {
    std::vector<ns::Id> out;
    bool nilListed = false;
    for (const auto& r : registrations_) {
        if (!r->hasTarget) {
            if (!nilListed) out.push_back(nullptr);
            nilListed = true;
            continue;
        }
        auto t = r->target.lock();
        if (t && std::find(out.begin(), out.end(), t) == out.end()) out.push_back(t);
    }
    return out;
}

uint64_t Control::allControlEvents() const {
    uint64_t events = 0;
    for (const auto& r : registrations_) {
        if (!r->targetGone()) events |= r->events;
    }
    return events;
}

std::vector<std::string> Control::actionsForTarget(const ns::Id& target, uint64_t events) const {
    std::vector<std::string> out;
    for (const auto& r : registrations_) {
        if (r->selector.empty() || !(r->events & events) || !r->sameTarget(target)) continue;
        if (std::find(out.begin(), out.end(), r->selector) == out.end()) out.push_back(r->selector);
    }
    return out;
}

void Control::sendActionsForControlEvents(uint64_t events, Event* event) {
    // Actions may add or remove registrations, or release this control.
    auto keep = ref<Control>();
    auto snapshot = registrations_;
    for (const auto& r : snapshot) {
        if (!(r->events & events)) continue;
        ns::Id target = r->target.lock();
        if (r->hasTarget && !target) continue;
        r->action(*this, event);
    }
}

// ---- State ----

void Control::setEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    if (!enabled) {
        if (tracking_) cancelTrackingWithEvent(nullptr);
        tracking_ = false;
        touchInside_ = false;
        highlighted_ = false;
    }
    stateDidChange();
}

void Control::setSelected(bool selected) {
    if (selected_ == selected) return;
    selected_ = selected;
    stateDidChange();
}

void Control::setHighlighted(bool highlighted) {
    if (highlighted_ == highlighted) return;
    highlighted_ = highlighted;
    stateDidChange();
}

unsigned Control::state() const {
    unsigned s = ControlStateNormal;
    if (highlighted_) s |= ControlStateHighlighted;
    if (!enabled_) s |= ControlStateDisabled;
    if (selected_) s |= ControlStateSelected;
    return s;
}

void Control::setContentHorizontalAlignment(ControlContentHorizontalAlignment alignment) {
    horizontalAlignment_ = alignment;
    setNeedsLayout();
}

void Control::setContentVerticalAlignment(ControlContentVerticalAlignment alignment) {
    verticalAlignment_ = alignment;
    setNeedsLayout();
}

// ---- Tracking ----

bool Control::beginTrackingWithTouch(Touch&, Event*) { return true; }

bool Control::continueTrackingWithTouch(Touch&, Event*) { return true; }

void Control::endTrackingWithTouch(Touch*, Event*) {}

void Control::cancelTrackingWithEvent(Event*) {}

bool Control::insideForTracking(const Touch& touch) const {
    cg::Rect area = bounds().insetBy(-TouchInsideSlop, -TouchInsideSlop);
    return area.containsPoint(touch.locationInView(this));
}

bool Control::blocksTapRecognizer(GestureRecognizer& recognizer) const {
    if (recognizer.view().get() == this) return false;
    auto tap = dynamic_cast<TapGestureRecognizer*>(&recognizer);
    return tap && tap->numberOfTapsRequired() == 1 && tap->numberOfTouchesRequired() == 1;
}

void Control::touchesBegan(const TouchSet& touches, Event* event) {
    if (!enabled_ || touches.empty()) {
        View::touchesBegan(touches, event);
        return;
    }
    auto keep = ref<Control>();
    Touch& touch = *touches.front();
    touchInside_ = true;
    tracking_ = beginTrackingWithTouch(touch, event);
    setHighlighted(true);
    uint64_t events = ControlEventTouchDown;
    if (touch.tapCount() > 1) events |= ControlEventTouchDownRepeat;
    sendActionsForControlEvents(events, event);
}

void Control::touchesMoved(const TouchSet& touches, Event* event) {
    if (!enabled_ || touches.empty()) {
        View::touchesMoved(touches, event);
        return;
    }
    auto keep = ref<Control>();
    Touch& touch = *touches.front();
    bool wasInside = touchInside_;
    touchInside_ = insideForTracking(touch);
    if (tracking_) tracking_ = continueTrackingWithTouch(touch, event);
    setHighlighted(touchInside_);
    uint64_t events = touchInside_ ? ControlEventTouchDragInside : ControlEventTouchDragOutside;
    if (touchInside_ != wasInside) events |= touchInside_ ? ControlEventTouchDragEnter : ControlEventTouchDragExit;
    sendActionsForControlEvents(events, event);
}

void Control::touchesEnded(const TouchSet& touches, Event* event) {
    if (!enabled_ || touches.empty()) {
        View::touchesEnded(touches, event);
        return;
    }
    auto keep = ref<Control>();
    Touch& touch = *touches.front();
    touchInside_ = insideForTracking(touch);
    if (tracking_) endTrackingWithTouch(&touch, event);
    tracking_ = false;
    setHighlighted(false);
    sendActionsForControlEvents(touchInside_ ? ControlEventTouchUpInside : ControlEventTouchUpOutside, event);
    touchInside_ = false;
}

void Control::touchesCancelled(const TouchSet& touches, Event* event) {
    if (!enabled_ && !tracking_) {
        View::touchesCancelled(touches, event);
        return;
    }
    auto keep = ref<Control>();
    if (tracking_) cancelTrackingWithEvent(event);
    tracking_ = false;
    touchInside_ = false;
    setHighlighted(false);
    sendActionsForControlEvents(ControlEventTouchCancel, event);
}

}  // namespace ui
