// Headless, the log is the screen: what a person would read on the device
// (HUD texts, alerts and the taps on them, configuration faults) and the
// order in which the page's events reach the screen.

#include <fstream>

#include "app_test_support.h"
#include "platform/testing/LoopbackServer.h"

namespace {

constexpr const char* RoleMessage =
    R"(JSON.stringify({action: "uploadGameRoleInfo", data: {role_id: "10001", role_name: "Ari", )"
    R"(role_level: "12", service_id: "1", service_name: "S1 Dawn", power_value: "1"}}))";

class ScreenLogTest : public apptest::AppTest {
protected:
    std::vector<std::string> screenLines() const {
        std::vector<std::string> out;
        for (const auto& line : log.lines()) {
            if (line.rfind("screen: ", 0) == 0) out.push_back(line);
        }
        return out;
    }

    bool logged(const std::string& line) const {
        auto lines = log.lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    // Serves `html` as the game page from a server of the test's own.
    void servePage(const std::string& html) {
        server.route("GET", "/page.html", testing::Reply::text(html, "text/html; charset=utf-8"));
        setPageURL(server.url("/page.html"));
    }

    testing::LoopbackServer server;
};

}  // namespace

TEST_F(ScreenLogTest, APayBeforeLoginShowsTheChecksText) {
    launch();
    ASSERT_TRUE(settle([&] { return screen()->pageFinished() == 1 && channel->count("login") == 1; }));
    post(R"j({"action":"pay","data":{"good_id":"g1","good_name":"Gems","game_order_sn":"cp1","role_level":"3",)j"
         R"j("money":"6","service_id":"1","service_name":"S1","role_id":"r1","role_name":"Ari","remark":""}})j");
    ASSERT_TRUE(settle([&] { return !screenLines().empty(); }, 5));
    EXPECT_EQ(screenLines(), (std::vector<std::string>{"screen: hud: 请先调用上报角色方法"}));
}

TEST_F(ScreenLogTest, AServerRefusalShowsItsMessage) {
    // A platform server that lets the player in and refuses the role report.
    testing::LoopbackServer refusing;
    refusing.route("POST", "/init", testing::Reply::text(R"({"code":"200","msg":"success","data":{}})",
                                                         "application/json"));
    refusing.route("POST", "/login/index",
                   testing::Reply::text(R"({"code":"200","msg":"success",)"
                                        R"("data":{"super_user_id":"7","token":"tok-123456"}})",
                                        "application/json"));
    refusing.route("POST", "/role/index",
                   testing::Reply::text(R"({"code":"401","msg":"sign error","data":{}})", "application/json"));
    ::setenv("GAMEHOST_PLATFORM_SERVER_URL", refusing.baseURL().c_str(), 1);
    launch();
    loginThroughPage();
    ASSERT_TRUE(settle([&] { return logged("screen: hud: sign error"); }, 10));
    EXPECT_EQ(channel->count("role"), 0);
}

TEST_F(ScreenLogTest, AFailedFirstLoadShowsTheAlertAndTheRetryTap) {
    int port = pages->http().port();
    pages.reset();
    launch();
    ASSERT_TRUE(settle([&] { return driver.presentedAlert() != nullptr; }));
    EXPECT_TRUE(logged("screen: alert: 提示 | 连接服务器失败 | [重试]"));

    pages = std::make_unique<sandbox::GamePageServer>(port);
    ASSERT_TRUE(driver.answerAlert("重试"));
    EXPECT_TRUE(logged("screen: alert tap: 提示 | [重试]"));
    EXPECT_TRUE(settle([&] { return screen()->pageFinished() == 1; }));
}

TEST_F(ScreenLogTest, ARoleReportPostedWhileThePageLoadsIsDropped) {
    // Posted by the page's one inline script: it reaches the screen before
    // the finished load, so the screen's gate drops it and the facade never
    // hears of it (it would show its own check's text).
    servePage(std::string("<script>webkit.messageHandlers.eventComplete.postMessage(") + RoleMessage +
              ");</script>");
    launch();
    ASSERT_TRUE(settle([&] { return screen()->pageFinished() == 1; }));
    settle([] { return false; }, 3);
    EXPECT_TRUE(log.contains("uploadGameRoleInfo"));
    EXPECT_EQ(screenLines(), std::vector<std::string>{});
}

TEST_F(ScreenLogTest, ARoleReportPostedAfterTheLoadReachesTheFacade) {
    servePage(std::string("<script>setTimeout(function () { webkit.messageHandlers.eventComplete.postMessage(") +
              RoleMessage + "); }, 100);</script>");
    launch();
    ASSERT_TRUE(settle([&] { return !screenLines().empty(); }, 5));
    // Without a login the facade refuses it with its check's text.
    EXPECT_EQ(screenLines(), (std::vector<std::string>{"screen: hud: 请先获取登录回调的super_user_id"}));
}

TEST_F(ScreenLogTest, ABrokenConfigurationIsNamedAtStart) {
    const auto plist = folder / "resources" / "GameHost.plist";
    std::ofstream(plist, std::ios::trunc) << "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Game";
    ::unsetenv("GAMEHOST_PLATFORM_SERVER_URL");
    ::unsetenv("GAMEHOST_GAME_SERVER_URL");
    launch();
    std::vector<std::string> named;
    for (const auto& line : log.lines()) {
        if (line.rfind("configuration: ", 0) == 0) named.push_back(line);
    }
    ASSERT_EQ(named.size(), 6u);
    EXPECT_EQ(named[0].rfind("configuration: " + plist.string() + " cannot be read: ", 0), 0u) << named[0];
    EXPECT_TRUE(named[1].starts_with("configuration: platform server address is empty: set GAMEHOST_PLATFORM_SERVER_URL"));
    EXPECT_TRUE(named[2].starts_with("configuration: game server address is empty: set GAMEHOST_GAME_SERVER_URL"));
    EXPECT_TRUE(named[3].starts_with("configuration: channel API address is empty: set GAMEHOST_CHANNEL_API_URL"));
    EXPECT_TRUE(named[4].starts_with("configuration: activity page address is empty: set GAMEHOST_ACTIVITY_PAGE_URL"));
    EXPECT_TRUE(named[5].starts_with("configuration: channel chat page address is empty: set GAMEHOST_CHANNEL_CHAT_URL"));
    // The page, set by the environment, still loads.
    EXPECT_TRUE(settle([&] { return screen()->pageFinished() == 1; }));
}
