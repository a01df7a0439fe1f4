// The pay API end to end against the channel API stand-in: each order's
// exact keys, the outcomes by reply code, balances and the unreachable
// server's texts.

#ifdef CHANNEL_TESTS_WITH_SANDBOX

#include <optional>
#include <set>

#include "channel/NSObject+TVPayAPI.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Text.h"
#include "sandbox/FormFields.h"
#include "stand_in_support.h"

namespace {

using channel_test::StandInTest;
using namespace TVPayAPI;

using Keys = std::vector<std::string>;

std::optional<std::string> textOf(const ns::Ref<ns::String>& text) {
    return text ? std::optional<std::string>(text->utf8()) : std::nullopt;
}

Keys keysOf(const ns::Ref<ns::Dictionary>& dictionary) {
    Keys keys;
    if (dictionary)
        dictionary->enumerateKeysAndObjectsUsingBlock(
            [&](const ns::Id& key, const ns::Id&, bool&) { keys.push_back(ns::textOf(key)); });
    return keys;
}

Order order(std::string money, std::string realMoney) {
    Order o;
    o.money = ns::str(money);
    o.realMoney = ns::str(realMoney);
    o.cid = ns::str("");
    o.orderNumber = ns::str("17040672000001234");
    o.discount = ns::str("1.00");
    o.payType = ns::str("h5");
    o.roleId = ns::str("r1");
    o.serverId = ns::str("s1");
    o.productName = ns::str("60元宝");
    o.productDesc = ns::str("元宝");
    o.cpExtend = ns::str("cp-1");
    return o;
}

const Keys kSchemeA{"z", "p", "xx", "b", "cid", "c", "d", "e", "f", "x", "y", "j", "k", "tr", "h", "l", "n", "os"};

class PayAPITest : public StandInTest {
protected:
    PayAPITest() {
        auto vale = ShareVale::sharedInstance();
        vale->setUserName(ns::str("player1"));
        vale->setSubUserName(ns::str("player1_1"));
    }
};

TEST_F(PayAPITest, AWebPageOrderSendsSchemeAAndGetsItsPageAddress) {
    ns::Ref<NotifyServer> notify;
    std::optional<std::string> message;
    doH5Pay(order("6", "6"), [&](const ns::Ref<NotifyServer>& n) { notify = n; },
            [&](const ns::Ref<ns::String>& m) { message = textOf(m); });
    env.runUntilIdle();
    ASSERT_TRUE(notify) << message.value_or("(nil)");
    EXPECT_NE(ns::textOf(notify->url).find("/sdkapicoupon/h5pay?order="), std::string::npos);
    EXPECT_EQ(ns::textOf(notify->messge), "下单成功");
    auto sent = lastRequest("H5pay/pay");
    EXPECT_EQ(keysOf(sent), kSchemeA);
    EXPECT_EQ(ns::textOf(sent->objectForKey("z")), "h5");
    EXPECT_EQ(ns::textOf(sent->objectForKey("c")), "player1");
    EXPECT_EQ(ns::textOf(sent->objectForKey("h")), channel_test::kIDFA);
    EXPECT_EQ(ns::textOf(sent->objectForKey("tr")), "player1_1");
    EXPECT_EQ(ns::textOf(sent->objectForKey("os")), "ios");

    Order withoutVoucher = order("6", "6");
    withoutVoucher.cid = nullptr;
    doH5Pay(withoutVoucher, [](const ns::Ref<NotifyServer>&) {}, [](const ns::Ref<ns::String>&) {});
    env.runUntilIdle();
    auto keys = keysOf(lastRequest("H5pay/pay"));
    EXPECT_EQ(std::count(keys.begin(), keys.end(), "cid"), 0) << "a nil value leaves its key out";
}

TEST_F(PayAPITest, CodeElevenOnWebWalletAndWeChatOrdersEndsInFailureEleven) {
    std::vector<std::optional<std::string>> messages;
    auto failed = [&](const ns::Ref<ns::String>& m) { messages.push_back(textOf(m)); };
    doH5Pay(order("6", "0"), [](const ns::Ref<NotifyServer>&) { FAIL(); }, failed);
    doWxPay(order("6", "0"), ns::str("wxh5/h5pay"), [](const ns::Ref<NotifyServer>&) { FAIL(); }, failed);
    env.runUntilIdle();
    doQuipayAppPay(order("6", "0"), ns::str("Quipayapp/apppayios"), [](const ns::Ref<QuipayInfo>&) { FAIL(); },
                   failed);
    env.runUntilIdle();
    EXPECT_EQ(messages, (std::vector<std::optional<std::string>>{"11", "11", "11"}));
}

TEST_F(PayAPITest, WeChatAndWalletOrders) {
    ns::Ref<NotifyServer> notify;
    doWxPay(order("6", "6"), ns::str("Wxh5other/h5pay"), [&](const ns::Ref<NotifyServer>& n) { notify = n; },
            [](const ns::Ref<ns::String>&) { FAIL(); });
    env.runUntilIdle();
    ASSERT_TRUE(notify);
    EXPECT_NE(ns::textOf(notify->url).find("wxpay?order="), std::string::npos);
    EXPECT_EQ(keysOf(lastRequest("Wxh5other/h5pay")), kSchemeA);
    EXPECT_EQ(ns::textOf(lastRequest("Wxh5other/h5pay")->objectForKey("z")), "wx");

    ns::Ref<QuipayInfo> wallet;
    doQuipayAppPay(order("6", "6"), ns::str("Quipayappother/apppayios"),
                   [&](const ns::Ref<QuipayInfo>& info) { wallet = info; }, [](const ns::Ref<ns::String>&) { FAIL(); });
    env.runUntilIdle();
    ASSERT_TRUE(wallet);
    EXPECT_NE(ns::textOf(wallet->signStr).find("order_no="), std::string::npos);
    auto form = sandbox::FormFields::parse(server.http().requests().back().body);
    std::set<std::string> sent;
    for (const auto& [name, value] : form.entries()) sent.insert(name);
    EXPECT_EQ(sent, std::set<std::string>(kSchemeA.begin(), kSchemeA.end()));
    EXPECT_EQ(form.value("z"), "zfb");
}

TEST_F(PayAPITest, CoinsAndVouchersPayFromTheBalance) {
    ns::Ref<PtbPay> paid;
    doPtbPay(order("60", "50"), [&](const ns::Ref<PtbPay>& p) { paid = p; },
             [](const ns::Ref<ns::String>&, const ns::Ref<ns::String>&) { FAIL(); });
    env.runUntilIdle();
    ASSERT_TRUE(paid);
    EXPECT_FALSE(ns::textOf(paid->orderID).empty());
    auto sent = lastRequest("Ttbpay/ttbnew");
    EXPECT_EQ(keysOf(sent),
              (Keys{"z", "p", "xx", "b", "cid", "c", "d", "e", "f", "x", "h", "j", "k", "l", "y", "tr", "os"}));
    EXPECT_EQ(ns::textOf(sent->objectForKey("p")), "60");
    EXPECT_EQ(ns::textOf(sent->objectForKey("b")), "50");
    EXPECT_EQ(ns::textOf(sent->objectForKey("c")), channel_test::kIDFA);
    EXPECT_EQ(ns::textOf(sent->objectForKey("f")), "player1");
    EXPECT_EQ(server.coinsOf("player1"), sandbox::ChannelServer::kKnownCoins - 50);

    std::optional<std::string> message, code;
    doPtbPay(order("6000", "6000"), [](const ns::Ref<PtbPay>&) { FAIL(); },
             [&](const ns::Ref<ns::String>& m, const ns::Ref<ns::String>& c) { message = textOf(m), code = textOf(c); });
    env.runUntilIdle();
    EXPECT_EQ(message, "平台币不足");
    EXPECT_EQ(code, "2");

    ns::Ref<DiscountPayWay> voucher;
    doDjqPay(order("30", "30"), [&](const ns::Ref<DiscountPayWay>& v) { voucher = v; },
             [](const ns::Ref<ns::String>&, const ns::Ref<ns::String>&) { FAIL(); });
    env.runUntilIdle();
    ASSERT_TRUE(voucher);
    sent = lastRequest("Ttbpay/djqpay");
    EXPECT_EQ(keysOf(sent), (Keys{"z", "b", "c", "d", "e", "f", "x", "h", "j", "k", "l", "y", "tr", "os"}));
    EXPECT_EQ(ns::textOf(sent->objectForKey("b")), "30");

    pointAtNothing();
    doPtbPay(order("6", "6"), [](const ns::Ref<PtbPay>&) { FAIL(); },
             [&](const ns::Ref<ns::String>& m, const ns::Ref<ns::String>& c) { message = textOf(m), code = textOf(c); });
    env.runUntilIdle();
    EXPECT_EQ(message, "服务器错误");
    EXPECT_EQ(code, "501");
    std::optional<std::string> h5;
    doH5Pay(order("6", "6"), [](const ns::Ref<NotifyServer>&) { FAIL(); },
            [&](const ns::Ref<ns::String>& m) { h5 = textOf(m); });
    env.runUntilIdle();
    EXPECT_EQ(h5, "服务器错误");
}

TEST_F(PayAPITest, BalancesContactsRecordsAndPayWays) {
    ns::Ref<GetMyPtbResult> coins;
    GetMyPtbMoney([&](const ns::Ref<GetMyPtbResult>& r) { coins = r; }, [](const ns::Ref<ns::String>&) { FAIL(); });
    ns::Ref<GetMyDiscountResult> vouchers;
    GetMyDiscountMoney([&](const ns::Ref<GetMyDiscountResult>& r) { vouchers = r; },
                       [](const ns::Ref<ns::String>&) { FAIL(); });
    env.runUntilIdle();
    ASSERT_TRUE(coins);
    ASSERT_TRUE(vouchers);
    EXPECT_EQ(ns::textOf(coins->ptb), "500");
    EXPECT_EQ(ns::textOf(vouchers->discountNum), "100");
    EXPECT_EQ(keysOf(lastRequest("Ttbpay/getTTB")), (Keys{"z", "b"}));
    EXPECT_EQ(keysOf(lastRequest("Ttbpay/getDJQ")), (Keys{"z", "b", "c"}));

    ns::Ref<HelpQQAndTel> help;
    GetServiceQQAndPhone([&](const ns::Ref<HelpQQAndTel>& h) { help = h; }, [](const ns::Ref<ns::String>&) { FAIL(); });
    ns::Ref<OrderRecords> records;
    payRecordsWithStatus(ns::str("1"), ns::str("1"), [&](const ns::Ref<OrderRecords>& r) { records = r; },
                         [](const ns::Ref<ns::String>&) { FAIL(); });
    ns::Id way;
    GetPayWays([&](const ns::Id& w) { way = w; }, [](const ns::Ref<ns::String>&) { FAIL(); });
    env.runUntilIdle();
    ASSERT_TRUE(help);
    EXPECT_EQ(ns::textOf(help->TEL), "400-000-0000");
    ASSERT_TRUE(records);
    EXPECT_TRUE(records->dataArray);
    EXPECT_EQ(keysOf(lastRequest("pay/payRecords")), (Keys{"z", "b", "c", "d"}));
    EXPECT_EQ(ns::textOf(way), "1");
    EXPECT_EQ(keysOf(lastRequest("pay/getPayWayios")), (Keys{"z", "b", "h", "os"}));

    int calls = 0;
    getGiffCodeForInfoid(ns::str("1"), [&](const ns::Id&) { ++calls; }, [&](const ns::Ref<ns::String>&) { ++calls; });
    GetGamePresentHtml([&](const ns::Id&) { ++calls; }, [&](const ns::Ref<ns::String>&) { ++calls; });
    env.runUntilIdle();
    EXPECT_EQ(calls, 0);

    pointAtNothing();
    std::optional<std::string> message;
    GetMyPtbMoney([](const ns::Ref<GetMyPtbResult>&) { FAIL(); },
                  [&](const ns::Ref<ns::String>& m) { message = textOf(m); });
    env.runUntilIdle();
    EXPECT_EQ(message, "无法连接服务器");
}

}  // namespace

#endif  // CHANNEL_TESTS_WITH_SANDBOX
