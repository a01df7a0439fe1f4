// suspend() and resume() of one task from several threads at once, or from
// an observer of the task's state: the last call wins, and the transfer
// follows the task's state whatever order the calls reach it in.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/URLSession.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/platform/foundation/urlsession_support.h"

namespace {

using testing::ChunkGate;
using testing::Reply;
using urltest::Outcome;

class URLSessionSuspendRaceTest : public ::testing::Test {
protected:
    // A reply held back until the gate opens: the task is mid-transfer
    // while the test toggles it.
    std::shared_ptr<ChunkGate> gatedRoute(const std::string& path) {
        auto gate = std::make_shared<ChunkGate>();
        Reply reply = Reply::chunked({"first ", "second"}, "text/plain");
        reply.gate = gate;
        server.route("GET", path, reply);
        return gate;
    }

    urltest::TemporaryHome home;
    testing::TaskEnvironment env;
    testing::LoopbackServer server;
    ns::Ref<ns::URLSession> session = urltest::ephemeralSession();
};

TEST_F(URLSessionSuspendRaceTest, ObserverResumingOnSuspendedLeavesTheTransferRunning) {
    auto gate = gatedRoute("/gated");
    Outcome outcome;
    auto task = session->dataTaskWithURL(ns::URL::make(server.url("/gated")), outcome.handler());
    // Its resume() lands inside suspend(), after the state changed and
    // before suspend() tells the transfer.
    bool resumedOnce = false;
    task->addObserver("state", [&resumedOnce](ns::URLSessionTask& observed, const std::string&, int64_t state) {
        if (state == ns::URLSessionTaskStateSuspended && !resumedOnce) {
            resumedOnce = true;
            observed.resume();
        }
    });
    task->resume();
    ASSERT_TRUE(server.waitForRequests(1, 30));
    task->suspend();
    EXPECT_TRUE(resumedOnce);
    EXPECT_EQ(task->state(), ns::URLSessionTaskStateRunning);

    gate->releaseAll();
    env.runUntilIdle();
    EXPECT_EQ(outcome.calls, 1);
    EXPECT_EQ(outcome.errorCode(), 0);
    EXPECT_EQ(outcome.body(), "first second");
    EXPECT_EQ(task->state(), ns::URLSessionTaskStateCompleted);
}

TEST_F(URLSessionSuspendRaceTest, TasksToggledFromTwoThreadsAllComplete) {
    constexpr int taskCount = 300;
    constexpr int togglesPerThread = 4;
    int hung = 0;
    for (int i = 0; i < taskCount; ++i) {
        const std::string path = "/t" + std::to_string(i);
        auto gate = gatedRoute(path);
        Outcome outcome;
        auto task = session->dataTaskWithURL(ns::URL::make(server.url(path)), outcome.handler());
        // Every other task: an observer that lingers over "suspended", as a
        // progress pause reporting to its owner would, which widens the
        // window between a call's state change and its word to the transfer.
        if (i % 2) {
            task->addObserver("state", [](ns::URLSessionTask&, const std::string&, int64_t state) {
                if (state == ns::URLSessionTaskStateSuspended) std::this_thread::sleep_for(std::chrono::microseconds(200));
            });
        }
        task->resume();
        ASSERT_TRUE(server.waitForRequests(size_t(i) + 1, 30)) << "task " << i;
        // Each thread ends on resume(), so the last call is a resume.
        auto toggle = [&task] {
            for (int k = 0; k < togglesPerThread; ++k) {
                task->suspend();
                task->resume();
            }
        };
        std::thread one(toggle), two(toggle);
        one.join();
        two.join();
        EXPECT_EQ(task->state(), ns::URLSessionTaskStateRunning);
        gate->releaseAll();
        env.runUntilIdle();
        if (outcome.calls != 1 || outcome.body() != "first second") {
            ++hung;
            task->cancel();
            env.runUntilIdle();
        }
    }
    std::printf("%d of %d tasks toggled from two threads hung\n", hung, taskCount);
    RecordProperty("hung", std::to_string(hung));
    EXPECT_EQ(hung, 0);
}

}  // namespace
