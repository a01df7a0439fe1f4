// The blocking read of a URL's bytes: a file, a 2xx body, and nothing for
// an error status, a missing file, a reply past the bound or a server that
// is not trusted; and reads waiting on hosts that never answer leave the
// queues and the URL session running.

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dispatch/Queue.h"
#include "platform/dispatch/ThreadPool.h"
#include "platform/foundation/BlockingRead.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/URLSession.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/PeakBound.h"
#include "platform/testing/ScopedSystemAnchor.h"
#include "platform/testing/SilentServer.h"
#include "platform/testing/TestCertificates.h"
#include "tests/platform/foundation/reply_memory_support.h"

namespace {

using urltest::MiB;

std::string bytesOf(const ns::Ref<ns::Data>& data) {
    return data ? std::string(reinterpret_cast<const char*>(data->bytes()), data->length()) : std::string("<nil>");
}

TEST(DataFromURL, ReadsFilesAndSuccessfulBodiesWhole) {
    const auto path = std::filesystem::temp_directory_path() / "data-from-url-test.bin";
    std::ofstream(path, std::ios::binary) << std::string("a\0b", 3);
    EXPECT_EQ(bytesOf(ns::Data::withContentsOfURL(ns::URL::fileURLWithPath(path.string()))), std::string("a\0b", 3));
    std::filesystem::remove(path);
    EXPECT_FALSE(ns::Data::withContentsOfURL(ns::URL::fileURLWithPath(path.string())));

    // Several megabytes, so that the reply is gathered in more than one piece.
    std::string large(3 * MiB + 5, '\0');
    for (size_t i = 0; i < large.size(); ++i) large[i] = char('a' + (i * 7 + i / 4099) % 26);
    testing::LoopbackServer server;
    server.route("GET", "/icon", testing::Reply::text(std::string(70000, 'x'), "image/png"));
    server.route("GET", "/large", testing::Reply::text(large, "image/png"));
    server.route("GET", "/gone", testing::Reply::withStatus(404, "not here"));
    EXPECT_EQ(bytesOf(ns::Data::withContentsOfURL(ns::URL::make(server.url("/icon")))), std::string(70000, 'x'));
    EXPECT_TRUE(bytesOf(ns::Data::withContentsOfURL(ns::URL::make(server.url("/large")))) == large);
    ns::LogCapture log;
    EXPECT_FALSE(ns::Data::withContentsOfURL(ns::URL::make(server.url("/gone"))));
    EXPECT_TRUE(log.contains(server.url("/gone") + ": status 404"));
    EXPECT_FALSE(ns::Data::withContentsOfURL(nullptr));
}

TEST(DataFromURL, ReplyInflatingPastTheSessionBoundGivesNilInLittleMemory) {
    const std::string bomb = urltest::gzippedZeros(256 * MiB);
    ASSERT_LT(bomb.size(), MiB);
    testing::LoopbackServer server;
    server.route("GET", "/bomb", urltest::gzipReply(bomb));

    ns::LogCapture log;
    testing::ResidentPeak peak;
    auto data = ns::Data::withContentsOfURL(ns::URL::make(server.url("/bomb")));
    const uint64_t growth = peak.growth();

    EXPECT_FALSE(data) << "a reply of " << (data ? data->length() : 0) << " bytes";
    EXPECT_TRUE(log.contains("its reply is longer than 67108864 bytes"));
    RecordProperty("peak_MiB", std::to_string(testing::residentPeakBytes() / MiB));
    // The 64 MiB bound and a little: the inflated reply is never held
    // whole, nor twice.
    testing::expectGrowthUnder(growth, 200 * MiB, "a 256 MiB bomb read whole");
}

TEST(DataFromURL, ServerFailingTheDefaultTrustEvaluationGivesNil) {
    testing::TestCertificates certificates;
    // Self-signed; and signed by an authority the system does not know.
    for (const auto* identity : {&certificates.selfSigned(), &certificates.leaf()}) {
        testing::LoopbackServer server(*identity);
        server.route("GET", "/icon", testing::Reply::text("secret", "image/png"));
        ns::LogCapture log;
        EXPECT_EQ(bytesOf(ns::Data::withContentsOfURL(ns::URL::make(server.url("/icon")))), "<nil>");
        EXPECT_TRUE(log.contains("its server is not trusted"));
        EXPECT_EQ(server.requestCount(), 0u);
    }
}

TEST(DataFromURL, FollowsRedirectsAsADataTaskDoes) {
    testing::LoopbackServer server;
    server.route("GET", "/icon", testing::Reply::text("icon bytes", "image/png"));
    // Every redirecting status, relative and absolute targets.
    server.route("GET", "/a", testing::Reply::redirect("/b", 301));
    server.route("GET", "/b", testing::Reply::redirect("c", 307));
    server.route("GET", "/c", testing::Reply::redirect(server.url("/d"), 308));
    server.route("GET", "/d", testing::Reply::redirect("/moved", 303));
    server.route("GET", "/moved", testing::Reply::redirect("/icon", 302));
    EXPECT_EQ(bytesOf(ns::Data::withContentsOfURL(ns::URL::make(server.url("/a")))), "icon bytes");

    // Sixteen redirects in a row are followed, a seventeenth is not.
    server.route("GET", "/hop0", testing::Reply::redirect("/icon"));
    for (int i = 1; i <= 16; ++i)
        server.route("GET", "/hop" + std::to_string(i), testing::Reply::redirect("/hop" + std::to_string(i - 1)));
    EXPECT_EQ(bytesOf(ns::Data::withContentsOfURL(ns::URL::make(server.url("/hop15")))), "icon bytes");
    ns::LogCapture log;
    EXPECT_FALSE(ns::Data::withContentsOfURL(ns::URL::make(server.url("/hop16"))));
    EXPECT_TRUE(log.contains("it redirects more than 16 times"));

    // A target that is not the web's, and one that answers with an error.
    server.route("GET", "/away", testing::Reply::redirect("file:///etc/passwd"));
    server.route("GET", "/broken", testing::Reply::redirect("/gone"));
    EXPECT_FALSE(ns::Data::withContentsOfURL(ns::URL::make(server.url("/away"))));
    EXPECT_TRUE(log.contains("it leads to file:///etc/passwd, which is not http or https"));
    EXPECT_FALSE(ns::Data::withContentsOfURL(ns::URL::make(server.url("/broken"))));
    EXPECT_TRUE(log.contains(server.url("/broken") + ": status 404"));
}

TEST(DataFromURL, ServerSignedByAnAuthorityTheSystemTrustsLoads) {
    testing::TestCertificates certificates;
    testing::LoopbackServer server(certificates.leaf());
    server.route("GET", "/icon", testing::Reply::text("icon bytes", "image/png"));
    testing::LoopbackServer wrongHost(certificates.wrongHost());
    wrongHost.route("GET", "/icon", testing::Reply::text("icon bytes", "image/png"));
    testing::LoopbackServer plain;
    plain.route("GET", "/moved", testing::Reply::redirect(server.url("/icon")));
    const auto icon = ns::URL::make(server.url("/icon"));

    EXPECT_EQ(bytesOf(ns::Data::withContentsOfURL(icon)), "<nil>");
    {
        testing::ScopedSystemAnchor anchor(certificates.ca());
        EXPECT_EQ(bytesOf(ns::Data::withContentsOfURL(icon)), "icon bytes");
        EXPECT_EQ(bytesOf(ns::Data::withContentsOfURL(ns::URL::make(plain.url("/moved")))), "icon bytes");
        // The authority is trusted, the host check still applies.
        EXPECT_EQ(bytesOf(ns::Data::withContentsOfURL(ns::URL::make(wrongHost.url("/icon")))), "<nil>");
    }
    ns::LogCapture log;
    EXPECT_EQ(bytesOf(ns::Data::withContentsOfURL(ns::URL::make(plain.url("/moved")))), "<nil>");
    EXPECT_TRUE(log.contains("its server is not trusted"));
    EXPECT_EQ(server.requestCount(), 2u);
    EXPECT_EQ(wrongHost.requestCount(), 0u);
}

// What the reads of the test below have come to, for the test thread to
// wait on. Shared, so that reads still queued when a failed test ends find
// it alive.
struct ReadTally {
    std::mutex lock;
    std::condition_variable changed;
    int ended = 0;
    int nil = 0;

    bool waitForEnded(int count, int seconds = 60) {
        std::unique_lock hold(lock);
        return changed.wait_for(hold, std::chrono::seconds(seconds), [&] { return ended >= count; });
    }
    int endedNow() {
        std::lock_guard guard(lock);
        return ended;
    }
};

// `count` reads of `host`'s "/icon<i>.png" on the low-priority global queue,
// as the halls read their pictures, each told to `tally`.
template <class Host>
void startReads(const Host& host, int count, const std::shared_ptr<ReadTally>& tally) {
    for (int i = 0; i < count; ++i) {
        auto url = ns::URL::make(host.url("/icon" + std::to_string(i) + ".png"));
        dispatch::async(dispatch::globalQueue(dispatch::QueuePriority::Low), [tally, url] {
            auto data = ns::Data::withContentsOfURL(url);
            std::lock_guard guard(tally->lock);
            ++tally->ended;
            if (!data) ++tally->nil;
            tally->changed.notify_all();
        });
    }
}

// While reads wait: a block on a global queue and a data task both complete.
void expectQueuesAndSessionsRun(const testing::LoopbackServer& server) {
    auto blockRan = std::make_shared<std::promise<void>>();
    dispatch::async(dispatch::globalQueue(), [blockRan] { blockRan->set_value(); });
    auto reply = std::make_shared<std::promise<std::string>>();
    auto config = ns::URLSessionConfiguration::ephemeralSessionConfiguration();
    config->setURLCache(nullptr);
    auto session = ns::URLSession::sessionWithConfiguration(config, nullptr, nullptr);
    session
        ->dataTaskWithURL(ns::URL::make(server.url("/ping")),
                          [reply](ns::Ref<ns::Data> data, ns::Ref<ns::URLResponse>, ns::Ref<ns::Error>) {
                              reply->set_value(data ? std::string(data->view()) : "<nil>");
                          })
        ->resume();
    EXPECT_EQ(blockRan->get_future().wait_for(std::chrono::seconds(15)), std::future_status::ready);
    auto answer = reply->get_future();
    const bool answered = answer.wait_for(std::chrono::seconds(15)) == std::future_status::ready;
    EXPECT_TRUE(answered);
    if (answered) {
        EXPECT_EQ(answer.get(), "pong");
    }
}

TEST(DataFromURL, ReadsOfHostsThatNeverAnswerLeaveTheQueuesAndSessionsRunning) {
    using dispatch::detail::ThreadPool;
    // One read more than the pool runs at once while nobody waits.
    const int reads = ThreadPool::workersWithoutWaits() + 1;
    // Room for the reads, the block and the session's delivery; and every
    // read must be one that may wait (past those, a read gives nil at once).
    if (reads + 2 > ThreadPool::HardCap) GTEST_SKIP() << "the pool's cap leaves no room past " << reads - 1 << " workers";
    if (reads > int(ns::detail::BlockingReadLimits().concurrentReads)) {
        GTEST_SKIP() << "earlier waits grew the pool to " << reads - 1 << " workers, past the reads that may wait";
    }

    testing::SilentServer silent;
    testing::LoopbackServer server;
    server.route("GET", "/ping", testing::Reply::text("pong"));
    auto tally = std::make_shared<ReadTally>();
    startReads(silent, reads, tally);
    // The real waits below only keep a failure from hanging (a loaded
    // machine may take many seconds to start every read); together they
    // stay under the transfers' 60 s idle time-out, so no read ends on its
    // own.
    EXPECT_TRUE(silent.waitForConnections(size_t(reads), 28))
        << silent.connectionCount() << " of " << reads << " reads reached the host";

    // While every read waits.
    expectQueuesAndSessionsRun(server);
    {
        std::lock_guard guard(tally->lock);
        EXPECT_EQ(tally->ended, 0);
    }

    // The host lets them go: every read ends, with nothing.
    silent.closeAll();
    ASSERT_TRUE(tally->waitForEnded(reads));
    std::lock_guard guard(tally->lock);
    EXPECT_EQ(tally->nil, reads);
}

TEST(DataFromURL, ReadsPastTheirShareOfThePoolGiveNilAtOnceAndTheQueuesRun) {
    using dispatch::detail::ThreadPool;
    const ns::detail::BlockingReadLimits limits;
    ASSERT_GE(ThreadPool::HardCap - limits.concurrentReads, 4) << "the reads must leave workers to the queues";
    const int reads = ThreadPool::HardCap + 6;
    const int pastTheShare = reads - limits.concurrentReads;

    testing::SilentServer silent;
    testing::LoopbackServer server;
    server.route("GET", "/ping", testing::Reply::text("pong"));
    ns::LogCapture log;
    auto tally = std::make_shared<ReadTally>();
    startReads(silent, reads, tally);
    EXPECT_TRUE(silent.waitForConnections(size_t(limits.concurrentReads), 30))
        << silent.connectionCount() << " of " << limits.concurrentReads << " reads reached the host";
    // The reads past the share do not wait for the host. The real waits up
    // to the end of the checks stay under the transfers' idle time-out, so
    // no read that reached the host ends on its own.
    EXPECT_TRUE(tally->waitForEnded(pastTheShare, 20));

    expectQueuesAndSessionsRun(server);
    EXPECT_EQ(tally->endedNow(), pastTheShare);
    EXPECT_EQ(silent.connectionCount(), size_t(limits.concurrentReads));
    EXPECT_TRUE(log.contains(std::to_string(limits.concurrentReads) + " blocking reads already wait"));

    silent.closeAll();
    ASSERT_TRUE(tally->waitForEnded(reads));
    std::lock_guard guard(tally->lock);
    EXPECT_EQ(tally->nil, reads);
}

TEST(DataFromURL, AHostThatTricklesIsLeftAtTheTotalBoundRedirectsIncluded) {
    testing::LoopbackServer server;
    // A byte every 0.1 s for 20 s: never idle long enough to time out.
    testing::Reply trickle = testing::Reply::chunked(std::vector<std::string>(200, "x"), "image/png");
    trickle.chunkDelaySeconds = 0.1;
    server.route("GET", "/icon", trickle);
    testing::Reply slowRedirect = testing::Reply::redirect("/icon");
    slowRedirect.delaySeconds = 0.3;
    server.route("GET", "/moved", slowRedirect);

    ns::detail::BlockingReadLimits limits;
    limits.totalSeconds = 0.5;
    ns::LogCapture log;
    EXPECT_FALSE(ns::detail::blockingRead(ns::URL::make(server.url("/icon")), limits));
    EXPECT_TRUE(log.contains(server.url("/icon") + ": it took longer than 0.5 seconds in all"));
    EXPECT_FALSE(ns::detail::blockingRead(ns::URL::make(server.url("/moved")), limits));
    EXPECT_TRUE(log.contains(server.url("/moved") + ": it took longer than 0.5 seconds in all"));
    EXPECT_EQ(server.requestCount(), 3u);
}

TEST(DataFromURL, BombsAnsweringManyReadsAtOnceStayWithinWhatAllReadsMayHold) {
    const ns::detail::BlockingReadLimits limits;
    const int reads = limits.concurrentReads;
    const std::string bomb = urltest::gzippedZeros(256 * MiB);
    const std::string reply = "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Encoding: gzip\r\n"
                              "Content-Length: " + std::to_string(bomb.size()) + "\r\n\r\n" + bomb;
    testing::SilentServer host;
    ns::LogCapture log;
    testing::ResidentPeak peak;
    ASSERT_TRUE(peak.started());
    auto tally = std::make_shared<ReadTally>();
    startReads(host, reads, tally);
    ASSERT_TRUE(host.waitForConnections(size_t(reads), 30)) << host.connectionCount() << " of " << reads;
    host.answerAll(reply);
    ASSERT_TRUE(tally->waitForEnded(reads));
    const uint64_t growth = peak.growth();
    {
        std::lock_guard guard(tally->lock);
        EXPECT_EQ(tally->nil, reads);
    }
    EXPECT_TRUE(log.contains("the blocking reads in progress would hold more than 134217728 bytes together"));
    RecordProperty("growth_MiB", std::to_string(growth / MiB));
    testing::expectGrowthUnder(growth, 300'000'000u, std::to_string(reads) + " bomb reads at once");

    // What they held is theirs no more: a read may then hold all there is.
    testing::LoopbackServer server;
    server.route("GET", "/icon", testing::Reply::text(std::string(MiB, 'x'), "image/png"));
    ns::ReplyBudget justEnough(MiB);
    ns::detail::BlockingReadLimits exact;
    exact.replies = &justEnough;
    EXPECT_EQ(bytesOf(ns::detail::blockingRead(ns::URL::make(server.url("/icon")), exact)).size(), MiB);
}

}  // namespace
