#pragma once
// Shared by the tests of replies held in memory: small gzip replies that
// inflate far (platform/testing/ResidentMemory.h measures what they cost).

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <vector>
#include <cstdint>
#include <mutex>
#include <string>

#include <gtest/gtest.h>

#include "platform/foundation/Error.h"
#include "platform/foundation/ReplyBuffer.h"
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

// A host whose one reply ("/reply", `size` bytes announced by length) goes
// out in pieces of a MiB, each held back until the test releases it: many
// replies are in flight at once however fast the machine.
struct GatedHost {
    explicit GatedHost(uint64_t size) : size(size) {
        testing::Reply reply;
        for (uint64_t sent = 0; sent < size; sent += MiB) reply.chunks.emplace_back(std::min(MiB, size - sent), 'x');
        pieces = reply.chunks.size();
        reply.announceLength = true;
        reply.gate = gate;
        reply.setHeader("Content-Type", "application/octet-stream");
        server.route("GET", "/reply", std::move(reply));
    }
    std::string url() const { return server.url("/reply"); }
    // Every piece but the last.
    void releaseAllButLast() { gate->release(pieces - 1); }
    // The bytes of every piece but the last.
    uint64_t allButLast() const { return size - (size - 1) % MiB - 1; }

    const uint64_t size;
    size_t pieces = 0;
    std::shared_ptr<testing::ChunkGate> gate = std::make_shared<testing::ChunkGate>();
    testing::LoopbackServer server;
};

// How far each of several replies has come, for a test that waits until
// every one is where it wants.
struct Arrivals {
    explicit Arrivals(size_t count) : received(count, 0), ended(count, false) {}

    void add(size_t index, uint64_t bytes) {
        std::lock_guard guard(lock);
        received[index] += bytes;
        changed.notify_all();
    }
    void set(size_t index, uint64_t bytes) {
        std::lock_guard guard(lock);
        received[index] = bytes;
        changed.notify_all();
    }
    void end(size_t index) {
        std::lock_guard guard(lock);
        ended[index] = true;
        changed.notify_all();
    }
    // Waits in real time until every reply has ended or come to `bytes(i)`.
    template <class Bytes>
    bool waitForAll(Bytes bytes, double seconds) {
        std::unique_lock hold(lock);
        return changed.wait_for(hold, std::chrono::duration<double>(seconds), [&] {
            for (size_t i = 0; i < received.size(); ++i) {
                if (!ended[i] && received[i] < uint64_t(bytes(i))) return false;
            }
            return true;
        });
    }

    std::mutex lock;
    std::condition_variable changed;
    std::vector<uint64_t> received;
    std::vector<bool> ended;
};

// Every reply buffer's joins (or appends) fail as memory running out
// would past `bytes`, until the end of the scope whatever the test's end.
struct FailingBuffers {
    FailingBuffers(bool joins, size_t bytes) {
        if (joins) ns::ReplyBuffer::failJoinsPastForTesting(bytes);
        else ns::ReplyBuffer::failAppendsPastForTesting(bytes);
    }
    ~FailingBuffers() {
        ns::ReplyBuffer::failJoinsPastForTesting(SIZE_MAX);
        ns::ReplyBuffer::failAppendsPastForTesting(SIZE_MAX);
    }
    FailingBuffers(const FailingBuffers&) = delete;
    FailingBuffers& operator=(const FailingBuffers&) = delete;
};

inline testing::Reply gzipReply(std::string body) {
    testing::Reply reply = testing::Reply::text(std::move(body), "application/json");
    reply.setHeader("Content-Encoding", "gzip");
    return reply;
}

}  // namespace urltest
