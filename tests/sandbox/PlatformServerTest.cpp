#include "sandbox/PlatformServer.h"

#include <gtest/gtest.h>

#include "platform/foundation/String.h"
#include "tests/sandbox/SandboxClient.h"

namespace sandbox {
namespace {

using test::post;
using test::text;
using test::valueAt;

// Signs below were computed apart from this code (MD5 of the values, the
// random text and the shared key).
constexpr const char* kRoleForm =
    "super_user_id=100001&game_id=1001&service_id=1&service_name=S1 Dawn&role_id=10001&role_name=Ari&"
    "role_level=12&power_value=3500&describe=&money=0&experience=&random=12345&"
    "sign=b66739b7fa6e2c6cc8988ad22772afad&os_type=2&";
constexpr const char* kOrderForm =
    "good_id=gems60&good_name=60Gems&platform_id=256&game_id=1001&game_order_sn=cp1700000000&package=app&"
    "super_user_id=100001&power_value=3500&money=6&service_id=1&service_name=S1 Dawn&role_id=500001&"
    "role_name=Ari&remark=&os_type=2&random=54321&sign=d7c9e3fb3c169a3d0da4e78303c99006&";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
    return text;
}

TEST(PlatformServerTest, AcceptsCorrectlySignedRoleReportsAndOrders) {
    PlatformServer server;
    auto role = post(server.http(), "/role/index", kRoleForm);
    ASSERT_EQ(role.status, 200);
    EXPECT_EQ(text(role.json(), "code"), "200");
    std::string roleId = text(valueAt(role.json(), "data"), "role_id");
    EXPECT_FALSE(roleId.empty());
    // The same game role on the same server keeps its aggregator id.
    EXPECT_EQ(text(valueAt(post(server.http(), "/role/index", kRoleForm).json(), "data"), "role_id"), roleId);

    auto order = post(server.http(), "/order/index", kOrderForm);
    EXPECT_EQ(text(order.json(), "code"), "200");
    std::string orderId = text(valueAt(order.json(), "data"), "order_id");
    EXPECT_FALSE(orderId.empty());
    EXPECT_NE(text(valueAt(post(server.http(), "/order/index", kOrderForm).json(), "data"), "order_id"), orderId);
}

TEST(PlatformServerTest, RefusesAWrongSignWithACodeAndAMessage) {
    PlatformServer server;
    // A signed field changed after signing.
    auto role = post(server.http(), "/role/index", replaced(kRoleForm, "service_id=1&", "service_id=2&"));
    EXPECT_EQ(role.status, 200);
    EXPECT_NE(text(role.json(), "code"), "200");
    EXPECT_FALSE(text(role.json(), "msg").empty());
    EXPECT_FALSE(valueAt(valueAt(role.json(), "data"), "role_id"));

    auto order = post(server.http(), "/order/index", replaced(kOrderForm, "random=54321", "random=54322"));
    EXPECT_NE(text(order.json(), "code"), "200");
    EXPECT_FALSE(text(order.json(), "msg").empty());

    // A sign in upper case is not the sign.
    auto upper = post(server.http(), "/role/index",
                      replaced(kRoleForm, "b66739b7fa6e2c6cc8988ad22772afad", "B66739B7FA6E2C6CC8988AD22772AFAD"));
    EXPECT_NE(text(upper.json(), "code"), "200");

    auto unsigned_ = post(server.http(), "/order/index", replaced(kOrderForm, "sign=", "nosign="));
    EXPECT_NE(text(unsigned_.json(), "code"), "200");
    EXPECT_NE(text(unsigned_.json(), "msg").find("sign"), std::string::npos);
}

TEST(PlatformServerTest, ChecksTheSignOverTheUnescapedValues) {
    PlatformServer server;
    // service_id "1&2+3 4" as the app sends it: "&" and "+" escaped, the space raw.
    auto role = post(server.http(), "/role/index",
                     "super_user_id=100001&game_id=1001&service_id=1%262%2B3 4&role_id=7&random=12345&"
                     "sign=d414dc3e89c51a1d7f8f9d287c73c6e4&");
    EXPECT_EQ(text(role.json(), "code"), "200") << role.body;
}

TEST(PlatformServerTest, LoginGivesAStableUserAndAFreshTokenEachTime) {
    PlatformServer server;
    const char* form = "game_id=1001&token=channel-sign&platform_id=256&uid=u1&channel_code=1700000000&os_type=2&";
    auto first = post(server.http(), "/login/index", form);
    auto second = post(server.http(), "/login/special", form);
    auto other = post(server.http(), "/login/index", replaced(form, "uid=u1", "uid=u2"));
    for (const auto* reply : {&first, &second, &other}) EXPECT_EQ(text(reply->json(), "code"), "200");

    ns::Id data = valueAt(first.json(), "data");
    EXPECT_FALSE(text(data, "super_user_id").empty());
    // The app drops a login whose token is shorter than 6 characters.
    EXPECT_GE(text(data, "token").size(), 6u);
    EXPECT_EQ(text(valueAt(second.json(), "data"), "super_user_id"), text(data, "super_user_id"));
    EXPECT_NE(text(valueAt(second.json(), "data"), "token"), text(data, "token"));
    EXPECT_NE(text(valueAt(other.json(), "data"), "super_user_id"), text(data, "super_user_id"));

    auto missing = post(server.http(), "/login/index", "game_id=1001&platform_id=256&uid=u1&");
    EXPECT_EQ(text(missing.json(), "code"), "400");
    EXPECT_NE(text(missing.json(), "msg").find("token"), std::string::npos);
}

TEST(PlatformServerTest, AGivenLoginTokenReachesTheReplyAsValidJson) {
    PlatformServer server;
    server.setLoginToken(std::string("to'ke\"n\\1"));
    auto login = post(server.http(), "/login/index", "game_id=1001&token=t&platform_id=256&uid=u1&");
    EXPECT_EQ(text(valueAt(login.json(), "data"), "token"), "to'ke\"n\\1") << login.body;
}

TEST(PlatformServerTest, InitCarriesTheNoticeOnlyWhenOneIsSet) {
    PlatformServer server;
    const char* form = "platform_id=256&game_id=1001&os_type=2&";
    auto plain = post(server.http(), "/init", form);
    EXPECT_EQ(text(plain.json(), "code"), "200");
    auto notice = ns::cast<ns::Dictionary>(valueAt(valueAt(plain.json(), "data"), "notice_data"));
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->count(), 0u);

    server.setNotice(PlatformServer::Notice{"Maintenance", "Back at 10:00 & later", "1", ""});
    ns::Id announced = valueAt(valueAt(post(server.http(), "/init", form).json(), "data"), "notice_data");
    EXPECT_EQ(text(announced, "notice_title"), "Maintenance");
    EXPECT_EQ(text(announced, "notice_content"), "Back at 10:00 & later");
    EXPECT_EQ(text(announced, "notice_type"), "1");
    EXPECT_TRUE(ns::cast<ns::String>(valueAt(announced, "notice_url")));

    EXPECT_EQ(text(post(server.http(), "/init", "platform_id=256&").json(), "code"), "400");
}

TEST(PlatformServerTest, EntryCheckAndUnknownPaths) {
    PlatformServer server;
    auto enter = post(server.http(), "/login/enter", "game_id=1001&super_user_id=100001&service_id=1&service_name=S1&");
    EXPECT_EQ(text(enter.json(), "code"), "200");
    EXPECT_EQ(text(post(server.http(), "/login/enter", "game_id=1001&super_user_id=100001&").json(), "code"), "400");

    EXPECT_EQ(post(server.http(), "/logout", "").status, 404);
    EXPECT_EQ(test::get(server.http(), "/init").status, 404);
    // Every request is on record, answered or not.
    EXPECT_EQ(server.http().requests().size(), 4u);
}

}  // namespace
}  // namespace sandbox
