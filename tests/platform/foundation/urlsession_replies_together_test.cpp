// What the tasks of all sessions hold together is bounded as each one's
// reply is: many replies at once, each just under a task's bound, fail
// past what all may hold instead of filling memory; and a reply that
// cannot be held for want of memory fails its task, not the process.

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>

#include "platform/foundation/BlockingRead.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/ReplyBudget.h"
#include "platform/foundation/URLError.h"
#include "platform/foundation/URLSession.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/PeakBound.h"
#include "platform/testing/SilentServer.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/platform/foundation/reply_memory_support.h"
#include "tests/platform/foundation/urlsession_support.h"

namespace {

using urltest::MiB;

struct Endings : urltest::Endings {
    ns::URLSessionDataCompletion handler(uint64_t wholeLength) {
        return [this, wholeLength](ns::Ref<ns::Data> data, ns::Ref<ns::URLResponse>, ns::Ref<ns::Error> error) {
            note(data && data->length() == wholeLength, error);
        };
    }
};

ns::Ref<ns::URLSession> sessionFor(int connections,
                                   uint64_t taskBound = ns::URLSessionConfiguration::DefaultMaximumResponseDataLength) {
    auto config = ns::URLSessionConfiguration::ephemeralSessionConfiguration();
    config->setURLCache(nullptr);
    config->setHTTPMaximumConnectionsPerHost(connections);
    config->setMaximumResponseDataLength(taskBound);
    return ns::URLSession::sessionWithConfiguration(config, nullptr, nullptr);
}

class URLSessionRepliesTogetherTest : public ::testing::Test {
protected:
    urltest::TemporaryHome home;
    testing::TaskEnvironment env;
};

TEST_F(URLSessionRepliesTogetherTest, AHundredBombsJustUnderATasksBoundHoldNoMoreThanAllTasksMay) {
    constexpr int tasks = 100;
    // A quarter of the default bound: the hundred still ask for fifteen
    // times what all tasks may hold together, at a quarter of the inflating.
    const uint64_t perTask = ns::URLSessionConfiguration::DefaultMaximumResponseDataLength / 4;
    const uint64_t inflated = perTask - MiB;
    static_assert(tasks * (ns::URLSessionConfiguration::DefaultMaximumResponseDataLength / 4 - MiB) >
                  15 * ns::BytesOfAllSessionReplies);
    testing::SilentServer host;
    auto session = sessionFor(tasks, perTask);
    Endings endings;
    ns::LogCapture log;
    testing::ResidentPeak peak;
    ASSERT_TRUE(peak.started());
    for (int i = 0; i < tasks; ++i) {
        session->dataTaskWithURL(ns::URL::make(host.url("/bomb" + std::to_string(i))), endings.handler(inflated))
            ->resume();
    }
    ASSERT_TRUE(host.waitForConnections(tasks, 30)) << host.connectionCount() << " of " << tasks;
    host.answerAll(urltest::rawBombReply(inflated));
    env.runUntilIdle();
    const uint64_t growth = peak.growth();

    RecordProperty("growth_MiB", std::to_string(growth / MiB));
    EXPECT_EQ(endings.whole + endings.tooLong, tasks) << endings.other << " ended otherwise";
    EXPECT_GT(endings.tooLong, 0);
    EXPECT_TRUE(log.contains("the replies of all tasks in progress would hold more than " +
                             std::to_string(ns::BytesOfAllSessionReplies) + " bytes together"));
    // Each task's part is given back once its completion has run.
    EXPECT_EQ(ns::sessionReplies().held(), 0u);
    // All tasks' bound, as much again of pieces the allocator keeps, and
    // one task's reply joined for its handler: the hundred never hold their
    // replies whole at once.
    testing::expectGrowthUnder(growth, 2 * ns::BytesOfAllSessionReplies + perTask,
                               std::to_string(tasks) + " bombs of " + std::to_string(inflated / MiB) + " MiB at once");

    // The room is free again: one reply may take a task's whole bound.
    testing::SilentServer again;
    Endings alone;
    session->dataTaskWithURL(ns::URL::make(again.url("/bomb")), alone.handler(inflated))->resume();
    ASSERT_TRUE(again.waitForConnections(1, 30));
    again.answerAll(urltest::rawBombReply(inflated));
    env.runUntilIdle();
    EXPECT_EQ(alone.whole, 1);
}

// Memory running out as a reply grows, or as it is joined: each fails its
// task and the blocking read, not the process.
TEST_F(URLSessionRepliesTogetherTest, AReplyThatMemoryCannotHoldOrJoinFailsItsTaskAndItsReadNotTheProcess) {
    testing::LoopbackServer server;
    server.route("GET", "/large", testing::Reply::text(std::string(3 * MiB, 'x'), "application/octet-stream"));
    server.route("GET", "/icon", testing::Reply::text(std::string(20'000'000, 'i'), "image/png"));
    server.route("GET", "/small", testing::Reply::text("ok", "text/plain"));
    for (const bool joins : {false, true}) {
        SCOPED_TRACE(joins ? "the join fails" : "an append fails");
        urltest::FailingBuffers failing(joins, MiB);
        ns::LogCapture log;
        auto session = sessionFor(6);
        Endings large, small;
        session->dataTaskWithURL(ns::URL::make(server.url("/large")), large.handler(3 * MiB))->resume();
        session->dataTaskWithURL(ns::URL::make(server.url("/small")), small.handler(2))->resume();
        env.runUntilIdle();
        EXPECT_EQ(large.tooLong, 1);
        EXPECT_EQ(small.whole, 1);
        EXPECT_TRUE(log.contains(joins ? "no memory left to join its reply of 3145728 bytes" : "no memory left to hold"));

        // The blocking read gathers its reply the same way, and joins it on
        // its transport's worker.
        EXPECT_FALSE(ns::Data::withContentsOfURL(ns::URL::make(server.url("/icon"))));
        if (joins) {
            EXPECT_TRUE(log.contains("/icon: no memory left to join its reply of 20000000 bytes"));
        }
        EXPECT_TRUE(ns::Data::withContentsOfURL(ns::URL::make(server.url("/small"))));
        EXPECT_EQ(ns::sessionReplies().held(), 0u);
        EXPECT_EQ(ns::detail::blockingReads().held(), 0u);
    }
}

}  // namespace
