// The texts the screen hands to the facade, and the checks before them.

#include <gtest/gtest.h>

#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/Text.h"
#include "shell/PageFields.h"

namespace {

// The platform's reader keeps the keys in document order.
ns::Ref<ns::Dictionary> parse(const std::string& json) {
    auto data = ns::String(json).dataUsingEncoding(ns::StringEncoding::UTF8);
    return ns::cast<ns::Dictionary>(ns::JSONSerialization::JSONObjectWithData(data, 0));
}

ns::Ref<ns::String> str(const char* s) { return ns::String::make(s); }

const char* const FullOrder = R"j({"good_id":"g1","good_name":"Gems","game_order_sn":"sn-7","role_level":12,
    "money":"6.00","service_id":"s1","service_name":"Zone 1","role_id":"r9","role_name":"Hero","remark":"x"})j";

}  // namespace

TEST(OrderText, KeysFollowInsertionOrderPrettyPrinted) {
    auto order = shell::orderText(parse(FullOrder).get(), str("u42"));
    EXPECT_EQ(order->utf8(),
              "{\n"
              "  \"good_id\" : \"g1\",\n"
              "  \"good_name\" : \"Gems\",\n"
              "  \"game_order_sn\" : \"sn-7\",\n"
              "  \"role_level\" : \"12\",\n"
              "  \"super_user_id\" : \"u42\",\n"
              "  \"money\" : \"6.00\",\n"
              "  \"service_id\" : \"s1\",\n"
              "  \"service_name\" : \"Zone 1\",\n"
              "  \"role_id\" : \"r9\",\n"
              "  \"role_name\" : \"Hero\",\n"
              "  \"remark\" : \"x\"\n"
              "}");
}

TEST(OrderText, ValuesReadAsTextWithAbsentNullAndCollections) {
    auto data = parse(R"j({"good_id":null,"good_name":["a"],"money":{"v":1},"role_level":true,"remark":"跨服"})j");
    auto order = parse(shell::orderText(data.get(), str("u1"))->utf8());
    ASSERT_TRUE(order);
    EXPECT_EQ(ns::textOf(order->objectForKey("good_id")), "<null>");
    // Arrays and objects are no field values: they read as absent.
    EXPECT_EQ(ns::textOf(order->objectForKey("good_name")), "(null)");
    EXPECT_EQ(ns::textOf(order->objectForKey("money")), "(null)");
    EXPECT_EQ(ns::textOf(order->objectForKey("role_level")), "1");
    EXPECT_EQ(ns::textOf(order->objectForKey("game_order_sn")), "(null)");
    EXPECT_EQ(ns::textOf(order->objectForKey("remark")), "跨服");
}

TEST(RoleText, CarriesTheRoleAndFixedFields) {
    auto data = parse(R"j({"service_id":3,"service_name":"S3","role_id":"r1","role_name":"A'B","role_level":"5"})j");
    auto role = parse(shell::roleText(data.get(), str("u7"))->utf8());
    ASSERT_TRUE(role);
    std::vector<std::string> keys;
    auto roleKeys = role->allKeys();
    for (const auto& key : *roleKeys) keys.push_back(ns::textOf(key));
    EXPECT_EQ(keys, (std::vector<std::string>{"super_user_id", "service_id", "service_name", "role_id", "role_name",
                                              "role_level", "power_value", "describe", "money", "experience"}));
    EXPECT_EQ(ns::textOf(role->objectForKey("service_id")), "3");
    EXPECT_EQ(ns::textOf(role->objectForKey("role_name")), "A'B");
    // Untested by the role check, so passed on as the absent text.
    EXPECT_EQ(ns::textOf(role->objectForKey("power_value")), "(null)");
    EXPECT_EQ(ns::textOf(role->objectForKey("money")), "金币");
    EXPECT_EQ(ns::textOf(role->objectForKey("describe")), "");
}

TEST(RoleText, EmptyObjectWithoutUserId) {
    auto data = parse(R"j({"service_id":"1","service_name":"S","role_id":"r","role_name":"n"})j");
    auto role = parse(shell::roleText(data.get(), nullptr)->utf8());
    ASSERT_TRUE(role);
    EXPECT_EQ(role->count(), 0u);
}

TEST(RoleCheck, NeedsAFinishedPageAndFourFilledFields) {
    auto good = parse(R"j({"role_id":"r","service_id":1,"service_name":"S","role_name":"n"})j");
    EXPECT_TRUE(shell::rolePassesCheck(true, good.get()));
    EXPECT_FALSE(shell::rolePassesCheck(false, good.get()));
    EXPECT_FALSE(shell::rolePassesCheck(true, nullptr));

    for (const char* bad : {R"j({"service_id":1,"service_name":"S","role_name":"n"})j",
                            R"j({"role_id":"","service_id":1,"service_name":"S","role_name":"n"})j",
                            R"j({"role_id":null,"service_id":1,"service_name":"S","role_name":"n"})j",
                            R"j({"role_id":"(null)","service_id":1,"service_name":"S","role_name":"n"})j",
                            R"j({"role_id":"r","service_id":1,"service_name":"S","role_name":[]})j",
                            R"j({"role_id":"r","service_id":"","service_name":"S","role_name":"n"})j",
                            R"j({"role_id":"r","service_id":1,"role_name":"n"})j"}) {
        EXPECT_FALSE(shell::rolePassesCheck(true, parse(bad).get())) << bad;
    }
    // Only the four are tested.
    auto noLevel = parse(R"j({"role_id":"r","service_id":1,"service_name":"S","role_name":"n","role_level":null})j");
    EXPECT_TRUE(shell::rolePassesCheck(true, noLevel.get()));
}

TEST(PageMessageParse, ReadsTextBodiesOnly) {
    shell::PageMessage message;
    ASSERT_TRUE(shell::parsePageMessage(str(R"j({"action":"pay","data":{"money":"1"}})j"), message));
    EXPECT_EQ(message.action->utf8(), "pay");
    ASSERT_TRUE(message.data);
    EXPECT_EQ(shell::fieldText(message.data.get(), "money")->utf8(), "1");

    // An object body is no JSON text.
    auto object = ns::Dictionary::make({{"action", str("login")}});
    EXPECT_FALSE(shell::parsePageMessage(object, message));
    EXPECT_FALSE(shell::parsePageMessage(str("not json"), message));
    EXPECT_FALSE(shell::parsePageMessage(str(R"j(["login"])j"), message));
    EXPECT_FALSE(shell::parsePageMessage(nullptr, message));

    ASSERT_TRUE(shell::parsePageMessage(str(R"j({"action":"login","data":"text"})j"), message));
    EXPECT_EQ(message.action->utf8(), "login");
    EXPECT_FALSE(message.data);
    EXPECT_EQ(shell::fieldText(message.data.get(), "role_id")->utf8(), "(null)");

    ASSERT_TRUE(shell::parsePageMessage(str(R"j({"data":{}})j"), message));
    EXPECT_FALSE(message.action);
}


TEST(PageMessageLog, LongBodiesAreCutAtACharacterBoundaryWithTheirLength) {
    auto text = [](const std::string& s) { return ns::Id(ns::String::make(s)); };
    EXPECT_EQ(shell::bodyLogText(text(R"({"action":"login"})")), R"({"action":"login"})");
    EXPECT_EQ(shell::bodyLogText(nullptr), "(null)");
    const std::string exact(512, 'a');
    EXPECT_EQ(shell::bodyLogText(text(exact)), exact);
    EXPECT_EQ(shell::bodyLogText(text(exact + "b")), exact + "… (513 bytes)");
    // 510 ASCII bytes, then three-byte characters: the one across byte 512
    // is left out whole.
    const std::string wide = std::string(510, 'x') + "角色角色";
    EXPECT_EQ(shell::bodyLogText(text(wide)), std::string(510, 'x') + "… (522 bytes)");
    EXPECT_EQ(shell::bodyLogText(text(std::string(509, 'x') + "角色")), std::string(509, 'x') + "角… (515 bytes)");
}
