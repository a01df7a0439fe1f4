// The game takes its screen down under the payment centre (it dismisses the
// dialog the centre was opened over). With nothing awaited the centre goes
// as if closed; otherwise the purchase goes on without its screens and the
// game hears, once, what they would have told it: the card's result at
// once, the poll's end under a card at "支付中...", the poll the app's
// return starts with the pay page up, the wallet's answer with the wallet
// out. Entry calls waiting on such a purchase are told a payment is still
// being confirmed, and a logout lets them go. Also a presentation the
// platform refuses only after it was asked for.

#include "channel/ShareVale.h"
#include "channel/VRQWindowManager.h"
#include "platform/foundation/Log.h"
#include "purchase_road_support.h"
#include "sandbox/QuipayWallet.h"

namespace {

class CentreTakedownTest : public pay_test::PurchaseRoadTest {
protected:
    // The game has heard `report` alone; nothing more comes, no more polls
    // go, and the next purchase opens.
    void expectReportedOnce(const std::string& report) {
        EXPECT_EQ(heard, (pay_test::Heard{report}));
        int sent = polls();
        env.fastForwardBy(10);
        EXPECT_EQ(polls(), sent) << "the poll has stopped";
        EXPECT_EQ(heard.size(), 1u);
        heard.clear();
        EXPECT_TRUE(nextOpens());
    }
    // A first purchase ("A") paid by the wallet app, taken down before the
    // answer while the wallet has the app away; after a logout another
    // player's purchase ("B") opens. The second's centre.
    ns::Ref<TVNewPayVC> walletPurchaseTakenDownThenAnother() {
        ui::Application::sharedApplication()->addInstalledScheme(QuipaySDK::kWalletScheme);
        walletAppOnly();
        payByWallet(openOverDialog("A"));
        ui::Application::sharedApplication()->simulateEnterBackground();
        takeDownAtOnce();
        TVNewPayVC::dropWaitingPurchases("logout");
        ShareVale::sharedInstance()->setUserName(ns::str(sandbox::ChannelServer::kMinorUser));
        enter("B", "6");
        env.fastForwardBy(1);
        auto navigation = ns::cast<ui::NavigationController>(root->presentedViewController());
        return navigation ? ns::cast<TVNewPayVC>(navigation->viewControllers().front()) : nullptr;
    }
};

TEST_F(CentreTakedownTest, WithNoCardTheCentreGoesAsIfClosedAndItsPollStops) {
    server.setReply("Pay/getUserSuccess", ns::Dictionary::make({{"z", ns::str("0")}}));
    auto centre = openOverDialog();
    ASSERT_TRUE(centre);
    centre->loadTimer();
    env.runUntilIdle();
    EXPECT_EQ(polls(), 1);
    EXPECT_FALSE(ballShown());
    takeDown();
    EXPECT_TRUE(heard.empty()) << "nothing to report, as with the player's close";
    EXPECT_TRUE(ballShown());
    EXPECT_FALSE(centre->isPolling());
    env.fastForwardBy(10);
    EXPECT_EQ(polls(), 1);
    EXPECT_TRUE(nextOpens()) << "the hold is let go";
}

TEST_F(CentreTakedownTest, WhileThePlayerChoosesTheTakedownEndsThePaymentInOneLineAndNoReport) {
    auto centre = openOverDialog();
    ASSERT_TRUE(centre);
    ns::LogCapture log;
    takeDown();
    int lines = 0;
    for (const auto& line : log.lines())
        if (line.find("taken down") != std::string::npos) {
            ++lines;
            EXPECT_NE(line.find("payment centre: taken down while the player was choosing; the payment of 6 yuan ends "
                                "unreported"),
                      std::string::npos)
                << line;
        }
    EXPECT_EQ(lines, 1);
    env.fastForwardBy(70);
    EXPECT_TRUE(heard.empty()) << "as at the player's close";
    EXPECT_TRUE(nextOpens());
}

TEST_F(CentreTakedownTest, UnderACardThatShowsItsResultTheGameHearsItOnceAndTheCardGoes) {
    // A web payment confirmed by the second poll.
    server.setStatusDelay(1);
    auto centre = openOverDialog();
    ASSERT_TRUE(centre);
    payByWebPageAndComeBack(centre);
    env.fastForwardBy(2);
    ASSERT_EQ(noticeShown(centre), "支付成功");
    takeDown();
    EXPECT_EQ(heard, (pay_test::Heard{"A success 支付成功 6"}));
    EXPECT_EQ(noticeShown(centre), "") << "the card is gone";
    EXPECT_FALSE(centre->coverView()->superview());
    EXPECT_FALSE(centre->isPolling());
    EXPECT_TRUE(ballShown());
    env.fastForwardBy(10);
    EXPECT_EQ(heard.size(), 1u);
    EXPECT_TRUE(nextOpens());

    // The wallet app's own answer on the card: a cancelled payment.
    root->dismissViewController(false);
    env.runUntilIdle();
    sandbox::QuipayWallet wallet;
    wallet.setStatus("6001");
    walletAppOnly();
    heard.clear();
    auto second = openOverDialog("B");
    ASSERT_TRUE(second);
    ASSERT_TRUE(driver.tap(second->payBtn.lock()));
    env.fastForwardBy(1);
    ASSERT_EQ(noticeShown(second), "取消充值");
    takeDown();
    EXPECT_EQ(heard, (pay_test::Heard{"B failure 取消充值 1 6"}));
    EXPECT_EQ(noticeShown(second), "");
    EXPECT_TRUE(ballShown());
}

TEST_F(CentreTakedownTest, UnderACardStillWaitingThePollGoesOnAndReportsTheFirstConfirmation) {
    // The third request confirms.
    server.setStatusDelay(2);
    auto centre = openOverDialog();
    ASSERT_TRUE(centre);
    payByWebPageAndComeBack(centre);
    ASSERT_EQ(polls(), 1);
    ns::LogCapture log;
    takeDown();
    EXPECT_TRUE(log.contains(
        "payment centre: taken down under the pay notice; the payment of 6 yuan is still being confirmed"));
    EXPECT_EQ(noticeShown(centre), "") << "the card is gone";
    EXPECT_TRUE(heard.empty());
    EXPECT_TRUE(ballShown());
    enter("B", "30");
    env.fastForwardBy(0.5);
    EXPECT_FALSE(root->presentedViewController()) << "the purchase is held until it is reported";

    env.fastForwardBy(3);
    EXPECT_EQ(polls(), 3);
    EXPECT_EQ(heard, (pay_test::Heard{"A success 支付成功 6"}));
    env.fastForwardBy(10);
    EXPECT_EQ(polls(), 3) << "confirmed: the poll has stopped";
    EXPECT_EQ(heard.size(), 1u);
    EXPECT_TRUE(ns::cast<ui::NavigationController>(root->presentedViewController())) << "the next purchase opens";
}

TEST_F(CentreTakedownTest, UnderACardStillWaitingAPollThatGivesUpReportsTheCardsFailure) {
    server.setReply("Pay/getUserSuccess", ns::Dictionary::make({{"z", ns::str("0")}}));
    auto centre = openOverDialog();
    ASSERT_TRUE(centre);
    payByWebPageAndComeBack(centre);
    env.fastForwardBy(10);
    takeDown();
    env.fastForwardBy(48);
    EXPECT_EQ(polls(), 30);
    EXPECT_TRUE(heard.empty());
    env.fastForwardBy(10);
    EXPECT_EQ(polls(), 31);
    expectReportedOnce("A failure 支付失败 1 6");
}

TEST_F(CentreTakedownTest, APresentationThePlatformRefusesAfterItWasAskedForFailsThePayment) {
    dialog = ui::AlertController::alertControllerWithTitle("提示", "确认?", ui::AlertControllerStyle::Alert);
    root->presentViewController(dialog, false);
    env.runUntilIdle();
    // The game takes its dialog down and at once shows another: the centre,
    // asked for meanwhile, finds the root presenting that one.
    root->dismissViewController(true);
    root->presentViewController(std::make_shared<ui::ViewController>(), true);
    ns::LogCapture log;
    enter("A", "6");
    env.fastForwardBy(2);
    EXPECT_EQ(heard, (pay_test::Heard{"A failure 无法打开充值中心 1 6"}));
    EXPECT_TRUE(log.contains("payment centre: its presentation was refused; the payment of 6 yuan (order-A) fails"));
    EXPECT_TRUE(ballShown());
    EXPECT_FALSE(ns::cast<ui::NavigationController>(root->presentedViewController()->presentedViewController()));

    // Nothing holds: once the game's screen is gone, the next one opens.
    root->dismissViewController(false);
    env.runUntilIdle();
    EXPECT_TRUE(nextOpens());
}

TEST_F(CentreTakedownTest, WithThePayPageUpTheAppsReturnStartsThePollAndTheGameHearsIt) {
    server.setStatusDelay(1);
    auto centre = openOverDialog();
    ASSERT_TRUE(centre);
    ASSERT_TRUE(driver.tap(centre->quipayIconBtn.lock()));
    ASSERT_TRUE(driver.tap(centre->payBtn.lock()));
    env.fastForwardBy(1);
    ASSERT_TRUE(ns::cast<TVWebPayVC>(centre->navigationController()->viewControllers().back()));
    ASSERT_TRUE(server.isPaid("player1")) << "the page has loaded: the player pays";
    // Away in the wallet's app, the game takes its dialog down.
    auto application = ui::Application::sharedApplication();
    application->simulateEnterBackground();
    ns::LogCapture log;
    takeDown();
    EXPECT_TRUE(log.contains("payment centre: taken down with the pay page up; the payment of 6 yuan is still being "
                             "confirmed"));
    env.fastForwardBy(70);
    EXPECT_EQ(polls(), 0) << "the player is not back yet";
    EXPECT_TRUE(heard.empty());

    application->simulateEnterForeground();
    env.runUntilIdle();
    EXPECT_EQ(polls(), 1) << "the return starts the poll, as the page's would";
    env.fastForwardBy(2);
    EXPECT_EQ(polls(), 2);
    expectReportedOnce("A success 支付成功 6");
}

TEST_F(CentreTakedownTest, WithThePayPageUpInAnActiveAppThePollStartsAtTheTakedown) {
    ui::Application::sharedApplication()->simulateBecomeActive();
    server.setReply("Pay/getUserSuccess", ns::Dictionary::make({{"z", ns::str("0")}}));
    auto centre = openOverDialog();
    ASSERT_TRUE(centre);
    ASSERT_TRUE(driver.tap(centre->quipayIconBtn.lock()));
    ASSERT_TRUE(driver.tap(centre->payBtn.lock()));
    env.fastForwardBy(1);
    ns::LogCapture log;
    takeDown();
    EXPECT_TRUE(log.contains("payment centre: taken down with the pay page up; the payment of 6 yuan is still being "
                             "confirmed"))
        << "the line names the stage the takedown met, not the poll it starts";
    EXPECT_GE(polls(), 1);
    env.fastForwardBy(70);
    EXPECT_EQ(polls(), 31);
    expectReportedOnce("A failure 支付失败 1 6");
}

TEST_F(CentreTakedownTest, WithTheWalletOutItsAnswerReachesTheGameAfterTheTakedown) {
    sandbox::QuipayWallet wallet("9000");
    walletAppOnly();
    auto centre = openOverDialog();
    payByWallet(centre);
    ASSERT_TRUE(wallet.returns().empty());
    takeDownAtOnce();
    EXPECT_TRUE(heard.empty());
    enter("B", "30");
    env.runUntilIdle();
    EXPECT_FALSE(root->presentedViewController()) << "the purchase waits for the wallet";

    env.fastForwardBy(1);
    ASSERT_EQ(wallet.returns().size(), 1u);
    EXPECT_EQ(heard, (pay_test::Heard{"A success 充值成功 6"}));
    EXPECT_EQ(noticeShown(centre), "") << "no card over the game";
    EXPECT_TRUE(ns::cast<ui::NavigationController>(root->presentedViewController())) << "the next purchase opens";
    EXPECT_EQ(polls(), 0);
}

TEST_F(CentreTakedownTest, AWalletThatNeverAnswersIsPolledOnceTheAppIsBackAndAnUnreachedOneHoldsNothing) {
    auto application = ui::Application::sharedApplication();
    application->addInstalledScheme(QuipaySDK::kWalletScheme);
    walletAppOnly();
    server.setReply("Pay/getUserSuccess", ns::Dictionary::make({{"z", ns::str("1")}}));
    auto centre = openOverDialog();
    payByWallet(centre);
    takeDownAtOnce();
    application->simulateEnterBackground();
    env.fastForwardBy(30);
    EXPECT_EQ(polls(), 0) << "the wallet may still answer";
    // The player comes back by hand: no answer will come.
    application->simulateEnterForeground();
    env.runUntilIdle();
    EXPECT_EQ(polls(), 1);
    EXPECT_EQ(heard, (pay_test::Heard{"A success 支付成功 6"}));

    // A wallet that is not installed is never reached: nothing is awaited.
    application->setInstalledSchemes({});
    heard.clear();
    root->dismissViewController(false);
    env.runUntilIdle();
    auto second = openOverDialog("B");
    ASSERT_TRUE(second);
    ASSERT_TRUE(driver.tap(second->payBtn.lock()));
    env.runUntilIdle();
    takeDownAtOnce();
    EXPECT_TRUE(heard.empty());
    EXPECT_TRUE(nextOpens());
}

TEST_F(CentreTakedownTest, AWalletAnswerAfterThePlayerClosedTheCentrePutsNoCardOverTheGame) {
    ui::Application::sharedApplication()->addInstalledScheme(QuipaySDK::kWalletScheme);
    walletAppOnly();
    auto centre = openOverDialog();
    payByWallet(centre);
    centre->popAction();
    ui::Application::sharedApplication()->simulateOpenURL(walletReturn("9000", currentWalletOrder()));
    env.fastForwardBy(1);
    EXPECT_EQ(noticeShown(centre), "");
    EXPECT_TRUE(heard.empty()) << "closed by the player: nothing is reported";
}

TEST_F(CentreTakedownTest, ALateWalletAnswerReachesItsOwnPurchaseNotTheNextOnesCard) {
    server.setReply("Pay/getUserSuccess", ns::Dictionary::make({{"z", ns::str("0")}}));
    auto second = walletPurchaseTakenDownThenAnother();
    std::string firstOrder = currentWalletOrder();
    // The next purchase hands its own order over.
    payByWallet(second);
    ASSERT_NE(currentWalletOrder(), firstOrder);

    // The first order's payment comes back late, naming its order.
    ui::Application::sharedApplication()->simulateOpenURL(walletReturn("9000", firstOrder));
    env.runUntilIdle();
    EXPECT_EQ(heard, (pay_test::Heard{"A success 充值成功 6"}));
    EXPECT_EQ(noticeShown(second), "") << "the second purchase's card is not told";
    EXPECT_EQ(QuipaySDK::defaultService()->paymentType(), "pay") << "the second order is still in progress";

    // Its own answer still reaches it.
    ui::Application::sharedApplication()->simulateOpenURL(walletReturn("6001", ""));
    env.runUntilIdle();
    EXPECT_EQ(noticeShown(second), "取消充值");
    ASSERT_TRUE(driver.tap(second->noticeView()->cancelBtn.lock()));
    env.fastForwardBy(1);
    EXPECT_EQ(heard, (pay_test::Heard{"A success 充值成功 6", "B failure 取消充值 1 6"}));
}

TEST_F(CentreTakedownTest, AnEarlierPurchaseWhoseWalletOrderWasReplacedIsReportedByThePoll) {
    auto second = walletPurchaseTakenDownThenAnother();
    EXPECT_EQ(polls(), 0);
    server.setReply("Pay/getUserSuccess", ns::Dictionary::make({{"z", ns::str("1")}}));
    payByWallet(second);
    env.runUntilIdle();
    EXPECT_EQ(polls(), 1) << "no answer can be told to be the first order's any more";
    EXPECT_EQ(heard, (pay_test::Heard{"A success 支付成功 6"}));

    // An answer that names no order is the second's.
    ui::Application::sharedApplication()->simulateOpenURL(walletReturn("4000", ""));
    env.runUntilIdle();
    EXPECT_EQ(noticeShown(second), "充值失败");
    EXPECT_EQ(heard.size(), 1u);
}

TEST_F(CentreTakedownTest, APurchaseWaitingOnOneStillBeingConfirmedIsToldSo) {
    server.setStatusDelay(2);
    auto centre = openOverDialog();
    ASSERT_TRUE(centre);
    payByWebPageAndComeBack(centre);
    ns::LogCapture log;
    takeDown();
    EXPECT_EQ(hudShown(), "") << "nothing waits on it yet";
    enter("B", "30");
    env.runUntilIdle();
    EXPECT_EQ(hudShown(), "支付中...");
    EXPECT_TRUE(log.contains("screen: hud: 支付中..."));
    env.fastForwardBy(3);
    EXPECT_EQ(heard, (pay_test::Heard{"A success 支付成功 6"}));
    EXPECT_EQ(hudShown(), "");
    EXPECT_TRUE(ns::cast<ui::NavigationController>(root->presentedViewController())) << "the next purchase opens";
}

TEST_F(CentreTakedownTest, ALogoutLetsTheNextPurchaseGoWhileThePollStillReportsToItsOwn) {
    server.setStatusDelay(5);
    auto centre = openOverDialog();
    ASSERT_TRUE(centre);
    payByWebPageAndComeBack(centre);
    takeDown();
    enter("B", "30");
    env.runUntilIdle();
    ASSERT_EQ(hudShown(), "支付中...");
    ns::LogCapture log;
    ToviraSDK::LoginOut();
    env.runUntilIdle();
    EXPECT_TRUE(log.contains("payment centre: logout; the waiting payment of 30 yuan (order-B) is dropped"));
    EXPECT_EQ(hudShown(), "");
    EXPECT_TRUE(heard.empty());

    // A new player's purchase opens at once; the poll goes on for its own.
    ShareVale::sharedInstance()->setUserName(ns::str("player2"));
    enter("C", "30");
    env.fastForwardBy(1);
    auto navigation = ns::cast<ui::NavigationController>(root->presentedViewController());
    ASSERT_TRUE(navigation);
    env.fastForwardBy(10);
    EXPECT_EQ(heard, (pay_test::Heard{"A success 支付成功 6"}));
    EXPECT_EQ(root->presentedViewController(), navigation) << "the new purchase's centre stays";
}

}  // namespace
