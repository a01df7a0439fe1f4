// The memory cache against a plain LRU (std::unordered_map + std::list under
// one std::mutex) with the same count limit and the same URL-like keys, on 1
// and 4 threads sharing one cache: reads, writes, and a mix of 9 reads to 1
// write. After the table, ours over the plain LRU's items per second.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "bench/ratio_report.h"
#include "image/cache/TVMemoryCache.h"
#include "platform/foundation/String.h"

namespace {

constexpr size_t CountLimit = 1000;
constexpr size_t KeySpace = 1200;  // somewhat more keys than room: writes evict now and then

const std::vector<std::string>& keys() {
    static const auto* all = [] {
        auto* out = new std::vector<std::string>();
        for (size_t i = 0; i < KeySpace; ++i) {
            out->push_back("https://cdn.example.com/user/avatar/" + std::to_string(i * 2654435761u % 1000003) +
                           "_" + std::to_string(i) + ".jpg?size=128");
        }
        return out;
    }();
    return *all;
}

class PlainLRU {
public:
    explicit PlainLRU(size_t limit) : limit_(limit) {}

    ns::Id get(const std::string& key) {
        std::lock_guard hold(lock_);
        auto it = map_.find(key);
        if (it == map_.end()) return nullptr;
        order_.splice(order_.begin(), order_, it->second);
        return it->second->second;
    }
    void set(const std::string& key, ns::Id value) {
        std::lock_guard hold(lock_);
        auto it = map_.find(key);
        if (it != map_.end()) {
            it->second->second = std::move(value);
            order_.splice(order_.begin(), order_, it->second);
            return;
        }
        order_.emplace_front(key, std::move(value));
        map_.emplace(key, order_.begin());
        if (map_.size() > limit_) {
            map_.erase(order_.back().first);
            order_.pop_back();
        }
    }

private:
    using Entry = std::pair<std::string, ns::Id>;
    size_t limit_;
    std::mutex lock_;
    std::list<Entry> order_;
    std::unordered_map<std::string, std::list<Entry>::iterator> map_;
};

ns::Id sharedValue() {
    static const ns::Id value = ns::str("decoded image");
    return value;
}

TVMemoryCache& ourCache() {
    static const auto cache = [] {
        auto made = TVMemoryCache::make();
        made->setCountLimit(CountLimit);
        for (const auto& key : keys()) made->setObjectForKey(sharedValue(), key);
        return made;
    }();
    return *cache;
}

PlainLRU& plainCache() {
    static auto* cache = [] {
        auto* made = new PlainLRU(CountLimit);
        for (const auto& key : keys()) made->set(key, sharedValue());
        return made;
    }();
    return *cache;
}

enum class Mix { Get, Set, Mixed };

template <class Get, class Set>
void run(benchmark::State& state, Mix mix, Get get, Set set) {
    const auto& all = keys();
    // Each thread walks the keys from its own offset with a stride.
    size_t i = size_t(state.thread_index()) * 97;
    for (auto _ : state) {
        const std::string& key = all[i % all.size()];
        const bool write = mix == Mix::Set || (mix == Mix::Mixed && i % 10 == 0);
        if (write) set(key);
        else benchmark::DoNotOptimize(get(key));
        i += 7;
    }
    state.SetItemsProcessed(state.iterations());
}

void Ours(benchmark::State& state, Mix mix) {
    TVMemoryCache& cache = ourCache();
    run(state, mix, [&](const std::string& key) { return cache.objectForKey(key); },
        [&](const std::string& key) { cache.setObjectForKey(sharedValue(), key); });
}

void Plain(benchmark::State& state, Mix mix) {
    PlainLRU& cache = plainCache();
    run(state, mix, [&](const std::string& key) { return cache.get(key); },
        [&](const std::string& key) { cache.set(key, sharedValue()); });
}

BENCHMARK_CAPTURE(Ours, Get, Mix::Get)->Threads(1)->Threads(4)->UseRealTime();
BENCHMARK_CAPTURE(Plain, Get, Mix::Get)->Threads(1)->Threads(4)->UseRealTime();
BENCHMARK_CAPTURE(Ours, Set, Mix::Set)->Threads(1)->Threads(4)->UseRealTime();
BENCHMARK_CAPTURE(Plain, Set, Mix::Set)->Threads(1)->Threads(4)->UseRealTime();
BENCHMARK_CAPTURE(Ours, Mixed, Mix::Mixed)->Threads(1)->Threads(4)->UseRealTime();
BENCHMARK_CAPTURE(Plain, Mixed, Mix::Mixed)->Threads(1)->Threads(4)->UseRealTime();

void printRatios(const bench::RunRecorder& runs) {
    std::printf("\nmemory cache / plain LRU, items per second (higher is better):\n");
    for (const char* op : {"Get", "Set", "Mixed"}) {
        for (const char* threads : {"1", "4"}) {
            const std::string suffix = std::string("/") + op + "/real_time/threads:" + threads;
            const double ours = runs.counter("Ours" + suffix, "items_per_second");
            const double theirs = runs.counter("Plain" + suffix, "items_per_second");
            if (ours <= 0 || theirs <= 0) continue;
            std::printf("  %-5s %s thread(s) %.2f\n", op, threads, ours / theirs);
        }
    }
}

}  // namespace

int main(int argc, char** argv) { return bench::runAndSummarize(argc, argv, printRatios); }
