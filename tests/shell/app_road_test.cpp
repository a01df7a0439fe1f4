// The sample page walks the app through a player's road: login, role
// report, two payments, the two stores and logout, with the channel SDK faked
// and the sandbox's servers behind the facade.

#include "app_test_support.h"

#include "net/JKCodec.h"
#include "platform/foundation/MutableDictionary.h"

using apptest::str;

namespace {

class RoadTest : public apptest::AppTest {
protected:
    // Login answered, and the page's role report through to the channel.
    void reachRoleReport() {
        launch();
        loginThroughPage();
        ASSERT_TRUE(settle([&] { return lastPageCallback("uploadGameRoleInfo") != nullptr; }));
    }

    // The page's order has opened the channel's payment centre.
    void reachPayment() {
        reachRoleReport();
        ASSERT_TRUE(settle([&] { return channel->count("pay") == 1; }));
    }
};

}  // namespace

TEST_F(RoadTest, LoginReachesThePageWithUserIdAndToken) {
    platform.setLoginToken("token-0123456789");
    launch();
    loginThroughPage();

    EXPECT_EQ(requestsTo(platform.http(), "/login/index"), 1);
    auto callback = lastPageCallback("loginNotify");
    ASSERT_TRUE(callback);
    auto data = ns::cast<ns::Dictionary>(callback->objectForKey("data"));
    ASSERT_TRUE(data);
    EXPECT_EQ(data->count(), 2u);
    EXPECT_EQ(str(data->objectForKey("token")), "token-0123456789");
    ASSERT_TRUE(screen()->super_user_id());
    EXPECT_FALSE(screen()->super_user_id()->utf8().empty());
    EXPECT_EQ(str(data->objectForKey("super_user_id")), screen()->super_user_id()->utf8());
    EXPECT_EQ(screen()->serviceToken()->utf8(), "token-0123456789");

    // Nothing to escape: the script is the plain form, and the page got the
    // JSON text as the screen encoded it.
    auto expected = ns::MutableDictionary::make();
    expected->setObjectForKey(ns::String::make("loginNotify"), "action");
    expected->setObjectForKey(ns::Dictionary::make({{"super_user_id", screen()->super_user_id()},
                                                    {"token", screen()->serviceToken()}}),
                              "data");
    const std::string json = JKCodec::JSONString(*expected)->utf8();
    ASSERT_FALSE(pageCallbacks().empty());
    EXPECT_EQ(pageCallbacks().front(), json);
    EXPECT_TRUE(log.contains("CallbackFromIOS   value=CallbackFromIOS('" + json + "')"));
}

TEST_F(RoadTest, RoleReportGoesToThePlatformAndTheChannel) {
    reachRoleReport();

    EXPECT_EQ(requestsTo(platform.http(), "/role/index"), 1);
    ASSERT_EQ(channel->count("role"), 1);
    ASSERT_EQ(channel->roleArguments.size(), 6u);
    EXPECT_EQ(channel->roleArguments[1], "Ari");
    EXPECT_EQ(channel->roleArguments[2], "12");
    EXPECT_EQ(channel->roleArguments[3], "1");
    EXPECT_EQ(channel->roleArguments[4], "S1 Dawn");
    auto callback = lastPageCallback("uploadGameRoleInfo");
    EXPECT_EQ(str(callback->objectForKey("data")), "");
}

TEST_F(RoadTest, PaySuccessReachesThePageAsStatusOne) {
    reachPayment();
    EXPECT_EQ(requestsTo(platform.http(), "/order/index"), 1);
    ASSERT_EQ(channel->payArguments.size(), 6u);
    EXPECT_EQ(channel->payArguments[1], "6");
    EXPECT_EQ(channel->payArguments[3], "60Gems");
    const std::string orderId = channel->payArguments[5];
    EXPECT_FALSE(orderId.empty());

    channel->paySuccess(ns::String::make("ok"), ns::String::make("6"));
    ASSERT_TRUE(settle([&] { return lastPageCallback("payNotify") != nullptr; }));
    auto data = ns::cast<ns::Dictionary>(lastPageCallback("payNotify")->objectForKey("data"));
    ASSERT_TRUE(data);
    EXPECT_EQ(str(data->objectForKey("status")), "1");
    EXPECT_EQ(str(data->objectForKey("order_id")), orderId);
    EXPECT_EQ(str(data->objectForKey("channel_order")), orderId);
    // The game's own order number, as the page sent it.
    EXPECT_EQ(str(data->objectForKey("cp_order")).rfind("cp", 0), 0u);
}

TEST_F(RoadTest, StoresOpenAfterTheRoleReportAndLogoutReloadsThePage) {
    reachPayment();
    channel->paySuccess(ns::String::make("ok"), ns::String::make("6"));
    // The page's second order, after the first result.
    ASSERT_TRUE(settle([&] { return channel->count("pay") == 2; }));
    channel->paySuccess(ns::String::make("ok"), ns::String::make("6"));

    // The page opens the store hall, then the resource hall, 2 s apart.
    ASSERT_TRUE(settle([&] { return gmShops.shows() + verticalGmShops.shows() == 1; }));
    ns::Ref<KVTRGMShopView> hall;
    if (!verticalGmShops.views.empty()) hall = verticalGmShops.views.front();
    else hall = gmShops.views.front();
    ASSERT_TRUE(hall->userInfo);
    EXPECT_NE(hall->userInfo->utf8().find("\"role_name\""), std::string::npos);
    ASSERT_TRUE(settle([&] { return resourceHalls.shows() + verticalResourceHalls.shows() == 1; }));

    // Then it logs out: the channel session ends, the page hears of it, and
    // the page is loaded again, whose first act is a new login.
    ASSERT_TRUE(settle([&] { return log.contains("page: road complete"); }));
    EXPECT_EQ(channel->count("LoginOut"), 1);
    EXPECT_TRUE(log.contains("page: callback clientlogout"));
    ASSERT_TRUE(settle([&] { return channel->count("login") == 2; }));
    EXPECT_EQ(screen()->pageFinished(), 1);
    // The user id of the last login outlives the logout.
    EXPECT_TRUE(screen()->super_user_id());
}
