#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/runtime/Class.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/MainInterface.h"
#include "platform/uikit/Responder.h"
#include "platform/uikit/SceneRegistry.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/ViewController.h"
#include "platform/uikit/Window.h"
#include "ui_test_support.h"

namespace fs = std::filesystem;

class MainInterfaceScreen : public ui::ViewController {
    RT_DECLARE_CLASS(MainInterfaceScreen)
};
RT_DEFINE_CLASS(MainInterfaceScreen, ui::ViewController, "MainInterfaceScreen")

// A delegate that sees whether the window is on screen while it launches.
class MainInterfaceDelegate : public ui::Responder, public ui::ApplicationDelegate {
    RT_DECLARE_CLASS(MainInterfaceDelegate)
public:
    ns::Ref<ui::Window> window() const override { return window_; }
    bool applicationDidFinishLaunching(ui::Application&, const ns::Ref<ns::Dictionary>&) override {
        hadWindow = window_ != nullptr;
        visibleWhileLaunching = window_ && !window_->isHidden();
        return true;
    }

    ns::Ref<ui::Window> window_;
    bool hadWindow = false;
    bool visibleWhileLaunching = true;
};
RT_DEFINE_CLASS(MainInterfaceDelegate, ui::Responder, "MainInterfaceDelegate",
                rt::property<MainInterfaceDelegate>("window", &MainInterfaceDelegate::window_))

UI_INITIAL_STORYBOARD_SCENE("MainInterfaceTest", "Screen", MainInterfaceScreen,
                            [](MainInterfaceScreen&) -> ns::Ref<ui::View> {
                                return ui::View::make(ui::Screen::mainScreen()->bounds());
                            })

namespace {

class MainInterfaceTest : public UIKitTest {
protected:
    void SetUp() override {
        // A folder per test: a bundle reads its Info.plist once.
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::temp_directory_path() / ("main-interface-" + std::to_string(::getpid()) + "-" + test->name());
        fs::create_directories(dir);
        ::setenv("GAMEHOST_RESOURCES", dir.string().c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("GAMEHOST_RESOURCES");
        fs::remove_all(dir);
    }
    void writeInfo(const char* storyboard) {
        std::ofstream(dir / "Info.plist")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
            << (storyboard ? std::string("<key>UIMainStoryboardFile</key><string>") + storyboard + "</string>" : "")
            << "</dict></plist>\n";
    }

    fs::path dir;
};

TEST_F(MainInterfaceTest, TheNamedStoryboardFillsTheDelegatesWindowShownAfterLaunching) {
    writeInfo("MainInterfaceTest");
    auto delegate = ui::makeApplicationDelegate("MainInterfaceDelegate");
    ASSERT_TRUE(delegate);
    auto* app = dynamic_cast<MainInterfaceDelegate*>(delegate.get());
    ASSERT_TRUE(app->window_);
    EXPECT_TRUE(ns::cast<MainInterfaceScreen>(app->window_->rootViewController()));
    EXPECT_EQ(app->window_->frame(), ui::Screen::mainScreen()->bounds());

    ui::Application::sharedApplication()->setDelegate(delegate);
    ui::Application::sharedApplication()->launch();
    env.runUntilIdle();
    EXPECT_TRUE(app->hadWindow);
    EXPECT_FALSE(app->visibleWhileLaunching);
    EXPECT_FALSE(app->window_->isHidden());
    EXPECT_EQ(ui::Application::sharedApplication()->keyWindow(), app->window_);
}

TEST_F(MainInterfaceTest, NoStoryboardOrNoSuchDelegateMakesNothing) {
    writeInfo(nullptr);
    auto delegate = ui::makeApplicationDelegate("MainInterfaceDelegate");
    ASSERT_TRUE(delegate);
    EXPECT_FALSE(dynamic_cast<MainInterfaceDelegate*>(delegate.get())->window_);
    EXPECT_FALSE(ui::makeApplicationDelegate("NoSuchDelegate"));
    EXPECT_FALSE(ui::makeApplicationDelegate("MainInterfaceScreen"));  // a class, but no delegate
}

}  // namespace
