// The payment screens' window trees on the 375 x 667 phone upright and on
// its side, against the expectations in dumps/ (frames, texts, hidden
// views): the centre with its pay ways, the voucher picker over it, and the
// result card. Run with CHANNEL_SCREENS_UPDATE_DUMPS=1 to write them anew
// after a deliberate change of a scene, and read the difference before
// committing it.

#include "channel/pay/TVCouponsVC.h"
#include "pay_test_support.h"

namespace {

struct Orientation {
    bool landscape;
    const char* suffix;
};

class PayScreenDumpTest : public pay_test::PayTest, public ::testing::WithParamInterface<Orientation> {
protected:
    PayScreenDumpTest() {
        useClassicPhone(GetParam().landscape);
        server.setDiscount("0.8");
    }

    void expectDump(const std::string& name) {
        screens_test::expectDump(window, std::string(PAY_SCREENS_DUMPS) + "/" + name + "-" + GetParam().suffix + ".txt");
    }
};

TEST_P(PayScreenDumpTest, PaymentCentreVoucherPickerAndResultCard) {
    auto centre = open("12");
    ASSERT_TRUE(centre);
    expectDump("payment-centre");

    ASSERT_TRUE(driver.tap(centre->quipayIconBtn.lock()));
    ASSERT_TRUE(driver.tap(centre->couponsBtn.lock()));
    env.fastForwardBy(1);
    expectDump("voucher-picker");

    auto picker = ns::cast<TVCouponsVC>(centre->navigationController()->presentedViewController());
    ASSERT_TRUE(picker);
    picker->doCancel();
    env.fastForwardBy(1);
    centre->payWithFree();
    env.runUntilIdle();
    expectDump("result-card");
}

INSTANTIATE_TEST_SUITE_P(Phone, PayScreenDumpTest,
                         ::testing::Values(Orientation{false, "375x667"}, Orientation{true, "667x375"}),
                         [](const auto& info) { return std::string(info.param.landscape ? "Landscape" : "Portrait"); });

}  // namespace
