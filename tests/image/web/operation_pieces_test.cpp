// Images whose servers cut them into one-byte chunks cost the loader in
// proportion to their bytes while its network thread is busy: what arrives
// while a piece still waits for the thread joins it.

#include <memory>
#include <string>
#include <vector>

#include "image/web/TVWebImageShared.h"
#include "platform/foundation/ReplyBudget.h"
#include "platform/testing/PeakBound.h"
#include "platform/testing/SilentServer.h"
#include "tests/image/web/web_image_test_support.h"
#include "tests/platform/foundation/reply_memory_support.h"

namespace {

using namespace web_test;
using urltest::MiB;

constexpr double Patience = 60;  // real seconds for loopback replies to come

TEST_F(WebImageTest, TenImagesInOneByteChunksWaitingForABusyNetworkThreadHoldLittleMoreThanTheirBytes) {
    constexpr int images = 10;
    constexpr uint64_t bytes = 1'000'000;
    // The loader's session allows few connections per host: a host each.
    std::vector<std::unique_ptr<testing::SilentServer>> hosts;
    Recorder recorder;
    recorder.keepsPartialImages = false;
    std::vector<ns::Ref<TVWebImageOperation>> operations;
    for (int i = 0; i < images; ++i) {
        hosts.push_back(std::make_unique<testing::SilentServer>());
        auto url = ns::URL::make(hosts.back()->url("/image" + std::to_string(i) + ".png"));
        operations.push_back(manager_->requestImageWithURL(url, TVWebImageOptionRefreshCache, recorder.progressBlock(), {},
                                                           recorder.block()));
    }
    for (auto& host : hosts) ASSERT_TRUE(host->waitForConnections(1, Patience)) << host->connectionCount();
    const std::string reply = urltest::rawOneByteChunks(bytes, "image/png");
    // The network thread is busy until every byte has come: the pieces
    // wait for it.
    urltest::Latch busy;
    tv_webimage::networkThread().perform([&busy] { busy.wait(); });
    auto peak = testing::peakFromHere();
    for (auto& host : hosts) host->answerAll(reply);
    const bool queued = urltest::waitUntilHeld(ns::sessionReplies(), images * bytes, Patience);
    busy.open();
    env_.runUntilIdle();
    const uint64_t growth = peak.growth();

    EXPECT_TRUE(queued) << ns::sessionReplies().held();
    // Not pictures: each ends, none is held.
    EXPECT_EQ(recorder.with(TVWebImageStageFinished).size(), size_t(images));
    EXPECT_EQ(ns::sessionReplies().held(), 0u);
    EXPECT_EQ(TVWebImageManager::heldBytes().held(), 0u);
    // The images' 10 MB as pieces, twice for the room a piece doubles into,
    // then in the loader's buffers: a piece per chunk would hold 250 bytes
    // for each, twice over (the session's queue and the network thread's).
    testing::expectGrowthUnder(growth, 64 * MiB, "ten images of 1 MB in one-byte chunks");
}

}  // namespace
