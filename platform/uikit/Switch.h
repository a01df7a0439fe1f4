#pragma once
// Switches: an on/off control of the platform's fixed size. A tap flips it
// and sends valueChanged; setting it in code sends nothing.
//
// Main thread only.

#include "platform/uikit/Control.h"

namespace ui {

class Switch : public Control {
    RT_DECLARE_CLASS(Switch)
public:
    Switch();
    // The origin is kept, the size is always the switch's own.
    explicit Switch(const cg::Rect& frame);
    static ns::Ref<Switch> make(const cg::Rect& frame = {});

    static constexpr cg::Size SwitchSize{51, 31};

    bool isOn() const { return on_; }
    void setOn(bool on, bool animated = false);

    void setFrame(const cg::Rect& frame) override;
    cg::Size sizeThatFits(cg::Size size) const override;
    cg::Size intrinsicContentSize() const override;
    void endTrackingWithTouch(Touch* touch, Event* event) override;
    bool gestureRecognizerShouldBegin(GestureRecognizer& recognizer) override;

private:
    bool on_ = false;
};

}  // namespace ui
