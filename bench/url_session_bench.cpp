// Keep-alive requests per second to a loopback server: through a URL session
// (transfer thread, delegate queue, task objects) against raw libcurl doing
// the same GETs on the same kind of server in the same run: one at a time
// against an easy handle, and 16 in flight over 6 connections against a
// multi handle with the same connection limit. The 16-in-flight rows are
// served by a plain poll-loop server that never sleeps, so the server's own
// keep-alive waits do not swamp what they compare. After the usual table the
// session's rates over curl's are printed, so the cost of the session
// machinery per request is visible at a glance.
//
// A host that floods its cookies: 40 replies of 3,000 Set-Cookie fields each
// (each reply's names its own), into a fresh store each time, against the
// same 40 replies with cookies left alone: the cost of keeping them, which
// once grew with every cookie stored.
//
// Heads of many fields: 100 replies at once whose heads are 3,990 short
// lines each (nearly the 4,000 fields a reply's heads may hold), against 100 ordinary replies of as many bytes, both paced as a
// phone's network (2 MB/s a connection), and both unpaced, where what is
// measured is the transfer thread's work alone (curl's own reading of a
// line costs far more than a byte of body). And one small call sent on the
// same session right behind 30 such replies: its time is how long it
// waited for them. The machine's load is printed with the ratios.
//
// Large replies one after another: 200 blocking reads of 1.5 MB, and as
// many completion-handler tasks, with the page faults each costs (minor
// faults per reply: the pages the process had to be given afresh).
//
// What the session posts to the main queue runs on this thread, the main
// one, inside the timed loop.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "bench/curl_baseline.h"
#include "bench/main_queue.h"
#include "bench/named_servers.h"
#include "bench/poll_server.h"
#include "bench/ratio_report.h"
#include "platform/foundation/CurlTransport.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/URLSession.h"
#include "platform/testing/LoopbackServer.h"

namespace {

constexpr size_t ReplySize = 256;
constexpr int InFlight = 16;
constexpr long Connections = 6;

testing::LoopbackServer& server(const std::string& name) {
    return bench::namedServer(name, [](testing::LoopbackServer& s) {
        s.route("GET", "/ping", testing::Reply::text(std::string(ReplySize, 'p')));
    });
}

bench::PollServer& pollServer(const std::string& name) {
    return bench::namedPollServer(name, std::string(ReplySize, 'p'), "text/plain");
}

// 0 connections: the configuration's default.
ns::Ref<ns::URLSession> makeSession(long connections) {
    auto config = ns::URLSessionConfiguration::ephemeralSessionConfiguration();
    config->setURLCache(nullptr);
    if (connections) config->setHTTPMaximumConnectionsPerHost(connections);
    return ns::URLSession::sessionWithConfiguration(config);
}

// Starts `count` data tasks at once and waits for all of them; false when
// any reply came back short.
bool fetchAll(ns::URLSession& session, const ns::Ref<ns::URLRequest>& request, int count, size_t size = ReplySize) {
    std::mutex lock;
    std::condition_variable done;
    int finished = 0;
    bool allWhole = true;
    for (int i = 0; i < count; ++i) {
        session.dataTaskWithRequest(request, [&](ns::Ref<ns::Data> data, ns::Ref<ns::URLResponse>, ns::Ref<ns::Error>) {
            std::lock_guard guard(lock);
            allWhole = allWhole && data && data->length() == size;
            ++finished;
            done.notify_one();
        })->resume();
    }
    std::unique_lock hold(lock);
    done.wait(hold, [&] { return finished == count; });
    return allWhole;
}

void SessionRequests(benchmark::State& state) {
    auto session = makeSession(0);
    auto request = ns::URLRequest::make(ns::URL::make(server("one").url("/ping")));
    for (auto _ : state) {
        if (!fetchAll(*session, request, 1)) state.SkipWithError("short reply");
        bench::drainMainQueue();
    }
    state.SetItemsProcessed(state.iterations());
    session->finishTasksAndInvalidate();
    bench::drainMainQueue();
}

void CurlEasyRequests(benchmark::State& state) {
    bench::runCurlEasyRequests(state, server("easy").url("/ping"), [](const std::string& body) { return body.size() == ReplySize; });
}

void SessionInFlight(benchmark::State& state) {
    // Kept across repetitions, so its connections are too; never torn down.
    static const auto& session = *new ns::Ref<ns::URLSession>(makeSession(Connections));
    auto request = ns::URLRequest::make(ns::URL::make(pollServer("session-in-flight").url("/ping")));
    for (auto _ : state) {
        if (!fetchAll(*session, request, InFlight)) state.SkipWithError("short reply");
        bench::drainMainQueue();
    }
    state.SetItemsProcessed(state.iterations() * InFlight);
}

void CurlMultiInFlight(benchmark::State& state) {
    bench::runCurlMultiRequests(state, pollServer("multi").url("/ping"), InFlight, Connections,
                                [](const std::string& body) { return body.size() == ReplySize; });
}

constexpr int FloodReplies = 40;
constexpr int CookiesPerReply = 3000;

// Flood `i`'s server: 127.0.0.1 on a port of its own, so every reply's
// cookies are the same host's.
bench::PollServer& floodServer(int i) {
    std::string cookies;
    for (int c = 0; c < CookiesPerReply; ++c) {
        cookies += "Set-Cookie: r" + std::to_string(i) + "_" + std::to_string(c) + "=flood; Path=/\r\n";
    }
    return bench::namedPollServer("flood-" + std::to_string(i), "ok", "text/plain", cookies);
}

void floodReplies(benchmark::State& state, bool storeCookies) {
    std::vector<ns::Ref<ns::URLRequest>> requests;
    for (int i = 0; i < FloodReplies; ++i) requests.push_back(ns::URLRequest::make(ns::URL::make(floodServer(i).url("/flood"))));
    for (auto _ : state) {
        // A fresh store: every run starts from no cookies.
        auto config = ns::URLSessionConfiguration::ephemeralSessionConfiguration();
        config->setURLCache(nullptr);
        config->setHTTPShouldSetCookies(storeCookies);
        auto session = ns::URLSession::sessionWithConfiguration(config);
        for (const auto& request : requests) {
            if (!fetchAll(*session, request, 1, 2)) state.SkipWithError("short reply");
        }
        session->finishTasksAndInvalidate();
        bench::drainMainQueue();
    }
    state.SetItemsProcessed(state.iterations() * FloodReplies);
}

void CookieFloodStored(benchmark::State& state) { floodReplies(state, true); }
void CookieFloodIgnored(benchmark::State& state) { floodReplies(state, false); }

constexpr int HeadReplies = 100;
constexpr int HeadLines = 3990;
// Past the cap every such reply would fail at once, and the rows measure nothing.
static_assert(HeadLines < int(ns::detail::MaxHeaderFields), "the heads must stay under the transport's cap on fields");
constexpr int RepliesBeforeTheCall = 30;
// Each connection's pace in the paced rows: a phone's network.
constexpr double PhoneBytesPerSecond = 2e6;

// Base 36 of `i`: names of three characters at most for these heads.
std::string shortName(int i) {
    std::string name;
    do {
        name.insert(name.begin(), "0123456789abcdefghijklmnopqrstuvwxyz"[i % 36]);
        i /= 36;
    } while (i > 0);
    return name;
}

// HeadLines lines of their own names, under the transport's cap on fields.
const std::string& manyFieldsHead() {
    static const std::string head = [] {
        std::string lines;
        for (int i = 0; i < HeadLines; ++i) lines += "h" + shortName(i) + ": 1\r\n";
        return lines;
    }();
    return head;
}

// Replies whose heads are manyFieldsHead(), or ordinary replies whose
// bodies are as many bytes.
bench::PollServer& headServer(const std::string& name, bool manyFields, double bytesPerSecond) {
    if (manyFields) return bench::namedPollServer(name, "ok", "text/plain", manyFieldsHead(), bytesPerSecond);
    return bench::namedPollServer(name, std::string(manyFieldsHead().size(), 'b'), "text/plain", {}, bytesPerSecond);
}

void headReplies(benchmark::State& state, bool manyFields, double bytesPerSecond) {
    const std::string name = std::string(manyFields ? "many-fields" : "ordinary") + (bytesPerSecond > 0 ? "-paced" : "");
    const size_t bodySize = manyFields ? 2 : manyFieldsHead().size();
    auto session = makeSession(0);
    auto request = ns::URLRequest::make(ns::URL::make(headServer(name, manyFields, bytesPerSecond).url("/head")));
    for (auto _ : state) {
        if (!fetchAll(*session, request, HeadReplies, bodySize)) state.SkipWithError("short reply");
        bench::drainMainQueue();
    }
    state.SetItemsProcessed(state.iterations() * HeadReplies);
    state.counters["head_lines"] = manyFields ? HeadLines : 4;
    session->finishTasksAndInvalidate();
    bench::drainMainQueue();
}

void PacedHeadsOfManyFields(benchmark::State& state) { headReplies(state, true, PhoneBytesPerSecond); }
void PacedOrdinaryReplies(benchmark::State& state) { headReplies(state, false, PhoneBytesPerSecond); }
void HeadsOfManyFields(benchmark::State& state) { headReplies(state, true, 0); }
void OrdinaryReplies(benchmark::State& state) { headReplies(state, false, 0); }

// The time of one small GET sent right after 30 replies of many-field
// heads on the same session (its transfers share one thread): the heads
// come unpaced, so they are all read while the call waits.
void CallBehindHeadsOfManyFields(benchmark::State& state) {
    auto session = makeSession(0);
    auto heads = ns::URLRequest::make(ns::URL::make(headServer("many-fields-ahead", true, 0).url("/head")));
    auto call = ns::URLRequest::make(ns::URL::make(pollServer("call").url("/ping")));
    for (auto _ : state) {
        std::mutex lock;
        std::condition_variable done;
        int finished = 0;
        for (int i = 0; i < RepliesBeforeTheCall; ++i) {
            session->dataTaskWithRequest(heads, [&](ns::Ref<ns::Data>, ns::Ref<ns::URLResponse>, ns::Ref<ns::Error>) {
                std::lock_guard guard(lock);
                ++finished;
                done.notify_one();
            })->resume();
        }
        const auto sent = std::chrono::steady_clock::now();
        std::chrono::steady_clock::duration took{};
        bool whole = false;
        session->dataTaskWithRequest(call, [&](ns::Ref<ns::Data> data, ns::Ref<ns::URLResponse>, ns::Ref<ns::Error>) {
            std::lock_guard guard(lock);
            took = std::chrono::steady_clock::now() - sent;
            whole = data && data->length() == ReplySize;
            ++finished;
            done.notify_one();
        })->resume();
        {
            std::unique_lock hold(lock);
            done.wait(hold, [&] { return finished == RepliesBeforeTheCall + 1; });
        }
        if (!whole) state.SkipWithError("short reply");
        state.SetIterationTime(std::chrono::duration<double>(took).count());
        bench::drainMainQueue();
    }
    session->finishTasksAndInvalidate();
    bench::drainMainQueue();
}

constexpr size_t LargeReplySize = 1'500'000;
constexpr int LargeReplies = 200;

testing::LoopbackServer& largeServer() {
    return bench::namedServer("large", [](testing::LoopbackServer& s) {
        s.route("GET", "/large", testing::Reply::text(std::string(LargeReplySize, 'l'), "application/octet-stream"));
    });
}

long minorFaults() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

void BlockingReadsOfLargeReplies(benchmark::State& state) {
    auto url = ns::URL::make(largeServer().url("/large"));
    long faults = 0;
    for (auto _ : state) {
        const long before = minorFaults();
        for (int i = 0; i < LargeReplies; ++i) {
            auto data = ns::Data::withContentsOfURL(url);
            if (!data || data->length() != LargeReplySize) state.SkipWithError("short reply");
        }
        faults += minorFaults() - before;
    }
    state.SetItemsProcessed(state.iterations() * LargeReplies);
    state.counters["faults_per_reply"] = double(faults) / double(state.iterations() * LargeReplies);
}

void CompletionTasksOfLargeReplies(benchmark::State& state) {
    auto session = makeSession(0);
    auto request = ns::URLRequest::make(ns::URL::make(largeServer().url("/large")));
    long faults = 0;
    for (auto _ : state) {
        const long before = minorFaults();
        for (int i = 0; i < LargeReplies; ++i) {
            if (!fetchAll(*session, request, 1, LargeReplySize)) state.SkipWithError("short reply");
        }
        faults += minorFaults() - before;
        bench::drainMainQueue();
    }
    state.SetItemsProcessed(state.iterations() * LargeReplies);
    state.counters["faults_per_reply"] = double(faults) / double(state.iterations() * LargeReplies);
    session->finishTasksAndInvalidate();
    bench::drainMainQueue();
}

BENCHMARK(SessionRequests)->UseRealTime();
BENCHMARK(CurlEasyRequests)->UseRealTime();
BENCHMARK(SessionInFlight)->UseRealTime();
BENCHMARK(CurlMultiInFlight)->UseRealTime();
BENCHMARK(CookieFloodStored)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(CookieFloodIgnored)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(PacedHeadsOfManyFields)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(PacedOrdinaryReplies)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(HeadsOfManyFields)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(OrdinaryReplies)->UseRealTime()->Unit(benchmark::kMillisecond);
// A set number of rounds: each takes the 30 replies' time, however short the call's.
BENCHMARK(CallBehindHeadsOfManyFields)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BlockingReadsOfLargeReplies)->UseRealTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(CompletionTasksOfLargeReplies)->UseRealTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return bench::runAndSummarize(argc, argv, [](const bench::RunRecorder& runs) {
        bench::printRatio(runs, "SessionRequests/real_time", "CurlEasyRequests/real_time",
                          "keep-alive requests one at a time, session / raw curl easy");
        bench::printRatio(runs, "SessionInFlight/real_time", "CurlMultiInFlight/real_time",
                          "keep-alive requests 16 in flight, session / raw curl multi");
        bench::printRatio(runs, "CookieFloodIgnored/real_time", "CookieFloodStored/real_time",
                          "40 replies of 3,000 cookies, cookies stored / cookies left alone (time)");
        bench::printRatio(runs, "PacedOrdinaryReplies/real_time", "PacedHeadsOfManyFields/real_time",
                          "100 replies of the same bytes at 2 MB/s a connection, heads of 3,990 fields / ordinary (time)");
        bench::printRatio(runs, "OrdinaryReplies/real_time", "HeadsOfManyFields/real_time",
                          "the same unpaced: the transfer thread's work alone, heads of 3,990 fields / ordinary (time)");
        if (const bench::RunResult* call = runs.find("CallBehindHeadsOfManyFields/iterations:5/manual_time")) {
            std::printf("a small call behind 30 heads of 3,990 fields: %.1f ms\n", call->realTime);
        }
        double load[3] = {0, 0, 0};
        if (getloadavg(load, 3) == 3) std::printf("load average: %.2f %.2f %.2f\n", load[0], load[1], load[2]);
    });
}
