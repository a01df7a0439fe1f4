#pragma once
// The system's part of starting the app that the platform's
// applicationMain leaves to the program: the delegate made from its class
// name, the main interface file (Info.plist's "UIMainStoryboardFile")
// instantiated into a full-screen window that the delegate holds as its
// "window", and that window made key and visible once launching is over,
// before the app becomes active.

#include <memory>
#include <string_view>

#include "platform/uikit/Application.h"
#include "platform/uikit/Window.h"

namespace shell {

inline constexpr const char* MainStoryboardInfoKey = "UIMainStoryboardFile";

// The registered delegate class of that name with the main interface
// loaded into it; nil when no such class adopts the delegate hooks.
std::shared_ptr<ui::ApplicationDelegate> makeApplicationDelegate(std::string_view className);

// Makes the main interface's window for `delegate` and shows it when the
// application has finished launching. Nil (and nothing shown) when the main
// bundle names no main storyboard.
ns::Ref<ui::Window> loadMainInterface(const ns::Id& delegate);

// main(): runs the application with the named delegate class until the run
// loop stops, and answers what the run loop answers.
int runApplication(std::string_view delegateClassName);

}  // namespace shell
