#include <string>
#include <vector>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/URL.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Device.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/Window.h"
#include "ui_test_support.h"

namespace {

// Notes every notification of the given names, in order.
class NotificationLog {
public:
    explicit NotificationLog(std::vector<std::string> names) {
        auto center = ns::NotificationCenter::defaultCenter();
        for (const auto& name : names) {
            center->addObserver(this, name, nullptr, [this](const ns::Ref<ns::Notification>& n) {
                names_.push_back(n->name());
                last_ = n;
            });
        }
    }
    ~NotificationLog() { ns::NotificationCenter::defaultCenter()->removeObserver(this); }

    const std::vector<std::string>& names() const { return names_; }
    const ns::Ref<ns::Notification>& last() const { return last_; }

private:
    std::vector<std::string> names_;
    ns::Ref<ns::Notification> last_;
};

class LoggingDelegate : public ui::ApplicationDelegate {
public:
    bool applicationDidFinishLaunching(ui::Application&, const ns::Ref<ns::Dictionary>& options) override {
        calls.push_back("didFinishLaunching");
        launchOptions = options;
        return true;
    }
    void applicationDidBecomeActive(ui::Application& app) override {
        calls.push_back("didBecomeActive");
        stateSeen = app.applicationState();
    }
    void applicationWillResignActive(ui::Application&) override { calls.push_back("willResignActive"); }
    void applicationDidEnterBackground(ui::Application&) override { calls.push_back("didEnterBackground"); }
    void applicationWillEnterForeground(ui::Application&) override { calls.push_back("willEnterForeground"); }
    void applicationWillTerminate(ui::Application&) override { calls.push_back("willTerminate"); }
    bool applicationOpenURL(ui::Application&, const ns::Ref<ns::URL>& url, const ns::Ref<ns::Dictionary>&) override {
        calls.push_back("openURL " + url->absoluteString()->utf8());
        return true;
    }

    std::vector<std::string> calls;
    ns::Ref<ns::Dictionary> launchOptions;
    ui::ApplicationState stateSeen = ui::ApplicationState::Inactive;
};

using ApplicationTest = UIKitTest;

TEST_F(ApplicationTest, LifeCycleCallsTheDelegateAndPostsInOrder) {
    auto app = ui::Application::sharedApplication();
    auto delegate = std::make_shared<LoggingDelegate>();
    app->setDelegate(delegate);
    NotificationLog log({ui::ApplicationDidFinishLaunchingNotification, ui::ApplicationDidBecomeActiveNotification,
                         ui::ApplicationWillResignActiveNotification, ui::ApplicationDidEnterBackgroundNotification,
                         ui::ApplicationWillEnterForegroundNotification, ui::ApplicationWillTerminateNotification});

    auto options = ns::Dictionary::make({{ui::ApplicationLaunchOptionsSourceApplicationKey, ns::str("other.app")}});
    EXPECT_EQ(app->applicationState(), ui::ApplicationState::Inactive);
    EXPECT_TRUE(app->launch(options));
    EXPECT_EQ(delegate->launchOptions, options);
    EXPECT_EQ(delegate->stateSeen, ui::ApplicationState::Active);
    app->simulateEnterBackground();
    EXPECT_EQ(app->applicationState(), ui::ApplicationState::Background);
    app->simulateEnterForeground();
    EXPECT_EQ(app->applicationState(), ui::ApplicationState::Active);
    app->simulateTerminate();

    EXPECT_EQ(delegate->calls,
              (std::vector<std::string>{"didFinishLaunching", "didBecomeActive", "willResignActive",
                                        "didEnterBackground", "willEnterForeground", "didBecomeActive",
                                        "willTerminate"}));
    EXPECT_EQ(log.names(),
              (std::vector<std::string>{"UIApplicationDidFinishLaunchingNotification",
                                        "UIApplicationDidBecomeActiveNotification",
                                        "UIApplicationWillResignActiveNotification",
                                        "UIApplicationDidEnterBackgroundNotification",
                                        "UIApplicationWillEnterForegroundNotification",
                                        "UIApplicationDidBecomeActiveNotification",
                                        "UIApplicationWillTerminateNotification"}));
    EXPECT_EQ(log.last()->object(), app);

    // Launching is once; an incoming URL reaches the delegate.
    EXPECT_TRUE(app->launch());
    EXPECT_TRUE(app->simulateOpenURL(ns::URL::make("game://pay?ok=1")));
    EXPECT_EQ(delegate->calls.back(), "openURL game://pay?ok=1");
}

TEST_F(ApplicationTest, BackgroundTasksEndAndExpireByIdentifier) {
    auto app = ui::Application::sharedApplication();
    std::vector<int> expired;
    auto first = app->beginBackgroundTaskWithExpirationHandler([&] { expired.push_back(1); });
    ui::BackgroundTaskIdentifier second = ui::BackgroundTaskInvalid;
    second = app->beginBackgroundTaskWithExpirationHandler([&] {
        expired.push_back(2);
        app->endBackgroundTask(second);
    });
    EXPECT_NE(first, ui::BackgroundTaskInvalid);
    EXPECT_NE(first, second);
    EXPECT_EQ(app->backgroundTaskCount(), 2u);

    app->expireBackgroundTasksForTesting();
    EXPECT_EQ(expired, (std::vector<int>{1, 2}));
    EXPECT_EQ(app->backgroundTaskCount(), 1u);  // the first handler did not end its task
    app->endBackgroundTask(first);
    app->endBackgroundTask(first);
    app->endBackgroundTask(ui::BackgroundTaskInvalid);
    EXPECT_EQ(app->backgroundTaskCount(), 0u);

    // Found by name, as code that may run without an application asks.
    auto shared = rt::classNamed("UIApplication")->classMethod<std::function<ns::Id()>>("sharedApplication");
    ASSERT_TRUE(shared);
    EXPECT_EQ((*shared)(), ns::Id(app));
}

TEST_F(ApplicationTest, OpenURLIsRecordedAndAnsweredByInstalledSchemes) {
    auto app = ui::Application::sharedApplication();
    app->setInstalledSchemes({"wallet"});
    EXPECT_TRUE(app->canOpenURL(ns::URL::make("wallet://pay")));
    EXPECT_TRUE(app->canOpenURL(ns::URL::make("https://example.com")));
    EXPECT_FALSE(app->canOpenURL(ns::URL::make("chat://open")));
    EXPECT_FALSE(app->canOpenURL(nullptr));

    std::vector<bool> results;
    app->openURL(ns::URL::make("wallet://pay?id=1"), nullptr, [&](bool ok) { results.push_back(ok); });
    app->openURL(ns::URL::make("chat://open"), nullptr, [&](bool ok) { results.push_back(ok); });
    EXPECT_TRUE(results.empty());
    env.runUntilIdle();
    EXPECT_EQ(results, (std::vector<bool>{true, false}));
    ASSERT_EQ(app->openedURLs().size(), 2u);
    EXPECT_EQ(app->openedURLs()[0]->absoluteString()->utf8(), "wallet://pay?id=1");
    EXPECT_EQ(app->openedURLs()[1]->absoluteString()->utf8(), "chat://open");
}

TEST_F(ApplicationTest, WindowsAreOrderedByLevelThenByShowing) {
    auto app = ui::Application::sharedApplication();
    auto main = ui::Window::makeFullScreen();
    auto alert = ui::Window::makeFullScreen();
    auto ball = ui::Window::make({0, 0, 60, 60});
    auto second = ui::Window::makeFullScreen();
    alert->setWindowLevel(ui::WindowLevelAlert);
    ball->setWindowLevel(ui::WindowLevelAlert * 2);
    EXPECT_TRUE(app->windows().empty());  // none shown yet

    ball->setHidden(false);
    main->makeKeyAndVisible();
    alert->setHidden(false);
    second->setHidden(false);
    EXPECT_EQ(app->windows(), (std::vector<ns::Ref<ui::Window>>{main, second, alert, ball}));
    EXPECT_EQ(app->keyWindow(), main);
    EXPECT_TRUE(main->isKeyWindow());

    alert->setWindowLevel(-1);
    EXPECT_EQ(app->windows().front(), alert);

    // The application keeps shown windows alive; a hidden one it forgets
    // once no one else holds it.
    ns::Weak<ui::Window> weakBall = ball;
    ball.reset();
    EXPECT_NE(weakBall.lock(), nullptr);
    weakBall.lock()->setHidden(true);
    EXPECT_EQ(weakBall.lock(), nullptr);
    EXPECT_EQ(app->windows().size(), 3u);
}

TEST_F(ApplicationTest, KeyStatusMovesAndPassesOnWhenHidden) {
    auto app = ui::Application::sharedApplication();
    auto main = ui::Window::makeFullScreen();
    auto popup = ui::Window::makeFullScreen();
    NotificationLog log({ui::WindowDidBecomeKeyNotification, ui::WindowDidResignKeyNotification});
    main->makeKeyAndVisible();
    popup->makeKeyAndVisible();
    EXPECT_EQ(app->keyWindow(), popup);
    EXPECT_FALSE(main->isKeyWindow());
    popup->setHidden(true);
    EXPECT_EQ(app->keyWindow(), main);
    EXPECT_EQ(log.names(), (std::vector<std::string>{"UIWindowDidBecomeKeyNotification",
                                                     "UIWindowDidResignKeyNotification",
                                                     "UIWindowDidBecomeKeyNotification",
                                                     "UIWindowDidResignKeyNotification",
                                                     "UIWindowDidBecomeKeyNotification"}));
    main->setHidden(true);
    EXPECT_EQ(app->keyWindow(), nullptr);
}

TEST_F(ApplicationTest, RotationPostsAndResizesFullScreenWindows) {
    auto app = ui::Application::sharedApplication();
    auto window = ui::Window::makeFullScreen();
    window->makeKeyAndVisible();
    auto ball = ui::Window::make({330, 100, 60, 60});
    ball->setHidden(false);
    NotificationLog log({ui::ApplicationWillChangeStatusBarOrientationNotification,
                         ui::ApplicationDidChangeStatusBarOrientationNotification,
                         ui::DeviceOrientationDidChangeNotification});
    EXPECT_EQ(app->statusBarFrame(), cg::Rect(0, 0, 390, 47));

    ui::Screen::mainScreen()->setOrientation(ui::InterfaceOrientation::LandscapeRight);
    EXPECT_EQ(app->statusBarOrientation(), ui::InterfaceOrientation::LandscapeRight);
    EXPECT_EQ(window->frame(), cg::Rect(0, 0, 844, 390));
    EXPECT_EQ(ball->frame(), cg::Rect(330, 100, 60, 60));
    EXPECT_EQ(app->statusBarFrame(), cg::Rect());
    ASSERT_EQ(log.names().size(), 3u);
    EXPECT_EQ(log.names()[0], "UIApplicationWillChangeStatusBarOrientationNotification");
    EXPECT_EQ(log.names()[1], "UIApplicationDidChangeStatusBarOrientationNotification");
    EXPECT_EQ(ui::Device::currentDevice()->orientation(), ui::DeviceOrientation::LandscapeLeft);
}

TEST_F(ApplicationTest, KeyboardPostsFramesAndShowsItsWindow) {
    NotificationLog log({ui::KeyboardWillShowNotification, ui::KeyboardDidShowNotification,
                         ui::KeyboardWillHideNotification, ui::KeyboardDidHideNotification,
                         ui::KeyboardWillChangeFrameNotification, ui::KeyboardDidChangeFrameNotification});
    ui::Keyboard::simulateShow();
    EXPECT_EQ(log.names(), (std::vector<std::string>{"UIKeyboardWillShowNotification",
                                                     "UIKeyboardWillChangeFrameNotification",
                                                     "UIKeyboardDidShowNotification",
                                                     "UIKeyboardDidChangeFrameNotification"}));
    auto info = log.last()->userInfo();
    EXPECT_EQ(ui::rectValue(info->objectForKey(ui::KeyboardFrameEndUserInfoKey)), cg::Rect(0, 508, 390, 336));
    EXPECT_EQ(ui::rectValue(info->objectForKey(ui::KeyboardFrameBeginUserInfoKey)), cg::Rect(0, 844, 390, 336));
    EXPECT_EQ(ui::doubleValue(info->objectForKey(ui::KeyboardAnimationDurationUserInfoKey)), 0.25);

    // The keyboard window sits in the application's list, above the rest,
    // with the input views named as the platform names them.
    auto windows = ui::Application::sharedApplication()->windows();
    ASSERT_FALSE(windows.empty());
    auto keyboard = windows.back();
    EXPECT_EQ(keyboard->className(), "UIRemoteKeyboardWindow");
    ASSERT_EQ(keyboard->subviews().size(), 1u);
    EXPECT_EQ(keyboard->subviews()[0]->className(), "UIInputSetContainerView");
    auto host = keyboard->subviews()[0]->subviews().at(0);
    EXPECT_EQ(host->className(), "UIInputSetHostView");
    EXPECT_EQ(host->frame(), cg::Rect(0, 508, 390, 336));

    ui::Keyboard::simulateHide(0.1);
    EXPECT_FALSE(ui::Keyboard::isVisible());
    EXPECT_TRUE(keyboard->isHidden());
    EXPECT_EQ(host->frame(), cg::Rect(0, 844, 390, 336));
    EXPECT_EQ(log.names()[4], "UIKeyboardWillHideNotification");
    EXPECT_EQ(ui::doubleValue(log.last()->userInfo()->objectForKey(ui::KeyboardAnimationDurationUserInfoKey)), 0.1);
}

}  // namespace
