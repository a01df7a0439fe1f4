// A redirect's own body becomes the reply only when a delegate refuses the
// redirect. Where nothing can refuse it (a task with a completion handler
// on a session without a delegate that answers for redirects), the body
// passes, held nowhere however long, and the redirect is followed.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/ReplyBudget.h"
#include "platform/foundation/URLError.h"
#include "platform/foundation/URLSession.h"
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

}  // namespace
