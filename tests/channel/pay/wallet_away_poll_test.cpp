// A wallet order whose centre the game takes down in the app in front: the
// poll starts at once. When the wallet then takes the app away and the
// player pays there for longer than the poll lasts, the poll's end with the
// app away reports nothing; the purchase keeps its wallet order and waits
// for the wallet's answer or the app's return, which polls again. Whichever
// tells first is heard, once. Row by row: the wallet's "9000" about 75 s
// after the takedown, before or after the app's return, with the stand-in
// confirming the paid order only after a number of requests.

#include <string>
#include <vector>

#include "purchase_road_support.h"

namespace {

using pay_test::Heard;

struct Row {
    // Whether the app's return comes before the wallet's answer.
    bool returnFirst;
    // Order-status requests the stand-in answers "not yet" before it
    // confirms the paid order.
    int confirmAfter;
};

void PrintTo(const Row& row, std::ostream* os) {
    *os << (row.returnFirst ? "return first" : "answer first") << ", confirmed after " << row.confirmAfter;
}

class WalletAwayPollTest : public pay_test::PurchaseRoadTest, public testing::WithParamInterface<Row> {
protected:
    WalletAwayPollTest() { ui::Application::sharedApplication()->simulateBecomeActive(); }
};

TEST_P(WalletAwayPollTest, APaidWalletOrderIsHeardPaidOnceWhenThePlayerPaysSlowly) {
    const Row& row = GetParam();
    auto application = ui::Application::sharedApplication();
    server.setStatusDelay(row.confirmAfter);
    application->addInstalledScheme(QuipaySDK::kWalletScheme);
    walletAppOnly();
    payByWallet(openOverDialog("A"));
    if (HasFatalFailure()) return;
    const std::string order = currentWalletOrder();
    takeDown();
    ASSERT_EQ(polls(), 1) << "taken down in front: the poll starts";
    // The wallet takes the app away; the player pays slowly.
    application->simulateEnterBackground();
    env.runUntilIdle();
    env.fastForwardBy(73);
    EXPECT_EQ(polls(), 31);
    EXPECT_TRUE(heard.empty()) << "a poll that ends with the app away reports nothing";
    EXPECT_FALSE(nextOpens()) << "the same player's next waits for the answer or the return";
    heard.clear();

    // About 75 s on, the player pays.
    server.setPaid(sandbox::ChannelServer::kKnownUser);
    auto answer = [&] {
        application->simulateOpenURL(walletReturn("9000", order));
        env.runUntilIdle();
    };
    if (row.returnFirst) {
        application->simulateEnterForeground();
        env.runUntilIdle();
        EXPECT_EQ(polls(), 32) << "the return polls again";
        env.fastForwardBy(1);
        answer();
    } else {
        answer();
        application->simulateEnterForeground();
        env.runUntilIdle();
    }
    env.fastForwardBy(70);
    Heard own;
    for (const auto& each : heard)
        if (each.rfind("A ", 0) == 0) own.push_back(each);
    ASSERT_EQ(own.size(), 1u) << testing::PrintToString(heard);
    EXPECT_EQ(own.front().rfind("A success ", 0), 0u) << own.front();
    EXPECT_EQ(own.front(), row.returnFirst && row.confirmAfter == 0 ? "A success 支付成功 6" : "A success 充值成功 6");
}

std::vector<Row> rows() {
    std::vector<Row> all;
    for (bool returnFirst : {false, true})
        for (int confirmAfter = 0; confirmAfter <= 6; ++confirmAfter) all.push_back({returnFirst, confirmAfter});
    return all;
}

std::string rowName(const testing::TestParamInfo<Row>& info) {
    return std::string(info.param.returnFirst ? "ReturnFirst" : "AnswerFirst") + "_ConfirmedAfter" +
           std::to_string(info.param.confirmAfter);
}

INSTANTIATE_TEST_SUITE_P(TakenDownInFrontThenAway, WalletAwayPollTest, testing::ValuesIn(rows()), rowName);

class WalletAwayTest : public pay_test::PurchaseRoadTest {
protected:
    // A's wallet order, which the server never finds paid, handed over in
    // an app in front, then its centre taken down.
    void walletOrderTakenDownInFront() {
        auto application = ui::Application::sharedApplication();
        application->simulateBecomeActive();
        server.setReply("Pay/getUserSuccess", ns::Dictionary::make({{"z", ns::str("0")}}));
        application->addInstalledScheme(QuipaySDK::kWalletScheme);
        walletAppOnly();
        payByWallet(openOverDialog("A"));
        if (HasFatalFailure()) return;
        takeDown();
    }
};

// Away again after the return's poll has begun: that poll's end with the app
// away waits as well, and the next return polls once more.
TEST_F(WalletAwayTest, AReturnsPollThatEndsWithTheAppAwayAgainWaitsForTheNextReturn) {
    auto application = ui::Application::sharedApplication();
    walletOrderTakenDownInFront();
    if (HasFatalFailure()) return;
    application->simulateEnterBackground();
    env.fastForwardBy(70);
    application->simulateEnterForeground();
    env.runUntilIdle();
    EXPECT_EQ(polls(), 32);
    application->simulateEnterBackground();
    env.fastForwardBy(70);
    EXPECT_EQ(polls(), 62);
    EXPECT_TRUE(heard.empty());
    server.setReply("Pay/getUserSuccess", ns::Dictionary::make({{"z", ns::str("1")}}));
    application->simulateEnterForeground();
    env.runUntilIdle();
    EXPECT_EQ(heard, (Heard{"A success 支付成功 6"}));
}

// In front all along, the poll's end is heard as before, within its limit.
TEST_F(WalletAwayTest, AWalletOutTakedownInFrontWithNoReturnStillReportsAtThePollsEnd) {
    auto application = ui::Application::sharedApplication();
    walletOrderTakenDownInFront();
    if (HasFatalFailure()) return;
    env.fastForwardBy(62);
    EXPECT_EQ(polls(), 31);
    EXPECT_EQ(heard, (Heard{"A failure 支付失败 1 6"}));
    EXPECT_TRUE(nextOpens());
}

}  // namespace
