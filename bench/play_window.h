#pragma once
// A full-screen key window for benchmarks that play views in it, made the
// app's window through its delegate once the shared state is reset.

#include <memory>

#include "platform/uikit/Application.h"
#include "platform/uikit/StateReset.h"
#include "platform/uikit/Window.h"

namespace bench {

class PlayDelegate : public ui::ApplicationDelegate {
public:
    ns::Ref<ui::Window> window() const override { return window_; }
    ns::Ref<ui::Window> window_;
};

inline std::shared_ptr<PlayDelegate> showPlayWindow() {
    ui::resetSharedStateForTesting();
    auto delegate = std::make_shared<PlayDelegate>();
    delegate->window_ = ui::Window::makeFullScreen();
    ui::Application::sharedApplication()->setDelegate(delegate);
    delegate->window_->makeKeyAndVisible();
    return delegate;
}

}  // namespace bench
