// A reply's head costs what its fields become once parsed, many times its
// bytes: a head of more fields than any server of the app sends is refused
// (-1011, logged) before its fields are held, on every path; ordinary heads
// of hundreds of fields load as they are.

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/foundation/CurlTransport.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/HTTPURLResponse.h"
#include "platform/foundation/Log.h"
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

constexpr double Patience = 60;  // real seconds for loopback replies to come

// A 200 reply whose head holds `fields` short lines (11 bytes each, as
// many as curl's bound on a head's bytes allows), after `interim` if given.
std::string replyWithFields(int fields, const std::string& interim = {}) {
    std::string reply = interim + "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 2\r\n";
    char line[32];
    for (int i = 0; i < fields; ++i) {
        std::snprintf(line, sizeof line, "X%05d: 1\r\n", i);
        reply += line;
    }
    return reply + "\r\nok";
}

struct Codes {
    std::mutex lock;
    std::map<int64_t, int> counts;

    ns::URLSessionDataCompletion handler() {
        return [this](ns::Ref<ns::Data>, ns::Ref<ns::URLResponse>, ns::Ref<ns::Error> error) {
            std::lock_guard guard(lock);
            ++counts[error ? error->code() : 0];
        };
    }
};

class URLSessionReplyHeadsTest : public ::testing::Test {
protected:
    testing::TaskEnvironment env;
};

TEST_F(URLSessionReplyHeadsTest, AHundredHeadsOfTwentySevenThousandLinesAreRefusedBeforeTheyAreHeld) {
    constexpr int replies = 100;
    testing::SilentServer host;
    auto session = urltest::ephemeralSession(nullptr, replies);
    Codes codes;
    ns::LogCapture log;
    for (int i = 0; i < replies; ++i) {
        session->dataTaskWithURL(ns::URL::make(host.url("/head" + std::to_string(i))), codes.handler())->resume();
    }
    ASSERT_TRUE(host.waitForConnections(replies, Patience)) << host.connectionCount() << " of " << replies;
    const std::string reply = replyWithFields(27'000);
    auto peak = testing::peakFromHere();
    host.answerAll(reply);
    env.runUntilIdle();
    const uint64_t growth = peak.growth();

    std::lock_guard guard(codes.lock);
    EXPECT_EQ(codes.counts[ns::URLErrorBadServerResponse], replies);
    EXPECT_TRUE(log.contains("is refused: its head has more than " + std::to_string(ns::detail::MaxHeaderFields) +
                             " fields"));
    // Each transfer stops at its cap: 4,000 fields parsed, about 600 KiB in
    // curl's list and ours, for each of the hundred, and as much again that
    // the allocator keeps. Parsed whole, the hundred heads would hold 425 MiB.
    testing::expectGrowthUnder(growth, 128 * MiB, "a hundred heads of 27,000 lines at once");
    session->invalidateAndCancel();
    env.runUntilIdle();
}

TEST_F(URLSessionReplyHeadsTest, TheCapCountsTheFieldsOfInterimHeadsTooAndBindsTheBlockingRead) {
    // Each head under the cap, together past it.
    const int half = int(ns::detail::MaxHeaderFields / 2) + 1;
    std::string interim = "HTTP/1.1 100 Continue\r\n";
    for (int i = 0; i < half; ++i) interim += "Y" + std::to_string(i) + ": 1\r\n";
    interim += "\r\n";
    testing::SilentServer host(replyWithFields(half, interim));
    auto session = urltest::ephemeralSession();
    urltest::Outcome outcome;
    ns::LogCapture log;
    session->dataTaskWithURL(ns::URL::make(host.url("/interim")), outcome.handler())->resume();
    ASSERT_TRUE(host.waitForConnections(1, Patience));
    env.runUntilIdle();
    EXPECT_EQ(outcome.errorCode(), ns::URLErrorBadServerResponse);

    // The blocking read, on a transport of its own, is refused the same way.
    testing::SilentServer flood(replyWithFields(27'000));
    EXPECT_FALSE(ns::Data::withContentsOfURL(ns::URL::make(flood.url("/flood"))));
    EXPECT_TRUE(log.contains("/flood: its head has more than " + std::to_string(ns::detail::MaxHeaderFields) + " fields"));
    session->invalidateAndCancel();
    env.runUntilIdle();
}

TEST_F(URLSessionReplyHeadsTest, AReplyOfFiveHundredOrdinaryFieldsLoadsWithEveryField) {
    testing::LoopbackServer server;
    auto reply = testing::Reply::text("fields", "text/plain");
    for (int i = 0; i < 500; ++i) reply.setHeader("X-Ordinary-Field-" + std::to_string(i), "value " + std::to_string(i));
    server.route("GET", "/ordinary", reply);
    auto session = urltest::ephemeralSession();
    urltest::Outcome outcome;
    session->dataTaskWithURL(ns::URL::make(server.url("/ordinary")), outcome.handler())->resume();
    env.runUntilIdle();

    EXPECT_EQ(outcome.errorCode(), 0);
    EXPECT_EQ(outcome.body(), "fields");
    auto http = ns::cast<ns::HTTPURLResponse>(outcome.response);
    ASSERT_TRUE(http);
    EXPECT_GE(http->allHeaderFields()->count(), 500u);
    auto value = ns::cast<ns::String>(http->allHeaderFields()->objectForKey(ns::String::make("x-ordinary-field-499")));
    ASSERT_TRUE(value);
    EXPECT_EQ(value->utf8(), "value 499");
    session->invalidateAndCancel();
    env.runUntilIdle();
}

}  // namespace
