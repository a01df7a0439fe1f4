#pragma once
// Shared by the multipart tests: reading a body stream to its end, the
// expected bytes of a part, and a content stream that fails part way.

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "net/SDPMultipartBodyStream.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/InputStream.h"

namespace httptest {

struct ReadResult {
    std::string bytes;
    std::vector<int64_t> counts;  // every read's result, the last one ending it
    bool failed() const { return !counts.empty() && counts.back() < 0; }
};

// Reads until a read gives 0 or -1 (or `maxReads` reads, against a stream
// that never ends).
inline ReadResult readAll(ns::InputStream& stream, uint64_t chunk, size_t maxReads = 1u << 24) {
    ReadResult result;
    if (stream.streamStatus() == ns::StreamStatusNotOpen) stream.open();
    std::vector<uint8_t> buffer(chunk);
    for (size_t i = 0; i < maxReads; ++i) {
        const int64_t n = stream.read(buffer.data(), chunk);
        result.counts.push_back(n);
        if (n <= 0) break;
        result.bytes.append(reinterpret_cast<const char*>(buffer.data()), size_t(n));
    }
    return result;
}

// Gives `goodBytes` bytes of 'x', then fails.
class FailingStream : public ns::InputStream {
public:
    explicit FailingStream(uint64_t goodBytes) : goodBytes_(goodBytes) {}

    int64_t read(uint8_t* buffer, uint64_t maxLength) override {
        if (streamStatus() != ns::StreamStatusOpen) return -1;
        if (sent_ < goodBytes_) {
            const uint64_t n = std::min(maxLength, goodBytes_ - sent_);
            std::memset(buffer, 'x', n);
            sent_ += n;
            return int64_t(n);
        }
        fail(ns::Error::make("test.stream", 5));
        return -1;
    }
    bool hasBytesAvailable() const override { return streamStatus() == ns::StreamStatusOpen; }

private:
    uint64_t goodBytes_;
    uint64_t sent_ = 0;
};

}  // namespace httptest
