// The play-time countdown on mock time against the channel stand-in: which
// logins start it, the reports every 15 minutes and at the end, the
// game-over notice, and a new login cancelling a countdown still running.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <string>
#include <vector>

#include "channel/usercenter/TVGameOverView.h"
#include "channel/usercenter/VRQHelperBtn.h"
#include "platform/foundation/Date.h"
#include "platform/testing/UIDriver.h"
#include "sandbox/ChannelServer.h"
#include "tests/channel/channel_test_support.h"

namespace {

class PlayTimeTest : public channel_test::ChannelTest {
protected:
    PlayTimeTest() {
        writeTVPlist();
        ::setenv("GAMEHOST_CHANNEL_API_URL", server.base().c_str(), 1);
        env.setWallTime(1704067200);  // 2024-01-01 00:00 UTC
        ShareVale::sharedInstance()->setUserName(ns::str("minor1"));
    }

    // A login reply; `secondsLeft` from now gives "lmit".
    static ns::Ref<LoginResult> reply(bool mustRZ, const char* rzStatus, double secondsLeft) {
        auto result = std::make_shared<LoginResult>();
        result->isMustRZ = mustRZ;
        result->rzStatus = ns::str(rzStatus);
        double limit = (ns::Date::now()->timeIntervalSince1970() + secondsLeft) * 1000;
        result->lmitTime = ns::str(std::to_string(static_cast<long long>(std::llround(limit))));
        return result;
    }
    void start(const ns::Ref<LoginResult>& result) {
        auto ball = VRQHelperBtn::shared();
        ball->setLoginData(result);
        ball->startTimer();
        env.runUntilIdle();
    }
    size_t reports() const {
        size_t count = 0;
        for (const auto& request : server.http().requests()) count += request.path == "/sdkapicoupon/login/setTime";
        return count;
    }
    bool gameOver() { return driver.findOfType<TVGameOverView>() != nullptr; }
    // Moves the clock to `seconds` after the start.
    void at(double seconds) {
        env.fastForwardBy(seconds - elapsed);
        elapsed = seconds;
    }

    sandbox::ChannelServer server;
    testing::UIDriver driver;
    double elapsed = 0;
};

TEST_F(PlayTimeTest, OnlyAPlayerUnderTheLimitIsCounted) {
    start(reply(true, "1", 20));
    start(reply(false, "2", 20));
    EXPECT_FALSE(VRQHelperBtn::shared()->timer());
    at(100);
    EXPECT_EQ(reports(), 0u);
    EXPECT_FALSE(gameOver());
}

TEST_F(PlayTimeTest, ALimitAlreadyPassedCoversTheGameAtOnceWithoutReport) {
    start(reply(true, "2", -2));
    EXPECT_TRUE(gameOver());
    EXPECT_FALSE(VRQHelperBtn::shared()->timer());
    at(30);
    EXPECT_EQ(reports(), 0u);
    auto notice = driver.findOfType<TVGameOverView>();
    EXPECT_EQ(notice->superview(), window);
    EXPECT_TRUE(driver.findByText(TVGameOverView::kMessage));
}

TEST_F(PlayTimeTest, AShortLimitEndsAtTheNextTenSecondStep) {
    start(reply(true, "2", 25));
    at(29);
    EXPECT_EQ(reports(), 0u);
    EXPECT_FALSE(gameOver());
    at(30);
    EXPECT_EQ(reports(), 1u);
    EXPECT_TRUE(gameOver());
    at(100);
    EXPECT_EQ(reports(), 1u);
}

TEST_F(PlayTimeTest, ReportsEveryFifteenMinutesAndAtTheEnd) {
    start(reply(true, "2", 2000));
    at(899);
    EXPECT_EQ(reports(), 0u);
    at(900);
    EXPECT_EQ(reports(), 1u);
    at(1800);
    EXPECT_EQ(reports(), 2u);
    at(1999);
    EXPECT_EQ(reports(), 2u);
    EXPECT_FALSE(gameOver());
    at(2000);
    EXPECT_EQ(reports(), 3u);
    EXPECT_TRUE(gameOver());
    EXPECT_TRUE(VRQHelperBtn::shared()->timer()->isCancelled());
}

TEST_F(PlayTimeTest, AnEndOnAFifteenMinuteTickReportsOnce) {
    start(reply(true, "2", 900));
    at(900);
    EXPECT_EQ(reports(), 1u);
    EXPECT_TRUE(gameOver());
}

TEST_F(PlayTimeTest, ANewLoginStopsTheCountdownStillRunning) {
    start(reply(true, "2", 2000));
    auto first = VRQHelperBtn::shared()->timer();
    at(100);
    start(reply(false, "0", 0));
    EXPECT_TRUE(first->isCancelled());
    EXPECT_FALSE(VRQHelperBtn::shared()->timer());
    at(3000);
    EXPECT_EQ(reports(), 0u);
    EXPECT_FALSE(gameOver());

    // A second limited login counts on its own: one countdown, one report each time.
    start(reply(true, "2", 1000));
    start(reply(true, "2", 1000));
    at(3900);
    EXPECT_EQ(reports(), 1u);
    at(4000);
    EXPECT_EQ(reports(), 2u);
    EXPECT_EQ(driver.findAll([](ui::View& v) { return dynamic_cast<TVGameOverView*>(&v) != nullptr; }).size(), 1u);
}

}  // namespace
