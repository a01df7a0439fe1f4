#include "channel/VRQTopPresenter.h"

#include "channel/VRQWindowManager.h"
#include "platform/uikit/Window.h"

namespace VRQTopPresenter {

ns::Ref<ui::ViewController> presenterAbove(ns::Ref<ui::ViewController> root) {
    auto presenter = std::move(root);
    while (presenter && presenter->presentedViewController() &&
           !presenter->presentedViewController()->isBeingDismissed())
        presenter = presenter->presentedViewController();
    auto view = presenter ? presenter->viewIfLoaded() : nullptr;
    auto window = view ? view->window() : nullptr;
    return window && !window->isHidden() ? presenter : nullptr;
}

ns::Ref<ui::ViewController> presenterOverTopWindow() {
    auto top = VRQWindowManager::topWindow();
    return presenterAbove(top ? ns::cast<ui::ViewController>(top->rootViewController()) : nullptr);
}

}  // namespace VRQTopPresenter
