// The payment centre against the stand-in: the amount gate, the pay ways and
// their reply checks, the discount, voucher and coin arithmetic, and the
// coin, voucher and free orders.

#include <optional>
#include <string>
#include <vector>

#include "channel/NetWorkManager.h"
#include "channel/ShareVale.h"
#include "channel/pay/TVCouponsCell.h"
#include "channel/pay/TVCouponsVC.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Null.h"
#include "platform/uikit/AttributedText.h"
#include "platform/uikit/Window.h"
#include "pay_test_support.h"

namespace {

using pay_test::PayTest;

ns::Id row(const char* code) {
    return ns::Dictionary::make({{"z", ns::str(code)}});
}

class PaymentCentreTest : public PayTest {
protected:
    // A pay-way reply with the given rows and discount.
    ns::Id ways(std::vector<ns::Id> rows, const char* discount = "1") {
        std::vector<ns::Id> list(rows.begin(), rows.end());
        return ns::Dictionary::make({{"code", ns::str("1")}, {"data", ns::Array::make(list)},
                                     {"ttb", ns::str("500")}, {"djq", ns::str("100")},
                                     {"discount", ns::str(discount)}});
    }
    // What the centre's navigation presents (the voucher picker).
    static ns::Ref<ui::ViewController> presentedOver(const ns::Ref<TVNewPayVC>& centre) {
        auto navigation = centre->navigationController();
        return navigation ? navigation->presentedViewController() : nullptr;
    }
    // The voucher picker, opened for a wallet payment.
    ns::Ref<TVCouponsVC> openVoucherPicker(const ns::Ref<TVNewPayVC>& centre) {
        if (!driver.tap(centre->quipayIconBtn.lock()) || !driver.tap(centre->couponsBtn.lock())) return nullptr;
        env.fastForwardBy(1);
        return ns::cast<TVCouponsVC>(presentedOver(centre));
    }
    bool toasted(const ns::LogCapture& log, const std::string& text) {
        return log.contains("screen: toast: " + text);
    }
    // Pays with the centre's selected way while the stand-in holds the
    // order's reply back 3 s, closes the centre meanwhile and lets go of it
    // (`centre` is reset); false when the centre outlived that. The reply still has 2 s to come.
    bool payAndCloseBeforeTheReply(ns::Ref<TVNewPayVC>& centre, const std::string& endpoint) {
        server.delays().setDelay(endpoint, 3);
        int sent = server.requestsTo(endpoint);
        if (!driver.tap(centre->payBtn.lock())) return false;
        if (!server.delays().waitForRequests(endpoint, sent + 1, 10)) return false;
        ns::Weak<TVNewPayVC> weak = centre;
        centre->popAction();
        centre.reset();
        env.advanceClockWhileInFlight(1);
        env.runReadyWhileInFlight();
        return !weak.lock() && !root->presentedViewController();
    }
};

TEST_F(PaymentCentreTest, OnlyADecimalAmountOpensTheCentre) {
    for (std::string bad : {"6元", "", ".", "1.2.3", "-1"}) {
        ns::LogCapture log;
        EXPECT_FALSE(open(bad)) << bad;
        EXPECT_TRUE(toasted(log, "金额格式异常")) << bad;
    }
    EXPECT_TRUE(ballShown()) << "the ball stays";
    EXPECT_EQ(server.requestsTo("pay/getPayWayios"), 0);
    auto centre = open("6.00");
    ASSERT_TRUE(centre);
    EXPECT_FALSE(ballShown()) << "hidden while the centre is open";
    EXPECT_EQ(server.requestsTo("pay/getPayWayios"), 1);
    EXPECT_TRUE(heard.empty());
    EXPECT_FALSE(centre->shouldAutorotate());
}

TEST_F(PaymentCentreTest, DecimalArithmeticRoundsDownAndNeverRaises) {
    auto calc = [](const char* a, const char* b, const char* way) {
        return TVNewPayVC::calculateMoney(ns::str(a), ns::str(b), way)->utf8();
    };
    EXPECT_EQ(calc("10", "0.900000", "*"), "9");
    EXPECT_EQ(calc("7", "0.800000", "*"), "5.6");
    EXPECT_EQ(calc("12", "5", "-"), "7");
    EXPECT_EQ(calc("9.99", "0.333333", "*"), "3.32") << "down to the cent";
    EXPECT_EQ(calc("5", "20", "-"), "-15");
    EXPECT_EQ(calc("6", "1", "/"), "(null)");
    // No amount makes it raise.
    EXPECT_EQ(calc("abc", "1", "*"), "NaN");
    EXPECT_EQ(calc("", "", "-"), "NaN");
    std::string huge(200, '9');
    EXPECT_NO_THROW(calc(huge.c_str(), huge.c_str(), "*"));
    EXPECT_NO_THROW(calc("1e127", "1e127", "*"));
    EXPECT_NO_THROW(calc("1e-127", "1e-127", "*"));
}

TEST_F(PaymentCentreTest, TheDiscountShowsThePriceToPayAndTheStruckFullAmount) {
    server.setDiscount("0.9");
    auto centre = open("10");
    ASSERT_TRUE(centre);
    EXPECT_FALSE(centre->hud()) << "hidden once the ways have come";
    EXPECT_EQ(centre->payStyle(), TVNewPayVC::Ptb) << "the first row's way";
    EXPECT_EQ(labelText(centre->realMoneyL), "90平台币");
    EXPECT_EQ(labelText(centre->remainPtbL), "（余额:500平台币）");
    EXPECT_EQ(labelText(centre->remainDjqL), "（余额:100元）");
    EXPECT_EQ(text(ShareVale::sharedInstance()->ptbValue()), "500");
    ASSERT_TRUE(driver.tap(centre->quipayIconBtn.lock()));
    EXPECT_EQ(centre->payStyle(), TVNewPayVC::QuipayH5);
    EXPECT_EQ(labelText(centre->realMoneyL), "9元");
    EXPECT_EQ(labelText(centre->discountL), "（9.0折）");
    EXPECT_EQ(labelText(centre->moneyL), "10元");
    auto struck = ui::AttributedText::from(centre->moneyL.lock()->attributedText());
    ASSERT_TRUE(struck);
    ASSERT_EQ(struck->runs().size(), 1u);
    EXPECT_TRUE(struck->runs()[0].attributes.count(ui::StrikethroughStyleAttributeName));
    EXPECT_EQ(labelText(centre->productNameL), "元宝");
    ASSERT_TRUE(driver.tap(centre->djqIconBtn.lock()));
    EXPECT_EQ(labelText(centre->realMoneyL), "10元");
    EXPECT_EQ(labelText(centre->discountL), "");
    EXPECT_TRUE(centre->djqIconBtn.lock()->isSelected());
    EXPECT_FALSE(centre->quipayIconBtn.lock()->isSelected());
}

TEST_F(PaymentCentreTest, TheCoinPriceRoundsUpTenCoinsAYuan) {
    auto centre = open("9.99");
    ASSERT_TRUE(centre);
    EXPECT_EQ(labelText(centre->realMoneyL), "100平台币");
    EXPECT_EQ(labelText(centre->discountL), "（10.0折）");
}

TEST_F(PaymentCentreTest, PayWayRepliesAreCheckedInOrder) {
    // Null vouchers stop before anything else, even a refusal.
    auto nullVouchers = ns::Dictionary::make({{"code", ns::str("0")}, {"msg", ns::str("拒绝")}, {"djq", ns::Null::null()}});
    server.setReply("pay/getPayWayios", nullVouchers);
    {
        ns::LogCapture log;
        auto centre = open("6");
        ASSERT_TRUE(centre);
        EXPECT_EQ(centre->payStyle(), 0u);
        EXPECT_FALSE(centre->hud());
        EXPECT_FALSE(toasted(log, "拒绝"));
        centre->popAction();
        env.fastForwardBy(1);
    }
    // No reply selects the wallet's web page.
    server.setReply("pay/getPayWayios", ns::Id());
    auto centre = open("6");
    ASSERT_TRUE(centre);
    EXPECT_EQ(centre->payStyle(), TVNewPayVC::QuipayH5);
    EXPECT_TRUE(centre->quipayIconBtn.lock()->isSelected());
    centre->popAction();
    env.fastForwardBy(1);
    // A refusal toasts its message and selects nothing.
    server.setReply("pay/getPayWayios", ns::Dictionary::make({{"code", ns::str("0")}, {"msg", ns::str("暂停充值")}}));
    {
        ns::LogCapture log;
        centre = open("6");
        EXPECT_TRUE(toasted(log, "暂停充值"));
        EXPECT_EQ(centre->payStyle(), 0u);
        centre->popAction();
        env.fastForwardBy(1);
    }
    // Data that is no list.
    server.setReply("pay/getPayWayios", ns::Dictionary::make({{"code", ns::str("1")}, {"data", ns::str("x")}}));
    {
        ns::LogCapture log;
        centre = open("6");
        EXPECT_TRUE(toasted(log, "数据格式错误"));
        EXPECT_EQ(centre->payStyle(), TVNewPayVC::QuipayH5);
        EXPECT_FALSE(centre->hud());
    }
}

TEST_F(PaymentCentreTest, TheSecondWalletAndWeChatCodesChooseTheirWaysAndMissingWaysFold) {
    server.setReply("pay/getPayWayios", ways({row("31"), row("2")}, "0"));
    auto centre = open("6");
    ASSERT_TRUE(centre);
    EXPECT_EQ(centre->firstSelected(), TVNewPayVC::GFQuipay);
    EXPECT_TRUE(centre->isQuipayTwo());
    EXPECT_EQ(centre->discount(), 1.0f) << "a discount of 0 is none";
    EXPECT_EQ(centre->GFQuipayViewH.lock()->constant(), 50);
    EXPECT_EQ(centre->quipayViewH.lock()->constant(), 50);
    for (auto* folded : {&centre->ptbViewH, &centre->wxViewH, &centre->djqViewH, &centre->GFWxViewH})
        EXPECT_EQ(folded->lock()->constant(), 0);
    centre->popAction();
    env.fastForwardBy(1);

    server.setReply("pay/getPayWayios", ways({row("32"), row("1"), row("3")}));
    centre = open("6");
    EXPECT_EQ(centre->payStyle(), TVNewPayVC::GFWx);
    EXPECT_TRUE(centre->isWxpayTwo());
    EXPECT_FALSE(centre->isQuipayTwo());
    EXPECT_EQ(centre->ptbViewH.lock()->constant(), 50) << "code 1's row";
    EXPECT_EQ(centre->wxViewH.lock()->constant(), 50) << "code 3's row";
    EXPECT_EQ(centre->quipayViewH.lock()->constant(), 0);
}

TEST_F(PaymentCentreTest, VouchersComeOffBeforeTheDiscount) {
    server.setDiscount("0.8");
    auto centre = open("12");
    ASSERT_TRUE(centre);
    {
        ns::LogCapture log;
        ASSERT_TRUE(driver.tap(centre->couponsBtn.lock()));
        EXPECT_TRUE(toasted(log, "该支付不支持优惠券")) << "coins take no voucher";
        ASSERT_TRUE(driver.tap(centre->djqIconBtn.lock()));
        ASSERT_TRUE(driver.tap(centre->couponsBtn.lock()));
        env.fastForwardBy(1);
        EXPECT_FALSE(presentedOver(centre)) << "nor the voucher balance";
    }
    ASSERT_TRUE(driver.tap(centre->quipayIconBtn.lock()));
    ASSERT_TRUE(driver.tap(centre->couponsBtn.lock()));
    env.fastForwardBy(1);
    auto picker = ns::cast<TVCouponsVC>(presentedOver(centre));
    ASSERT_TRUE(picker);
    EXPECT_EQ(text(picker->money), "12");
    EXPECT_EQ(picker->modalPresentationStyle(), ui::ModalPresentationStyle::Custom);
    EXPECT_EQ(picker->modalTransitionStyle(), ui::ModalTransitionStyle::CrossDissolve);
    ASSERT_EQ(picker->dataSource().size(), 3u);
    auto table = picker->tableView();
    auto cellAt = [&](int64_t index) {
        return ns::cast<TVCouponsCell>(table->cellForRowAtIndexPath(ui::IndexPath::forRow(index, 0)));
    };
    auto first = cellAt(0);
    ASSERT_TRUE(first);
    EXPECT_EQ(labelText(first->moneyL), "满10元可用");
    EXPECT_EQ(labelText(first->couponsL), "5元");
    EXPECT_EQ(labelText(first->showL), "通用券");
    EXPECT_EQ(labelText(cellAt(1)->showL), "专用券");
    auto expired = cellAt(2);
    ASSERT_TRUE(expired);
    EXPECT_FALSE(expired->btn.lock()->isEnabled()) << "a voucher not usable now";

    ASSERT_TRUE(driver.tap(first->btn.lock()));
    env.fastForwardBy(1);
    EXPECT_FALSE(presentedOver(centre)) << "the picker closes";
    EXPECT_EQ(labelText(centre->realMoneyL), "5.6元");
    EXPECT_EQ(text(centre->couponsBtn.lock()->titleForState(ui::ControlStateNormal)), "满10减5");
    EXPECT_EQ(text(TVNewPayVC::orderState().voucherId), "7");
    EXPECT_EQ(text(TVNewPayVC::orderState().discountedAmount), "9.6") << "the voucher leaves it";

    // A voucher larger than the amount leaves nothing to pay.
    ASSERT_TRUE(driver.tap(centre->couponsBtn.lock()));
    env.fastForwardBy(1);
    picker = ns::cast<TVCouponsVC>(presentedOver(centre));
    ASSERT_TRUE(picker);
    ASSERT_TRUE(driver.tap(ns::cast<TVCouponsCell>(picker->tableView()->cellForRowAtIndexPath(
                                                      ui::IndexPath::forRow(1, 0)))->btn.lock()));
    env.fastForwardBy(1);
    EXPECT_EQ(labelText(centre->realMoneyL), "0元");
    EXPECT_EQ(text(TVNewPayVC::orderState().currentAmount), "0");
}

TEST_F(PaymentCentreTest, AVoucherListTheServerRefusesStaysEmptyAndASecondLoadAppends) {
    auto centre = open("12");
    auto picker = openVoucherPicker(centre);
    ASSERT_TRUE(picker);
    ASSERT_EQ(picker->dataSource().size(), 3u);
    picker->loadData();
    env.runUntilIdle();
    EXPECT_EQ(picker->dataSource().size(), 6u) << "earlier rows stay";
    EXPECT_EQ(picker->tableView()->numberOfRowsInSection(0), 6);
    picker->doCancel();
    env.fastForwardBy(1);
    EXPECT_FALSE(presentedOver(centre));

    server.setReply("pay/getcoupons", ns::Dictionary::make({{"code", ns::num(0)}, {"data", ns::Array::make({})}}));
    ASSERT_TRUE(driver.tap(centre->couponsBtn.lock()));
    env.fastForwardBy(1);
    picker = ns::cast<TVCouponsVC>(presentedOver(centre));
    ASSERT_TRUE(picker);
    EXPECT_TRUE(picker->dataSource().empty());
    EXPECT_EQ(text(TVNewPayVC::orderState().voucherId), "(nil)") << "nothing chosen";
}

TEST_F(PaymentCentreTest, AVoucherWithoutANameShowsNoNameAndANumberItsDigits) {
    auto voucher = [](const char* cid, std::optional<ns::Id> name) {
        std::vector<ns::Dictionary::Entry> fields = {{"cid", ns::str(cid)},       {"pay_money", ns::num(10)},
                                                     {"coupon_money", ns::num(5)}, {"av_time", ns::str("2024-12-31")},
                                                     {"av", ns::str("1")},         {"gid", ns::num(0)}};
        if (name) fields.push_back({"coupon_name", *name});
        return ns::Dictionary::make(fields);
    };
    server.setReply("pay/getcoupons",
                    ns::Dictionary::make({{"code", ns::str("1")},
                                          {"data", ns::Array::make({voucher("1", std::nullopt),
                                                                    voucher("2", ns::Null::null()),
                                                                    voucher("3", ns::num(618)),
                                                                    voucher("4", ns::str("新人券"))})}}));
    auto picker = openVoucherPicker(open("12"));
    ASSERT_TRUE(picker);
    ASSERT_EQ(picker->dataSource().size(), 4u);
    std::vector<std::string> names;
    for (int64_t index = 0; index < 4; ++index) {
        auto cell = ns::cast<TVCouponsCell>(picker->tableView()->cellForRowAtIndexPath(ui::IndexPath::forRow(index, 0)));
        ASSERT_TRUE(cell);
        auto shown = cell->nameL.lock()->text();
        names.push_back(shown ? shown->utf8() : "");
        EXPECT_EQ(labelText(cell->couponsL), "5元") << "the rest of the row stays";
    }
    EXPECT_EQ(names, (std::vector<std::string>{"", "", "618", "新人券"}));
}

TEST_F(PaymentCentreTest, ACoinOrderPaysFromTheBalanceReportsAndCloses) {
    auto centre = open("9.99");
    ASSERT_TRUE(centre);
    ASSERT_EQ(centre->payStyle(), TVNewPayVC::Ptb);
    ASSERT_TRUE(driver.tap(centre->payBtn.lock()));
    EXPECT_FALSE(centre->payBtn.lock()->isEnabled()) << "one order at a time";
    env.fastForwardBy(1);
    EXPECT_EQ(heard, (pay_test::Heard{"success 支付成功 9.99"}));
    EXPECT_EQ(server.coinsOf("player1"), sandbox::ChannelServer::kKnownCoins - 100);
    EXPECT_FALSE(root->presentedViewController()) << "closed";
    EXPECT_TRUE(ballShown()) << "back once it has closed";
    EXPECT_FALSE(TVNewPayVC::orderState().currentAmount);
    EXPECT_EQ(text(TVNewPayVC::orderState().fullAmount), "9.99");
}

TEST_F(PaymentCentreTest, ACoinOrderTheBalanceCannotCoverReportsTheServersCode) {
    ns::LogCapture log;
    auto centre = open("60");
    ASSERT_TRUE(centre);
    ASSERT_TRUE(driver.tap(centre->payBtn.lock()));
    env.fastForwardBy(1);
    EXPECT_EQ(heard, (pay_test::Heard{"failure 平台币不足 2 60"}));
    EXPECT_TRUE(toasted(log, "平台币不足"));
    EXPECT_TRUE(centre->payBtn.lock()->isEnabled());
    EXPECT_TRUE(root->presentedViewController()) << "still open";
}

TEST_F(PaymentCentreTest, AVoucherOrderPaysTheFullAmountFromTheVoucherBalance) {
    auto centre = open("30");
    ASSERT_TRUE(driver.tap(centre->djqIconBtn.lock()));
    ASSERT_TRUE(driver.tap(centre->payBtn.lock()));
    env.fastForwardBy(1);
    EXPECT_EQ(heard, (pay_test::Heard{"success 支付成功 30"}));
    EXPECT_FALSE(root->presentedViewController());
}

TEST_F(PaymentCentreTest, OrderCodeElevenIsAFreePayment) {
    server.setDiscount("0.5");
    auto centre = open("10");
    ASSERT_TRUE(centre);
    // The voucher of 20 leaves nothing to pay: the server answers 11.
    ASSERT_TRUE(driver.tap(centre->quipayIconBtn.lock()));
    ASSERT_TRUE(driver.tap(centre->couponsBtn.lock()));
    env.fastForwardBy(1);
    auto picker = ns::cast<TVCouponsVC>(presentedOver(centre));
    ASSERT_TRUE(picker);
    ASSERT_TRUE(driver.tap(ns::cast<TVCouponsCell>(picker->tableView()->cellForRowAtIndexPath(
                                                      ui::IndexPath::forRow(1, 0)))->btn.lock()));
    env.fastForwardBy(1);
    ASSERT_TRUE(driver.tap(centre->payBtn.lock()));
    env.fastForwardBy(1);
    EXPECT_EQ(noticeShown(centre), "支付成功");
    EXPECT_TRUE(heard.empty()) << "the player closes the card first";
    EXPECT_TRUE(centre->payBtn.lock()->isEnabled());
    ASSERT_TRUE(driver.tap(centre->noticeView()->cancelBtn.lock()));
    env.fastForwardBy(1);
    EXPECT_EQ(heard, (pay_test::Heard{"success 支付成功 10"}));
    EXPECT_FALSE(centre->coverView()->superview());
    EXPECT_FALSE(root->presentedViewController());
}

TEST_F(PaymentCentreTest, AWebOrderTheServerRefusesReportsCodeThree) {
    server.setReply("H5pay/pay", ns::Dictionary::make({{"z", ns::str("0")}, {"b", ns::str("下单失败")}}));
    ns::LogCapture log;
    auto centre = open("6");
    ASSERT_TRUE(driver.tap(centre->wxIconBtn.lock()));
    ASSERT_TRUE(driver.tap(centre->payBtn.lock()));
    env.fastForwardBy(1);
    EXPECT_EQ(heard, (pay_test::Heard{"failure 无法通知服务器 3 6"}));
    EXPECT_TRUE(toasted(log, "下单失败"));
    EXPECT_TRUE(centre->payBtn.lock()->isEnabled());
}

TEST_F(PaymentCentreTest, ACoinOrderPaidAfterTheCentreHasGoneReachesItsOwnPurchaseOnce) {
    auto centre = open("9.99");
    ASSERT_TRUE(centre);
    ASSERT_EQ(centre->payStyle(), TVNewPayVC::Ptb);
    ASSERT_TRUE(payAndCloseBeforeTheReply(centre, "Ttbpay/ttbnew"));
    // A second purchase begins before the first one's reply comes.
    pay_test::Heard second;
    TVNewPayVC::loadToPayVCWithroleid(
        ns::str("role9"), ns::str("s1"), ns::str("20"), ns::str("ext"), ns::str("礼包"), ns::str("20元礼包"),
        [&](const ns::Ref<ns::String>& t, const ns::Ref<ns::String>&) { second.push_back("success " + text(t)); },
        [&](const ns::Ref<ns::String>& t, const ns::Id&, const ns::Ref<ns::String>&) {
            second.push_back("failure " + text(t));
        });
    env.advanceClockWhileInFlight(2);
    env.runUntilIdle();
    env.fastForwardBy(1);
    EXPECT_EQ(heard, (pay_test::Heard{"success 支付成功 9.99"}));
    EXPECT_TRUE(second.empty());
    EXPECT_EQ(server.coinsOf("player1"), sandbox::ChannelServer::kKnownCoins - 100);
    EXPECT_EQ(server.requestsTo("Ttbpay/ttbnew"), 1);
}

TEST_F(PaymentCentreTest, RefusedAndFreeOrdersAfterTheCentreHasGoneStillReachTheGame) {
    struct Case {
        const char* money;
        ns::Weak<ui::Button> TVNewPayVC::*way;
        const char* endpoint;
        std::optional<ns::Id> reply;
        std::string heard;
    } cases[] = {
        {"60", &TVNewPayVC::ptbIconBtn, "Ttbpay/ttbnew", std::nullopt, "failure 平台币不足 2 60"},
        {"6", &TVNewPayVC::quipayIconBtn, "H5pay/pay",
         ns::Dictionary::make({{"z", ns::str("0")}, {"b", ns::str("下单失败")}}), "failure 无法通知服务器 3 6"},
        {"6", &TVNewPayVC::quipayIconBtn, "H5pay/pay",
         ns::Dictionary::make({{"z", ns::str("11")}, {"b", ns::str("无需支付")}}), "success 支付成功 6"},
    };
    for (const auto& c : cases) {
        heard.clear();
        server.setReply(c.endpoint, c.reply);
        auto centre = open(c.money);
        ASSERT_TRUE(centre);
        ASSERT_TRUE(driver.tap(((*centre).*c.way).lock()));
        ASSERT_TRUE(payAndCloseBeforeTheReply(centre, c.endpoint)) << c.heard;
        env.advanceClockWhileInFlight(2);
        env.runUntilIdle();
        EXPECT_EQ(heard, (pay_test::Heard{c.heard}));
    }
}

}  // namespace
