#pragma once
// The screens' world: the channel tests' fresh app (temporary main bundle and
// home, mock time, a full-screen key window) with the SDK bundle copied from
// the source tree, "TV.plist", a root screen to present from, the sandbox's
// channel stand-in as the API server and the UI driver.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "platform/foundation/Log.h"
#include "platform/testing/UIDriver.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/ScreenModel.h"
#include "platform/uikit/ViewController.h"
#include "sandbox/ChannelServer.h"
#include "tests/channel/channel_test_support.h"

namespace screens_test {

// The tree under `root` against the expectation kept at `path`; with
// CHANNEL_SCREENS_UPDATE_DUMPS=1 the expectation is written anew instead.
inline void expectDump(const ns::Ref<ui::View>& root, const std::string& path) {
    std::string actual = testing::UIDriver::dumpTree(root);
    if (const char* update = std::getenv("CHANNEL_SCREENS_UPDATE_DUMPS"); update && std::string(update) == "1") {
        std::ofstream(path) << actual;
        return;
    }
    std::ifstream file(path);
    ASSERT_TRUE(file) << "no expectation at " << path;
    std::stringstream expected;
    expected << file.rdbuf();
    EXPECT_EQ(actual, expected.str()) << "the tree changed: " << path;
}

class ScreensTest : public channel_test::ChannelTest {
protected:
    ScreensTest() {
        std::filesystem::copy(std::string(GAMEHOST_SOURCE_RESOURCES) + "/DOVUZ.bundle",
                              folder + "/resources/DOVUZ.bundle", std::filesystem::copy_options::recursive);
        writeTVPlist();
        ::setenv("GAMEHOST_CHANNEL_API_URL", server.base().c_str(), 1);
        root = std::make_shared<ui::ViewController>();
        window->setRootViewController(root);
        env.runUntilIdle();
    }

    ~ScreensTest() override {
        ui::Screen::mainScreen()->setModel(ui::ScreenModel::notchedPhone());
    }

    // The 375 x 667 phone, upright or on its side.
    void useClassicPhone(bool landscape) {
        auto model = ui::ScreenModel::classicPhone();
        if (landscape) model = model.inOrientation(ui::InterfaceOrientation::LandscapeRight);
        ui::Screen::mainScreen()->setModel(model);
        window->setFrame(ui::Screen::mainScreen()->bounds());
        env.runUntilIdle();
    }

    // Logs in as the stand-in's known player, as the saved state would show.
    void saveKnownPlayer() {
        ShareVale::sharedInstance()->setUserName(ns::str(sandbox::ChannelServer::kKnownUser));
        ShareVale::sharedInstance()->setPassWord(ns::str(sandbox::ChannelServer::kKnownPassword));
    }

    // Points the SDK at a stand-in that has gone: nothing answers there.
    void pointAtClosedServer() {
        std::string closed;
        {
            sandbox::ChannelServer gone;
            closed = gone.base();
        }
        ::setenv("GAMEHOST_CHANNEL_API_URL", closed.c_str(), 1);
    }

    sandbox::ChannelServer server;
    ns::Ref<ui::ViewController> root;
    testing::UIDriver driver;
};

}  // namespace screens_test
