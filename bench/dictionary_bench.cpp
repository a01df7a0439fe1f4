// Building and reading the platform dictionary with text keys, against
// std::unordered_map<std::string, ...> over the same keys in the same run.
// After the usual table, the dictionary's time over the map's is printed per
// size, so the cost of objects as keys (virtual hash and isEqual, shared
// ownership) is visible at a glance.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "bench/ratio_report.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"

namespace {

std::vector<std::string> textKeys(int64_t n) {
    std::vector<std::string> keys;
    keys.reserve(size_t(n));
    // Field-like names of mixed lengths, as decoded replies carry.
    for (int64_t i = 0; i < n; ++i) keys.push_back("field_" + std::to_string(i * 2654435761u % 1000003) + "_" + std::to_string(i));
    return keys;
}

std::vector<ns::Ref<ns::String>> stringKeys(const std::vector<std::string>& texts) {
    std::vector<ns::Ref<ns::String>> keys;
    keys.reserve(texts.size());
    for (const std::string& t : texts) keys.push_back(ns::str(t));
    return keys;
}

void DictionaryBuild(benchmark::State& state) {
    auto texts = textKeys(state.range(0));
    auto keys = stringKeys(texts);
    ns::Id value = ns::num(1);
    for (auto _ : state) {
        auto d = ns::MutableDictionary::make();
        for (const auto& key : keys) d->setObjectForKey(value, key);
        benchmark::DoNotOptimize(d->count());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void UnorderedMapBuild(benchmark::State& state) {
    auto texts = textKeys(state.range(0));
    ns::Id value = ns::num(1);
    for (auto _ : state) {
        std::unordered_map<std::string, ns::Id> m;
        for (const auto& key : texts) m.emplace(key, value);
        benchmark::DoNotOptimize(m.size());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void DictionaryLookup(benchmark::State& state) {
    auto texts = textKeys(state.range(0));
    auto keys = stringKeys(texts);
    auto d = ns::MutableDictionary::dictionaryWithCapacity(keys.size());
    for (const auto& key : keys) d->setObjectForKey(ns::num(1), key);
    // Equal but distinct key objects, as a lookup by a freshly read name is.
    auto probes = stringKeys(texts);
    for (auto _ : state) {
        for (const auto& probe : probes) benchmark::DoNotOptimize(d->objectForKey(probe.get()));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void UnorderedMapLookup(benchmark::State& state) {
    auto texts = textKeys(state.range(0));
    std::unordered_map<std::string, ns::Id> m;
    for (const auto& key : texts) m.emplace(key, ns::num(1));
    auto probes = texts;
    for (auto _ : state) {
        for (const auto& probe : probes) benchmark::DoNotOptimize(m.find(probe));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(DictionaryBuild)->Arg(1000)->Arg(100000);
BENCHMARK(UnorderedMapBuild)->Arg(1000)->Arg(100000);
BENCHMARK(DictionaryLookup)->Arg(1000)->Arg(100000);
BENCHMARK(UnorderedMapLookup)->Arg(1000)->Arg(100000);

// Times per iteration, ours over the standard map's.
void printRatios(const bench::RunRecorder& runs) {
    std::printf("\nplatform dictionary time / std::unordered_map time (lower is better):\n");
    for (const char* op : {"Build", "Lookup"}) {
        for (const char* n : {"1000", "100000"}) {
            const bench::RunResult* ours = runs.find(std::string("Dictionary") + op + "/" + n);
            const bench::RunResult* theirs = runs.find(std::string("UnorderedMap") + op + "/" + n);
            if (!ours || !theirs || theirs->realTime <= 0) continue;
            std::printf("  %-6s N=%-7s %.2fx\n", op, n, ours->realTime / theirs->realTime);
        }
    }
}

}  // namespace

int main(int argc, char** argv) { return bench::runAndSummarize(argc, argv, printRatios); }
