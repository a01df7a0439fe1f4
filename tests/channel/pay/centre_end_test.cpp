// The centre's end takes every screen it opened with it: closed by a paid
// order, by the card's tap or by the player, it leaves nothing of itself over
// the game, the game hears once, and the next purchase opens. While an order
// is out the way and the voucher stay as they were sent.

#include "channel/pay/TVCouponsCell.h"
#include "channel/pay/TVCouponsVC.h"
#include "platform/foundation/Log.h"
#include "purchase_road_support.h"

namespace {

class CentreEndTest : public pay_test::PurchaseRoadTest {
protected:
    // What the centre's navigation presents (the voucher picker).
    static ns::Ref<TVCouponsVC> picker(const ns::Ref<TVNewPayVC>& centre) {
        auto navigation = centre->navigationController();
        return navigation ? ns::cast<TVCouponsVC>(navigation->presentedViewController()) : nullptr;
    }
    // Purchase "A"'s centre with the web way chosen and the voucher picker
    // up over it; nil when the picker did not come up.
    ns::Ref<TVNewPayVC> centreWithPicker() {
        auto centre = openOverDialog("A");
        if (!centre || !driver.tap(centre->quipayIconBtn.lock()) || !driver.tap(centre->couponsBtn.lock()))
            return nullptr;
        env.fastForwardBy(1);
        return picker(centre) ? centre : nullptr;
    }
    // While the order's reply is held back, the player taps the web way and
    // the voucher button: neither changes the order.
    void tapWayAndVoucher(const ns::Ref<TVNewPayVC>& centre, uint64_t style) {
        ns::LogCapture log;
        ASSERT_TRUE(driver.tap(centre->quipayIconBtn.lock()));
        ASSERT_TRUE(driver.tap(centre->couponsBtn.lock()));
        env.advanceClockWhileInFlight(1);
        env.runReadyWhileInFlight();
        EXPECT_EQ(centre->payStyle(), style) << "the way the order was sent with";
        EXPECT_FALSE(picker(centre)) << "no voucher picker over the centre";
        EXPECT_TRUE(log.contains("payment centre: an order of the payment of 6 yuan is still being confirmed; the pay "
                                 "way is not changed"));
        EXPECT_TRUE(log.contains("payment centre: an order of the payment of 6 yuan is still being confirmed; no "
                                 "voucher is taken"));
    }
    // The held-back reply comes.
    void releaseReply(double heldBack) {
        env.advanceClockWhileInFlight(heldBack);
        env.runUntilIdle();
        env.fastForwardBy(1);
    }
    // Nothing of the centre is left over the game, and the next purchase
    // opens.
    void expectGoneAndNextOpens() {
        EXPECT_EQ(shown(), "game");
        EXPECT_FALSE(dialog->presentedViewController());
        EXPECT_TRUE(nextOpens());
    }
};

TEST_F(CentreEndTest, ACoinOrderPaidAfterTheWayAndTheVoucherWereTappedClosesTheCentre) {
    auto centre = openOverDialog("A");
    ASSERT_TRUE(centre);
    ASSERT_EQ(centre->payStyle(), TVNewPayVC::Ptb);
    ASSERT_TRUE(sendHeldBack(centre, "Ttbpay/ttbnew", 3));
    tapWayAndVoucher(centre, TVNewPayVC::Ptb);
    releaseReply(3);
    EXPECT_EQ(heard, (pay_test::Heard{"A success 支付成功 6"}));
    expectGoneAndNextOpens();
    EXPECT_EQ(heard.size(), 1u);
}

TEST_F(CentreEndTest, AFreeOrdersCardTappedAfterTheVoucherButtonClosesTheCentre) {
    server.setReply("H5pay/pay", ns::Dictionary::make({{"z", ns::str("11")}, {"b", ns::str("无需支付")}}));
    auto centre = openOverDialog("A");
    ASSERT_TRUE(centre);
    ASSERT_TRUE(driver.tap(centre->quipayIconBtn.lock()));
    ASSERT_TRUE(sendHeldBack(centre, "H5pay/pay", 3));
    tapWayAndVoucher(centre, TVNewPayVC::QuipayH5);
    releaseReply(3);
    ASSERT_EQ(noticeShown(centre), "支付成功");
    ASSERT_TRUE(driver.tap(centre->noticeView()->cancelBtn.lock()));
    env.fastForwardBy(1);
    EXPECT_EQ(heard, (pay_test::Heard{"A success 支付成功 6"}));
    expectGoneAndNextOpens();
}

// The picker up over the centre when the centre closes goes with it.
TEST_F(CentreEndTest, TheCentreClosedUnderItsVoucherPickerTakesThePickerWithIt) {
    auto centre = centreWithPicker();
    ASSERT_TRUE(centre);
    centre->popAction();
    env.fastForwardBy(1);
    EXPECT_TRUE(heard.empty());
    expectGoneAndNextOpens();
}

// The order is sent (the pay button's action) while the picker is up: a
// voucher chosen then is not the order's, and is not taken.
TEST_F(CentreEndTest, AVoucherChosenOnceTheOrderIsOutIsNotTaken) {
    auto centre = centreWithPicker();
    ASSERT_TRUE(centre);
    auto shownPicker = picker(centre);
    server.delays().setDelay("H5pay/pay", 3);
    centre->doPay();
    ASSERT_TRUE(server.delays().waitForRequests("H5pay/pay", 1, 10));
    auto cell = ns::cast<TVCouponsCell>(shownPicker->tableView()->cellForRowAtIndexPath(ui::IndexPath::forRow(0, 0)));
    ASSERT_TRUE(cell);
    ns::LogCapture log;
    ASSERT_TRUE(driver.tap(cell->btn.lock()));
    EXPECT_FALSE(TVNewPayVC::orderState().voucherId);
    EXPECT_EQ(labelText(centre->realMoneyL), "6元");
    EXPECT_TRUE(log.contains("payment centre: an order of the payment of 6 yuan is still being confirmed; the "
                             "voucher chosen is not taken"));
    releaseReply(3);
}

}  // namespace
