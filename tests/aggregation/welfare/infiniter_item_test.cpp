// The infinite-resource card: its buttons by the record's flags, the layout
// of its texts, the claims against the sandbox's game server and the signed
// resource order that ends in "KVTRResourcePAYNotification".

#include "aggregation/welfare/KVTRInfiniterItem.h"
#include "aggregation/welfare/KVTRResourceHall.h"
#include "platform/foundation/Format.h"
#include "sandbox/FormFields.h"
#include "tests/aggregation/welfare/welfare_test_support.h"

namespace {

using namespace welfaretest;

class InfiniterItemTest : public WelfareTest {
protected:
    ns::Ref<KVTRInfiniterItem> card(std::string_view record, bool portrait = false) {
        ns::Ref<KVTRInfiniterItem> item =
            portrait ? std::make_shared<KVTRVerInfiniterItem>() : std::make_shared<KVTRInfiniterItem>();
        item->userInfo = text(storestest::kIdentity);
        item->setModel(KVTRInfiniterModel::withDictionary(json(record)));
        item->setFrame({100, 50, portrait ? 162.0 : 140.0, portrait ? 260.0 : 290.0});
        app->window_->addSubview(item);
        return item;
    }
    static std::string titleOf(const ns::Ref<ui::Button>& button) { return str(button->currentTitle()); }
    static bool isClaimed(const ns::Ref<ui::Button>& button) {
        return !button->isHidden() && !button->isUserInteractionEnabled();
    }
};

TEST_F(InfiniterItemTest, TheRecordsFlagsChooseTheButtons) {
    auto forSale = card(R"({"id":"1","title":"Gold","money":6,"is_buy":"0"})");
    EXPECT_FALSE(forSale->buyBtn->isHidden());
    EXPECT_EQ(titleOf(forSale->buyBtn), "6元购买");
    for (auto& claim : {forSale->coinBtn, forSale->welfareBtn, forSale->superwelfareBtn})
        EXPECT_TRUE(claim->isHidden());

    auto bought = card(R"({"id":"2","game_coin":"600","welfare_nums":5,"super_welfare_nums":"3","is_buy":1,)"
                       R"("is_coin":"1","is_welfare":0,"is_superwelfare":"2"})");
    EXPECT_TRUE(bought->buyBtn->isHidden());
    EXPECT_EQ(titleOf(bought->coinBtn), "领取600");
    EXPECT_EQ(titleOf(bought->welfareBtn), "领取福利转盘×5");
    EXPECT_TRUE(isClaimed(bought->coinBtn));
    EXPECT_TRUE(bought->welfareBtn->isUserInteractionEnabled());
    EXPECT_FALSE(bought->welfareBtn->isHidden());
    EXPECT_TRUE(bought->superwelfareBtn->isHidden());
    driver.tap(bought->coinBtn);
    env.runUntilIdle();
    EXPECT_EQ(countOf("/infiniteres/getcoin"), 0u) << "a claimed button takes no taps";

    for (auto record : {R"({"is_buy":"2"})", R"({"title":"x"})"}) {
        auto none = card(record);
        for (auto& button : {none->buyBtn, none->coinBtn, none->welfareBtn, none->superwelfareBtn})
            EXPECT_TRUE(button->isHidden()) << record;
    }
}

TEST_F(InfiniterItemTest, ALongTitlePushesTheDescriptionDown) {
    auto shortOne = card(R"({"title":"Gold","content":"Every hour."})");
    auto longOne = card(R"({"title":")" + std::string(120, 'W') + R"(","content":"Every hour."})", true);
    EXPECT_EQ(shortOne->title->frame().origin, (cg::Point{20, 150}));
    EXPECT_EQ(shortOne->contentLabel->frame().origin.y, 152 + shortOne->title->frame().size.height);
    EXPECT_EQ(longOne->title->frame().size.width, 120);
    EXPECT_GT(longOne->title->frame().size.height, shortOne->title->frame().size.height);
    EXPECT_EQ(longOne->contentLabel->frame().origin.y, 152 + longOne->title->frame().size.height);
    EXPECT_EQ(longOne->coinBtn->frame(), (cg::Rect{5, 205, 75, 22}));
    EXPECT_EQ(shortOne->superwelfareBtn->frame(), (cg::Rect{12, 255, 105, 22}));
}

TEST_F(InfiniterItemTest, ClaimsMarkTheirButtonAndAskForTheirWheelsReload) {
    auto item = card(R"({"id":"2","is_buy":"1","is_coin":"0","is_welfare":"0","is_superwelfare":"0"})");
    int welfareReloads = 0, superReloads = 0;
    item->welfareBlock = [&] { ++welfareReloads; };
    item->superwelfareBlock = [&] { ++superReloads; };

    ASSERT_TRUE(driver.tap(item->coinBtn));
    env.runUntilIdle();
    EXPECT_TRUE(isClaimed(item->coinBtn));
    EXPECT_EQ(titleOf(item->coinBtn), "领取(null)") << "the title stays";
    EXPECT_EQ(welfareReloads + superReloads, 0);
    EXPECT_EQ(hudText(), "领取成功");
    auto query = sandbox::FormFields::parse(requestsTo("/infiniteres/getcoin").at(0).query);
    EXPECT_EQ(query.value("game_id"), "1001");
    EXPECT_EQ(query.value("role_id"), "r1");
    EXPECT_EQ(query.value("server_id"), "s1");
    EXPECT_EQ(query.value("good_id"), "2");

    ASSERT_TRUE(driver.tap(item->welfareBtn));
    env.runUntilIdle();
    EXPECT_TRUE(isClaimed(item->welfareBtn));
    EXPECT_EQ(welfareReloads, 1);
    EXPECT_EQ(superReloads, 0);
    EXPECT_FALSE(isClaimed(item->superwelfareBtn));

    // A refused claim leaves the button active.
    auto unknown = card(R"({"id":"9","is_buy":"1","is_coin":"0","is_welfare":"0","is_superwelfare":"0"})");
    unknown->superwelfareBlock = [&] { ++superReloads; };
    ASSERT_TRUE(driver.tap(unknown->superwelfareBtn));
    env.runUntilIdle();
    EXPECT_EQ(hudText(), "no such goods");
    EXPECT_TRUE(unknown->superwelfareBtn->isUserInteractionEnabled());
    EXPECT_EQ(superReloads, 0);
}

TEST_F(InfiniterItemTest, AClaimTakesItsGameIdFromTheIdentityTheWheelsFromThePlist) {
    std::string identity = storestest::kIdentity;
    const std::string plistGame = R"("game_id":"1001")";
    ASSERT_NE(identity.find(plistGame), std::string::npos);
    identity.replace(identity.find(plistGame), plistGame.size(), R"("game_id":"2002")");

    auto item = card(R"({"id":"2","is_buy":"1","is_coin":"0","is_welfare":"0","is_superwelfare":"0"})");
    item->userInfo = text(identity);
    ASSERT_TRUE(driver.tap(item->coinBtn));
    env.runUntilIdle();
    auto claims = requestsTo("/infiniteres/getcoin");
    ASSERT_EQ(claims.size(), 1u);
    EXPECT_EQ(sandbox::FormFields::parse(claims[0].query).value("game_id"), "2002");

    // A hall with the same identity loads its wheels with the plist's.
    auto hall = std::make_shared<KVTRResourceHall>();
    hall->userInfo = text(identity);
    hall->setResponseData(json(goodsReply(2)));
    hall->show();
    env.runUntilIdle();
    auto wheels = requestsTo("/infiniteres/welfareturntable");
    ASSERT_FALSE(wheels.empty());
    EXPECT_EQ(sandbox::FormFields::parse(wheels[0].query).value("game_id"), "1001");
}

TEST_F(InfiniterItemTest, ABuyPostsASignedOrderWithoutRemarkAndEachAcceptedOnePostsOnce) {
    auto item = card(R"({"id":"1","title":"Endless gold","money":"6","is_buy":"0"})");
    ASSERT_TRUE(driver.tap(item->buyBtn));
    env.runUntilIdle();
    ASSERT_EQ(resourcePayments.size(), 1u);
    EXPECT_TRUE(payments.empty()) << "not a store order";
    auto info = ns::cast<ns::Dictionary>(resourcePayments[0]);
    EXPECT_EQ(str(info->objectForKey("order_id")), "ro1");
    EXPECT_EQ(str(info->objectForKey("good_name")), "Endless gold");
    EXPECT_EQ(str(info->objectForKey("good_id")), "1");
    EXPECT_EQ(str(info->objectForKey("money")), "6");
    auto form = sandbox::FormFields::parse(requestsTo("/charge/resorder").at(0).body);
    std::vector<std::string> names;
    for (auto& [name, value] : form.entries()) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"super_user_id", "game_id", "service_id", "service_name", "role_id",
                                               "role_name", "good_id", "random", "sign"}));
    EXPECT_EQ(form.value("role_id"), "r1");

    ASSERT_TRUE(driver.tap(item->buyBtn));
    env.runUntilIdle();
    EXPECT_EQ(resourcePayments.size(), 2u) << "a second tap orders again";

    auto unknown = card(R"({"id":"9","title":"None","money":"1","is_buy":"0"})");
    ASSERT_TRUE(driver.tap(unknown->buyBtn));
    env.runUntilIdle();
    EXPECT_EQ(resourcePayments.size(), 2u);
    EXPECT_EQ(hudText(), "no such goods");
}

}  // namespace
