// A session whose transfer thread the system will not start: its tasks
// fail, logged, instead of the process ending, and it loads again once a
// thread can be had. The blocking read, with a transport of its own, gives
// nil the same way.

#include <gtest/gtest.h>

#include "platform/foundation/CurlTransport.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/URLError.h"
#include "platform/foundation/URLSession.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/platform/foundation/urlsession_support.h"

namespace {

struct FailingWorkerStarts {
    FailingWorkerStarts() { ns::detail::CurlTransport::failWorkerStartsForTesting(true); }
    ~FailingWorkerStarts() { ns::detail::CurlTransport::failWorkerStartsForTesting(false); }
};

TEST(URLSessionWithoutThreadTest, TasksFailUntilAThreadCanBeHadAndTheSessionThenLoads) {
    urltest::TemporaryHome home;
    testing::TaskEnvironment env;
    testing::LoopbackServer server;
    server.route("GET", "/ok", testing::Reply::text("ok", "text/plain"));
    auto url = ns::URL::make(server.url("/ok"));
    ns::LogCapture log;
    ns::Ref<ns::URLSession> session;
    urltest::Outcome first, second;
    {
        FailingWorkerStarts failing;
        session = urltest::ephemeralSession();
        session->dataTaskWithURL(url, first.handler())->resume();
        session->dataTaskWithURL(url, second.handler())->resume();
        env.runUntilIdle();
        EXPECT_FALSE(ns::Data::withContentsOfURL(url));
    }
    for (auto* outcome : {&first, &second}) {
        EXPECT_EQ(outcome->calls, 1);
        ASSERT_TRUE(outcome->error);
        EXPECT_EQ(outcome->error->domain(), ns::URLErrorDomain);
        EXPECT_EQ(outcome->error->code(), ns::URLErrorUnknown);
    }
    EXPECT_TRUE(log.contains("no thread could be started for a session's transfers"));
    EXPECT_TRUE(log.contains(server.url("/ok") + " not loaded: no thread could be started to run transfers"));

    urltest::Outcome later;
    session->dataTaskWithURL(url, later.handler())->resume();
    env.runUntilIdle();
    EXPECT_FALSE(later.error);
    EXPECT_EQ(later.body(), "ok");
    EXPECT_TRUE(ns::Data::withContentsOfURL(url));
}

}  // namespace
