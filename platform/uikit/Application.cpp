#include "platform/uikit/Application.h"

#include <algorithm>

#include "platform/dispatch/Queue.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/String.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/ViewControllerHost.h"
#include "platform/uikit/Window.h"

namespace ui {

RT_DEFINE_CLASS(Application, Responder, "UIApplication")

// Found by name as the platform's class method, so code that must also run
// without an application (extensions) can ask whether there is one.
static const bool sharedApplicationRegistered = [] {
    Application::staticClass()->addClassMethod("sharedApplication", std::function<ns::Id()>([] {
        return ns::Id(Application::sharedApplication());
    }));
    return true;
}();

const ns::Ref<Application>& Application::sharedApplication() {
    static auto* app = new ns::Ref<Application>(std::make_shared<Application>());
    return *app;
}

ns::Ref<Responder> Application::nextResponder() const {
    return std::dynamic_pointer_cast<Responder>(delegate_);
}

// ---- Windows ----

std::vector<ns::Ref<Window>> Application::windows() const {
    std::vector<ns::Ref<Window>> out;
    for (const auto& w : windows_) {
        if (auto window = w.lock()) out.push_back(window);
    }
    return out;
}

void Application::sortWindows() {
    windows_.erase(std::remove_if(windows_.begin(), windows_.end(), [](const auto& w) { return w.expired(); }),
                   windows_.end());
    std::stable_sort(windows_.begin(), windows_.end(), [](const auto& a, const auto& b) {
        auto wa = a.lock();
        auto wb = b.lock();
        if (wa->windowLevel() != wb->windowLevel()) return wa->windowLevel() < wb->windowLevel();
        return wa->showOrder_ < wb->showOrder_;
    });
}

void Application::windowBecameVisible(Window& window) {
    auto ref = window.ref<Window>();
    window.showOrder_ = ++showCounter_;
    if (std::find(visible_.begin(), visible_.end(), ref) == visible_.end()) visible_.push_back(ref);
    bool known = std::any_of(windows_.begin(), windows_.end(), [&](const auto& w) { return w.lock() == ref; });
    if (!known) windows_.push_back(ref);
    sortWindows();
}

void Application::windowBecameHidden(Window& window) {
    auto ref = window.ref<Window>();
    visible_.erase(std::remove(visible_.begin(), visible_.end(), ref), visible_.end());
    if (keyWindow_.lock() != ref) return;
    // Key status passes to the frontmost visible window of a normal level or
    // above that is left, if any.
    ns::Ref<Window> next;
    auto all = windows();
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
        if (*it != ref && !(*it)->isHidden() && (*it)->windowLevel() >= WindowLevelNormal) {
            next = *it;
            break;
        }
    }
    setKeyWindow(next);
}

void Application::windowLevelChanged(Window&) { sortWindows(); }

void Application::setKeyWindow(const ns::Ref<Window>& window) {
    auto old = keyWindow_.lock();
    if (old == window) return;
    auto center = ns::NotificationCenter::defaultCenter();
    keyWindow_ = window;
    if (old) {
        old->resignKeyWindow();
        center->postNotificationName(WindowDidResignKeyNotification, old);
    }
    if (window) {
        window->becomeKeyWindow();
        center->postNotificationName(WindowDidBecomeKeyNotification, window);
    }
}

void Application::screenDidChange(const cg::Rect& oldScreenBounds) {
    cg::Rect screenBounds = Screen::mainScreen()->bounds();
    for (const auto& window : windows()) {
        if (window->frame() == oldScreenBounds && screenBounds.size != oldScreenBounds.size) {
            if (auto root = window->rootViewController()) root->viewWillTransitionToSize(screenBounds.size);
            window->setFrame(screenBounds);
        }
        window->safeAreaChangedInSubtree();
    }
}

// ---- Status bar ----

InterfaceOrientation Application::statusBarOrientation() const {
    return Screen::mainScreen()->model().orientation;
}

cg::Rect Application::statusBarFrame() const {
    const ScreenModel& model = Screen::mainScreen()->model();
    double height = model.statusBarHeight(statusBarHidden_);
    if (height == 0) return {};
    return {0, 0, model.orientedSize().width, height};
}

void Application::setStatusBarHidden(bool hidden) {
    if (statusBarHidden_ == hidden) return;
    statusBarHidden_ = hidden;
    for (const auto& window : windows()) window->safeAreaChangedInSubtree();
}

// ---- Life cycle ----

void Application::post(const char* name) {
    ns::NotificationCenter::defaultCenter()->postNotificationName(name, sharedApplication());
}

void Application::setState(ApplicationState state) { state_ = state; }

void Application::setNetworkActivityIndicatorVisible(bool visible) {
    if (visible == networkActivityIndicatorVisible_) return;
    networkActivityIndicatorVisible_ = visible;
    ++networkActivityIndicatorChanges_;
}

bool Application::launch(const ns::Ref<ns::Dictionary>& options) {
    if (launched_) return true;
    launched_ = true;
    auto keep = sharedApplication();
    auto delegate = delegate_;
    state_ = ApplicationState::Inactive;
    bool result = true;
    if (delegate) {
        delegate->applicationWillFinishLaunching(*this, options);
        result = delegate->applicationDidFinishLaunching(*this, options);
    }
    post(ApplicationDidFinishLaunchingNotification);
    simulateBecomeActive();
    return result;
}

void Application::simulateBecomeActive() {
    if (state_ == ApplicationState::Active) return;
    setState(ApplicationState::Active);
    if (auto delegate = delegate_) delegate->applicationDidBecomeActive(*this);
    post(ApplicationDidBecomeActiveNotification);
}

void Application::simulateResignActive() {
    if (state_ != ApplicationState::Active) return;
    if (auto delegate = delegate_) delegate->applicationWillResignActive(*this);
    post(ApplicationWillResignActiveNotification);
    setState(ApplicationState::Inactive);
}

void Application::receiveMemoryWarning() { post(ApplicationDidReceiveMemoryWarningNotification); }

void Application::simulateEnterBackground() {
    if (state_ == ApplicationState::Background) return;
    simulateResignActive();
    setState(ApplicationState::Background);
    if (auto delegate = delegate_) delegate->applicationDidEnterBackground(*this);
    post(ApplicationDidEnterBackgroundNotification);
}

void Application::simulateEnterForeground() {
    if (state_ != ApplicationState::Background) return;
    if (auto delegate = delegate_) delegate->applicationWillEnterForeground(*this);
    post(ApplicationWillEnterForegroundNotification);
    setState(ApplicationState::Inactive);
    simulateBecomeActive();
}

void Application::simulateTerminate() {
    if (auto delegate = delegate_) delegate->applicationWillTerminate(*this);
    post(ApplicationWillTerminateNotification);
}

bool Application::simulateOpenURL(const ns::Ref<ns::URL>& url, const ns::Ref<ns::Dictionary>& options) {
    auto delegate = delegate_;
    if (!delegate || !url) return false;
    return delegate->applicationOpenURL(*this, url, options ? options : ns::Dictionary::make({}));
}

// ---- URLs ----

bool Application::canOpenURL(const ns::Ref<ns::URL>& url) const {
    if (!url) return false;
    auto scheme = url->scheme();
    if (!scheme) return false;
    std::string s = scheme->lowercaseString()->utf8();
    if (s == "http" || s == "https") return true;
    return installedSchemes_.count(s) != 0;
}

void Application::openURL(const ns::Ref<ns::URL>& url, const ns::Ref<ns::Dictionary>&,
                          std::function<void(bool success)> completion) {
    if (url) openedURLs_.push_back(url);
    bool success = canOpenURL(url);
    if (completion) {
        dispatch::mainQueue()->async([completion = std::move(completion), success] { completion(success); });
    }
}

void Application::resetForTesting() {
    for (const auto& window : windows()) {
        if (!window->isHidden()) window->setHidden(true);
    }
    windows_.clear();
    visible_.clear();
    keyWindow_.reset();
    delegate_.reset();
    statusBarHidden_ = false;
    networkActivityIndicatorVisible_ = false;
    networkActivityIndicatorChanges_ = 0;
    launched_ = false;
    state_ = ApplicationState::Inactive;
    installedSchemes_.clear();
    openedURLs_.clear();
    std::lock_guard hold(backgroundTasksLock_);
    backgroundTasks_.clear();
}

// ---- Background tasks ----

BackgroundTaskIdentifier Application::beginBackgroundTaskWithExpirationHandler(std::function<void()> handler) {
    std::lock_guard hold(backgroundTasksLock_);
    const BackgroundTaskIdentifier identifier = ++lastBackgroundTask_;
    backgroundTasks_.emplace(identifier, std::move(handler));
    return identifier;
}

void Application::endBackgroundTask(BackgroundTaskIdentifier identifier) {
    std::lock_guard hold(backgroundTasksLock_);
    backgroundTasks_.erase(identifier);
}

size_t Application::backgroundTaskCount() const {
    std::lock_guard hold(backgroundTasksLock_);
    return backgroundTasks_.size();
}

void Application::expireBackgroundTasksForTesting() {
    std::vector<std::function<void()>> handlers;
    {
        std::lock_guard hold(backgroundTasksLock_);
        for (const auto& [identifier, handler] : backgroundTasks_) handlers.push_back(handler);
    }
    // Outside the lock: a handler usually ends its own task.
    for (const auto& handler : handlers) {
        if (handler) handler();
    }
}

// ---- Main ----

int applicationMain(const std::function<std::shared_ptr<ApplicationDelegate>()>& delegateFactory,
                    const ns::Ref<ns::Dictionary>& launchOptions) {
    auto app = Application::sharedApplication();
    if (delegateFactory) app->setDelegate(delegateFactory());
    app->launch(launchOptions);
    dispatch::RunLoop::main().run();
    return 0;
}

}  // namespace ui
