// What a session task holds of a reply for itself (a body held until it is
// known where it goes, a reply kept for the URL cache) is resident once,
// as it is counted: never grown by doubling, never copied whole to be
// handed on. The replies are gzip bodies that inflate to just past a power
// of two (where a doubling buffer is at its worst), so the servers hold
// next to nothing and the resident peak is the loader's.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "platform/foundation/Log.h"
#include "platform/foundation/ReplyBudget.h"
#include "platform/foundation/URLCache.h"
#include "platform/foundation/URLSession.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/PeakBound.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/platform/foundation/reply_memory_support.h"
#include "tests/platform/foundation/urlsession_support.h"

namespace {

using testing::MiB;
using testing::Reply;

// 33 MiB: a doubling buffer has grown to 64 MiB to hold it.
constexpr uint64_t Size = 33 * MiB;
// What loading holds past the bytes the loader is counted for: the block
// of a buffer being joined, the transport's decoded pieces, and what a
// process's first load sets up (the session's thread and transport).
constexpr uint64_t Slack = 8 * MiB;

bool allZeros(const ns::Data& data) {
    return std::all_of(data.bytes(), data.bytes() + data.length(), [](uint8_t byte) { return byte == 0; });
}

class URLSessionReplyHeldOnceTest : public ::testing::Test {
protected:
    testing::TaskEnvironment env;
    testing::LoopbackServer server;
};

// A redirect's or a refused challenge's body is held until the loader
// knows whether another request follows; when none does, that body is the
// reply, handed on without a copy.
TEST_F(URLSessionReplyHeldOnceTest, ABodyHeldUntilItBecomesTheReplyIsResidentOnce) {
    const std::string inflating = urltest::gzippedZeros(Size);
    Reply redirect = Reply::redirect("/elsewhere", 302);
    redirect.body = inflating;
    redirect.setHeader("Content-Encoding", "gzip");
    server.route("GET", "/moved", redirect);
    Reply denied = Reply::withStatus(401, inflating);
    denied.setHeader("WWW-Authenticate", "Basic realm=\"x\"");
    denied.setHeader("Content-Encoding", "gzip");
    server.route("GET", "/private", denied);

    auto refusing = std::make_shared<urltest::RecordingDelegate>();
    refusing->onRedirect = [](const ns::Ref<ns::HTTPURLResponse>&, const ns::Ref<ns::URLRequest>&) {
        return ns::Ref<ns::URLRequest>();
    };
    struct Case {
        const char* what;
        const char* path;
        int64_t status;
    };
    for (const Case& c : {Case{"a refused redirect's body", "/moved", 302},
                          Case{"an unanswered challenge's body", "/private", 401}}) {
        SCOPED_TRACE(c.what);
        auto session = urltest::ephemeralSession(refusing);
        urltest::Outcome outcome;
        auto peak = testing::peakFromHere();
        session->dataTaskWithURL(ns::URL::make(server.url(c.path)), outcome.handler())->resume();
        env.runUntilIdle();
        testing::expectGrowthUnder(peak, Size + Slack, std::string(c.what) + " of 33 MiB as the reply");

        EXPECT_EQ(outcome.errorCode(), 0);
        EXPECT_EQ(outcome.status(), c.status);
        ASSERT_TRUE(outcome.data);
        EXPECT_EQ(outcome.data->length(), Size);
        EXPECT_TRUE(allZeros(*outcome.data));
        session->invalidateAndCancel();
        env.runUntilIdle();
    }
    EXPECT_EQ(ns::sessionReplies().held(), 0u);
}

// A reply the cache may keep is gathered twice over, once for its handler
// and once for the cache: each is resident once, and the cache's is handed
// to the cache without a copy.
TEST_F(URLSessionReplyHeldOnceTest, AReplyKeptForTheCacheIsResidentOnceBesideTheHandlersReply) {
    Reply reply = Reply::text(urltest::gzippedZeros(Size), "application/octet-stream");
    reply.setHeader("Content-Encoding", "gzip");
    reply.setHeader("Cache-Control", "max-age=600");
    server.route("GET", "/kept", reply);
    // In memory only, and large enough that the cache keeps a reply of Size
    // (it keeps none past a twentieth of its capacity).
    auto cache = ns::URLCache::make(Size * 21, 0, "");
    auto config = ns::URLSessionConfiguration::ephemeralSessionConfiguration();
    config->setURLCache(cache);
    auto session = ns::URLSession::sessionWithConfiguration(config, nullptr, nullptr);
    const auto request = urltest::request(server.url("/kept"));

    urltest::Outcome outcome;
    auto peak = testing::peakFromHere();
    session->dataTaskWithRequest(request, outcome.handler())->resume();
    env.runUntilIdle();
    testing::expectGrowthUnder(peak, 2 * Size + Slack, "a reply of 33 MiB for its handler and for the cache");

    EXPECT_EQ(outcome.errorCode(), 0);
    ASSERT_TRUE(outcome.data);
    EXPECT_EQ(outcome.data->length(), Size);
    auto kept = cache->cachedResponseForRequest(*request);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->data()->length(), Size);
    EXPECT_TRUE(allZeros(*kept->data()));
    // Served from the cache, the server is not asked again.
    urltest::Outcome again;
    session->dataTaskWithRequest(request, again.handler())->resume();
    env.runUntilIdle();
    ASSERT_TRUE(again.data);
    EXPECT_EQ(again.data->length(), Size);
    EXPECT_EQ(server.requestCount(), 1u);
    session->invalidateAndCancel();
    env.runUntilIdle();
    EXPECT_EQ(ns::sessionReplies().held(), 0u);
}

// Memory running out for a held body's join fails its task as too long to
// hold; for the cache's copy it costs the cache the reply, not the reply.
TEST_F(URLSessionReplyHeldOnceTest, MemoryRunningOutForAHeldBodyFailsItsTaskAndForTheCachesCopyOnlyTheCache) {
    const std::string body(3 * MiB, 'r');
    Reply redirect = Reply::redirect("/elsewhere", 302);
    redirect.body = body;
    server.route("GET", "/moved", redirect);
    Reply kept = Reply::text(body, "application/octet-stream");
    kept.setHeader("Cache-Control", "max-age=600");
    server.route("GET", "/kept", kept);

    {
        urltest::FailingBuffers failing(true, MiB);
        ns::LogCapture log;
        auto refusing = std::make_shared<urltest::RecordingDelegate>();
        refusing->onRedirect = [](const ns::Ref<ns::HTTPURLResponse>&, const ns::Ref<ns::URLRequest>&) {
            return ns::Ref<ns::URLRequest>();
        };
        auto session = urltest::ephemeralSession(refusing);
        urltest::Outcome outcome;
        session->dataTaskWithURL(ns::URL::make(server.url("/moved")), outcome.handler())->resume();
        env.runUntilIdle();
        EXPECT_EQ(outcome.errorCode(), ns::URLErrorDataLengthExceedsMaximum);
        EXPECT_TRUE(log.contains("failed: no memory left to join its reply of 3145728 bytes"));
        EXPECT_EQ(ns::sessionReplies().held(), 0u);
        session->invalidateAndCancel();
        env.runUntilIdle();
    }

    for (const bool joins : {false, true}) {
        SCOPED_TRACE(joins ? "the cache's copy cannot be joined" : "the cache's copy cannot grow");
        urltest::FailingBuffers failing(joins, MiB);
        ns::LogCapture log;
        auto cache = ns::URLCache::make(64 * MiB, 0, "");
        auto config = ns::URLSessionConfiguration::ephemeralSessionConfiguration();
        config->setURLCache(cache);
        // The delegate takes the reply in pieces: only the cache's copy is
        // gathered in a buffer.
        auto delegate = std::make_shared<urltest::RecordingDelegate>();
        auto session = ns::URLSession::sessionWithConfiguration(config, delegate, nullptr);
        const auto request = urltest::request(server.url("/kept"));
        session->dataTaskWithRequest(request)->resume();
        env.runUntilIdle();

        const auto record = delegate->record();
        ASSERT_EQ(record.completions.size(), 1u);
        EXPECT_FALSE(record.completions[0]);
        EXPECT_EQ(record.body, body);
        EXPECT_FALSE(cache->cachedResponseForRequest(*request));
        EXPECT_TRUE(log.contains("keeps nothing in the cache: no memory left to"));
        EXPECT_EQ(ns::sessionReplies().held(), 0u);
        session->invalidateAndCancel();
        env.runUntilIdle();
    }
}

}  // namespace
