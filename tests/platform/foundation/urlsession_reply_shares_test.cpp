// When the replies of all sessions count, and how much past the budget's
// limit a reply's first bytes may take it: a completion handler's reply
// counts until its handler has run (also when the handler hands it on to a
// busy queue, as a connection's asynchronous request does), a failed
// task's not at all, and small replies may pass a full budget by 8 MiB
// together, no more.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/Log.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/ReplyBudget.h"
#include "platform/foundation/URLConnection.h"
#include "platform/foundation/URLError.h"
#include "platform/foundation/URLSession.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/platform/foundation/reply_memory_support.h"
#include "tests/platform/foundation/urlsession_support.h"

namespace {

using urltest::MiB;

constexpr double Patience = 60;  // real seconds for loopback replies to come

// Keeps every piece it is handed, so that each stays counted.
class KeepingDelegate : public ns::URLSessionDataDelegate {
public:
    void didReceiveData(const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionDataTask>&,
                        const ns::Ref<ns::Data>& data) override {
        std::lock_guard guard(lock);
        kept.push_back(data);
        keptBytes += data->length();
    }
    void didCompleteWithError(const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionTask>&,
                              const ns::Ref<ns::Error>& error) override {
        endings.note(true, error);
    }
    // Lets go of what it kept.
    void dropAll() {
        std::lock_guard guard(lock);
        kept.clear();
        keptBytes = 0;
    }

    std::mutex lock;
    std::vector<ns::Ref<ns::Data>> kept;
    uint64_t keptBytes = 0;
    urltest::Endings endings;
};

class URLSessionReplySharesTest : public ::testing::Test {
protected:
    testing::TaskEnvironment env;
    testing::LoopbackServer server;
};

TEST_F(URLSessionReplySharesTest, SmallRepliesPassAFullBudgetByEightMiBTogetherAndLargeOnesNotAtAll) {
    constexpr int replies = 12;
    constexpr uint64_t small = 900 * 1000;
    server.route("GET", "/small", testing::Reply::text(std::string(small, 's'), "application/octet-stream"));
    server.route("GET", "/large", testing::Reply::text(std::string(2 * MiB, 'l'), "application/octet-stream"));
    // The budget is full: only the room for first bytes is left.
    ns::ReplyShare full(ns::sessionReplies());
    ASSERT_TRUE(full.growToOrRelease(ns::sessionReplies().limit()));
    auto delegate = std::make_shared<KeepingDelegate>();
    auto session = urltest::ephemeralSession(delegate);
    ns::LogCapture log;
    for (int i = 0; i < replies; ++i) {
        session->dataTaskWithURL(ns::URL::make(server.url("/small?n=" + std::to_string(i))))->resume();
    }
    env.runUntilIdle();
    {
        std::lock_guard guard(delegate->lock);
        // 10.8 MB asked for, 8 MiB of room.
        EXPECT_LE(delegate->keptBytes, 8 * MiB);
        // Filled but for what the last to fail was refused.
        EXPECT_GT(delegate->keptBytes, 8 * MiB - small);
    }
    const int tooLong = delegate->endings.tooLong;
    EXPECT_GT(tooLong, 0);
    EXPECT_EQ(delegate->endings.whole + tooLong, replies);
    delegate->dropAll();
    EXPECT_TRUE(log.contains("the replies of all tasks in progress would hold more than 100663296 bytes together"));

    // With the room free again, a reply's bytes past its first MiB find the
    // budget full all the same.
    session->dataTaskWithURL(ns::URL::make(server.url("/large")))->resume();
    env.runUntilIdle();
    EXPECT_EQ(delegate->endings.tooLong, tooLong + 1);
    {
        std::lock_guard guard(delegate->lock);
        EXPECT_LE(delegate->keptBytes, MiB);
    }
    delegate->dropAll();
    full.release();
    EXPECT_EQ(ns::sessionReplies().held(), 0u);
    session->invalidateAndCancel();
    env.runUntilIdle();
}

TEST_F(URLSessionReplySharesTest, ACompletionHandlersReplyCountsWhileItsHandlerRunsAndAFailedOnesNot) {
    server.route("GET", "/whole", testing::Reply::text(std::string(2 * MiB, 'w'), "application/octet-stream"));
    auto cut = testing::Reply::text(std::string(4 * MiB, 'c'), "application/octet-stream");
    cut.dropAfterBytes = long(2 * MiB);
    server.route("GET", "/cut", cut);
    auto session = urltest::ephemeralSession();
    uint64_t heldForWhole = 0, heldForCut = 0;
    uint64_t wholeLength = 0;
    int64_t cutError = 0;
    session
        ->dataTaskWithURL(ns::URL::make(server.url("/whole")),
                          [&](ns::Ref<ns::Data> data, ns::Ref<ns::URLResponse>, ns::Ref<ns::Error>) {
                              heldForWhole = ns::sessionReplies().held();
                              wholeLength = data ? data->length() : 0;
                          })
        ->resume();
    env.runUntilIdle();
    session
        ->dataTaskWithURL(ns::URL::make(server.url("/cut")),
                          [&](ns::Ref<ns::Data>, ns::Ref<ns::URLResponse>, ns::Ref<ns::Error> error) {
                              heldForCut = ns::sessionReplies().held();
                              cutError = error ? error->code() : 0;
                          })
        ->resume();
    env.runUntilIdle();

    EXPECT_EQ(wholeLength, 2 * MiB);
    EXPECT_GE(heldForWhole, 2 * MiB);
    EXPECT_EQ(cutError, ns::URLErrorNetworkConnectionLost);
    // The 2 MiB that came before the cut were given back as the task failed.
    EXPECT_LT(heldForCut, MiB);
    EXPECT_EQ(ns::sessionReplies().held(), 0u);
    session->invalidateAndCancel();
    env.runUntilIdle();
}

TEST_F(URLSessionReplySharesTest, AnAsynchronousConnectionsReplyCountsUntilTheCallersHandlerHasRun) {
    server.route("GET", "/async", testing::Reply::text(std::string(4 * MiB, 'a'), "application/octet-stream"));
    server.route("GET", "/next", testing::Reply::text("next"));
    auto busy = std::make_shared<ns::OperationQueue>();
    busy->setSuspended(true);
    uint64_t length = 0;
    ns::URLConnection::sendAsynchronousRequest(urltest::request(server.url("/async")), busy,
                                               [&](ns::Ref<ns::URLResponse>, ns::Ref<ns::Data> data, ns::Ref<ns::Error>) {
                                                   length = data ? data->length() : 0;
                                               });
    // The reply has been handed to the busy queue.
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(Patience);
    while (busy->operationCount() == 0 && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(busy->operationCount(), 1u);
    // A later reply's handler runs on the connections' delegate queue after
    // the first one's has returned: the first reply still counts.
    urltest::Latch seen;
    uint64_t heldMeanwhile = 0;
    ns::URLConnection::sendAsynchronousRequest(urltest::request(server.url("/next")), nullptr,
                                               [&](ns::Ref<ns::URLResponse>, ns::Ref<ns::Data>, ns::Ref<ns::Error>) {
                                                   heldMeanwhile = ns::sessionReplies().held();
                                                   seen.open();
                                               });
    seen.wait();
    EXPECT_GE(heldMeanwhile, 4 * MiB);

    busy->setSuspended(false);
    busy->waitUntilAllOperationsAreFinished();
    env.runUntilIdle();
    EXPECT_EQ(length, 4 * MiB);
    EXPECT_EQ(ns::sessionReplies().held(), 0u);
}

TEST(ReplyShareTest, AReplysFirstMiBMayPassTheLimitByTheRoomForFirstBytesAndNoMore) {
    ns::ReplyBudget budget(10 * MiB);
    ns::ReplyShare full(budget);
    ASSERT_TRUE(full.growToOrRelease(10 * MiB));
    ns::ReplyShare first(budget), second(budget);
    EXPECT_TRUE(first.growForReply(MiB, MiB));
    EXPECT_FALSE(first.growForReply(MiB + 1, MiB + 1));
    EXPECT_EQ(first.size(), 0u);
    for (int i = 0; i < 8; ++i) {
        ns::ReplyShare* share = i % 2 ? &first : &second;
        EXPECT_TRUE(share->growForReply(share->size() + MiB, MiB)) << i;
    }
    EXPECT_EQ(budget.held(), 18 * MiB);
    EXPECT_FALSE(second.growForReply(second.size() + 1, 1));
    EXPECT_EQ(budget.held(), 14 * MiB);

    // A copy of bytes admitted already counts in their place, whatever the
    // budget holds.
    ns::ReplyShare copy(budget);
    copy.growTo(MiB);
    EXPECT_EQ(budget.held(), 15 * MiB);
    first.release();
    EXPECT_EQ(budget.held(), 11 * MiB);
}

// Two holders growing toward more than the budget holds for both, at once,
// many times over: the one refused gives its share back in the step that
// refuses it, so the other never meets a full budget of a share let go.
// `grow` grows one holder's share whole, or is refused; the rounds in
// which both were refused.
int roundsBothRefused(ns::ReplyBudget& budget, const std::function<bool(ns::ReplyShare&)>& grow) {
    constexpr int rounds = 2000;
    int bothRefused = 0;
    for (int round = 0; round < rounds; ++round) {
        ns::ReplyShare a(budget), b(budget);
        std::atomic<int> ready{0};
        auto started = [&ready](ns::ReplyShare& share, const std::function<bool(ns::ReplyShare&)>& grow) {
            ready.fetch_add(1);
            while (ready.load() < 2) std::this_thread::yield();
            return grow(share);
        };
        bool grewB = false;
        std::thread other([&] { grewB = started(b, grow); });
        const bool grewA = started(a, grow);
        other.join();
        if (!grewA && !grewB) ++bothRefused;
        EXPECT_EQ(budget.held(), a.size() + b.size());
    }
    EXPECT_EQ(budget.held(), 0u);
    return bothRefused;
}

TEST(ReplyShareTest, OfTwoHoldersThatCannotBothFitOneAlwaysGrowsWhole) {
    ns::ReplyBudget budget(100);
    EXPECT_EQ(roundsBothRefused(budget,
                                [](ns::ReplyShare& share) {
                                    for (uint64_t total = 1; total <= 60; ++total) {
                                        if (!share.growToOrRelease(total)) return false;
                                    }
                                    return true;
                                }),
              0);
}

// The same for what two replies are parsed into: the parse refused goes
// back to its reply's bytes in the step that refuses it.
TEST(ReplyShareTest, OfTwoParsesThatCannotBothFitOneAlwaysCompletes) {
    ns::ReplyBudget budget(100 * MiB);
    EXPECT_EQ(roundsBothRefused(budget,
                                [](ns::ReplyShare& share) {
                                    if (!share.growToOrRelease(10 * MiB)) return false;
                                    ns::ReplyCharge charge(share);
                                    for (int step = 0; step < 50; ++step) {
                                        if (!ns::ReplyCharge::charge(MiB)) {
                                            EXPECT_EQ(share.size(), 10 * MiB) << "the reply's bytes stay counted";
                                            return false;
                                        }
                                    }
                                    return true;
                                }),
              0);
}

}  // namespace
