#pragma once
// The registry of the channel SDK's extra windows (the floating ball's, for
// one) by string key, and the rule for the window its toasts and pages show
// on. Main thread only, like all window code.

#include <map>
#include <string>
#include <string_view>

#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"
#include "platform/uikit/Window.h"

class VRQWindowManager : public ns::Object {
    RT_DECLARE_CLASS(VRQWindowManager)
public:
    static const ns::Ref<VRQWindowManager>& shared();

    // Owned here: a registered window lives until it is destroyed.
    std::map<std::string, ns::Ref<ui::Window>, std::less<>>& windowDic() { return windowDic_; }

    // The front-most window (searching from the last) that is visible, opaque
    // and exactly as large as the main screen, else the key window.
    static ns::Ref<ui::Window> topWindow();
    static ns::Ref<ui::Window> windowForKey(std::string_view key);
    // Replaces any window under the key.
    static void saveWindow(const ns::Ref<ui::Window>& window, std::string_view key);
    static void hideWindowForKey(std::string_view key);
    static void showWindowForKey(std::string_view key);
    // Hides the window, dismisses what its root presents (without
    // animation), clears the root and lets the window go.
    static void destroyWindowForKey(std::string_view key);

private:
    std::map<std::string, ns::Ref<ui::Window>, std::less<>> windowDic_;
};
