#pragma once
// Navigation controllers: a stack of child controllers of which the top
// one's view fills the navigation controller's view, under a navigation bar
// (44 points, below the status bar's safe-area inset) that shows the top
// controller's navigation item.
//
// Pushing and popping change the stack at once: children join with
// willMoveToParentViewController and get didMoveToParentViewController when
// the transition ends; popped ones get willMove(nil) at once and leave with
// didMove(nil) at the end. While the navigation controller is on screen the
// outgoing and incoming controllers get their appearance callbacks, the
// did-callbacks when the transition ends: TransitionDuration later on the
// clock when animated, on the next turn of the main queue otherwise. A new
// push or pop first finishes the transition in progress.
//
// The interactive pop recognizer is a pan that begins within 20 points of
// the left edge while the stack holds more than one controller, and pops
// (animated) when released past half the width.
//
// Main thread only.

#include <functional>
#include <memory>
#include <vector>

#include "platform/uikit/GestureRecognizer.h"
#include "platform/uikit/ViewController.h"

namespace ui {

class NavigationBar;
class NavigationController;

class NavigationControllerDelegate {
public:
    virtual ~NavigationControllerDelegate() = default;
    virtual void navigationControllerWillShowViewController(NavigationController& navigationController,
                                                            ViewController& controller, bool animated) {
        (void)navigationController;
        (void)controller;
        (void)animated;
    }
    virtual void navigationControllerDidShowViewController(NavigationController& navigationController,
                                                           ViewController& controller, bool animated) {
        (void)navigationController;
        (void)controller;
        (void)animated;
    }
};

class NavigationController : public ViewController {
    RT_DECLARE_CLASS(NavigationController)
public:
    static constexpr double EdgeSwipeWidth = 20;

    NavigationController();
    // The root joins the stack when the navigation controller is first used
    // (a controller cannot adopt children while it is being constructed).
    explicit NavigationController(const ns::Ref<ViewController>& root);
    ~NavigationController() override;
    static ns::Ref<NavigationController> make(const ns::Ref<ViewController>& root);

    const std::vector<ns::Ref<ViewController>>& viewControllers() const;
    void setViewControllers(std::vector<ns::Ref<ViewController>> controllers, bool animated = false);
    ns::Ref<ViewController> topViewController() const;
    // The top controller, or what is presented over this one.
    ns::Ref<ViewController> visibleViewController() const;

    // Raises NSInvalidArgumentException for nil, for a controller already on
    // the stack and for a navigation controller.
    void pushViewController(const ns::Ref<ViewController>& controller, bool animated);
    // Nil when only the root is left.
    ns::Ref<ViewController> popViewController(bool animated);
    std::vector<ns::Ref<ViewController>> popToRootViewController(bool animated);
    // Raises NSInvalidArgumentException for a controller not on the stack.
    std::vector<ns::Ref<ViewController>> popToViewController(const ns::Ref<ViewController>& controller,
                                                             bool animated);

    const ns::Ref<NavigationBar>& navigationBar() const { return bar_; }
    bool isNavigationBarHidden() const;
    void setNavigationBarHidden(bool hidden, bool animated = false);
    ns::Ref<GestureRecognizer> interactivePopGestureRecognizer();

    std::shared_ptr<NavigationControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<NavigationControllerDelegate>& delegate) { delegate_ = delegate; }

    ns::Ref<View> view() override;
    void loadView() override;

private:
    friend class NavigationContainerView;

    void ensureStack() const;
    // Replaces the stack by `stack`, from the current top to the new one.
    void transition(std::vector<ns::Ref<ViewController>> stack, bool animated);
    void finishTransitionNow();
    void layoutContent();
    void handleInteractivePop(GestureRecognizer& recognizer);
    bool isOnScreen() const;

    ns::Ref<ViewController> pendingRoot_;
    // The stack as last set: it changes at once, while a controller that is
    // leaving stays a child until its transition ends.
    std::vector<ns::Ref<ViewController>> stack_;
    ns::Ref<NavigationBar> bar_;
    ns::Ref<PanGestureRecognizer> interactivePop_;
    std::weak_ptr<NavigationControllerDelegate> delegate_;
    std::function<void()> pendingFinish_;
    uint64_t transitionGeneration_ = 0;
};

}  // namespace ui
