// What the payment centre sends the operator's server, read back from the
// stand-in: the pay-way request that opens it, and an order by the second
// official WeChat route from the player's taps to the game's report.

#include <map>
#include <string>

#include "channel/pay/TVWebPayVC.h"
#include "platform/foundation/Array.h"
#include "platform/uikit/NavigationItem.h"
#include "pay_test_support.h"
#include "sandbox/ChannelWire.h"

namespace {

using pay_test::PayTest;
using Fields = std::map<std::string, std::string>;

class CentreRequestsTest : public PayTest {
protected:
    // The decoded fields of every request to `endpoint`, in order.
    std::vector<Fields> sentTo(const std::string& endpoint) const {
        std::vector<Fields> found;
        for (const auto& request : server.http().requests()) {
            if (request.path != "/sdkapicoupon/" + endpoint) continue;
            Fields fields;
            if (auto sent = ns::cast<ns::Dictionary>(sandbox::channel_wire::decodeRequest(request.body))) {
                for (const auto& key : *sent) fields[ns::textOf(key)] = ns::textOf(sent->objectForKey(key));
            }
            found.push_back(std::move(fields));
        }
        return found;
    }
};

TEST_F(CentreRequestsTest, ThePayWayRequestNamesThePlayerTheAppTheGameAndTheChannel) {
    auto centre = open("6");
    ASSERT_TRUE(centre);
    auto sent = sentTo("pay/getPayWayios");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], (Fields{{"zz", "player1"}, {"z", "app7"}, {"b", "g42"}, {"bb", "agent3"}, {"os", "ios"}}));
}

TEST_F(CentreRequestsTest, AnOrderByTheSecondOfficialWeChatRouteIsPaidOnItsPageAndReachesTheGame) {
    // The official WeChat way comes second, under its second route's code.
    server.setReply("pay/getPayWayios",
                    ns::Dictionary::make({{"code", ns::str("1")},
                                          {"data", ns::Array::make({ns::Dictionary::make({{"z", ns::str("2")}}),
                                                                    ns::Dictionary::make({{"z", ns::str("32")}})})},
                                          {"ttb", ns::str("500")}, {"djq", ns::str("100")},
                                          {"discount", ns::str("0.8")}}));
    auto centre = open("10");
    ASSERT_TRUE(centre);
    ASSERT_EQ(centre->payStyle(), TVNewPayVC::QuipayH5);
    ASSERT_TRUE(driver.tap(centre->GFWxIconBtn.lock()));
    ASSERT_EQ(centre->payStyle(), TVNewPayVC::GFWx);
    ASSERT_TRUE(driver.tap(centre->payBtn.lock()));
    env.fastForwardBy(1);

    EXPECT_EQ(server.requestsTo("wxh5/h5pay"), 0);
    auto orders = sentTo("Wxh5other/h5pay");
    ASSERT_EQ(orders.size(), 1u);
    Fields order = orders[0];
    EXPECT_FALSE(order["x"].empty()) << "an order number";
    for (const char* varying : {"x", "h", "cid", "tr"}) order.erase(varying);
    EXPECT_EQ(order, (Fields{{"z", "wx"}, {"p", "10"}, {"xx", "0.80"}, {"b", "8"}, {"c", "player1"},
                             {"d", "role9"}, {"e", "s1"}, {"f", "g42"}, {"y", "60元宝"}, {"j", "app7"},
                             {"k", "agent3"}, {"l", "元宝"}, {"n", "ext"}, {"os", "ios"}}));

    // The reply's page, pushed as the official WeChat page and loaded: paid.
    auto page = ns::cast<TVWebPayVC>(centre->navigationController()->viewControllers().back());
    ASSERT_TRUE(page);
    EXPECT_TRUE(page->isGFWXH5);
    EXPECT_EQ(text(page->url).rfind(server.base() + "wxpay?order=SBX", 0), 0u) << text(page->url);
    auto title = ns::cast<ui::Label>(page->navigationItem()->titleView());
    ASSERT_TRUE(title);
    EXPECT_EQ(text(title->text()), "微信支付");
    EXPECT_TRUE(server.isPaid("player1"));
    EXPECT_TRUE(heard.empty());

    // Back in the app, the first poll confirms it; the card reports it.
    ui::Application::sharedApplication()->simulateEnterBackground();
    ui::Application::sharedApplication()->simulateEnterForeground();
    env.fastForwardBy(1);
    EXPECT_EQ(server.requestsTo("Pay/getUserSuccess"), 1);
    EXPECT_EQ(noticeShown(centre), "支付成功");
    EXPECT_TRUE(heard.empty()) << "the player closes the card first";
    ASSERT_TRUE(driver.tap(centre->noticeView()->cancelBtn.lock()));
    env.fastForwardBy(1);
    EXPECT_EQ(heard, (pay_test::Heard{"success 支付成功 10"}));
    EXPECT_FALSE(root->presentedViewController());
}

}  // namespace
