// One purchase at a time: entry calls made while a payment centre is on
// screen wait with their own purchase and open one by one once it has gone,
// whichever way it went; a logout drops the waiting ones. The centre opens
// over whatever the game shows, and when nothing can show it the game hears
// of a failed payment.

#include "platform/foundation/Log.h"
#include "platform/uikit/AlertController.h"
#include "platform/uikit/Window.h"
#include "pay_test_support.h"

namespace {

class PurchaseHoldTest : public pay_test::PayTest {
protected:
    // The centre on top of what the root presents, once its pay ways are in.
    ns::Ref<TVNewPayVC> shownCentre() {
        env.fastForwardBy(1);
        auto top = root->presentedViewController();
        while (top && top->presentedViewController()) top = top->presentedViewController();
        auto navigation = ns::cast<ui::NavigationController>(top);
        if (!navigation || navigation->viewControllers().empty()) return nullptr;
        return ns::cast<TVNewPayVC>(navigation->viewControllers().front());
    }
    static std::string shownAmount(const ns::Ref<TVNewPayVC>& centre) { return labelText(centre->moneyL); }
    // A screen of the game's own (a dialog of its page), presented from the root.
    ns::Ref<ui::ViewController> gameDialog() {
        ns::Ref<ui::ViewController> dialog =
            ui::AlertController::alertControllerWithTitle("提示", "确认?", ui::AlertControllerStyle::Alert);
        root->presentViewController(dialog, true);
        env.fastForwardBy(1);
        return dialog;
    }
};

TEST_F(PurchaseHoldTest, CallsMadeWhileACentreIsOpenWaitAndOpenOneByOneWhenItCloses) {
    enter("A", "60");
    auto first = shownCentre();
    ASSERT_TRUE(first);
    ns::LogCapture log;
    enter("B", "6元");
    enter("C", "30");
    EXPECT_EQ(shownCentre(), first) << "the open centre stays";
    EXPECT_EQ(shownAmount(first), "60元");
    EXPECT_EQ(text(TVNewPayVC::orderState().fullAmount), "60") << "and keeps its purchase";
    EXPECT_EQ(text(TVNewPayVC::orderState().cpExtend), "order-A");
    EXPECT_TRUE(log.contains("payment centre: busy; the payment of 30 yuan (order-C) waits its turn"));
    EXPECT_EQ(server.requestsTo("pay/getPayWayios"), 1);

    // Closed unpaid: nothing is reported; the call refused by the amount
    // check lets the next one go.
    first->popAction();
    auto third = shownCentre();
    ASSERT_TRUE(third);
    EXPECT_NE(third, first);
    EXPECT_TRUE(log.contains("screen: toast: 金额格式异常"));
    EXPECT_EQ(shownAmount(third), "30元");
    EXPECT_EQ(text(TVNewPayVC::orderState().cpExtend), "order-C");
    EXPECT_FALSE(ballShown());
    EXPECT_TRUE(heard.empty());

    ASSERT_TRUE(driver.tap(third->payBtn.lock()));
    env.fastForwardBy(1);
    EXPECT_EQ(heard, (pay_test::Heard{"C success 支付成功 30"}));
    EXPECT_FALSE(root->presentedViewController());
    EXPECT_TRUE(ballShown());
}

TEST_F(PurchaseHoldTest, AFailedPaymentKeepsItsCentreAndItsPurchaseForTheRetry) {
    enter("A", "60");
    auto first = shownCentre();
    ASSERT_TRUE(first);
    enter("B", "6");
    ASSERT_TRUE(driver.tap(first->payBtn.lock()));
    env.fastForwardBy(1);
    EXPECT_EQ(heard, (pay_test::Heard{"A failure 平台币不足 2 60"}));
    EXPECT_EQ(shownCentre(), first) << "still open for a retry, the second call waiting";

    ASSERT_TRUE(driver.tap(first->djqIconBtn.lock()));
    ASSERT_TRUE(driver.tap(first->payBtn.lock()));
    env.fastForwardBy(1);
    EXPECT_EQ(heard, (pay_test::Heard{"A failure 平台币不足 2 60", "A success 支付成功 60"}));
    auto second = shownCentre();
    ASSERT_TRUE(second);
    EXPECT_NE(second, first);
    EXPECT_EQ(shownAmount(second), "6元");
}

TEST_F(PurchaseHoldTest, ALogoutDropsTheWaitingCallsUnopened) {
    enter("A", "60");
    auto first = shownCentre();
    ASSERT_TRUE(first);
    enter("B", "6");
    ns::LogCapture log;
    TVNewPayVC::dropWaitingPurchases("logout");
    EXPECT_TRUE(log.contains("payment centre: logout; the waiting payment of 6 yuan (order-B) is dropped"));
    first->popAction();
    env.fastForwardBy(2);
    EXPECT_FALSE(root->presentedViewController());
    EXPECT_EQ(server.requestsTo("pay/getPayWayios"), 1);
    EXPECT_TRUE(heard.empty());
    EXPECT_TRUE(ballShown());

    // Nothing holds any more: the next purchase opens at once.
    enter("C", "30");
    auto next = shownCentre();
    ASSERT_TRUE(next);
    EXPECT_EQ(shownAmount(next), "30元");
}

TEST_F(PurchaseHoldTest, TheCentreOpensOverAScreenTheGameShows) {
    auto dialog = gameDialog();
    enter("A", "9.99");
    auto centre = shownCentre();
    ASSERT_TRUE(centre);
    EXPECT_EQ(centre->navigationController()->presentingViewController(), dialog);
    EXPECT_FALSE(ballShown());
    ASSERT_TRUE(driver.tap(centre->payBtn.lock()));
    env.fastForwardBy(1);
    EXPECT_EQ(heard, (pay_test::Heard{"A success 支付成功 9.99"}));
    EXPECT_EQ(root->presentedViewController(), dialog) << "the game's screen stays";
    EXPECT_FALSE(dialog->presentedViewController());
    EXPECT_TRUE(ballShown());
}

TEST_F(PurchaseHoldTest, ACentreTakenDownWithTheScreenUnderItLetsTheNextCallOpen) {
    auto dialog = gameDialog();
    enter("A", "60");
    auto first = shownCentre();
    ASSERT_TRUE(first);
    enter("B", "6");
    root->dismissViewController(true);
    auto second = shownCentre();
    ASSERT_TRUE(second);
    EXPECT_NE(second, first);
    EXPECT_EQ(second->navigationController()->presentingViewController(), root);
    EXPECT_EQ(shownAmount(second), "6元");
    EXPECT_TRUE(heard.empty()) << "taken down unpaid, like a close";
}

TEST_F(PurchaseHoldTest, WithNoScreenToOpenFromTheBallComesBackAndTheGameHearsOfIt) {
    window->setHidden(true);
    ns::LogCapture log;
    enter("A", "6");
    env.fastForwardBy(1);
    EXPECT_EQ(heard, (pay_test::Heard{"A failure 无法打开充值中心 1 6"}));
    EXPECT_TRUE(log.contains("payment centre: no screen to open it from; the payment of 6 yuan (order-A) fails"));
    EXPECT_TRUE(ballShown());
    EXPECT_FALSE(root->presentedViewController());

    // Nothing holds: with the game's screen back, the next purchase opens.
    window->makeKeyAndVisible();
    enter("B", "30");
    auto centre = shownCentre();
    ASSERT_TRUE(centre);
    EXPECT_EQ(shownAmount(centre), "30元");
}

}  // namespace
