#include "platform/uikit/StateReset.h"

#include <vector>

#include "platform/uikit/Accessibility.h"
#include "platform/uikit/AnimationRecorder.h"
#include "platform/uikit/Appearance.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/FeedbackGenerator.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/Pasteboard.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/UpdateCycle.h"
#include "platform/uikit/View.h"

namespace ui {

namespace {

std::vector<std::function<void()>>& hooks() {
    static auto* list = new std::vector<std::function<void()>>;
    return *list;
}

// Responder's setter is protected; this is the one place outside the chain
// that may clear it.
struct FirstResponderReset : Responder {
    static void clear() { setFirstResponder(nullptr); }
};

}  // namespace

void addSharedStateResetHook(std::function<void()> hook) { hooks().push_back(std::move(hook)); }

void resetSharedStateForTesting() {
    for (auto& hook : hooks()) hook();
    Keyboard::reset();
    Application::sharedApplication()->resetForTesting();
    Screen::mainScreen()->setModel(ScreenModel::notchedPhone());
    FirstResponderReset::clear();
    View::setAnimationsEnabled(true);
    AnimationRecorder::shared().clear();
    FeedbackRecorder::shared().clear();
    AccessibilityRecorder::shared().clear();
    AppearanceRegistry::reset();
    Pasteboard::generalPasteboard()->setString(std::nullopt);
    UpdateCycle::resetCounts();
}

}  // namespace ui
