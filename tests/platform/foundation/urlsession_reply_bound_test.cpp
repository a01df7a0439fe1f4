// A reply held in memory is bounded by the session configuration, after
// content decoding: a small gzip reply that inflates far past the bound
// fails with URLErrorDataLengthExceedsMaximum instead of filling memory,
// while a download of the same reply streams to its file.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/dispatch/Queue.h"
#include "platform/foundation/URLSession.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/PeakBound.h"
#include "platform/testing/SilentServer.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/platform/foundation/reply_memory_support.h"
#include "tests/platform/foundation/urlsession_support.h"

namespace {

using testing::LoopbackServer;
using testing::Reply;
using urltest::gzippedZeros;
using urltest::gzipReply;
using urltest::MiB;
using urltest::Outcome;
using urltest::RecordingDelegate;

// A delegate that takes its time over the response: it answers half a
// second (of the clock) after being asked.
class SlowToDecide : public RecordingDelegate {
public:
    explicit SlowToDecide(Disposition disposition) : disposition_(disposition) {}

    bool didReceiveResponse(const ns::Ref<ns::URLSession>& session, const ns::Ref<ns::URLSessionDataTask>& task,
                            const ns::Ref<ns::URLResponse>& response,
                            const std::function<void(Disposition)>& completion) override {
        RecordingDelegate::didReceiveResponse(session, task, response, completion);
        dispatch::after(0.5, dispatch::mainQueue(), [completion, d = disposition_] { completion(d); });
        return true;
    }

private:
    Disposition disposition_;
};

class URLSessionReplyBoundTest : public ::testing::Test {
protected:
    ns::Ref<ns::URLSession> sessionWith(uint64_t bound, ns::Ref<ns::URLSessionDelegate> delegate = nullptr) {
        auto config = ns::URLSessionConfiguration::ephemeralSessionConfiguration();
        config->setURLCache(nullptr);
        if (bound) config->setMaximumResponseDataLength(bound);
        return ns::URLSession::sessionWithConfiguration(config, std::move(delegate), nullptr);
    }

    // The delegate allows half a second late, under a 1 MiB bound: the task
    // fails as too long, and the delegate has heard no more than the bound.
    void expectASlowAllowStopsAtTheBound(const ns::Ref<ns::URLRequest>& request) {
        auto delegate = std::make_shared<SlowToDecide>(RecordingDelegate::Disposition::Allow);
        auto session = sessionWith(MiB, delegate);
        auto task = session->dataTaskWithRequest(request);
        task->resume();
        env.runUntilIdle();
        env.fastForwardBy(0.5);

        const auto record = delegate->record();
        ASSERT_EQ(record.completions.size(), 1u);
        ASSERT_TRUE(record.completions[0]);
        EXPECT_EQ(record.completions[0]->code(), ns::URLErrorDataLengthExceedsMaximum);
        EXPECT_LE(record.body.size(), MiB);
        EXPECT_LE(task->countOfBytesReceived(), int64_t(MiB));
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

    testing::ResidentPeak peak;
    Outcome outcome;
    session->dataTaskWithURL(ns::URL::make(server.url("/bomb")), outcome.handler())->resume();
    env.runUntilIdle();
    const uint64_t growth = peak.growth();

    EXPECT_EQ(outcome.calls, 1);
    EXPECT_EQ(outcome.errorCode(), ns::URLErrorDataLengthExceedsMaximum);
    EXPECT_FALSE(outcome.data);
    RecordProperty("peak_MiB", std::to_string(testing::residentPeakBytes() / MiB));
    // The 64 MiB bound and a little: the inflated gibibyte is never held.
    testing::expectGrowthUnder(growth, 80 * MiB, "a reply inflating to 1 GiB");
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

namespace {

// What a download delegate found in its file.
struct FileSeen {
    uint64_t size = 0;
    bool allZero = false;
};

void readIntoSeen(const ns::Ref<ns::URL>& location, FileSeen& seen) {
    std::ifstream in(location->path()->utf8(), std::ios::binary);
    std::string content(std::istreambuf_iterator<char>(in), {});
    seen.size = content.size();
    seen.allZero = content.find_first_not_of('\0') == std::string::npos;
}

TEST_F(URLSessionReplyBoundTest, SlowDecisionToDownloadStreamsTheWholeReplyToTheFile) {
    server.route("GET", "/bomb", gzipReply(gzippedZeros(8 * MiB)));
    auto delegate = std::make_shared<SlowToDecide>(RecordingDelegate::Disposition::BecomeDownload);
    FileSeen seen;
    delegate->onDownloaded = [&seen](const ns::Ref<ns::URL>& location) { readIntoSeen(location, seen); };
    auto session = sessionWith(MiB, delegate);
    auto task = session->dataTaskWithURL(ns::URL::make(server.url("/bomb")));
    task->resume();
    // The response is in; nothing more is read while the delegate decides.
    env.runUntilIdle();
    EXPECT_EQ(delegate->record().events, std::vector<std::string>{"response 200"});
    env.fastForwardBy(0.5);

    const auto record = delegate->record();
    ASSERT_EQ(record.completions.size(), 1u);
    EXPECT_FALSE(record.completions[0]) << record.completions[0]->code();
    ASSERT_TRUE(record.becameDownload);
    EXPECT_EQ(record.becameDownload->countOfBytesReceived(), int64_t(8 * MiB));
    EXPECT_EQ(seen.size, 8 * MiB);
    EXPECT_TRUE(seen.allZero);
}

TEST_F(URLSessionReplyBoundTest, SlowDecisionToAllowStillStopsAtTheBound) {
    server.route("GET", "/bomb", gzipReply(gzippedZeros(8 * MiB)));
    expectASlowAllowStopsAtTheBound(urltest::request(server.url("/bomb")));
}

TEST_F(URLSessionReplyBoundTest, WhatCurlHeldPastTheBoundEndsTheTransferAsItResumesThoughTheServerStalls) {
    // The head and the start of the body come in one write, then nothing
    // more: what curl read with the head (4 KiB inflating to about 4 MiB) is
    // held while the delegate decides, and refused past the bound as the
    // transfer resumes. Nothing more will come for curl to fail on.
    const std::string bomb = gzippedZeros(8 * MiB);
    testing::SilentServer stalling("HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: " +
                                   std::to_string(bomb.size()) + "\r\n\r\n" + bomb.substr(0, 4096));
    auto request = urltest::request(stalling.url("/held"));
    // Only a guard: the transfer must end long before.
    request->setTimeoutInterval(10);
    expectASlowAllowStopsAtTheBound(request);
}

}  // namespace

namespace {

TEST_F(URLSessionReplyBoundTest, HeaderLinePastCurlsLimitFailsAsTooLong) {
    testing::SilentServer stalling("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nX-Long: " + std::string(200 * 1024, 'a') +
                                   "\r\n\r\nok");
    auto session = sessionWith(0);
    Outcome outcome;
    session->dataTaskWithURL(ns::URL::make(stalling.url("/long")), outcome.handler())->resume();
    env.runUntilIdle();
    EXPECT_EQ(outcome.calls, 1);
    EXPECT_EQ(outcome.errorCode(), ns::URLErrorDataLengthExceedsMaximum);
}

}  // namespace
