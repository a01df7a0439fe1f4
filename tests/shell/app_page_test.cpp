// The page's side of the bridge where things go off the plain road: a page
// server that is down, texts that need escaping, messages out of turn.

#include "app_test_support.h"

#include "net/JKCodec.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/MutableDictionary.h"

using apptest::str;

namespace {

class PageTest : public apptest::AppTest {
protected:
    // Waits for an alert and checks it is the load-failure alert.
    void expectConnectionFailureAlert() {
        ASSERT_TRUE(settle([&] { return driver.presentedAlert() != nullptr; }));
        auto alert = driver.presentedAlert();
        EXPECT_EQ(str(alert->title()), "提示");
        EXPECT_EQ(str(alert->message()), "连接服务器失败");
        ASSERT_EQ(alert->actions().size(), 1u);
        EXPECT_EQ(str(alert->actions().front()->title()), "重试");
        EXPECT_EQ(alert->actions().front()->style(), ui::AlertActionStyle::Default);
    }

    // The text the screen logged for its last order.
    std::string lastOrderText() const {
        const std::string prefix = "kvtr_superOrder=";
        std::string found;
        for (const auto& line : log.lines()) {
            if (auto at = line.find(prefix); at != std::string::npos) found = line.substr(at + prefix.size());
        }
        return found;
    }
};

}  // namespace

TEST_F(PageTest, FailedFirstLoadShowsTheAlertAndRetryLoads) {
    int port = pages->http().port();
    pages.reset();  // nothing listens there now
    launch();
    expectConnectionFailureAlert();
    EXPECT_EQ(screen()->pageFinished(), 0);
    EXPECT_EQ(channel->count("login"), 0);

    pages = std::make_unique<sandbox::GamePageServer>(port);
    ASSERT_TRUE(driver.answerAlert("重试"));
    ASSERT_TRUE(settle([&] { return screen()->pageFinished() == 1; }));
    EXPECT_FALSE(driver.presentedAlert());
    ASSERT_TRUE(settle([&] { return channel->count("login") == 1; }));
}

TEST_F(PageTest, QuoteAndBackslashInTokenReachThePageIntact) {
    const std::string token = "to'k\"en\\n\u2028end";
    platform.setLoginToken(token);
    launch();
    loginThroughPage();

    auto callback = lastPageCallback("loginNotify");
    ASSERT_TRUE(callback);
    auto data = ns::cast<ns::Dictionary>(callback->objectForKey("data"));
    ASSERT_TRUE(data);
    EXPECT_EQ(str(data->objectForKey("token")), token);

    // The page got the very JSON text the screen encoded.
    auto expected = ns::MutableDictionary::make();
    expected->setObjectForKey(ns::String::make("loginNotify"), "action");
    expected->setObjectForKey(ns::Dictionary::make({{"super_user_id", screen()->super_user_id()},
                                                    {"token", ns::String::make(token)}}),
                              "data");
    ASSERT_FALSE(pageCallbacks().empty());
    EXPECT_EQ(pageCallbacks().front(), JKCodec::JSONString(*expected)->utf8());
}

TEST_F(PageTest, PayBeforeLoginSendsTheShortOrder) {
    launch();
    ASSERT_TRUE(settle([&] { return screen()->pageFinished() == 1 && channel->count("login") == 1; }));
    // The channel login is left unanswered, so no user id is stored.
    post(R"j({"action":"pay","data":{"good_id":"g1","good_name":"Gems","game_order_sn":"cp1","role_level":"3",)j"
         R"j("money":"6","service_id":"1","service_name":"S1","role_id":"r1","role_name":"Ari","remark":""}})j");
    ASSERT_TRUE(settle([&] { return !lastOrderText().empty(); }));

    auto bytes = ns::String(lastOrderText()).dataUsingEncoding(ns::StringEncoding::UTF8);
    auto order = ns::cast<ns::Dictionary>(ns::JSONSerialization::JSONObjectWithData(bytes, 0));
    ASSERT_TRUE(order) << lastOrderText();
    std::vector<std::string> keys;
    auto orderKeys = order->allKeys();
    for (const auto& key : *orderKeys) keys.push_back(str(key));
    EXPECT_EQ(keys, (std::vector<std::string>{"good_id", "good_name", "game_order_sn", "role_level"}));
    // The facade refuses an order without a user: nothing is placed.
    settle([] { return false; }, 2);
    EXPECT_EQ(requestsTo(platform.http(), "/order/index"), 0);
    EXPECT_EQ(channel->count("pay"), 0);
}

TEST_F(PageTest, MisspeltResourceStoreActionIsTheOneThatOpensTheHall) {
    launch();
    loginThroughPage();
    // The page reports its role and then pays; the payment is left open.
    ASSERT_TRUE(settle([&] { return channel->count("pay") == 1; }));

    post(R"({"action":"openResourceStore"})");
    settle([] { return false; }, 3);
    EXPECT_EQ(resourceHalls.shows() + verticalResourceHalls.shows(), 0);
    EXPECT_EQ(resourceHalls.views.size() + verticalResourceHalls.views.size(), 0u);

    post(R"({"action":"openResourseStore"})");
    EXPECT_TRUE(settle([&] { return resourceHalls.shows() + verticalResourceHalls.shows() == 1; }));
}

TEST_F(PageTest, RoleReportWaitsForTheReloadAfterLogout) {
    launch();
    loginThroughPage();
    ASSERT_TRUE(settle([&] { return channel->count("pay") == 1; }));
    ASSERT_EQ(requestsTo(platform.http(), "/role/index"), 1);

    // With the page server gone the reload cannot finish.
    int port = pages->http().port();
    pages.reset();
    post(R"({"action":"logout"})");
    ASSERT_TRUE(settle([&] { return log.contains("page: callback clientlogout"); }));
    EXPECT_EQ(channel->count("LoginOut"), 1);
    expectConnectionFailureAlert();
    EXPECT_EQ(screen()->pageFinished(), 0);

    // A role message in between is dropped.
    post(R"({"action":"uploadGameRoleInfo","data":{"role_id":"10001","role_name":"Ari","role_level":"12",)"
         R"("service_id":"1","service_name":"S1 Dawn","power_value":"1"}})");
    settle([] { return false; }, 2);
    EXPECT_EQ(requestsTo(platform.http(), "/role/index"), 1);

    pages = std::make_unique<sandbox::GamePageServer>(port);
    ASSERT_TRUE(driver.answerAlert("重试"));
    ASSERT_TRUE(settle([&] { return screen()->pageFinished() == 1 && channel->count("login") == 2; }));
}
