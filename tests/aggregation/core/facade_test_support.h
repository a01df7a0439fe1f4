#pragma once
// The world of the facade's account tests: mock time, one loopback server
// standing in for the platform server (and the game server the login's menu
// goes to), a main bundle and home of the test's own (game id "1001"), a
// launched application with a key window for the HUD, a recording shell
// listener, a scriptable channel SDK, and a fresh facade listening to both.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "aggregation/core/KVTRChannelSDK.h"
#include "aggregation/core/KVTRViewFactory.h"
#include "aggregation/core/ROZCoreEntity.h"
#include "aggregation/core/ROZCoreEntityDelegate.h"
#include "tests/aggregation/core/FakeChannel.h"
#include "platform/dispatch/MainThread.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/security/Digest.h"
#include "platform/security/Hex.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/StateReset.h"
#include "platform/uikit/Window.h"
#include "ui/hud/KVTRProgressHUD.h"

namespace facadetest {

inline ns::Ref<ns::String> text(std::string s) { return ns::String::make(std::move(s)); }
inline std::string str(const ns::Id& value) { return ns::textOf(value); }
inline testing::Reply json(std::string body) { return testing::Reply::text(std::move(body), "application/json"); }
inline std::string md5Hex(const std::string& bytes) { return sec::hexLower(sec::md5(bytes)); }

// One call the facade made to the shell.
struct Callback {
    std::string name;
    ns::Id argument;
    bool onMainThread;
};

class RecordingListener : public ROZCoreEntityDelegate {
public:
    void kvtr_LightGetChannelLoginCallBack(const ns::Ref<ns::Dictionary>& d) override { note("login", d); }
    void getUpdateRoleCallBack(const ns::Ref<ns::Dictionary>& d) override { note("role", d); }
    void canEnterListenCallBack(const ns::Ref<ns::String>& s) override { note("canEnter", s); }
    void getPaySuccessCallBack(const ns::Ref<ns::Dictionary>& d) override { note("paySuccess", d); }
    void getPayFailCallBack(const ns::Ref<ns::Dictionary>& d) override { note("payFail", d); }
    void logOutCallBack(const ns::Ref<ns::String>& s) override { note("logout", s); }
    void rechargeCallBack(const ns::Ref<ns::String>& s) override { note("recharge", s); }

    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& c : calls) out.push_back(c.name);
        return out;
    }
    // The argument of the only call of that name; a failure when not exactly one.
    ns::Id only(const std::string& name) const {
        ns::Id found;
        int count = 0;
        for (const auto& c : calls) {
            if (c.name == name) {
                found = c.argument;
                ++count;
            }
        }
        EXPECT_EQ(count, 1) << name;
        return found;
    }

    std::vector<Callback> calls;

private:
    void note(std::string name, ns::Id argument) {
        calls.push_back({std::move(name), std::move(argument), dispatch::isMainThread()});
    }
};

using FakeChannel = channeltest::FakeChannel;

class AppDelegate : public ui::ApplicationDelegate {
public:
    ns::Ref<ui::Window> window() const override { return window_; }
    ns::Ref<ui::Window> window_;
};

class FacadeTest : public ::testing::Test {
protected:
    FacadeTest() {
        ui::resetSharedStateForTesting();
        appDelegate = std::make_shared<AppDelegate>();
        appDelegate->window_ = ui::Window::makeFullScreen();
        ui::Application::sharedApplication()->setDelegate(appDelegate);
        appDelegate->window_->makeKeyAndVisible();

        std::string pattern = (std::filesystem::temp_directory_path() / "facade-XXXXXX").string();
        folder = ::mkdtemp(pattern.data()) ? pattern : std::string();
        std::filesystem::create_directories(folder + "/resources");
        std::filesystem::create_directories(folder + "/home");
        writePlist("Info.plist", "<key>CFBundleIdentifier</key><string>org.gamehost.test</string>");
        writePlist("KVTRPLIST.plist", "<key>game_id</key><string>1001</string>");
        ::setenv("GAMEHOST_RESOURCES", (folder + "/resources").c_str(), 1);
        ::setenv("GAMEHOST_HOME", (folder + "/home").c_str(), 1);
        ::setenv("GAMEHOST_PLATFORM_SERVER_URL", server.baseURL().c_str(), 1);
        ::setenv("GAMEHOST_GAME_SERVER_URL", server.baseURL().c_str(), 1);
        ns::UserDefaults::resetStandardUserDefaultsForTesting();
        KVTRViewFactory::shared().reset();
        KVTRChannelSDK::setShared(channel);

        ROZCoreEntity::resetSharedInstanceForTesting();
        entity = ROZCoreEntity::sharedInstance();
        entity->kvtr_setStartLoginListener(listener);
        env.runUntilIdle();
    }

    ~FacadeTest() override {
        KVTRChannelSDK::setShared(nullptr);
        KVTRViewFactory::shared().reset();
        ROZCoreEntity::resetSharedInstanceForTesting();
        ui::resetSharedStateForTesting();
        // Not fast-forwarded: the banner's refresh cycle never runs out.
        env.runUntilIdle();
        ns::UserDefaults::resetStandardUserDefaultsForTesting();
        for (const char* name : {"GAMEHOST_RESOURCES", "GAMEHOST_HOME", "GAMEHOST_PLATFORM_SERVER_URL",
                                 "GAMEHOST_GAME_SERVER_URL"}) {
            ::unsetenv(name);
        }
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    void writePlist(const std::string& name, const std::string& entries) {
        std::ofstream(folder + "/resources/" + name)
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" << entries
            << "</dict></plist>\n";
    }

    void launch() {
        server.route("POST", "/init", json(R"({"code":"200","msg":"ok","data":{}})"));
        entity->applicationDidFinishLaunchingWithOptions(*ui::Application::sharedApplication(), nullptr);
        env.runUntilIdle();
    }

    // A channel login answered by the platform server with `loginReply`.
    void logIn(const std::string& loginReply, const std::string& sign = "sign-abc") {
        server.route("POST", "/login/index", json(loginReply));
        entity->kvtr_lightLoginStart();
        env.runUntilIdle();
        ASSERT_TRUE(channel->loginSuccess);
        channel->loginSuccess(text("1700000000"), text("player1"), text(sign), text("1"));
        env.runUntilIdle();
    }

    void logInAs(const std::string& superUserId) {
        logIn(R"({"code":"200","data":{"super_user_id":")" + superUserId + R"(","token":"tok123456"}})");
    }

    static std::string roleText(const std::string& fields) {
        return "{" + fields + "}";
    }
    static constexpr const char* kFullRole =
        R"("super_user_id":"su1","service_id":"s1","service_name":"一区","role_id":"cp9",)"
        R"("role_name":"Ann","role_level":"12")";

    void reportRole(const std::string& reply = R"({"code":"200","msg":"ok","data":{"role_id":"r1"}})") {
        server.route("POST", "/role/index", json(reply));
        entity->kvtr_superRoleUpdate(text(roleText(kFullRole)));
        env.runUntilIdle();
    }

    std::vector<testing::RecordedRequest> requestsTo(const std::string& path) const {
        std::vector<testing::RecordedRequest> found;
        for (auto& request : server.requests()) {
            if (request.path == path) found.push_back(request);
        }
        return found;
    }

    // The body's pairs, in order (the bodies here carry no escapes).
    static std::vector<std::pair<std::string, std::string>> pairs(const std::string& body) {
        std::vector<std::pair<std::string, std::string>> out;
        size_t start = 0;
        while (start < body.size()) {
            size_t end = body.find('&', start);
            if (end == std::string::npos) end = body.size();
            std::string pair = body.substr(start, end - start);
            size_t eq = pair.find('=');
            out.emplace_back(pair.substr(0, eq), eq == std::string::npos ? "" : pair.substr(eq + 1));
            start = end + 1;
        }
        return out;
    }
    static std::string field(const std::string& body, const std::string& key) {
        for (auto& [k, v] : pairs(body)) {
            if (k == key) return v;
        }
        return "<absent>";
    }

    // The text the HUD shows, once the one before has faded and it is up.
    std::string hudText() {
        env.runUntilIdle();
        env.fastForwardBy(0.3);
        auto label = KVTRProgressHUD::sharedView()->statusLabel();
        return label && label->text() ? label->text()->utf8() : std::string();
    }

    testing::TaskEnvironment env;
    testing::LoopbackServer server;
    std::string folder;
    std::shared_ptr<AppDelegate> appDelegate;
    std::shared_ptr<RecordingListener> listener = std::make_shared<RecordingListener>();
    std::shared_ptr<FakeChannel> channel = std::make_shared<FakeChannel>();
    ns::Ref<ROZCoreEntity> entity;
};

}  // namespace facadetest
