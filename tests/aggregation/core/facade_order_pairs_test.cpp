// Which order a payment result names: an order that failed may still be paid
// on a retry and is reported with its own ids then, and so is one paid in a
// centre a logout left open; an order the platform answers after the logout
// opens nothing.

#include "facade_test_support.h"
#include "platform/foundation/Log.h"

namespace facadetest {
namespace {

class FacadeOrderPairsTest : public FacadeTest {
protected:
    FacadeOrderPairsTest() {
        launch();
        logInAs("su1");
        reportRole();
        listener->calls.clear();
    }

    // Places the game's order `gameOrder`, which the platform numbers
    // `orderId`; the channel's closures of its payment stay in `channel`.
    void order(const std::string& gameOrder, const std::string& orderId) {
        server.route("POST", "/order/index", json(R"({"code":"200","data":{"order_id":")" + orderId + R"("}})"));
        entity->kvtr_superOrder(
            text(R"({"good_id":"g1","good_name":"钻石","game_order_sn":")" + gameOrder +
                 R"(","super_user_id":"su1","money":"6.00","service_id":"s1","service_name":"一区",)"
                 R"("role_id":"cp9","role_name":"Ann"})"));
        env.runUntilIdle();
    }
    std::string ids(const std::string& name, size_t index) {
        size_t seen = 0;
        for (const auto& call : listener->calls) {
            if (call.name != name || seen++ != index) continue;
            auto result = ns::cast<ns::Dictionary>(call.argument);
            return result ? str(result->objectForKey("order_id")) + "/" + str(result->objectForKey("cpOrder"))
                          : "(none)";
        }
        return "(not heard)";
    }
};

TEST_F(FacadeOrderPairsTest, AnOrderPaidOnARetryAfterItFailedIsReportedWithItsOwnIds) {
    order("cp-A", "agg-A");
    auto paidA = channel->paySuccess;
    auto failedA = channel->payFailure;
    ASSERT_TRUE(paidA && failedA);
    failedA(text("平台币不足"), 2, text("6.00"));
    env.runUntilIdle();
    order("cp-B", "agg-B");
    paidA(text("支付成功"), text("6.00"));
    env.runUntilIdle();
    EXPECT_EQ(ids("payFail", 0), "agg-A/cp-A");
    EXPECT_EQ(ids("paySuccess", 0), "agg-A/cp-A");

    // Paid, the pair is done with; the other order keeps its own.
    auto paidB = channel->paySuccess;
    paidB(text("支付成功"), text("6.00"));
    env.runUntilIdle();
    EXPECT_EQ(ids("paySuccess", 1), "agg-B/cp-B");
}

TEST_F(FacadeOrderPairsTest, AnOrderWhoseCentreIsStillOpenAtLogoutKeepsItsOwnIds) {
    order("cp-A", "agg-A");
    auto paidA = channel->paySuccess;
    ASSERT_TRUE(paidA);
    entity->kvtr_logout();
    env.runUntilIdle();
    // Paid in the centre the logout left open: still the game's own order.
    paidA(text("支付成功"), text("6.00"));
    env.runUntilIdle();
    EXPECT_EQ(ids("paySuccess", 0), "agg-A/cp-A");
}

TEST_F(FacadeOrderPairsTest, AnOrderWhosePlatformReplyComesAfterTheLogoutOpensNothing) {
    ns::LogCapture log;
    server.route("POST", "/order/index", json(R"({"code":"200","data":{"order_id":"agg-A"}})"));
    entity->kvtr_superOrder(
        text(R"({"good_id":"g1","good_name":"钻石","game_order_sn":"cp-A","super_user_id":"su1","money":"6.00",)"
             R"("service_id":"s1","service_name":"一区","role_id":"cp9","role_name":"Ann"})"));
    // The reply is handled on the main queue, after the logout.
    entity->kvtr_logout();
    env.runUntilIdle();
    ASSERT_EQ(requestsTo("/order/index").size(), 1u);
    EXPECT_EQ(channel->count("pay"), 0);
    EXPECT_TRUE(log.contains("order: the reply to the game's order cp-A came after the logout; no payment opens"));

    // A new session's order opens as ever.
    logInAs("su1");
    reportRole();
    order("cp-B", "agg-B");
    EXPECT_EQ(channel->count("pay"), 1);
}

}  // namespace
}  // namespace facadetest
