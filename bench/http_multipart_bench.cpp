// Reading a 50 MiB multipart body whose file part streams from disk, against
// reading the same file through a plain file stream. Memory must stay flat:
// each run reports how far the peak resident size rose while it read, which
// should be a few buffers, never the body.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "net/SDPStreamingMultipartFormData.h"
#include "platform/foundation/InputStream.h"
#include "platform/foundation/URL.h"

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

BENCHMARK(MultipartBodyFromFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PlainFileStream)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
