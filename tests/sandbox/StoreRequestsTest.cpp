// The game server's store requests and the activity pages: the time
// store's bundles, gift claims, signed charge orders and the voucher page.

#include <gtest/gtest.h>

#include "platform/foundation/Array.h"
#include "platform/security/Digest.h"
#include "platform/security/Hex.h"
#include "sandbox/ActivityPageServer.h"
#include "sandbox/GameServer.h"
#include "sandbox/PlatformServer.h"
#include "tests/sandbox/SandboxClient.h"

namespace sandbox {
namespace {

using test::get;
using test::post;
using test::text;
using test::valueAt;

std::string chargeForm(const std::string& sign) {
    return "super_user_id=u1&game_id=1001&service_id=s1&service_name=S1&role_id=r1&role_name=Ann&good_id=12&"
           "remark=12|3|7|8|0&random=12345&sign=" +
           sign;
}

TEST(StoreRequests, TheTimeStoreListsItsBundlesForACompleteQuery) {
    GameServer game;
    auto reply = get(game.http(), "/timestore/goodsnew?game_id=1001&role_id=r1&server_id=s1");
    ns::Id data = valueAt(reply.json(), "data");
    EXPECT_EQ(text(reply.json(), "status"), "200");
    EXPECT_EQ(ns::cast<ns::Array>(valueAt(data, "list"))->count(), 2u);
    auto missing = get(game.http(), "/timestore/goodsnew?game_id=1001&role_id=r1");
    EXPECT_EQ(text(missing.json(), "msg"), "server_id is missing");
}

TEST(StoreRequests, ClaimsSucceedButLevelTwoIsNotReached) {
    GameServer game;
    auto claimed = post(game.http(), "/gmstore/index", "token=t&super_user_id=u&role_id=r&gm_id=1&gift_id=1");
    EXPECT_EQ(text(claimed.json(), "status"), "200");
    auto notReached = post(game.http(), "/vipstore/index", "token=t&super_user_id=u&role_id=r&vip_id=2&gift_id=12");
    EXPECT_EQ(text(notReached.json(), "status"), "500");
    auto incomplete = post(game.http(), "/gmstore/index", "token=t&super_user_id=u&role_id=r&gift_id=1");
    EXPECT_EQ(text(incomplete.json(), "msg"), "gm_id is missing");
}

TEST(StoreRequests, AChargeOrderNeedsItsSignAndGetsANewOrderEachTime) {
    GameServer game;
    const std::string sign = sec::hexLower(sec::md5(std::string("u11001s1r11212|3|7|8|012345") +
                                                    "5d1f7e20c4b98a3361e0fa47d2c85b19"));
    auto first = post(game.http(), "/charge/order", chargeForm(sign));
    EXPECT_EQ(text(first.json(), "status"), "200") << first.body;
    EXPECT_EQ(text(valueAt(first.json(), "data"), "order_id"), "co1");
    EXPECT_EQ(text(valueAt(first.json(), "data"), "remark"), "12|3|7|8|0");
    auto second = post(game.http(), "/charge/order", chargeForm(sign));
    EXPECT_EQ(text(valueAt(second.json(), "data"), "order_id"), "co2");
    auto forged = post(game.http(), "/charge/order", chargeForm(std::string(32, '0')));
    EXPECT_EQ(text(forged.json(), "status"), "401");
    EXPECT_EQ(text(forged.json(), "msg"), "sign error");
}

TEST(StoreRequests, TheActivityServerServesTheVoucherAndNoticePages) {
    ActivityPageServer activity;
    auto voucher = get(activity.http(), "/128voucher/index.html?os_type=2");
    EXPECT_EQ(voucher.status, 200);
    EXPECT_NE(voucher.body.find("get_remark"), std::string::npos);
    EXPECT_EQ(voucher.body.find("</", voucher.body.find("<script>") + 8), voucher.body.find("</script>"));
    EXPECT_EQ(get(activity.http(), "/notice.html").status, 200);
    EXPECT_EQ(get(activity.http(), "/other").status, 404);
}

TEST(StoreRequests, NoticesComeAsTextLinkedTextOrAPage) {
    auto plain = noticeOf("Hello", "1", "http://a/notice.html");
    EXPECT_EQ(plain.type, "1");
    EXPECT_EQ(plain.content, "Hello");
    auto linked = noticeOf("He said \"hi\"", "2", "http://a/notice.html");
    EXPECT_EQ(linked.type, "2");
    EXPECT_EQ(linked.content, R"({"content":"He said \"hi\"","url_content":"He said \"hi\"","url":"http://a/notice.html"})");
    auto web = noticeOf("Hello", "web", "http://a/notice.html");
    EXPECT_EQ(web.url, "http://a/notice.html");
    EXPECT_NE(web.type, "1");
    EXPECT_NE(web.type, "2");
}

}  // namespace
}  // namespace sandbox
