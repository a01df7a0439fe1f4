// GIF frames decoded through the platform image source against giflib used
// directly (DGifSlurp, then the same compositing) on the same file, printed
// as a ratio; a large animation (200 frames of 600 x 600) played for 20 s
// of mock time by the GIF view, reporting the most frames its image held;
// and files of hostile shapes read by each reader that keeps frames, each
// beside an ordinary 200-frame file with a table per frame, printed as
// ratios: 16 frames of 4096 x 4096 zeros (beside 4 ordinary frames of that
// size), 4,000 one-pixel frames whose delays defeat the small-GIF reader's
// common step, 4,000,000 one-pixel frames, and the 16 frames of zeros with
// a code no table entry stands for in each (beside the same frames
// without it).

#include <benchmark/benchmark.h>

#include <cstdio>

#include "bench/play_window.h"
#include "bench/ratio_report.h"
#include "image/UIImage+TVWebImage.h"
#include "platform/foundation/Data.h"
#include "platform/graphics/GifFrames.h"
#include "platform/graphics/GifWriter.h"
#include "platform/graphics/ImageSource.h"
#include "platform/testing/GifFiles.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/uikit/StateReset.h"
#include "ui/gif/KVTRGFAnimatedImageView.h"

namespace {

std::vector<uint8_t> makeGif(int size, int frames, int patch, bool localTables = false) {
    return testing::gifOfMovingPatches(size, size, frames, patch, patch, localTables);
}

const std::vector<uint8_t>& benchFile() {
    static const std::vector<uint8_t> bytes = makeGif(240, 40, 80);
    return bytes;
}

void ImageSourceFrames(benchmark::State& state) {
    const auto& bytes = benchFile();
    size_t frames = 0;
    for (auto _ : state) {
        auto source = cg::ImageSource::createWithData(bytes);
        for (size_t i = 0; i < source->count(); ++i) benchmark::DoNotOptimize(source->createImageAtIndex(i));
        frames += source->count();
    }
    state.SetItemsProcessed(int64_t(frames));
}

void GiflibSlurpFrames(benchmark::State& state) {
    const auto& bytes = benchFile();
    size_t frames = 0;
    for (auto _ : state) {
        const std::vector<cg::Bitmap> screens = testing::composedByGiflib(bytes);
        if (screens.empty()) {
            state.SkipWithError("giflib could not read the file");
            return;
        }
        for (const cg::Bitmap& screen : screens) benchmark::DoNotOptimize(cg::Image::make(screen));
        frames += screens.size();
    }
    state.SetItemsProcessed(int64_t(frames));
}

// Not a timing: the most frames the image holds while the view plays it.
void PlayLargeGif(benchmark::State& state) {
    auto bytes = makeGif(600, 200, 120);
    for (auto _ : state) {
        testing::TaskEnvironment env;
        auto delegate = bench::showPlayWindow();
        auto image = KVTRGFAnimatedImage::animatedImageWithGIFData(ns::Data::make(bytes));
        auto view = KVTRGFAnimatedImageView::make({0, 0, 300, 300});
        delegate->window_->addSubview(view);
        view->setAnimatedImage(image);
        size_t most = 0;
        for (int tick = 0; tick < 20 * 60; ++tick) {
            env.fastForwardBy(1.0 / 60);
            most = std::max(most, image->cachedFrameIndexes().size());
        }
        state.counters["cache_size"] = double(image->frameCacheSizeCurrent());
        state.counters["most_cached"] = double(most);
        state.counters["playhead"] = double(view->currentFrameIndex());
        if (most > image->frameCacheSizeCurrent() + 1) state.SkipWithError("held more than the cache size and the poster");
        view->removeFromSuperview();
        ui::resetSharedStateForTesting();
        env.fastForwardUntilNoTasksRemain();
    }
}

// ---- Hostile shapes beside an ordinary file ----

// 200 frames of 240 x 240, each with its own table of 64 colours, as
// tools write animations reduced frame by frame.
const std::vector<uint8_t>& ordinaryFile() {
    static const std::vector<uint8_t> bytes = makeGif(240, 200, 80, true);
    return bytes;
}
const std::vector<uint8_t>& zeroFrames() {
    static const std::vector<uint8_t> bytes = testing::gifOfZeroFrames(4096, 4096, 16);
    return bytes;
}
const std::vector<uint8_t>& defeatingDelays() {
    static const std::vector<uint8_t> bytes = testing::gifOfDelaysDefeatingTheStep(4'000);
    return bytes;
}
const std::vector<uint8_t>& undefinedCodeFrames() {
    static const std::vector<uint8_t> bytes = testing::gifOfZeroFrames(4096, 4096, 16, true);
    return bytes;
}
const std::vector<uint8_t>& millionsOfFrames() {
    static const std::vector<uint8_t> bytes = testing::gifOfOnePixelFrames(4'000'000);
    return bytes;
}

// The peer of the same picture size as the frames of zeros: 4 frames of
// 4096 x 4096 in bands of 64 colours.
const std::vector<uint8_t>& ordinaryLargeFile() {
    static const std::vector<uint8_t> bytes = [] {
        cg::gif::WriterFile file;
        file.width = file.height = 4096;
        for (uint32_t i = 0; i < 64; ++i) file.globalPalette.push_back(i * 0x040404u);
        for (int i = 0; i < 4; ++i) {
            cg::gif::WriterFrame frame;
            frame.width = frame.height = 4096;
            frame.delayCentiseconds = 4;
            frame.indices.resize(size_t(4096) * 4096);
            for (size_t p = 0; p < frame.indices.size(); ++p)
                frame.indices[p] = uint8_t((p % 4096 / 9 + p / 4096 / 13 + size_t(i)) % 64);
            file.frames.push_back(std::move(frame));
        }
        return cg::gif::write(file);
    }();
    return bytes;
}

const std::vector<uint8_t>& fileOf(int64_t which) {
    switch (which) {
        case 1: return zeroFrames();
        case 2: return defeatingDelays();
        case 3: return millionsOfFrames();
        case 4: return ordinaryLargeFile();
        case 5: return undefinedCodeFrames();
        default: return ordinaryFile();
    }
}
const char* const FileNames[] = {"ordinary",      "zero_frames", "defeating_delays", "millions_of_frames",
                                  "ordinary_4096", "undefined_codes"};
// The peer of each file: the 200-frame file, the one of the same picture
// size, or the same frames without their undefined codes.
int peerOf(int file) { return file == 1 ? 4 : file == 5 ? 1 : 0; }

// Making the source: the listing of its frames.
void MakeSource(benchmark::State& state) {
    const auto& bytes = fileOf(state.range(0));
    state.SetLabel(FileNames[state.range(0)]);
    for (auto _ : state) benchmark::DoNotOptimize(cg::ImageSource::createWithData(bytes)->count());
}

// Every frame kept, as the platform image of every frame.
void ImageWithData(benchmark::State& state) {
    auto data = ns::Data::make(fileOf(state.range(0)));
    state.SetLabel(FileNames[state.range(0)]);
    for (auto _ : state) benchmark::DoNotOptimize(ui::Image::imageWithData(data));
}

void SmallGifImage(benchmark::State& state) {
    auto data = ns::Data::make(fileOf(state.range(0)));
    state.SetLabel(FileNames[state.range(0)]);
    for (auto _ : state) benchmark::DoNotOptimize(TV_imageWithSmallGIFData(data, 1));
}

void GifViewImage(benchmark::State& state) {
    auto data = ns::Data::make(fileOf(state.range(0)));
    state.SetLabel(FileNames[state.range(0)]);
    for (auto _ : state) benchmark::DoNotOptimize(KVTRGFAnimatedImage::animatedImageWithGIFData(data));
}

}  // namespace

BENCHMARK(ImageSourceFrames);
BENCHMARK(GiflibSlurpFrames);
BENCHMARK(PlayLargeGif)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(MakeSource)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);
BENCHMARK(ImageWithData)->Arg(0)->Arg(1)->Arg(2)->Arg(4)->Arg(5)->Unit(benchmark::kMillisecond);
BENCHMARK(SmallGifImage)->Arg(0)->Arg(1)->Arg(2)->Arg(4)->Arg(5)->Unit(benchmark::kMillisecond);
BENCHMARK(GifViewImage)->Arg(0)->Arg(1)->Arg(3)->Arg(4)->Arg(5)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    return bench::runAndSummarize(argc, argv, [](const bench::RunRecorder& runs) {
        double ours = runs.counter("ImageSourceFrames", "items_per_second");
        double raw = runs.counter("GiflibSlurpFrames", "items_per_second");
        if (ours > 0 && raw > 0) {
            std::printf("\nGIF frames: image source %.0f/s, giflib slurp + compositing %.0f/s; ratio %.2f\n", ours, raw,
                        ours / raw);
        }
        if (const auto* play = runs.find("PlayLargeGif/iterations:1")) {
            std::printf("200 frames of 600 x 600 for 20 s: cache size %.0f, at most %.0f frames held\n",
                        play->counters.at("cache_size"), play->counters.at("most_cached"));
        }
        for (const char* reader : {"MakeSource", "ImageWithData", "SmallGifImage", "GifViewImage"}) {
            for (int file : {1, 2, 3, 5}) {
                const auto* run = runs.find(std::string(reader) + "/" + std::to_string(file));
                const auto* peer = runs.find(std::string(reader) + "/" + std::to_string(peerOf(file)));
                if (!run || !peer || peer->realTime <= 0) continue;
                std::printf("%s, %s: %.0f ms, %.2f times the %s file's %.1f ms\n", reader, FileNames[file],
                            run->realTime, run->realTime / peer->realTime, FileNames[peerOf(file)], peer->realTime);
            }
        }
    });
}
