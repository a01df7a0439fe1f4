// The HTTP client's GET of a reply whose trailer lines do not end: it fails
// once, as too long, in little memory.

#include <gtest/gtest.h>

#include <cstdio>

#include "net/SDPHTTPSessionManager.h"
#include "platform/foundation/URLError.h"
#include "platform/testing/FloodServer.h"
#include "platform/testing/PeakBound.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/net/http_session_support.h"

namespace {

TEST(HTTPSessionTrailersTest, EndlessTrailersFailTheGetAsTooLongInLittleMemory) {
    constexpr uint64_t floodCap = 32u << 20;
    testing::TaskEnvironment env;
    testing::FloodServer flood(testing::FloodServer::chunkedStart(R"({"a":1})", "application/json"),
                               testing::FloodServer::trailerLine(), floodCap, "\r\n");
    auto manager = SDPHTTPSessionManager::make(ns::URL::make(flood.url("/")), httptest::ephemeralConfiguration());
    testing::ResidentPeak peak;
    ASSERT_TRUE(peak.started());
    int successes = 0;
    std::vector<ns::Ref<ns::Error>> failures;
    manager->GET(
        "endless", nullptr, [&](const ns::Ref<ns::URLSessionDataTask>&, const ns::Id&) { ++successes; },
        [&](const ns::Ref<ns::URLSessionDataTask>&, const ns::Ref<ns::Error>& error) { failures.push_back(error); });
    env.runUntilIdle();
    const uint64_t growth = peak.growth();
    std::printf("HTTP client under endless trailers: %.1f MiB of trailers sent\n",
                double(flood.floodedBytes()) / testing::MiB);
    EXPECT_EQ(successes, 0);
    ASSERT_EQ(failures.size(), 1u);
    ASSERT_TRUE(failures[0]);
    EXPECT_EQ(failures[0]->domain(), ns::URLErrorDomain);
    EXPECT_EQ(failures[0]->code(), ns::URLErrorDataLengthExceedsMaximum);
    testing::expectGrowthUnder(growth, 10'000'000u, "HTTP client under endless trailers");
    EXPECT_LT(flood.floodedBytes(), floodCap);
    manager->invalidateSessionCancelingTasks(true);
    env.runUntilIdle();
}

}  // namespace
