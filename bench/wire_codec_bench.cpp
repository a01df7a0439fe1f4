// The channel wire codec's encode and decode throughput on an order request
// (18 short fields, as the pay API sends), side by side in one run with the
// plain steps it builds on: the same JSON, base64 and a gzip deflate of the
// base64 bytes (encode), and inflate, base64 and JSON (decode), without the
// codec's substitution and framing. Goal: at least 0.7x of the plain steps.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/ratio_report.h"
#include "channel/DecodeGzipBase64.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/String.h"
#include "sandbox/ChannelWire.h"

namespace {

ns::Ref<ns::Dictionary> orderRequest() {
    auto order = ns::MutableDictionary::make();
    const char* fields[][2] = {{"z", "h5"},         {"p", "648"},         {"xx", "1.00"},
                               {"b", "648"},        {"cid", ""},          {"c", "player1"},
                               {"d", "10086"},      {"e", "s1"},          {"f", "1001"},
                               {"x", "17040672000001234"}, {"y", "648元宝礼包"}, {"j", "20001"},
                               {"k", "7001"},       {"tr", "player1_1"},  {"h", "6D92078A-8246-4BA4-AE5B-76104861E7DC"},
                               {"l", "648元宝"},     {"n", "cp-extension-0001"}, {"os", "ios"}};
    for (const auto& field : fields) order->setObjectForKey(ns::str(field[1]), field[0]);
    return order;
}

// A reply body in the codec's format and the plain one, of the same JSON.
struct Replies {
    ns::Ref<ns::Data> codec;
    std::string plain;
};

const Replies& replies() {
    static const Replies made = [] {
        auto json = ns::JSONSerialization::dataWithJSONObject(orderRequest(), 0);
        std::string base64 = json->base64EncodedString();
        std::string framed = DecodeGzipBase64::substitute(std::u16string(base64.begin(), base64.end()));
        return Replies{ns::Data::withBytes(sandbox::channel_wire::gzip(framed)), sandbox::channel_wire::gzip(base64)};
    }();
    return made;
}

void BM_CodecEncode(benchmark::State& state) {
    auto order = orderRequest();
    for (auto _ : state) benchmark::DoNotOptimize(DecodeGzipBase64::codingJSON(order));
    state.SetItemsProcessed(state.iterations());
}

void BM_PlainEncode(benchmark::State& state) {
    auto order = orderRequest();
    for (auto _ : state) {
        auto json = ns::JSONSerialization::dataWithJSONObject(order, 0);
        benchmark::DoNotOptimize(sandbox::channel_wire::gzip(json->base64EncodedString(ns::Base64Encoding64CharacterLineLength)));
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_CodecDecode(benchmark::State& state) {
    const auto& body = replies().codec;
    if (!DecodeGzipBase64::decodingJSON(body)) state.SkipWithError("the codec reply does not decode");
    for (auto _ : state) benchmark::DoNotOptimize(DecodeGzipBase64::decodingJSON(body));
    state.SetItemsProcessed(state.iterations());
}

void BM_PlainDecode(benchmark::State& state) {
    const auto& body = replies().plain;
    for (auto _ : state) {
        auto json = ns::Data::withBase64EncodedString(*sandbox::channel_wire::gunzip(body));
        benchmark::DoNotOptimize(ns::JSONSerialization::JSONObjectWithData(json, ns::JSONReadingMutableLeaves));
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_CodecEncode);
BENCHMARK(BM_PlainEncode);
BENCHMARK(BM_CodecDecode);
BENCHMARK(BM_PlainDecode);

}  // namespace

int main(int argc, char** argv) {
    return bench::runAndSummarize(argc, argv, [](const bench::RunRecorder& runs) {
        for (const char* step : {"Encode", "Decode"}) {
            std::string ours = std::string("BM_Codec") + step, theirs = std::string("BM_Plain") + step;
            double a = runs.counter(ours, "items_per_second"), b = runs.counter(theirs, "items_per_second");
            if (a > 0 && b > 0)
                std::printf("wire codec %s: %.0f/s, plain steps %.0f/s; ratio %.2f (goal 0.70)\n", step, a, b, a / b);
        }
    });
}
