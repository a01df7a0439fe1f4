#pragma once
// The peers of the HTTP benchmarks: keep-alive GETs of one address through a
// raw libcurl easy handle, one at a time or many in flight on a multi handle,
// each reply checked by the caller's predicate.

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace bench {

inline size_t collectCurlBody(char* bytes, size_t size, size_t count, void* out) {
    static_cast<std::string*>(out)->append(bytes, size * count);
    return size * count;
}

inline void runCurlEasyRequests(benchmark::State& state, const std::string& url,
                                const std::function<bool(const std::string&)>& replyIsGood) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    CURL* easy = curl_easy_init();
    std::string body;
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, collectCurlBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
    for (auto _ : state) {
        body.clear();
        if (curl_easy_perform(easy) != CURLE_OK || !replyIsGood(body)) state.SkipWithError("request failed");
    }
    state.SetItemsProcessed(state.iterations());
    curl_easy_cleanup(easy);
}

// `inFlight` GETs at once per iteration over at most `connections`
// keep-alive connections, as a session with that many connections per host
// would run them.
inline void runCurlMultiRequests(benchmark::State& state, const std::string& url, int inFlight, long connections,
                                 const std::function<bool(const std::string&)>& replyIsGood) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    CURLM* multi = curl_multi_init();
    curl_multi_setopt(multi, CURLMOPT_MAX_HOST_CONNECTIONS, connections);
    std::vector<CURL*> easies(static_cast<size_t>(inFlight), nullptr);
    std::vector<std::string> bodies(static_cast<size_t>(inFlight));
    for (size_t i = 0; i < easies.size(); ++i) {
        easies[i] = curl_easy_init();
        curl_easy_setopt(easies[i], CURLOPT_URL, url.c_str());
        curl_easy_setopt(easies[i], CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easies[i], CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
        curl_easy_setopt(easies[i], CURLOPT_WRITEFUNCTION, collectCurlBody);
        curl_easy_setopt(easies[i], CURLOPT_WRITEDATA, &bodies[i]);
    }
    for (auto _ : state) {
        for (size_t i = 0; i < easies.size(); ++i) {
            bodies[i].clear();
            curl_multi_add_handle(multi, easies[i]);
        }
        int running = 0;
        do {
            curl_multi_perform(multi, &running);
            if (running) curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
        } while (running);
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
            if (message->msg == CURLMSG_DONE && message->data.result != CURLE_OK) state.SkipWithError("request failed");
        }
        for (size_t i = 0; i < easies.size(); ++i) {
            curl_multi_remove_handle(multi, easies[i]);
            if (!replyIsGood(bodies[i])) state.SkipWithError("bad reply");
        }
    }
    state.SetItemsProcessed(state.iterations() * inFlight);
    for (CURL* easy : easies) curl_easy_cleanup(easy);
    curl_multi_cleanup(multi);
}

}  // namespace bench
