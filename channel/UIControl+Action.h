#pragma once
// A tap on a control that calls a method of its owner while the owner
// lives. The owner holds the control (through its views), so the action
// holds the owner weakly.

#include "platform/runtime/Object.h"
#include "platform/uikit/Control.h"

namespace ControlAction {

template <class T>
void addTapAction(ui::Control& control, T& owner, const char* selector, void (T::*action)()) {
    ns::Weak<T> weak = owner.template ref<T>();
    control.addTarget(
        nullptr, selector,
        [weak, action](ui::Control&, ui::Event*) {
            if (auto target = weak.lock()) (target.get()->*action)();
        },
        ui::ControlEventTouchUpInside);
}

}  // namespace ControlAction
