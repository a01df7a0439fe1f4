// Several purchases at once, from the facade to the app's own payment
// centre against the stand-ins: store postings and the page's pay action
// each become a platform order and a centre of their own, one after
// another, and each result reaches the game with the ids of its own order.

#include <map>
#include <set>

#include "aggregation/core/ROZCoreEntity.h"
#include "aggregation/core/ROZCoreEntityDelegate.h"
#include "platform/foundation/NotificationCenter.h"
#include "sandbox/PlatformServer.h"
#include "shell/ToviraChannel.h"
#include "tests/channel/pay/pay_test_support.h"

namespace {

// What the game heard from the facade: "paid <order_id> <cpOrder>" or
// "failed <order_id> <cpOrder>".
class GameListener : public ROZCoreEntityDelegate {
public:
    void kvtr_LightGetChannelLoginCallBack(const ns::Ref<ns::Dictionary>&) override {}
    void getUpdateRoleCallBack(const ns::Ref<ns::Dictionary>&) override {}
    void canEnterListenCallBack(const ns::Ref<ns::String>&) override {}
    void getPaySuccessCallBack(const ns::Ref<ns::Dictionary>& order) override { note("paid", order); }
    void getPayFailCallBack(const ns::Ref<ns::Dictionary>& order) override { note("failed", order); }
    void logOutCallBack(const ns::Ref<ns::String>&) override {}
    void rechargeCallBack(const ns::Ref<ns::String>&) override {}

    std::vector<std::string> heard;

private:
    void note(const std::string& what, const ns::Ref<ns::Dictionary>& order) {
        heard.push_back(what + " " + ns::textOf(order->objectForKey("order_id")) + " " +
                        ns::textOf(order->objectForKey("cpOrder")));
    }
};

class PurchaseQueueTest : public pay_test::PayTest {
protected:
    PurchaseQueueTest() {
        writePlist("Info.plist", "<key>CFBundleIdentifier</key><string>org.gamehost.test</string>");
        ::setenv("GAMEHOST_PLATFORM_SERVER_URL", platform.http().origin().c_str(), 1);
        KVTRChannelSDK::setShared(std::make_shared<ToviraChannel>());
        ROZCoreEntity::resetSharedInstanceForTesting();
        facade = ROZCoreEntity::sharedInstance();
        facade->kvtr_setStartLoginListener(listener);
        // Logged in, with a role reported.
        facade->setKvtrgameid(ns::str("1001"));
        facade->setPlatform_id(ns::str("256"));
        facade->setSuper_user_id(ns::str("100001"));
        facade->setRoleid(ns::str("R1"));
        facade->setCp_role_id(ns::str("cp-role"));
        facade->setService_id(ns::str("s1"));
        facade->setService_name(ns::str("一区"));
        facade->setRole_name(ns::str("Ann"));
        facade->setPower_value(ns::str("1"));
    }
    ~PurchaseQueueTest() override {
        KVTRChannelSDK::setShared(nullptr);
        ROZCoreEntity::resetSharedInstanceForTesting();
        ::unsetenv("GAMEHOST_PLATFORM_SERVER_URL");
    }

    // The page's pay action.
    void pagePays(const std::string& gameOrder, const std::string& money) {
        facade->kvtr_superOrder(ns::str(R"({"good_id":"g1","good_name":"钻石","game_order_sn":")" + gameOrder +
                                        R"(","super_user_id":"100001","money":")" + money +
                                        R"(","service_id":"s1","service_name":"一区","role_id":"cp-role",)"
                                        R"("role_name":"Ann"})"));
    }
    // A gift row's posting after its charge order.
    void storePosts(const std::string& chargeOrder, const std::string& money) {
        auto info = ns::Dictionary::make({{"order_id", ns::str(chargeOrder)},
                                          {"money", ns::str(money)},
                                          {"good_id", ns::str("gift1")},
                                          {"good_name", ns::str("礼包")},
                                          {"remark", ns::str("r")}});
        facade->giftPayData(ns::Notification::make("KVTRGIFTPAYNotification", info));
    }

    bool settle(const std::function<bool()>& done, double seconds = 20) {
        for (double waited = 0; waited <= seconds; waited += 0.25) {
            env.runUntilIdle();
            if (done()) return true;
            env.fastForwardBy(0.25);
        }
        return done();
    }
    // How many payment centres are on screen, one presented over another.
    int centresShown() const {
        int shown = 0;
        for (auto c = root->presentedViewController(); c; c = c->presentedViewController()) {
            auto navigation = ns::cast<ui::NavigationController>(c);
            shown += navigation && !navigation->isBeingDismissed() && !navigation->viewControllers().empty() &&
                     ns::cast<TVNewPayVC>(navigation->viewControllers().front());
        }
        return shown;
    }
    // The centre on screen once its pay ways are in; nil when none comes.
    ns::Ref<TVNewPayVC> nextCentre() {
        ns::Ref<TVNewPayVC> centre;
        settle([&] {
            auto navigation = ns::cast<ui::NavigationController>(root->presentedViewController());
            centre = navigation && !navigation->isBeingDismissed() && !navigation->viewControllers().empty()
                         ? ns::cast<TVNewPayVC>(navigation->viewControllers().front())
                         : nullptr;
            // Loaded, on screen and not one that has closed and waits to leave.
            return centre && !centre->hud() && centre->payStyle() != 0 && !navigation->isBeingPresented() &&
                   centre->payBtn.lock()->isEnabled();
        });
        return centre;
    }
    // "<aggregator order id> <amount>" of the purchase the centre shows.
    static std::string purchaseShown() {
        return text(TVNewPayVC::orderState().cpExtend) + " " + text(TVNewPayVC::orderState().fullAmount);
    }
    int platformOrders() const {
        int n = 0;
        for (const auto& request : platform.http().requests()) n += request.path == "/order/index";
        return n;
    }
    // Pays with the way of `button` and waits for the game to hear of it.
    bool pay(const ns::Ref<TVNewPayVC>& centre, ns::Weak<ui::Button> TVNewPayVC::*way) {
        size_t before = listener->heard.size();
        if (!driver.tap(((*centre).*way).lock()) || !driver.tap(centre->payBtn.lock())) return false;
        return settle([&] { return listener->heard.size() > before; });
    }

    sandbox::PlatformServer platform;
    std::shared_ptr<GameListener> listener = std::make_shared<GameListener>();
    ns::Ref<ROZCoreEntity> facade;
};

TEST_F(PurchaseQueueTest, TwoStorePostingsAndAPagePaymentOpenThreeCentresInTurnEachReportedWithItsOwnIds) {
    storePosts("co-6", "6");
    env.fastForwardBy(0.3);
    storePosts("co-30", "30");
    pagePays("page-9", "9.99");
    const std::map<std::string, std::string> gameOrderOf = {{"6", "co-6"}, {"30", "co-30"}, {"9.99", "page-9"}};

    std::set<std::string> expected, seen;
    for (int turn = 0; turn < 3; ++turn) {
        auto centre = nextCentre();
        ASSERT_TRUE(centre) << "centre " << turn + 1;
        EXPECT_EQ(centresShown(), 1) << "one at a time";
        const std::string shown = purchaseShown();
        const std::string orderId = text(TVNewPayVC::orderState().cpExtend);
        const std::string amount = text(TVNewPayVC::orderState().fullAmount);
        EXPECT_EQ(labelText(centre->moneyL), amount + "元");
        ASSERT_TRUE(gameOrderOf.count(amount)) << shown;
        EXPECT_TRUE(seen.insert(shown).second) << "a centre of its own: " << shown;
        expected.insert("paid " + orderId + " " + gameOrderOf.at(amount));
        ASSERT_TRUE(pay(centre, &TVNewPayVC::ptbIconBtn)) << shown;
        EXPECT_EQ(listener->heard.back(), "paid " + orderId + " " + gameOrderOf.at(amount));
    }
    EXPECT_EQ(platformOrders(), 3);
    EXPECT_EQ(std::set<std::string>(listener->heard.begin(), listener->heard.end()), expected);
    EXPECT_EQ(listener->heard.size(), 3u);
    EXPECT_EQ(server.coinsOf(sandbox::ChannelServer::kKnownUser), sandbox::ChannelServer::kKnownCoins - 460);
    env.fastForwardBy(1);
    EXPECT_EQ(centresShown(), 0);
    EXPECT_TRUE(ballShown());
}

TEST_F(PurchaseQueueTest, ClosingTheFirstCentreUnpaidOpensTheSecondAndReportsNothingForTheFirst) {
    pagePays("page-A", "9.99");
    auto first = nextCentre();
    ASSERT_TRUE(first);
    const std::string firstShown = purchaseShown();
    pagePays("page-B", "6");
    ASSERT_TRUE(settle([&] { return platformOrders() == 2; }));
    env.fastForwardBy(1);
    EXPECT_EQ(purchaseShown(), firstShown) << "the second waits";

    first->popAction();
    auto second = nextCentre();
    ASSERT_TRUE(second);
    EXPECT_NE(second, first);
    EXPECT_TRUE(listener->heard.empty());
    const std::string orderId = text(TVNewPayVC::orderState().cpExtend);
    EXPECT_EQ(purchaseShown(), orderId + " 6");
    ASSERT_TRUE(pay(second, &TVNewPayVC::ptbIconBtn));
    EXPECT_EQ(listener->heard, (std::vector<std::string>{"paid " + orderId + " page-B"}));
}

TEST_F(PurchaseQueueTest, AFailedFirstPaymentStaysOpenAndItsRetryByVoucherReportsTheFirstOrdersIds) {
    pagePays("page-A", "60");
    auto first = nextCentre();
    ASSERT_TRUE(first);
    const std::string firstOrder = text(TVNewPayVC::orderState().cpExtend);
    storePosts("co-B", "6");
    ASSERT_TRUE(settle([&] { return platformOrders() == 2; }));
    env.fastForwardBy(1);

    // Sixty yuan are more coins than the player has.
    ASSERT_TRUE(pay(first, &TVNewPayVC::ptbIconBtn));
    EXPECT_EQ(listener->heard, (std::vector<std::string>{"failed " + firstOrder + " page-A"}));
    env.fastForwardBy(1);
    EXPECT_EQ(nextCentre(), first) << "open for a retry, the second waiting";
    EXPECT_EQ(centresShown(), 1);

    ASSERT_TRUE(pay(first, &TVNewPayVC::djqIconBtn));
    EXPECT_EQ(listener->heard,
              (std::vector<std::string>{"failed " + firstOrder + " page-A", "paid " + firstOrder + " page-A"}));
    auto second = nextCentre();
    ASSERT_TRUE(second);
    EXPECT_NE(second, first);
    EXPECT_EQ(text(TVNewPayVC::orderState().fullAmount), "6");
}

TEST_F(PurchaseQueueTest, ALogoutWithAPurchaseWaitingOpensNothingMore) {
    pagePays("page-A", "9.99");
    auto first = nextCentre();
    ASSERT_TRUE(first);
    pagePays("page-B", "6");
    ASSERT_TRUE(settle([&] { return platformOrders() == 2; }));
    env.fastForwardBy(1);
    ns::LogCapture log;
    facade->kvtr_logout();
    EXPECT_TRUE(log.contains("payment centre: logout; the waiting payment of 6 yuan"));

    first->popAction();
    env.fastForwardBy(2);
    EXPECT_EQ(centresShown(), 0);
    EXPECT_EQ(server.requestsTo("pay/getPayWayios"), 1);
    EXPECT_TRUE(listener->heard.empty());
}

}  // namespace
