#pragma once
// The navigation controller of the channel's screens: a white bar, black
// bar-button titles for the whole process once the first one loads, and
// rotation decided by the screen on top. overrideGesture gives a back pan
// anywhere on the view in place of the edge swipe. Main thread only.

#include <memory>

#include "platform/runtime/Class.h"
#include "platform/uikit/GestureRecognizer.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/NavigationController.h"

class TVBaseNav : public ui::NavigationController, public ui::GestureRecognizerDelegate {
    RT_DECLARE_CLASS(TVBaseNav)
public:
    TVBaseNav() = default;
    explicit TVBaseNav(const ns::Ref<ui::ViewController>& root) : ui::NavigationController(root) {}
    static ns::Ref<TVBaseNav> make(const ns::Ref<ui::ViewController>& root);

    void viewDidLoad() override;
    void initView();

    bool shouldAutorotate() const override;
    unsigned supportedInterfaceOrientations() const override;
    ui::InterfaceOrientation preferredInterfaceOrientationForPresentation() const override;

    // The back pan begins only above the root, and not during a transition.
    bool gestureRecognizerShouldBegin(ui::GestureRecognizer& recognizer) override;
    // Once per controller: turns the edge swipe off and adds a one-finger
    // pan over the whole view that pops when released past half the width.
    void overrideGesture();

    // Unused, kept as the controller declares it.
    ns::Ref<ui::Label> titleLabel;

private:
    ns::Ref<ui::PanGestureRecognizer> backPan_;
};
