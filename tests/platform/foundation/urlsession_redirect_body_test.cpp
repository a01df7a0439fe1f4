// A redirect's own body becomes the reply only when a delegate refuses the
// redirect. Where nothing can refuse it (a task with a completion handler
// on a session without a delegate that answers for redirects, the blocking
// read), the body passes, held nowhere, and the redirect is followed: at the
// body's end, or past its first MiB without reading on, so a body that never
// ends holds up nothing. Where a delegate may refuse it (a URL connection's
// among them), the body is held within the task's bound, and fails the task
// past it.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/ReplyBudget.h"
#include "platform/foundation/URLConnection.h"
#include "platform/foundation/URLError.h"
#include "platform/foundation/URLRedirects.h"
#include "platform/foundation/URLSession.h"
#include "platform/testing/FloodServer.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/platform/foundation/urlsession_support.h"

namespace {

constexpr uint64_t MiB = 1 << 20;

// A delegate that does not answer for redirects: the session may not ask it.
class NoRedirectCallback : public urltest::RecordingDelegate {
public:
    bool respondsToSelector(std::string_view selector) const override {
        return selector != ns::URLSessionWillPerformHTTPRedirectionSelector;
    }
};

class URLSessionRedirectBodyTest : public ::testing::Test {
protected:
    URLSessionRedirectBodyTest() {
        server.route("GET", "/there", testing::Reply::text("arrived"));
    }
    // A 302 to "/there" at `path` whose own body is `bytes` long.
    void movedWithBody(const std::string& path, uint64_t bytes) {
        auto reply = testing::Reply::redirect("/there");
        reply.body.assign(bytes, 'r');
        reply.setHeader("Content-Type", "application/octet-stream");
        server.route("GET", path, std::move(reply));
    }
    // What `delegate`, which refuses every redirect it is asked about, is
    // told of a load of "/moved".
    urltest::RecordingDelegate::Record loadMoved(const std::shared_ptr<urltest::RecordingDelegate>& delegate) {
        delegate->onRedirect = [](const ns::Ref<ns::HTTPURLResponse>&, const ns::Ref<ns::URLRequest>&) {
            return ns::Ref<ns::URLRequest>();
        };
        auto session = urltest::ephemeralSession(delegate);
        session->dataTaskWithURL(ns::URL::make(server.url("/moved")))->resume();
        env.runUntilIdle();
        session->invalidateAndCancel();
        env.runUntilIdle();
        return delegate->record();
    }

    testing::TaskEnvironment env;
    testing::LoopbackServer server;
};

TEST_F(URLSessionRedirectBodyTest, ACompletionHandlerTaskFollowsARedirectWhoseBodyIsPastATasksBound) {
    movedWithBody("/moved", 70 * 1000 * 1000);
    ASSERT_GT(70u * 1000 * 1000, ns::URLSessionConfiguration::DefaultMaximumResponseDataLength);
    auto session = urltest::ephemeralSession();
    urltest::Outcome outcome;
    session->dataTaskWithURL(ns::URL::make(server.url("/moved")), outcome.handler())->resume();
    env.runUntilIdle();

    EXPECT_EQ(outcome.errorCode(), 0);
    EXPECT_EQ(outcome.status(), 200);
    EXPECT_EQ(outcome.body(), "arrived");
    EXPECT_EQ(ns::sessionReplies().held(), 0u);
    session->invalidateAndCancel();
    env.runUntilIdle();
}

TEST_F(URLSessionRedirectBodyTest, FiveRedirectsWhoseBodiesFillTheBudgetTogetherAllFollow) {
    movedWithBody("/moved", 30 * MiB);
    auto session = urltest::ephemeralSession(nullptr, 5);
    std::vector<std::unique_ptr<urltest::Outcome>> outcomes;
    for (int i = 0; i < 5; ++i) {
        outcomes.push_back(std::make_unique<urltest::Outcome>());
        session->dataTaskWithURL(ns::URL::make(server.url("/moved?n=" + std::to_string(i))), outcomes.back()->handler())
            ->resume();
    }
    env.runUntilIdle();

    for (auto& outcome : outcomes) {
        EXPECT_EQ(outcome->errorCode(), 0);
        EXPECT_EQ(outcome->body(), "arrived");
    }
    EXPECT_EQ(ns::sessionReplies().held(), 0u);
    session->invalidateAndCancel();
    env.runUntilIdle();
}

TEST_F(URLSessionRedirectBodyTest, ADelegateWithoutTheRedirectCallbackIsNotAskedAndGetsTheTargetsBody) {
    movedWithBody("/moved", 70 * 1000 * 1000);
    const auto record = loadMoved(std::make_shared<NoRedirectCallback>());
    EXPECT_EQ(record.body, "arrived");
    ASSERT_EQ(record.completions.size(), 1u);
    EXPECT_FALSE(record.completions[0]);
    EXPECT_EQ(std::count(record.events.begin(), record.events.end(), "redirect 302"), 0);
}

TEST_F(URLSessionRedirectBodyTest, ADelegateThatRefusesTheRedirectGetsItsBodyWhole) {
    movedWithBody("/moved", 100 * 1000);
    const auto record = loadMoved(std::make_shared<urltest::RecordingDelegate>());
    EXPECT_EQ(record.body, std::string(100 * 1000, 'r'));
    EXPECT_EQ(std::count(record.events.begin(), record.events.end(), "redirect 302"), 1);
    ASSERT_EQ(record.completions.size(), 1u);
    EXPECT_FALSE(record.completions[0]);
}

// A 302 to the test's server whose chunked body goes on until 1 GiB has
// gone (only so that a client which fails to stop ends too), and whose
// connection then stays open.
class EndlessRedirect {
public:
    static constexpr uint64_t FloodCap = 1024 * MiB;

    explicit EndlessRedirect(const std::string& target)
        : flood("HTTP/1.1 302 Found\r\nLocation: " + target +
                    "\r\nContent-Type: application/octet-stream\r\nTransfer-Encoding: chunked\r\n\r\n",
                "1000\r\n" + std::string(0x1000, 'r') + "\r\n", FloodCap) {}

    std::string url() const { return flood.url("/moved"); }
    // The body was not read on long past the point where the client stopped.
    void expectStoppedEarly() const { EXPECT_LT(flood.floodedBytes(), FloodCap / 4); }

    testing::FloodServer flood;
};

TEST_F(URLSessionRedirectBodyTest, ARedirectWhoseBodyNeverEndsIsFollowedPastItsFirstMiB) {
    EndlessRedirect moved(server.url("/there"));
    auto session = urltest::ephemeralSession();
    ns::LogCapture log;
    urltest::Outcome outcome;
    session->dataTaskWithURL(ns::URL::make(moved.url()), outcome.handler())->resume();
    env.runUntilIdle();

    EXPECT_EQ(outcome.errorCode(), 0);
    EXPECT_EQ(outcome.status(), 200);
    EXPECT_EQ(outcome.body(), "arrived");
    EXPECT_EQ(ns::sessionReplies().held(), 0u);
    EXPECT_TRUE(log.contains("URL session: task for " + moved.url() +
                             " follows its redirect before the redirect's body ends: past 1048576 bytes it is not read"));
    moved.expectStoppedEarly();
    session->invalidateAndCancel();
    env.runUntilIdle();

    // The blocking read follows it the same way, and says so.
    ns::LogCapture readLog;
    const ns::Ref<ns::Data> read = ns::Data::withContentsOfURL(ns::URL::make(moved.url()));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->view(), "arrived");
    moved.expectStoppedEarly();
    EXPECT_TRUE(readLog.contains("Data: the blocking read of " + moved.url() +
                                 " follows its redirect before the redirect's body ends: past 1048576 bytes it is "
                                 "not read"))
        << testing::PrintToString(readLog.lines());
}

TEST_F(URLSessionRedirectBodyTest, AConnectionsRedirectWhoseBodyNeverEndsFailsAtTheTasksBound) {
    // A URL connection's delegate may refuse a redirect, so its body is held
    // until the transfer ends, within the task's bound.
    EndlessRedirect moved(server.url("/there"));
    ns::Ref<ns::Error> failure;
    ns::Ref<ns::Data> data;
    bool called = false;
    ns::URLConnection::sendAsynchronousRequest(
        urltest::request(moved.url()), ns::OperationQueue::mainQueue(),
        [&](ns::Ref<ns::URLResponse>, ns::Ref<ns::Data> received, ns::Ref<ns::Error> error) {
            called = true;
            data = received;
            failure = error;
        });
    env.runUntilIdle();
    EXPECT_TRUE(called);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->code(), ns::URLErrorDataLengthExceedsMaximum);
    moved.expectStoppedEarly();
    EXPECT_EQ(ns::sessionReplies().held(), 0u);
}

}  // namespace
