#pragma once
// The application delegate: holds the main window (made from the main
// interface file, not here) and hands the launch, the URL hooks and the
// life-cycle events to the aggregation facade.

#include "platform/foundation/Dictionary.h"
#include "platform/foundation/String.h"
#include "platform/foundation/URL.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Responder.h"
#include "platform/uikit/Window.h"

class AppDelegate : public ui::Responder, public ui::ApplicationDelegate {
    RT_DECLARE_CLASS(AppDelegate)
public:
    // How long the launch holds the main thread before the SDKs hear of it.
    static constexpr double LaunchPauseSeconds = 2.0;

    AppDelegate() = default;

    // The main window: the progress HUD finds its place through this.
    ns::Ref<ui::Window> window() const override { return window_; }
    void setWindow(const ns::Ref<ui::Window>& window) { window_ = window; }

    bool applicationDidFinishLaunching(ui::Application& app, const ns::Ref<ns::Dictionary>& options) override;
    void applicationWillResignActive(ui::Application& app) override;
    void applicationDidEnterBackground(ui::Application& app) override;
    void applicationWillEnterForeground(ui::Application& app) override;
    void applicationDidBecomeActive(ui::Application& app) override;
    void applicationWillTerminate(ui::Application& app) override;
    // The system's one URL hook: the options form below.
    bool applicationOpenURL(ui::Application& app, const ns::Ref<ns::URL>& url,
                            const ns::Ref<ns::Dictionary>& options) override;

    // The three ways an URL reaches the app; each returns the facade's answer.
    bool applicationOpenURLOptions(ui::Application& app, const ns::Ref<ns::URL>& url,
                                   const ns::Ref<ns::Dictionary>& options);
    bool applicationOpenURLSourceApplicationAnnotation(ui::Application& app, const ns::Ref<ns::URL>& url,
                                                       const ns::Ref<ns::String>& sourceApplication,
                                                       const ns::Id& annotation);
    bool applicationHandleOpenURL(ui::Application& app, const ns::Ref<ns::URL>& url);

private:
    ns::Ref<ui::Window> window_;
};
