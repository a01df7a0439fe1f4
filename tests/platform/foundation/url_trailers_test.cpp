// A chunked reply whose trailer lines do not end: the body bounds never see
// them, so they are bounded on their own, on every path that reads a reply
// (data and upload tasks, the blocking read). The flood stops at 32 MiB only
// so that a client which fails to stop ends too.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/foundation/CurlTransport.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/URLSession.h"
#include "platform/testing/FloodServer.h"
#include "platform/testing/PeakBound.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/platform/foundation/reply_memory_support.h"
#include "tests/platform/foundation/urlsession_support.h"

namespace {

using testing::FloodServer;
using urltest::MiB;
using urltest::Outcome;

constexpr uint64_t floodCap = 32 * MiB;
// What a transfer that stops in time may cost, with the test's own noise.
constexpr uint64_t allowedGrowth = 10'000'000;

class URLTrailersTest : public ::testing::Test {
protected:
    void expectGrowthWithinBound(const testing::ResidentPeak& peak, const char* path) {
        const uint64_t growth = peak.growth();
        std::printf("%s under endless trailers: %.1f MiB of trailers sent\n", path,
                    double(flood.floodedBytes()) / MiB);
        RecordProperty(std::string(path) + "_growth_KiB", std::to_string(growth / 1024));
        testing::expectGrowthUnder(growth, allowedGrowth, std::string(path) + " under endless trailers");
        // Stopped short of the cap: the client stopped reading.
        EXPECT_LT(flood.floodedBytes(), floodCap) << path;
    }

    urltest::TemporaryHome home;
    testing::TaskEnvironment env;
    FloodServer flood{FloodServer::chunkedStart("hello"), FloodServer::trailerLine(), floodCap, "\r\n"};
    ns::Ref<ns::URLSession> session = urltest::ephemeralSession();
};

TEST_F(URLTrailersTest, DataTaskFailsAsTooLongInLittleMemory) {
    ns::LogCapture log;
    testing::ResidentPeak peak;
    ASSERT_TRUE(peak.started());
    Outcome outcome;
    session->dataTaskWithURL(ns::URL::make(flood.url("/trailers")), outcome.handler())->resume();
    env.runUntilIdle();

    EXPECT_EQ(outcome.calls, 1);
    EXPECT_EQ(outcome.errorCode(), ns::URLErrorDataLengthExceedsMaximum);
    EXPECT_FALSE(outcome.data);
    EXPECT_TRUE(log.contains(flood.url("/trailers") + " failed: its trailers are longer than 102400 bytes"));
    expectGrowthWithinBound(peak, "data task");
}

TEST_F(URLTrailersTest, UploadFailsAsTooLongInLittleMemory) {
    testing::ResidentPeak peak;
    ASSERT_TRUE(peak.started());
    auto request = urltest::request(flood.url("/upload"));
    request->setHTTPMethod("POST");
    Outcome outcome;
    session->uploadTaskWithRequestFromData(request, ns::Data::withBytes(std::string(4096, 'u')), outcome.handler())
        ->resume();
    env.runUntilIdle();

    EXPECT_EQ(outcome.calls, 1);
    EXPECT_EQ(outcome.errorCode(), ns::URLErrorDataLengthExceedsMaximum);
    expectGrowthWithinBound(peak, "upload");
}

TEST_F(URLTrailersTest, DelegateTaskFailsAsTooLongAfterTheBody) {
    auto delegate = std::make_shared<urltest::RecordingDelegate>();
    auto withDelegate = urltest::ephemeralSession(delegate);
    withDelegate->dataTaskWithURL(ns::URL::make(flood.url("/trailers")))->resume();
    env.runUntilIdle();

    const auto record = delegate->record();
    EXPECT_EQ(record.body, "hello");
    ASSERT_EQ(record.completions.size(), 1u);
    ASSERT_TRUE(record.completions[0]);
    EXPECT_EQ(record.completions[0]->code(), ns::URLErrorDataLengthExceedsMaximum);
}

TEST_F(URLTrailersTest, BlockingReadGivesNilInLittleMemory) {
    ns::LogCapture log;
    testing::ResidentPeak peak;
    ASSERT_TRUE(peak.started());
    EXPECT_FALSE(ns::Data::withContentsOfURL(ns::URL::make(flood.url("/icon.png"))));
    EXPECT_TRUE(log.contains(flood.url("/icon.png") + ": its trailers are longer than 102400 bytes"));
    expectGrowthWithinBound(peak, "blocking read");
}

TEST(URLTrailers, TrailersUpToTheBoundLeaveTheReplyWhole) {
    // 100 trailer lines of a kilobyte: within the bound.
    urltest::TemporaryHome home;
    testing::TaskEnvironment env;
    const uint64_t within = ns::detail::MaxTrailerBytes - 2 * FloodServer::trailerLine().size();
    FloodServer polite(FloodServer::chunkedStart("hello"), FloodServer::trailerLine(), within, "\r\n");
    auto session = urltest::ephemeralSession();
    Outcome outcome;
    session->dataTaskWithURL(ns::URL::make(polite.url("/trailers")), outcome.handler())->resume();
    env.runUntilIdle();
    EXPECT_EQ(outcome.errorCode(), 0);
    EXPECT_EQ(outcome.body(), "hello");
    EXPECT_EQ(ns::Data::withContentsOfURL(ns::URL::make(polite.url("/icon.png")))->view(), "hello");
}

}  // namespace
