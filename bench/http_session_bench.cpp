// Keep-alive GETs per second to a loopback server through the HTTP session
// manager (request serializer, task delegate, JSON response serializer on
// the processing queue, completion hop) against raw libcurl easy handles
// fetching the same reply from the same server in the same run. After the
// usual table the manager's rate over curl's is printed.
//
// Completions go to a queue of the benchmark's own instead of the main
// queue, which only a running main loop would drain.

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>

#include "bench/curl_baseline.h"
#include "bench/ratio_report.h"
#include "net/SDPHTTPSessionManager.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Dictionary.h"
#include "platform/testing/LoopbackServer.h"

namespace {

const std::string replyBody = R"({"z":"1","msg":"ok","data":{"uid":"10086","name":"player","level":42}})";

testing::LoopbackServer& server() {
    static testing::LoopbackServer* s = [] {
        auto* created = new testing::LoopbackServer();
        created->route("GET", "/user/info", testing::Reply::text(replyBody, "application/json"));
        return created;
    }();
    return *s;
}

void ManagerRequests(benchmark::State& state) {
    auto configuration = ns::URLSessionConfiguration::ephemeralSessionConfiguration();
    configuration->setURLCache(nullptr);
    auto manager = SDPHTTPSessionManager::make(ns::URL::make(server().baseURL()), configuration);
    manager->setCompletionQueue(dispatch::Queue::serial("bench.completion"));
    std::mutex lock;
    std::condition_variable done;
    for (auto _ : state) {
        bool finished = false;
        bool parsed = false;
        manager->GET(
            "user/info", nullptr,
            [&](const ns::Ref<ns::URLSessionDataTask>&, const ns::Id& object) {
                std::lock_guard guard(lock);
                parsed = ns::cast<ns::Dictionary>(object) != nullptr;
                finished = true;
                done.notify_one();
            },
            [&](const ns::Ref<ns::URLSessionDataTask>&, const ns::Ref<ns::Error>&) {
                std::lock_guard guard(lock);
                finished = true;
                done.notify_one();
            });
        std::unique_lock hold(lock);
        done.wait(hold, [&] { return finished; });
        if (!parsed) state.SkipWithError("request failed");
    }
    state.SetItemsProcessed(state.iterations());
    manager->session()->finishTasksAndInvalidate();
}

void CurlEasyRequests(benchmark::State& state) {
    bench::runCurlEasyRequests(state, server().url("/user/info"), [](const std::string& body) { return body == replyBody; });
}

BENCHMARK(ManagerRequests)->UseRealTime();
BENCHMARK(CurlEasyRequests)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    return bench::runWithRatio(argc, argv, "ManagerRequests/real_time", "CurlEasyRequests/real_time", "keep-alive JSON GETs, session manager / raw curl");
}
