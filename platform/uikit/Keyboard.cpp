#include "platform/uikit/Keyboard.h"

#include "platform/foundation/Dictionary.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Number.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/Window.h"

namespace ui {

namespace {

// The platform's keyboard window and its input views, named as the
// platform names them so that code probing for them finds them.
class RemoteKeyboardWindow : public Window {
    RT_DECLARE_CLASS(RemoteKeyboardWindow)
public:
    using Window::Window;

    // Only the keyboard itself takes touches; the rest of the screen stays
    // with the windows below, as on the platform.
    ns::Ref<View> hitTest(cg::Point point, Event* event) override {
        auto hit = Window::hitTest(point, event);
        if (!hit || hit.get() == this) return nullptr;
        if (!subviews().empty() && hit == subviews().front()) return nullptr;
        return hit;
    }
};

class InputSetContainerView : public View {
    RT_DECLARE_CLASS(InputSetContainerView)
public:
    using View::View;
};

class InputSetHostView : public View {
    RT_DECLARE_CLASS(InputSetHostView)
public:
    using View::View;
};

// Above alerts and every window the system makes.
constexpr double KeyboardWindowLevel = 10000000;

struct State {
    bool visible = false;
    double height = 0;
    ns::Ref<Window> window;
    ns::Ref<View> host;
};

State& state() {
    static State* s = new State;
    return *s;
}

cg::Rect shownFrame(double height) {
    cg::Rect screen = Screen::mainScreen()->bounds();
    return {0, screen.height() - height, screen.width(), height};
}

cg::Rect hiddenFrame(double height) {
    cg::Rect screen = Screen::mainScreen()->bounds();
    return {0, screen.height(), screen.width(), height};
}

void post(const char* name, const cg::Rect& begin, const cg::Rect& end, double duration) {
    auto info = ns::Dictionary::make({
        {KeyboardFrameBeginUserInfoKey, valueWithRect(begin)},
        {KeyboardFrameEndUserInfoKey, valueWithRect(end)},
        {KeyboardAnimationDurationUserInfoKey, ns::Number::withDouble(duration)},
        {KeyboardAnimationCurveUserInfoKey, ns::Number::withLongLong(Keyboard::AnimationCurve)},
        {KeyboardIsLocalUserInfoKey, ns::Number::True()},
    });
    ns::NotificationCenter::defaultCenter()->postNotificationName(name, nullptr, info);
}

}  // namespace

RT_DEFINE_CLASS(RemoteKeyboardWindow, Window, "UIRemoteKeyboardWindow")
RT_DEFINE_CLASS(InputSetContainerView, View, "UIInputSetContainerView")
RT_DEFINE_CLASS(InputSetHostView, View, "UIInputSetHostView")

void Keyboard::simulateShow(double height, double duration) {
    State& s = state();
    if (height <= 0) height = Screen::mainScreen()->model().keyboardHeight();
    if (s.visible && s.height == height) return;
    cg::Rect begin = s.visible ? shownFrame(s.height) : hiddenFrame(height);
    cg::Rect end = shownFrame(height);
    bool wasVisible = s.visible;
    if (!wasVisible) post(KeyboardWillShowNotification, begin, end, duration);
    post(KeyboardWillChangeFrameNotification, begin, end, duration);
    s.visible = true;
    s.height = height;
    if (!s.window) {
        s.window = std::make_shared<RemoteKeyboardWindow>(Screen::mainScreen()->bounds());
        s.window->setWindowLevel(KeyboardWindowLevel);
        auto container = std::make_shared<InputSetContainerView>(s.window->bounds());
        s.window->addSubview(container);
        s.host = std::make_shared<InputSetHostView>(end);
        container->addSubview(s.host);
    }
    s.window->setFrame(Screen::mainScreen()->bounds());
    if (!s.window->subviews().empty()) s.window->subviews().front()->setFrame(s.window->bounds());
    s.host->setFrame(end);
    s.window->setHidden(false);
    if (!wasVisible) post(KeyboardDidShowNotification, begin, end, duration);
    post(KeyboardDidChangeFrameNotification, begin, end, duration);
}

void Keyboard::simulateHide(double duration) {
    State& s = state();
    if (!s.visible) return;
    cg::Rect begin = shownFrame(s.height);
    cg::Rect end = hiddenFrame(s.height);
    post(KeyboardWillHideNotification, begin, end, duration);
    post(KeyboardWillChangeFrameNotification, begin, end, duration);
    s.visible = false;
    // The host view goes below the screen with the keyboard, as on the device.
    if (s.host) s.host->setFrame(end);
    if (s.window) s.window->setHidden(true);
    post(KeyboardDidHideNotification, begin, end, duration);
    post(KeyboardDidChangeFrameNotification, begin, end, duration);
}

bool Keyboard::isVisible() { return state().visible; }

cg::Rect Keyboard::frame() {
    State& s = state();
    return s.visible ? shownFrame(s.height) : hiddenFrame(s.height);
}

ns::Ref<Window> Keyboard::keyboardWindow() { return state().window; }

void Keyboard::reset() {
    State& s = state();
    s.visible = false;
    s.height = 0;
    if (s.window) s.window->setHidden(true);
    s.window.reset();
    s.host.reset();
}

}  // namespace ui
