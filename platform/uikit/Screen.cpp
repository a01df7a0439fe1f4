#include "platform/uikit/Screen.h"

#include "platform/foundation/Dictionary.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Number.h"
#include "platform/uikit/Application.h"

namespace ui {

RT_DEFINE_CLASS(Screen, ns::Object, "UIScreen")

const ns::Ref<Screen>& Screen::mainScreen() {
    static auto* screen = new ns::Ref<Screen>(std::make_shared<Screen>());
    return *screen;
}

cg::Rect Screen::bounds() const { return {{0, 0}, model_.orientedSize()}; }

cg::Rect Screen::nativeBounds() const {
    return {0, 0, model_.portraitSize.width * model_.nativeScale, model_.portraitSize.height * model_.nativeScale};
}

void Screen::setModel(const ScreenModel& model) {
    if (model == model_) return;
    cg::Rect oldBounds = bounds();
    InterfaceOrientation oldOrientation = model_.orientation;
    bool rotated = model.orientation != oldOrientation;
    auto center = ns::NotificationCenter::defaultCenter();
    auto app = Application::sharedApplication();
    ns::Ref<ns::Dictionary> info;
    if (rotated) {
        info = ns::Dictionary::make(
            {{ApplicationStatusBarOrientationUserInfoKey, ns::Number::withLongLong(int64_t(oldOrientation))}});
        center->postNotificationName(ApplicationWillChangeStatusBarOrientationNotification, app, info);
    }
    model_ = model;
    app->screenDidChange(oldBounds);
    if (rotated) {
        center->postNotificationName(ApplicationDidChangeStatusBarOrientationNotification, app, info);
        center->postNotificationName(DeviceOrientationDidChangeNotification, nullptr);
    }
}

}  // namespace ui
