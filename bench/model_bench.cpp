// Mapping list replies onto models: 1,000 dictionaries of 10 fields (as the
// JSON reader gives them) through qz_objectArrayWithKeyValuesArray, cold (the
// class's property list rebuilt for the batch) and warm, against a mapping
// written by hand for the same model in the same run. After the table, the
// rows per CPU second of each and the mapped time over the hand-written time
// are printed.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench/ratio_report.h"
#include "net/ModelMapping.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"

namespace {

constexpr int Rows = 1000;

// A row of a user-centre list reply: texts, numbers given as numbers and as
// texts, a truth given as text, and the reply's "id" under another name.
class ListRow : public ns::Object {
    RT_DECLARE_CLASS(ListRow)
public:
    ns::Ref<ns::String> rowId;
    ns::Ref<ns::String> title;
    ns::Ref<ns::String> content;
    ns::Ref<ns::String> icon;
    ns::Ref<ns::String> remark;
    int32_t count = 0;
    int64_t serverId = 0;
    double price = 0;
    bool received = false;
    int32_t level = 0;

    static ns::Ref<ns::Dictionary> qz_replacedKeyFromPropertyName() {
        return ns::Dictionary::make({{"rowId", ns::str("id")}});
    }
};

}  // namespace

RT_DEFINE_CLASS(ListRow, ns::Object, "BenchListRow", RT_PROPERTY(ListRow, rowId), RT_PROPERTY(ListRow, title),
                RT_PROPERTY(ListRow, content), RT_PROPERTY(ListRow, icon), RT_PROPERTY(ListRow, remark),
                RT_PROPERTY(ListRow, count), RT_PROPERTY(ListRow, serverId), RT_PROPERTY(ListRow, price),
                RT_PROPERTY(ListRow, received), RT_PROPERTY(ListRow, level))
QZ_MODEL_HOOKS(ListRow)

namespace {

ns::Ref<ns::Array> makeRows() {
    std::string json = "[";
    for (int i = 0; i < Rows; ++i) {
        if (i) json += ",";
        json += "{\"id\":\"" + std::to_string(100000 + i) + "\",\"title\":\"礼包 " + std::to_string(i) +
                "\",\"content\":\"钻石x100, 金币x2000\",\"icon\":\"https://cdn.example.com/icons/" + std::to_string(i) +
                ".png\",\"remark\":" + std::to_string(i % 7) + ",\"count\":" + std::to_string(i % 50) +
                ",\"serverId\":\"" + std::to_string(2000 + i % 30) + "\",\"price\":" + std::to_string(i % 100) +
                ".5,\"received\":\"" + (i % 2 ? "1" : "0") + "\",\"level\":" + std::to_string(i % 90) + "}";
    }
    json += "]";
    return ns::cast<ns::Array>(ns::JSONSerialization::JSONObjectWithData(ns::Data::withBytes(json), 0));
}

const ns::Ref<ns::Array>& rows() {
    static const ns::Ref<ns::Array> r = makeRows();
    return r;
}

// What a developer would write for this one model, with the same
// conversions: numbers or number texts for the scalars, any value's text
// for the texts.
ns::Ref<ListRow> mapByHand(const ns::Dictionary& d) {
    static const auto kId = ns::str("id"), kTitle = ns::str("title"), kContent = ns::str("content"),
                      kIcon = ns::str("icon"), kRemark = ns::str("remark"), kCount = ns::str("count"),
                      kServer = ns::str("serverId"), kPrice = ns::str("price"), kReceived = ns::str("received"),
                      kLevel = ns::str("level");
    auto text = [&](const ns::Ref<ns::String>& key) -> ns::Ref<ns::String> {
        ns::Id v = d.objectForKey(key.get());
        if (auto s = ns::cast<ns::String>(v)) return s;
        if (auto n = ns::cast<ns::Number>(v)) return ns::str(n->stringValue());
        return nullptr;
    };
    auto integer = [&](const ns::Ref<ns::String>& key) -> int64_t {
        ns::Id v = d.objectForKey(key.get());
        if (auto n = ns::cast<ns::Number>(v)) return n->longLongValue();
        if (auto s = ns::cast<ns::String>(v)) return s->longLongValue();
        return 0;
    };
    auto row = std::make_shared<ListRow>();
    row->rowId = text(kId);
    row->title = text(kTitle);
    row->content = text(kContent);
    row->icon = text(kIcon);
    row->remark = text(kRemark);
    row->count = int32_t(integer(kCount));
    row->serverId = integer(kServer);
    if (auto n = ns::cast<ns::Number>(d.objectForKey(kPrice.get()))) row->price = n->doubleValue();
    row->received = integer(kReceived) != 0;
    row->level = int32_t(integer(kLevel));
    return row;
}

bool sameText(const ns::Ref<ns::String>& a, const ns::Ref<ns::String>& b) {
    return (!a && !b) || (a && b && a->isEqualToString(b.get()));
}

// Every row and every field of the mapped models against the hand-written
// mapping of the same rows: a fast mapping that maps wrongly measures nothing.
void checkSame(benchmark::State& state, const ns::Ref<ns::MutableArray>& models) {
    if (!models || models->count() != rows()->count()) {
        state.SkipWithError("the mapping lost rows");
        return;
    }
    for (uint64_t i = 0; i < models->count(); ++i) {
        auto mapped = ns::cast<ListRow>(models->objectAtIndex(i));
        auto byHand = mapByHand(*ns::cast<ns::Dictionary>(rows()->objectAtIndex(i)));
        if (!mapped || !sameText(mapped->rowId, byHand->rowId) || !sameText(mapped->title, byHand->title) ||
            !sameText(mapped->content, byHand->content) || !sameText(mapped->icon, byHand->icon) ||
            !sameText(mapped->remark, byHand->remark) || mapped->count != byHand->count ||
            mapped->serverId != byHand->serverId || mapped->price != byHand->price ||
            mapped->received != byHand->received || mapped->level != byHand->level) {
            std::fprintf(stderr, "model_bench: row %llu differs from the hand-written mapping\n",
                         static_cast<unsigned long long>(i));
            state.SkipWithError("the mapped rows differ from the hand-written ones");
            return;
        }
    }
}

void MappedWarm(benchmark::State& state) {
    const auto& input = rows();
    auto check = qz_objectArrayWithKeyValuesArray<ListRow>(input);
    checkSame(state, check);
    for (auto _ : state) {
        auto models = qz_objectArrayWithKeyValuesArray<ListRow>(input);
        benchmark::DoNotOptimize(models->count());
    }
    state.counters["rows_per_second"] = benchmark::Counter(double(state.iterations()) * Rows, benchmark::Counter::kIsRate);
}

void MappedCold(benchmark::State& state) {
    const auto& input = rows();
    for (auto _ : state) {
        state.PauseTiming();
        // Empties the class's property list and name lists, as before the
        // first reply of the process.
        tv::clearPropertyListCache();
        qz_setupAllowedPropertyNames(ListRow::staticClass(), nullptr);
        qz_setupIgnoredPropertyNames(ListRow::staticClass(), nullptr);
        state.ResumeTiming();
        auto models = qz_objectArrayWithKeyValuesArray<ListRow>(input);
        benchmark::DoNotOptimize(models->count());
    }
    checkSame(state, qz_objectArrayWithKeyValuesArray<ListRow>(input));
    state.counters["rows_per_second"] = benchmark::Counter(double(state.iterations()) * Rows, benchmark::Counter::kIsRate);
}

void HandWritten(benchmark::State& state) {
    const auto& input = rows();
    for (auto _ : state) {
        auto models = ns::MutableArray::arrayWithCapacity(Rows);
        for (const ns::Id& element : *input) {
            if (auto d = ns::cast<ns::Dictionary>(element)) models->addObject(mapByHand(*d));
        }
        benchmark::DoNotOptimize(models->count());
    }
    state.counters["rows_per_second"] = benchmark::Counter(double(state.iterations()) * Rows, benchmark::Counter::kIsRate);
}

BENCHMARK(MappedCold);
BENCHMARK(MappedWarm);
BENCHMARK(HandWritten);

// CPU time: the ratio should not move with the load of a shared machine.
void printRatios(const bench::RunRecorder& runs) {
    const bench::RunResult* hand = runs.find("HandWritten");
    if (!hand || hand->cpuTime <= 0) return;
    std::printf("\nrows per CPU second, and mapped time / hand-written time (lower is better):\n");
    for (const char* name : {"MappedCold", "MappedWarm", "HandWritten"}) {
        const bench::RunResult* run = runs.find(name);
        if (!run || run->cpuTime <= 0) continue;
        // Times are per iteration of Rows rows, in the reporter's unit (ns).
        std::printf("  %-12s %12.0f rows/s  %6.2fx\n", name, Rows * 1e9 / run->cpuTime, run->cpuTime / hand->cpuTime);
    }
}

}  // namespace

int main(int argc, char** argv) { return bench::runAndSummarize(argc, argv, printRatios); }
