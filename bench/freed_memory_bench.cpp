// What stays resident once ordinary large work is let go: a store's icons
// loaded at once through the web-image loader (decoded on its queues) and
// released, record replies of some MB read and released, and a long list
// read through the codec over and over. Each row
// reports the resident set before the work, just after it is let go, and
// after the app has sat idle for a while, when the allocator has had time
// to give back what was freed (a real wait: that is what is measured), and
// once the allocator has been asked to give back everything freed.
// Not a timing: one run per row.

#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "image/web/TVWebImageManager.h"
#include "image/web/TVWebImageOperation.h"
#include "net/JKCodec.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/runtime/Allocator.h"
#include "platform/testing/JpegFiles.h"
#include "platform/testing/LoopbackImageServer.h"
#include "platform/testing/ResidentMemory.h"
#include "platform/testing/TiffFiles.h"
#include "tests/platform/foundation/json_records.h"

namespace {

constexpr double MiB = 1024.0 * 1024.0;
constexpr int Icons = 24;
// Long enough for any allocator's timed return of freed pages.
constexpr auto Idle = std::chrono::seconds(10);

enum IconKind { Ordinary, LargeProgressiveJpeg, LargeOneStripTiff };

std::string iconFile(IconKind kind) {
    if (kind == LargeOneStripTiff) {
        testing::TiffLayout layout;
        layout.width = layout.height = 2048;
        layout.samples = 4;
        layout.photometric = 2;
        layout.extraSample = 2;
        const auto bytes = testing::flatTiff(layout);
        return {bytes.begin(), bytes.end()};
    }
    testing::JpegPicture picture;
    picture.width = picture.height = kind == Ordinary ? 256 : 2048;
    picture.progressive = kind == LargeProgressiveJpeg;
    picture.row = [&](int y, uint8_t* row) {
        for (int x = 0; x < picture.width; ++x) {
            row[4 * x] = uint8_t(x * 7 + y);
            row[4 * x + 1] = uint8_t(y * 3);
            row[4 * x + 2] = uint8_t(x ^ y);
            row[4 * x + 3] = 255;
        }
    };
    const auto bytes = testing::jpegFile(picture);
    return {bytes.begin(), bytes.end()};
}

void report(benchmark::State& state, uint64_t before, uint64_t letGo) {
    std::this_thread::sleep_for(Idle);
    state.counters["before_MiB"] = double(before) / MiB;
    state.counters["let_go_MiB"] = double(letGo) / MiB;
    state.counters["idle_MiB"] = double(testing::residentBytes()) / MiB;
    // What a trim where the work ends would leave.
    rt::allocator::giveBackFreed();
    state.counters["given_back_MiB"] = double(testing::residentBytes()) / MiB;
}

// `Icons` icons asked at once, as a store's tiles ask them, all held until
// the last has come, then let go.
void StoreIcons(benchmark::State& state) {
    const auto kind = IconKind(state.range(0));
    state.SetLabel(kind == Ordinary ? "256x256 JPEG" : kind == LargeProgressiveJpeg ? "2048x2048 progressive JPEG"
                                                                                    : "2048x2048 one-strip TIFF");
    testing::LoopbackImageServer server;
    const std::string body = iconFile(kind);
    for (int i = 0; i < Icons; ++i) {
        server.serve("/icon" + std::to_string(i),
                     testing::ImageReply{.body = body, .contentType = kind == LargeOneStripTiff ? "image/tiff" : "image/jpeg"});
    }
    for (auto _ : state) {
        const uint64_t before = testing::residentBytes();
        int delivered = 0;
        {
            auto manager = TVWebImageManager::initWithCache(nullptr, nullptr);
            std::mutex lock;
            std::condition_variable done;
            int finished = 0;
            std::vector<ns::Ref<ui::Image>> held;
            std::vector<ns::Ref<TVWebImageOperation>> operations;
            for (int i = 0; i < Icons; ++i) {
                operations.push_back(manager->requestImageWithURL(
                    ns::URL::make(server.url("/icon" + std::to_string(i))), 0, {}, {},
                    [&](const ns::Ref<ui::Image>& image, const ns::Ref<ns::URL>&, TVWebImageFromType,
                        TVWebImageStage stage, const ns::Ref<ns::Error>&) {
                        if (stage == TVWebImageStageProgress) return;
                        std::lock_guard guard(lock);
                        if (image) held.push_back(image);
                        ++finished;
                        done.notify_all();
                    }));
            }
            std::unique_lock guard(lock);
            done.wait(guard, [&] { return finished == Icons; });
            delivered = int(held.size());
            held.clear();
        }
        // The manager's queues finish letting go.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        report(state, before, testing::residentBytes());
        state.counters["delivered"] = delivered;
    }
}
BENCHMARK(StoreIcons)->Arg(Ordinary)->Arg(LargeProgressiveJpeg)->Arg(LargeOneStripTiff)->Iterations(1)->Unit(benchmark::kSecond);

// Six replies of about 8.8 MB of records, each read while the previous is
// held, then all let go.
void RecordReplies(benchmark::State& state) {
    std::string text = "[";
    for (uint64_t i = 0; text.size() < 8'800'000; ++i) {
        if (i) text += ',';
        text += jsontest::record(i);
    }
    text += ']';
    auto data = ns::Data::make(std::vector<uint8_t>(text.begin(), text.end()));
    std::string().swap(text);
    for (auto _ : state) {
        const uint64_t before = testing::residentBytes();
        {
            std::vector<ns::Id> held;
            for (int i = 0; i < 6; ++i) held.push_back(ns::JSONSerialization::JSONObjectWithData(data, 0));
            if (!held.back()) state.SkipWithError("the reply did not read");
        }
        report(state, before, testing::residentBytes());
    }
}
BENCHMARK(RecordReplies)->Iterations(1)->Unit(benchmark::kSecond);

// A list of 1,000,000 small numbers read through the codec 20 times, each
// read let go before the next.
void LongLists(benchmark::State& state) {
    std::string text = "[";
    for (int i = 0; i < 1'000'000; ++i) {
        if (i) text += ',';
        text += char('0' + i % 10);
    }
    text += ']';
    auto data = ns::Data::make(std::vector<uint8_t>(text.begin(), text.end()));
    std::string().swap(text);
    for (auto _ : state) {
        const uint64_t before = testing::residentBytes();
        for (int i = 0; i < 20; ++i) {
            if (!JKCodec::objectFromJSONData(*data)) state.SkipWithError("the list did not read");
        }
        report(state, before, testing::residentBytes());
    }
}
BENCHMARK(LongLists)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
