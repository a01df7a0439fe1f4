#pragma once
// A fresh app world for channel tests: resources and home in a temporary
// folder, fresh user defaults and ShareVale, a full-screen key window, mock
// time and a fixed advertising identifier.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "channel/ShareVale.h"
#include "platform/foundation/AdvertisingIdentifierManager.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/uikit/StateReset.h"
#include "platform/uikit/Window.h"
#include "tests/channel/ball_test_support.h"

namespace channel_test {

inline constexpr const char* kIDFA = "6D92078A-8246-4BA4-AE5B-76104861E7DC";

class ChannelTest : public ::testing::Test {
protected:
    ChannelTest() {
        ui::resetSharedStateForTesting();
        std::string pattern = (std::filesystem::temp_directory_path() / "channel-XXXXXX").string();
        folder = ::mkdtemp(pattern.data()) ? pattern : std::string();
        std::filesystem::create_directories(folder + "/resources");
        std::filesystem::create_directories(folder + "/home");
        ::setenv("GAMEHOST_RESOURCES", (folder + "/resources").c_str(), 1);
        ::setenv("GAMEHOST_HOME", (folder + "/home").c_str(), 1);
        ns::UserDefaults::resetStandardUserDefaultsForTesting();
        ShareVale::distroyInstance();
        ns::AdvertisingIdentifierManager::sharedManager().setIdentifierForTesting(kIDFA);
        window = ui::Window::makeFullScreen();
        window->makeKeyAndVisible();
        env.runUntilIdle();
    }

    ~ChannelTest() override {
        window.reset();
        ui::resetSharedStateForTesting();
        env.runUntilIdle();
        ShareVale::distroyInstance();
        ns::AdvertisingIdentifierManager::sharedManager().setIdentifierForTesting(std::nullopt);
        ns::UserDefaults::resetStandardUserDefaultsForTesting();
        for (const char* name : {"GAMEHOST_RESOURCES", "GAMEHOST_HOME", "GAMEHOST_CHANNEL_API_URL"}) ::unsetenv(name);
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    void writeResource(const std::string& name, const std::string& text) {
        std::filesystem::path path = folder + "/resources/" + name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path) << text;
    }

    void writePlist(const std::string& name, const std::string& entries) {
        writeResource(name, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" + entries +
                                "</dict></plist>\n");
    }

    // "TV.plist" with the stand-in's ids.
    void writeTVPlist() {
        writePlist("TV.plist",
                   "<key>TOVIRA_APPID</key><string>app7</string><key>TOVIRA_GAMEID</key><string>g42</string>"
                   "<key>TOVIRA_APPKEY</key><string>key9</string><key>TOVIRA_AGENT</key><string>agent3</string>");
    }

    testing::TaskEnvironment env;
    std::string folder;
    ns::Ref<ui::Window> window;
};

}  // namespace channel_test
