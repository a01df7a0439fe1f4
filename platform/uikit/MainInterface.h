#pragma once
// Starting an app from its delegate's class name, as the system does: the
// delegate made from its class name, the main interface file (Info.plist's "UIMainStoryboardFile")
// instantiated into a full-screen window that the delegate holds as its
// "window", and that window made key and visible once launching is over,
// before the app becomes active.

#include <memory>
#include <string_view>

#include "platform/uikit/Application.h"
#include "platform/uikit/Window.h"

namespace ui {

inline constexpr const char* MainStoryboardInfoKey = "UIMainStoryboardFile";

// The registered delegate class of that name with the main interface
// loaded into it; nil when no such class adopts the delegate hooks.
std::shared_ptr<ApplicationDelegate> makeApplicationDelegate(std::string_view className);

// Makes the main interface's window for `delegate` and shows it when the
// application has finished launching. Nil (and nothing shown) when the main
// bundle names no main storyboard.
ns::Ref<Window> loadMainInterface(const ns::Id& delegate);

// Runs the application with the named delegate class (and its main
// interface) until the run loop stops; answers what the run loop answers.
int applicationMain(std::string_view delegateClassName);

}  // namespace ui
