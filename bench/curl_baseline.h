#pragma once
// The peer of the HTTP benchmarks: keep-alive GETs of one address through a
// raw libcurl easy handle, each reply checked by the caller's predicate.

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <cstddef>
#include <functional>
#include <string>

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

}  // namespace bench
