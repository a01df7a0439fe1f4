// The game server's resource-hall requests: the two wheels, draws counted
// per role, the card's claims, the super centre prize and the signed
// resource charge order.

#include <gtest/gtest.h>

#include "platform/foundation/Array.h"
#include "platform/security/Digest.h"
#include "platform/security/Hex.h"
#include "sandbox/GameServer.h"
#include "tests/sandbox/SandboxClient.h"

namespace sandbox {
namespace {

using test::get;
using test::post;
using test::text;
using test::valueAt;

constexpr const char* kRole = "game_id=1001&role_id=r1&server_id=s1";

ns::Id dataOf(GameServer& game, const std::string& path) {
    auto reply = get(game.http(), "/infiniteres/" + path + (path.find('?') == std::string::npos ? "?" : "&") + kRole);
    return reply.json();
}

TEST(WelfareRequests, TheWheelsHoldEightSectorsAndTheirCentres) {
    GameServer game;
    ns::Id welfare = dataOf(game, "welfareturntable");
    EXPECT_EQ(text(welfare, "status"), "200");
    auto items = ns::cast<ns::Array>(valueAt(valueAt(welfare, "data"), "items"));
    ASSERT_TRUE(items);
    EXPECT_EQ(items->count(), 9u);
    EXPECT_EQ(text(items->lastObject(), "is_super"), "1");
    EXPECT_EQ(text(valueAt(welfare, "data"), "user_welfare_nums"), "6");

    ns::Id super = valueAt(dataOf(game, "superwelfareturntable"), "data");
    EXPECT_EQ(ns::cast<ns::Array>(valueAt(super, "items"))->count(), 8u);
    EXPECT_EQ(text(valueAt(super, "select_extra_items"), "nums"), "3");
    EXPECT_EQ(text(super, "use_superwelfare_nums"), "0");
}

TEST(WelfareRequests, DrawsAreSpentPerRoleAndFillTheSuperBar) {
    GameServer game;
    ns::Id five = dataOf(game, "getwelfareturntable?nums=5");
    EXPECT_EQ(ns::cast<ns::Array>(valueAt(valueAt(five, "data"), "prop_list"))->count(), 5u);
    EXPECT_EQ(text(valueAt(dataOf(game, "welfareturntable"), "data"), "user_welfare_nums"), "1");
    ns::Id tooMany = dataOf(game, "getwelfareturntable?nums=5");
    EXPECT_EQ(text(tooMany, "status"), "400");
    EXPECT_EQ(text(tooMany, "msg"), "not enough draws");
    EXPECT_EQ(text(dataOf(game, "getwelfareturntable?nums=2"), "status"), "400");

    // Another role has its own draws.
    auto other = get(game.http(), "/infiniteres/welfareturntable?game_id=1001&role_id=r2&server_id=s1");
    EXPECT_EQ(text(valueAt(other.json(), "data"), "user_welfare_nums"), "6");

    // The centre prize waits for a full bar, then empties it.
    EXPECT_EQ(text(dataOf(game, "getsuperprop"), "status"), "400");
    EXPECT_EQ(text(dataOf(game, "getsuperwelfareturntable?nums=1"), "status"), "200");
    EXPECT_EQ(text(dataOf(game, "getsuperwelfareturntable?nums=1"), "status"), "200");
    EXPECT_EQ(text(dataOf(game, "getsuperwelfareturntable?nums=1"), "status"), "200");
    EXPECT_EQ(text(valueAt(dataOf(game, "superwelfareturntable"), "data"), "use_superwelfare_nums"), "3");
    EXPECT_EQ(text(dataOf(game, "getsuperprop"), "status"), "200");
    EXPECT_EQ(text(valueAt(dataOf(game, "superwelfareturntable"), "data"), "use_superwelfare_nums"), "0");
}

TEST(WelfareRequests, CardClaimsGrantDrawsAndNeedTheGoods) {
    GameServer game;
    EXPECT_EQ(text(dataOf(game, "getwelfare?good_id=2"), "status"), "200");
    EXPECT_EQ(text(valueAt(dataOf(game, "welfareturntable"), "data"), "user_welfare_nums"), "11");
    EXPECT_EQ(text(dataOf(game, "getsuperwelfare?good_id=2"), "status"), "200");
    EXPECT_EQ(text(valueAt(dataOf(game, "superwelfareturntable"), "data"), "user_superwelfare_nums"), "11");
    EXPECT_EQ(text(dataOf(game, "getcoin?good_id=2"), "status"), "200");
    EXPECT_EQ(text(dataOf(game, "getcoin"), "msg"), "good_id is missing");
    EXPECT_EQ(text(dataOf(game, "getcoin?good_id=9"), "msg"), "no such goods");
    auto incomplete = get(game.http(), "/infiniteres/welfareturntable?game_id=1001&role_id=r1");
    EXPECT_EQ(text(incomplete.json(), "msg"), "server_id is missing");
}

TEST(WelfareRequests, AResourceOrderNeedsItsSevenValueSign) {
    GameServer game;
    const std::string sign =
        sec::hexLower(sec::md5(std::string("u11001s1r1112345") + "5d1f7e20c4b98a3361e0fa47d2c85b19"));
    auto form = [](const std::string& s) {
        return "super_user_id=u1&game_id=1001&service_id=s1&service_name=S1&role_id=r1&role_name=Ann&good_id=1&"
               "random=12345&sign=" +
               s;
    };
    auto first = post(game.http(), "/charge/resorder", form(sign));
    EXPECT_EQ(text(first.json(), "status"), "200") << first.body;
    EXPECT_EQ(text(valueAt(first.json(), "data"), "order_id"), "ro1");
    EXPECT_EQ(text(valueAt(post(game.http(), "/charge/resorder", form(sign)).json(), "data"), "order_id"), "ro2");
    EXPECT_EQ(text(post(game.http(), "/charge/resorder", form(std::string(32, '0'))).json(), "status"), "401");
    EXPECT_EQ(text(post(game.http(), "/charge/resorder", "good_id=1").json(), "status"), "400");
}

}  // namespace
}  // namespace sandbox
