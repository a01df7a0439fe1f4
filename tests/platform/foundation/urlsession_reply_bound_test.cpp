// A reply held in memory is bounded by the session configuration, after
// content decoding: a small gzip reply that inflates far past the bound
// fails with URLErrorDataLengthExceedsMaximum instead of filling memory,
// while a download of the same reply streams to its file.

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/foundation/URLSession.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/ResidentMemory.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/platform/foundation/urlsession_support.h"

namespace {

using testing::LoopbackServer;
using testing::Reply;
using urltest::Outcome;
using urltest::RecordingDelegate;

constexpr uint64_t MiB = 1 << 20;

// `size` zero bytes, gzip-compressed a piece at a time (about a thousandth
// of the size), so the inflated whole is never held here.
std::string gzippedZeros(uint64_t size) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_RLE), Z_OK);
    const std::string zeros(MiB, '\0');
    std::string out;
    char buffer[64 * 1024];
    for (uint64_t left = size;;) {
        const uint64_t piece = std::min<uint64_t>(left, zeros.size());
        left -= piece;
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
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

Reply gzipReply(std::string body) {
    Reply reply = Reply::text(std::move(body), "application/json");
    reply.setHeader("Content-Encoding", "gzip");
    return reply;
}

class URLSessionReplyBoundTest : public ::testing::Test {
protected:
    ns::Ref<ns::URLSession> sessionWith(uint64_t bound, ns::Ref<ns::URLSessionDelegate> delegate = nullptr) {
        auto config = ns::URLSessionConfiguration::ephemeralSessionConfiguration();
        config->setURLCache(nullptr);
        if (bound) config->setMaximumResponseDataLength(bound);
        return ns::URLSession::sessionWithConfiguration(config, std::move(delegate), nullptr);
    }

    urltest::TemporaryHome home;
    testing::TaskEnvironment env;
    LoopbackServer server;
};

TEST_F(URLSessionReplyBoundTest, ReplyInflatingToAGibibyteFailsPastTheDefaultBoundInLittleMemory) {
    EXPECT_EQ(ns::URLSessionConfiguration::defaultSessionConfiguration()->maximumResponseDataLength(), 64 * MiB);
    const std::string bomb = gzippedZeros(1024 * MiB);
    ASSERT_LT(bomb.size(), 2 * MiB);
    server.route("GET", "/bomb", gzipReply(bomb));
    auto session = sessionWith(0);

    ASSERT_TRUE(testing::resetResidentPeak());
    const uint64_t before = testing::residentBytes();
    Outcome outcome;
    session->dataTaskWithURL(ns::URL::make(server.url("/bomb")), outcome.handler())->resume();
    env.runUntilIdle();
    const uint64_t peak = testing::residentPeakBytes();

    EXPECT_EQ(outcome.calls, 1);
    EXPECT_EQ(outcome.errorCode(), ns::URLErrorDataLengthExceedsMaximum);
    EXPECT_FALSE(outcome.data);
    std::printf("resident before %.1f MiB, peak %.1f MiB (a 64 MiB bound)\n", double(before) / MiB,
                double(peak) / MiB);
    RecordProperty("peak_MiB", std::to_string(peak / MiB));
    // The bound and a little: the process as a whole (about 25 MiB of its
    // own) stays under 100 MiB, where it once reached 2 GiB.
    EXPECT_LT(peak - before, 80 * MiB);
}

TEST_F(URLSessionReplyBoundTest, ReplyUpToTheBoundArrivesWholeAndOneByteMoreFails) {
    // Several of the buffer's blocks, joined in order.
    std::string body(3 * MiB + 5, '\0');
    for (size_t i = 0; i < body.size(); ++i) body[i] = char('a' + (i * 7 + i / 4099) % 26);
    server.route("GET", "/exact", Reply::text(body, "application/octet-stream"));
    server.route("GET", "/over", Reply::text(body + "!", "application/octet-stream"));
    auto session = sessionWith(body.size());

    Outcome exact, over;
    session->dataTaskWithURL(ns::URL::make(server.url("/exact")), exact.handler())->resume();
    session->dataTaskWithURL(ns::URL::make(server.url("/over")), over.handler())->resume();
    env.runUntilIdle();

    EXPECT_EQ(exact.errorCode(), 0);
    EXPECT_TRUE(exact.body() == body) << "a reply of " << exact.body().size() << " bytes";
    EXPECT_EQ(over.calls, 1);
    EXPECT_EQ(over.errorCode(), ns::URLErrorDataLengthExceedsMaximum);
    EXPECT_FALSE(over.data);
}

TEST_F(URLSessionReplyBoundTest, DelegateHearsNoMoreThanTheBoundThenTheFailure) {
    server.route("GET", "/bomb", gzipReply(gzippedZeros(8 * MiB)));
    auto delegate = std::make_shared<RecordingDelegate>();
    auto session = sessionWith(MiB, delegate);
    auto task = session->dataTaskWithURL(ns::URL::make(server.url("/bomb")));
    task->resume();
    env.runUntilIdle();

    const auto record = delegate->record();
    ASSERT_EQ(record.completions.size(), 1u);
    ASSERT_TRUE(record.completions[0]);
    EXPECT_EQ(record.completions[0]->code(), ns::URLErrorDataLengthExceedsMaximum);
    EXPECT_LE(record.body.size(), MiB);
    EXPECT_EQ(record.body.find_first_not_of('\0'), std::string::npos);
    EXPECT_LE(task->countOfBytesReceived(), int64_t(MiB));
}

TEST_F(URLSessionReplyBoundTest, DownloadOfAReplyPastTheBoundStreamsWholeToItsFile) {
    server.route("GET", "/bomb", gzipReply(gzippedZeros(8 * MiB)));
    auto session = sessionWith(MiB);
    uint64_t fileSize = 0;
    bool allZero = false;
    ns::Ref<ns::Error> failure;
    session
        ->downloadTaskWithURL(ns::URL::make(server.url("/bomb")),
                              [&](ns::Ref<ns::URL> location, ns::Ref<ns::URLResponse>, ns::Ref<ns::Error> error) {
                                  failure = error;
                                  if (!location) return;
                                  std::ifstream in(location->path()->utf8(), std::ios::binary);
                                  std::string content(std::istreambuf_iterator<char>(in), {});
                                  fileSize = content.size();
                                  allZero = content.find_first_not_of('\0') == std::string::npos;
                              })
        ->resume();
    env.runUntilIdle();

    EXPECT_FALSE(failure);
    EXPECT_EQ(fileSize, 8 * MiB);
    EXPECT_TRUE(allZero);
}

}  // namespace
