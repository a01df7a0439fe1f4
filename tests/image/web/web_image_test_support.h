#pragma once
// What the web-image tests share: mock time with a fixed wall date, a
// scratch home with a fresh image cache, an empty credential storage, the
// loopback image server, and a recorder of deliveries that tells which
// thread each came on.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "image/cache/TVImageCache.h"
#include "image/web/TVWebImageManager.h"
#include "image/web/TVWebImageOperation.h"
#include "image/web/TVWebImageShared.h"
#include "platform/foundation/URLCredentialStorage.h"
#include "platform/testing/LoopbackImageServer.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/uikit/DecodedPixelAccount.h"
#include "tests/platform/foundation/filemanager_test_folders.h"

namespace web_test {

using ns::testing_support::ScopedEnvironment;
using ns::testing_support::ScratchFolder;
using testing::ChunkGate;
using testing::ImageReply;
using testing::LoopbackImageServer;

struct Delivery {
    ns::Ref<ui::Image> image;
    ns::Ref<ns::URL> url;
    TVWebImageFromType from = TVWebImageFromNone;
    TVWebImageStage stage = TVWebImageStageCancelled;
    ns::Ref<ns::Error> error;
    bool onNetworkThread = false;
};

class Recorder {
public:
    TVWebImageCompletionBlock block() {
        return [this](const ns::Ref<ui::Image>& image, const ns::Ref<ns::URL>& url, TVWebImageFromType from,
                      TVWebImageStage stage, const ns::Ref<ns::Error>& error) {
            std::lock_guard guard(lock_);
            const bool keep = keepsPartialImages || stage != TVWebImageStageProgress;
            deliveries_.push_back(
                {keep ? image : nullptr, url, from, stage, error, tv_webimage::networkThread().isCurrent()});
        };
    }
    TVWebImageProgressBlock progressBlock() {
        return [this](int64_t received, int64_t expected) {
            std::lock_guard guard(lock_);
            received_ = received;
            expected_ = expected;
        };
    }
    std::vector<Delivery> all() const {
        std::lock_guard guard(lock_);
        return deliveries_;
    }
    std::vector<Delivery> with(TVWebImageStage stage) const {
        std::vector<Delivery> out;
        for (const auto& delivery : all())
            if (delivery.stage == stage) out.push_back(delivery);
        return out;
    }
    int64_t received() const {
        std::lock_guard guard(lock_);
        return received_;
    }
    int64_t expected() const {
        std::lock_guard guard(lock_);
        return expected_;
    }
    // Real time, bounded: for bytes the test lets go while the download is
    // in flight (the task environment would wait for the download itself).
    bool waitForReceived(int64_t bytes) const {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (received() < bytes) {
            if (std::chrono::steady_clock::now() > until) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
    // The same for the number of deliveries.
    bool waitForDeliveries(size_t count) const {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (all().size() < count) {
            if (std::chrono::steady_clock::now() > until) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    // False records partial deliveries without their images, for loads of
    // large pictures.
    bool keepsPartialImages = true;

private:
    mutable std::mutex lock_;
    std::vector<Delivery> deliveries_;
    int64_t received_ = -2;
    int64_t expected_ = -2;
};

class WebImageTest : public ::testing::Test {
protected:
    WebImageTest() {
        env_.setWallTime(1704067200.0);
        home_.set("GAMEHOST_HOME", scratch_ / "home");
        cache_ = TVImageCache::initWithPath(scratch_ / "images");
        manager_ = TVWebImageManager::initWithCache(cache_, nullptr);
        ns::URLCredentialStorage::sharedCredentialStorage()->resetForTesting();
    }
    ~WebImageTest() override { ns::URLCredentialStorage::sharedCredentialStorage()->resetForTesting(); }

    ns::Ref<ns::URL> url(std::string_view path) const { return ns::URL::make(server_.url(path)); }

    // A download whose pieces the test lets go one by one, moving mock time
    // by `step` before each piece after the first.
    std::vector<Delivery> paced(const std::string& path, const std::string& body, TVWebImageOptions options,
                                size_t pieces, double step, bool keepPartialImages = true) {
        auto gate = std::make_shared<ChunkGate>();
        size_t size = (body.size() + pieces - 1) / pieces;
        server_.serve(path, ImageReply{.body = body, .chunkSize = size, .gate = gate});
        Recorder recorder;
        recorder.keepsPartialImages = keepPartialImages;
        auto operation = request(path, options | TVWebImageOptionRefreshCache, recorder);
        for (size_t i = 0; i < pieces; ++i) {
            if (i > 0) env_.advanceClockWhileInFlight(step);
            gate->release();
            EXPECT_TRUE(recorder.waitForReceived(int64_t(std::min(body.size(), (i + 1) * size)))) << "piece " << i;
        }
        env_.runUntilIdle();
        return recorder.all();
    }

    ns::Ref<TVWebImageOperation> request(std::string_view path, TVWebImageOptions options, Recorder& recorder,
                                         TVWebImageTransformBlock transform = {}) {
        return manager_->requestImageWithURL(url(path), options, recorder.progressBlock(), std::move(transform),
                                             recorder.block());
    }

    testing::TaskEnvironment env_;
    ScratchFolder scratch_;
    ScopedEnvironment home_;
    LoopbackImageServer server_;
    ns::Ref<TVImageCache> cache_;
    ns::Ref<TVWebImageManager> manager_;
};

// A web-image test that sets the account of decoded pixels a limit of its
// own, given back when the test ends.
class WebImageAccountTest : public WebImageTest {
protected:
    ~WebImageAccountTest() override { account.setLimitForTesting(ui::MaximumDecodedPixels); }

    // Runs until `done`, moving mock time on in small steps: a refused
    // decode waits for the cache's pictures to be let go.
    void runUntil(const bool& done) {
        env_.runUntilIdle();
        for (int step = 0; !done && step < 100; ++step) env_.fastForwardBy(0.05);
    }

    ui::DecodedPixelAccount& account = ui::DecodedPixelAccount::shared();
};

}  // namespace web_test
