// What the HTTP client holds of its replies: each reply once (handed on to
// the serializer, not copied), within what the session's tasks may hold
// together; and nothing of a task that failed.

#include <gtest/gtest.h>

#include <cstdio>
#include <mutex>
#include <string>

#include "net/SDPHTTPResponseSerializer.h"
#include "net/SDPURLSessionManager.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/ReplyBudget.h"
#include "platform/foundation/URLError.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/ResidentMemory.h"
#include "platform/testing/SilentServer.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/net/http_session_support.h"
#include "tests/platform/foundation/reply_memory_support.h"

namespace {

using urltest::MiB;

struct Endings : urltest::Endings {
    SDPURLSessionManager::CompletionHandler handler() {
        return [this](const ns::Ref<ns::URLResponse>&, const ns::Id&, const ns::Ref<ns::Error>& error) {
            note(true, error);
        };
    }
};

class HTTPSessionRepliesTest : public ::testing::Test {
protected:
    ns::Ref<SDPURLSessionManager> managerFor(int connections, uint64_t bound = 0) {
        auto configuration = httptest::ephemeralConfiguration();
        configuration->setHTTPMaximumConnectionsPerHost(connections);
        if (bound) configuration->setMaximumResponseDataLength(bound);
        auto made = SDPURLSessionManager::make(configuration);
        made->setResponseSerializer(SDPHTTPResponseSerializer::serializer());
        return made;
    }
    void TearDown() override {
        if (manager) manager->invalidateSessionCancelingTasks(true);
        env.runUntilIdle();
    }

    testing::TaskEnvironment env;
    ns::Ref<SDPURLSessionManager> manager;
};

TEST_F(HTTPSessionRepliesTest, TwentyGetsAnsweredByBombsHoldNoMoreThanTheSessionsTasksMay) {
    constexpr int gets = 20;
    const uint64_t perTask = ns::URLSessionConfiguration::DefaultMaximumResponseDataLength;
    testing::SilentServer host;
    manager = managerFor(gets);
    Endings endings;
    testing::ResidentPeak peak;
    ASSERT_TRUE(peak.started());
    for (int i = 0; i < gets; ++i) {
        auto request = ns::URLRequest::make(ns::URL::make(host.url("/bomb" + std::to_string(i))));
        manager->dataTaskWithRequest(request, endings.handler())->resume();
    }
    ASSERT_TRUE(host.waitForConnections(gets, 30)) << host.connectionCount() << " of " << gets;
    host.answerAll(urltest::rawBombReply(perTask - MiB, "application/octet-stream"));
    env.runUntilIdle();
    const uint64_t growth = peak.growth();

    std::printf("%d HTTP-client GETs answered by bombs: resident growth %.1f MiB\n", gets, double(growth) / MiB);
    RecordProperty("growth_MiB", std::to_string(growth / MiB));
    EXPECT_EQ(endings.whole + endings.tooLong, gets) << endings.other << " ended otherwise";
    EXPECT_GT(endings.tooLong, 0);
    if constexpr (testing::PeaksMeasureTheProduct) {
        // What all tasks may hold, as much again of pieces let go that the
        // allocator keeps, and one reply joined for its serializer; once
        // each reply was held three times over, 1.2 GB for these twenty.
        EXPECT_LT(growth, 2 * ns::BytesOfAllSessionReplies + perTask);
    }
}

TEST_F(HTTPSessionRepliesTest, AFailedTaskLeavesNothingOfItsReplyInItsNotification) {
    testing::LoopbackServer server;
    server.route("GET", "/long", testing::Reply::text(std::string(2 * MiB, 'x'), "application/octet-stream"));
    manager = managerFor(6, MiB);
    httptest::EventLog log;
    httptest::NotificationRecorder recorder(log, {SDPNetworkingTaskDidCompleteNotification});
    Endings endings;
    manager->dataTaskWithRequest(ns::URLRequest::make(ns::URL::make(server.url("/long"))), endings.handler())->resume();
    env.runUntilIdle();

    EXPECT_EQ(endings.tooLong, 1);
    ASSERT_EQ(log.count(SDPNetworkingTaskDidCompleteNotification), 1);
    auto data = ns::cast<ns::Data>(log.events().back().userInfo->objectForKey(SDPNetworkingTaskDidCompleteResponseDataKey));
    ASSERT_TRUE(data);
    EXPECT_EQ(data->length(), 0u);
}

}  // namespace
