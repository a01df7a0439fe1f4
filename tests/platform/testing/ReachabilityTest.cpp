#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/un.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/dispatch/MainThread.h"
#include "platform/dispatch/Queue.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/Reachability.h"
#include "platform/testing/FakeReachability.h"
#include "platform/testing/TaskEnvironment.h"

namespace {

using ns::Reachability;
using ns::ReachabilityFlags;
using testing::FakeReachability;

constexpr ReachabilityFlags kReachable = ns::ReachabilityFlagsReachable;
constexpr ReachabilityFlags kWWAN = ns::ReachabilityFlagsIsWWAN;
constexpr ReachabilityFlags kLocal =
    ns::ReachabilityFlagsReachable | ns::ReachabilityFlagsIsLocalAddress | ns::ReachabilityFlagsIsDirect;

sockaddr_in ipv4(const char* text) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    inet_pton(AF_INET, text, &address.sin_addr);
    return address;
}

ns::Ref<Reachability> forAddress(const char* text) {
    sockaddr_in address = ipv4(text);
    return Reachability::createWithAddress(reinterpret_cast<sockaddr*>(&address));
}

ReachabilityFlags flagsOf(const ns::Ref<Reachability>& reachability) {
    ReachabilityFlags flags = 0xdeadbeef;
    EXPECT_TRUE(reachability->getFlags(&flags));
    return flags;
}

// Records callbacks with the thread they came on.
struct Recorder {
    std::mutex lock;
    std::vector<ReachabilityFlags> flags;
    std::vector<bool> onMainThread;

    Reachability::Callback callback() {
        return [this](ReachabilityFlags f) {
            std::lock_guard guard(lock);
            flags.push_back(f);
            onMainThread.push_back(dispatch::isMainThread());
        };
    }
};

TEST(Reachability, TargetsAndBadInput) {
    EXPECT_FALSE(Reachability::createWithName(""));
    EXPECT_FALSE(Reachability::createWithAddress(nullptr));
    sockaddr_un local{};
    local.sun_family = AF_UNIX;
    EXPECT_FALSE(Reachability::createWithAddress(reinterpret_cast<sockaddr*>(&local)));

    EXPECT_EQ(Reachability::createWithName("example.com")->target().text(), "example.com");
    EXPECT_TRUE(forAddress("0.0.0.0")->target().isZeroAddress());
    EXPECT_FALSE(forAddress("10.0.0.1")->target().isZeroAddress());
    EXPECT_EQ(forAddress("10.0.0.1")->target().text(), "10.0.0.1");
}

TEST(Reachability, FakeFlagsAreWhatGetFlagsReads) {
    FakeReachability fake;
    auto network = forAddress("0.0.0.0");
    auto host = Reachability::createWithName("api.example");
    EXPECT_EQ(flagsOf(network), kReachable);

    fake.setFlags(kReachable | kWWAN);
    fake.setFlagsForHost("api.example", 0);
    EXPECT_EQ(flagsOf(network), kReachable | kWWAN);
    EXPECT_EQ(flagsOf(host), 0u);
    fake.setFlagsForHost("0.0.0.0", ns::ReachabilityFlagsReachable | ns::ReachabilityFlagsConnectionRequired);
    EXPECT_EQ(flagsOf(network), ns::ReachabilityFlagsReachable | ns::ReachabilityFlagsConnectionRequired);
    EXPECT_EQ(fake.readCount(), 4);
}

TEST(Reachability, CallsBackOnTheRunLoopOnlyWhenFlagsChange) {
    testing::TaskEnvironment env;
    FakeReachability fake;
    Recorder recorder;
    auto reachability = forAddress("0.0.0.0");
    reachability->setCallback(recorder.callback());
    ASSERT_TRUE(reachability->scheduleWithRunLoop(dispatch::RunLoop::main(), dispatch::RunLoopMode::Common));
    env.runUntilIdle();
    EXPECT_TRUE(recorder.flags.empty()) << "scheduling alone reports nothing";

    fake.setFlags(kReachable | kWWAN);
    fake.setFlags(kReachable | kWWAN);  // no change: no call
    EXPECT_TRUE(recorder.flags.empty()) << "delivered through the run loop, not at once";
    env.runUntilIdle();
    EXPECT_EQ(recorder.flags, std::vector<ReachabilityFlags>{kReachable | kWWAN});

    // A notice that changed nothing still reaches the callback.
    fake.fireChange();
    fake.setFlags(0);
    env.runUntilIdle();
    EXPECT_EQ(recorder.flags, (std::vector<ReachabilityFlags>{kReachable | kWWAN, kReachable | kWWAN, 0}));
    EXPECT_EQ(recorder.onMainThread, (std::vector<bool>{true, true, true}));
}

TEST(Reachability, NothingArrivesAfterUnscheduling) {
    testing::TaskEnvironment env;
    FakeReachability fake;
    Recorder recorder;
    auto reachability = Reachability::createWithName("api.example");
    reachability->setCallback(recorder.callback());
    ASSERT_TRUE(reachability->scheduleWithRunLoop(dispatch::RunLoop::main(), dispatch::RunLoopMode::Default));

    // Posted to the loop, then unscheduled before the loop runs it.
    fake.setFlagsForHost("api.example", 0);
    ASSERT_TRUE(reachability->unscheduleFromRunLoop(dispatch::RunLoop::main(), dispatch::RunLoopMode::Default));
    env.runUntilIdle();
    fake.setFlagsForHost("api.example", kReachable);
    fake.fireChange();
    env.runUntilIdle();
    EXPECT_TRUE(recorder.flags.empty());
    EXPECT_FALSE(reachability->unscheduleFromRunLoop(dispatch::RunLoop::main(), dispatch::RunLoopMode::Default));
}

TEST(Reachability, CallsBackOnlyInTheScheduledMode) {
    testing::TaskEnvironment env;
    FakeReachability fake;
    Recorder recorder;
    auto reachability = forAddress("0.0.0.0");
    reachability->setCallback(recorder.callback());
    ASSERT_TRUE(reachability->scheduleWithRunLoop(dispatch::RunLoop::main(), dispatch::RunLoopMode::Tracking));
    fake.setFlags(0);
    env.runUntilIdle();  // the default mode
    EXPECT_TRUE(recorder.flags.empty());
    dispatch::RunLoop::main().runOnce(dispatch::RunLoopMode::Tracking);
    EXPECT_EQ(recorder.flags, std::vector<ReachabilityFlags>{0});
}

TEST(Reachability, CallsBackOnAQueue) {
    testing::TaskEnvironment env;
    FakeReachability fake;
    Recorder recorder;
    auto queue = dispatch::Queue::serial("reachability-test");
    auto reachability = forAddress("0.0.0.0");
    reachability->setCallback(recorder.callback());
    ASSERT_TRUE(reachability->setDispatchQueue(queue));
    // One place at a time.
    EXPECT_FALSE(reachability->scheduleWithRunLoop(dispatch::RunLoop::main(), dispatch::RunLoopMode::Default));

    fake.setFlags(kReachable | kWWAN);
    env.runUntilIdle();
    {
        std::lock_guard guard(recorder.lock);
        EXPECT_EQ(recorder.flags, std::vector<ReachabilityFlags>{kReachable | kWWAN});
        EXPECT_EQ(recorder.onMainThread, std::vector<bool>{false});
    }

    ASSERT_TRUE(reachability->setDispatchQueue(nullptr));
    fake.setFlags(0);
    env.runUntilIdle();
    std::lock_guard guard(recorder.lock);
    EXPECT_EQ(recorder.flags.size(), 1u);
}

TEST(Reachability, ADestroyedReachabilityIsNotCalledBack) {
    testing::TaskEnvironment env;
    FakeReachability fake;
    Recorder recorder;
    auto reachability = forAddress("0.0.0.0");
    reachability->setCallback(recorder.callback());
    ASSERT_TRUE(reachability->scheduleWithRunLoop(dispatch::RunLoop::main(), dispatch::RunLoopMode::Default));
    fake.setFlags(0);
    reachability.reset();
    env.runUntilIdle();
    EXPECT_TRUE(recorder.flags.empty());
}

TEST(Reachability, SystemSourceKnowsLoopbackIsLocal) {
    EXPECT_EQ(flagsOf(forAddress("127.0.0.1")), kLocal);
    EXPECT_EQ(flagsOf(Reachability::createWithName("localhost")), kLocal);
    // Whatever the machine's network, only the bits Linux can tell are set.
    EXPECT_EQ(flagsOf(forAddress("0.0.0.0")) & ~kReachable, 0u);
}

}  // namespace
