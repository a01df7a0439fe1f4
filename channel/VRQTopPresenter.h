#pragma once
// Where the channel's own screens (the payment centre, the user centre) are
// presented from: the top of what the game's root controller presents. A
// controller presents one screen at a time, and the game may be showing one
// of its own (a dialog of its page, an alert), so presenting from the root
// itself would be refused. Main thread only.

#include "platform/uikit/ViewController.h"

namespace VRQTopPresenter {

// The top-most controller presented from `root` (or `root` itself) while its
// view is in a visible window; else nil. A screen on its way out does not
// count: its presenter presents next, once the dismissal is over.
ns::Ref<ui::ViewController> presenterAbove(ns::Ref<ui::ViewController> root);

// presenterAbove the root controller of VRQWindowManager::topWindow().
ns::Ref<ui::ViewController> presenterOverTopWindow();

}  // namespace VRQTopPresenter
