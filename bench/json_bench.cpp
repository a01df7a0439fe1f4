// Parse and encode throughput of the JSON codec on generated corpora, side
// by side in one run with RapidJSON (DOM), simdjson (DOM) and nlohmann/json.
// The peers are measurement references only. Every library's tree of each
// corpus is checked to hold the same number of values before anything is
// timed. After the usual table, the codec's throughput over each peer's is
// printed per corpus (above 1.00x: the codec is faster).
//
// The codec parses through its one-shot entry points (a fresh decoder per
// document, as the product calls it; page messages exactly as the game page
// host does: text, loose Unicode) and encodes the tree it decoded.
//
// RapidJSON parses twice: on its default flags, and as the codec parses,
// with full-precision doubles and UTF-8 validation ("rapidjson-exact").
//
// The scale cases decode one array of small numbers at 100,000, 600,000 and
// 1,000,000 elements, with the platform's JSON parser beside the 600,000
// one: the codec's time must grow linearly with the elements.
//
// The platform's reader has corpora of its own (platform/...): 200,000
// short strings, 600,000 integers past 10^6, 600,000 one-digit integers,
// 16 MB of records as a game server sends them, and the page messages one
// by one. Before the timings, what the records cost held once read is
// printed: resident bytes, and bytes charged to a reply, per byte of text.

#include <benchmark/benchmark.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <simdjson.h>

#include "bench/ratio_report.h"
#include "net/JKCodec.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/ReplyBudget.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Allocator.h"
#include "platform/testing/ResidentMemory.h"

namespace {

// ---- Corpora ----

struct Corpus {
    std::string name;
    // One document, or many small ones (page messages) parsed one by one.
    std::vector<std::string> documents;
    size_t bytes = 0;
};

std::mt19937_64& rng() {
    static std::mt19937_64 r(20240501);
    return r;
}
uint64_t pick(uint64_t n) { return rng()() % n; }

std::string word() {
    static const char* const words[] = {"alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf", "hotel",
                                        "india", "juliet", "kilo", "lima", "mike", "november", "oscar", "papa"};
    return words[pick(16)];
}

std::string sentence(size_t words) {
    std::string s;
    for (size_t i = 0; i < words; ++i) {
        if (i) s += ' ';
        s += word();
        switch (pick(24)) {
            case 0: s += "\\\"quoted\\\""; break;
            case 1: s += "\\n"; break;
            case 2: s += " caf\xC3\xA9"; break;
            case 3: s += " \xE4\xB8\xAD\xE6\x96\x87"; break;
            case 4: s += " \\u00e9"; break;
            case 5: s += " \xF0\x9F\x98\x80"; break;
            default: break;
        }
    }
    return s;
}

std::string numberText() {
    char buffer[64];
    switch (pick(4)) {
        case 0: std::snprintf(buffer, sizeof buffer, "%" PRId64, int64_t(pick(2000000)) - 1000000); break;
        case 1: std::snprintf(buffer, sizeof buffer, "%" PRIu64, rng()() >> 1); break;
        case 2: std::snprintf(buffer, sizeof buffer, "%.6f", double(pick(100000000)) / 1000.0); break;
        default: std::snprintf(buffer, sizeof buffer, "%.17g", double(rng()() >> 11) / double(1ull << 40)); break;
    }
    return buffer;
}

Corpus stringHeavy() {
    std::string d = "[";
    for (int i = 0; i < 4000; ++i) {
        if (i) d += ',';
        d += "{\"id\":\"item-" + std::to_string(i) + "\",\"title\":\"" + sentence(4) + "\",\"body\":\"" +
             sentence(30 + pick(20)) + "\",\"tags\":[\"" + word() + "\",\"" + word() + "\"]}";
    }
    return {"strings", {d + "]"}};
}

Corpus numberHeavy() {
    std::string d = "[";
    for (int row = 0; row < 2000; ++row) {
        d += row ? ",[" : "[";
        for (int i = 0; i < 25; ++i) d += (i ? "," : "") + numberText();
        d += "]";
    }
    return {"numbers", {d + "]"}};
}

Corpus deep() {
    // Chains 400 levels deep, within every library's nesting limit.
    std::string d = "[";
    for (int chain = 0; chain < 150; ++chain) {
        if (chain) d += ',';
        for (int level = 0; level < 200; ++level) d += (level % 2) ? "{\"next\":" : "[" + std::to_string(level) + ",";
        d += "null";
        for (int level = 199; level >= 0; --level) d += (level % 2) ? "}" : "]";
    }
    return {"deep", {d + "]"}};
}

Corpus wide() {
    std::string d = "{";
    for (int i = 0; i < 30000; ++i) {
        if (i) d += ',';
        d += "\"field_" + std::to_string(i) + "\":";
        d += pick(2) ? std::to_string(pick(100000)) : "\"" + word() + "\"";
    }
    return {"wide", {d + "}"}};
}

Corpus pageMessages() {
    Corpus c{"page", {}};
    static const char* const actions[] = {"login", "uploadGameRoleInfo", "pay", "logout", "openStore"};
    for (int i = 0; i < 2000; ++i) {
        std::string m = std::string("{\"action\":\"") + actions[pick(5)] + "\",\"data\":{";
        m += "\"role_id\":\"" + std::to_string(100000 + pick(900000)) + "\",";
        m += "\"role_name\":\"" + word() + "\xE5\x8B\x87\xE8\x80\x85\",";
        m += "\"role_level\":" + std::to_string(1 + pick(99)) + ",";
        m += "\"service_id\":\"" + std::to_string(1 + pick(300)) + "\",";
        m += "\"service_name\":\"S" + std::to_string(pick(300)) + " " + word() + "\",";
        m += "\"power_value\":" + std::to_string(pick(10000000)) + ",";
        m += "\"good_id\":\"com.game.gold" + std::to_string(pick(6)) + "\",";
        m += "\"good_name\":\"" + std::to_string(60 * (1 + pick(6))) + "\xE5\x85\x83\xE5\xAE\x9D\",";
        m += "\"money\":\"" + std::to_string(6 * (1 + pick(50))) + ".00\",";
        m += "\"game_order_sn\":\"" + std::to_string(rng()() % 10000000000000ull) + "\"}}";
        c.documents.push_back(m);
    }
    return c;
}

const std::vector<Corpus>& corpora() {
    static const std::vector<Corpus> all = [] {
        std::vector<Corpus> list = {stringHeavy(), numberHeavy(), deep(), wide(), pageMessages()};
        for (Corpus& c : list) {
            for (const std::string& d : c.documents) c.bytes += d.size();
        }
        return list;
    }();
    return all;
}

// ---- Value counts: every value of the tree, containers included ----

size_t count(const ns::Id& v) {
    size_t n = 1;
    if (auto a = ns::cast<ns::Array>(v)) {
        for (const ns::Id& e : *a) n += count(e);
    } else if (auto d = ns::cast<ns::Dictionary>(v)) {
        for (const ns::Id& k : *d) n += count(d->objectForKey(k));
    }
    return n;
}

size_t count(const rapidjson::Value& v) {
    size_t n = 1;
    if (v.IsArray()) {
        for (const auto& e : v.GetArray()) n += count(e);
    } else if (v.IsObject()) {
        for (const auto& m : v.GetObject()) n += count(m.value);
    }
    return n;
}

size_t count(simdjson::dom::element v) {
    size_t n = 1;
    if (v.is_array()) {
        for (simdjson::dom::element e : v.get_array()) n += count(e);
    } else if (v.is_object()) {
        for (simdjson::dom::key_value_pair field : v.get_object()) n += count(field.value);
    }
    return n;
}

size_t count(const nlohmann::json& v) {
    size_t n = 1;
    if (v.is_structured()) {
        for (const auto& e : v) n += count(e);
    }
    return n;
}

// ---- Per-library parse and encode, one document ----

struct Inputs {
    std::vector<ns::Ref<ns::Data>> data;       // the codec's input
    std::vector<ns::Ref<ns::String>> strings;  // page messages as the page host holds them
    std::vector<simdjson::padded_string> padded;
};

const Inputs& inputsOf(const Corpus& c) {
    static std::map<std::string, Inputs> cache;
    Inputs& in = cache[c.name];
    if (in.data.empty()) {
        for (const std::string& d : c.documents) {
            in.data.push_back(ns::Data::withBytes(d));
            in.strings.push_back(ns::str(d));
            in.padded.emplace_back(d);
        }
    }
    return in;
}

// One document as the codec parses it: page messages exactly as the page
// host does (text, loose Unicode), everything else from bytes.
ns::Id jkParse(const Inputs& in, bool page, size_t i) {
    if (page) return JKCodec::objectFromJSONStringWithParseOptions(*in.strings[i], JKParseFlagLooseUnicode);
    return JKCodec::objectFromJSONData(*in.data[i]);
}

// A decoded tree ready to encode, its kind settled before timing starts.
struct JKTree {
    ns::Ref<ns::Dictionary> dictionary;
    ns::Ref<ns::Array> array;
};

// Page callbacks go out as text, as the page host sends them; the rest as
// bytes.
size_t jkEncode(const JKTree& tree, bool page) {
    if (tree.dictionary) {
        return page ? JKCodec::JSONString(*tree.dictionary)->utf8().size() : JKCodec::JSONData(*tree.dictionary)->length();
    }
    return JKCodec::JSONData(*tree.array)->length();
}

// Checks, once per corpus, that every library sees the same number of values.
void checkCounts(const Corpus& c) {
    size_t jk = 0, rapid = 0, simd = 0, nlo = 0;
    simdjson::dom::parser parser;
    for (size_t i = 0; i < c.documents.size(); ++i) {
        ns::Id tree = jkParse(inputsOf(c), c.name == "page", i);
        if (!tree) {
            std::fprintf(stderr, "json_bench: the codec refused corpus %s\n", c.name.c_str());
            std::exit(1);
        }
        jk += count(tree);
        rapidjson::Document doc;
        doc.Parse(c.documents[i].data(), c.documents[i].size());
        rapid += count(static_cast<const rapidjson::Value&>(doc));
        simd += count(parser.parse(inputsOf(c).padded[i]).value());
        nlo += count(nlohmann::json::parse(c.documents[i]));
    }
    if (jk != rapid || jk != simd || jk != nlo) {
        std::fprintf(stderr, "json_bench: value counts differ on %s: codec %zu, RapidJSON %zu, simdjson %zu, nlohmann %zu\n",
                     c.name.c_str(), jk, rapid, simd, nlo);
        std::exit(1);
    }
    std::printf("%-8s %8zu bytes in %4zu document(s), %7zu values in every library\n", c.name.c_str(), c.bytes,
                c.documents.size(), jk);
}

// ---- Benchmarks ----

void parseJK(benchmark::State& state, const Corpus* c) {
    const Inputs& in = inputsOf(*c);
    const bool page = c->name == "page";
    for (auto _ : state) {
        for (size_t i = 0; i < c->documents.size(); ++i) benchmark::DoNotOptimize(jkParse(in, page, i));
    }
    state.SetBytesProcessed(int64_t(state.iterations() * c->bytes));
}

void parseRapid(benchmark::State& state, const Corpus* c) {
    for (auto _ : state) {
        for (const std::string& d : c->documents) {
            rapidjson::Document doc;
            doc.Parse(d.data(), d.size());
            benchmark::DoNotOptimize(doc.IsObject());
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations() * c->bytes));
}

// As the codec reads: doubles to the last bit, ill-formed UTF-8 refused.
void parseRapidExact(benchmark::State& state, const Corpus* c) {
    constexpr unsigned flags = rapidjson::kParseFullPrecisionFlag | rapidjson::kParseValidateEncodingFlag;
    for (auto _ : state) {
        for (const std::string& d : c->documents) {
            rapidjson::Document doc;
            doc.Parse<flags>(d.data(), d.size());
            if (doc.HasParseError()) state.SkipWithError("RapidJSON refused a document");
            benchmark::DoNotOptimize(doc.IsObject());
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations() * c->bytes));
}

void parseSimd(benchmark::State& state, const Corpus* c) {
    simdjson::dom::parser parser;
    const Inputs& in = inputsOf(*c);
    for (auto _ : state) {
        for (const simdjson::padded_string& d : in.padded) {
            auto doc = parser.parse(d);
            benchmark::DoNotOptimize(doc.error());
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations() * c->bytes));
}

void parseNlohmann(benchmark::State& state, const Corpus* c) {
    for (auto _ : state) {
        for (const std::string& d : c->documents) benchmark::DoNotOptimize(nlohmann::json::parse(d));
    }
    state.SetBytesProcessed(int64_t(state.iterations() * c->bytes));
}

void encodeJK(benchmark::State& state, const Corpus* c) {
    const bool page = c->name == "page";
    std::vector<JKTree> trees;
    for (size_t i = 0; i < c->documents.size(); ++i) {
        ns::Id tree = jkParse(inputsOf(*c), page, i);
        trees.push_back({ns::cast<ns::Dictionary>(tree), ns::cast<ns::Array>(tree)});
    }
    for (auto _ : state) {
        for (const JKTree& tree : trees) benchmark::DoNotOptimize(jkEncode(tree, page));
    }
    state.SetBytesProcessed(int64_t(state.iterations() * c->bytes));
}

void encodeRapid(benchmark::State& state, const Corpus* c) {
    std::vector<rapidjson::Document> docs(c->documents.size());
    for (size_t i = 0; i < docs.size(); ++i) docs[i].Parse(c->documents[i].data(), c->documents[i].size());
    for (auto _ : state) {
        for (const rapidjson::Document& doc : docs) {
            rapidjson::StringBuffer buffer;
            rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
            doc.Accept(writer);
            benchmark::DoNotOptimize(buffer.GetSize());
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations() * c->bytes));
}

void encodeSimd(benchmark::State& state, const Corpus* c) {
    const Inputs& in = inputsOf(*c);
    std::vector<simdjson::dom::parser> parsers(in.padded.size());
    std::vector<simdjson::dom::element> docs;
    for (size_t i = 0; i < in.padded.size(); ++i) docs.push_back(parsers[i].parse(in.padded[i]).value());
    for (auto _ : state) {
        for (const simdjson::dom::element& doc : docs) benchmark::DoNotOptimize(simdjson::to_string(doc).size());
    }
    state.SetBytesProcessed(int64_t(state.iterations() * c->bytes));
}

void encodeNlohmann(benchmark::State& state, const Corpus* c) {
    std::vector<nlohmann::json> docs;
    for (const std::string& d : c->documents) docs.push_back(nlohmann::json::parse(d));
    for (auto _ : state) {
        for (const nlohmann::json& doc : docs) benchmark::DoNotOptimize(doc.dump().size());
    }
    state.SetBytesProcessed(int64_t(state.iterations() * c->bytes));
}

// ---- Scale: one wide array ----

const std::string& wideArray(size_t elements) {
    static std::map<size_t, std::string> texts;
    std::string& text = texts[elements];
    if (text.empty()) {
        text.reserve(elements * 2 + 2);
        text += '[';
        for (size_t i = 0; i < elements; ++i) {
            if (i) text += ',';
            text += char('0' + i % 10);
        }
        text += ']';
    }
    return text;
}

void scaleCodec(benchmark::State& state) {
    const size_t elements = size_t(state.range(0));
    const auto data = ns::Data::withBytes(wideArray(elements));
    for (auto _ : state) {
        auto array = ns::cast<ns::Array>(JKCodec::objectFromJSONData(*data));
        if (!array || array->count() != elements) state.SkipWithError("the codec lost elements");
    }
    state.SetItemsProcessed(int64_t(state.iterations() * elements));
}

void scalePlatform(benchmark::State& state) {
    const size_t elements = size_t(state.range(0));
    const auto data = ns::Data::withBytes(wideArray(elements));
    for (auto _ : state) {
        auto array = ns::cast<ns::Array>(ns::JSONSerialization::JSONObjectWithData(data, 0));
        if (!array || array->count() != elements) state.SkipWithError("the platform parser lost elements");
    }
    state.SetItemsProcessed(int64_t(state.iterations() * elements));
}

// ---- The platform's reader ----

// One record as a game server lists them; ids, names and figures vary.
std::string record(uint64_t i) {
    return "{\"id\":" + std::to_string(100000000 + i * 7) + ",\"name\":\"" + word() + " " + word() +
           "\",\"price\":" + std::to_string(pick(100000)) + "." + std::to_string(10 + pick(90)) +
           ",\"count\":" + std::to_string(pick(100)) + ",\"vip\":" + (pick(2) ? "true" : "false") +
           ",\"discount\":null,\"level\":" + std::to_string(1 + pick(99)) + ",\"tags\":[\"" + word() + "\",\"" +
           word() + "\"],\"meta\":{\"server\":" + std::to_string(pick(300)) +
           ",\"ts\":" + std::to_string(1701234567 + pick(10000000)) + ",\"flag\":" + std::to_string(pick(2)) + "}}";
}

std::string records(size_t bytes) {
    std::string d = "[";
    for (uint64_t i = 0; d.size() < bytes; ++i) d += (i ? "," : "") + record(i);
    return d + "]";
}

struct PlatformCorpus {
    std::string name;
    std::vector<ns::Ref<ns::Data>> documents;
    size_t bytes = 0;
};

const std::vector<PlatformCorpus>& platformCorpora() {
    static const std::vector<PlatformCorpus> all = [] {
        std::vector<std::pair<std::string, std::vector<std::string>>> texts;
        std::string strings = "[";
        for (int i = 0; i < 200000; ++i) strings += (i ? ",\"" : "\"") + word() + "-" + std::to_string(i % 1000) + "\"";
        texts.push_back({"strings", {strings + "]"}});
        std::string integers = "[";
        for (int i = 0; i < 600000; ++i) integers += (i ? "," : "") + std::to_string(1000001 + pick(2000000000));
        texts.push_back({"integers", {integers + "]"}});
        texts.push_back({"digits", {wideArray(600000)}});
        texts.push_back({"records", {records(16000000)}});
        texts.push_back({"page", corpora().back().documents});
        std::vector<PlatformCorpus> list;
        for (auto& [name, documents] : texts) {
            PlatformCorpus c{name, {}, 0};
            for (const std::string& d : documents) {
                c.documents.push_back(ns::Data::withBytes(d));
                c.bytes += d.size();
            }
            list.push_back(std::move(c));
        }
        return list;
    }();
    return all;
}

void parsePlatform(benchmark::State& state, const PlatformCorpus* c) {
    for (auto _ : state) {
        for (const auto& d : c->documents) {
            if (!ns::JSONSerialization::JSONObjectWithData(d, 0)) state.SkipWithError("the platform parser refused it");
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations() * c->bytes));
}

// What 16 MB of records cost held once read, per byte of their text.
void printRecordsCost() {
    const PlatformCorpus& c = platformCorpora()[3];
    // What was let go making the corpora goes back first, so that the
    // read's blocks are all new pages.
    rt::allocator::giveBackFreed();
    const uint64_t before = testing::residentBytes();
    ns::Id held = ns::JSONSerialization::JSONObjectWithData(c.documents[0], 0);
    const uint64_t resident = testing::residentBytes() - before;
    held = nullptr;
    ns::ReplyBudget budget(uint64_t(1) << 40);
    ns::ReplyShare share(budget);
    {
        ns::ReplyCharge charge(share);
        held = ns::JSONSerialization::JSONObjectWithData(c.documents[0], 0);
    }
    std::printf("records, %zu bytes read and held: %.2f resident bytes and %.2f charged bytes per byte of text\n",
                c.bytes, double(resident) / double(c.bytes), double(share.size()) / double(c.bytes));
}

const char* const peers[] = {"rapidjson", "rapidjson-exact", "simdjson", "nlohmann"};

// Bytes per second, ours over each peer's; with --benchmark_repetitions the
// median stands for a run, which shared machines need.
void printRatios(const bench::RunRecorder& runs) {
    std::printf("\ncodec MB/s over each peer's (above 1.00x: the codec is faster)\n");
    std::printf("%-7s %-8s %9s %11s %11s %11s %11s\n", "", "corpus", "codec", "RapidJSON", "R.exact", "simdjson",
                "nlohmann");
    for (const char* op : {"parse", "encode"}) {
        for (const Corpus& c : corpora()) {
            const std::string base = std::string(op) + "/" + c.name + "/";
            const double ours = runs.counter(base + "codec", "bytes_per_second");
            if (ours <= 0) continue;
            std::printf("%-7s %-8s %6.0f MB/s", op, c.name.c_str(), ours / 1e6);
            for (const char* peer : peers) {
                const double theirs = runs.counter(base + peer, "bytes_per_second");
                if (theirs <= 0) {
                    std::printf(" %11s", "-");
                } else {
                    std::printf(" %10.2fx", ours / theirs);
                }
            }
            std::printf("\n");
        }
    }
    const bench::RunResult* small = runs.find("scale/codec/100000");
    const bench::RunResult* large = runs.find("scale/codec/1000000");
    const bench::RunResult* mid = runs.find("scale/codec/600000");
    const bench::RunResult* platform = runs.find("scale/platform/600000");
    if (small && large && small->realTime > 0) {
        std::printf("\none array of numbers: 10x the elements in %.1fx the time (linear: about 10x)\n",
                    large->realTime / small->realTime);
    }
    std::printf("\nthe platform's reader\n");
    for (const PlatformCorpus& c : platformCorpora()) {
        const bench::RunResult* run = runs.find("platform/" + c.name);
        if (run) std::printf("%-8s %9zu bytes %8.2f ms\n", c.name.c_str(), c.bytes, run->realTime);
    }
    if (mid && platform && platform->realTime > 0) {
        std::printf("600,000 elements: codec %.0f ms, platform parser %.0f ms; codec time / platform time %.2fx\n",
                    mid->realTime, platform->realTime, mid->realTime / platform->realTime);
    }
}

}  // namespace

int main(int argc, char** argv) {
    printRecordsCost();
    for (const PlatformCorpus& c : platformCorpora()) {
        benchmark::RegisterBenchmark(("platform/" + c.name).c_str(), parsePlatform, &c)->Unit(benchmark::kMillisecond);
    }
    for (const Corpus& c : corpora()) {
        checkCounts(c);
        const Corpus* p = &c;
        const std::string parse = "parse/" + c.name + "/", encode = "encode/" + c.name + "/";
        benchmark::RegisterBenchmark((parse + "codec").c_str(), parseJK, p);
        benchmark::RegisterBenchmark((parse + "rapidjson").c_str(), parseRapid, p);
        benchmark::RegisterBenchmark((parse + "rapidjson-exact").c_str(), parseRapidExact, p);
        benchmark::RegisterBenchmark((parse + "simdjson").c_str(), parseSimd, p);
        benchmark::RegisterBenchmark((parse + "nlohmann").c_str(), parseNlohmann, p);
        benchmark::RegisterBenchmark((encode + "codec").c_str(), encodeJK, p);
        benchmark::RegisterBenchmark((encode + "rapidjson").c_str(), encodeRapid, p);
        benchmark::RegisterBenchmark((encode + "simdjson").c_str(), encodeSimd, p);
        benchmark::RegisterBenchmark((encode + "nlohmann").c_str(), encodeNlohmann, p);
    }
    benchmark::RegisterBenchmark("scale/codec", scaleCodec)->Arg(100000)->Arg(600000)->Arg(1000000)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("scale/platform", scalePlatform)->Arg(600000)->Unit(benchmark::kMillisecond);
    return bench::runAndSummarize(argc, argv, printRatios);
}
