// Roads of a purchase that take more than one event, beside the table of
// single events: the wallet's answers reach only the order they name, the
// player back from the wallet without an answer has the poll tell (on
// screen or off), a logout with the centre up releases the hold when the
// screens go, and a purchase left over at the end of a test ends with it.

#include "channel/ShareVale.h"
#include "channel/pay/TVPurchase.h"
#include "platform/foundation/Log.h"
#include "platform/uikit/StateReset.h"
#include "purchase_road_support.h"

namespace {

class PurchaseRowsTest : public pay_test::PurchaseRoadTest {
protected:
    // The wallet app installed, and the only pay way.
    void walletOnly() {
        ui::Application::sharedApplication()->addInstalledScheme(QuipaySDK::kWalletScheme);
        walletAppOnly();
    }
    // The player leaves for the wallet app and comes back by hand.
    void comeBackWithoutAnswer() {
        auto application = ui::Application::sharedApplication();
        application->simulateEnterBackground();
        env.runUntilIdle();
        application->simulateEnterForeground();
        env.runUntilIdle();
    }
    void answer(const std::string& status, const std::string& order) {
        ui::Application::sharedApplication()->simulateOpenURL(walletReturn(status, order));
        env.runUntilIdle();
    }
    // After A, purchase "B" by the wallet, its order out.
    ns::Ref<TVNewPayVC> walletPurchaseB() {
        root->dismissViewController(false);
        env.runUntilIdle();
        auto second = openOverDialog("B");
        payByWallet(second);
        return second;
    }
    void tapCard(const ns::Ref<TVNewPayVC>& centre) {
        ASSERT_TRUE(driver.tap(centre->noticeView()->cancelBtn.lock()));
        env.fastForwardBy(1);
    }
};

TEST_F(PurchaseRowsTest, BackFromTheWalletWithoutAnAnswerThenTakenDownThePollReportsAtOnce) {
    walletOnly();
    server.setReply("Pay/getUserSuccess", ns::Dictionary::make({{"z", ns::str("1")}}));
    auto centre = openOverDialog("A");
    payByWallet(centre);
    comeBackWithoutAnswer();
    takeDown();
    env.fastForwardBy(120);
    EXPECT_GE(polls(), 1);
    EXPECT_EQ(heard, (pay_test::Heard{"A success 支付成功 6"}));
    EXPECT_EQ(hudShown(), "");
    EXPECT_TRUE(nextOpens());
}

TEST_F(PurchaseRowsTest, OnScreenAWalletThatNeverAnswersIsPolledUnderTheCardAndALateAnswerWins) {
    walletOnly();
    server.setReply("Pay/getUserSuccess", ns::Dictionary::make({{"z", ns::str("0")}}));
    auto centre = openOverDialog("A");
    payByWallet(centre);
    comeBackWithoutAnswer();
    EXPECT_EQ(polls(), 1) << "the return starts the poll";
    EXPECT_EQ(noticeShown(centre), "支付中...");
    env.fastForwardBy(4);
    EXPECT_EQ(polls(), 3);
    // The wallet's answer still comes, and is what the card shows.
    answer("6001", "");
    EXPECT_EQ(noticeShown(centre), "取消充值");
    env.fastForwardBy(10);
    EXPECT_EQ(polls(), 3) << "the answer stops the poll";
    EXPECT_TRUE(heard.empty());
    tapCard(centre);
    EXPECT_EQ(heard, (pay_test::Heard{"A failure 取消充值 1 6"}));

    // Paid, the wallet's answer lost: the poll confirms it on the card.
    server.setReply("Pay/getUserSuccess", ns::Dictionary::make({{"z", ns::str("1")}}));
    heard.clear();
    auto second = walletPurchaseB();
    comeBackWithoutAnswer();
    EXPECT_EQ(noticeShown(second), "支付成功");
    tapCard(second);
    EXPECT_EQ(heard, (pay_test::Heard{"B success 支付成功 6"}));
}

// Three ways an order can be left with nobody waiting for it; its answer
// then reaches nobody, and the next purchase's own answer still reaches it.
TEST_F(PurchaseRowsTest, AnAnswerNamingAnOrderNobodyWaitsForReachesNobody) {
    walletOnly();
    server.setReply("Pay/getUserSuccess", ns::Dictionary::make({{"z", ns::str("1")}}));
    enum Way { ClosedByThePlayer, SettledByThePoll, AnsweredBefore };
    for (Way way : {ClosedByThePlayer, SettledByThePoll, AnsweredBefore}) {
        SCOPED_TRACE(way);
        heard.clear();
        auto first = openOverDialog("A");
        payByWallet(first);
        std::string orderA = currentWalletOrder();
        if (way == ClosedByThePlayer) {
            first->popAction();
            env.fastForwardBy(1);
        } else if (way == SettledByThePoll) {
            takeDownAtOnce();
            comeBackWithoutAnswer();
            env.fastForwardBy(1);
            ASSERT_EQ(heard, (pay_test::Heard{"A success 支付成功 6"}));
        } else {
            answer("9000", orderA);
            tapCard(first);
            ASSERT_EQ(heard, (pay_test::Heard{"A success 充值成功 6"}));
        }
        pay_test::Heard before = heard;
        auto second = walletPurchaseB();
        ASSERT_NE(currentWalletOrder(), orderA);

        ns::LogCapture log;
        answer("9000", orderA);
        EXPECT_EQ(noticeShown(second), "") << "B was never paid";
        EXPECT_EQ(heard, before);
        EXPECT_EQ(QuipaySDK::defaultService()->paymentType(), "pay") << "B's payment is still in progress";
        answer("6001", "");
        EXPECT_EQ(noticeShown(second), "取消充值");
        tapCard(second);
        before.push_back("B failure 取消充值 1 6");
        EXPECT_EQ(heard, before);
        root->dismissViewController(false);
        env.runUntilIdle();
    }
}

TEST_F(PurchaseRowsTest, ALogoutWithTheCentreUpReleasesTheHoldWhenItsScreensGo) {
    server.setStatusDelay(5);
    auto centre = openOverDialog("A");
    payByWebPageAndComeBack(centre);
    ToviraSDK::LoginOut();
    env.runUntilIdle();
    heard.clear();
    takeDown();
    EXPECT_TRUE(nextOpens()) << "nothing of the logged-out purchase is on screen";
    EXPECT_EQ(hudShown(), "");
    env.fastForwardBy(12);
    EXPECT_EQ(heard, (pay_test::Heard{"A success 支付成功 6"})) << "it still reports to its own game";
}

TEST_F(PurchaseRowsTest, ThePollAsksForThePlayerWhoPaidWhoeverIsLoggedInWhenItStarts) {
    server.setStatusDelay(1);
    auto centre = openOverDialog("A");
    ASSERT_TRUE(payByWebPage(centre));
    ASSERT_TRUE(server.isPaid(sandbox::ChannelServer::kKnownUser));
    // Away on the page's wallet, the game takes the centre down, logs the
    // player out and another logs in before the player is back.
    auto application = ui::Application::sharedApplication();
    application->simulateEnterBackground();
    takeDown();
    ToviraSDK::LoginOut();
    logIn(sandbox::ChannelServer::kMinorUser, sandbox::ChannelServer::kMinorPassword);
    EXPECT_EQ(polls(), 0);
    application->simulateEnterForeground();
    env.fastForwardBy(70);
    EXPECT_EQ(heard, (pay_test::Heard{"A success 支付成功 6"}));
}

TEST_F(PurchaseRowsTest, APollPausedUnderTheCardLeavesItsPresetToReportWhenTheScreensGo) {
    server.setReply("Pay/getUserSuccess", ns::Dictionary::make({{"z", ns::str("0")}}));
    auto centre = openOverDialog("A");
    payByWebPageAndComeBack(centre);
    centre->pause();
    takeDown();
    EXPECT_EQ(heard, (pay_test::Heard{"A failure 支付失败 1 6"}));
    EXPECT_EQ(polls(), 1);
    EXPECT_TRUE(nextOpens());
}

TEST_F(PurchaseRowsTest, APurchaseLeftOverAtTheEndOfATestEndsWithIt) {
    server.setReply("Pay/getUserSuccess", ns::Dictionary::make({{"z", ns::str("0")}}));
    auto centre = openOverDialog("A");
    payByWebPageAndComeBack(centre);
    takeDown();
    std::weak_ptr<TVPurchase> left = TVPurchase::holding();
    ASSERT_FALSE(left.expired()) << "it keeps itself, polling";
    centre = nullptr;
    ui::resetSharedStateForTesting();
    EXPECT_TRUE(left.expired());
    int sent = polls();
    env.fastForwardBy(70);
    EXPECT_EQ(polls(), sent);
    EXPECT_TRUE(heard.empty());
}

// The centre's poll calls are events of its purchase: once it has reported,
// none of them sends a request or reports again.
TEST_F(PurchaseRowsTest, ThePollCallsOfASettledPurchaseChangeNothing) {
    server.setStatusDelay(1);
    auto centre = openOverDialog("A");
    payByWebPageAndComeBack(centre);
    env.fastForwardBy(2);
    ASSERT_EQ(noticeShown(centre), "支付成功");
    tapCard(centre);
    ASSERT_EQ(heard, (pay_test::Heard{"A success 支付成功 6"}));
    const int sent = polls();
    ns::LogCapture log;
    centre->resume();
    centre->loadTimer();
    centre->pause();
    env.fastForwardBy(70);
    EXPECT_EQ(polls(), sent);
    EXPECT_FALSE(centre->isPolling());
    EXPECT_EQ(heard, (pay_test::Heard{"A success 支付成功 6"})) << "reported once";
    EXPECT_TRUE(log.contains(
        "payment centre: \"poll asked for\" at the stage \"settled\" of the payment of 6 yuan changes nothing"));
}

// With the pay page up the poll waits for the page's return, whatever the
// centre asks: a poll running under the page would meet the return at
// another stage and put up no card.
TEST_F(PurchaseRowsTest, ThePollCallsWithThePayPageUpWaitForItsReturn) {
    auto centre = openOverDialog("A");
    ASSERT_TRUE(centre);
    auto page = payByWebPage(centre);
    ASSERT_TRUE(page);
    ns::LogCapture log;
    centre->loadTimer();
    centre->resume();
    env.fastForwardBy(4);
    EXPECT_EQ(polls(), 0);
    EXPECT_TRUE(log.contains(
        "payment centre: \"poll asked for\" at the stage \"pay page up\" of the payment of 6 yuan changes nothing"));
    page->popAction();
    env.runUntilIdle();
    EXPECT_EQ(polls(), 1) << "the return starts it";
    ASSERT_EQ(noticeShown(centre), "支付成功");
    tapCard(centre);
    EXPECT_EQ(heard, (pay_test::Heard{"A success 支付成功 6"}));
}

// Another account logs in while the centre is up: the order is that
// account's, and so is the poll's request.
TEST_F(PurchaseRowsTest, ThePollAsksForThePlayerOfTheOrderNotOfTheEntryCall) {
    server.setStatusDelay(1);
    auto centre = openOverDialog("A");
    ASSERT_TRUE(centre);
    ShareVale::sharedInstance()->setUserName(ns::str(sandbox::ChannelServer::kMinorUser));
    payByWebPageAndComeBack(centre);
    env.fastForwardBy(2);
    ASSERT_EQ(noticeShown(centre), "支付成功");
    tapCard(centre);
    EXPECT_EQ(heard, (pay_test::Heard{"A success 支付成功 6"}));
}

// A centre that cannot be opened is its purchase's to report: the game
// hears of it from a settled purchase that still holds, so a call made in
// the failure block waits its turn, then opens.
TEST_F(PurchaseRowsTest, ACentreThatCannotBeOpenedIsReportedByItsPurchase) {
    window->setHidden(true);
    std::shared_ptr<TVPurchase> reporter;
    TVNewPayVC::loadToPayVCWithroleid(
        ns::str("role9"), ns::str("s1"), ns::str("6"), ns::str("order-A"), ns::str("元宝"), ns::str("元宝"), nullptr,
        [&](const ns::Ref<ns::String>& t, const ns::Id& code, const ns::Ref<ns::String>& amount) {
            heard.push_back("A failure " + text(t) + " " + ns::textOf(code) + " " + text(amount));
            reporter = TVPurchase::holding();
            window->makeKeyAndVisible();
            enter("B", "30");
        });
    ASSERT_TRUE(reporter) << "the purchase holds while it reports";
    EXPECT_EQ(reporter->stage(), TVPurchase::Stage::Settled);
    EXPECT_EQ(text(reporter->report().fullAmount), "6");
    EXPECT_EQ(heard, (pay_test::Heard{"A failure 无法打开充值中心 1 6"}));
    EXPECT_FALSE(root->presentedViewController()) << "the next call waits its turn";
    env.fastForwardBy(1);
    EXPECT_TRUE(ns::cast<ui::NavigationController>(root->presentedViewController())) << "then opens";
    EXPECT_EQ(text(TVNewPayVC::orderState().cpExtend), "order-B");
}

}  // namespace
