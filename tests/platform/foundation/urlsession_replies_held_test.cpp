// What the replies of all sessions hold together counts what is held now:
// a piece handed to a delegate counts until its data is released, a
// completion handler's reply until its handler has run, a failed task's
// nothing from the moment it fails. Many large replies in flight at once
// load as long as they are not held, a small one loads while large ones
// fill the budget, and of two that cannot both be held one still loads.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/foundation/Log.h"
#include "platform/foundation/ReplyBudget.h"
#include "platform/foundation/URLError.h"
#include "platform/foundation/URLSession.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/SilentServer.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/platform/foundation/reply_memory_support.h"
#include "tests/platform/foundation/urlsession_support.h"

namespace {

using urltest::MiB;

constexpr double Patience = 60;  // real seconds for loopback replies to come

ns::Ref<ns::URLSession> sessionWith(ns::Ref<ns::URLSessionDelegate> delegate) {
    auto config = ns::URLSessionConfiguration::ephemeralSessionConfiguration();
    config->setURLCache(nullptr);
    return ns::URLSession::sessionWithConfiguration(config, std::move(delegate), nullptr);
}

// 5 to 10 MiB each, 146 MiB for twenty: more than the budget together.
uint64_t sizeOfReply(size_t i) { return (5 + i % 6) * MiB; }

std::vector<std::unique_ptr<urltest::GatedHost>> hostsFor(size_t count, uint64_t (*size)(size_t)) {
    std::vector<std::unique_ptr<urltest::GatedHost>> hosts;
    for (size_t i = 0; i < count; ++i) hosts.push_back(std::make_unique<urltest::GatedHost>(size(i)));
    return hosts;
}

// Takes every piece of its tasks' replies: copies its bytes into a reply
// of its own, or lets it go.
class TakingDelegate : public ns::URLSessionDataDelegate {
public:
    TakingDelegate(urltest::Arrivals& arrivals, bool keeps) : arrivals_(arrivals), keeps_(keeps) {}

    void didReceiveData(const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionDataTask>& task,
                        const ns::Ref<ns::Data>& data) override {
        const size_t index = size_t(task->taskIdentifier() - first);
        if (keeps_) {
            std::lock_guard guard(lock_);
            kept_[index].append(data->view());
        }
        arrivals_.add(index, data->length());
    }
    void didCompleteWithError(const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionTask>& task,
                              const ns::Ref<ns::Error>& error) override {
        const size_t index = size_t(task->taskIdentifier() - first);
        {
            std::lock_guard guard(lock_);
            if (error) errors_.push_back(error->code());
            kept_[index].clear();
        }
        arrivals_.end(index);
    }
    std::vector<int64_t> errors() {
        std::lock_guard guard(lock_);
        return errors_;
    }

    uint64_t first = 0;

private:
    urltest::Arrivals& arrivals_;
    const bool keeps_;
    std::mutex lock_;
    std::map<size_t, std::string> kept_;
    std::vector<int64_t> errors_;
};

class URLSessionRepliesHeldTest : public ::testing::Test {
protected:
    testing::TaskEnvironment env;
};

TEST_F(URLSessionRepliesHeldTest, TheSessionsBudgetIsNinetySixMiBAndEachBudgetJudgesByItsOwnLimit) {
    EXPECT_EQ(ns::sessionReplies().limit(), 100663296u);
    {
        ns::ReplyShare all(ns::sessionReplies());
        EXPECT_TRUE(all.growToOrRelease(96ull * 1024 * 1024));
        ns::ReplyShare one(ns::sessionReplies());
        EXPECT_FALSE(one.growToOrRelease(1));
    }
    EXPECT_EQ(ns::sessionReplies().held(), 0u);

    // One total, two budgets: each judges it by its own limit.
    ns::ReplyBudget small(10), large(20);
    ns::ReplyShare inSmall(small), inLarge(large);
    EXPECT_FALSE(inSmall.growToOrRelease(15));
    EXPECT_TRUE(inLarge.growToOrRelease(15));

    // A share refused gives back all it had, in the same step.
    EXPECT_TRUE(inSmall.growToOrRelease(6));
    EXPECT_FALSE(inSmall.growToOrRelease(11));
    EXPECT_EQ(inSmall.size(), 0u);
    EXPECT_EQ(small.held(), 0u);
    // Room past the limit, for what must be admitted all the same, is
    // counted as any other.
    EXPECT_FALSE(inSmall.growToOrRelease(13, 2));
    EXPECT_TRUE(inSmall.growToOrRelease(12, 2));
    EXPECT_EQ(small.held(), 12u);
    ns::ReplyShare other(small);
    EXPECT_FALSE(other.growToOrRelease(1));
    inSmall.shrinkTo(4);
    EXPECT_EQ(small.held(), 4u);
    EXPECT_TRUE(other.growToOrRelease(6));
    EXPECT_EQ(small.held(), 10u);
}

TEST_F(URLSessionRepliesHeldTest, TwentyDelegateTasksInFlightTogetherAllLoadWhetherTheDelegateKeepsOrDropsEachPiece) {
    constexpr size_t tasks = 20;
    for (const bool keeps : {true, false}) {
        SCOPED_TRACE(keeps ? "the delegate keeps each piece's bytes" : "the delegate drops each piece");
        auto hosts = hostsFor(tasks, sizeOfReply);
        urltest::Arrivals arrivals(tasks);
        auto delegate = std::make_shared<TakingDelegate>(arrivals, keeps);
        auto session = sessionWith(delegate);
        std::vector<ns::Ref<ns::URLSessionDataTask>> made;
        for (size_t i = 0; i < tasks; ++i) made.push_back(session->dataTaskWithURL(ns::URL::make(hosts[i]->url())));
        delegate->first = made.front()->taskIdentifier();
        for (auto& task : made) task->resume();

        // Every reply in flight at once, a piece of each at a time, until
        // all but its last piece has been taken.
        for (size_t piece = 1; piece < 10; ++piece) {
            for (auto& host : hosts) {
                if (piece < host->pieces) host->gate->release();
            }
            ASSERT_TRUE(arrivals.waitForAll([&](size_t i) { return std::min<uint64_t>(piece, hosts[i]->pieces - 1) * MiB; },
                                            Patience));
        }
        EXPECT_TRUE(delegate->errors().empty()) << delegate->errors().size() << " failed halfway";
        for (auto& host : hosts) host->gate->releaseAll();
        env.runUntilIdle();

        EXPECT_TRUE(delegate->errors().empty()) << delegate->errors().size() << " failed";
        for (size_t i = 0; i < tasks; ++i) EXPECT_EQ(arrivals.received[i], sizeOfReply(i)) << "task " << i;
        EXPECT_EQ(ns::sessionReplies().held(), 0u);
        session->invalidateAndCancel();
        env.runUntilIdle();
    }
}

// Completion-handler tasks hold their replies until their handlers run:
// together past the budget, some fail, and only while what the others
// really hold fills it.
TEST_F(URLSessionRepliesHeldTest, CompletionHandlerTasksFailOnlyWhileTheRepliesHeldFillTheBudget) {
    constexpr size_t tasks = 20;
    auto hosts = hostsFor(tasks, sizeOfReply);
    urltest::Arrivals arrivals(tasks);
    std::mutex lock;
    uint64_t loaded = 0;
    uint64_t largest = 0;
    int tooLong = 0, other = 0;
    auto session = sessionWith(nullptr);
    std::vector<uint64_t> tokens;
    std::vector<ns::Ref<ns::URLSessionDataTask>> made;
    for (size_t i = 0; i < tasks; ++i) {
        largest = std::max(largest, sizeOfReply(i));
        auto task = session->dataTaskWithURL(
            ns::URL::make(hosts[i]->url()), [&, i](ns::Ref<ns::Data> data, ns::Ref<ns::URLResponse>, ns::Ref<ns::Error> error) {
                {
                    std::lock_guard guard(lock);
                    if (!error && data && data->length() == sizeOfReply(i)) loaded += data->length();
                    else if (error && error->code() == ns::URLErrorDataLengthExceedsMaximum) ++tooLong;
                    else ++other;
                }
                arrivals.end(i);
            });
        // An observer hears how far the reply has come.
        task->addObserver("countOfBytesReceived", [&arrivals, i](ns::URLSessionTask&, const std::string&, int64_t value) {
            arrivals.set(i, uint64_t(value));
        });
        made.push_back(task);
    }
    for (auto& task : made) task->resume();
    for (auto& host : hosts) host->releaseAllButLast();
    ASSERT_TRUE(arrivals.waitForAll([&](size_t i) { return hosts[i]->allButLast(); }, Patience));
    // Past the limit by no more than the room for replies' first bytes.
    EXPECT_LE(ns::sessionReplies().held(), ns::BytesOfAllSessionReplies + ns::RoomForFirstBytes);
    for (auto& host : hosts) host->gate->releaseAll();
    env.runUntilIdle();

    std::lock_guard guard(lock);
    EXPECT_EQ(other, 0);
    EXPECT_GT(tooLong, 0);
    // A task failed only when the budget was full of replies still held:
    // those that loaded fill it but for about one reply (the last to fail
    // gave its part back) and a piece.
    EXPECT_GT(loaded + largest + MiB, ns::BytesOfAllSessionReplies) << loaded / MiB << " MiB loaded";
    EXPECT_EQ(ns::sessionReplies().held(), 0u);
}

uint64_t sixtyMiB(size_t) { return 60 * MiB; }

TEST_F(URLSessionRepliesHeldTest, ASmallReplyLoadsWhileTwoLargeOnesFillTheBudgetAndOfTheTwoOneLoads) {
    auto hosts = hostsFor(2, sixtyMiB);
    testing::LoopbackServer small;
    small.route("GET", "/small", testing::Reply::text(std::string(100 * 1000, 's'), "application/json"));
    urltest::Arrivals arrivals(2);
    std::vector<urltest::Outcome> large(2);
    auto session = sessionWith(nullptr);
    for (size_t i = 0; i < 2; ++i) {
        auto task = session->dataTaskWithURL(ns::URL::make(hosts[i]->url()), [&, i](ns::Ref<ns::Data> d, ns::Ref<ns::URLResponse> r, ns::Ref<ns::Error> e) {
            large[i].handler()(d, r, e);
            arrivals.end(i);
        });
        task->addObserver("countOfBytesReceived", [&arrivals, i](ns::URLSessionTask&, const std::string&, int64_t value) {
            arrivals.set(i, uint64_t(value));
        });
        task->resume();
    }
    // 48 MiB each: the budget is full.
    for (auto& host : hosts) host->gate->release(48);
    ASSERT_TRUE(arrivals.waitForAll([](size_t) { return 48 * MiB; }, Patience));
    EXPECT_EQ(ns::sessionReplies().held(), ns::BytesOfAllSessionReplies);

    // The large ones are held back meanwhile: waited for in real time.
    urltest::Outcome login;
    urltest::Arrivals loginEnded(1);
    session
        ->dataTaskWithURL(ns::URL::make(small.url("/small")),
                          [&](ns::Ref<ns::Data> d, ns::Ref<ns::URLResponse> r, ns::Ref<ns::Error> e) {
                              login.handler()(d, r, e);
                              loginEnded.end(0);
                          })
        ->resume();
    const bool ended = loginEnded.waitForAll([](size_t) { return 1; }, Patience);
    for (auto& host : hosts) host->gate->releaseAll();
    ASSERT_TRUE(ended);
    EXPECT_EQ(login.errorCode(), 0);
    EXPECT_EQ(login.body().size(), 100u * 1000);
    env.runUntilIdle();
    const int loaded = (large[0].body().size() == 60 * MiB) + (large[1].body().size() == 60 * MiB);
    EXPECT_EQ(loaded, 1);
    EXPECT_EQ(large[0].errorCode() + large[1].errorCode(), ns::URLErrorDataLengthExceedsMaximum);
    EXPECT_EQ(ns::sessionReplies().held(), 0u);
}

TEST_F(URLSessionRepliesHeldTest, OfTwoLargeRepliesThatCannotBothBeHeldOneAlwaysLoads) {
    testing::LoopbackServer server;
    server.route("GET", "/a", testing::Reply::text(std::string(60 * MiB, 'a'), "application/octet-stream"));
    server.route("GET", "/b", testing::Reply::text(std::string(60 * MiB, 'b'), "application/octet-stream"));
    for (int run = 0; run < 10; ++run) {
        // Sessions of their own: two transfer threads race for the budget.
        auto first = sessionWith(nullptr), second = sessionWith(nullptr);
        urltest::Outcome a, b;
        first->dataTaskWithURL(ns::URL::make(server.url("/a")), a.handler())->resume();
        second->dataTaskWithURL(ns::URL::make(server.url("/b")), b.handler())->resume();
        env.runUntilIdle();
        const int loaded = (a.body().size() == 60 * MiB) + (b.body().size() == 60 * MiB);
        EXPECT_GE(loaded, 1) << "run " << run << ": both failed";
        EXPECT_EQ(ns::sessionReplies().held(), 0u);
    }
}

// Lets every piece go, noting the most the budget held as each came.
class DroppingDelegate : public ns::URLSessionDataDelegate {
public:
    void didReceiveData(const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionDataTask>& task,
                        const ns::Ref<ns::Data>& data) override {
        std::lock_guard guard(lock);
        mostHeld = std::max(mostHeld, ns::sessionReplies().held());
        received[task->taskIdentifier()] += data->length();
    }
    void didCompleteWithError(const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionTask>&,
                              const ns::Ref<ns::Error>& error) override {
        std::lock_guard guard(lock);
        if (error) ++failed;
        if (error && error->code() == ns::URLErrorDataLengthExceedsMaximum) ++tooLong;
    }

    std::mutex lock;
    uint64_t mostHeld = 0;
    std::map<uint64_t, uint64_t> received;
    int failed = 0;
    int tooLong = 0;
};

TEST_F(URLSessionRepliesHeldTest, AHundredBombsToADelegateThatDropsEveryPieceHoldNoMoreThanTheBudget) {
    constexpr int tasks = 100;
    const uint64_t inflated = 8 * MiB;
    testing::SilentServer host;
    auto delegate = std::make_shared<DroppingDelegate>();
    auto config = ns::URLSessionConfiguration::ephemeralSessionConfiguration();
    config->setURLCache(nullptr);
    config->setHTTPMaximumConnectionsPerHost(tasks);
    auto session = ns::URLSession::sessionWithConfiguration(config, delegate, nullptr);
    for (int i = 0; i < tasks; ++i) session->dataTaskWithURL(ns::URL::make(host.url("/bomb" + std::to_string(i))))->resume();
    ASSERT_TRUE(host.waitForConnections(tasks, Patience)) << host.connectionCount() << " of " << tasks;
    host.answerAll(urltest::rawBombReply(inflated));
    env.runUntilIdle();

    // Pieces waiting for the delegate are held: past the budget the task
    // that meets it fails, and the rest go on.
    std::lock_guard guard(delegate->lock);
    int whole = 0;
    for (const auto& [task, bytes] : delegate->received) whole += bytes == inflated;
    EXPECT_EQ(whole + delegate->tooLong, tasks) << delegate->failed - delegate->tooLong << " ended otherwise";
    EXPECT_LE(delegate->mostHeld, ns::BytesOfAllSessionReplies + ns::RoomForFirstBytes);
    EXPECT_EQ(ns::sessionReplies().held(), 0u);
    session->invalidateAndCancel();
    env.runUntilIdle();
}

}  // namespace
