#pragma once
// View controllers: a root view loaded on first use, the appearance
// callbacks around it, modal presentation, and child controllers.
//
// Loading: the first call of view() runs loadView (the scene's view
// builder for controllers made from a storyboard, else the nib named by
// setNibName or after the class, else a plain view of the screen's size)
// and then viewDidLoad, once. The controller becomes its root view's next
// responder.
//
// Appearance: viewWillAppear / viewDidAppear and viewWillDisappear /
// viewDidDisappear come in pairs, each at most once per state change. A
// container, a window or a presentation drives them explicitly; a root view
// that moves into or out of a window otherwise (as child pages' views do
// when added to a visible parent) gets them at once. Before viewDidAppear
// of an explicit transition the view is laid out, so the order is
// viewWillAppear, viewWillLayoutSubviews, viewDidLayoutSubviews,
// viewDidAppear.
//
// Presentation: the presented controller's view goes on top of the
// presenting view's window, framed by the presentation style (full screen,
// over full screen, custom and alerts: the window's bounds; current
// context styles: the context's view; page and form sheets: the window's
// bounds below the top safe-area inset plus 10 points). Full-screen and
// current-context presentations take the presenter's view out of the window
// when they finish and put it back when dismissed, with disappear and
// appear callbacks; the "over" styles leave it in place without callbacks.
// Animated transitions finish TransitionDuration later on the clock,
// others on the next turn of the main queue; then come the did-callbacks
// and the completion. A presentation or dismissal asked for while one is
// running waits for it. Presenting from a controller that already presents
// another, or whose view is in no window, is refused with the platform's
// log warning, and its completion is not called.
//
// Main thread only.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/String.h"
#include "platform/uikit/ScreenModel.h"
#include "platform/uikit/ViewControllerHost.h"

namespace ui {

class NavigationController;
class NavigationItem;
class Storyboard;
class View;
class Window;

enum class ModalPresentationStyle {
    FullScreen = 0,
    PageSheet = 1,
    FormSheet = 2,
    CurrentContext = 3,
    Custom = 4,
    OverFullScreen = 5,
    OverCurrentContext = 6,
    Popover = 7,
    None = -1,
    // Page sheet from system version 13 on, full screen before.
    Automatic = -2,
};

enum class ModalTransitionStyle { CoverVertical = 0, FlipHorizontal = 1, CrossDissolve = 2, PartialCurl = 3 };

// The platform's bits: 1 << the interface orientation.
enum InterfaceOrientationMask : unsigned {
    InterfaceOrientationMaskPortrait = 1 << 1,
    InterfaceOrientationMaskPortraitUpsideDown = 1 << 2,
    InterfaceOrientationMaskLandscapeRight = 1 << 3,
    InterfaceOrientationMaskLandscapeLeft = 1 << 4,
    InterfaceOrientationMaskLandscape = (1 << 3) | (1 << 4),
    InterfaceOrientationMaskAll = (1 << 1) | (1 << 2) | (1 << 3) | (1 << 4),
    InterfaceOrientationMaskAllButUpsideDown = (1 << 1) | (1 << 3) | (1 << 4),
};

enum class StatusBarStyle { Default = 0, LightContent = 1, DarkContent = 3 };

// The edges under which a controller's view extends (the platform's bits).
enum RectEdge : unsigned {
    RectEdgeNone = 0,
    RectEdgeTop = 1 << 0,
    RectEdgeLeft = 1 << 1,
    RectEdgeBottom = 1 << 2,
    RectEdgeRight = 1 << 3,
    RectEdgeAll = 15,
};

class ViewController : public ViewControllerBase {
    RT_DECLARE_CLASS(ViewController)
public:
    using Completion = std::function<void()>;

    static constexpr double TransitionDuration = 0.3;

    ViewController();
    ~ViewController() override;

    // ---- The view ----
    ns::Ref<View> view() override;
    bool isViewLoaded() const override { return view_ != nullptr; }
    ns::Ref<View> viewIfLoaded() const { return view_; }
    void setView(const ns::Ref<View>& view);
    void loadViewIfNeeded();
    // Makes the root view; see the header comment. Overrides set one with
    // setView and do not call this.
    virtual void loadView();
    virtual void viewDidLoad() {}

    // A nib to load the view from: its builder is given this controller as
    // owner and sets the view.
    void setNibName(std::string name, ns::Ref<ns::Bundle> bundle = nullptr);
    const std::string& nibName() const { return nibName_; }
    const ns::Ref<ns::Bundle>& nibBundle() const { return nibBundle_; }
    // The storyboard this controller was made from, or nil.
    const ns::Ref<Storyboard>& storyboard() const { return storyboard_; }
    // What a storyboard scene uses to build the view and its outlets.
    using ViewBuilder = std::function<ns::Ref<View>(ViewController& owner)>;
    void setSceneViewBuilder(ViewBuilder builder) { sceneViewBuilder_ = std::move(builder); }
    void setStoryboard(ns::Ref<Storyboard> storyboard) { storyboard_ = std::move(storyboard); }

    // ---- Appearance ----
    virtual void viewWillAppear(bool animated) { (void)animated; }
    virtual void viewDidAppear(bool animated) { (void)animated; }
    virtual void viewWillDisappear(bool animated) { (void)animated; }
    virtual void viewDidDisappear(bool animated) { (void)animated; }
    void viewWillLayoutSubviews() override {}
    void viewDidLayoutSubviews() override {}
    void beginAppearanceTransition(bool isAppearing, bool animated) override;
    void endAppearanceTransition() override;
    // Between viewDidAppear and viewWillDisappear.
    bool isVisible() const { return appearance_ == Appearance::Appeared; }
    bool isBeingPresented() const { return beingPresented_; }
    bool isBeingDismissed() const { return beingDismissed_; }
    bool isMovingToParentViewController() const { return movingToParent_; }
    bool isMovingFromParentViewController() const { return movingFromParent_; }

    // ---- Title and items ----
    const ns::Ref<ns::String>& title() const { return title_; }
    // Also the navigation item's title.
    virtual void setTitle(const ns::Ref<ns::String>& title);
    void setTitle(std::string_view title) { setTitle(ns::String::make(std::string(title))); }
    const ns::Ref<NavigationItem>& navigationItem();
    // The nearest navigation controller among this controller's ancestors.
    ns::Ref<NavigationController> navigationController() const;

    // ---- Presentation ----
    void presentViewController(const ns::Ref<ViewController>& controller, bool animated, Completion completion = {});
    // Dismisses what this controller presents, or, when it presents nothing,
    // the presented controller it is or belongs to. The completion runs
    // once the dismissal is over (on the next turn when nothing was to be
    // dismissed).
    void dismissViewController(bool animated, Completion completion = {});
    const ns::Ref<ViewController>& presentedViewController() const { return presented_; }
    // The presenter of this controller or of the presented ancestor it
    // belongs to.
    ns::Ref<ViewController> presentingViewController() const;
    ModalPresentationStyle modalPresentationStyle() const { return modalPresentationStyle_; }
    void setModalPresentationStyle(ModalPresentationStyle style) { modalPresentationStyle_ = style; }
    ModalTransitionStyle modalTransitionStyle() const { return modalTransitionStyle_; }
    void setModalTransitionStyle(ModalTransitionStyle style) { modalTransitionStyle_ = style; }
    bool definesPresentationContext() const { return definesPresentationContext_; }
    void setDefinesPresentationContext(bool on) { definesPresentationContext_ = on; }
    // The style a presentation of this controller uses (Automatic resolved
    // by the screen's system version).
    ModalPresentationStyle effectivePresentationStyle() const;

    // ---- Children ----
    const std::vector<ns::Ref<ViewController>>& childViewControllers() const { return children_; }
    ns::Ref<ViewController> parentViewController() const { return parent_.lock(); }
    // Calls the child's willMoveToParentViewController; the container calls
    // its didMoveToParentViewController when the child is in place.
    void addChildViewController(const ns::Ref<ViewController>& child);
    // Calls didMoveToParentViewController(nullptr); the container calls
    // willMoveToParentViewController(nullptr) before.
    void removeFromParentViewController();
    virtual void willMoveToParentViewController(ViewController* parent) { (void)parent; }
    virtual void didMoveToParentViewController(ViewController* parent) { (void)parent; }

    // ---- Rotation and status bar ----
    virtual bool shouldAutorotate() const { return true; }
    virtual unsigned supportedInterfaceOrientations() const { return InterfaceOrientationMaskAllButUpsideDown; }
    virtual InterfaceOrientation preferredInterfaceOrientationForPresentation() const {
        return InterfaceOrientation::Portrait;
    }
    virtual StatusBarStyle preferredStatusBarStyle() const { return StatusBarStyle::Default; }
    bool prefersStatusBarHidden() const override { return false; }
    // Passes the new size on to the children and the presented controller.
    void viewWillTransitionToSize(cg::Size size) override;

    // ---- Layout settings (data: the views follow their own frames) ----
    unsigned edgesForExtendedLayout() const { return edgesForExtendedLayout_; }
    void setEdgesForExtendedLayout(unsigned edges) { edgesForExtendedLayout_ = edges; }
    bool automaticallyAdjustsScrollViewInsets() const { return adjustsScrollViewInsets_; }
    void setAutomaticallyAdjustsScrollViewInsets(bool on) { adjustsScrollViewInsets_ = on; }
    const cg::EdgeInsets& additionalSafeAreaInsets() const { return additionalSafeAreaInsets_; }
    void setAdditionalSafeAreaInsets(const cg::EdgeInsets& insets) { additionalSafeAreaInsets_ = insets; }
    cg::Size preferredContentSize() const { return preferredContentSize_; }
    void setPreferredContentSize(cg::Size size) { preferredContentSize_ = size; }
    bool hidesBottomBarWhenPushed() const { return hidesBottomBarWhenPushed_; }
    void setHidesBottomBarWhenPushed(bool on) { hidesBottomBarWhenPushed_ = on; }

    // ---- Responders ----
    // The presenter for a presented controller, else the view's superview,
    // else the parent.
    ns::Ref<Responder> nextResponder() const override;

    // ---- For views and containers ----
    void rootViewWillMoveToWindow(Window* newWindow) override;
    void rootViewDidMoveToWindow() override;
    // Runs `operation` now, or after the transition in progress when one is.
    void whenIdle(std::function<void()> operation);
    bool isTransitioning() const { return transitioning_; }
    void setTransitioning(bool on);

protected:
    // Runs `step` TransitionDuration later on the clock when animated, else
    // on the next turn of the main queue.
    static void finishLater(bool animated, std::function<void()> step);

private:
    friend class NavigationController;

    enum class Appearance { Disappeared, Appearing, Appeared, Disappearing };

    struct Placement {
        ns::Weak<View> superview;
        size_t index = 0;
    };

    ns::Ref<ViewController> presentationHost(ModalPresentationStyle style);
    void performPresentation(const ns::Ref<ViewController>& controller, bool animated, Completion completion);
    void performDismissal(bool animated, Completion completion);

    ns::Ref<View> view_;
    bool loading_ = false;
    std::string nibName_;
    ns::Ref<ns::Bundle> nibBundle_;
    ns::Ref<Storyboard> storyboard_;
    ViewBuilder sceneViewBuilder_;

    Appearance appearance_ = Appearance::Disappeared;
    bool appearanceAnimated_ = false;
    bool autoTransition_ = false;
    bool beingPresented_ = false;
    bool beingDismissed_ = false;
    bool movingToParent_ = false;
    bool movingFromParent_ = false;

    ns::Ref<ns::String> title_;
    ns::Ref<NavigationItem> navigationItem_;

    ns::Ref<ViewController> presented_;
    ns::Weak<ViewController> presenting_;
    // Where this controller's view was when a full-screen presentation took
    // it out of the window.
    Placement hiddenPlacement_;
    bool viewHiddenByPresentation_ = false;
    ModalPresentationStyle modalPresentationStyle_ = ModalPresentationStyle::Automatic;
    ModalTransitionStyle modalTransitionStyle_ = ModalTransitionStyle::CoverVertical;
    bool definesPresentationContext_ = false;
    bool transitioning_ = false;
    std::deque<std::function<void()>> waiting_;

    std::vector<ns::Ref<ViewController>> children_;
    ns::Weak<ViewController> parent_;

    unsigned edgesForExtendedLayout_ = RectEdgeAll;
    bool adjustsScrollViewInsets_ = true;
    cg::EdgeInsets additionalSafeAreaInsets_;
    cg::Size preferredContentSize_;
    bool hidesBottomBarWhenPushed_ = false;
};

}  // namespace ui
