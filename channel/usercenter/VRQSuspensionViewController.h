#pragma once
// The root controller of the floating ball's window: a view of the screen's
// size and the status bar left showing. Nothing else.

#include "platform/runtime/Class.h"
#include "platform/uikit/ViewController.h"

class VRQSuspensionViewController : public ui::ViewController {
    RT_DECLARE_CLASS(VRQSuspensionViewController)
public:
    void viewDidLoad() override;
    bool prefersStatusBarHidden() const override { return false; }
};
