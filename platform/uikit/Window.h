#pragma once
// Windows: the roots of view trees, placed in screen coordinates, stacked by
// level. A window starts hidden; showing it registers it with the
// application (which keeps visible windows alive), hiding it takes it out
// of the visible list and passes key status on to the frontmost visible
// window of a normal or higher level that is left.
//
// The root view controller's view fills the window (flexible width and
// height) while the window is visible, with the controller's appearance
// callbacks around it.
//
// Main thread only.

#include "platform/uikit/PlatformMetrics.h"
#include "platform/uikit/View.h"

namespace ui {

class Application;
class Event;
class Screen;
class ViewControllerBase;

inline constexpr const char* WindowDidBecomeVisibleNotification = "UIWindowDidBecomeVisibleNotification";
inline constexpr const char* WindowDidBecomeHiddenNotification = "UIWindowDidBecomeHiddenNotification";
inline constexpr const char* WindowDidBecomeKeyNotification = "UIWindowDidBecomeKeyNotification";
inline constexpr const char* WindowDidResignKeyNotification = "UIWindowDidResignKeyNotification";

class Window : public View {
    RT_DECLARE_CLASS(Window)
public:
    Window();
    explicit Window(const cg::Rect& frame);
    ~Window() override;
    static ns::Ref<Window> make(const cg::Rect& frame);
    // A window the size of the main screen.
    static ns::Ref<Window> makeFullScreen();

    double windowLevel() const { return windowLevel_; }
    void setWindowLevel(double level);

    const ns::Ref<ViewControllerBase>& rootViewController() const { return rootViewController_; }
    void setRootViewController(const ns::Ref<ViewControllerBase>& controller);

    void makeKeyAndVisible();
    void makeKey();
    bool isKeyWindow() const;
    // Hooks run when key status arrives or leaves.
    virtual void becomeKeyWindow() {}
    virtual void resignKeyWindow() {}

    void setHidden(bool hidden) override;
    ns::Ref<Screen> screen() const;

    // Delivers the event's touches: to the gesture recognizers of the view
    // each touch began on and its ancestors, then to that view unless a
    // recognizer took the touch.
    virtual void sendEvent(Event& event);

    // The screen's safe-area insets where they overlap this window.
    cg::EdgeInsets windowSafeAreaInsets() const;

    // The application.
    ns::Ref<Responder> nextResponder() const override;
    bool isWindow() const override { return true; }

private:
    friend class Application;

    void installRootView();
    void uninstallRootView();

    double windowLevel_ = WindowLevelNormal;
    ns::Ref<ViewControllerBase> rootViewController_;
    bool rootInstalled_ = false;
    uint64_t showOrder_ = 0;  // set by the application each time it is shown
};

}  // namespace ui
