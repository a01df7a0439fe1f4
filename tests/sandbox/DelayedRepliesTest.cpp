// The channel stand-in's replies held back on the clock.

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "platform/testing/TaskEnvironment.h"
#include "sandbox/ChannelServer.h"
#include "sandbox/GameServer.h"
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

TEST(DelayedReplies, EveryEndpointWithoutADelayOfItsOwnWaitsATimeDrawnFromTheRange) {
    testing::TaskEnvironment env;
    GameServer server;
    server.delays().setDelays(1, 2, 7);
    server.delays().setDelay("luck/index", 0.5);
    // Each reply is held at least the fewest seconds and goes by the most.
    std::map<std::string, int> sent;
    for (const std::string path : {"luck/get", "menu/index", "luck/get"}) {
        std::atomic<int> status{-1};
        std::thread client([&] { status = test::get(server.http(), "/" + path).status; });
        ASSERT_TRUE(server.delays().waitForRequests(path, ++sent[path], 10));
        env.fastForwardBy(0.99);
        EXPECT_EQ(status, -1) << path << " held for the fewest seconds";
        env.fastForwardBy(1.01);
        client.join();
        EXPECT_NE(status, -1) << path;
    }
    // One with a delay of its own keeps it.
    std::atomic<int> status{-1};
    std::thread client([&] { status = test::get(server.http(), "/luck/index").status; });
    ASSERT_TRUE(server.delays().waitForRequests("luck/index", 1, 10));
    env.fastForwardBy(0.5);
    client.join();
    EXPECT_NE(status, -1);
}

}  // namespace
}  // namespace sandbox
