// What the loader holds of its downloads, from their first byte until they
// are decoded and written: within its bound together, however many images
// come at once; and an image that memory cannot hold fails its operation,
// not the process.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Log.h"
#include "platform/foundation/ReplyBudget.h"
#include "platform/foundation/URLSessionConfiguration.h"
#include "platform/foundation/URLError.h"
#include "platform/testing/ResidentMemory.h"
#include "platform/testing/SilentServer.h"
#include "tests/image/web/web_image_test_support.h"
#include "tests/platform/foundation/reply_memory_support.h"

namespace {

using namespace web_test;
using urltest::MiB;

int countWithCode(const std::vector<Delivery>& deliveries, int64_t code) {
    int n = 0;
    for (const auto& delivery : deliveries) {
        if (delivery.error && delivery.error->code() == code) ++n;
    }
    return n;
}

TEST_F(WebImageTest, SixtyImagesAnsweredByBombsHoldNoMoreThanTheLoaderMay) {
    constexpr int images = 60;
    // The default session's connections per host: every image waits at once.
    constexpr int perHost = 4;
    const uint64_t perTask = ns::URLSessionConfiguration::DefaultMaximumResponseDataLength;
    static_assert(TVWebImageManager::MaxHeldBytes >= (63ull << 20), "one image just under a task's bound fits");
    std::vector<std::unique_ptr<testing::SilentServer>> hosts;
    for (int i = 0; i < images / perHost; ++i) hosts.push_back(std::make_unique<testing::SilentServer>());
    Recorder recorder;
    ns::LogCapture log;
    testing::ResidentPeak peak;
    ASSERT_TRUE(peak.started());
    std::vector<ns::Ref<TVWebImageOperation>> operations;
    for (int i = 0; i < images; ++i) {
        auto url = ns::URL::make(hosts[size_t(i / perHost)]->url("/image" + std::to_string(i) + ".png"));
        operations.push_back(manager_->requestImageWithURL(url, TVWebImageOptionRefreshCache, {}, {}, recorder.block()));
    }
    for (auto& host : hosts) ASSERT_TRUE(host->waitForConnections(perHost, 30)) << host->connectionCount();
    const std::string bomb = urltest::rawBombReply(perTask - MiB, "image/png");
    for (auto& host : hosts) host->answerAll(bomb);
    env_.runUntilIdle();
    const uint64_t growth = peak.growth();

    std::printf("%d images answered by bombs: resident growth %.1f MiB\n", images, double(growth) / MiB);
    RecordProperty("growth_MiB", std::to_string(growth / MiB));
    const auto finished = recorder.with(TVWebImageStageFinished);
    EXPECT_EQ(finished.size(), size_t(images));
    EXPECT_GT(countWithCode(finished, ns::URLErrorDataLengthExceedsMaximum), 0);
    EXPECT_TRUE(log.contains("the downloads and decodes in progress would hold more than 67108864 bytes together"));
    // Given back once decoded and written, or failed.
    EXPECT_EQ(TVWebImageManager::heldBytes().held(), 0u);
    if constexpr (testing::PeaksMeasureTheProduct) {
        // What the session's tasks may hold on the way to the loader, as
        // much again of pieces let go that the allocator keeps, and the
        // loader's own bound: once 5 GB, and an abort.
        EXPECT_LT(growth, 2 * ns::detail::BytesOfAllSessionReplies + TVWebImageManager::MaxHeldBytes);
    }
}

TEST_F(WebImageTest, AnImageMemoryCannotHoldFailsItsOperationNotTheProcess) {
    server_.serve("/large.png", testing::ImageReply{.body = std::string(3 * MiB, 'x')});
    struct FailingAppends {
        FailingAppends() { TVWebImageOperation::failAppendsPastForTesting(MiB); }
        ~FailingAppends() { TVWebImageOperation::failAppendsPastForTesting(UINT64_MAX); }
    } failing;
    ns::LogCapture log;
    Recorder recorder;
    auto operation = request("/large.png", TVWebImageOptionRefreshCache, recorder);
    env_.runUntilIdle();
    const auto finished = recorder.with(TVWebImageStageFinished);
    ASSERT_EQ(finished.size(), 1u);
    ASSERT_TRUE(finished[0].error);
    EXPECT_EQ(finished[0].error->code(), ns::URLErrorDataLengthExceedsMaximum);
    EXPECT_TRUE(log.contains("no memory left to hold"));
    EXPECT_EQ(TVWebImageManager::heldBytes().held(), 0u);
}

}  // namespace
