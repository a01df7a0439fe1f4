// ToviraSDK's entry points: role report codes, the code texts the game
// receives, orientation masks, the wallet return's address, logout with the
// ball and its countdown, and a minor's login starting the play-time limit.

#include <filesystem>

#include "channel/ShareVale.h"
#include "channel/usercenter/TVGameOverView.h"
#include "login_test_support.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/URLCache.h"
#include "platform/foundation/UserDefaults.h"

namespace {

class ToviraSDKTest : public login_test::LoginTest {
protected:
    std::vector<int64_t> reportRole(const char* zoneName, const char* attach) {
        std::vector<int64_t> results;
        ToviraSDK::SetUserInfoDataWithRoleId(ns::str("10001"), ns::str("Ari"), ns::str("12"), ns::str("1"),
                                             zoneName ? ns::str(zoneName) : nullptr, attach ? ns::str(attach) : nullptr,
                                             [&results](int64_t result) { results.push_back(result); });
        env.runUntilIdle();
        return results;
    }
    void writeOrientations(const std::string& entries) {
        writePlist("Info.plist", "<key>UISupportedInterfaceOrientations</key><array>" + entries + "</array>");
    }
    void loginAs(const char* name, const char* password) {
        open();
        login(name, password);
        env.fastForwardBy(1.5);
        finishHandOff();
    }
};

TEST_F(ToviraSDKTest, RoleReportsAnswerTwoOneOrZero) {
    saveKnownPlayer();
    EXPECT_EQ(reportRole("", "x"), (std::vector<int64_t>{2}));
    EXPECT_EQ(reportRole(nullptr, "x"), (std::vector<int64_t>{2}));
    EXPECT_FALSE(ns::UserDefaults::standardUserDefaults()->dictionaryForKey("roleInfo"));
    EXPECT_EQ(posts("User/setRole"), 0u);

    EXPECT_EQ(reportRole("S1 Dawn", nullptr), (std::vector<int64_t>{1}));
    auto role = ns::UserDefaults::standardUserDefaults()->dictionaryForKey("roleInfo");
    ASSERT_TRUE(role);
    EXPECT_EQ(ns::textOf(role->objectForKey("ext")), "");
    EXPECT_EQ(ns::textOf(role->objectForKey("zoneName")), "S1 Dawn");

    ShareVale::sharedInstance()->setUserName(ns::str("nobody"));
    EXPECT_EQ(reportRole("S1 Dawn", ""), (std::vector<int64_t>{0}));
    pointAtClosedServer();
    EXPECT_EQ(reportRole("S1 Dawn", ""), (std::vector<int64_t>{0}));
}

TEST_F(ToviraSDKTest, CodeTextsReachTheGameAsIntegers) {
    EXPECT_EQ(ToviraSDK::integerValue(ns::str("-9")), -9);
    EXPECT_EQ(ToviraSDK::integerValue(ns::str("501")), 501);
    EXPECT_EQ(ToviraSDK::integerValue(ns::str("abc")), 0);
    EXPECT_EQ(ToviraSDK::integerValue(nullptr), 0);
}

TEST_F(ToviraSDKTest, OrientationMasksFollowTheInfoList) {
    writeOrientations("<string>UIInterfaceOrientationPortrait</string>"
                      "<string>UIInterfaceOrientationLandscapeLeft</string>");
    EXPECT_EQ(ToviraSDK::applicationSupportedInterfaceOrientationsForWindow(), 26u);
}

TEST_F(ToviraSDKTest, PortraitAloneIsTwo) {
    writeOrientations("<string>UIInterfaceOrientationPortraitUpsideDown</string>");
    EXPECT_EQ(ToviraSDK::applicationSupportedInterfaceOrientationsForWindow(), 2u);
}

TEST_F(ToviraSDKTest, LandscapeOrNothingIsTwentyFour) {
    EXPECT_EQ(ToviraSDK::applicationSupportedInterfaceOrientationsForWindow(), 24u);
    writeOrientations("<string>UIInterfaceOrientationLandscapeRight</string>");
    EXPECT_EQ(ToviraSDK::applicationSupportedInterfaceOrientationsForWindow(), 24u);
}

TEST_F(ToviraSDKTest, TheWalletReturnNeedsTheExactSchemeAndHost) {
    auto gameID = ShareVale::sharedInstance()->gameID()->utf8();
    EXPECT_TRUE(ToviraSDK::isQuipayReturn(ns::URL::make("ToviraQuiPayScheme" + gameID + "://safepay/?r=1")));
    EXPECT_FALSE(ToviraSDK::isQuipayReturn(ns::URL::make("toviraquipayscheme" + gameID + "://safepay/")));
    EXPECT_FALSE(ToviraSDK::isQuipayReturn(ns::URL::make("ToviraQuiPayScheme" + gameID + "://pay/")));
    EXPECT_FALSE(ToviraSDK::isQuipayReturn(nullptr));
}

TEST_F(ToviraSDKTest, LaunchInstallsTheSharedURLCache) {
    ToviraSDK::didFinishLaunching();
    auto cache = ns::URLCache::sharedURLCache();
    EXPECT_EQ(cache->memoryCapacity(), 4194304u);
    EXPECT_EQ(cache->diskCapacity(), 33554432u);
}

TEST_F(ToviraSDKTest, ALaunchWithoutTheChannelsIdsSaysWhy) {
    log.clear();
    std::filesystem::remove(folder + "/resources/TV.plist");
    ToviraSDK::didFinishLaunching();
    EXPECT_TRUE(log.contains("TV.plist is missing from the app's resources (" + folder +
                             "/resources): the channel has no app id, game id, key or channel"));

    log.clear();
    writeResource("TV.plist", "not a property list");
    ToviraSDK::didFinishLaunching();
    EXPECT_TRUE(log.contains(folder + "/resources/TV.plist cannot be read as a property list"));

    log.clear();
    writeTVPlist();
    ToviraSDK::didFinishLaunching();
    EXPECT_FALSE(log.contains("TV.plist")) << "a sound TV.plist is not named";
}

TEST_F(ToviraSDKTest, LogoutHidesTheBallTellsTheServerAndEmptiesTheNextForm) {
    loginAs(sandbox::ChannelServer::kKnownUser, sandbox::ChannelServer::kKnownPassword);
    ASSERT_FALSE(ballWindow()->isHidden());
    ToviraSDK::LoginOut();
    env.runUntilIdle();
    EXPECT_TRUE(ballWindow()->isHidden());
    EXPECT_EQ(posts("login/logout"), 1u);
    EXPECT_EQ(ShareVale::sharedInstance()->loginStyle(), 2u);
    // The server has it: the saved name is gone, so the next form is empty.
    open();
    EXPECT_EQ(card()->UsingStyle(), 0);
    EXPECT_EQ(login_test::textOr(card()->loginName.lock()->text(), ""), "");
    EXPECT_EQ(posts("login/dologin"), 1u);
}

TEST_F(ToviraSDKTest, AMinorsLoginCountsDownToTheLimit) {
    env.setWallTime(1704067200);
    loginAs(sandbox::ChannelServer::kMinorUser, sandbox::ChannelServer::kMinorPassword);
    ASSERT_EQ(game.successes.size(), 1u);
    EXPECT_EQ(game.successes[0], "1704067200|minor1_1|sign-minor1-1|2");
    auto timer = VRQHelperBtn::shared()->timer();
    ASSERT_TRUE(timer);
    // The limit lies 2,000 s after the login; the countdown began a moment later.
    double started = ns::Date::now()->timeIntervalSince1970();
    auto reportsAfter = [&](double seconds) {
        env.fastForwardBy(started + seconds - ns::Date::now()->timeIntervalSince1970());
        return posts("login/setTime");
    };
    EXPECT_EQ(reportsAfter(899), 0u);
    EXPECT_EQ(reportsAfter(900), 1u);
    EXPECT_EQ(reportsAfter(1800), 2u);
    EXPECT_FALSE(driver.findOfType<TVGameOverView>());
    EXPECT_EQ(reportsAfter(2000), 3u);
    EXPECT_TRUE(driver.findOfType<TVGameOverView>());
}

TEST_F(ToviraSDKTest, LogoutStopsTheCountdownAndTheNextLoginWithoutLimitRunsNone) {
    env.setWallTime(1704067200);
    loginAs(sandbox::ChannelServer::kMinorUser, sandbox::ChannelServer::kMinorPassword);
    auto timer = VRQHelperBtn::shared()->timer();
    ASSERT_TRUE(timer);
    ToviraSDK::LoginOut();
    EXPECT_TRUE(timer->isCancelled());
    EXPECT_FALSE(VRQHelperBtn::shared()->timer());
    loginAs(sandbox::ChannelServer::kKnownUser, sandbox::ChannelServer::kKnownPassword);
    EXPECT_FALSE(VRQHelperBtn::shared()->timer());
    env.fastForwardBy(2500);
    EXPECT_EQ(posts("login/setTime"), 0u);
    EXPECT_FALSE(driver.findOfType<TVGameOverView>());
}

}  // namespace
