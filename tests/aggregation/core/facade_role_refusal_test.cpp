// What a role report's reply leaves on the facade: the reported role is
// kept whatever the server answers (the stores and the next order read it),
// while only an accepted report changes the aggregator's role id.

#include "facade_test_support.h"

namespace facadetest {
namespace {

constexpr const char* kAccepted = R"({"code":"200","msg":"ok","data":{"role_id":"r1"}})";
constexpr const char* kRefused = R"({"code":"500","msg":"区服维护中","data":{"role_id":"r2"}})";

// The same player levelled up and moved to another zone, with a power value.
constexpr const char* kMovedRole =
    R"({"super_user_id":"su1","service_id":"s2","service_name":"二区","role_id":"cp10","role_name":"Bob",)"
    R"("role_level":"13","power_value":"5000"})";

class FacadeRoleReplyTest : public FacadeTest {
protected:
    FacadeRoleReplyTest() {
        launch();
        logInAs("su1");
        listener->calls.clear();
    }

    void report(const std::string& role, const std::string& reply) {
        server.route("POST", "/role/index", json(reply));
        entity->kvtr_superRoleUpdate(text(role));
        env.runUntilIdle();
    }

    // The role fields the facade keeps, as "service_id service_name role_id role_name role_level power_value".
    std::string keptRole() const {
        return str(entity->service_id()) + " " + str(entity->service_name()) + " " + str(entity->cp_role_id()) +
               " " + str(entity->role_name()) + " " + str(entity->role_level()) + " " + str(entity->power_value());
    }
};

TEST_F(FacadeRoleReplyTest, ARefusedReportStillKeepsTheWholeReportedRoleButNotTheRoleId) {
    report(roleText(kFullRole), kAccepted);
    ASSERT_EQ(keptRole(), "s1 一区 cp9 Ann 12 1");
    ASSERT_EQ(str(entity->roleid()), "r1");
    channel->roleArguments.clear();
    listener->calls.clear();

    report(kMovedRole, kRefused);
    EXPECT_EQ(hudText(), "区服维护中");
    EXPECT_EQ(keptRole(), "s2 二区 cp10 Bob 13 5000") << "every reported field, level and power included";
    ASSERT_TRUE(entity->rolesurperdic());
    EXPECT_EQ(str(entity->rolesurperdic()->objectForKey("msg")), "区服维护中") << "the refusal itself";
    EXPECT_EQ(str(entity->roleid()), "r1") << "the refusal's role id is not taken";
    EXPECT_TRUE(channel->roleArguments.empty());
    EXPECT_TRUE(listener->calls.empty());

    // The next order carries the refused report's power value.
    server.route("POST", "/order/index", json(R"({"code":"200","data":{"order_id":"agg-9"}})"));
    entity->kvtr_superOrder(text(
        R"({"good_id":"g1","good_name":"钻石","game_order_sn":"cp-1","super_user_id":"su1","money":"6",)"
        R"("service_id":"s2","service_name":"二区","role_id":"cp10","role_name":"Bob"})"));
    env.runUntilIdle();
    auto orders = requestsTo("/order/index");
    ASSERT_EQ(orders.size(), 1u);
    EXPECT_EQ(field(orders[0].body, "power_value"), "5000");

    // An accepted report overwrites them the same way, a blank power as "1".
    report(roleText(kFullRole), kAccepted);
    EXPECT_EQ(keptRole(), "s1 一区 cp9 Ann 12 1");
    EXPECT_EQ(str(entity->rolesurperdic()->objectForKey("msg")), "ok");
}

}  // namespace
}  // namespace facadetest
