#pragma once
// The on-screen keyboard, as far as the rest of the system can see it: the
// platform's keyboard notifications and a keyboard window. Nothing types
// here, so tests show and hide the keyboard through the simulate calls,
// which post the notifications in the platform's order (will-show or
// will-hide, will-change-frame, then the did pair) with the frames (boxed
// rects in screen coordinates), duration and curve in the user info.
//
// While shown, the keyboard lives in a window of its own class
// ("UIRemoteKeyboardWindow", above every other level) holding an
// "UIInputSetContainerView" with an "UIInputSetHostView" of the keyboard's
// frame, as the platform's keyboard window does.

#include "platform/graphics/Geometry.h"
#include "platform/runtime/Object.h"

namespace ui {

class Window;

inline constexpr const char* KeyboardWillShowNotification = "UIKeyboardWillShowNotification";
inline constexpr const char* KeyboardDidShowNotification = "UIKeyboardDidShowNotification";
inline constexpr const char* KeyboardWillHideNotification = "UIKeyboardWillHideNotification";
inline constexpr const char* KeyboardDidHideNotification = "UIKeyboardDidHideNotification";
inline constexpr const char* KeyboardWillChangeFrameNotification = "UIKeyboardWillChangeFrameNotification";
inline constexpr const char* KeyboardDidChangeFrameNotification = "UIKeyboardDidChangeFrameNotification";

inline constexpr const char* KeyboardFrameBeginUserInfoKey = "UIKeyboardFrameBeginUserInfoKey";
inline constexpr const char* KeyboardFrameEndUserInfoKey = "UIKeyboardFrameEndUserInfoKey";
inline constexpr const char* KeyboardAnimationDurationUserInfoKey = "UIKeyboardAnimationDurationUserInfoKey";
inline constexpr const char* KeyboardAnimationCurveUserInfoKey = "UIKeyboardAnimationCurveUserInfoKey";
inline constexpr const char* KeyboardIsLocalUserInfoKey = "UIKeyboardIsLocalUserInfoKey";

class Keyboard {
public:
    // The keyboard's duration and curve (7, the platform's keyboard curve).
    static constexpr double AnimationDuration = 0.25;
    static constexpr int AnimationCurve = 7;

    // Shows a keyboard of `height` points (0: the screen model's keyboard
    // height) at the bottom of the screen. Nothing when it is already shown
    // at that height.
    static void simulateShow(double height = 0, double duration = AnimationDuration);
    static void simulateHide(double duration = AnimationDuration);

    static bool isVisible();
    // In screen coordinates; off screen below the bottom edge when hidden.
    static cg::Rect frame();
    static ns::Ref<Window> keyboardWindow();

    static void reset();
};

}  // namespace ui
