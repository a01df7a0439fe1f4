// The facade's account traffic against a loopback platform server: launch and
// its announcement, the platform login after a channel login, the entry
// check, and both logout roads.

#include <ctime>

#include "facade_test_support.h"
#include "platform/dispatch/Clock.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Log.h"

namespace facadetest {
namespace {

class RecordingNotice : public TRKVNoticeView {
public:
    void show() override { ++shows; }
    int shows = 0;
};

class FacadeLaunchTest : public FacadeTest {
protected:
    std::vector<ns::Ref<RecordingNotice>> notices;
    void installNoticeMaker() {
        KVTRViewFactory::shared().setNoticeViewMaker([this] {
            auto view = std::make_shared<RecordingNotice>();
            notices.push_back(view);
            return view;
        });
    }
};

TEST_F(FacadeLaunchTest, LaunchReadsTheGameIdPostsInitAndStartsTheChannel) {
    server.route("POST", "/init", json(R"({"code":"200","data":{}})"));
    EXPECT_TRUE(entity->applicationDidFinishLaunchingWithOptions(*ui::Application::sharedApplication(), nullptr));
    env.runUntilIdle();

    EXPECT_EQ(str(entity->kvtrgameid()), "1001");
    EXPECT_EQ(str(entity->platform_id()), "256");
    EXPECT_TRUE(entity->isRunLogic());
    EXPECT_FALSE(entity->isHallOpen());
    EXPECT_FALSE(entity->isTimeStore());
    EXPECT_EQ(channel->calls, std::vector<std::string>{"didFinishLaunching"});
    auto init = requestsTo("/init");
    ASSERT_EQ(init.size(), 1u);
    EXPECT_EQ(init[0].body, "platform_id=256&game_id=1001&os_type=2&");
    EXPECT_EQ(init[0].header("Content-Type"), "application/x-www-form-urlencoded");
}

TEST_F(FacadeLaunchTest, ALaunchWithoutItsGameIdSaysWhy) {
    server.route("POST", "/init", json(R"({"code":"200","data":{}})"));
    ns::LogCapture log;
    std::filesystem::remove(folder + "/resources/KVTRPLIST.plist");
    entity->applicationDidFinishLaunchingWithOptions(*ui::Application::sharedApplication(), nullptr);
    EXPECT_TRUE(log.contains("KVTRPLIST.plist is missing from the app's resources (" + folder + "/resources)"));
    EXPECT_FALSE(log.contains("has no game_id"));

    log.clear();
    writePlist("KVTRPLIST.plist", "<key>game_id</key><string></string>");
    entity->applicationDidFinishLaunchingWithOptions(*ui::Application::sharedApplication(), nullptr);
    EXPECT_TRUE(log.contains("KVTRPLIST.plist has no game_id"));
    env.runUntilIdle();
}

TEST_F(FacadeLaunchTest, AnAnnouncementWithATitleIsShownWithItsFields) {
    installNoticeMaker();
    server.route("POST", "/init",
                 json(R"({"code":"200","data":{"notice_data":{"notice_url":"http://n/1","notice_title":"维护公告",)"
                      R"("notice_type":1,"notice_content":"今晚维护"}}})"));
    entity->applicationDidFinishLaunchingWithOptions(*ui::Application::sharedApplication(), nullptr);
    env.runUntilIdle();

    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0]->shows, 1);
    EXPECT_EQ(str(notices[0]->notice_title), "维护公告");
    EXPECT_EQ(str(notices[0]->notice_url), "http://n/1");
    EXPECT_EQ(str(notices[0]->notice_type), "1");  // a number reads as its text
    EXPECT_EQ(str(notices[0]->notice_content), "今晚维护");
}

TEST_F(FacadeLaunchTest, NoAnnouncementWithoutTitleOnRefusalOrOnAnOddShape) {
    installNoticeMaker();
    entity->setKvtrgameid(text("1001"));
    entity->setPlatform_id(text("256"));
    for (const char* reply : {
             R"({"code":"200","data":{"notice_data":{}}})",
             R"({"code":"200","data":{"notice_data":{"notice_title":"","notice_url":"u"}}})",
             R"({"code":"200","data":{"notice_data":{"notice_title":null}}})",
             R"({"code":"500","data":{"notice_data":{"notice_title":"T"}}})",
             R"({"code":"200","data":{"notice_data":["notice_title"]}})",
             R"({"code":"200","data":"notice_data"})",
             R"(["code","200"])",
         }) {
        server.route("POST", "/init", json(reply));
        entity->kzSetNoticeView();
        env.runUntilIdle();
        EXPECT_TRUE(notices.empty()) << reply;
    }
    EXPECT_EQ(requestsTo("/init").size(), 7u);
}

TEST_F(FacadeLaunchTest, WithoutANoticeViewTheFacadeLogsAndGoesOn) {
    ns::LogCapture log;
    server.route("POST", "/init", json(R"({"code":"200","data":{"notice_data":{"notice_title":"T"}}})"));
    entity->applicationDidFinishLaunchingWithOptions(*ui::Application::sharedApplication(), nullptr);
    env.runUntilIdle();
    EXPECT_TRUE(log.contains("TRKVNoticeView is not available"));
}

class FacadeLoginTest : public FacadeTest {
protected:
    FacadeLoginTest() { launch(); }
};

TEST_F(FacadeLoginTest, AChannelLoginSignsInAtThePlatformServerAndTellsTheShellOnMain) {
    logIn(R"({"code":"200","data":{"super_user_id":"su1","token":"tok123456"}})");

    auto login = requestsTo("/login/index");
    ASSERT_EQ(login.size(), 1u);
    EXPECT_EQ(login[0].body,
              "game_id=1001&token=sign-abc&platform_id=256&uid=player1&channel_code=1700000000&os_type=2&");
    ASSERT_EQ(listener->names(), std::vector<std::string>{"login"});
    EXPECT_TRUE(listener->calls[0].onMainThread);
    auto result = ns::cast<ns::Dictionary>(listener->calls[0].argument);
    ASSERT_TRUE(result);
    EXPECT_EQ(str(result->objectForKey("super_user_id")), "su1");
    EXPECT_EQ(str(result->objectForKey("token")), "tok123456");
    EXPECT_EQ(str(result->objectForKey("auth")), "1");
    EXPECT_EQ(str(entity->super_user_id()), "su1");
    EXPECT_EQ(str(entity->token()), "tok123456");
}

TEST_F(FacadeLoginTest, QuotesInTheChannelSignAndTheTokenArriveIntact) {
    logIn(R"({"code":"200","data":{"super_user_id":"su1","token":"to\"k'en\\1"}})", "si\"gn'1");

    auto login = requestsTo("/login/index");
    ASSERT_EQ(login.size(), 1u);
    EXPECT_EQ(field(login[0].body, "token"), "si\"gn'1");
    auto result = ns::cast<ns::Dictionary>(listener->only("login"));
    ASSERT_TRUE(result);
    EXPECT_EQ(str(result->objectForKey("token")), "to\"k'en\\1");
}

TEST_F(FacadeLoginTest, ATokenOfSixCharactersPassesAndOfFiveEndsTheLoginSilently) {
    logIn(R"({"code":"200","data":{"super_user_id":"su1","token":"12345"}})");
    EXPECT_TRUE(listener->calls.empty());
    // The reply's fields are kept even when the login goes no further.
    EXPECT_EQ(str(entity->token()), "12345");

    logIn(R"({"code":"200","data":{"super_user_id":"su2","token":"123456"}})");
    EXPECT_EQ(listener->names(), std::vector<std::string>{"login"});
    EXPECT_EQ(str(entity->super_user_id()), "su2");
}

TEST_F(FacadeLoginTest, RepliesOfUnexpectedShapesEndTheLoginWithoutCrashing) {
    for (const char* reply : {
             R"({"code":"200"})",
             R"({"code":"200","data":null})",
             R"({"code":"200","data":["token","tok123456"]})",
             R"({"code":"200","data":{"super_user_id":"su1","token":null}})",
             R"({"code":"200","data":{"super_user_id":"su1","token":{"v":"tok123456"}}})",
             R"({"code":"200","data":{"super_user_id":"su1","token":["tok123456"]}})",
             R"({"code":"200","data":{"super_user_id":"su1","token":true}})",
             R"("tok123456")",
             R"(not json at all)",
         }) {
        logIn(reply);
        EXPECT_TRUE(listener->calls.empty()) << reply;
    }
    EXPECT_EQ(requestsTo("/login/index").size(), 9u);
}

TEST_F(FacadeLoginTest, ASpecialUrlOfNineCharactersSwitchesThePathAndEightDoesNot) {
    server.route("POST", "/login/index", json(R"({"code":"200","data":{}})"));
    server.route("POST", "/login/special", json(R"({"code":"200","data":{}})"));
    auto loginWith = [&](const std::string& specialURL) {
        entity->kvtrChannel_LightGetChannelLoginCallBack(ns::Dictionary::make(
            {{"token", text("t")}, {"uid", text("u")}, {"channel_code", text("c")}, {"special_url", text(specialURL)}}));
        env.runUntilIdle();
    };
    loginWith("12345678");
    EXPECT_EQ(requestsTo("/login/index").size(), 1u);
    EXPECT_EQ(requestsTo("/login/special").size(), 0u);
    loginWith("123456789");
    EXPECT_EQ(requestsTo("/login/index").size(), 1u);
    EXPECT_EQ(requestsTo("/login/special").size(), 1u);
}

TEST_F(FacadeLoginTest, ABlankChannelCodeIsSentEmptyAndTheFormStopsAtAMissingValue) {
    server.route("POST", "/login/index", json(R"({"code":"200","data":{}})"));
    entity->kvtrChannel_LightGetChannelLoginCallBack(
        ns::Dictionary::make({{"token", text("t")}, {"uid", text("u")}, {"channel_code", text("  ")}}));
    env.runUntilIdle();
    entity->kvtr_superLoginCallBackWithGame_id(text("1001"), text("t"), nullptr, text("u"), text("c"),
                                               text("/login/index"));
    env.runUntilIdle();

    auto login = requestsTo("/login/index");
    ASSERT_EQ(login.size(), 2u);
    EXPECT_EQ(login[0].body, "game_id=1001&token=t&platform_id=256&uid=u&channel_code=&os_type=2&");
    EXPECT_EQ(login[1].body, "game_id=1001&token=t&");
}

// Years, then months, then days come off: 2024-03-01 - 19 y = 2005-03-01,
// - 2 m = 2005-01-01, - 1 d = 2004-12-31.
TEST_F(FacadeLoginTest, TheBirthdayIsNineteenYearsTwoMonthsAndOneDayBeforeTheLogin) {
    std::tm march{};
    march.tm_year = 124;
    march.tm_mon = 2;
    march.tm_mday = 1;
    march.tm_hour = 12;
    march.tm_isdst = -1;
    env.setWallTime(static_cast<double>(std::mktime(&march)));

    logIn(R"({"code":"200","data":{"super_user_id":"su1","token":"tok123456"}})");
    auto result = ns::cast<ns::Dictionary>(listener->only("login"));
    ASSERT_TRUE(result);
    EXPECT_EQ(str(result->objectForKey("birthday")), "2004-12-31");
}

TEST_F(FacadeLoginTest, DatesAreWrittenInCalendarYearsNotWeekYears) {
    // 1 March 2024, 12:00 in the device's zone.
    std::tm march{};
    march.tm_year = 124;
    march.tm_mon = 2;
    march.tm_mday = 1;
    march.tm_hour = 12;
    march.tm_isdst = -1;
    auto stamp = std::to_string(static_cast<long>(std::mktime(&march)));
    EXPECT_EQ(str(entity->getTimeFromTimestamp(text(stamp))), "2024-03-01");
    // 2004-12-31 is in week 53 of 2004 but 2005-01-01 starts a week of 2004:
    // a week-based year would print the wrong year for the latter.
    std::tm newYear{};
    newYear.tm_year = 105;
    newYear.tm_mon = 0;
    newYear.tm_mday = 1;
    newYear.tm_hour = 12;
    newYear.tm_isdst = -1;
    EXPECT_EQ(str(entity->getTimeFromTimestamp(text(std::to_string(static_cast<long>(std::mktime(&newYear)))))),
              "2005-01-01");
}

TEST_F(FacadeLoginTest, ASecondLoginReplacesTheUserAndEmptiesTheGoods) {
    logInAs("su1");
    entity->responseArray()->addObject(text("goods"));
    entity->VIPArray()->addObject(text("vip"));
    logInAs("su2");
    EXPECT_EQ(str(entity->super_user_id()), "su2");
    EXPECT_EQ(entity->responseArray()->count(), 0u);
    EXPECT_EQ(entity->VIPArray()->count(), 0u);
}

TEST_F(FacadeLoginTest, AMenuWithTheTimeStoreSetsTheFlagAndAFollowingLoginEmptiesTheRole) {
    server.route("GET", "/menu/index", json(R"({"status":"200","data":["1","3"],"time":{"time_shop_refresh":600}})"));
    entity->setRoleid(text("r1"));
    logInAs("su1");
    EXPECT_TRUE(entity->isTimeStore());
    EXPECT_EQ(listener->names(), std::vector<std::string>{"login"});
    EXPECT_EQ(str(entity->roleid()), "");
}

TEST_F(FacadeLoginTest, LogoutResetsTheSessionAndTellsTheShellAtOnce) {
    logInAs("su1");
    reportRole();
    entity->setIsHallOpen(true);
    entity->setIsTimeStore(true);
    ASSERT_FALSE(entity->isRunLogic());
    listener->calls.clear();

    entity->kvtr_logout();
    // Synchronous: no queue turn is needed.
    ASSERT_EQ(listener->names(), std::vector<std::string>{"logout"});
    EXPECT_EQ(str(listener->calls[0].argument), "success");
    EXPECT_EQ(channel->calls.back(), "LoginOut");
    EXPECT_EQ(str(entity->roleid()), "");
    EXPECT_TRUE(entity->isRunLogic());
    EXPECT_FALSE(entity->isHallOpen());
    EXPECT_FALSE(entity->isTimeStore());
    // The platform user stays until the next login.
    EXPECT_EQ(str(entity->super_user_id()), "su1");

    entity->kvtr_superOrder(text(R"({"good_id":"g1"})"));
    EXPECT_EQ(hudText(), "请先调用上报角色方法");
}

TEST_F(FacadeLoginTest, OnlyTheChannelsLogoutCodeReachesTheShell) {
    entity->kvtr_lightLoginStart();
    env.runUntilIdle();
    channel->loginFailure(-1, text("取消"));
    channel->loginFailure(9, text("失败"));
    env.runUntilIdle();
    EXPECT_TRUE(listener->calls.empty());

    entity->setIsTimeStore(true);
    channel->loginFailure(-9, text("注销"));
    EXPECT_TRUE(listener->calls.empty());  // not before the queue turns
    env.runUntilIdle();
    ASSERT_EQ(listener->names(), std::vector<std::string>{"logout"});
    EXPECT_TRUE(listener->calls[0].onMainThread);
    EXPECT_FALSE(entity->isTimeStore());
}

class FacadeEntryCheckTest : public FacadeLoginTest {};

TEST_F(FacadeEntryCheckTest, ChecksInOrderThenAsksTheServer) {
    entity->kvtr_canEnterGameWithServiceID(text("s1"), text("一区"));
    EXPECT_EQ(hudText(), "请先获取登录回调的super_user_id");
    entity->setSuper_user_id(text("su1"));
    entity->setKvtrgameid(text("(null)"));
    entity->kvtr_canEnterGameWithServiceID(text("s1"), text("一区"));
    EXPECT_EQ(hudText(), "请先登录");
    entity->setKvtrgameid(text("1001"));
    entity->kvtr_canEnterGameWithServiceID(text("  "), text("一区"));
    EXPECT_EQ(hudText(), "service_id值有误");
    entity->kvtr_canEnterGameWithServiceID(text("s1"), nullptr);
    EXPECT_EQ(hudText(), "service_name值有误");
    EXPECT_TRUE(requestsTo("/login/enter").empty());
    EXPECT_TRUE(listener->calls.empty());

    server.route("POST", "/login/enter", json(R"({"code":200})"));
    entity->kvtr_canEnterGameWithServiceID(text(" s 1 "), text("一 区"));
    env.runUntilIdle();
    auto enter = requestsTo("/login/enter");
    ASSERT_EQ(enter.size(), 1u);
    EXPECT_EQ(enter[0].body, "game_id=1001&super_user_id=su1&service_id=s1&service_name=一区&");
    ASSERT_EQ(listener->names(), std::vector<std::string>{"canEnter"});
    EXPECT_EQ(str(listener->calls[0].argument), "1");
    EXPECT_TRUE(listener->calls[0].onMainThread);
}

TEST_F(FacadeEntryCheckTest, ARefusalAnswersZeroAndShowsTheServersMessage) {
    entity->setSuper_user_id(text("su1"));
    server.route("POST", "/login/enter", json(R"({"code":"403","msg":"服务器维护中"})"));
    entity->kvtr_canEnterGameWithServiceID(text("s1"), text("一区"));
    env.runUntilIdle();
    EXPECT_EQ(str(listener->only("canEnter")), "0");
    EXPECT_EQ(hudText(), "服务器维护中");
}

}  // namespace
}  // namespace facadetest
