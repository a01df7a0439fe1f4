// The channel's transports against loopback servers: what goes on the wire,
// one decoding per reply, replies kept apart per request, failures, the
// time-out, and the endpoint table.

#include <stdlib.h>

#include <optional>

#include "channel/DecodeGzipBase64.h"
#include "channel/NetWorkManager.h"
#include "channel/TVAPIStrings.h"
#include "channel/VRQNetTool.h"
#include "channel/VRQSdpNetTool.h"
#include "channel/vrqBXNGzipUtillity.h"
#include "channel_test_support.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "platform/testing/LoopbackServer.h"

namespace {

using channel_test::ChannelTest;

// A reply as the server sends it in the full wire format.
std::string codecReply(std::string_view json) {
    std::string base64 = ns::Data::withBytes(json)->base64EncodedString();
    std::string framed = DecodeGzipBase64::substitute(std::u16string(base64.begin(), base64.end()));
    return std::string(vrqBXNGzipUtillity::gzipData(ns::Data::withBytes(framed).get())->view());
}

struct Outcome {
    int successes = 0, failures = 0;
    ns::Id reply;
    ns::Ref<ns::Error> error;
    TVCodecTransport::Success success() {
        return [this](const ns::Id& r) { reply = r, ++successes; };
    }
    TVCodecTransport::Failure failure() {
        return [this](const ns::Ref<ns::Error>& e) { error = e, ++failures; };
    }
    std::string field(std::string_view key) const {
        auto dictionary = ns::cast<ns::Dictionary>(reply);
        return dictionary ? ns::textOf(dictionary->objectForKey(key)) : "<no reply>";
    }
};

class TransportTest : public ChannelTest {
protected:
    TransportTest() {
        ::setenv("GAMEHOST_CHANNEL_API_URL", (server.baseURL() + "/sdkapicoupon/").c_str(), 1);
        NetWorkManager::distroyInstance();
        VRQNetTool::distroyInstance();
    }
    testing::LoopbackServer server;
};

TEST_F(TransportTest, APostSendsTheWireFormatAsTextHtmlAndDecodesTheReply) {
    testing::Reply reply = testing::Reply::text(codecReply(R"({"z":"1","x":"ok"})"), "text/html");
    server.route("POST", "/sdkapicoupon/H5pay/pay", reply);
    Outcome outcome;
    NetWorkManager::sharedInstance()->PostCouponURL("H5pay/pay", ns::Dictionary::make({{"z", ns::str("1")}}),
                                                    outcome.success(), outcome.failure());
    env.runUntilIdle();

    ASSERT_EQ(server.requestCount(), 1u);
    auto request = server.requests()[0];
    EXPECT_EQ(request.path, "/sdkapicoupon/H5pay/pay");
    EXPECT_EQ(request.header("Content-Type"), "text/html");
    ASSERT_GE(request.body.size(), 2u);
    EXPECT_EQ(static_cast<unsigned char>(request.body[0]), 0x1f) << "gzip although it says text/html";
    auto sent = DecodeGzipBase64::decodingJSON(ns::Data::withBytes(request.body));
    EXPECT_EQ(ns::textOf(ns::cast<ns::Dictionary>(sent)->objectForKey("z")), "1");

    EXPECT_EQ(outcome.successes, 1);
    EXPECT_EQ(outcome.failures, 0);
    EXPECT_EQ(outcome.field("x"), "ok");
}

TEST_F(TransportTest, AReplySentInTwoPiecesDecodesOnce) {
    std::string body = codecReply(R"({"z":"1","x":"whole"})");
    testing::Reply reply = testing::Reply::chunked({body.substr(0, body.size() / 2), body.substr(body.size() / 2)});
    reply.chunkDelaySeconds = 0.05;
    server.route("POST", "/sdkapicoupon/login/dologin", reply);
    Outcome outcome;
    NetWorkManager::sharedInstance()->PostCouponURL("login/dologin", ns::Dictionary::make({}), outcome.success(),
                                                    outcome.failure());
    env.runUntilIdle();
    EXPECT_EQ(outcome.successes, 1);
    EXPECT_EQ(outcome.field("x"), "whole");
}

TEST_F(TransportTest, OverlappingRequestsEachGetTheirOwnReply) {
    testing::Reply slow = testing::Reply::text(codecReply(R"({"x":"first"})"));
    slow.delaySeconds = 0.2;
    server.route("POST", "/sdkapicoupon/a", slow);
    server.route("POST", "/sdkapicoupon/b", testing::Reply::text(codecReply(R"({"x":"second"})")));
    Outcome first, second;
    auto manager = NetWorkManager::sharedInstance();
    manager->PostCouponURL("a", ns::Dictionary::make({}), first.success(), first.failure());
    manager->PostCouponURL("b", ns::Dictionary::make({}), second.success(), second.failure());
    env.runUntilIdle();
    EXPECT_EQ(first.successes, 1);
    EXPECT_EQ(second.successes, 1);
    EXPECT_EQ(first.field("x"), "first");
    EXPECT_EQ(second.field("x"), "second");
}

TEST_F(TransportTest, AnUndecodableReplyOrAnEmptyOneReachesSuccessAsNothing) {
    server.route("POST", "/sdkapicoupon/bad", testing::Reply::withStatus(500, "<html>error</html>"));
    server.route("POST", "/sdkapicoupon/empty", testing::Reply::text(""));
    Outcome bad, empty;
    NetWorkManager::sharedInstance()->PostCouponURL("bad", ns::Dictionary::make({}), bad.success(), bad.failure());
    NetWorkManager::sharedInstance()->PostCouponURL("empty", ns::Dictionary::make({}), empty.success(),
                                                    empty.failure());
    env.runUntilIdle();
    EXPECT_EQ(bad.successes, 1);
    EXPECT_FALSE(bad.reply);
    EXPECT_EQ(empty.successes, 1) << "one call even without a body";
    EXPECT_FALSE(empty.reply);
}

TEST_F(TransportTest, AnUnreachableServerOrABadAddressFails) {
    ::setenv("GAMEHOST_CHANNEL_API_URL", (testing::LoopbackServer().baseURL() + "/sdkapicoupon/").c_str(), 1);
    ns::LogCapture log;
    Outcome refused;
    NetWorkManager::sharedInstance()->PostCouponURL("login/dologin", ns::Dictionary::make({{"b", ns::str("secret")}}),
                                                    refused.success(), refused.failure());
    env.runUntilIdle();
    EXPECT_EQ(refused.failures, 1);
    EXPECT_EQ(refused.successes, 0);
    EXPECT_TRUE(log.contains("***********************请求失败**************"));
    for (const auto& line : log.lines()) EXPECT_EQ(line.find("secret"), std::string::npos) << line;

    ::unsetenv("GAMEHOST_CHANNEL_API_URL");
    Outcome unset;
    NetWorkManager::sharedInstance()->PostCouponURL("login/dologin", ns::Dictionary::make({}), unset.success(),
                                                    unset.failure());
    env.runUntilIdle();
    EXPECT_EQ(unset.failures, 1);
}

// The one test that waits out the time-out in real time: the transport's
// deadline does not follow the mock clock.
TEST_F(TransportTest, AServerThatNeverAnswersEndsInTheFailureAtTenSeconds) {
    testing::Reply never = testing::Reply::text(codecReply("{}"));
    never.delaySeconds = 30;
    server.route("POST", "/sdkapicoupon/slow", never);
    env.setIdleTimeout(25);
    Outcome outcome;
    NetWorkManager::sharedInstance()->PostCouponURL("slow", ns::Dictionary::make({}), outcome.success(),
                                                    outcome.failure());
    env.runUntilIdle();
    ASSERT_EQ(outcome.failures, 1);
    EXPECT_EQ(outcome.successes, 0);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->code(), -1001) << "timed out";
    server.stop();
}

TEST_F(TransportTest, TheGzipOnlyTransportReadsGzippedJson) {
    auto gz = vrqBXNGzipUtillity::gzipData(ns::Data::withBytes(R"({"code":"1","data":[]})").get());
    server.route("POST", "/sdkapicoupon/login/iosxiaohao", testing::Reply::text(std::string(gz->view())));
    Outcome outcome;
    VRQNetTool::sharedInstance()->POST(TVAPIStrings::endpoint("login/iosxiaohao"), ns::Dictionary::make({}),
                                       outcome.success(), outcome.failure());
    env.runUntilIdle();
    EXPECT_EQ(outcome.field("code"), "1");
    auto sent = DecodeGzipBase64::decodingJSON(ns::Data::withBytes(server.requests()[0].body));
    EXPECT_TRUE(ns::cast<ns::Dictionary>(sent)) << "the request is in the full wire format";
}

TEST_F(TransportTest, ThePlainTransportPostsAFormAndReadsJsonAsTextHtml) {
    server.route("POST", "/sdkapicoupon/Sdkmsg/indexios",
                 testing::Reply::text(R"({"code":"1","data":{"content":"hi"}})", "text/html"));
    ns::Id reply;
    int calls = 0;
    VRQSdpNetTool::sharedTool()->PostWithURLString(
        "Sdkmsg/indexios", ns::Dictionary::make({{"z", ns::str("u")}}), [&](const ns::Id& r) { reply = r, ++calls; },
        [&](const ns::Ref<ns::Error>&) { ++calls; });
    env.runUntilIdle();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(ns::cast<ns::Dictionary>(reply));
    EXPECT_EQ(server.requests()[0].body, "z=u");

    VRQSdpNetTool::sharedTool()->requestWithURLString(server.url("/x"), nullptr, 2, [&](const ns::Id&) { ++calls; },
                                                      [&](const ns::Ref<ns::Error>&) { ++calls; });
    env.runUntilIdle();
    EXPECT_EQ(calls, 1) << "an unknown method sends nothing";
    EXPECT_EQ(server.requestCount(), 1u);
}

TEST_F(TransportTest, TheTableFollowsTheConfiguredBase) {
    ::setenv("GAMEHOST_CHANNEL_API_URL", "https://api.example.test:8443/sdkapicoupon/", 1);
    EXPECT_EQ(TVAPIStrings::at(0), "https://api.example.test:8443/sdkapicoupon/");
    EXPECT_EQ(TVAPIStrings::at(1), "zuroBox://");
    EXPECT_EQ(TVAPIStrings::at(7), "activityURL");
    EXPECT_EQ(TVAPIStrings::at(8), "api.example.test://");
    EXPECT_EQ(TVAPIStrings::at(9), "https://api.example.test:8443/cdcloud/welcome/box");
    EXPECT_EQ(TVAPIStrings::at(10), "login/dologin");
    EXPECT_EQ(TVAPIStrings::at(TVAPIStrings::H5Pay), "H5pay/pay");
    EXPECT_EQ(TVAPIStrings::at(45), "Agreement/xieyi");
    EXPECT_EQ(TVAPIStrings::at(46), "https://api.example.test:8443/appview/User/sdkuser");
    EXPECT_EQ(TVAPIStrings::at(47), "https://api.example.test:8443/appview/User/forgetpwd");
    EXPECT_EQ(TVAPIStrings::at(48), "");
    EXPECT_EQ(TVAPIStrings::endpoint("H5pay/pay"), "https://api.example.test:8443/sdkapicoupon/H5pay/pay");
    EXPECT_EQ(NetWorkManager::relaceurlString("a.btsdk.b"), "a..b") << "no bundle identifier here";
}

}  // namespace
