#pragma once
// The main screen, described by the settable screen model. Changing the
// model's orientation posts the platform's status-bar orientation
// notifications (will and did, with the old orientation under
// "UIApplicationStatusBarOrientationUserInfoKey") and the device orientation
// notification; windows that covered the old screen bounds are resized to
// the new ones, and every view in a window hears of the safe-area change.

#include "platform/graphics/Geometry.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/ScreenModel.h"

namespace ui {

inline constexpr const char* ApplicationWillChangeStatusBarOrientationNotification =
    "UIApplicationWillChangeStatusBarOrientationNotification";
inline constexpr const char* ApplicationDidChangeStatusBarOrientationNotification =
    "UIApplicationDidChangeStatusBarOrientationNotification";
inline constexpr const char* ApplicationStatusBarOrientationUserInfoKey =
    "UIApplicationStatusBarOrientationUserInfoKey";
inline constexpr const char* DeviceOrientationDidChangeNotification = "UIDeviceOrientationDidChangeNotification";

class Screen : public ns::Object {
    RT_DECLARE_CLASS(Screen)
public:
    Screen() = default;
    static const ns::Ref<Screen>& mainScreen();

    // In points, oriented: origin zero, width and height swap in landscape.
    cg::Rect bounds() const;
    // In pixels, always upright.
    cg::Rect nativeBounds() const;
    double scale() const { return model_.scale; }
    double nativeScale() const { return model_.nativeScale; }

    const ScreenModel& model() const { return model_; }
    void setModel(const ScreenModel& model);
    void setOrientation(InterfaceOrientation orientation) { setModel(model_.inOrientation(orientation)); }

private:
    ScreenModel model_;
};

}  // namespace ui
