// A thread running its own run loop: blocks performed there run on it in
// order, the task environment waits for them, and ending the thread object
// ends the thread.

#include <gtest/gtest.h>

#include <pthread.h>

#include <mutex>
#include <thread>
#include <vector>

#include "platform/dispatch/RunLoopThread.h"
#include "platform/testing/TaskEnvironment.h"

namespace {

TEST(RunLoopThread, PerformedBlocksRunThereInOrderAndTheEnvironmentWaitsForThem) {
    testing::TaskEnvironment env;
    dispatch::RunLoopThread thread("com.norvane.test.loop-thread");
    EXPECT_FALSE(thread.isCurrent());
    std::mutex lock;
    std::vector<int> order;
    bool allOnThread = true;
    char name[16] = {};
    for (int i = 0; i < 50; ++i) {
        thread.perform([&, i] {
            std::lock_guard guard(lock);
            order.push_back(i);
            allOnThread = allOnThread && thread.isCurrent();
            if (i == 0) pthread_getname_np(pthread_self(), name, sizeof name);
        });
    }
    env.runUntilIdle();
    std::lock_guard guard(lock);
    ASSERT_EQ(order.size(), 50u);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(order[size_t(i)], i);
    EXPECT_TRUE(allOnThread);
    EXPECT_STREQ(name, "com.norvane.tes") << "the system keeps 15 bytes of the name";
    EXPECT_EQ(thread.name(), "com.norvane.test.loop-thread");
}

}  // namespace
