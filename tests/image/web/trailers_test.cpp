// A picture whose reply's trailer lines do not end: the download stops at the
// transport's bound on trailers and the operation ends as too long, in
// little memory.

#include <cstdio>

#include "platform/foundation/URLError.h"
#include "platform/testing/FloodServer.h"
#include "platform/testing/PeakBound.h"
#include "tests/image/web/web_image_test_support.h"

namespace {

using namespace web_test;

TEST_F(WebImageTest, EndlessTrailersEndTheDownloadAsTooLongInLittleMemory) {
    constexpr uint64_t floodCap = 32u << 20;
    testing::FloodServer flood(testing::FloodServer::chunkedStart(LoopbackImageServer::jpeg(8, 8, false), "image/jpeg"),
                               testing::FloodServer::trailerLine(), floodCap, "\r\n");
    testing::ResidentPeak peak;
    ASSERT_TRUE(peak.started());
    Recorder recorder;
    auto operation = manager_->requestImageWithURL(ns::URL::make(flood.url("/endless.jpg")), 0, {}, {},
                                                   recorder.block());
    env_.runUntilIdle();
    const uint64_t growth = peak.growth();
    std::printf("web image under endless trailers: %.1f MiB of trailers sent\n",
                double(flood.floodedBytes()) / testing::MiB);
    const auto finished = recorder.with(TVWebImageStageFinished);
    ASSERT_EQ(finished.size(), 1u);
    EXPECT_FALSE(finished[0].image);
    ASSERT_TRUE(finished[0].error);
    EXPECT_EQ(finished[0].error->code(), ns::URLErrorDataLengthExceedsMaximum);
    testing::expectGrowthUnder(growth, 10'000'000u, "web image under endless trailers");
    EXPECT_LT(flood.floodedBytes(), floodCap);
}

}  // namespace
