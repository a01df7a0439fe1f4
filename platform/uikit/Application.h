#pragma once
// The application object: its delegate, its windows (back to front by
// level, then by the order they were shown), the key window, the status
// bar, the life-cycle states with the platform's notifications, and URL
// opening with a recorder.
//
// Nothing drives the life cycle from outside here, so the simulate* calls
// (and launch) play the system's part: each calls the delegate's hook and
// posts the platform's notification, in the platform's order.
//
// Main thread only.

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/foundation/Dictionary.h"
#include "platform/foundation/URL.h"
#include "platform/graphics/Geometry.h"
#include "platform/uikit/Responder.h"
#include "platform/uikit/ScreenModel.h"

namespace ui {

class Application;
class Window;

inline constexpr const char* ApplicationDidFinishLaunchingNotification = "UIApplicationDidFinishLaunchingNotification";
inline constexpr const char* ApplicationDidBecomeActiveNotification = "UIApplicationDidBecomeActiveNotification";
inline constexpr const char* ApplicationWillResignActiveNotification = "UIApplicationWillResignActiveNotification";
inline constexpr const char* ApplicationDidEnterBackgroundNotification = "UIApplicationDidEnterBackgroundNotification";
inline constexpr const char* ApplicationWillEnterForegroundNotification =
    "UIApplicationWillEnterForegroundNotification";
inline constexpr const char* ApplicationWillTerminateNotification = "UIApplicationWillTerminateNotification";
inline constexpr const char* ApplicationDidReceiveMemoryWarningNotification =
    "UIApplicationDidReceiveMemoryWarningNotification";

// Keys of the launch options and of the open-URL options.
inline constexpr const char* ApplicationLaunchOptionsURLKey = "UIApplicationLaunchOptionsURLKey";
inline constexpr const char* ApplicationLaunchOptionsSourceApplicationKey =
    "UIApplicationLaunchOptionsSourceApplicationKey";
inline constexpr const char* ApplicationOpenURLOptionsSourceApplicationKey =
    "UIApplicationOpenURLOptionsSourceApplicationKey";
inline constexpr const char* ApplicationOpenURLOptionsAnnotationKey = "UIApplicationOpenURLOptionsAnnotationKey";
inline constexpr const char* ApplicationOpenURLOptionUniversalLinksOnly = "UIApplicationOpenURLOptionUniversalLinksOnly";

enum class ApplicationState { Active = 0, Inactive = 1, Background = 2 };

// A background task's identifier; BackgroundTaskInvalid is none.
using BackgroundTaskIdentifier = uint64_t;
inline constexpr BackgroundTaskIdentifier BackgroundTaskInvalid = 0;

// The application delegate's hooks, with the platform's defaults.
class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;

    virtual bool applicationWillFinishLaunching(Application& app, const ns::Ref<ns::Dictionary>& options) {
        (void)app;
        (void)options;
        return true;
    }
    virtual bool applicationDidFinishLaunching(Application& app, const ns::Ref<ns::Dictionary>& options) {
        (void)app;
        (void)options;
        return true;
    }
    virtual void applicationDidBecomeActive(Application& app) { (void)app; }
    virtual void applicationWillResignActive(Application& app) { (void)app; }
    virtual void applicationDidEnterBackground(Application& app) { (void)app; }
    virtual void applicationWillEnterForeground(Application& app) { (void)app; }
    virtual void applicationWillTerminate(Application& app) { (void)app; }
    // An URL handed to the app; false: not handled.
    virtual bool applicationOpenURL(Application& app, const ns::Ref<ns::URL>& url,
                                    const ns::Ref<ns::Dictionary>& options) {
        (void)app;
        (void)url;
        (void)options;
        return false;
    }
    // The application's main window, where the delegate has one.
    virtual ns::Ref<Window> window() const { return nullptr; }
};

class Application : public Responder {
    RT_DECLARE_CLASS(Application)
public:
    Application() = default;
    static const ns::Ref<Application>& sharedApplication();

    const std::shared_ptr<ApplicationDelegate>& delegate() const { return delegate_; }
    void setDelegate(std::shared_ptr<ApplicationDelegate> delegate) { delegate_ = std::move(delegate); }
    // The delegate, when it is a responder too.
    ns::Ref<Responder> nextResponder() const override;

    // ---- Windows ----
    // Visible windows and hidden ones still alive, back to front.
    std::vector<ns::Ref<Window>> windows() const;
    ns::Ref<Window> keyWindow() const { return keyWindow_.lock(); }

    // ---- Status bar ----
    InterfaceOrientation statusBarOrientation() const;
    cg::Rect statusBarFrame() const;
    bool isStatusBarHidden() const { return statusBarHidden_; }
    // Changes the safe area of screens without a notch.
    void setStatusBarHidden(bool hidden);
    // The status bar's spinning network-activity sign (main thread).
    bool isNetworkActivityIndicatorVisible() const { return networkActivityIndicatorVisible_; }
    void setNetworkActivityIndicatorVisible(bool visible);
    // How many times the sign was shown or hidden since the last reset.
    uint64_t networkActivityIndicatorChangesForTesting() const { return networkActivityIndicatorChanges_; }

    // ---- Life cycle ----
    ApplicationState applicationState() const { return state_; }
    // Will- and did-finish-launching with the options, the launch
    // notification, then becoming active. Returns what the did-finish hook
    // answered. Once per application.
    bool launch(const ns::Ref<ns::Dictionary>& options = nullptr);
    void simulateResignActive();
    void simulateBecomeActive();
    // Resigns active first when needed.
    void simulateEnterBackground();
    // Then becomes active.
    void simulateEnterForeground();
    void simulateTerminate();
    // Memory runs short (main thread): the memory-warning notification.
    void receiveMemoryWarning();
    // An URL arriving from another app: the delegate's open-URL hook.
    bool simulateOpenURL(const ns::Ref<ns::URL>& url, const ns::Ref<ns::Dictionary>& options = nullptr);

    // ---- Background tasks (any thread) ----
    // Work the app asks to finish after it leaves the foreground. The handler
    // runs if the system's time for it runs out first (here: when a test
    // expires the tasks); the task must still be ended.
    BackgroundTaskIdentifier beginBackgroundTaskWithExpirationHandler(std::function<void()> handler);
    // Unknown or already ended identifiers are ignored.
    void endBackgroundTask(BackgroundTaskIdentifier identifier);
    size_t backgroundTaskCount() const;
    // Plays the system running out of background time: every open task's
    // handler, on the calling thread, in the order the tasks began.
    void expireBackgroundTasksForTesting();

    // ---- Opening URLs ----
    // Schemes of the apps that are installed (answer canOpenURL); "http" and
    // "https" always open.
    void setInstalledSchemes(std::set<std::string> schemes) { installedSchemes_ = std::move(schemes); }
    void addInstalledScheme(std::string scheme) { installedSchemes_.insert(std::move(scheme)); }
    bool canOpenURL(const ns::Ref<ns::URL>& url) const;
    // Records the URL; the completion (if any) hears on the next turn of the
    // main queue whether it opened.
    void openURL(const ns::Ref<ns::URL>& url, const ns::Ref<ns::Dictionary>& options = nullptr,
                 std::function<void(bool success)> completion = {});
    const std::vector<ns::Ref<ns::URL>>& openedURLs() const { return openedURLs_; }
    void clearOpenedURLs() { openedURLs_.clear(); }

    // ---- For windows and the screen ----
    void windowBecameVisible(Window& window);
    void windowBecameHidden(Window& window);
    void windowLevelChanged(Window& window);
    void setKeyWindow(const ns::Ref<Window>& window);
    void screenDidChange(const cg::Rect& oldScreenBounds);

    // Back to a fresh, unlaunched application without delegate or windows.
    void resetForTesting();

private:
    void setState(ApplicationState state);
    void sortWindows();
    void post(const char* name);

    std::shared_ptr<ApplicationDelegate> delegate_;
    // Every window ever shown and still alive; `visible_` keeps the shown
    // ones alive, as the system does.
    std::vector<ns::Weak<Window>> windows_;
    std::vector<ns::Ref<Window>> visible_;
    ns::Weak<Window> keyWindow_;
    uint64_t showCounter_ = 0;
    bool statusBarHidden_ = false;
    bool networkActivityIndicatorVisible_ = false;
    uint64_t networkActivityIndicatorChanges_ = 0;
    bool launched_ = false;
    ApplicationState state_ = ApplicationState::Inactive;
    std::set<std::string> installedSchemes_;
    mutable std::mutex backgroundTasksLock_;
    std::map<BackgroundTaskIdentifier, std::function<void()>> backgroundTasks_;
    BackgroundTaskIdentifier lastBackgroundTask_ = BackgroundTaskInvalid;
    std::vector<ns::Ref<ns::URL>> openedURLs_;
};

// Runs the application: makes the delegate, launches, then runs the main
// run loop until it is stopped. Returns 0.
int applicationMain(const std::function<std::shared_ptr<ApplicationDelegate>()>& delegateFactory,
                    const ns::Ref<ns::Dictionary>& launchOptions = nullptr);

}  // namespace ui
