#include "sandbox/ChannelServer.h"

#include <gtest/gtest.h>

#include "platform/foundation/Data.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/Text.h"
#include "sandbox/ChannelWire.h"
#include "sandbox/Json.h"
#include "tests/sandbox/SandboxClient.h"

namespace sandbox {
namespace {

// A request body in the app's wire format, base64 broken into lines as the
// app sends it.
std::string requestBody(const std::string& json) {
    std::string base64 = ns::Data::withBytes(json)->base64EncodedString(ns::Base64Encoding64CharacterLineLength);
    std::string framed = "x";
    for (size_t i = 0; i < base64.size(); ++i) {
        if (i) framed += '_';
        framed += std::to_string(int(base64[i]) + channel_wire::kKeyTable[i % 64]);
    }
    return channel_wire::gzip(framed + "y");
}

// The JSON object of a reply in the full wire format.
ns::Id codecReply(const test::Reply& reply) {
    auto framed = channel_wire::gunzip(reply.body);
    if (!framed || framed->size() < 2) return nullptr;
    std::string base64;
    size_t i = 0, start = 1;
    while (start < framed->size() - 1) {
        size_t end = framed->find_first_of("_y", start);
        base64 += static_cast<char>(std::stol(framed->substr(start, end - start)) - channel_wire::kKeyTable[i++ % 64]);
        start = end + 1;
    }
    auto json = ns::Data::withBase64EncodedString(base64);
    return json ? jsonValue(json->view()) : nullptr;
}

TEST(ChannelServer, AnswersALoginOfTheKnownAccountInTheWireFormat) {
    ChannelServer server;
    EXPECT_EQ(server.base(), server.http().origin() + "/sdkapicoupon/");
    std::string json = R"({"z":"player1","b":"pass123","c":"3","d":"1001","e":")" + std::string(60, 'E') +
                       R"(","f":"7001","x":"20001"})";
    auto reply = test::post(server.http(), "/sdkapicoupon/login/dologin", requestBody(json));
    ASSERT_EQ(reply.status, 200);
    ns::Id answer = codecReply(reply);
    EXPECT_EQ(test::text(answer, "z"), "1");
    EXPECT_EQ(test::text(answer, "b"), "player1");

    auto refused = codecReply(test::post(server.http(), "/sdkapicoupon/login/dologin",
                                         requestBody(R"({"z":"player1","b":"wrong"})")));
    EXPECT_EQ(test::text(refused, "z"), "0");
}

TEST(ChannelServer, MalformedBodiesGetAnErrorReplyAndTheServerGoesOn) {
    ChannelServer server;
    for (const std::string& body : {std::string(), std::string("plain text"), channel_wire::gzip("x1_2_3y"),
                                    channel_wire::gzip("xy"), channel_wire::gzip("x99999999999999999999y"),
                                    requestBody("[1,2]"), requestBody("{oops")}) {
        auto reply = test::post(server.http(), "/sdkapicoupon/login/dologin", body);
        ASSERT_EQ(reply.status, 200);
        EXPECT_EQ(test::text(codecReply(reply), "z"), "0");
    }
    auto form = test::post(server.http(), "/sdkapicoupon/login/iosxiaohao", "not=gzip");
    auto plain = channel_wire::gunzip(form.body);
    ASSERT_TRUE(plain);
    EXPECT_EQ(test::text(jsonValue(*plain), "code"), "0");
    EXPECT_EQ(test::post(server.http(), "/sdkapicoupon/no/such", requestBody("{}")).status, 404);
    EXPECT_EQ(test::text(codecReply(test::post(server.http(), "/sdkapicoupon/login/logout", requestBody("{}"))), "z"),
              "1")
        << "still serving";
}

TEST(ChannelServer, TheNoticeIsAPlainFormPostWithAJsonReply) {
    ChannelServer server;
    auto reply = test::post(server.http(), "/sdkapicoupon/Sdkmsg/indexios", "z=player1&b=7001&c=1001");
    EXPECT_EQ(test::text(reply.json(), "code"), "1") << reply.body;
}

}  // namespace
}  // namespace sandbox

namespace sandbox {
namespace {

TEST(ChannelServer, ServesTheOperatorsPagesByGetAndNothingElse) {
    ChannelServer server;
    auto agreement = test::get(server.http(), "/sdkapicoupon/Agreement/xieyi");
    EXPECT_EQ(agreement.status, 200);
    EXPECT_NE(agreement.body.find("<title>用户协议</title>"), std::string::npos);
    auto forgot = test::get(server.http(), "/appview/User/forgetpwd?phone=1");
    EXPECT_EQ(forgot.status, 200);
    EXPECT_NE(forgot.body.find("<title>忘记密码</title>"), std::string::npos);
    EXPECT_EQ(test::get(server.http(), "/cdcloud/welcome/box").status, 200);
    EXPECT_EQ(test::get(server.http(), "/sdkapicoupon/login/dologin").status, 404) << "endpoints are POSTs";
    EXPECT_EQ(test::get(server.http(), "/appview/User/nothing").status, 404);
    EXPECT_EQ(test::post(server.http(), "/appview/User/forgetpwd", "").status, 404);
}

TEST(ChannelServer, UserCentreListsComeInThreePagesWithCountersAsNumbersThenText) {
    ChannelServer server;
    auto first = test::post(server.http(), "/sdkapicoupon/Server/lists", "gid=1001&pagecode=1&is_display=1").object();
    ASSERT_TRUE(first);
    EXPECT_TRUE(ns::cast<ns::Number>(first->objectForKey("total_page")));
    auto second = test::post(server.http(), "/sdkapicoupon/Server/lists", "gid=1001&pagecode=2").object();
    EXPECT_EQ(test::text(second, "now_page"), "2");
    auto past = test::post(server.http(), "/sdkapicoupon/Server/lists", "gid=1001&pagecode=4").object();
    EXPECT_EQ(ns::cast<ns::Array>(past->objectForKey("lists"))->count(), 0u);
    auto news = test::post(server.http(), "/sdkapicoupon/News/lists", "gid=1001&num=3").object();
    EXPECT_EQ(ns::cast<ns::Array>(news->objectForKey("lists"))->count(), 3u);

    server.userCentre().setFault("Card/lists", UserCentreStandIn::Fault::NotArray);
    auto odd = test::post(server.http(), "/sdkapicoupon/Card/lists", "gid=1001&pagecode=1").object();
    EXPECT_FALSE(ns::cast<ns::Array>(odd->objectForKey("lists")));
    server.userCentre().setFault("Card/lists", UserCentreStandIn::Fault::ServerError);
    EXPECT_EQ(test::post(server.http(), "/sdkapicoupon/Card/lists", "gid=1001").status, 500);
    server.userCentre().setFault("Card/lists", UserCentreStandIn::Fault::Html);
    EXPECT_FALSE(test::post(server.http(), "/sdkapicoupon/Card/lists", "gid=1001").json());
}

TEST(ChannelServer, AClaimedPackComesBackWithItsCodeOnce) {
    ChannelServer server;
    auto claim = [&](const char* card) {
        return codecReply(test::post(server.http(), "/sdkapicoupon/Card/receive",
                                     requestBody(std::string(R"({"username":"player1","cardid":")") + card + "\"}")));
    };
    EXPECT_EQ(test::text(claim("1"), "a"), "1");
    EXPECT_EQ(test::text(claim("1"), "a"), "0");
    EXPECT_EQ(test::text(claim("2"), "b"), "礼包已抢完");
    auto list = test::post(server.http(), "/sdkapicoupon/Card/lists", "gid=1001&username=player1&pagecode=1").object();
    auto rows = ns::cast<ns::Array>(list->objectForKey("lists"));
    ASSERT_TRUE(rows);
    EXPECT_EQ(test::text(rows->objectAtIndex(0), "code"), "GIFT-1-player1");
    EXPECT_EQ(test::text(rows->objectAtIndex(3), "code"), "");
}

TEST(ChannelServer, ServesTheUserCentresPagesAndPictures) {
    ChannelServer server;
    auto chat = test::get(server.http(), "/robot/h5chat.html?sysNum=1&receiveId=&sourceId=1");
    EXPECT_EQ(chat.status, 200);
    EXPECT_NE(chat.body.find("tovcopy://copy?SANDBOX-GIFT-2024"), std::string::npos);
    EXPECT_NE(test::get(server.http(), "/appview/User/sdkuser?gid=1").body.find("identifySuccess"), std::string::npos);
    auto picture = test::get(server.http(), "/appview/pic/avatar.png");
    EXPECT_EQ(picture.status, 200);
    EXPECT_EQ(picture.body.substr(1, 3), "PNG");
    EXPECT_EQ(test::get(server.http(), "/appview/pic/avatar.gif").status, 404);
}

}  // namespace
}  // namespace sandbox
