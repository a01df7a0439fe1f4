#include "sandbox/GameServer.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/foundation/Array.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"
#include "tests/sandbox/SandboxClient.h"

namespace sandbox {
namespace {

using test::get;
using test::post;
using test::text;
using test::valueAt;

ns::Ref<ns::Array> arrayAt(const ns::Id& dictionary, const std::string& key) {
    return ns::cast<ns::Array>(valueAt(dictionary, key));
}

// Checks the {status "200", data {list, total_money}} shape and answers the
// goods ids, or an empty set after a failure.
std::set<std::string> goodsIds(const test::Reply& reply, const std::string& categoryTitleKey) {
    std::set<std::string> ids;
    ns::Id json = reply.json();
    EXPECT_EQ(text(json, "status"), "200") << reply.body;
    ns::Id data = valueAt(json, "data");
    EXPECT_FALSE(text(data, "total_money").empty());
    auto categories = arrayAt(data, "list");
    if (!categories || categories->count() == 0) {
        ADD_FAILURE() << "no categories in " << reply.body;
        return ids;
    }
    for (const ns::Id& category : *categories) {
        auto goods = ns::cast<ns::Array>(category);
        if (!goods || goods->count() == 0) {
            ADD_FAILURE() << "a category that is not a non-empty array in " << reply.body;
            continue;
        }
        // The first goods of a category carries the category's title.
        EXPECT_FALSE(text(goods->firstObject(), categoryTitleKey).empty());
        for (const ns::Id& item : *goods) {
            EXPECT_FALSE(text(item, "id").empty());
            EXPECT_FALSE(text(item, "gift_id").empty());
            EXPECT_TRUE(ns::cast<ns::String>(valueAt(item, "status")));
            ids.insert(text(item, "id"));
        }
    }
    return ids;
}

TEST(GameServerTest, MenuHoldsTabsAndTheFiveTimings) {
    GameServer server;
    auto menu = get(server.http(), "/menu/index?game_id=1001");
    EXPECT_EQ(text(menu.json(), "status"), "200");
    auto tabs = arrayAt(menu.json(), "data");
    ASSERT_TRUE(tabs);
    EXPECT_TRUE(tabs->containsObject(ns::str("3"))) << "the time store is offered";
    ns::Id time = valueAt(menu.json(), "time");
    for (const char* key : {"time_shop_refresh", "luck_time", "day_time", "active_time", "shop_time"}) {
        auto seconds = ns::cast<ns::Number>(valueAt(time, key));
        ASSERT_TRUE(seconds) << key;
        EXPECT_GT(seconds->doubleValue(), 0) << key;
    }
    EXPECT_EQ(text(get(server.http(), "/menu/index").json(), "status"), "400");
}

TEST(GameServerTest, StatusRepliesAreFlatMapsOverTheGoodsIds) {
    GameServer server;
    const std::string statusForm = "game_id=1001&token=abcdef&super_user_id=100001&role_id=500001&";
    for (auto [store, titleKey] : {std::pair{"gmstore", "gm_name"}, std::pair{"vipstore", "vip_name"}}) {
        SCOPED_TRACE(store);
        std::set<std::string> ids =
            goodsIds(get(server.http(), std::string("/") + store + "/goodsnew?game_id=1001&role_id=500001"), titleKey);
        auto status = post(server.http(), std::string("/") + store + "/status", statusForm).object();
        ASSERT_TRUE(status);
        EXPECT_GT(status->count(), 0u);
        EXPECT_FALSE(status->objectForKey("status")) << "no status code in a claim map";
        for (const ns::Id& key : *status) {
            auto id = ns::cast<ns::String>(key);
            ASSERT_TRUE(id);
            EXPECT_TRUE(ids.count(id->utf8())) << "claim status for unknown goods " << id->utf8();
            EXPECT_TRUE(ns::cast<ns::String>(status->objectForKey(key)));
        }
        // An incomplete request learns of no claims, and still gets an object.
        auto empty = post(server.http(), std::string("/") + store + "/status", "game_id=1001&").object();
        ASSERT_TRUE(empty);
        EXPECT_EQ(empty->count(), 0u);
        EXPECT_EQ(text(get(server.http(), std::string("/") + store + "/goodsnew?game_id=1001").json(), "status"),
                  "400");
    }
}

TEST(GameServerTest, ResourceGoodsNeedTheRoleAndServer) {
    GameServer server;
    auto goods = get(server.http(), "/infiniteres/goods?game_id=1001&role_id=500001&server_id=1");
    EXPECT_EQ(text(goods.json(), "status"), "200");
    auto list = arrayAt(valueAt(goods.json(), "data"), "list");
    ASSERT_TRUE(list);
    EXPECT_GT(list->count(), 0u);
    auto refused = get(server.http(), "/infiniteres/goods?game_id=1001&role_id=500001");
    EXPECT_EQ(text(refused.json(), "status"), "400");
    EXPECT_NE(text(refused.json(), "msg").find("server_id"), std::string::npos);
}

TEST(GameServerTest, EachLuckyStageHasGiftsAndCanBeClaimed) {
    GameServer server;
    std::set<std::string> titles;
    for (const char* stage : {"luck", "day", "active"}) {
        SCOPED_TRACE(stage);
        std::string query = std::string("?game_id=1001&role_id=500001&server_id=1&time=") + stage;
        auto gift = get(server.http(), "/luck/index" + query);
        EXPECT_EQ(text(gift.json(), "status"), "200");
        ns::Id data = valueAt(gift.json(), "data");
        auto items = arrayAt(data, "items");
        ASSERT_TRUE(items);
        EXPECT_GT(items->count(), 0u);
        EXPECT_FALSE(text(items->firstObject(), "name").empty());
        // Not "2": the ordinary pop-up, which the app can draw.
        EXPECT_EQ(text(data, "is_custom"), "1");
        titles.insert(text(data, "title"));
        EXPECT_EQ(text(get(server.http(), "/luck/get" + query).json(), "status"), "200");
    }
    EXPECT_EQ(titles.size(), 3u) << "each stage answers its own gift";
    EXPECT_NE(text(get(server.http(), "/luck/index?game_id=1001&role_id=5&server_id=1&time=week").json(), "status"),
              "200");
    EXPECT_EQ(post(server.http(), "/menu/index", "game_id=1001").status, 404);
    EXPECT_EQ(get(server.http(), "/gmstore/status").status, 404);
}

}  // namespace
}  // namespace sandbox
