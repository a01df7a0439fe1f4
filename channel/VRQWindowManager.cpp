#include "channel/VRQWindowManager.h"

#include "platform/uikit/Application.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/StateReset.h"
#include "platform/uikit/ViewController.h"

RT_DEFINE_CLASS(VRQWindowManager, ns::Object, "VRQWindowManager")

const ns::Ref<VRQWindowManager>& VRQWindowManager::shared() {
    static auto* manager = new ns::Ref<VRQWindowManager>(std::make_shared<VRQWindowManager>());
    return *manager;
}

namespace {
// Tests start each case with no registered windows.
[[maybe_unused]] const bool resetHooked =
    (ui::addSharedStateResetHook([] { VRQWindowManager::shared()->windowDic().clear(); }), true);
}  // namespace

ns::Ref<ui::Window> VRQWindowManager::topWindow() {
    auto application = ui::Application::sharedApplication();
    cg::Rect screen = ui::Screen::mainScreen()->bounds();
    auto windows = application->windows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        const auto& window = *it;
        if (!window->isHidden() && window->isOpaque() && window->bounds() == screen) return window;
    }
    return application->keyWindow();
}

ns::Ref<ui::Window> VRQWindowManager::windowForKey(std::string_view key) {
    auto& windows = shared()->windowDic_;
    auto found = windows.find(key);
    return found == windows.end() ? nullptr : found->second;
}

void VRQWindowManager::saveWindow(const ns::Ref<ui::Window>& window, std::string_view key) {
    auto& windows = shared()->windowDic_;
    if (!window) {
        if (auto found = windows.find(key); found != windows.end()) windows.erase(found);
        return;
    }
    windows.insert_or_assign(std::string(key), window);
}

void VRQWindowManager::hideWindowForKey(std::string_view key) {
    if (auto window = windowForKey(key)) window->setHidden(true);
}

void VRQWindowManager::showWindowForKey(std::string_view key) {
    if (auto window = windowForKey(key)) window->setHidden(false);
}

void VRQWindowManager::destroyWindowForKey(std::string_view key) {
    auto& windows = shared()->windowDic_;
    auto found = windows.find(key);
    if (found == windows.end()) return;
    auto window = found->second;
    window->setHidden(true);
    if (auto root = ns::cast<ui::ViewController>(window->rootViewController()))
        if (root->presentedViewController()) root->dismissViewController(false);
    window->setRootViewController(nullptr);
    windows.erase(found);
}
