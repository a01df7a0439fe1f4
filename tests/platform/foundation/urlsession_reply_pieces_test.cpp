// A reply's pieces on their way to a busy delegate cost memory in
// proportion to their bytes, however small the pieces the sender cuts its
// reply into (one-byte chunks, one-byte gzip members): what arrives while a
// piece still waits in the queue joins it. The bytes still come whole and
// in order.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/foundation/Log.h"
#include "platform/foundation/ReplyBudget.h"
#include "platform/foundation/ReplyPiece.h"
#include "platform/foundation/URLConnection.h"
#include "platform/foundation/URLSession.h"
#include "platform/testing/PeakBound.h"
#include "platform/testing/SilentServer.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/platform/foundation/reply_memory_support.h"
#include "tests/platform/foundation/urlsession_support.h"

namespace {

using urltest::MiB;

constexpr double Patience = 60;  // real seconds for loopback replies to come
constexpr uint64_t ReplyBytes = 1'000'000;

// Checks each task's bytes as they come and keeps none. Its first piece
// waits at the latch, so that all that follows waits in the delegate queue.
// It takes every response as it comes: no transfer waits for it to decide.
class BusyDelegate : public ns::URLSessionDataDelegate {
public:
    explicit BusyDelegate(size_t tasks) : replies(tasks) {}

    bool respondsToSelector(std::string_view selector) const override {
        return selector != ns::URLSessionDidReceiveResponseSelector;
    }

    void didReceiveData(const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionDataTask>& task,
                        const ns::Ref<ns::Data>& data) override {
        latch.wait();
        replies[size_t(task->taskIdentifier() - first)].take(data->view());
        std::lock_guard guard(lock);
        ++pieces;
    }
    void didCompleteWithError(const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionTask>&,
                              const ns::Ref<ns::Error>& error) override {
        endings.note(true, error);
    }

    std::vector<urltest::ReplyChecker> replies;
    urltest::Latch latch;
    uint64_t first = 0;
    urltest::Endings endings;
    std::mutex lock;
    uint64_t pieces = 0;
};

class URLSessionReplyPiecesTest : public ::testing::Test {
protected:
    // `count` tasks of a session with connections enough for all at once,
    // answered together by `reply` while the delegate is busy with the
    // first piece; the bytes of all are `bytes`. Returns the growth of the
    // resident peak from the answer to the end.
    uint64_t loadWhileBusy(int count, const std::string& reply, uint64_t bytes,
                           const std::shared_ptr<BusyDelegate>& delegate) {
        testing::SilentServer host;
        auto session = urltest::ephemeralSession(delegate, count);
        std::vector<ns::Ref<ns::URLSessionDataTask>> tasks;
        for (int i = 0; i < count; ++i) {
            tasks.push_back(session->dataTaskWithURL(ns::URL::make(host.url("/reply" + std::to_string(i)))));
        }
        delegate->first = tasks.front()->taskIdentifier();
        for (auto& task : tasks) task->resume();
        EXPECT_TRUE(host.waitForConnections(size_t(count), Patience)) << host.connectionCount() << " of " << count;
        auto peak = testing::peakFromHere();
        host.answerAll(reply);
        // Every byte has come once the pieces waiting for the delegate hold
        // them all.
        const bool queued = urltest::waitUntilHeld(ns::sessionReplies(), bytes, Patience);
        delegate->latch.open();
        env.runUntilIdle();
        const uint64_t growth = peak.growth();
        EXPECT_TRUE(queued) << ns::sessionReplies().held() << " bytes held of " << bytes;
        session->invalidateAndCancel();
        env.runUntilIdle();
        return growth;
    }

    testing::TaskEnvironment env;
};

TEST_F(URLSessionReplyPiecesTest, TenRepliesInOneByteChunksWaitingForABusyDelegateHoldLittleMoreThanTheirBytes) {
    constexpr int replies = 10;
    auto delegate = std::make_shared<BusyDelegate>(replies);
    const std::string reply = urltest::rawOneByteChunks(ReplyBytes);
    const uint64_t growth = loadWhileBusy(replies, reply, replies * ReplyBytes, delegate);

    std::lock_guard guard(delegate->lock);
    EXPECT_EQ(delegate->endings.whole, replies);
    for (auto& checker : delegate->replies) {
        EXPECT_EQ(checker.received(), ReplyBytes);
        EXPECT_EQ(checker.wrong(), 0u);
    }
    // Pieces of up to 64 KiB: the first of each reply, and then one for
    // each 64 KiB or less that came while the one before still waited.
    EXPECT_LE(delegate->pieces, uint64_t(replies) * (ReplyBytes / ns::detail::ReplyPiece::MostBytes + 2));
    EXPECT_EQ(ns::sessionReplies().held(), 0u);
    // The replies' 10 MB, twice over for the room a piece doubles into, and
    // as much again that the allocator keeps: a queued piece per chunk would
    // hold 250 bytes for each one.
    testing::expectGrowthUnder(growth, 64 * MiB, "ten replies of 1 MB in one-byte chunks for a busy delegate");
}

TEST_F(URLSessionReplyPiecesTest, AMillionOneByteGzipMembersWaitingForABusyDelegateHoldLittleMoreThanTheirBytes) {
    auto delegate = std::make_shared<BusyDelegate>(1);
    const std::string reply = urltest::rawOneByteGzipMembers(ReplyBytes);
    const uint64_t growth = loadWhileBusy(1, reply, ReplyBytes, delegate);

    std::lock_guard guard(delegate->lock);
    EXPECT_EQ(delegate->endings.whole, 1);
    EXPECT_EQ(delegate->replies[0].received(), ReplyBytes);
    EXPECT_EQ(delegate->replies[0].wrong(), 0u);
    EXPECT_LE(delegate->pieces, ReplyBytes / ns::detail::ReplyPiece::MostBytes + 2);
    // The reply's MB, twice for a piece's room, and as much again for the
    // allocator: a piece per member would hold 250 MB.
    testing::expectGrowthUnder(growth, 16 * MiB, "a million one-byte gzip members for a busy delegate");
}

// A connection's pieces wait on its run loop: the main one here, which
// runs only when the test runs it.
class CheckingConnection : public ns::URLConnectionDataDelegate {
public:
    void didReceiveData(ns::URLConnection&, const ns::Ref<ns::Data>& data) override {
        reply.take(data->view());
        ++pieces;
    }
    void connectionDidFinishLoading(ns::URLConnection&) override { finished = true; }
    void didFailWithError(ns::URLConnection&, const ns::Ref<ns::Error>& error) override { failure = error->code(); }

    urltest::ReplyChecker reply;
    uint64_t pieces = 0;
    bool finished = false;
    int64_t failure = 0;
};

TEST_F(URLSessionReplyPiecesTest, TenConnectionsInOneByteChunksWaitingForTheirRunLoopHoldLittleMoreThanTheirBytes) {
    constexpr int replies = 10;
    // The connections' session allows few connections per host: a host each.
    std::vector<std::unique_ptr<testing::SilentServer>> hosts;
    std::vector<std::shared_ptr<CheckingConnection>> delegates;
    std::vector<ns::Ref<ns::URLConnection>> connections;
    for (int i = 0; i < replies; ++i) {
        hosts.push_back(std::make_unique<testing::SilentServer>());
        delegates.push_back(std::make_shared<CheckingConnection>());
        connections.push_back(ns::URLConnection::make(urltest::request(hosts.back()->url("/reply")), delegates.back()));
    }
    for (auto& host : hosts) ASSERT_TRUE(host->waitForConnections(1, Patience));
    const std::string reply = urltest::rawOneByteChunks(ReplyBytes);
    auto peak = testing::peakFromHere();
    for (auto& host : hosts) host->answerAll(reply);
    const bool queued = urltest::waitUntilHeld(ns::sessionReplies(), replies * ReplyBytes, Patience);
    env.runUntilIdle();
    const uint64_t growth = peak.growth();

    EXPECT_TRUE(queued) << ns::sessionReplies().held();
    for (auto& delegate : delegates) {
        EXPECT_TRUE(delegate->finished);
        EXPECT_EQ(delegate->failure, 0);
        EXPECT_EQ(delegate->reply.received(), ReplyBytes);
        EXPECT_EQ(delegate->reply.wrong(), 0u);
        EXPECT_LE(delegate->pieces, ReplyBytes / ns::detail::ReplyPiece::MostBytes + 2);
    }
    EXPECT_EQ(ns::sessionReplies().held(), 0u);
    testing::expectGrowthUnder(growth, 64 * MiB, "ten connections of 1 MB in one-byte chunks for a busy run loop");
}

TEST_F(URLSessionReplyPiecesTest, AConnectionCancelledWithAPieceWaitingKeepsNothingCounted) {
    testing::SilentServer host;
    auto delegate = std::make_shared<CheckingConnection>();
    auto connection = ns::URLConnection::make(urltest::request(host.url("/reply")), delegate);
    ASSERT_TRUE(host.waitForConnections(1, Patience));
    // Half the reply the head announces, in one-byte chunks: the task stays
    // in progress, its bytes waiting on the run loop in a gathered piece.
    constexpr uint64_t sent = 40'000;
    std::string reply = urltest::rawOneByteChunks(sent);
    reply.resize(reply.size() - 5);  // without the last chunk, the reply goes on
    host.answerAll(reply);
    ASSERT_TRUE(urltest::waitUntilHeld(ns::sessionReplies(), sent, Patience)) << ns::sessionReplies().held();

    connection->cancel();
    env.runUntilIdle();
    // The connection is still kept: what it gathered is not.
    EXPECT_EQ(delegate->reply.received(), 0u);
    EXPECT_EQ(ns::sessionReplies().held(), 0u);
}

// A connection whose run loop has gone queues nothing: no piece it makes
// is kept for later bytes to join, so the budget holds none of its reply
// once the bytes have passed, however long the reply goes on.
TEST_F(URLSessionReplyPiecesTest, AConnectionWhoseRunLoopIsGoneKeepsNoPieceCounted) {
    testing::SilentServer host;
    auto delegate = std::make_shared<CheckingConnection>();
    ns::Ref<ns::URLConnection> connection;
    const std::string url = host.url("/reply");
    // Made on a thread of its own, whose run loop goes with the thread.
    std::thread([&] { connection = ns::URLConnection::make(urltest::request(url), delegate); }).join();
    ASSERT_TRUE(host.waitForConnections(1, Patience));
    ns::LogCapture log;
    std::string reply = urltest::rawOneByteChunks(40'000);
    reply.resize(reply.size() - 5);  // without the last chunk, the reply goes on
    host.answerAll(reply);
    const std::string missed =
        "URL connection to " + url + ": its reply's bytes reach no delegate: the run loops it is scheduled in are gone";
    ASSERT_TRUE(urltest::waitUntil([&] { return log.contains(missed); }, Patience));
    // Well within the transfer's idle time-out of 60 s, at which the task
    // would end and let every piece go.
    constexpr double piecesLetGo = 20;
    EXPECT_TRUE(urltest::waitUntilHeld(ns::sessionReplies(), 0, piecesLetGo)) << ns::sessionReplies().held();
    EXPECT_EQ(delegate->reply.received(), 0u);

    connection->cancel();
    env.runUntilIdle();
    const auto lines = log.lines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) { return line.find(missed) != std::string::npos; }), 1);
}

TEST(ReplyPieceTest, JoinsUntilTakenOrFullAndCountsItsBytesUntilTheDataGoes) {
    ns::ReplyBudget budget(1000 * 1000);
    const auto weigh = [](ns::ReplyShare& share, uint64_t size) { return share.growToOrRelease(size); };
    ns::detail::ReplyPiece piece(budget);
    const std::string block(ns::detail::ReplyPiece::MostBytes - 1, 'b');
    EXPECT_EQ(piece.join("a", 1, 1, weigh), ns::detail::ReplyPiece::Join::Joined);
    EXPECT_EQ(piece.join(block.data(), block.size(), 65536, weigh), ns::detail::ReplyPiece::Join::Joined);
    EXPECT_EQ(budget.held(), ns::detail::ReplyPiece::MostBytes);
    // Full: one more byte goes in a piece of its own.
    EXPECT_EQ(piece.join("c", 1, 65537, weigh), ns::detail::ReplyPiece::Join::Closed);
    int64_t received = 0;
    ns::Ref<ns::Data> data = piece.take(&received);
    ASSERT_TRUE(data);
    EXPECT_EQ(received, 65536);
    EXPECT_EQ(data->view(), "a" + block);
    // Taken: nothing joins it any more; its bytes count while the data lives.
    EXPECT_EQ(piece.join("c", 1, 65537, weigh), ns::detail::ReplyPiece::Join::Closed);
    EXPECT_EQ(budget.held(), ns::detail::ReplyPiece::MostBytes);
    data.reset();
    EXPECT_EQ(budget.held(), 0u);

    // A first join of any length fits; a refused one holds nothing.
    ns::detail::ReplyPiece large(budget);
    const std::string big(3 * ns::detail::ReplyPiece::MostBytes, 'l');
    EXPECT_EQ(large.join(big.data(), big.size(), int64_t(big.size()), weigh), ns::detail::ReplyPiece::Join::Joined);
    ns::detail::ReplyPiece refused(budget);
    const std::string past(1000 * 1000, 'p');
    EXPECT_EQ(refused.join(past.data(), past.size(), int64_t(past.size()), weigh), ns::detail::ReplyPiece::Join::Refused);
    EXPECT_EQ(budget.held(), big.size());
    EXPECT_FALSE(refused.take());
}

TEST(ReplyPieceTest, APieceAlreadyMadeIsHandedOnAsItIsUnlessMoreJoinsIt) {
    ns::ReplyBudget budget(1000 * 1000);
    const auto weigh = [](ns::ReplyShare& share, uint64_t size) { return share.growToOrRelease(size); };
    const ns::Ref<ns::Data> made = ns::Data::withBytes(std::string("made"));
    ns::detail::ReplyPiece alone(budget);
    EXPECT_EQ(alone.join(made, 4, weigh), ns::detail::ReplyPiece::Join::Joined);
    EXPECT_EQ(budget.held(), 0u);
    EXPECT_EQ(alone.take().get(), made.get());

    ns::detail::ReplyPiece joined(budget);
    EXPECT_EQ(joined.join(made, 4, weigh), ns::detail::ReplyPiece::Join::Joined);
    EXPECT_EQ(joined.join(ns::Data::withBytes(std::string("+more")), 9, weigh), ns::detail::ReplyPiece::Join::Joined);
    EXPECT_EQ(budget.held(), 9u);
    int64_t received = 0;
    ns::Ref<ns::Data> data = joined.take(&received);
    ASSERT_TRUE(data);
    EXPECT_EQ(data->view(), "made+more");
    EXPECT_EQ(received, 9);
}

}  // namespace
