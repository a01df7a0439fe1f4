#pragma once
// Shared by the tests of replies held in memory: small gzip replies that
// inflate far (platform/testing/ResidentMemory.h measures what they cost).

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <condition_variable>
#include <memory>
#include <vector>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include <gtest/gtest.h>

#include "platform/foundation/Error.h"
#include "platform/foundation/ReplyBudget.h"
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

// The byte at `offset` of the replies below: a sequence whose order a
// taker can check without keeping it.
inline char replyByteAt(uint64_t offset) { return char('a' + offset % 26); }

// A whole HTTP reply, head and body, of `size` bytes (replyByteAt) sent in
// chunks of one byte each: six bytes on the wire for each byte of body.
// Not for a URL cache to keep: only the pieces on their way are counted.
inline std::string rawOneByteChunks(uint64_t size, const std::string& type = "application/octet-stream") {
    std::string reply = "HTTP/1.1 200 OK\r\nContent-Type: " + type +
                        "\r\nCache-Control: no-store\r\nTransfer-Encoding: chunked\r\n\r\n";
    reply.reserve(reply.size() + 6 * size + 5);
    for (uint64_t i = 0; i < size; ++i) {
        reply += "1\r\n";
        reply += replyByteAt(i);
        reply += "\r\n";
    }
    return reply + "0\r\n\r\n";
}

// A whole HTTP reply whose gzip body is `size` members of one byte each
// (replyByteAt), each a gzip stream of its own.
inline std::string rawOneByteGzipMembers(uint64_t size) {
    std::string members[26];
    for (int c = 0; c < 26; ++c) members[c] = gzipped(std::string(1, replyByteAt(uint64_t(c))));
    std::string body;
    body.reserve(size * members[0].size());
    for (uint64_t i = 0; i < size; ++i) body += members[i % 26];
    return "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Encoding: gzip\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

// Checks a reply's bytes against replyByteAt as they come, keeping none:
// how many came, and how many of them were not where they belong.
class ReplyChecker {
public:
    struct Counts {
        uint64_t received = 0;
        uint64_t wrong = 0;
    };
    void take(std::string_view bytes) {
        std::lock_guard guard(lock_);
        for (char c : bytes) counts_.wrong += c != replyByteAt(counts_.received++);
    }
    Counts counts() const {
        std::lock_guard guard(lock_);
        return counts_;
    }
    uint64_t received() const { return counts().received; }
    uint64_t wrong() const { return counts().wrong; }

private:
    mutable std::mutex lock_;
    Counts counts_;
};

// Waits, in real time, until `holds` is true; false past `seconds`.
inline bool waitUntil(const std::function<bool()>& holds, double seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!holds()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Waits in real time, up to `seconds`, until `budget` holds exactly
// `bytes`: every byte of replies that a busy queue has yet to take sits in
// the pieces waiting for it, each counted once.
inline bool waitUntilHeld(const ns::ReplyBudget& budget, uint64_t bytes, double seconds) {
    return waitUntil([&] { return budget.held() == bytes; }, seconds);
}

// A gate a busy queue's work waits at until the test opens it.
class Latch {
public:
    void wait() {
        std::unique_lock hold(lock_);
        changed_.wait(hold, [this] { return open_; });
    }
    void open() {
        std::lock_guard guard(lock_);
        open_ = true;
        changed_.notify_all();
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    bool open_ = false;
};

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
