// Role report and order: the field checks in their order, the exact signed
// forms, what a reply changes, and the channel's hand-over and pay results.

#include "facade_test_support.h"
#include "platform/foundation/NotificationCenter.h"

namespace facadetest {
namespace {

constexpr const char* kSignKey = "c07a4e91f2d35b6880e1a9c4573f2d6e";

class FacadeRoleTest : public FacadeTest {
protected:
    FacadeRoleTest() {
        launch();
        logInAs("su1");
        listener->calls.clear();
    }
};

TEST_F(FacadeRoleTest, EachMissingFieldIsReportedInOrderAndNothingIsSent) {
    struct Step {
        const char* fields;
        const char* message;
    };
    const Step steps[] = {
        {R"j("super_user_id":"(null)")j", "请先获取登录回调的super_user_id"},
        {R"("super_user_id":"su1","role_id":null)", "roleid为空"},
        {R"("super_user_id":"su1","role_id":"cp9","service_id":"")", "service_id为空"},
        {R"("super_user_id":"su1","role_id":"cp9","service_id":"s1")", "service_name为空"},
        {R"("super_user_id":"su1","role_id":"cp9","service_id":"s1","service_name":"一区","role_name":[])",
         "role_name为空"},
        {R"("super_user_id":"su1","role_id":"cp9","service_id":"s1","service_name":"一区","role_name":"Ann")",
         "role_level为空"},
    };
    for (const Step& step : steps) {
        entity->kvtr_superRoleUpdate(text(roleText(step.fields)));
        EXPECT_EQ(hudText(), step.message) << step.fields;
    }
    entity->setKvtrgameid(text(""));
    entity->kvtr_superRoleUpdate(text(roleText(kFullRole)));
    EXPECT_EQ(hudText(), "game_id为空");
    // A page text that is not an object misses its first field.
    entity->kvtr_superRoleUpdate(text(R"(["super_user_id","su1"])"));
    EXPECT_EQ(hudText(), "请先获取登录回调的super_user_id");
    EXPECT_TRUE(requestsTo("/role/index").empty());
}

TEST_F(FacadeRoleTest, TheFormIsSignedAndDefaultsFillTheOptionalFields) {
    server.route("POST", "/role/index", json(R"({"code":"200","data":{"role_id":"r1"}})"));
    entity->kvtr_superRoleUpdate(text(roleText(kFullRole)));
    env.runUntilIdle();

    auto role = requestsTo("/role/index");
    ASSERT_EQ(role.size(), 1u);
    const std::string random = field(role[0].body, "random");
    ASSERT_EQ(random.size(), 5u);
    const std::string sign = md5Hex("su1" "1001" "s1" + random + kSignKey);
    EXPECT_EQ(role[0].body, "super_user_id=su1&game_id=1001&service_id=s1&service_name=一区&role_id=cp9&"
                            "role_name=Ann&role_level=12&power_value=1&describe=&money=0&experience=&random=" +
                                random + "&sign=" + sign + "&os_type=2&");
}

TEST_F(FacadeRoleTest, GivenOptionalFieldsAreSentAsTheirText) {
    server.route("POST", "/role/index", json(R"({"code":"200","data":{"role_id":"r1"}})"));
    entity->kvtr_superRoleUpdate(
        text(roleText(std::string(kFullRole) + R"(,"power_value":5000,"describe":"d","money":"abc","experience":7)")));
    env.runUntilIdle();
    auto role = requestsTo("/role/index");
    ASSERT_EQ(role.size(), 1u);
    EXPECT_EQ(field(role[0].body, "power_value"), "5000");
    EXPECT_EQ(field(role[0].body, "describe"), "d");
    EXPECT_EQ(field(role[0].body, "money"), "abc");
    EXPECT_EQ(field(role[0].body, "experience"), "7");
}

TEST_F(FacadeRoleTest, ASuccessfulReportKeepsTheRoleAndReachesChannelAndShell) {
    reportRole(R"({"code":"200","msg":"ok","data":{"role_id":"r1"}})");

    EXPECT_EQ(str(entity->roleid()), "r1");
    EXPECT_EQ(str(entity->cp_role_id()), "cp9");
    EXPECT_EQ(str(entity->service_id()), "s1");
    EXPECT_EQ(str(entity->role_level()), "12");
    EXPECT_EQ(str(entity->power_value()), "1");
    EXPECT_FALSE(entity->isRunLogic());
    // The channel hears of the aggregator's role, in its zone.
    EXPECT_EQ(channel->roleArguments, (std::vector<std::string>{"r1", "Ann", "12", "s1", "一区", ""}));
    ASSERT_EQ(listener->names(), std::vector<std::string>{"role"});
    EXPECT_TRUE(listener->calls[0].onMainThread);
    auto reply = ns::cast<ns::Dictionary>(listener->calls[0].argument);
    ASSERT_TRUE(reply);
    EXPECT_EQ(str(reply->objectForKey("msg")), "ok");
}

TEST_F(FacadeRoleTest, ARefusalShowsTheMessageButStillKeepsTheReportedRole) {
    entity->setRoleid(text("old"));
    reportRole(R"({"code":"201","msg":"角色不存在"})");
    EXPECT_EQ(hudText(), "角色不存在");
    EXPECT_EQ(str(entity->roleid()), "old");
    EXPECT_EQ(str(entity->service_id()), "s1");
    EXPECT_EQ(str(entity->cp_role_id()), "cp9");
    EXPECT_TRUE(entity->isRunLogic());
    EXPECT_TRUE(listener->calls.empty());
    EXPECT_TRUE(channel->roleArguments.empty());

    reportRole(R"({"code":"201"})");
    EXPECT_EQ(hudText(), "服务器异常！");
}

TEST_F(FacadeRoleTest, OddReplyShapesAreReadAsAbsent) {
    reportRole(R"({"code":200,"data":["role_id","r1"]})");
    EXPECT_EQ(str(entity->roleid()), "(null)");
    reportRole(R"({"code":"200","data":{"role_id":{"id":"r1"}}})");
    EXPECT_EQ(str(entity->roleid()), "(null)");
    // Without a usable role id no order can be placed.
    entity->kvtr_superOrder(text(R"({"good_id":"g1"})"));
    EXPECT_EQ(hudText(), "请先调用上报角色方法");
}

class FacadeOrderTest : public FacadeRoleTest {
protected:
    FacadeOrderTest() {
        reportRole();
        listener->calls.clear();
    }

    static constexpr const char* kFullOrder =
        R"({"good_id":"g1","good_name":" 60 钻 石 ","game_order_sn":"cp-001","super_user_id":"su1","money":"6.00",)"
        R"("service_id":"s1","service_name":"一区","role_id":"cp9","role_level":"12","role_name":"Ann","remark":"r"})";

    void order(const std::string& reply) {
        server.route("POST", "/order/index", json(reply));
        entity->kvtr_superOrder(text(kFullOrder));
        env.runUntilIdle();
    }
};

TEST_F(FacadeOrderTest, EachMissingFieldIsReportedInOrder) {
    struct Step {
        const char* json;
        const char* message;
    };
    const Step steps[] = {
        {R"({})", "角色id为空"},
        {R"({"role_id":"cp9"})", "请先获取登录回调的super_user_id"},
        {R"({"role_id":"cp9","super_user_id":"su1"})", "good_id为空"},
        {R"({"role_id":"cp9","super_user_id":"su1","good_id":"g1","good_name":"   "})", "good_name为空"},
        {R"({"role_id":"cp9","super_user_id":"su1","good_id":"g1","good_name":"钻石"})", "game_order_sn为空"},
        {R"({"role_id":"cp9","super_user_id":"su1","good_id":"g1","good_name":"钻石","game_order_sn":"o"})",
         "money传入数据有误"},
        {R"({"role_id":"cp9","super_user_id":"su1","good_id":"g1","good_name":"钻石","game_order_sn":"o",)"
         R"("money":"1"})",
         "service_id为空"},
        {R"({"role_id":"cp9","super_user_id":"su1","good_id":"g1","good_name":"钻石","game_order_sn":"o",)"
         R"("money":"1","service_id":"s1"})",
         "service_name为空"},
        {R"({"role_id":"cp9","super_user_id":"su1","good_id":"g1","good_name":"钻石","game_order_sn":"o",)"
         R"("money":"1","service_id":"s1","service_name":"一区"})",
         "role_name为空"},
    };
    for (const Step& step : steps) {
        entity->kvtr_superOrder(text(step.json));
        EXPECT_EQ(hudText(), step.message) << step.json;
    }
    entity->setPlatform_id(nullptr);
    entity->kvtr_superOrder(text(kFullOrder));
    EXPECT_EQ(hudText(), "platform_id为空");
    entity->setPlatform_id(text("256"));
    entity->setKvtrgameid(text("(null)"));
    entity->kvtr_superOrder(text(kFullOrder));
    EXPECT_EQ(hudText(), "game_id为空");
    entity->setKvtrgameid(text("1001"));
    // A bundle whose information names no identifier.
    std::filesystem::create_directories(folder + "/bare");
    std::ofstream(folder + "/bare/Info.plist") << "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict/></plist>";
    ::setenv("GAMEHOST_RESOURCES", (folder + "/bare").c_str(), 1);
    entity->kvtr_superOrder(text(kFullOrder));
    EXPECT_EQ(hudText(), "package为空");
    EXPECT_TRUE(requestsTo("/order/index").empty());
}

TEST_F(FacadeOrderTest, TheFormIsSignedAndTheNameLosesItsSpaces) {
    order(R"({"code":"200","data":{"order_id":"agg-77"}})");

    auto posted = requestsTo("/order/index");
    ASSERT_EQ(posted.size(), 1u);
    const std::string random = field(posted[0].body, "random");
    ASSERT_EQ(random.size(), 5u);
    const std::string sign = md5Hex("su1" "256" "cp-001" "1001" + random + kSignKey);
    EXPECT_EQ(posted[0].body, "good_id=g1&good_name=60钻石&platform_id=256&game_id=1001&game_order_sn=cp-001&"
                              "package=org.gamehost.test&super_user_id=su1&power_value=1&money=6.00&service_id=s1&"
                              "service_name=一区&role_id=cp9&role_name=Ann&remark=r&os_type=2&random=" +
                                  random + "&sign=" + sign + "&");
    // The channel pays the aggregator's order for the aggregator's role.
    EXPECT_EQ(channel->payArguments, (std::vector<std::string>{"r1", "6.00", "s1", "60钻石", "60钻石", "agg-77"}));
    EXPECT_EQ(str(entity->order_id()), "agg-77");
    EXPECT_EQ(str(entity->cpOrder()), "cp-001");
}

TEST_F(FacadeOrderTest, ARefusalShowsTheMessageAndOpensNoPayment) {
    order(R"({"code":"400","msg":"商品已下架","data":{"order_id":"agg-78"}})");
    EXPECT_EQ(hudText(), "商品已下架");
    EXPECT_TRUE(channel->payArguments.empty());
    EXPECT_EQ(str(entity->order_id()), "agg-78");
    EXPECT_EQ(str(entity->cpOrder()), "cp-001");
}

TEST_F(FacadeOrderTest, APaidOrderTellsTheShellOnMainAndPostsTheGiftNotification) {
    std::vector<std::string> posted;
    ns::NotificationCenter::defaultCenter()->addObserver(
        this, "KVTRGIFTPAYSUCCESSNotification", nullptr,
        [&](const ns::Ref<ns::Notification>& n) { posted.push_back(listener->calls.empty() ? "first" : n->name()); });
    order(R"({"code":"200","data":{"order_id":"agg-77"}})");
    ASSERT_TRUE(channel->paySuccess);

    channel->paySuccess(text("ok"), text("6.00"));
    env.runUntilIdle();
    ns::NotificationCenter::defaultCenter()->removeObserver(this);

    ASSERT_EQ(listener->names(), std::vector<std::string>{"paySuccess"});
    EXPECT_TRUE(listener->calls[0].onMainThread);
    auto result = ns::cast<ns::Dictionary>(listener->calls[0].argument);
    ASSERT_TRUE(result);
    EXPECT_EQ(str(result->objectForKey("order_id")), "agg-77");
    EXPECT_EQ(str(result->objectForKey("cpOrder")), "cp-001");
    // After the shell has heard of it.
    EXPECT_EQ(posted, std::vector<std::string>{"KVTRGIFTPAYSUCCESSNotification"});
}

TEST_F(FacadeOrderTest, AFailedPaymentTellsTheShellWithTheSameOrder) {
    order(R"({"code":"200","data":{"order_id":"agg-77"}})");
    channel->payFailure(text("取消支付"), -1, text("6.00"));
    env.runUntilIdle();
    auto result = ns::cast<ns::Dictionary>(listener->only("payFail"));
    ASSERT_TRUE(result);
    EXPECT_EQ(str(result->objectForKey("order_id")), "agg-77");
    EXPECT_EQ(str(result->objectForKey("cpOrder")), "cp-001");
    EXPECT_TRUE(listener->calls[0].onMainThread);
}

TEST_F(FacadeOrderTest, TwoPaymentsInFlightEachReachTheShellWithTheirOwnOrder) {
    order(R"({"code":"200","data":{"order_id":"agg-1"}})");
    auto firstPaid = channel->paySuccess;
    server.route("POST", "/order/index", json(R"({"code":"200","data":{"order_id":"agg-2"}})"));
    std::string second = kFullOrder;
    second.replace(second.find("cp-001"), 6, "cp-002");
    entity->kvtr_superOrder(text(second));
    env.runUntilIdle();
    auto secondFailed = channel->payFailure;
    ASSERT_TRUE(firstPaid && secondFailed);

    // The first order's payment ends after the second order was placed.
    firstPaid(text("ok"), text("6.00"));
    secondFailed(text("取消支付"), -1, text("6.00"));
    env.runUntilIdle();
    auto paid = ns::cast<ns::Dictionary>(listener->only("paySuccess"));
    auto failed = ns::cast<ns::Dictionary>(listener->only("payFail"));
    ASSERT_TRUE(paid && failed);
    EXPECT_EQ(str(paid->objectForKey("order_id")), "agg-1");
    EXPECT_EQ(str(paid->objectForKey("cpOrder")), "cp-001");
    EXPECT_EQ(str(failed->objectForKey("order_id")), "agg-2");
    EXPECT_EQ(str(failed->objectForKey("cpOrder")), "cp-002");
}

}  // namespace
}  // namespace facadetest
