// The account API end to end against the channel API stand-in: request keys
// and their order, reply handling, saved accounts, and unreachable servers.

#ifdef CHANNEL_TESTS_WITH_SANDBOX

#include <optional>

#include "channel/DecodeGzipBase64.h"
#include "channel/NSObject+TVLoginAPI.h"
#include "channel/VRQWindowManager.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "sandbox/ChannelWire.h"
#include "stand_in_support.h"

namespace {

using channel_test::StandInTest;
using namespace TVLoginAPI;

std::optional<std::string> textOf(const ns::Ref<ns::String>& text) {
    return text ? std::optional<std::string>(text->utf8()) : std::nullopt;
}

std::vector<std::string> keysOf(const ns::Ref<ns::Dictionary>& dictionary) {
    std::vector<std::string> keys;
    if (dictionary)
        dictionary->enumerateKeysAndObjectsUsingBlock(
            [&](const ns::Id& key, const ns::Id&, bool&) { keys.push_back(ns::textOf(key)); });
    return keys;
}

// What "TV_accounts" holds, as "name:password" entries.
std::vector<std::string> savedAccounts() {
    std::vector<std::string> out;
    auto accounts = ns::UserDefaults::standardUserDefaults()->arrayForKey("TV_accounts");
    for (uint64_t i = 0; accounts && i < accounts->count(); ++i) {
        auto pair = ns::cast<ns::Array>(accounts->objectAtIndex(i));
        out.push_back(ns::textOf(pair->objectAtIndex(0)) + ":" + ns::textOf(pair->objectAtIndex(1)));
    }
    return out;
}

struct LoginOutcome {
    ns::Ref<LoginResult> result;
    std::optional<std::string> message, code;
    int calls = 0;
};

class AccountAPITest : public StandInTest {
protected:
    LoginOutcome login(const std::string& name, const std::string& password) {
        LoginOutcome outcome;
        LonginWithUsername(
            ns::str(name), ns::str(password),
            [&](const ns::Ref<LoginResult>& result) { outcome.result = result, ++outcome.calls; },
            [&](const ns::Ref<ns::String>& message, const ns::Ref<ns::String>& code) {
                outcome.message = textOf(message), outcome.code = textOf(code), ++outcome.calls;
            });
        env.runUntilIdle();
        return outcome;
    }
    void registerAccount(const std::string& name) {
        int calls = 0;
        registerNewWithUsername(ns::str(name), ns::str("pw" + name), [&](const ns::Ref<RegisterResult>&) { ++calls; },
                                [&](const ns::Ref<ns::String>&) { ++calls; });
        env.runUntilIdle();
        ASSERT_EQ(calls, 1);
    }
};

TEST_F(AccountAPITest, KeyTablesOfTheAppAndTheStandInAgree) {
    EXPECT_EQ(DecodeGzipBase64::keyUnits(), std::u16string(sandbox::channel_wire::kKeyTable, 64));
}

TEST_F(AccountAPITest, ALoginSendsItsKeysInOrderAndSavesTheAccount) {
    ns::LogCapture log;
    auto outcome = login("player1", "pass123");
    ASSERT_EQ(outcome.calls, 1);
    ASSERT_TRUE(outcome.result);
    EXPECT_EQ(ns::textOf(outcome.result->userName), "player1");
    EXPECT_FALSE(outcome.message);

    auto sent = lastRequest("login/dologin");
    EXPECT_EQ(keysOf(sent), (std::vector<std::string>{"z", "b", "c", "d", "e", "f", "x"}));
    EXPECT_EQ(ns::textOf(sent->objectForKey("c")), "3");
    EXPECT_EQ(ns::textOf(sent->objectForKey("d")), "g42");
    EXPECT_EQ(ns::textOf(sent->objectForKey("e")), channel_test::kIDFA);
    EXPECT_EQ(ns::textOf(sent->objectForKey("f")), "agent3");
    EXPECT_EQ(ns::textOf(sent->objectForKey("x")), "app7");
    EXPECT_EQ(savedAccounts(), (std::vector<std::string>{"player1:pass123"}));
    for (const auto& line : log.lines()) EXPECT_EQ(line.find("pass123"), std::string::npos) << line;
}

TEST_F(AccountAPITest, LoggingInAsABThenAKeepsEachAccountOnceLatestLast) {
    registerAccount("bob");
    ASSERT_EQ(login("player1", "pass123").calls, 1);
    ASSERT_TRUE(login("bob", "pwbob").result);
    ASSERT_TRUE(login("player1", "pass123").result);
    EXPECT_EQ(savedAccounts(), (std::vector<std::string>{"bob:pwbob", "player1:pass123"}));

    auto refused = login("bob", "wrong");
    EXPECT_FALSE(refused.result);
    EXPECT_EQ(refused.message, "用户名或密码错误");
    EXPECT_EQ(refused.code, "0");
    EXPECT_EQ(savedAccounts(), (std::vector<std::string>{"bob:pwbob", "player1:pass123"})) << "unchanged";
}

TEST_F(AccountAPITest, AnUnreachableServerFailsTheLoginWith501AndAToast) {
    pointAtNothing();
    ns::LogCapture log;
    auto outcome = login("player1", "pass123");
    EXPECT_EQ(outcome.calls, 1);
    EXPECT_EQ(outcome.message, "无法连接服务器");
    EXPECT_EQ(outcome.code, "501");
    EXPECT_TRUE(log.contains("screen: toast: 无法连接服务器"));
    EXPECT_TRUE(savedAccounts().empty());
}

TEST_F(AccountAPITest, AnErrorPageForTheLoginOrTheRealNameCheckEndsAsAnUnreachableServer) {
    // A server error page is no channel reply: the player hears the same as
    // when the server cannot be reached, not an empty refusal.
    testing::LoopbackServer failing;
    for (const char* endpoint : {"login/dologin", "login/idcheck"})
        failing.route("POST", std::string("/sdkapicoupon/") + endpoint,
                      testing::Reply::withStatus(500, "<html><body>Internal Server Error</body></html>"));
    ::setenv("GAMEHOST_CHANNEL_API_URL", (failing.baseURL() + "/sdkapicoupon/").c_str(), 1);
    ns::LogCapture log;
    auto outcome = login("player1", "pass123");
    EXPECT_EQ(outcome.calls, 1);
    EXPECT_FALSE(outcome.result);
    EXPECT_EQ(outcome.message, "无法连接服务器");
    EXPECT_EQ(outcome.code, "501");
    EXPECT_TRUE(log.contains("screen: toast: 无法连接服务器"));
    EXPECT_TRUE(savedAccounts().empty());

    log.clear();
    int calls = 0;
    std::optional<std::string> message;
    postRealNameToServerWithRealName(ns::str("张三"), ns::str("110101199001011234"),
                                     [&](const ns::Ref<rzResult>&) { ++calls; },
                                     [&](const ns::Ref<ns::String>& m) { message = textOf(m), ++calls; });
    env.runUntilIdle();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(message, "无法连接服务器");
    EXPECT_TRUE(log.contains("screen: toast: 无法连接服务器"));
    EXPECT_EQ(failing.requestCount(), 2u);
}

TEST_F(AccountAPITest, WithoutTheTVPlistTheIdsGoAsEmptyTexts) {
    std::filesystem::remove(folder + "/resources/TV.plist");
    ShareVale::distroyInstance();
    login("player1", "pass123");
    auto sent = lastRequest("login/dologin");
    ASSERT_TRUE(sent);
    EXPECT_EQ(ns::textOf(sent->objectForKey("x")), "");
    EXPECT_EQ(ns::textOf(sent->objectForKey("d")), "");
}

TEST_F(AccountAPITest, RegistrationByNameAndByPhoneWithTheSMSCode) {
    std::optional<std::string> message;
    ns::Ref<RegisterResult> registered;
    registerNewWithUsername(
        ns::str("carol"), ns::str("pw1"), [&](const ns::Ref<RegisterResult>& r) { registered = r; },
        [&](const ns::Ref<ns::String>& m) { message = textOf(m); });
    env.runUntilIdle();
    ASSERT_TRUE(registered);
    EXPECT_EQ(ns::textOf(registered->userName), "carol");
    EXPECT_EQ(keysOf(lastRequest("login/register")),
              (std::vector<std::string>{"z", "b", "c", "d", "e", "f", "x", "h"}));

    registerNewWithUsername(ns::str("carol"), ns::str("pw1"), [&](const ns::Ref<RegisterResult>&) {},
                            [&](const ns::Ref<ns::String>& m) { message = textOf(m); });
    env.runUntilIdle();
    EXPECT_EQ(message, "用户名已存在");

    ns::Ref<RegisterResult> sms;
    getAuthCodeWithPhoneNumber(ns::str("13812345678"), [&](const ns::Ref<RegisterResult>& r) { sms = r; },
                               [&](const ns::Ref<ns::String>& m) { message = textOf(m); });
    env.runUntilIdle();
    ASSERT_TRUE(sms);
    EXPECT_EQ(ns::textOf(sms->mesage), "验证码已发送");
    EXPECT_FALSE(sms->userName) << "only the message is kept";
    auto smsRequest = lastRequest("login/yzm");
    EXPECT_EQ(keysOf(smsRequest), (std::vector<std::string>{"z", "b", "c"}));
    EXPECT_TRUE(ns::cast<ns::Number>(smsRequest->objectForKey("c"))) << "the code type is a number";

    std::string code = server.smsCodeFor("13812345678");
    ASSERT_FALSE(code.empty());
    ns::Ref<RegisterResult> byPhone;
    registerNewWithPhoneNumber(ns::str("13812345678"), ns::str(code), ns::str("pw2"),
                               [&](const ns::Ref<RegisterResult>& r) { byPhone = r; },
                               [&](const ns::Ref<ns::String>& m) { message = textOf(m); });
    env.runUntilIdle();
    ASSERT_TRUE(byPhone);
    EXPECT_EQ(keysOf(lastRequest("login/phoneRegister")),
              (std::vector<std::string>{"z", "i", "b", "c", "d", "e", "f", "x", "h"}));
    EXPECT_TRUE(login("13812345678", "pw2").result);

    pointAtNothing();
    registerNewWithUsername(ns::str("dave"), ns::str("pw"), [&](const ns::Ref<RegisterResult>&) {},
                            [&](const ns::Ref<ns::String>& m) { message = textOf(m); });
    env.runUntilIdle();
    EXPECT_EQ(message, "无法链接服务器");
}

TEST_F(AccountAPITest, RealNameCheck) {
    ShareVale::sharedInstance()->setUserName(ns::str("player1"));
    ns::Ref<rzResult> result;
    std::optional<std::string> message;
    postRealNameToServerWithRealName(ns::str("张三"), ns::str("110101199001011234"),
                                     [&](const ns::Ref<rzResult>& r) { result = r; },
                                     [&](const ns::Ref<ns::String>& m) { message = textOf(m); });
    env.runUntilIdle();
    ASSERT_TRUE(result);
    EXPECT_EQ(ns::textOf(result->rzStatus), "1");
    auto sent = lastRequest("login/idcheck");
    EXPECT_EQ(keysOf(sent), (std::vector<std::string>{"r", "i", "id"}));
    EXPECT_EQ(ns::textOf(sent->objectForKey("i")), "player1");

    postRealNameToServerWithRealName(ns::str("张三"), ns::str("1"), [&](const ns::Ref<rzResult>&) {},
                                     [&](const ns::Ref<ns::String>& m) { message = textOf(m); });
    env.runUntilIdle();
    EXPECT_EQ(message, "身份信息有误");

    pointAtNothing();
    ns::LogCapture log;
    postRealNameToServerWithRealName(ns::str("张三"), ns::str("1"), [&](const ns::Ref<rzResult>&) {},
                                     [&](const ns::Ref<ns::String>& m) { message = textOf(m); });
    env.runUntilIdle();
    EXPECT_EQ(message, "无法连接服务器");
    EXPECT_TRUE(log.contains("screen: toast: 无法连接服务器"));
}

TEST_F(AccountAPITest, RoleReportOutcomes) {
    auto defaults = ns::UserDefaults::standardUserDefaults();
    defaults->setObjectForKey(ns::Dictionary::make({{"roleId", ns::str("r1")}, {"roleName", ns::str("剑客")},
                                                    {"roleLevel", ns::str("9")}, {"zoneId", ns::str("s1")},
                                                    {"zoneName", ns::str("一区")}, {"ext", ns::str("e")}}),
                              "roleInfo");
    auto vale = ShareVale::sharedInstance();
    vale->setUserName(ns::str("player1"));
    vale->setSubUserName(ns::str("player1_1"));
    int successes = 0;
    std::optional<std::string> message;
    auto report = [&] {
        SetRoleInfoWithInfosuccess([&] { ++successes; }, [&](const ns::Ref<ns::String>& m) { message = textOf(m); });
        env.runUntilIdle();
    };
    report();
    EXPECT_EQ(successes, 1) << "the number 1 counts";
    auto sent = lastRequest("User/setRole");
    EXPECT_EQ(keysOf(sent), (std::vector<std::string>{"z", "b", "c", "d", "e", "f", "x", "h", "i", "xh"}));
    EXPECT_EQ(ns::textOf(sent->objectForKey("d")), "剑客");
    EXPECT_EQ(ns::textOf(sent->objectForKey("xh")), "player1_1");

    vale->setUserName(ns::str("nobody"));  // the stand-in answers {"code":"2"}
    report();
    EXPECT_EQ(message, "信息错误");

    pointAtNothing();
    report();
    EXPECT_EQ(message, "无法链接服务器");
    EXPECT_EQ(successes, 1);
}

TEST_F(AccountAPITest, NoticeSubAccountsLogoutAndPlayTime) {
    auto vale = ShareVale::sharedInstance();
    vale->setUserName(ns::str("player1"));
    ns::Ref<GetNotice> notice;
    GetNoticeWithSuccess([&](const ns::Ref<GetNotice>& n) { notice = n; },
                         [](const ns::Ref<ns::String>&, const ns::Ref<ns::String>&) {});
    env.runUntilIdle();
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->status->utf8(), "1");
    auto form = server.http().requests().back();
    EXPECT_EQ(form.body, "b=agent3&c=g42&z=player1") << "a form body in the HTTP client's key order";

    std::vector<ns::Ref<VRQSubNameModel>> subs;
    getSubNameListWithUserName(ns::str("player1"), [&](const auto& list) { subs = list; }, [] { FAIL(); });
    env.runUntilIdle();
    ASSERT_EQ(subs.size(), 2u);
    EXPECT_EQ(subs[0]->username->utf8(), "player1_1");
    EXPECT_EQ(subs[0]->sign()->utf8(), "sign-player1-1");
    EXPECT_EQ(keysOf(lastRequest("login/iosxiaohao")), (std::vector<std::string>{"z", "c", "e", "f"}));

    int listed = 0;
    getSubNameListWithUserName(ns::str("nobody"), [&](const auto&) { ++listed; }, [&] { ++listed; });
    env.runUntilIdle();
    EXPECT_EQ(listed, 0) << "a refusal calls nothing";

    doUploadUserOlineTime();
    env.runUntilIdle();
    EXPECT_EQ(keysOf(lastRequest("login/setTime")), (std::vector<std::string>{"n", "g"}));

    ns::LogCapture log;
    LonginOutSendToService();
    env.runUntilIdle();
    EXPECT_EQ(keysOf(lastRequest("login/logout")), (std::vector<std::string>{"z", "b", "c", "e", "f", "h", "d"}));
    EXPECT_EQ(textOf(vale->userName()), "");
    EXPECT_TRUE(log.contains("screen: toast: 退出成功"));

    vale->setUserName(nullptr);
    doUploadUserOlineTime();
    env.runUntilIdle();
    EXPECT_EQ(keysOf(lastRequest("login/setTime")), (std::vector<std::string>{"g"})) << "no user name, no n";

    pointAtNothing();
    std::optional<std::string> code;
    GetNoticeWithSuccess([](const ns::Ref<GetNotice>&) {},
                         [&](const ns::Ref<ns::String>&, const ns::Ref<ns::String>& c) { code = textOf(c); });
    env.runUntilIdle();
    EXPECT_EQ(code, "501");
}

TEST_F(AccountAPITest, ARefusedNoticeIsAFailureWithTheServersCode) {
    int shown = 0;
    std::vector<std::string> failures;
    auto ask = [&] {
        GetNoticeWithSuccess([&](const ns::Ref<GetNotice>&) { ++shown; },
                             [&](const ns::Ref<ns::String>& m, const ns::Ref<ns::String>& c) {
                                 failures.push_back(textOf(m).value_or("(nil)") + "|" + textOf(c).value_or("(nil)"));
                             });
        env.runUntilIdle();
    };
    server.setReply("Sdkmsg/indexios", ns::Dictionary::make({{"code", ns::str("0")}, {"msg", ns::str("无公告")}}));
    ask();
    server.setReply("Sdkmsg/indexios", ns::Dictionary::make({{"code", ns::num(0)}}));
    ask();
    server.setReply("Sdkmsg/indexios", ns::Dictionary::make({{"msg", ns::str("无公告")}}));
    ask();
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(failures, (std::vector<std::string>{"获取失败|0", "获取失败|0", "获取失败|(nil)"}));
}

}  // namespace

#endif  // CHANNEL_TESTS_WITH_SANDBOX
