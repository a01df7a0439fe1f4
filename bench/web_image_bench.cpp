// The web-image loader over loopback: download and decode of a 256 x 256
// JPEG and PNG through the manager against raw libcurl with libjpeg and
// libpng on the same server (ratios); view-extension memory and disk hits
// per second; and decoding spread over 1, 2, 4 ... serial decode queues.

#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "bench/curl_baseline.h"
#include "bench/ratio_report.h"
#include "image/cache/TVImageCache.h"
#include "image/codec/TVImage.h"
#include "image/codec/UIImage+TVImageCoder.h"
#include "image/web/TVWebImageManager.h"
#include "image/web/TVWebImageOperation.h"
#include "image/web/UIImageView+TVWebImage.h"
#include "platform/dispatch/Group.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/HomeDirectory.h"
#include "platform/foundation/ProcessInfo.h"
#include "platform/testing/LoopbackImageServer.h"

namespace {

using testing::ImageReply;
using testing::LoopbackImageServer;

constexpr int Side = 256;

LoopbackImageServer& server() {
    static auto* made = [] {
        auto* s = new LoopbackImageServer();
        s->serve("/bench.jpg", ImageReply{.body = LoopbackImageServer::jpeg(Side, Side, false)});
        s->serve("/bench.png", ImageReply{.body = LoopbackImageServer::png(Side, Side, false), .contentType = "image/png"});
        return s;
    }();
    return *made;
}

// One download through a manager without cache or queue, waited for.
void ThroughManager(benchmark::State& state, const char* path) {
    auto manager = TVWebImageManager::initWithCache(nullptr, nullptr);
    auto url = ns::URL::make(server().url(path));
    for (auto _ : state) {
        std::mutex lock;
        std::condition_variable done;
        bool finished = false;
        bool good = false;
        auto operation = manager->requestImageWithURL(
            url, 0, {}, {},
            [&](const ns::Ref<ui::Image>& image, const ns::Ref<ns::URL>&, TVWebImageFromType, TVWebImageStage stage,
                const ns::Ref<ns::Error>&) {
                if (stage == TVWebImageStageProgress) return;
                std::lock_guard guard(lock);
                finished = true;
                good = image && image->cgImage() && image->cgImage()->width() == Side;
                done.notify_all();
            });
        std::unique_lock guard(lock);
        done.wait(guard, [&] { return finished; });
        if (!good) state.SkipWithError("no image");
    }
    state.SetItemsProcessed(state.iterations());
}

bool decodeJpegRaw(const std::string& bytes) {
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_EXT_BGRA;
    jpeg_start_decompress(&info);
    std::vector<uint8_t> pixels(size_t(info.output_width) * info.output_height * 4);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = &pixels[size_t(info.output_scanline) * info.output_width * 4];
        jpeg_read_scanlines(&info, &row, 1);
    }
    bool good = info.output_width == Side;
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    benchmark::DoNotOptimize(pixels.data());
    return good;
}

bool decodePngRaw(const std::string& bytes) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return false;
    image.format = PNG_FORMAT_BGRA;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    bool good = png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) && image.width == Side;
    benchmark::DoNotOptimize(pixels.data());
    return good;
}

void ManagerJPEG(benchmark::State& state) { ThroughManager(state, "/bench.jpg"); }
void ManagerPNG(benchmark::State& state) { ThroughManager(state, "/bench.png"); }
void CurlLibjpeg(benchmark::State& state) { bench::runCurlEasyRequests(state, server().url("/bench.jpg"), decodeJpegRaw); }
void CurlLibpng(benchmark::State& state) { bench::runCurlEasyRequests(state, server().url("/bench.png"), decodePngRaw); }

// ---- View extensions ----

ns::Ref<TVWebImageManager>& cachedManager() {
    static auto* manager = new ns::Ref<TVWebImageManager>(
        TVWebImageManager::initWithCache(TVImageCache::initWithPath(ns::cachesDirectory() + "/web_image_bench"), nullptr));
    return *manager;
}

// Shown inside the call: no queue, no operation.
void SetterMemoryHit(benchmark::State& state) {
    auto manager = cachedManager();
    auto url = ns::URL::make(server().url("/bench.jpg"));
    auto image = TV_imageByDecoded(TVImage::imageWithData(
        ns::Data::withBytes(LoopbackImageServer::jpeg(Side, Side, false)), 1));
    manager->cache()->setImage(image, nullptr, manager->cacheKeyForURL(url), TVImageCacheTypeMemory);
    auto view = ui::ImageView::make();
    for (auto _ : state) {
        TV_setImageWithURL(*view, url, nullptr, 0, manager, {}, {}, {});
        if (view->image() != image) state.SkipWithError("not a memory hit");
        view->setImage(nullptr);
    }
    state.SetItemsProcessed(state.iterations());
}

// Setter queue, operation, disk read and decode, network thread, main queue.
void SetterDiskHit(benchmark::State& state) {
    auto manager = cachedManager();
    auto url = ns::URL::make(server().url("/bench.png"));
    std::string key = manager->cacheKeyForURL(url);
    manager->cache()->setImage(nullptr, ns::Data::withBytes(LoopbackImageServer::png(Side, Side, false)), key,
                               TVImageCacheTypeDisk);
    auto view = ui::ImageView::make();
    for (auto _ : state) {
        manager->cache()->removeImageForKey(key, TVImageCacheTypeMemory);
        TVWebImageFromType from = TVWebImageFromNone;
        bool done = false;
        TV_setImageWithURL(*view, url, nullptr, 0, manager, {}, {},
                           [&](const ns::Ref<ui::Image>&, const ns::Ref<ns::URL>&, TVWebImageFromType source,
                               TVWebImageStage, const ns::Ref<ns::Error>&) {
                               from = source;
                               done = true;
                           });
        while (!done) dispatch::RunLoop::main().runOnce();
        if (from != TVWebImageFromDiskCache) state.SkipWithError("not a disk hit");
    }
    state.SetItemsProcessed(state.iterations());
}

// ---- Decode queues ----

// 64 JPEGs decoded for display, spread in turn over `queues` serial queues.
void DecodeQueues(benchmark::State& state) {
    const auto count = size_t(state.range(0));
    std::vector<dispatch::QueueRef> queues;
    for (size_t i = 0; i < count; ++i) queues.push_back(dispatch::Queue::serial("com.norvane.image.decode"));
    auto data = ns::Data::withBytes(LoopbackImageServer::jpeg(Side, Side, false));
    constexpr int Images = 64;
    for (auto _ : state) {
        auto group = dispatch::Group::create();
        for (int i = 0; i < Images; ++i) {
            group->async(queues[size_t(i) % count], [data] {
                benchmark::DoNotOptimize(TV_imageByDecoded(TVImage::imageWithData(data, 1)));
            });
        }
        group->wait();
    }
    state.SetItemsProcessed(state.iterations() * Images);
}

void decodeQueueArguments(benchmark::internal::Benchmark* bench) {
    int cores = std::clamp(ns::ProcessInfo::activeProcessorCount(), 1, 16);
    for (int n = 1; n < cores; n *= 2) bench->Arg(n);
    bench->Arg(cores);
}

}  // namespace

BENCHMARK(ManagerJPEG)->UseRealTime();
BENCHMARK(CurlLibjpeg)->UseRealTime();
BENCHMARK(ManagerPNG)->UseRealTime();
BENCHMARK(CurlLibpng)->UseRealTime();
BENCHMARK(SetterMemoryHit);
BENCHMARK(SetterDiskHit)->UseRealTime();
BENCHMARK(DecodeQueues)->Apply(decodeQueueArguments)->UseRealTime();

int main(int argc, char** argv) {
    return bench::runAndSummarize(argc, argv, [](const bench::RunRecorder& runs) {
        auto rate = [&](const std::string& name) { return runs.counter(name, "items_per_second"); };
        auto ratio = [&](const char* label, const std::string& ours, const std::string& theirs) {
            double a = rate(ours), b = rate(theirs);
            if (a > 0 && b > 0) std::printf("%s: %.0f/s vs %.0f/s; ratio %.2f\n", label, a, b, a / b);
        };
        std::printf("\n");
        ratio("256 x 256 JPEG, manager vs libcurl + libjpeg", "ManagerJPEG/real_time", "CurlLibjpeg/real_time");
        ratio("256 x 256 PNG, manager vs libcurl + libpng", "ManagerPNG/real_time", "CurlLibpng/real_time");
        ratio("setter memory hits vs disk hits", "SetterMemoryHit", "SetterDiskHit/real_time");
        double one = rate("DecodeQueues/1/real_time");
        int cores = std::clamp(ns::ProcessInfo::activeProcessorCount(), 1, 16);
        for (int n = 2; one > 0; n = n * 2 > cores && n < cores ? cores : n * 2) {
            double r = rate("DecodeQueues/" + std::to_string(n) + "/real_time");
            if (r <= 0) break;
            std::printf("decode queues %d vs 1: ratio %.2f\n", n, r / one);
            if (n == cores) break;
        }
    });
}
