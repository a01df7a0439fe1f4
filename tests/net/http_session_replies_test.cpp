// What the HTTP client holds of its replies: each reply once (handed on to
// the serializer, not copied), within what the session's tasks may hold
// together, counted until its completion handler has run; of a task that
// failed, what arrived within its bound. Pieces waiting for a busy session
// queue cost in proportion to their bytes however small the sender cuts
// them, and a redirect's body, which nothing may make the reply, passes.

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <vector>
#include <mutex>
#include <string>

#include "net/SDPHTTPResponseSerializer.h"
#include "net/SDPURLSessionManager.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/ReplyBuffer.h"
#include "platform/foundation/ReplyBudget.h"
#include "platform/foundation/URLError.h"
#include "platform/testing/FloodServer.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/PeakBound.h"
#include "platform/testing/SilentServer.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/net/http_session_support.h"
#include "tests/platform/foundation/reply_memory_support.h"

namespace {

using urltest::MiB;

constexpr double Patience = 60;  // real seconds for loopback replies to come

struct Endings : urltest::Endings {
    SDPURLSessionManager::CompletionHandler handler() {
        return [this](const ns::Ref<ns::URLResponse>&, const ns::Id&, const ns::Ref<ns::Error>& error) {
            note(true, error);
        };
    }
};

// A reply's outcome: its length when it loaded, and its error's code.
struct Loaded {
    std::mutex lock;
    int64_t error = -1;
    uint64_t length = 0;

    SDPURLSessionManager::CompletionHandler handler(std::function<void()> then = {}) {
        return [this, then](const ns::Ref<ns::URLResponse>&, const ns::Id& object, const ns::Ref<ns::Error>& failure) {
            {
                std::lock_guard guard(lock);
                error = failure ? failure->code() : 0;
                if (auto data = ns::cast<ns::Data>(object); data && !failure) length = data->length();
            }
            if (then) then();
        };
    }
};

// A reply's outcome, and what the replies' budget held as its handler ran.
struct Handled {
    std::mutex lock;
    int64_t error = -1;
    ns::Ref<ns::Data> data;
    uint64_t heldInHandler = 0;

    SDPURLSessionManager::CompletionHandler handler(bool keep = true) {
        return [this, keep](const ns::Ref<ns::URLResponse>&, const ns::Id& object, const ns::Ref<ns::Error>& failure) {
            std::lock_guard guard(lock);
            heldInHandler = ns::sessionReplies().held();
            error = failure ? failure->code() : 0;
            auto received = ns::cast<ns::Data>(object);
            if (keep) data = received;
            checker.take(received && !failure ? received->view() : std::string_view());
        };
    }
    uint64_t length() {
        std::lock_guard guard(lock);
        return data ? data->length() : 0;
    }
    urltest::ReplyChecker checker;
};

// Undo the buffers' test hooks whatever the test's end.
struct FailingBuffers {
    ~FailingBuffers() {
        ns::ReplyBuffer::failAppendsPastForTesting(SIZE_MAX);
        ns::ReplyBuffer::failJoinsPastForTesting(SIZE_MAX);
    }
};

class HTTPSessionRepliesTest : public ::testing::Test {
protected:
    ns::Ref<SDPURLSessionManager> managerFor(int connections, uint64_t bound = 0) {
        auto configuration = httptest::ephemeralConfiguration();
        configuration->setHTTPMaximumConnectionsPerHost(connections);
        if (bound) configuration->setMaximumResponseDataLength(bound);
        auto made = SDPURLSessionManager::make(configuration);
        made->setResponseSerializer(SDPHTTPResponseSerializer::serializer());
        return made;
    }
    ns::Ref<ns::URLRequest> get(const std::string& url) { return ns::URLRequest::make(ns::URL::make(url)); }
    void TearDown() override {
        if (manager) manager->invalidateSessionCancelingTasks(true);
        env.runUntilIdle();
    }

    testing::TaskEnvironment env;
    ns::Ref<SDPURLSessionManager> manager;
};

TEST_F(HTTPSessionRepliesTest, TwentyGetsAnsweredByBombsHoldNoMoreThanTheSessionsTasksMay) {
    constexpr int gets = 20;
    const uint64_t perTask = ns::URLSessionConfiguration::DefaultMaximumResponseDataLength;
    testing::SilentServer host;
    manager = managerFor(gets);
    Endings endings;
    testing::ResidentPeak peak;
    ASSERT_TRUE(peak.started());
    for (int i = 0; i < gets; ++i) {
        auto request = ns::URLRequest::make(ns::URL::make(host.url("/bomb" + std::to_string(i))));
        manager->dataTaskWithRequest(request, endings.handler())->resume();
    }
    ASSERT_TRUE(host.waitForConnections(gets, 30)) << host.connectionCount() << " of " << gets;
    host.answerAll(urltest::rawBombReply(perTask - MiB, "application/octet-stream"));
    env.runUntilIdle();
    const uint64_t growth = peak.growth();

    RecordProperty("growth_MiB", std::to_string(growth / MiB));
    EXPECT_EQ(endings.whole + endings.tooLong, gets) << endings.other << " ended otherwise";
    EXPECT_GT(endings.tooLong, 0);
    // What all tasks may hold, as much again of pieces let go that the
    // allocator keeps, and one reply joined for its serializer: no reply is
    // held again beside its pieces.
    testing::expectGrowthUnder(growth, 2 * ns::BytesOfAllSessionReplies + perTask,
                               std::to_string(gets) + " HTTP-client GETs answered by bombs");
}

TEST_F(HTTPSessionRepliesTest, ATooLongReplyHandsOnNoMoreThanItsBoundInItsNotification) {
    testing::LoopbackServer server;
    server.route("GET", "/long", testing::Reply::text(std::string(2 * MiB, 'x'), "application/octet-stream"));
    manager = managerFor(6, MiB);
    httptest::EventLog log;
    httptest::NotificationRecorder recorder(log, {SDPNetworkingTaskDidCompleteNotification});
    Endings endings;
    manager->dataTaskWithRequest(ns::URLRequest::make(ns::URL::make(server.url("/long"))), endings.handler())->resume();
    env.runUntilIdle();

    EXPECT_EQ(endings.tooLong, 1);
    ASSERT_EQ(log.count(SDPNetworkingTaskDidCompleteNotification), 1);
    auto data = ns::cast<ns::Data>(log.events().back().userInfo->objectForKey(SDPNetworkingTaskDidCompleteResponseDataKey));
    ASSERT_TRUE(data);
    EXPECT_LE(data->length(), MiB) << "what arrived, within the bound";
    EXPECT_TRUE(data->isEqual(ns::Data::withBytes(std::string(data->length(), 'x'))));
}

TEST_F(HTTPSessionRepliesTest, TheClientsBufferTakesItsShareOfTheRepliesHeld) {
    urltest::GatedHost host(8 * MiB);
    manager = managerFor(6);
    // The test's thread waits for the reply: its end is heard off it.
    manager->setCompletionQueue(dispatch::Queue::serial("test.http.completions"));
    urltest::Arrivals arrivals(1);
    Loaded loaded;
    auto task = manager->dataTaskWithRequest(ns::URLRequest::make(ns::URL::make(host.url())),
                                             loaded.handler([&arrivals] { arrivals.end(0); }));
    task->addObserver("countOfBytesReceived", [&arrivals](ns::URLSessionTask&, const std::string&, int64_t value) {
        arrivals.set(0, uint64_t(value));
    });
    task->resume();
    host.gate->release(5);
    const bool halfway = arrivals.waitForAll([](size_t) { return 5 * MiB; }, 60);
    // The session's pieces are let go as the client copies them: what is
    // held is the client's buffer, counted (the last piece may still be in
    // hand, counted as a piece).
    const uint64_t held = ns::sessionReplies().held();
    host.gate->releaseAll();
    ASSERT_TRUE(halfway);
    EXPECT_GE(held, 5 * MiB);
    ASSERT_TRUE(arrivals.waitForAll([](size_t) { return UINT64_MAX; }, 60));
    EXPECT_EQ(loaded.length, 8 * MiB);
    env.runUntilIdle();
    EXPECT_EQ(ns::sessionReplies().held(), 0u);

    // Other replies hold all but 4 MiB: the reply cannot be held whole.
    testing::LoopbackServer server;
    server.route("GET", "/long", testing::Reply::text(std::string(8 * MiB, 'x'), "application/octet-stream"));
    ns::ReplyShare others(ns::sessionReplies());
    ASSERT_TRUE(others.growToOrRelease(ns::BytesOfAllSessionReplies - 4 * MiB));
    ns::LogCapture log;
    Loaded refused;
    manager->setCompletionQueue(nullptr);
    manager->dataTaskWithRequest(ns::URLRequest::make(ns::URL::make(server.url("/long"))), refused.handler())->resume();
    env.runUntilIdle();
    EXPECT_EQ(refused.error, ns::URLErrorDataLengthExceedsMaximum);
    EXPECT_TRUE(log.contains("the replies of all tasks in progress would hold more than 100663296 bytes together"));
    EXPECT_EQ(ns::sessionReplies().held(), others.size());
}

TEST_F(HTTPSessionRepliesTest, ABufferThatMemoryCannotGrowOrJoinFailsItsTaskNotTheProcess) {
    testing::LoopbackServer server;
    server.route("GET", "/long", testing::Reply::text(std::string(3 * MiB, 'x'), "application/octet-stream"));
    server.route("GET", "/short", testing::Reply::text("ok", "text/plain"));
    manager = managerFor(6);
    FailingBuffers restore;
    ns::LogCapture log;
    for (const bool joins : {false, true}) {
        SCOPED_TRACE(joins ? "the join fails" : "an append fails");
        if (joins) {
            ns::ReplyBuffer::failAppendsPastForTesting(SIZE_MAX);
            ns::ReplyBuffer::failJoinsPastForTesting(MiB);
        } else {
            ns::ReplyBuffer::failAppendsPastForTesting(MiB);
        }
        Loaded large, small;
        manager->dataTaskWithRequest(ns::URLRequest::make(ns::URL::make(server.url("/long"))), large.handler())->resume();
        manager->dataTaskWithRequest(ns::URLRequest::make(ns::URL::make(server.url("/short"))), small.handler())->resume();
        env.runUntilIdle();
        EXPECT_EQ(large.error, ns::URLErrorDataLengthExceedsMaximum);
        EXPECT_EQ(small.length, 2u);
        EXPECT_TRUE(log.contains(joins ? "HTTP client: task for " + server.url("/long") +
                                             " failed: no memory left to join its reply of 3145728 bytes"
                                       : "HTTP client: task for " + server.url("/long") +
                                             " stopped: no memory left to hold"));
        EXPECT_EQ(ns::sessionReplies().held(), 0u);
    }
}

// 5 to 10 MiB each, 146 MiB for twenty: more than the budget together.
uint64_t sizeOfReply(size_t i) { return (5 + i % 6) * MiB; }

TEST_F(HTTPSessionRepliesTest, TwentyGetsInFlightTogetherHoldNoMoreThanTheBudget) {
    constexpr size_t gets = 20;
    std::vector<std::unique_ptr<urltest::GatedHost>> hosts;
    for (size_t i = 0; i < gets; ++i) hosts.push_back(std::make_unique<urltest::GatedHost>(sizeOfReply(i)));
    manager = managerFor(6);
    // The test's thread waits for the replies: their ends are heard off it.
    manager->setCompletionQueue(dispatch::Queue::serial("test.http.completions"));
    urltest::Arrivals arrivals(gets);
    std::vector<std::unique_ptr<Loaded>> outcomes;
    for (size_t i = 0; i < gets; ++i) {
        outcomes.push_back(std::make_unique<Loaded>());
        auto task = manager->dataTaskWithRequest(ns::URLRequest::make(ns::URL::make(hosts[i]->url())),
                                                 outcomes[i]->handler([&arrivals, i] { arrivals.end(i); }));
        task->addObserver("countOfBytesReceived", [&arrivals, i](ns::URLSessionTask&, const std::string&, int64_t value) {
            arrivals.set(i, uint64_t(value));
        });
        task->resume();
    }
    for (auto& host : hosts) host->releaseAllButLast();
    ASSERT_TRUE(arrivals.waitForAll([&](size_t i) { return hosts[i]->allButLast(); }, 60));
    // Past the limit by no more than the room for replies' first bytes.
    EXPECT_LE(ns::sessionReplies().held(), ns::BytesOfAllSessionReplies + ns::RoomForFirstBytes);
    for (auto& host : hosts) host->gate->releaseAll();
    env.runUntilIdle();

    // Each loaded whole or failed as too long; together they could not all be held.
    int tooLong = 0, other = 0;
    for (size_t i = 0; i < gets; ++i) {
        if (outcomes[i]->error == ns::URLErrorDataLengthExceedsMaximum) ++tooLong;
        else if (outcomes[i]->error != 0 || outcomes[i]->length != sizeOfReply(i)) ++other;
    }
    EXPECT_EQ(other, 0);
    EXPECT_GT(tooLong, 0);
    EXPECT_EQ(ns::sessionReplies().held(), 0u);
}

TEST_F(HTTPSessionRepliesTest, TenRepliesInOneByteChunksWaitingForABusySessionQueueHoldLittleMoreThanTheirBytes) {
    constexpr int replies = 10;
    constexpr uint64_t bytes = 1'000'000;
    testing::SilentServer host;
    manager = managerFor(replies);
    std::vector<std::unique_ptr<Handled>> outcomes;
    for (int i = 0; i < replies; ++i) {
        outcomes.push_back(std::make_unique<Handled>());
        manager->dataTaskWithRequest(get(host.url("/reply" + std::to_string(i))), outcomes.back()->handler(false))
            ->resume();
    }
    ASSERT_TRUE(host.waitForConnections(replies, Patience)) << host.connectionCount() << " of " << replies;
    const std::string reply = urltest::rawOneByteChunks(bytes);
    // The session's queue is busy until every byte has come: the pieces
    // wait for it.
    urltest::Latch busy;
    manager->operationQueue()->addOperationWithBlock([&busy] { busy.wait(); });
    auto peak = testing::peakFromHere();
    host.answerAll(reply);
    const bool queued = urltest::waitUntilHeld(ns::sessionReplies(), replies * bytes, Patience);
    busy.open();
    env.runUntilIdle();
    const uint64_t growth = peak.growth();

    EXPECT_TRUE(queued) << ns::sessionReplies().held();
    for (auto& outcome : outcomes) {
        EXPECT_EQ(outcome->error, 0);
        EXPECT_EQ(outcome->checker.received(), bytes);
        EXPECT_EQ(outcome->checker.wrong(), 0u);
    }
    EXPECT_EQ(ns::sessionReplies().held(), 0u);
    // The replies' 10 MB as pieces, twice for the room a piece doubles
    // into, then in the client's buffers and joined: a piece per chunk
    // would hold 250 bytes for each.
    testing::expectGrowthUnder(growth, 64 * MiB, "ten HTTP-client replies of 1 MB in one-byte chunks");
}

TEST_F(HTTPSessionRepliesTest, TheClientsReplyCountsUntilItsHandlerHasRunAndASmallOneLoadsPastAFullBudget) {
    testing::LoopbackServer server;
    server.route("GET", "/whole", testing::Reply::text(std::string(2 * MiB, 'w'), "application/octet-stream"));
    server.route("GET", "/small", testing::Reply::text(std::string(100 * 1000, 's'), "application/octet-stream"));
    server.route("GET", "/large", testing::Reply::text(std::string(3 * MiB, 'l'), "application/octet-stream"));
    manager = managerFor(6);
    Handled whole;
    manager->dataTaskWithRequest(get(server.url("/whole")), whole.handler())->resume();
    env.runUntilIdle();
    EXPECT_EQ(whole.error, 0);
    EXPECT_EQ(whole.length(), 2 * MiB);
    EXPECT_GE(whole.heldInHandler, 2 * MiB);
    EXPECT_EQ(ns::sessionReplies().held(), 0u);

    // Other replies fill the budget: a small reply still loads, a large
    // one does not.
    ns::ReplyShare others(ns::sessionReplies());
    ASSERT_TRUE(others.growToOrRelease(ns::sessionReplies().limit()));
    Handled small, large;
    manager->dataTaskWithRequest(get(server.url("/small")), small.handler())->resume();
    env.runUntilIdle();
    manager->dataTaskWithRequest(get(server.url("/large")), large.handler())->resume();
    env.runUntilIdle();
    EXPECT_EQ(small.error, 0);
    EXPECT_EQ(small.length(), 100u * 1000);
    EXPECT_EQ(large.error, ns::URLErrorDataLengthExceedsMaximum);
    EXPECT_EQ(ns::sessionReplies().held(), others.size());
}

// The completion notification hands on the reply after the handler has
// let it go: the reply still counts as it is posted, and not after.
TEST_F(HTTPSessionRepliesTest, TheClientsReplyCountsUntilItsNotificationHasBeenPosted) {
    testing::LoopbackServer server;
    server.route("GET", "/whole", testing::Reply::text(std::string(2 * MiB, 'w'), "application/octet-stream"));
    manager = managerFor(6);
    int notifications = 0;
    uint64_t heldAsPosted = 0;
    const ns::Id token = ns::NotificationCenter::defaultCenter()->addObserverForName(
        SDPNetworkingTaskDidCompleteNotification, nullptr, nullptr, [&](const ns::Ref<ns::Notification>&) {
            ++notifications;
            heldAsPosted = ns::sessionReplies().held();
        });
    Handled whole;
    manager->dataTaskWithRequest(get(server.url("/whole")), whole.handler(false))->resume();
    env.runUntilIdle();
    ns::NotificationCenter::defaultCenter()->removeObserver(token);
    EXPECT_EQ(whole.error, 0);
    EXPECT_GE(whole.heldInHandler, 2 * MiB);
    EXPECT_EQ(notifications, 1);
    EXPECT_GE(heldAsPosted, 2 * MiB);
    EXPECT_EQ(ns::sessionReplies().held(), 0u);
}

TEST_F(HTTPSessionRepliesTest, ARedirectWhoseBodyIsPastATasksBoundIsFollowed) {
    testing::LoopbackServer server;
    auto moved = testing::Reply::redirect("/there");
    moved.body.assign(70 * 1000 * 1000, 'r');
    server.route("GET", "/moved", std::move(moved));
    server.route("GET", "/there", testing::Reply::text("arrived"));
    manager = managerFor(6);
    Handled outcome;
    manager->dataTaskWithRequest(get(server.url("/moved")), outcome.handler())->resume();
    env.runUntilIdle();
    EXPECT_EQ(outcome.error, 0);
    ASSERT_TRUE(outcome.data);
    EXPECT_EQ(outcome.data->view(), "arrived");
}

TEST_F(HTTPSessionRepliesTest, ARedirectWhoseBodyNeverEndsIsFollowed) {
    testing::LoopbackServer server;
    server.route("GET", "/there", testing::Reply::text("arrived"));
    // Chunks until 1 GiB has gone (only so that a client which fails to
    // stop ends too), the connection then left open.
    constexpr uint64_t cap = 1024 * MiB;
    testing::FloodServer moved("HTTP/1.1 302 Found\r\nLocation: " + server.url("/there") +
                                   "\r\nTransfer-Encoding: chunked\r\n\r\n",
                               "1000\r\n" + std::string(0x1000, 'r') + "\r\n", cap);
    manager = managerFor(6);
    Handled outcome;
    manager->dataTaskWithRequest(get(moved.url("/moved")), outcome.handler())->resume();
    env.runUntilIdle();
    EXPECT_EQ(outcome.error, 0);
    ASSERT_TRUE(outcome.data);
    EXPECT_EQ(outcome.data->view(), "arrived");
    EXPECT_LT(moved.floodedBytes(), cap / 4);
}

}  // namespace
