// The channel stand-in's replies held back on the clock.

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "platform/testing/TaskEnvironment.h"
#include "sandbox/ChannelServer.h"
#include "tests/sandbox/SandboxClient.h"

namespace sandbox {
namespace {

constexpr const char* kNotice = "/sdkapicoupon/Sdkmsg/indexios";
constexpr const char* kNoticeBody = "z=player1&b=7001&c=1001";

TEST(DelayedReplies, AReplyGoesOutWhenTheClockReachesItsTimeAndOthersAtOnce) {
    testing::TaskEnvironment env;
    ChannelServer server;
    server.delays().setDelay("Sdkmsg/indexios", 5);
    std::atomic<int> status{-1};
    std::thread client([&] { status = test::post(server.http(), kNotice, kNoticeBody).status; });
    ASSERT_TRUE(server.delays().waitForRequests("Sdkmsg/indexios", 1, 10));
    // Another endpoint is not held.
    EXPECT_EQ(test::post(server.http(), "/sdkapicoupon/pay/getPayWayios", "").status, 200);
    env.fastForwardBy(4.5);
    EXPECT_EQ(status, -1) << "held until its time";
    env.fastForwardBy(0.5);
    client.join();
    EXPECT_EQ(status, 200);
}

TEST(DelayedReplies, AServerThatStopsLetsAHeldReplyGo) {
    testing::TaskEnvironment env;
    auto server = std::make_unique<ChannelServer>();
    server->delays().setDelay("Sdkmsg/indexios", 60);
    int status = -1;
    std::thread client([&] { status = test::post(server->http(), kNotice, kNoticeBody).status; });
    ASSERT_TRUE(server->delays().waitForRequests("Sdkmsg/indexios", 1, 10));
    server.reset();
    client.join();
    EXPECT_EQ(status, 200);
}

}  // namespace
}  // namespace sandbox
