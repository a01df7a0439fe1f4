#pragma once
// The world of the store views' tests: mock time, the sandbox's game server
// on loopback, a main bundle of the test's own (game id "1001", the app's
// pictures), a key
// window on a screen of the test's choice, and the identity text the facade
// would hand in.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "aggregation/core/KVTRViewFactory.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/String.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/testing/UIDriver.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/ScreenModel.h"
#include "platform/uikit/StateReset.h"
#include "platform/uikit/Window.h"
#include "sandbox/GameServer.h"
#include "ui/hud/KVTRProgressHUD.h"

namespace storestest {

inline ns::Ref<ns::String> text(std::string s) { return ns::String::make(std::move(s)); }

inline const char* kIdentity =
    R"({"super_user_id":"u1","super_role_id":"r1","super_token":"tk","cp_role_id":"cp9","game_id":"1001",)"
    R"("service_id":"s1","service_name":"Dark Knight","role_name":"Ann 'O","role_level":"12"})";

class AppDelegate : public ui::ApplicationDelegate {
public:
    ns::Ref<ui::Window> window() const override { return window_; }
    ns::Ref<ui::Window> window_;
};

// A screen of `width` x `height` points as the interface sees it.
inline ui::ScreenModel screenOf(double width, double height) {
    ui::ScreenModel model = ui::ScreenModel::classicPhone();
    const bool landscape = width > height;
    model.portraitSize = landscape ? cg::Size{height, width} : cg::Size{width, height};
    model.orientation = landscape ? ui::InterfaceOrientation::LandscapeRight : ui::InterfaceOrientation::Portrait;
    return model;
}

class StoresTest : public ::testing::Test {
protected:
    StoresTest() {
        ui::resetSharedStateForTesting();
        std::filesystem::create_directories(folder + "/resources");
        std::ofstream(folder + "/resources/Info.plist")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
               "<key>CFBundleIdentifier</key><string>org.gamehost.test</string></dict></plist>\n";
        std::ofstream(folder + "/resources/KVTRPLIST.plist")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
               "<key>game_id</key><string>1001</string></dict></plist>\n";
        // The app's pictures.
        std::filesystem::copy(std::string(GAMEHOST_RESOURCES_DIR) + "/KVTRLight.bundle",
                              folder + "/resources/KVTRLight.bundle", std::filesystem::copy_options::recursive);
        ::setenv("GAMEHOST_RESOURCES", (folder + "/resources").c_str(), 1);
        ::setenv("GAMEHOST_HOME", folder.c_str(), 1);
        ::setenv("GAMEHOST_GAME_SERVER_URL", game.http().origin().c_str(), 1);
        useScreen(667, 375);
        ns::NotificationCenter::defaultCenter()->addObserver(
            this, "KVTRGIFTPAYNotification", nullptr,
            [this](const ns::Ref<ns::Notification>& n) { payments.push_back(n->object()); });
    }

    ~StoresTest() override {
        ns::NotificationCenter::defaultCenter()->removeObserver(this);
        KVTRViewFactory::shared().reset();
        ui::resetSharedStateForTesting();
        for (const char* name : {"GAMEHOST_GAME_SERVER_URL", "GAMEHOST_RESOURCES", "GAMEHOST_HOME"}) ::unsetenv(name);
        std::filesystem::remove_all(folder);
    }

    void useScreen(double width, double height) {
        ui::Screen::mainScreen()->setModel(screenOf(width, height));
        app->window_ = ui::Window::makeFullScreen();
        ui::Application::sharedApplication()->setDelegate(app);
        app->window_->makeKeyAndVisible();
        env.runUntilIdle();
    }

    static std::string makeFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "storeviews-XXXXXX").string();
        return ::mkdtemp(pattern.data()) ? pattern : std::string();
    }

    std::vector<sandbox::Request> requestsTo(const std::string& path) const {
        std::vector<sandbox::Request> found;
        for (auto& request : game.http().requests())
            if (request.path == path) found.push_back(request);
        return found;
    }

    // The HUD's text once its show has run.
    std::string hudText() {
        env.fastForwardBy(0.5);
        auto label = KVTRProgressHUD::sharedView()->statusLabel();
        return label && label->text() ? label->text()->utf8() : std::string();
    }

    testing::TaskEnvironment env;
    sandbox::GameServer game;
    std::string folder = makeFolder();
    std::shared_ptr<AppDelegate> app = std::make_shared<AppDelegate>();
    testing::UIDriver driver;
    std::vector<ns::Id> payments;
};

}  // namespace storestest
