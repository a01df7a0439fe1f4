#pragma once
// Shared by the tests of replies held in memory: small gzip replies that
// inflate far (platform/testing/ResidentMemory.h measures what they cost).

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <string>

#include <gtest/gtest.h>

#include "platform/foundation/Error.h"
#include "platform/foundation/URLError.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/PeakBound.h"

namespace urltest {

using testing::MiB;

// `size` bytes of `block` over and over, gzip-compressed a block at a time,
// so the inflated whole is never held here.
inline std::string gzippedRepeats(const std::string& block, uint64_t size) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_RLE), Z_OK);
    std::string out;
    char buffer[64 * 1024];
    for (uint64_t left = size;;) {
        const uint64_t piece = std::min<uint64_t>(left, block.size());
        left -= piece;
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(block.data()));
        z.avail_in = uInt(piece);
        const int flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
        int result;
        do {
            z.next_out = reinterpret_cast<Bytef*>(buffer);
            z.avail_out = sizeof buffer;
            result = deflate(&z, flush);
            out.append(buffer, sizeof buffer - z.avail_out);
        } while (z.avail_out == 0);
        if (result == Z_STREAM_END) break;
    }
    deflateEnd(&z);
    return out;
}

// `size` zero bytes, gzip-compressed (about a thousandth of the size).
inline std::string gzippedZeros(uint64_t size) { return gzippedRepeats(std::string(MiB, '\0'), size); }

inline std::string gzipped(const std::string& bytes) { return gzippedRepeats(bytes, bytes.size()); }

// A whole HTTP reply, head and body, whose gzip body inflates to `size`
// zero bytes: for servers that answer many requests at once.
inline std::string rawBombReply(uint64_t size, const std::string& type = "application/json") {
    const std::string bomb = gzippedZeros(size);
    return "HTTP/1.1 200 OK\r\nContent-Type: " + type + "\r\nContent-Encoding: gzip\r\nContent-Length: " +
           std::to_string(bomb.size()) + "\r\n\r\n" + bomb;
}

// How many replies came whole, failed as too long to hold, or ended
// otherwise; the replies themselves are not kept, so that only what the
// loading holds is measured.
struct Endings {
    std::mutex lock;
    int whole = 0;
    int tooLong = 0;
    int other = 0;

    void note(bool isWhole, const ns::Ref<ns::Error>& error) {
        std::lock_guard guard(lock);
        if (!error && isWhole) ++whole;
        else if (error && error->domain() == ns::URLErrorDomain && error->code() == ns::URLErrorDataLengthExceedsMaximum)
            ++tooLong;
        else ++other;
    }
};

inline testing::Reply gzipReply(std::string body) {
    testing::Reply reply = testing::Reply::text(std::move(body), "application/json");
    reply.setHeader("Content-Encoding", "gzip");
    return reply;
}

}  // namespace urltest
