// What animated GIFs cost once their screens are kept: 128 two-frame
// 1024 x 1024 GIFs loaded one after another through the web-image loader
// into the image cache, under the app's account of decoded pixels (each
// image keeps its decoder and so the screens its frames are composed on),
// reporting the resident peak's growth and what the account charges beside
// what the cached images hold; then asking each frame of a 60-frame GIF
// once or twice in a row, and one or two animated views of one GIF whose
// frames do not fit their buffers, played for 30 s of mock time (CPU of the
// whole process), each pair printed as a ratio.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/play_window.h"
#include "bench/ratio_report.h"
#include "image/cache/TVImageCache.h"
#include "image/codec/TVAnimatedImageView.h"
#include "image/codec/TVImage.h"
#include "image/codec/TVImageDecoder.h"
#include "image/web/TVWebImageManager.h"
#include "image/web/TVWebImageOperation.h"
#include "platform/foundation/Data.h"
#include "platform/runtime/Allocator.h"
#include "platform/testing/GifFiles.h"
#include "platform/testing/LoopbackImageServer.h"
#include "platform/testing/ResidentMemory.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/uikit/DecodedPixelAccount.h"
#include "platform/uikit/StateReset.h"

namespace {

constexpr double MiB = 1024.0 * 1024.0;

// Not a timing: memory and charges, one run per disposal.
void GifsThroughLoader(benchmark::State& state) {
    constexpr int Gifs = 128, Side = 1024;
    const bool restoring = state.range(0) != 0;
    const uint64_t screensEach = restoring ? 3 : 2;
    state.SetLabel(restoring ? "restoring" : "leaving");
    const auto bytes = testing::gifOfTwoFullFrames(Side, restoring);
    const std::string body(bytes.begin(), bytes.end());
    for (auto _ : state) {
        testing::TaskEnvironment env;
        char folder[] = "/tmp/gif-screens-bench-XXXXXX";
        if (!mkdtemp(folder)) {
            state.SkipWithError("no scratch folder");
            return;
        }
        setenv("GAMEHOST_HOME", folder, 1);
        testing::LoopbackImageServer server;
        for (int i = 0; i < Gifs; ++i) {
            server.serve("/gif" + std::to_string(i) + ".gif", testing::ImageReply{.body = body, .contentType = "image/gif"});
        }
        auto& account = ui::DecodedPixelAccount::shared();
        {
            auto cache = TVImageCache::initWithPath(std::string(folder) + "/images");
            auto manager = TVWebImageManager::initWithCache(cache, nullptr);
            const uint64_t before = account.pixelsHeld();
            rt::allocator::giveBackFreed();
            const uint64_t residentBefore = testing::residentBytes();
            testing::ResidentPeak peak;
            int delivered = 0;
            double leastShare = 1;
            for (int i = 0; i < Gifs; ++i) {
                bool done = false;
                auto operation = manager->requestImageWithURL(
                    ns::URL::make(server.url("/gif" + std::to_string(i) + ".gif")), TVWebImageOptionSkipFailedURL, {},
                    {},
                    [&](const ns::Ref<ui::Image>& image, const ns::Ref<ns::URL>&, TVWebImageFromType,
                        TVWebImageStage stage, const ns::Ref<ns::Error>&) {
                        if (stage != TVWebImageStageFinished) return;
                        if (image) ++delivered;
                        done = true;
                    });
                env.runUntilIdle();
                for (int step = 0; !done && step < 100; ++step) env.fastForwardBy(0.05);
                const double held = double(cache->memoryCache()->totalCount() * screensEach * Side * Side);
                if (held > 0) leastShare = std::min(leastShare, double(account.pixelsHeld() - before) / held);
            }
            rt::allocator::giveBackFreed();
            state.counters["peak_growth_MiB"] = double(peak.growth()) / MiB;
            state.counters["resident_growth_MiB"] = double(testing::residentBytes() - residentBefore) / MiB;
            state.counters["account_MiB"] = double(account.pixelsHeld() - before) * 4 / MiB;
            state.counters["cached"] = double(cache->memoryCache()->totalCount());
            state.counters["delivered"] = delivered;
            state.counters["least_charged_share"] = leastShare;
            state.counters["limit_MiB"] = double(account.limit()) * 4 / MiB;
        }
        env.fastForwardUntilNoTasksRemain();
        std::filesystem::remove_all(folder);
    }
}

// 60 frames of 480 x 270: a full first frame, then patches of 240 x 135
// that move about with mixed disposals.
const std::vector<uint8_t>& bannerGif() {
    static const std::vector<uint8_t> bytes = testing::gifOfMovingPatches(480, 270, 60, 240, 135);
    return bytes;
}

// Each frame asked range(0) times in a row, as views sharing one image do;
// with range(1) each answer is held until the next frame is asked, as a
// view's buffer holds it, else let go at once.
void AskEachFrame(benchmark::State& state) {
    const int times = int(state.range(0));
    const bool held = state.range(1) != 0;
    state.SetLabel(held ? "held" : "let go");
    auto decoder = TVImageDecoder::decoderWithData(ns::Data::make(bannerGif()), 1);
    for (auto _ : state) {
        for (uint64_t i = 0; i < decoder->frameCount(); ++i) {
            std::vector<ns::Ref<TVImageFrame>> buffers;
            for (int k = 0; k < times; ++k) {
                auto frame = decoder->frameAtIndex(i, true);
                benchmark::DoNotOptimize(frame);
                if (held) buffers.push_back(std::move(frame));
            }
        }
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(decoder->frameCount()));
}

// range(0) views of one image, each with a buffer of one frame, for 30 s.
void ViewsOfOneGif(benchmark::State& state) {
    const int views = int(state.range(0));
    for (auto _ : state) {
        testing::TaskEnvironment env;
        auto delegate = bench::showPlayWindow();
        auto image = TVImage::imageWithData(ns::Data::make(bannerGif()), 1);
        std::vector<ns::Ref<TVAnimatedImageView>> shown;
        for (int v = 0; v < views; ++v) {
            auto view = TVAnimatedImageView::make({0, double(v) * 270, 480, 270});
            view->setMaxBufferSize(480 * 270 * 4);
            delegate->window_->addSubview(view);
            view->setImage(image);
            shown.push_back(view);
        }
        for (int tick = 0; tick < 30 * 60; ++tick) env.fastForwardBy(1.0 / 60);
        for (auto& view : shown) view->removeFromSuperview();
        ui::resetSharedStateForTesting();
        env.fastForwardUntilNoTasksRemain();
    }
}

}  // namespace

BENCHMARK(GifsThroughLoader)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(AskEachFrame)->ArgsProduct({{1, 2}, {1, 0}})->Unit(benchmark::kMillisecond);
BENCHMARK(ViewsOfOneGif)->Arg(1)->Arg(2)->Iterations(1)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    return bench::runAndSummarize(argc, argv, [](const bench::RunRecorder& runs) {
        for (const char* arg : {"0", "1"}) {
            const auto* run = runs.find(std::string("GifsThroughLoader/") + arg + "/iterations:1");
            if (!run) continue;
            const auto& c = run->counters;
            std::printf("128 two-frame 1024 x 1024 GIFs%s through the loader: resident peak +%.0f MiB (account limit %.0f "
                        "MiB), %.0f delivered, %.0f cached at the end, the account charged at least %.0f%% of the "
                        "pixels the cache held\n",
                        arg[0] == '1' ? " restoring" : "", c.at("peak_growth_MiB"), c.at("limit_MiB"),
                        c.at("delivered"), c.at("cached"), c.at("least_charged_share") * 100);
        }
        for (const char* held : {"1", "0"}) {
            const auto* once = runs.find(std::string("AskEachFrame/1/") + held);
            const auto* twice = runs.find(std::string("AskEachFrame/2/") + held);
            if (once && twice && once->cpuTime > 0) {
                std::printf("each of 60 frames asked twice, %s: %.2f times asking once (%.1f ms, %.1f ms)\n",
                            held[0] == '1' ? "held as a view's buffer holds it" : "let go at once",
                            twice->cpuTime / once->cpuTime, twice->cpuTime, once->cpuTime);
            }
        }
        const auto* one = runs.find("ViewsOfOneGif/1/iterations:1/process_time");
        const auto* two = runs.find("ViewsOfOneGif/2/iterations:1/process_time");
        if (one && two && one->cpuTime > 0) {
            std::printf("two views of one GIF for 30 s: %.2f times the CPU of one (%.0f ms, %.0f ms)\n",
                        two->cpuTime / one->cpuTime, two->cpuTime, one->cpuTime);
        }
    });
}
