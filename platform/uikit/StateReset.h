#pragma once
// Puts the process-wide view-layer state back as a fresh process has it, so
// tests do not see each other's windows: the application (no delegate, no
// windows, not launched), the default screen model, no first responder, no
// keyboard, empty recorders, appearance proxies and pasteboard, animations
// enabled, pass counters at zero. Other layers built on this one add their
// own state with addSharedStateResetHook.

#include <functional>

namespace ui {

void resetSharedStateForTesting();
void addSharedStateResetHook(std::function<void()> hook);

}  // namespace ui
