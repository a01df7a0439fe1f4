#include "platform/uikit/Switch.h"

#include "platform/uikit/Touch.h"

namespace ui {

RT_DEFINE_CLASS(Switch, Control, "UISwitch")

Switch::Switch() : Switch(cg::Rect{}) {}

Switch::Switch(const cg::Rect& frame) : Control(cg::Rect{frame.origin, SwitchSize}) { setOpaque(false); }

ns::Ref<Switch> Switch::make(const cg::Rect& frame) { return std::make_shared<Switch>(frame); }

void Switch::setOn(bool on, bool) {
    if (on == on_) return;
    on_ = on;
    setNeedsDisplay();
}

void Switch::setFrame(const cg::Rect& frame) { Control::setFrame({frame.origin, SwitchSize}); }

cg::Size Switch::sizeThatFits(cg::Size) const { return SwitchSize; }

cg::Size Switch::intrinsicContentSize() const { return SwitchSize; }

void Switch::endTrackingWithTouch(Touch* touch, Event* event) {
    Control::endTrackingWithTouch(touch, event);
    if (!isTouchInside()) return;
    setOn(!on_, true);
    sendActionsForControlEvents(ControlEventValueChanged, event);
}

bool Switch::gestureRecognizerShouldBegin(GestureRecognizer& recognizer) {
    if (isEnabled() && blocksTapRecognizer(recognizer)) return false;
    return Control::gestureRecognizerShouldBegin(recognizer);
}

}  // namespace ui
