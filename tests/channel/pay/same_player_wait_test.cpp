// A purchase of a player left confirming off screen, and the same player's
// next purchase "B" of 6 yuan, paid on its page. The order-status request
// names the player alone, so B opens only once the earlier one has ended,
// judged when B is about to open, not when it was entered. Three ways the
// earlier purchase "A" is left:
//  - its pay page up (paid), the player logs out and in again, B is entered
//    and waits on the hold, then the game takes A's centre down: A polls
//    off screen and the hold goes;
//  - its pay page up (paid) and the player away on the page's wallet, the
//    game takes A's centre down, the player logs out and in again and B is
//    entered; then the player is back, and A's poll starts;
//  - the wallet out, its centre taken down in the app in front (the wallet
//    never took the app away): A polls at once; then the player logs out
//    and in, and B is entered. B's player comes back from its page by the
//    app's return, which A, still waiting for one, would hear as well;
//  - the wallet out and the player away in it, the game takes A's centre
//    down, the player logs out and in again and B is entered: A, with no
//    screen left, polls once the player is back, and B waits for that.
// Row by row, with the stand-in confirming a paid order only after a number
// of requests, each purchase hears its own result once.

#include <string>
#include <vector>

#include "purchase_road_support.h"

namespace {

using pay_test::Heard;

enum class Left { PayPageThenTakenDown, PayPageTakenDownAway, WalletOutTakenDown, WalletOutTakenDownAway };

struct Row {
    Left left;
    // Order-status requests the stand-in answers "not yet" before it
    // confirms a paid order.
    int confirmAfter;
    Heard heard;
};

const char* nameOf(Left left) {
    switch (left) {
        case Left::PayPageThenTakenDown: return "PayPage";
        case Left::PayPageTakenDownAway: return "PayPageAway";
        case Left::WalletOutTakenDown: return "WalletOut";
        case Left::WalletOutTakenDownAway: return "WalletOutAway";
    }
    return "?";
}

void PrintTo(const Row& row, std::ostream* os) { *os << nameOf(row.left) << ", confirmed after " << row.confirmAfter; }

const Heard kBothPaid{"A success 支付成功 6", "B success 支付成功 6"};
const Heard kAUnconfirmed{"A failure 支付失败 1 6", "B success 支付成功 6"};

// clang-format off
const Row kRows[] = {
    {Left::PayPageThenTakenDown, 0, kBothPaid},
    {Left::PayPageThenTakenDown, 1, kBothPaid},
    {Left::PayPageThenTakenDown, 2, kBothPaid},
    {Left::PayPageThenTakenDown, 3, kBothPaid},
    {Left::PayPageThenTakenDown, 4, kBothPaid},
    {Left::PayPageThenTakenDown, 5, kBothPaid},
    {Left::PayPageThenTakenDown, 6, kBothPaid},
    {Left::PayPageTakenDownAway, 0, kBothPaid},
    {Left::PayPageTakenDownAway, 3, kBothPaid},
    {Left::PayPageTakenDownAway, 6, kBothPaid},
    {Left::WalletOutTakenDown,   0, kAUnconfirmed},
    {Left::WalletOutTakenDown,   1, kAUnconfirmed},
    {Left::WalletOutTakenDown,   2, kAUnconfirmed},
    {Left::WalletOutTakenDown,   3, kAUnconfirmed},
    {Left::WalletOutTakenDown,   4, kAUnconfirmed},
    {Left::WalletOutTakenDown,   5, kAUnconfirmed},
    {Left::WalletOutTakenDown,   6, kAUnconfirmed},
    {Left::WalletOutTakenDownAway, 0, kAUnconfirmed},
    {Left::WalletOutTakenDownAway, 1, kAUnconfirmed},
    {Left::WalletOutTakenDownAway, 2, kAUnconfirmed},
    {Left::WalletOutTakenDownAway, 3, kAUnconfirmed},
    {Left::WalletOutTakenDownAway, 4, kAUnconfirmed},
    {Left::WalletOutTakenDownAway, 5, kAUnconfirmed},
    {Left::WalletOutTakenDownAway, 6, kAUnconfirmed},
};
// clang-format on

class SamePlayerWaitTest : public pay_test::PurchaseRoadTest {
protected:
    SamePlayerWaitTest() { ui::Application::sharedApplication()->simulateBecomeActive(); }

    ns::Ref<TVNewPayVC> centreOnRoot() {
        auto navigation = ns::cast<ui::NavigationController>(root->presentedViewController());
        return navigation ? ns::cast<TVNewPayVC>(navigation->viewControllers().front()) : nullptr;
    }
    // A's wallet order handed over; the wallet never answers.
    void walletOutA() {
        ui::Application::sharedApplication()->addInstalledScheme(QuipaySDK::kWalletScheme);
        walletAppOnly();
        payByWallet(openOverDialog("A"));
    }
    void logOutAndInAgain() {
        ToviraSDK::LoginOut();
        env.runUntilIdle();
        logIn(sandbox::ChannelServer::kKnownUser, sandbox::ChannelServer::kKnownPassword);
    }
    // A, paying away from the app, taken down; the player logs out and in
    // again and enters B, which waits for the poll A starts at the return;
    // then the app comes back.
    void takenDownAwayThenB() {
        auto application = ui::Application::sharedApplication();
        application->simulateEnterBackground();
        takeDown();
        logOutAndInAgain();
        if (HasFatalFailure()) return;
        enter("B", "6");
        env.fastForwardBy(1);
        ASSERT_FALSE(centreOnRoot()) << "B waits for the poll A starts at the player's return";
        EXPECT_EQ(polls(), 0);
        application->simulateEnterForeground();
    }
    // Seconds, up to `limit`, until B's centre is up; -1 when it is not.
    int secondsUntilBOpens(int limit) {
        for (int second = 0; second <= limit; ++second) {
            if (centreOnRoot()) return second;
            env.fastForwardBy(1);
        }
        return -1;
    }
    // The player pays B on its page, comes back by the app's return and
    // taps the card once it confirms.
    void payB(const ns::Ref<TVNewPayVC>& centre, int confirmAfter) {
        ASSERT_TRUE(payByWebPage(centre));
        auto application = ui::Application::sharedApplication();
        application->simulateEnterBackground();
        env.runUntilIdle();
        application->simulateEnterForeground();
        env.runUntilIdle();
        env.fastForwardBy(2 * confirmAfter + 1);
        ASSERT_EQ(noticeShown(centre), "支付成功");
        ASSERT_TRUE(driver.tap(centre->noticeView()->cancelBtn.lock()));
    }
};

class EachItsOwnTest : public SamePlayerWaitTest, public testing::WithParamInterface<Row> {};

TEST_P(EachItsOwnTest, BOpensOnceAHasEndedAndEachHearsItsOwnResult) {
    const Row& row = GetParam();
    server.setStatusDelay(row.confirmAfter);
    auto application = ui::Application::sharedApplication();
    switch (row.left) {
        case Left::PayPageThenTakenDown: {
            auto centre = openOverDialog("A");
            ASSERT_TRUE(centre);
            ASSERT_TRUE(payByWebPage(centre));
            logOutAndInAgain();
            if (HasFatalFailure()) return;
            enter("B", "6");
            env.runUntilIdle();
            ASSERT_FALSE(centreOnRoot()) << "B waits on A's centre";
            // The game takes A's dialog down, and A's centre with it (B may
            // open within the transition when the first poll confirms A).
            root->dismissViewController(true);
            env.fastForwardBy(1);
            if (row.confirmAfter > 0) {
                EXPECT_FALSE(centreOnRoot()) << "B waits for A's poll";
                EXPECT_EQ(hudShown(), "支付中...") << "the player is told a payment is still being confirmed";
            }
            break;
        }
        case Left::PayPageTakenDownAway: {
            auto centre = openOverDialog("A");
            ASSERT_TRUE(centre);
            ASSERT_TRUE(payByWebPage(centre));
            takenDownAwayThenB();
            if (HasFatalFailure()) return;
            break;
        }
        case Left::WalletOutTakenDown:
            walletOutA();
            takeDown();
            logOutAndInAgain();
            if (HasFatalFailure()) return;
            enter("B", "6");
            break;
        case Left::WalletOutTakenDownAway:
            walletOutA();
            takenDownAwayThenB();
            if (HasFatalFailure()) return;
            break;
    }
    // B pays on the stand-in's own pay ways.
    server.setReply("pay/getPayWayios", std::nullopt);
    int waited = secondsUntilBOpens(70);
    ASSERT_GE(waited, 0) << "B opens within A's poll's limit";
    ASSERT_EQ(heard.size(), 1u) << "A has ended before B opens";
    EXPECT_EQ(heard.front().rfind("A ", 0), 0u);
    if (waited > 1) {
        EXPECT_EQ(hudShown(), "") << "the HUD went with the wait";
    }
    payB(centreOnRoot(), row.confirmAfter);
    if (HasFatalFailure()) return;
    env.fastForwardBy(70);
    EXPECT_EQ(heard, row.heard);
}

std::string rowName(const testing::TestParamInfo<Row>& info) {
    return std::string(nameOf(info.param.left)) + "_ConfirmedAfter" + std::to_string(info.param.confirmAfter);
}

INSTANTIATE_TEST_SUITE_P(SamePlayerAfterALogout, EachItsOwnTest, testing::ValuesIn(kRows), rowName);

// With no logout the hold is A's: its poll, started at the takedown, ends
// within its limit and lets the next purchase open; meanwhile the player is
// told a payment is still being confirmed.
TEST_F(SamePlayerWaitTest, AWalletOutCentreTakenDownInTheAppInFrontHoldsTheNextOnlyUntilItsPollEnds) {
    server.setReply("Pay/getUserSuccess", ns::Dictionary::make({{"z", ns::str("0")}}));
    walletOutA();
    takeDown();
    EXPECT_EQ(polls(), 1) << "the poll starts at the takedown";
    enter("B", "6");
    env.runUntilIdle();
    EXPECT_FALSE(centreOnRoot());
    EXPECT_EQ(hudShown(), "支付中...");
    int waited = secondsUntilBOpens(70);
    EXPECT_GE(waited, 60);
    EXPECT_LE(waited, 63) << "opened by the end of A's poll";
    EXPECT_EQ(polls(), 31);
    EXPECT_EQ(heard, (Heard{"A failure 支付失败 1 6"}));
    EXPECT_EQ(hudShown(), "");
}

// A wallet answer that still comes after the takedown wins over the poll.
TEST_F(SamePlayerWaitTest, AWalletAnswerAfterTheTakedownWinsOverThePollItStarted) {
    server.setReply("Pay/getUserSuccess", ns::Dictionary::make({{"z", ns::str("0")}}));
    walletOutA();
    std::string order = currentWalletOrder();
    takeDown();
    env.fastForwardBy(4);
    ui::Application::sharedApplication()->simulateOpenURL(walletReturn("9000", order));
    env.runUntilIdle();
    EXPECT_EQ(heard, (Heard{"A success 充值成功 6"}));
    const int sent = polls();
    env.fastForwardBy(70);
    EXPECT_EQ(polls(), sent) << "the answer stopped the poll";
    EXPECT_EQ(heard.size(), 1u);
    EXPECT_TRUE(nextOpens());
}

// A purchase entered while no one is logged in opens at once; the player
// who then logs in and pays it is the order's player. A, paid on its page
// and taken down in the app in front, polls for player1. With player1 back,
// B's web order waits until A has ended (judged as the order is sent, for
// its player), so each poll hears its own payment; another player's order
// goes at once, as before.
struct LoggedOutRow {
    bool samePlayer;
    int confirmAfter;
};

void PrintTo(const LoggedOutRow& row, std::ostream* os) {
    *os << (row.samePlayer ? "same player" : "other player") << ", confirmed after " << row.confirmAfter;
}

class EnteredLoggedOutTest : public SamePlayerWaitTest, public testing::WithParamInterface<LoggedOutRow> {};

TEST_P(EnteredLoggedOutTest, EachPurchaseHearsItsOwnPaymentOnce) {
    const LoggedOutRow& row = GetParam();
    server.setStatusDelay(row.confirmAfter);
    auto a = openOverDialog("A");
    ASSERT_TRUE(a);
    ASSERT_TRUE(payByWebPage(a));
    takeDown();
    ASSERT_EQ(polls(), 1) << "taken down in front: A polls";
    ToviraSDK::LoginOut();
    env.runUntilIdle();
    // B pays on the stand-in's own pay ways.
    server.setReply("pay/getPayWayios", std::nullopt);
    enter("B", "6");
    env.fastForwardBy(1);
    auto b = centreOnRoot();
    ASSERT_TRUE(b) << "no one is logged in: B opens at once";
    if (row.samePlayer) logIn(sandbox::ChannelServer::kKnownUser, sandbox::ChannelServer::kKnownPassword);
    else logIn(sandbox::ChannelServer::kMinorUser, sandbox::ChannelServer::kMinorPassword);
    if (HasFatalFailure()) return;
    const bool aEnded = !heard.empty();
    ASSERT_TRUE(driver.tap(b->quipayIconBtn.lock()));
    ASSERT_TRUE(driver.tap(b->payBtn.lock()));
    ns::Ref<TVWebPayVC> page;
    int waited = 0;
    for (; waited <= 70; ++waited) {
        auto navigation = b->navigationController();
        page = navigation ? ns::cast<TVWebPayVC>(navigation->viewControllers().back()) : nullptr;
        if (page) break;
        env.fastForwardBy(1);
    }
    ASSERT_TRUE(page) << "B's order goes within A's poll's limit";
    if (row.samePlayer && !aEnded) {
        EXPECT_EQ(heard, (Heard{"A success 支付成功 6"})) << "B's order went once A had ended";
        EXPECT_GE(waited, 1);
    } else if (!row.samePlayer) {
        EXPECT_LE(waited, 1) << "another player's order goes at once";
    }
    // The player pays on B's page and comes back.
    page->popAction();
    env.fastForwardBy(2 * row.confirmAfter + 1);
    if (noticeShown(b) == "支付成功") {
        ASSERT_TRUE(driver.tap(b->noticeView()->cancelBtn.lock()));
    }
    env.fastForwardBy(70);
    Heard ofA, ofB;
    for (const auto& each : heard) (each.rfind("A ", 0) == 0 ? ofA : ofB).push_back(each);
    EXPECT_EQ(ofA, (Heard{"A success 支付成功 6"})) << testing::PrintToString(heard);
    EXPECT_LE(ofB.size(), 1u) << testing::PrintToString(heard);
    for (const auto& each : ofB) {
        EXPECT_EQ(each, "B success 支付成功 6");
    }
    if (row.samePlayer) {
        EXPECT_EQ(ofB, (Heard{"B success 支付成功 6"}));
    }
}

std::vector<LoggedOutRow> loggedOutRows() {
    std::vector<LoggedOutRow> all;
    for (bool same : {true, false})
        for (int confirmAfter = 0; confirmAfter <= 6; ++confirmAfter) all.push_back({same, confirmAfter});
    return all;
}

std::string loggedOutRowName(const testing::TestParamInfo<LoggedOutRow>& info) {
    return std::string(info.param.samePlayer ? "SamePlayer" : "OtherPlayer") + "_ConfirmedAfter" +
           std::to_string(info.param.confirmAfter);
}

INSTANTIATE_TEST_SUITE_P(BEnteredWhileLoggedOut, EnteredLoggedOutTest, testing::ValuesIn(loggedOutRows()),
                         loggedOutRowName);

}  // namespace
