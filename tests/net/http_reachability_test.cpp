// Reachability statuses from the platform's flags, and monitoring through
// the fake source: each report sets the status, calls the block and posts.

#include <gtest/gtest.h>

#include "net/SDPNetworkReachabilityManager.h"
#include "platform/foundation/Number.h"
#include "platform/testing/FakeReachability.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/net/http_session_support.h"

namespace {

using httptest::EventLog;
using httptest::NotificationRecorder;

constexpr ns::ReachabilityFlags Reachable = ns::ReachabilityFlagsReachable;
constexpr ns::ReachabilityFlags ConnectionRequired = ns::ReachabilityFlagsConnectionRequired;
constexpr ns::ReachabilityFlags OnDemand = ns::ReachabilityFlagsConnectionOnDemand;
constexpr ns::ReachabilityFlags OnTraffic = ns::ReachabilityFlagsConnectionOnTraffic;
constexpr ns::ReachabilityFlags Intervention = ns::ReachabilityFlagsInterventionRequired;
constexpr ns::ReachabilityFlags WWAN = ns::ReachabilityFlagsIsWWAN;

TEST(ReachabilityStatusTest, FollowsTheFlags) {
    EXPECT_EQ(SDPNetworkReachabilityStatusForFlags(0), SDPNetworkReachabilityStatusNotReachable);
    EXPECT_EQ(SDPNetworkReachabilityStatusForFlags(Reachable), SDPNetworkReachabilityStatusReachableViaWiFi);
    EXPECT_EQ(SDPNetworkReachabilityStatusForFlags(Reachable | WWAN), SDPNetworkReachabilityStatusReachableViaWWAN);
    EXPECT_EQ(SDPNetworkReachabilityStatusForFlags(WWAN), SDPNetworkReachabilityStatusNotReachable);
    EXPECT_EQ(SDPNetworkReachabilityStatusForFlags(Reachable | ConnectionRequired),
              SDPNetworkReachabilityStatusNotReachable);
    EXPECT_EQ(SDPNetworkReachabilityStatusForFlags(Reachable | ConnectionRequired | OnDemand),
              SDPNetworkReachabilityStatusReachableViaWiFi);
    EXPECT_EQ(SDPNetworkReachabilityStatusForFlags(Reachable | ConnectionRequired | OnTraffic | WWAN),
              SDPNetworkReachabilityStatusReachableViaWWAN);
    EXPECT_EQ(SDPNetworkReachabilityStatusForFlags(Reachable | ConnectionRequired | OnDemand | Intervention),
              SDPNetworkReachabilityStatusNotReachable);
}

TEST(ReachabilityStatusTest, TextsFallBackToEnglishAndOddValuesReadAsUnknown) {
    EXPECT_EQ(SDPStringFromReachabilityStatus(SDPNetworkReachabilityStatusReachableViaWWAN)->utf8(), "Reachable via WWAN");
    EXPECT_EQ(SDPStringFromReachabilityStatus(42)->utf8(), "Unknown");
}

class ReachabilityManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        manager = SDPNetworkReachabilityManager::managerForDomain("api.example.com");
        ASSERT_TRUE(manager);
        manager->setReachabilityStatusChangeBlock([this](int64_t status) { statuses.push_back(status); });
    }

    // The statuses carried by the change notifications so far.
    std::vector<int64_t> announced() const {
        std::vector<int64_t> out;
        for (const auto& event : log.events()) {
            EXPECT_TRUE(event.onMainThread);
            EXPECT_FALSE(event.object);
            auto status = ns::cast<ns::Number>(event.userInfo->objectForKey(SDPNetworkingReachabilityNotificationStatusItem));
            out.push_back(status ? status->longLongValue() : -99);
        }
        return out;
    }

    testing::TaskEnvironment env;
    testing::FakeReachability network;
    EventLog log;
    NotificationRecorder recorder{log, {SDPNetworkingReachabilityDidChangeNotification}};
    ns::Ref<SDPNetworkReachabilityManager> manager;
    std::vector<int64_t> statuses;
};

TEST_F(ReachabilityManagerTest, StartsUnknownAndReportsOnlyOnceMonitoring) {
    EXPECT_EQ(manager->networkReachabilityStatus(), SDPNetworkReachabilityStatusUnknown);
    EXPECT_FALSE(manager->isReachable());
    EXPECT_EQ(manager->localizedNetworkReachabilityStatusString()->utf8(), "Unknown");
    env.runUntilIdle();
    EXPECT_TRUE(statuses.empty());
    EXPECT_TRUE(log.events().empty());
}

TEST_F(ReachabilityManagerTest, ReportsEveryChangeThroughStatusBlockAndNotification) {
    network.setFlagsForHost("api.example.com", Reachable);
    manager->startMonitoring();
    env.runUntilIdle();
    EXPECT_EQ(manager->networkReachabilityStatus(), SDPNetworkReachabilityStatusReachableViaWiFi);
    EXPECT_TRUE(manager->isReachableViaWiFi());

    network.setFlagsForHost("api.example.com", Reachable | WWAN);
    env.runUntilIdle();
    EXPECT_TRUE(manager->isReachableViaWWAN());

    network.setFlagsForHost("api.example.com", 0);
    env.runUntilIdle();
    EXPECT_FALSE(manager->isReachable());

    const std::vector<int64_t> expected{2, 1, 0};
    EXPECT_EQ(statuses, expected);
    EXPECT_EQ(announced(), expected);
}

TEST_F(ReachabilityManagerTest, AnUnchangedStatusIsStillReported) {
    network.setFlagsForHost("api.example.com", Reachable);
    manager->startMonitoring();
    env.runUntilIdle();
    network.fireChange();
    env.runUntilIdle();
    EXPECT_EQ(statuses, (std::vector<int64_t>{2, 2}));
    EXPECT_EQ(announced().size(), 2u);
}

TEST_F(ReachabilityManagerTest, NothingArrivesAfterStoppingAndTheStatusStays) {
    network.setFlagsForHost("api.example.com", Reachable | WWAN);
    manager->startMonitoring();
    env.runUntilIdle();
    manager->stopMonitoring();
    network.setFlagsForHost("api.example.com", 0);
    network.fireChange();
    env.runUntilIdle();

    EXPECT_EQ(statuses, std::vector<int64_t>{1});
    EXPECT_EQ(announced().size(), 1u);
    EXPECT_EQ(manager->networkReachabilityStatus(), SDPNetworkReachabilityStatusReachableViaWWAN);
}

TEST_F(ReachabilityManagerTest, StoppingBeforeTheFirstReadingLandsDropsIt) {
    network.setFlagsForHost("api.example.com", Reachable);
    manager->startMonitoring();
    manager->stopMonitoring();
    env.runUntilIdle();
    EXPECT_TRUE(statuses.empty());
    EXPECT_TRUE(log.events().empty());
    EXPECT_EQ(manager->networkReachabilityStatus(), SDPNetworkReachabilityStatusUnknown);
}

TEST_F(ReachabilityManagerTest, TheNetworkAtLargeIsOneSharedManager) {
    EXPECT_EQ(SDPNetworkReachabilityManager::sharedManager(), SDPNetworkReachabilityManager::sharedManager());
    auto general = SDPNetworkReachabilityManager::manager();
    ASSERT_TRUE(general);
    EXPECT_TRUE(general->networkReachability()->target().isZeroAddress());
    network.setFlagsForHost("0.0.0.0", Reachable | WWAN);
    int64_t seen = SDPNetworkReachabilityStatusUnknown;
    general->setReachabilityStatusChangeBlock([&seen](int64_t status) { seen = status; });
    general->startMonitoring();
    env.runUntilIdle();
    EXPECT_EQ(seen, SDPNetworkReachabilityStatusReachableViaWWAN);
    general->stopMonitoring();
}

}  // namespace
