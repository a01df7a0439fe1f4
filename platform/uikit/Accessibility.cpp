#include "platform/uikit/Accessibility.h"

namespace ui {

AccessibilityRecorder& AccessibilityRecorder::shared() {
    static AccessibilityRecorder* recorder = new AccessibilityRecorder;
    return *recorder;
}

void accessibilityPostNotification(uint32_t notification, ns::Id argument) {
    AccessibilityRecorder::shared().record({notification, std::move(argument)});
}

}  // namespace ui
