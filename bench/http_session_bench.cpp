// Keep-alive GETs per second to a loopback server through the HTTP session
// manager (request serializer, task delegate, JSON response serializer,
// completion hop) against raw libcurl fetching the same reply from the same
// kind of server in the same run: one request at a time against an easy
// handle, and 16 in flight over 6 connections against a multi handle with
// the same connection limit (those two served by a plain poll-loop server
// that never sleeps, so the server's keep-alive waits do not swamp them).
// After the usual table the manager's rates over curl's are printed.
//
// Completions go to a queue of the benchmark's own; what the manager posts
// to the main queue (its notifications) runs on this thread, the main one,
// inside the timed loop.

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>

#include "bench/curl_baseline.h"
#include "bench/main_queue.h"
#include "bench/named_servers.h"
#include "bench/poll_server.h"
#include "bench/ratio_report.h"
#include "net/SDPHTTPSessionManager.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Dictionary.h"
#include "platform/testing/LoopbackServer.h"

namespace {

const std::string replyBody = R"({"z":"1","msg":"ok","data":{"uid":"10086","name":"player","level":42}})";
constexpr int InFlight = 16;
constexpr long Connections = 6;

testing::LoopbackServer& server(const std::string& name) {
    return bench::namedServer(name, [](testing::LoopbackServer& s) {
        s.route("GET", "/user/info", testing::Reply::text(replyBody, "application/json"));
    });
}

bench::PollServer& pollServer(const std::string& name) {
    return bench::namedPollServer(name, replyBody, "application/json");
}

// 0 connections: the configuration's default.
ns::Ref<SDPHTTPSessionManager> makeManager(const std::string& baseURL, long connections) {
    auto configuration = ns::URLSessionConfiguration::ephemeralSessionConfiguration();
    configuration->setURLCache(nullptr);
    if (connections) configuration->setHTTPMaximumConnectionsPerHost(connections);
    auto manager = SDPHTTPSessionManager::make(ns::URL::make(baseURL), configuration);
    manager->setCompletionQueue(dispatch::Queue::serial("bench.completion"));
    return manager;
}

// Issues `count` GETs at once and waits for all of them; false when any
// failed or did not parse.
bool getAll(SDPHTTPSessionManager& manager, int count) {
    std::mutex lock;
    std::condition_variable done;
    int finished = 0;
    bool allParsed = true;
    for (int i = 0; i < count; ++i) {
        manager.GET(
            "user/info", nullptr,
            [&](const ns::Ref<ns::URLSessionDataTask>&, const ns::Id& object) {
                std::lock_guard guard(lock);
                allParsed = allParsed && ns::cast<ns::Dictionary>(object) != nullptr;
                ++finished;
                done.notify_one();
            },
            [&](const ns::Ref<ns::URLSessionDataTask>&, const ns::Ref<ns::Error>&) {
                std::lock_guard guard(lock);
                allParsed = false;
                ++finished;
                done.notify_one();
            });
    }
    std::unique_lock hold(lock);
    done.wait(hold, [&] { return finished == count; });
    return allParsed;
}

void ManagerRequests(benchmark::State& state) {
    auto manager = makeManager(server("one").baseURL(), 0);
    for (auto _ : state) {
        if (!getAll(*manager, 1)) state.SkipWithError("request failed");
        bench::drainMainQueue();
    }
    state.SetItemsProcessed(state.iterations());
    manager->session()->finishTasksAndInvalidate();
    bench::drainMainQueue();
}

void CurlEasyRequests(benchmark::State& state) {
    bench::runCurlEasyRequests(state, server("easy").url("/user/info"), [](const std::string& body) { return body == replyBody; });
}

void ManagerInFlight(benchmark::State& state) {
    // Kept across repetitions, so its connections are too; never torn down.
    static const auto& manager =
        *new ns::Ref<SDPHTTPSessionManager>(makeManager(pollServer("manager-in-flight").url(""), Connections));
    for (auto _ : state) {
        if (!getAll(*manager, InFlight)) state.SkipWithError("request failed");
        bench::drainMainQueue();
    }
    state.SetItemsProcessed(state.iterations() * InFlight);
}

void CurlMultiInFlight(benchmark::State& state) {
    bench::runCurlMultiRequests(state, pollServer("multi").url("/user/info"), InFlight, Connections,
                                [](const std::string& body) { return body == replyBody; });
}

BENCHMARK(ManagerRequests)->UseRealTime();
BENCHMARK(CurlEasyRequests)->UseRealTime();
BENCHMARK(ManagerInFlight)->UseRealTime();
BENCHMARK(CurlMultiInFlight)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    return bench::runAndSummarize(argc, argv, [](const bench::RunRecorder& runs) {
        bench::printRatio(runs, "ManagerRequests/real_time", "CurlEasyRequests/real_time",
                          "keep-alive JSON GETs one at a time, session manager / raw curl easy");
        bench::printRatio(runs, "ManagerInFlight/real_time", "CurlMultiInFlight/real_time",
                          "keep-alive JSON GETs 16 in flight, session manager / raw curl multi");
    });
}
