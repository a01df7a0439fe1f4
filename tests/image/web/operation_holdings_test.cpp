// What the loader holds of its downloads, from their first byte until they
// are decoded and written: within its bound together, however many images
// come at once; and an image that memory cannot hold fails its operation,
// not the process.

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/dispatch/Queue.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/ReplyBudget.h"
#include "platform/foundation/URLSessionConfiguration.h"
#include "platform/foundation/URLError.h"
#include "platform/testing/PeakBound.h"
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

    RecordProperty("growth_MiB", std::to_string(growth / MiB));
    const auto finished = recorder.with(TVWebImageStageFinished);
    EXPECT_EQ(finished.size(), size_t(images));
    EXPECT_GT(countWithCode(finished, ns::URLErrorDataLengthExceedsMaximum), 0);
    // Past one bound or the other, whichever the timing of the pieces met.
    EXPECT_TRUE(log.contains("the downloads and decodes in progress would hold more than") ||
                log.contains("the replies of all tasks in progress would hold more than"));
    // Given back once decoded and written, or failed.
    EXPECT_EQ(TVWebImageManager::heldBytes().held(), 0u);
    // What the session's tasks may hold on the way to the loader, as much
    // again of pieces let go that the allocator keeps, and the loader's own
    // bound: the sixty replies are never held whole at once.
    testing::expectGrowthUnder(growth, 2 * ns::BytesOfAllSessionReplies + TVWebImageManager::MaxHeldBytes,
                               std::to_string(images) + " images answered by bombs");
}

// Holds every decode queue until it opens.
struct DecodeGate {
    urltest::Latch latch;

    void close() {
        for (size_t i = 0; i < tv_webimage::decodeQueueCount(); ++i) {
            dispatch::async(tv_webimage::nextDecodeQueue(), [this] { latch.wait(); });
        }
    }
    void openUp() { latch.open(); }
};

TEST_F(WebImageTest, ADownloadWaitingForItsDecodeCountsAgainstTheNext) {
    // Each under a task's bound, together under what the session's tasks
    // may hold, but not under what the loader may hold.
    const uint64_t size = 40 * MiB;
    static_assert(2 * (40 * MiB) > TVWebImageManager::MaxHeldBytes);
    static_assert(2 * (40 * MiB) < ns::BytesOfAllSessionReplies);
    DecodeGate decodes;
    decodes.close();
    testing::SilentServer first, second;
    Recorder waiting, next;
    ns::LogCapture log;
    auto a = manager_->requestImageWithURL(ns::URL::make(first.url("/a.png")), TVWebImageOptionRefreshCache,
                                           waiting.progressBlock(), {}, waiting.block());
    ASSERT_TRUE(first.waitForConnections(1, 30));
    first.answerAll(urltest::rawBombReply(size, "image/png"));
    ASSERT_TRUE(waiting.waitForReceived(int64_t(size)));

    auto b = manager_->requestImageWithURL(ns::URL::make(second.url("/b.png")), TVWebImageOptionRefreshCache,
                                           next.progressBlock(), {}, next.block());
    ASSERT_TRUE(second.waitForConnections(1, 30));
    second.answerAll(urltest::rawBombReply(size, "image/png"));
    EXPECT_TRUE(next.waitForDeliveries(1));
    decodes.openUp();
    env_.runUntilIdle();

    const auto failed = next.with(TVWebImageStageFinished);
    ASSERT_EQ(failed.size(), 1u);
    ASSERT_TRUE(failed[0].error);
    EXPECT_EQ(failed[0].error->code(), ns::URLErrorDataLengthExceedsMaximum);
    EXPECT_LE(next.received(), int64_t(TVWebImageManager::MaxHeldBytes - size));
    EXPECT_TRUE(log.contains("the downloads and decodes in progress would hold more than 67108864 bytes together"));
    // The first had all its bytes, and its turn at the decode.
    EXPECT_EQ(waiting.with(TVWebImageStageFinished).size(), 1u);
    EXPECT_EQ(TVWebImageManager::heldBytes().held(), 0u);
    // A failure of room, not of the URL.
    EXPECT_FALSE(tv_webimage::isFailedURL(ns::URL::make(second.url("/b.png"))));
}

TEST_F(WebImageTest, ADownloadIsHeldOnceWhileItGrows) {
    // Past a power of two, in pieces of a MiB that each arrive before the
    // next is let go: a buffer that doubles to grow would hold its first
    // 32 MiB twice while it copies them.
    const size_t size = 40 * MiB;
    const size_t piece = MiB;
    auto gate = std::make_shared<ChunkGate>();
    server_.serve("/grown.png", ImageReply{.body = std::string(size, 'x'), .chunkSize = piece, .gate = gate});
    DecodeGate decodes;
    decodes.close();
    Recorder recorder;
    auto operation = request("/grown.png", TVWebImageOptionRefreshCache, recorder);
    gate->release();
    ASSERT_TRUE(recorder.waitForReceived(int64_t(piece)));
    // From the first piece on: the server has made its copy of the reply.
    const auto peak = testing::peakFromHere();
    for (size_t i = 1; i < size / piece; ++i) {
        gate->release();
        ASSERT_TRUE(recorder.waitForReceived(int64_t((i + 1) * piece))) << "piece " << i;
    }
    // Every byte is in the loader and nothing has been decoded yet.
    EXPECT_EQ(TVWebImageManager::heldBytes().held(), uint64_t(size));
    testing::expectGrowthUnder(peak, size + 4 * MiB, "a 40 MiB download held by the loader");
    decodes.openUp();
    env_.runUntilIdle();
    EXPECT_EQ(recorder.with(TVWebImageStageFinished).size(), 1u);
    EXPECT_EQ(TVWebImageManager::heldBytes().held(), 0u);
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

TEST_F(WebImageTest, AFileURLLongerThanATasksBoundFailsBeforeItIsRead) {
    char directory[] = "/tmp/web-image-file-XXXXXX";
    ASSERT_TRUE(::mkdtemp(directory));
    const std::string path = std::string(directory) + "/huge.png";
    // 768 MiB that take no room on disk until read.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, off_t(768 * MiB)), 0);
    ::close(fd);
    Recorder recorder;
    ns::LogCapture log;
    testing::ResidentPeak peak;
    ASSERT_TRUE(peak.started());
    auto operation = manager_->requestImageWithURL(ns::URL::fileURLWithPath(path), TVWebImageOptionRefreshCache, {}, {},
                                                   recorder.block());
    env_.runUntilIdle();
    const uint64_t growth = peak.growth();
    std::filesystem::remove_all(directory);

    const auto finished = recorder.with(TVWebImageStageFinished);
    ASSERT_EQ(finished.size(), 1u);
    EXPECT_EQ(countWithCode(finished, ns::URLErrorDataLengthExceedsMaximum), 1);
    EXPECT_TRUE(log.contains("its reply is longer than 67108864 bytes"));
    testing::expectGrowthUnder(growth, 8 * MiB, "a 768 MiB file URL through the loader");
}

}  // namespace
