// The game takes its screen down under the payment centre (it dismisses the
// dialog the centre was opened over). With no notice card the centre goes
// as if closed; under a card the game hears, once, what the card's tap
// would have told it, and a web payment still waiting is polled to its end
// without the screen. Also a presentation the platform refuses only after
// it was asked for.

#include "channel/VRQWindowManager.h"
#include "channel/pay/TVWebPayVC.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Log.h"
#include "platform/uikit/AlertController.h"
#include "pay_test_support.h"
#include "sandbox/QuipayWallet.h"

namespace {

class CentreTakedownTest : public pay_test::PayTest {
protected:
    // The game's dialog, with the centre opened over it for 6 yuan.
    ns::Ref<TVNewPayVC> openOverDialog(const std::string& tag = "A") {
        dialog = ui::AlertController::alertControllerWithTitle("提示", "确认?", ui::AlertControllerStyle::Alert);
        root->presentViewController(dialog, false);
        env.runUntilIdle();
        enter(tag, "6");
        env.fastForwardBy(1);
        auto navigation = ns::cast<ui::NavigationController>(dialog->presentedViewController());
        return navigation ? ns::cast<TVNewPayVC>(navigation->viewControllers().front()) : nullptr;
    }
    // Paid on the wallet's web page and back in the app: the card up at
    // "支付中..." and the first poll sent.
    void payByWebPageAndComeBack(const ns::Ref<TVNewPayVC>& centre) {
        ASSERT_TRUE(driver.tap(centre->quipayIconBtn.lock()));
        ASSERT_TRUE(driver.tap(centre->payBtn.lock()));
        env.fastForwardBy(1);
        auto page = ns::cast<TVWebPayVC>(centre->navigationController()->viewControllers().back());
        ASSERT_TRUE(page);
        page->popAction();
        env.runUntilIdle();
        ASSERT_EQ(noticeShown(centre), "支付中...");
    }
    // The game dismisses its dialog, and the centre with it.
    void takeDown() {
        root->dismissViewController(true);
        env.fastForwardBy(1);
        ASSERT_FALSE(root->presentedViewController());
    }
    int polls() const { return server.requestsTo("Pay/getUserSuccess"); }
    // Whether a payment entered now opens its centre at once.
    bool nextOpens() {
        heard.clear();
        enter("next", "30");
        env.fastForwardBy(1);
        return ns::cast<ui::NavigationController>(root->presentedViewController()) != nullptr;
    }

    ns::Ref<ui::ViewController> dialog;
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
    server.setReply("pay/getPayWayios",
                    ns::Dictionary::make({{"code", ns::str("1")},
                                          {"data", ns::Array::make({ns::Dictionary::make({{"z", ns::str("31")}})})}}));
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
    EXPECT_EQ(heard, (pay_test::Heard{"A failure 支付失败 1 6"}));
    env.fastForwardBy(10);
    EXPECT_EQ(polls(), 31);
    EXPECT_EQ(heard.size(), 1u);
    EXPECT_TRUE(nextOpens());
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

}  // namespace
