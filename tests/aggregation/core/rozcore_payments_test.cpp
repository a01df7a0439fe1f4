// Purchases in the SDK's own stores: each posted charge order becomes exactly
// one order at the platform server a second later, whatever the bursts.

#include <atomic>
#include <string>

#include "platform/dispatch/Queue.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Text.h"
#include "tests/aggregation/core/store_test_support.h"

namespace {

using namespace storetest;

constexpr const char* GiftPay = "KVTRGIFTPAYNotification";
constexpr const char* ResourcePay = "KVTRResourcePAYNotification";

// An order id that counts how often a handler reads it: once per
// registration that heard the posting.
class CountedOrderId : public ns::Object {
public:
    explicit CountedOrderId(std::atomic<int>& reads) : reads_(reads) {}
    std::string description() const override {
        ++reads_;
        return "c9";
    }

private:
    std::atomic<int>& reads_;
};

class StorePaymentTest : public StoreTest {
protected:
    StorePaymentTest() {
        server.route("POST", "/order/index", json(R"({"code":"200","data":{"order_id":"P1"}})"));
        server.route("POST", "/gmstore/status", json("{}"));
        server.route("GET", "/infiniteres/goods", json(R"({"status":200})"));
        reportRole();
        // Three hall openings of each kind: the observers' chances to pile up.
        for (int i = 0; i < 3; ++i) {
            entity->reloadGetStatusData(nullptr);
            entity->kvtr_openResourceStore();
        }
        env.fastForwardBy(2);
        server.clearRequests();
    }

    // Posted from a background queue, as the stores do from their replies.
    void purchase(const char* name, ns::Id chargeOrder) {
        auto info = ns::MutableDictionary::make({{"order_id", chargeOrder},
                                                 {"money", text("6")},
                                                 {"good_id", text("g1")},
                                                 {"good_name", text("Gem Pack")}});
        dispatch::async(dispatch::globalQueue(), [name, info] {
            ns::NotificationCenter::defaultCenter()->postNotificationName(name, info);
        });
        env.runUntilIdle();
    }

    size_t ordersFor(const std::string& chargeOrder) const {
        size_t count = 0;
        for (auto& order : requestsTo("/order/index"))
            count += order.body.find("&game_order_sn=" + chargeOrder + "&") != std::string::npos;
        return count;
    }
};

TEST_F(StorePaymentTest, APostingIsOneOrderASecondLater) {
    purchase(GiftPay, text("c1"));
    env.fastForwardBy(0.9);
    EXPECT_TRUE(requestsTo("/order/index").empty());
    env.fastForwardBy(0.2);

    ASSERT_EQ(requestsTo("/order/index").size(), 1u);
    const std::string body = requestsTo("/order/index")[0].body;
    EXPECT_EQ(body.rfind("good_id=g1&good_name=GemPack&", 0), 0u) << body;
    // The game's own role id goes with the order, not the aggregator's "r1".
    EXPECT_NE(body.find("&game_order_sn=c1&package=org.gamehost.test&super_user_id=u1&"), std::string::npos) << body;
    EXPECT_NE(body.find("&money=6&service_id=s1&service_name=一区&role_id=cp9&role_name=Ann&"), std::string::npos)
        << body;
    auto order = parseObject(entity->roleData1());
    ASSERT_TRUE(order);
    EXPECT_EQ(order->count(), 10u);
    EXPECT_EQ(ns::textOf(order->objectForKey("remark")), "(null)") << "a missing remark";
}

TEST_F(StorePaymentTest, EachObserverIsRegisteredOnce) {
    for (const char* name : {GiftPay, ResourcePay}) {
        std::atomic<int> reads{0};
        purchase(name, std::make_shared<CountedOrderId>(reads));
        EXPECT_EQ(reads.load(), 1) << name;
    }
}

TEST_F(StorePaymentTest, PurchasesWithinASecondAreEachOrderedOnce) {
    purchase(GiftPay, text("c1"));
    env.fastForwardBy(0.4);
    purchase(ResourcePay, text("c2"));
    purchase(GiftPay, text("c3"));
    purchase(GiftPay, text("c3"));  // the same charge order heard again
    env.fastForwardBy(3);
    EXPECT_EQ(ordersFor("c1"), 1u);
    EXPECT_EQ(ordersFor("c2"), 1u);
    EXPECT_EQ(ordersFor("c3"), 1u);
    EXPECT_EQ(requestsTo("/order/index").size(), 3u);
}

}  // namespace
