// Tasks suspended and resumed over and over while their replies arrive: a
// pause may fall anywhere in a reply's head or body, and every reply must
// still arrive whole.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/URLSession.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/platform/foundation/urlsession_support.h"

namespace {

using urltest::Outcome;

TEST(URLSessionSuspendStressTest, ThousandsOfSuspendsAndResumesLoseNoReply) {
    urltest::TemporaryHome home;
    testing::TaskEnvironment env;
    testing::LoopbackServer server;
    testing::Reply reply = testing::Reply::text(std::string(2048, 'b'), "application/json");
    for (const char* name : {"X-First", "X-Second", "X-Third", "X-Fourth", "Cache-Control"}) reply.setHeader(name, "value");
    server.route("GET", "/reply", reply);
    auto config = ns::URLSessionConfiguration::ephemeralSessionConfiguration();
    config->setURLCache(nullptr);
    auto session = ns::URLSession::sessionWithConfiguration(config, nullptr, nullptr);

    constexpr int taskCount = 2000;
    constexpr int togglesPerTask = 3;
    std::vector<std::unique_ptr<Outcome>> outcomes;
    for (int i = 0; i < taskCount; ++i) {
        outcomes.push_back(std::make_unique<Outcome>());
        auto task = session->dataTaskWithURL(ns::URL::make(server.url("/reply")), outcomes.back()->handler());
        task->resume();
        // The reply is on its way: the toggles land somewhere in its head
        // or body, or after it.
        ASSERT_TRUE(server.waitForRequests(size_t(i) + 1, 30));
        for (int toggle = 0; toggle < togglesPerTask; ++toggle) {
            task->suspend();
            task->resume();
        }
    }
    env.runUntilIdle();

    std::map<int64_t, int> failures;
    int whole = 0;
    for (auto& outcome : outcomes) {
        EXPECT_EQ(outcome->calls, 1);
        if (outcome->errorCode() != 0) ++failures[outcome->errorCode()];
        else if (outcome->status() == 200 && outcome->body() == reply.body) ++whole;
    }
    EXPECT_TRUE(failures.empty()) << failures.size() << " kinds of failure, first " << failures.begin()->first
                                  << " x" << failures.begin()->second;
    EXPECT_EQ(whole, taskCount);
}

}  // namespace
