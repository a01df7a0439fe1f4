#pragma once
// What windows need of a view controller, so that windows (here) and view
// controllers (built on this) do not depend on each other. The controller
// layer's UIViewController derives from this interface.

#include "platform/graphics/Geometry.h"
#include "platform/uikit/Responder.h"

namespace ui {

class View;
class Window;

class ViewControllerBase : public Responder {
public:
    // The root view, loaded on first use.
    virtual ns::Ref<View> view() = 0;
    virtual bool isViewLoaded() const = 0;
    // Appearance callbacks bracket: begin(true) -> viewWillAppear,
    // end -> viewDidAppear; begin(false) -> viewWillDisappear, end ->
    // viewDidDisappear.
    virtual void beginAppearanceTransition(bool isAppearing, bool animated) = 0;
    virtual void endAppearanceTransition() = 0;

    virtual bool prefersStatusBarHidden() const { return false; }
    virtual void setNeedsStatusBarAppearanceUpdate() {}
    // The window's size is about to change (rotation).
    virtual void viewWillTransitionToSize(cg::Size size) { (void)size; }

    // Called by the root view: around its layoutSubviews, and as it moves
    // into or out of (nil) a window and once it has.
    virtual void viewWillLayoutSubviews() {}
    virtual void viewDidLayoutSubviews() {}
    virtual void rootViewWillMoveToWindow(Window* newWindow) { (void)newWindow; }
    virtual void rootViewDidMoveToWindow() {}
};

}  // namespace ui
