// Keep-alive requests per second to a loopback server: through a URL session
// (transfer thread, delegate queue, task objects) against raw libcurl easy
// handles doing the same GETs on the same server in the same run. After the
// usual table the session's rate over curl's is printed, so the cost of the
// session machinery per request is visible at a glance.

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>

#include "bench/curl_baseline.h"
#include "bench/ratio_report.h"
#include "platform/foundation/URLSession.h"
#include "platform/testing/LoopbackServer.h"

namespace {

testing::LoopbackServer& server() {
    static testing::LoopbackServer* s = [] {
        auto* created = new testing::LoopbackServer();
        created->route("GET", "/ping", testing::Reply::text(std::string(256, 'p')));
        return created;
    }();
    return *s;
}

void SessionRequests(benchmark::State& state) {
    auto config = ns::URLSessionConfiguration::ephemeralSessionConfiguration();
    config->setURLCache(nullptr);
    auto session = ns::URLSession::sessionWithConfiguration(config);
    auto request = ns::URLRequest::make(ns::URL::make(server().url("/ping")));
    std::mutex lock;
    std::condition_variable done;
    for (auto _ : state) {
        bool finished = false;
        size_t length = 0;
        session->dataTaskWithRequest(request, [&](ns::Ref<ns::Data> data, ns::Ref<ns::URLResponse>, ns::Ref<ns::Error>) {
            std::lock_guard guard(lock);
            length = data ? data->length() : 0;
            finished = true;
            done.notify_one();
        })->resume();
        std::unique_lock hold(lock);
        done.wait(hold, [&] { return finished; });
        if (length != 256) state.SkipWithError("short reply");
    }
    state.SetItemsProcessed(state.iterations());
    session->finishTasksAndInvalidate();
}

void CurlEasyRequests(benchmark::State& state) {
    bench::runCurlEasyRequests(state, server().url("/ping"), [](const std::string& body) { return body.size() == 256; });
}

BENCHMARK(SessionRequests)->UseRealTime();
BENCHMARK(CurlEasyRequests)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    return bench::runWithRatio(argc, argv, "SessionRequests/real_time", "CurlEasyRequests/real_time", "keep-alive requests, session / raw curl");
}
