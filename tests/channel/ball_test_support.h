#pragma once
// The floating ball as every test sees it: its window, and whether that
// window is on screen. Whether it should be is the ball's rule to say
// (VRQHelperBtn::shows); these read what the rule did.

#include "channel/VRQWindowManager.h"
#include "channel/usercenter/VRQHelperBtn.h"
#include "platform/uikit/Window.h"

inline ns::Ref<ui::Window> ballWindow() { return VRQWindowManager::windowForKey(VRQHelperBtn::shared()->md5Key()); }

inline bool ballShown() {
    auto window = ballWindow();
    return window && !window->isHidden();
}
