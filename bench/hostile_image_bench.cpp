// Files whose cost grows with what they declare, read whole through the
// image source (every picture asked for), each beside a normal file of the
// same format and about the same size: an ICO of 256 entries sharing a
// 4096x4096 1-bit bitmap whose mask is one byte short, an ICO of 65,535
// entries sharing one 1x1 PNG, an ICNS of 40,000 1x1 PNG entries, an ICNS
// of a million empty entries of a type not read, and a 4096x4096
// progressive JPEG whose last scan repeats to 4,100 scans. Times are per
// file; the summary prints each hostile file's time and its ratio to its
// peer's from the same run. The JPEG goes through the image response
// serializer too.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>

#include "bench/ratio_report.h"
#include "net/SDPImageResponseSerializer.h"
#include "platform/foundation/HTTPURLResponse.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/graphics/ImageSource.h"
#include "tests/platform/graphics/hostile_still_files.h"

namespace {

using stilltest::Bytes;

// Noise, which a PNG cannot shrink: about four bytes a pixel.
Bytes noisyPng(int side) {
    cg::Bitmap bitmap(side, side, cg::PixelFormat::ARGB32Premultiplied);
    std::mt19937 random(3);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            uint32_t r = random();
            bitmap.setPixel(x, y, cg::premultiplied(uint8_t(128 + r % 128), uint8_t(r >> 8), uint8_t(r >> 16), uint8_t(r >> 24)));
        }
    return cg::encodePng(bitmap);
}

struct Pair {
    Bytes hostile;
    Bytes peer;
};

const Pair& maskShortIco() {
    static const Pair pair{stilltest::icoSharingOneEntry(stilltest::monochromeIconBitmap(4096, 1), 256),
                           stilltest::icoSharingOneEntry(stilltest::monochromeIconBitmap(4096, 0), 1)};
    return pair;
}
const Pair& manyEntryIco() {
    static const Pair pair{stilltest::icoSharingOneEntry(stilltest::onePixelPng(), 65535),
                           stilltest::icoSharingOneEntry(noisyPng(512), 1)};
    return pair;
}
const Pair& manyEntryIcns() {
    static const Pair pair{stilltest::icnsOfCopies(stilltest::onePixelPng(), 40000),
                           stilltest::icnsOfCopies(noisyPng(900), 1)};
    return pair;
}
// A million empty entries of an older raw type, each skipped.
const Pair& skippedEntryIcns() {
    static const Pair pair{[] {
                               Bytes file = {'i', 'c', 'n', 's', 0x00, 0x7A, 0x12, 0x08};
                               for (int i = 0; i < 1000000; ++i) file.insert(file.end(), {'i', 's', '3', '2', 0, 0, 0, 8});
                               return file;
                           }(),
                           stilltest::icnsOfCopies(noisyPng(1400), 1)};
    return pair;
}
const Pair& manyScanJpeg() {
    static const Pair pair{stilltest::progressiveJpegWithScans(4096, 4100), stilltest::jpeg(stilltest::gradient(4096, 4096, false), true)};
    return pair;
}

// Every picture the file holds, asked for in turn, as a reader that keeps
// them all would.
void readWhole(benchmark::State& state, const Bytes& file) {
    for (auto _ : state) {
        auto source = cg::ImageSource::createWithData(file);
        size_t made = 0;
        for (size_t i = 0; i < source->count(); ++i) made += source->createImageAtIndex(i) != nullptr;
        benchmark::DoNotOptimize(made);
    }
    state.counters["bytes"] = double(file.size());
}

// The body of an image/jpeg reply through the image response serializer,
// which inflates what it can.
void serialize(benchmark::State& state, const Bytes& file) {
    auto headers = ns::MutableDictionary::make();
    headers->setObjectForKey(ns::str("image/jpeg"), "Content-Type");
    auto response = ns::HTTPURLResponse::make(ns::URL::make("http://example.com/i"), 200, "HTTP/1.1", headers);
    auto data = ns::Data::make(file);
    for (auto _ : state) {
        ns::Ref<ns::Error> error;
        benchmark::DoNotOptimize(SDPImageResponseSerializer::serializer()->responseObjectForResponse(response, data, &error));
    }
    state.counters["bytes"] = double(file.size());
}

void IcoMaskShort(benchmark::State& state) { readWhole(state, maskShortIco().hostile); }
void IcoMaskShortPeer(benchmark::State& state) { readWhole(state, maskShortIco().peer); }
void IcoManyEntries(benchmark::State& state) { readWhole(state, manyEntryIco().hostile); }
void IcoManyEntriesPeer(benchmark::State& state) { readWhole(state, manyEntryIco().peer); }
void IcnsManyEntries(benchmark::State& state) { readWhole(state, manyEntryIcns().hostile); }
void IcnsManyEntriesPeer(benchmark::State& state) { readWhole(state, manyEntryIcns().peer); }
void IcnsSkippedEntries(benchmark::State& state) { readWhole(state, skippedEntryIcns().hostile); }
void IcnsSkippedEntriesPeer(benchmark::State& state) { readWhole(state, skippedEntryIcns().peer); }
void JpegManyScans(benchmark::State& state) { readWhole(state, manyScanJpeg().hostile); }
void JpegManyScansPeer(benchmark::State& state) { readWhole(state, manyScanJpeg().peer); }
void JpegManyScansSerialized(benchmark::State& state) { serialize(state, manyScanJpeg().hostile); }
void JpegManyScansSerializedPeer(benchmark::State& state) { serialize(state, manyScanJpeg().peer); }

// What a run of one pass adds to its name.
const std::string kOnePass = "/iterations:1";

void printPair(const bench::RunRecorder& runs, const std::string& hostile, const char* label) {
    const bench::RunResult* a = runs.find(hostile + kOnePass);
    const bench::RunResult* b = runs.find(hostile + "Peer" + kOnePass);
    if (!a || !b || b->realTime <= 0) return;
    std::printf("%s: %.0f ms (%.0f bytes), peer %.0f ms (%.0f bytes); ratio %.2f\n", label, a->realTime,
                a->counters.at("bytes"), b->realTime, b->counters.at("bytes"), a->realTime / b->realTime);
}

}  // namespace

// One pass each: before the reader's work was bounded, a hostile file took
// tens of seconds.
BENCHMARK(IcoMaskShort)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(IcoMaskShortPeer)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(IcoManyEntries)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(IcoManyEntriesPeer)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(IcnsManyEntries)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(IcnsManyEntriesPeer)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(IcnsSkippedEntries)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(IcnsSkippedEntriesPeer)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(JpegManyScans)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(JpegManyScansPeer)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(JpegManyScansSerialized)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(JpegManyScansSerializedPeer)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv) {
    return bench::runAndSummarize(argc, argv, [](const bench::RunRecorder& runs) {
        std::printf("\nEach file read whole through the image source (hostile / its normal peer):\n");
        printPair(runs, "IcoMaskShort", "ICO, 256 entries sharing a 4096x4096 1-bit bitmap, mask a byte short");
        printPair(runs, "IcoManyEntries", "ICO, 65,535 entries sharing a 1x1 PNG");
        printPair(runs, "IcnsManyEntries", "ICNS, 40,000 entries of a 1x1 PNG");
        printPair(runs, "IcnsSkippedEntries", "ICNS, 1,000,000 empty raw entries");
        printPair(runs, "JpegManyScans", "JPEG, 4096x4096 progressive, 4,100 scans");
        printPair(runs, "JpegManyScansSerialized", "the same JPEG through the image response serializer");
    });
}
