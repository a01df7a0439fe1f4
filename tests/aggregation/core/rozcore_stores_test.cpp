// Opening the store hall and the resource hall: debounce, identity checks,
// the claim-status merge, the join that never blocks, what the halls get.

#include <atomic>

#include "platform/foundation/Text.h"
#include "tests/aggregation/core/store_test_support.h"

namespace {

using namespace storetest;

class StoreHallTest : public StoreTest {
protected:
    void routeStore() {
        server.route("GET", "/menu/index", json(R"({"status":200,"data":["1","3"],"time":{"luck_time":30}})"));
        server.route("GET", "/gmstore/goodsnew",
                     json(R"({"status":"200","data":{"total_money":30,"list":[[{"id":12,"status":0,"name":"gem"},)"
                          R"({"id":13,"status":0}]]}})"));
        server.route("GET", "/vipstore/goodsnew", json(R"({"status":200,"data":{"total_money":8,"list":[[{"id":5}]]}})"));
        server.route("POST", "/gmstore/status", json(R"({"12":1,"99":1})"));
        server.route("POST", "/vipstore/status", json(R"({"6":1})"));
    }
    // The goods dictionary at [category][index].
    static ns::Ref<ns::Dictionary> goodsAt(const ns::Ref<ns::MutableArray>& goods, uint64_t c, uint64_t i) {
        auto list = ns::cast<ns::Array>(goods->objectAtIndex(c));
        return list ? ns::cast<ns::Dictionary>(list->objectAtIndex(i)) : nullptr;
    }
    size_t hallsShown() const {
        size_t shown = 0;
        for (auto& hall : halls.views) shown += hall->shows;
        for (auto& hall : verticalHalls.views) shown += hall->shows;
        return shown;
    }
};

TEST_F(StoreHallTest, OpeningAfterARoleReportHandsTheHallMergedGoodsAndTheIdentity) {
    routeStore();
    reportRole();
    server.clearRequests();

    // A burst of openings gives one, a second after the last.
    entity->kvtr_openGmShop();
    env.fastForwardBy(0.5);
    entity->kvtr_openGmShop();
    env.fastForwardBy(0.9);
    EXPECT_EQ(server.requestCount(), 0u);
    env.fastForwardBy(0.2);

    auto requests = server.requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests[0].path + "?" + requests[0].query, "/menu/index?game_id=7") << "no menu yet: it comes first";
    EXPECT_EQ(requestsTo("/gmstore/goodsnew").at(0).query, "game_id=7&role_id=r1");
    EXPECT_EQ(requestsTo("/gmstore/status").at(0).body, "game_id=7&token=tk&super_user_id=u1&role_id=r1&");

    ASSERT_EQ(verticalHalls.views.size(), 1u) << "the phone stands upright";
    auto hall = verticalHalls.views[0];
    EXPECT_EQ(hallsShown(), 1u);
    EXPECT_EQ(ns::textOf(goodsAt(hall->responseArray, 0, 0)->objectForKey("status")), "1");
    EXPECT_EQ(ns::textOf(goodsAt(hall->responseArray, 0, 0)->objectForKey("name")), "gem");
    EXPECT_EQ(ns::textOf(goodsAt(hall->responseArray, 0, 1)->objectForKey("status")), "0");
    EXPECT_FALSE(goodsAt(hall->VIPArray, 0, 0)->objectForKey("status")) << "no status is invented";
    EXPECT_EQ(hall->gmtotal_money->utf8() + "/" + hall->viptotal_money->utf8(), "30/8");
    EXPECT_EQ(hall->menuBtnArray->count(), 2u);
    EXPECT_EQ(hall->roleid()->utf8(), "r1");
    EXPECT_TRUE(hall->identityBeforeRole);
    EXPECT_FALSE(hall->blocksBeforeRole);

    auto info = parseObject(hall->userInfo);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->count(), 10u);
    const std::pair<const char*, const char*> expected[] = {
        {"super_user_id", "u1"}, {"super_role_id", "r1"}, {"super_token", "tk"}, {"cp_role_id", "cp9"},
        {"game_id", "7"},        {"service_id", "s1"},    {"channel_id", "256"}, {"service_name", "一区"},
        {"role_name", "Ann"},    {"role_level", "12"}};
    for (auto& [key, value] : expected) EXPECT_EQ(ns::textOf(info->objectForKey(key)), value) << key;

    EXPECT_TRUE(entity->isHallOpen());
    hall->rechargeBlock(text("{\"event\" : \"open_shop\"}"));
    EXPECT_EQ(listener->recharges, std::vector<std::string>{"{\"event\" : \"open_shop\"}"});
    hall->closeBlock();
    EXPECT_FALSE(entity->isHallOpen());
}

TEST_F(StoreHallTest, IdentityChecksStopTheOpening) {
    entity->setRoleid(text(""));
    entity->kvtr_openGmShop();
    env.fastForwardBy(1.1);
    EXPECT_EQ(hudText(), "请先调用上报角色方法");
    entity->setKvtrgameid(text("(null)"));
    entity->kvtr_openResourceStore();
    EXPECT_EQ(hudText(), "请先登录");
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(StoreHallTest, ANewerOpeningSupersedesAnOlderOne) {
    routeStore();
    entity->setRoleid(text("r1"));
    entity->getUsefulData();
    entity->getUsefulData();
    env.runUntilIdle();
    EXPECT_EQ(hallsShown(), 1u);
    EXPECT_EQ(requestsTo("/gmstore/status").size(), 1u) << "the older opening asks for nothing more";
}

TEST_F(StoreHallTest, AFailedLegAbandonsTheOpeningAndHoldsNothing) {
    routeStore();
    entity->setRoleid(text("r1"));
    server.route("GET", "/vipstore/goodsnew", json(R"({"status":"500"})"));
    entity->getUsefulData();
    env.runUntilIdle();

    routeStore();
    testing::Reply dropped = json("{}");
    dropped.dropAfterBytes = 0;
    server.route("POST", "/vipstore/status", dropped);
    entity->getUsefulData();
    env.fastForwardBy(10);
    EXPECT_EQ(hallsShown(), 0u);

    routeStore();
    entity->getUsefulData();
    env.runUntilIdle();
    EXPECT_EQ(hallsShown(), 1u) << "nothing was left waiting";
}

TEST_F(StoreHallTest, RepliesOfUnexpectedShapesReadAsAbsent) {
    server.route("GET", "/menu/index", json(R"({"status":"200","data":{"1":"3"},"time":[600]})"));
    server.route("GET", "/gmstore/goodsnew", json(R"({"status":200,"data":{"total_money":5,"list":"many"}})"));
    server.route("GET", "/vipstore/goodsnew", json(R"({"status":200,"data":{"list":[7,[8,{"id":5}]]}})"));
    server.route("POST", "/gmstore/status", json("[12,1]"));
    server.route("POST", "/vipstore/status", testing::Reply::text("<html>busy</html>", "text/html"));
    ui::Screen::mainScreen()->setOrientation(ui::InterfaceOrientation::LandscapeRight);
    entity->setRoleid(text("r1"));
    entity->setLuck_time(text("30"));
    entity->openActivityHall();
    env.runUntilIdle();

    EXPECT_EQ(entity->menuArray()->count(), 0u);
    EXPECT_EQ(ns::textOf(entity->luck_time()), "30");
    ASSERT_EQ(halls.views.size(), 1u) << "landscape hall";
    EXPECT_EQ(halls.views[0]->responseArray->count(), 0u);
    EXPECT_EQ(ns::textOf(goodsAt(halls.views[0]->VIPArray, 1, 1)->objectForKey("id")), "5");
}

TEST_F(StoreHallTest, TwoResourceRepliesWithinTheDebounceOpenOneHallWithTheLatest) {
    std::atomic<int> served{0};
    server.route("GET", "/infiniteres/goods", [&](const testing::RecordedRequest&, testing::Reply& reply) {
        reply = json(R"({"status":"200","n":)" + std::to_string(++served) + "}");
    });
    entity->setRoleid(text("r1"));
    entity->setService_id(text("s1"));
    entity->kvtr_openResourceStore();
    env.fastForwardBy(0.5);
    entity->kvtr_openResourceStore();
    env.fastForwardBy(0.9);
    EXPECT_TRUE(resourceHalls.views.empty());
    env.fastForwardBy(0.2);

    EXPECT_EQ(requestsTo("/infiniteres/goods").at(0).query, "game_id=7&role_id=r1&server_id=s1");
    ASSERT_EQ(resourceHalls.views.size(), 1u);
    EXPECT_EQ(resourceHalls.views[0]->shows, 1);
    EXPECT_EQ(ns::textOf(resourceHalls.views[0]->responseData->objectForKey("n")), "2");
    EXPECT_EQ(ns::textOf(parseObject(resourceHalls.views[0]->userInfo)->objectForKey("service_id")), "s1");
}

}  // namespace
