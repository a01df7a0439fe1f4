// A 50 MiB file in a multipart body. Uploaded over loopback HTTP through the
// session manager (the body streamed from disk) against curl's own multipart
// upload of the same file to the same server in the same run; and the body
// read locally against reading the same file through a plain file stream.
// Memory must stay flat: each run reports how far the peak resident size
// rose, which should be a few buffers, never the body (the server's copy of
// what it received is dropped after every upload, and the server's own
// buffers count too, as it runs in this process).

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

#include "bench/curl_baseline.h"
#include "bench/main_queue.h"
#include "bench/ratio_report.h"
#include "net/SDPHTTPSessionManager.h"
#include "net/SDPStreamingMultipartFormData.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/InputStream.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/URL.h"
#include "platform/testing/LoopbackServer.h"

namespace {

constexpr uint64_t FileSize = 50ull * 1024 * 1024;
constexpr uint64_t ChunkSize = 64 * 1024;

const std::string& bodyFile() {
    static const std::string path = [] {
        char pattern[] = "/tmp/sdp-multipart-bench-XXXXXX";
        const int fd = ::mkstemp(pattern);
        std::vector<char> block(1 << 20);
        for (size_t i = 0; i < block.size(); ++i) block[i] = char('a' + i % 26);
        for (uint64_t written = 0; written < FileSize; written += block.size()) {
            if (::write(fd, block.data(), block.size()) != ssize_t(block.size())) std::abort();
        }
        ::close(fd);
        std::atexit([] { std::remove(bodyFile().c_str()); });
        return std::string(pattern);
    }();
    return path;
}

// Kernel-kept high-water mark of the resident set, in bytes.
uint64_t peakResidentBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::stoull(line.substr(6)) * 1024;
    }
    return 0;
}

void resetPeakResident() { std::ofstream("/proc/self/clear_refs") << "5"; }

uint64_t drain(ns::InputStream& stream, std::vector<uint8_t>& buffer) {
    stream.open();
    uint64_t total = 0;
    for (;;) {
        const int64_t n = stream.read(buffer.data(), buffer.size());
        if (n <= 0) break;
        total += uint64_t(n);
    }
    stream.close();
    return total;
}

void MultipartBodyFromFile(benchmark::State& state) {
    const auto url = ns::URL::fileURLWithPath(bodyFile());
    std::vector<uint8_t> buffer(ChunkSize);
    resetPeakResident();
    const uint64_t before = peakResidentBytes();
    uint64_t bodyLength = 0;
    for (auto _ : state) {
        SDPStreamingMultipartFormData form(ns::URLRequest::make(ns::URL::make("http://127.0.0.1/upload")),
                                           ns::StringEncoding::UTF8);
        form.appendPartWithFormData(ns::Data::withBytes("bench"), "name");
        if (!form.appendPartWithFileURL(url, "file", nullptr)) state.SkipWithError("file part refused");
        auto request = form.requestByFinalizingMultipartFormData();
        bodyLength = drain(*request->HTTPBodyStream(), buffer);
        if (bodyLength != form.bodyStream()->contentLength()) state.SkipWithError("short body");
    }
    state.SetBytesProcessed(int64_t(state.iterations() * bodyLength));
    state.counters["peak_rss_growth_MiB"] = double(peakResidentBytes() - before) / (1024.0 * 1024.0);
}

void PlainFileStream(benchmark::State& state) {
    const std::string& path = bodyFile();
    std::vector<uint8_t> buffer(ChunkSize);
    resetPeakResident();
    const uint64_t before = peakResidentBytes();
    for (auto _ : state) {
        auto stream = ns::InputStream::withFileAtPath(path);
        if (drain(*stream, buffer) != FileSize) state.SkipWithError("short file");
    }
    state.SetBytesProcessed(int64_t(state.iterations() * FileSize));
    state.counters["peak_rss_growth_MiB"] = double(peakResidentBytes() - before) / (1024.0 * 1024.0);
}

// ---- Uploads over loopback HTTP ----

// Answers every upload with the number of body bytes it received, and
// forgets the body.
testing::LoopbackServer& uploadServer() {
    static testing::LoopbackServer* s = [] {
        auto* created = new testing::LoopbackServer();
        created->route("POST", "/upload", [](const testing::RecordedRequest& request, testing::Reply& reply) {
            reply.body = "{\"bytes\":" + std::to_string(request.body.size()) + "}";
            reply.setHeader("Content-Type", "application/json");
        });
        return created;
    }();
    return *s;
}

void ManagerUpload(benchmark::State& state) {
    auto configuration = ns::URLSessionConfiguration::ephemeralSessionConfiguration();
    configuration->setURLCache(nullptr);
    auto manager = SDPHTTPSessionManager::make(ns::URL::make(uploadServer().baseURL()), configuration);
    manager->setCompletionQueue(dispatch::Queue::serial("bench.completion"));
    const auto url = ns::URL::fileURLWithPath(bodyFile());
    std::mutex lock;
    std::condition_variable done;
    resetPeakResident();
    const uint64_t before = peakResidentBytes();
    for (auto _ : state) {
        bool finished = false;
        int64_t received = 0;
        manager->POSTConstructingBody(
            "upload", ns::Dictionary::make({{"name", ns::str("bench")}}),
            [&](SDPMultipartFormData& form) {
                if (!form.appendPartWithFileURL(url, "file", nullptr)) state.SkipWithError("file part refused");
            },
            [&](const ns::Ref<ns::URLSessionDataTask>&, const ns::Id& object) {
                auto reply = ns::cast<ns::Dictionary>(object);
                auto bytes = reply ? ns::cast<ns::Number>(reply->objectForKey("bytes")) : nullptr;
                std::lock_guard guard(lock);
                received = bytes ? bytes->longLongValue() : 0;
                finished = true;
                done.notify_one();
            },
            [&](const ns::Ref<ns::URLSessionDataTask>&, const ns::Ref<ns::Error>&) {
                std::lock_guard guard(lock);
                finished = true;
                done.notify_one();
            });
        {
            std::unique_lock hold(lock);
            done.wait(hold, [&] { return finished; });
        }
        bench::drainMainQueue();
        uploadServer().clearRequests();
        if (uint64_t(received) < FileSize) state.SkipWithError("the server received less than the file");
    }
    state.SetBytesProcessed(int64_t(state.iterations() * FileSize));
    state.counters["peak_rss_growth_MiB"] = double(peakResidentBytes() - before) / (1024.0 * 1024.0);
    manager->session()->finishTasksAndInvalidate();
    bench::drainMainQueue();
}

void CurlUpload(benchmark::State& state) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    CURL* easy = curl_easy_init();
    const std::string target = uploadServer().url("/upload");
    std::string body;
    curl_easy_setopt(easy, CURLOPT_URL, target.c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, bench::collectCurlBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
    curl_mime* mime = curl_mime_init(easy);
    curl_mimepart* field = curl_mime_addpart(mime);
    curl_mime_name(field, "name");
    curl_mime_data(field, "bench", CURL_ZERO_TERMINATED);
    curl_mimepart* file = curl_mime_addpart(mime);
    curl_mime_name(file, "file");
    curl_mime_filedata(file, bodyFile().c_str());
    curl_easy_setopt(easy, CURLOPT_MIMEPOST, mime);
    resetPeakResident();
    const uint64_t before = peakResidentBytes();
    for (auto _ : state) {
        body.clear();
        const CURLcode result = curl_easy_perform(easy);
        uploadServer().clearRequests();
        const size_t digits = body.find_first_of("0123456789");
        if (result != CURLE_OK || digits == std::string::npos || std::stoull(body.substr(digits)) < FileSize) {
            state.SkipWithError("upload failed");
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations() * FileSize));
    state.counters["peak_rss_growth_MiB"] = double(peakResidentBytes() - before) / (1024.0 * 1024.0);
    curl_mime_free(mime);
    curl_easy_cleanup(easy);
}

BENCHMARK(ManagerUpload)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(CurlUpload)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(MultipartBodyFromFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PlainFileStream)->Unit(benchmark::kMillisecond)->UseRealTime();

// Bytes per second, ours over the peer's.
void printRatios(const bench::RunRecorder& runs) {
    std::printf("\nfile bytes per second, ours / the peer's (above 1.00x: ours is faster):\n");
    const char* const pairs[][3] = {
        {"ManagerUpload/real_time", "CurlUpload/real_time", "upload over loopback HTTP, session manager / curl"},
        {"MultipartBodyFromFile/real_time", "PlainFileStream/real_time", "reading, multipart body / plain file stream"},
    };
    for (const auto& pair : pairs) {
        const double ours = runs.counter(pair[0], "bytes_per_second");
        const double theirs = runs.counter(pair[1], "bytes_per_second");
        if (ours > 0 && theirs > 0) std::printf("  %-52s %.2fx\n", pair[2], ours / theirs);
    }
}

}  // namespace

int main(int argc, char** argv) { return bench::runAndSummarize(argc, argv, printRatios); }
