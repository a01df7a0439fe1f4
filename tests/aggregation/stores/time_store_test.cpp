// The time store page and its gift rows against the sandbox's game server:
// the goods fetch and its refresh cycle, the rows' items, the optional-gift
// chooser, the remark and the signed charge order.

#include <algorithm>

#include "aggregation/stores/KVTRFixBtn.h"
#include "aggregation/stores/KVTRGiftCell.h"
#include "aggregation/stores/KVTROptionalGiftView.h"
#include "aggregation/stores/KVTRTimeStoreView.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/Text.h"
#include "platform/testing/LoopbackServer.h"
#include "tests/aggregation/stores/stores_test_support.h"

namespace {

using namespace storestest;

ns::Ref<KVTRTimeStoreModel> bundle(const std::string& json) {
    auto data = ns::Data::withBytes(json);
    return KVTRTimeStoreModel::withDictionary(ns::JSONSerialization::JSONObjectWithData(data, 0));
}

class TimeStoreTest : public StoresTest {
protected:
    // A page on the key window, fed as the hall feeds it.
    ns::Ref<KVTRTimeStoreView> openPage(bool portrait = false) {
        ns::Ref<KVTRTimeStoreView> page;
        if (portrait) {
            page = std::make_shared<KVTRVerticalTimeStoreView>();
        } else {
            page = std::make_shared<KVTRTimeStoreView>();
        }
        page->setFrame({0, 0, 607, 315});
        app->window_->addSubview(page);
        page->setUserInfo(text(kIdentity));
        page->setRoleid(text("r1"));
        env.runUntilIdle();
        return page;
    }

    ns::Ref<KVTRGiftCell> row(const ns::Ref<KVTRTimeStoreView>& page, int64_t section) {
        auto table = page->giftVC()->tableView();
        table->layoutIfNeeded();
        return std::dynamic_pointer_cast<KVTRGiftCell>(table->cellForRowAtIndexPath({section, 0}));
    }

    // Taps a slot and picks the chooser's tile showing `name`.
    void choose(const ns::Ref<KVTRFixBtn>& slot, const std::string& name) {
        ASSERT_TRUE(driver.tap(slot));
        auto chooser = driver.findOfType<KVTROptionalGiftView>();
        ASSERT_TRUE(chooser);
        chooser->layoutIfNeeded();
        auto tiles = driver.findAll([&](ui::View& v) {
            auto tile = dynamic_cast<KVTRFixBtn*>(&v);
            return tile && tile->superview().get() == chooser.get() && tile->model() && ns::textOf(tile->model()->name) == name;
        });
        ASSERT_EQ(tiles.size(), 1u) << name;
        ASSERT_TRUE(driver.tap(tiles[0]));
        env.runUntilIdle();
    }
};

TEST_F(TimeStoreTest, FetchesTheRolesBundlesAndListsThemInRows) {
    auto page = openPage();
    auto fetches = requestsTo("/timestore/goodsnew");
    ASSERT_EQ(fetches.size(), 1u);
    EXPECT_EQ(fetches[0].query, "game_id=1001&role_id=r1&server_id=s1");
    EXPECT_EQ(ns::textOf(page->giftNameLabel->text()), "Limited bundles");
    EXPECT_EQ(ns::textOf(page->limitlabel->text()), "Bundles change every ten minutes.");
    auto table = page->giftVC()->tableView();
    ASSERT_EQ(table->numberOfSections(), 2);
    EXPECT_DOUBLE_EQ(table->rectForRowAtIndexPath({0, 0}).size.height, 51.25);

    // Bundle 12: one fixed gift, the plus, two optional slots.
    auto first = row(page, 0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->fixView->frame(), (cg::Rect{98, 2, 389, 47.25}));
    auto& items = first->itemButtons();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_DOUBLE_EQ(items[0]->frame().origin.x, 30);
    EXPECT_DOUBLE_EQ(items[1]->frame().origin.x, 60 + 77.25);
    EXPECT_DOUBLE_EQ(items[2]->frame().origin.x, 60 + 2 * 77.25);
    EXPECT_EQ(ns::textOf(items[0]->model()->name), "Gold");
    EXPECT_FALSE(items[1]->model()->mid);
    EXPECT_TRUE(items[1]->name()->isHidden());
    EXPECT_FALSE(first->fixImage->isHidden());

    // Bundle 13 is all fixed: no badge, the fixed item at 30.
    auto second = row(page, 1);
    ASSERT_TRUE(second);
    EXPECT_TRUE(second->fixImage->isHidden());
    ASSERT_EQ(second->itemButtons().size(), 1u);
    EXPECT_DOUBLE_EQ(second->itemButtons()[0]->frame().origin.x, 30);
}

TEST_F(TimeStoreTest, BuyingNeedsEverySlotFilledThenPostsASignedOrderTheServerAccepts) {
    auto page = openPage();
    auto first = row(page, 0);
    ASSERT_TRUE(first);
    ASSERT_TRUE(driver.tap(first->buyBtn));
    EXPECT_EQ(hudText(), "请选择定制礼包");
    EXPECT_TRUE(requestsTo("/charge/order").empty());

    choose(first->itemButtons()[1], "Rare gem");
    // Re-choosing a slot gives its gift back to the pool.
    choose(first->itemButtons()[1], "Stamina");
    EXPECT_EQ(first->giftModelArray()->count(), 2u);
    choose(first->itemButtons()[2], "Rare gem");
    EXPECT_EQ(first->chooseModelArray()->count(), 2u);

    ASSERT_TRUE(driver.tap(first->buyBtn));
    env.runUntilIdle();
    auto orders = requestsTo("/charge/order");
    ASSERT_EQ(orders.size(), 1u);
    auto form = orders[0].fields();
    EXPECT_EQ(form.value("remark"), "12|3|8|7|0");
    EXPECT_EQ(form.value("role_id"), "r1");
    EXPECT_EQ(form.value("service_name"), "Dark Knight");
    EXPECT_EQ(form.value("random").size(), 5u);
    // The stand-in checks the sign and accepted it.
    ASSERT_EQ(payments.size(), 1u);
    auto info = ns::cast<ns::Dictionary>(payments[0]);
    EXPECT_EQ(ns::textOf(info->objectForKey("order_id")), "co1");
    EXPECT_EQ(ns::textOf(info->objectForKey("remark")), "12|3|8|7|0");
    EXPECT_EQ(ns::textOf(info->objectForKey("good_id")), "12");
    EXPECT_EQ(ns::textOf(info->objectForKey("good_name")), "Builder's bundle");
    EXPECT_EQ(ns::textOf(info->objectForKey("money")), "6");
}

TEST_F(TimeStoreTest, TheOrderCarriesTheBundleTappedEvenWhenTheRowMovesOnBeforeTheReply) {
    auto page = openPage();
    auto second = row(page, 1);
    ASSERT_TRUE(second);
    ASSERT_TRUE(driver.tap(second->buyBtn));
    // Before the reply lands the row shows another bundle.
    second->setModel(bundle(R"({"good_id":"99","gift_name":"Other","gift_money":"30","is_all_fixed":"2"})"));
    env.runUntilIdle();
    ASSERT_EQ(payments.size(), 1u);
    auto info = ns::cast<ns::Dictionary>(payments[0]);
    EXPECT_EQ(ns::textOf(info->objectForKey("good_id")), "13");
    EXPECT_EQ(ns::textOf(info->objectForKey("good_name")), "Starter bundle");
    EXPECT_EQ(ns::textOf(info->objectForKey("money")), "1");
}

TEST_F(TimeStoreTest, RemarksArePaddedToFiveFieldsAndARefusalShowsItsMessage) {
    auto cell = std::make_shared<KVTRGiftCell>(ui::TableViewCellStyle::Default, "cell");
    cell->setModel(bundle(R"({"good_id":12,"is_all_fixed":"2","optional_num":"0",
        "fixed_gift":[{"mid":"3"},{"mid":7}],"optional_gift":[{"mid":"9"}]})"));
    EXPECT_EQ(ns::textOf(cell->chargeRemark()), "12|3|7|0|0");
    cell->setModel(bundle(R"({"good_id":"12","is_all_fixed":"5"})"));
    EXPECT_EQ(ns::textOf(cell->chargeRemark()), "12|0|0|0|0");
    EXPECT_FALSE(cell->fixImage->isHidden());
    cell->setModel(bundle(R"({"good_id":"1","is_all_fixed":"2","optional_num":"2",
        "fixed_gift":[{"mid":"1"},{"mid":"2"},{"mid":"3"}],"optional_gift":[{"mid":"4"},{"mid":"5"},{"mid":"6"}]})"));
    EXPECT_EQ(ns::textOf(cell->chargeRemark()), "1|1|2|3|4|5");

    // "is_buy" 1: the bought image and no touches.
    cell->setModel(bundle(R"({"good_id":"1","is_buy":1,"is_all_fixed":"2"})"));
    EXPECT_FALSE(cell->buyBtn->isUserInteractionEnabled());

    // Without an identity the order still goes, every identity value "(null)".
    cell->userInfo = text("not json");
    cell->setModel(bundle(R"({"good_id":"13","is_all_fixed":"2"})"));
    cell->toCharge();
    env.runUntilIdle();
    auto orders = requestsTo("/charge/order");
    ASSERT_EQ(orders.size(), 1u);
    EXPECT_EQ(orders[0].fields().value("super_user_id"), "(null)");
    EXPECT_EQ(orders[0].fields().value("service_id"), "(null)");
    payments.clear();

    // A refusal shows the server's message and posts nothing.
    cell->userInfo = text(R"({"super_user_id":"u1","game_id":"1001","super_role_id":"r1","service_id":"s1",
        "service_name":"","role_name":"Ann"})");
    cell->toCharge();
    env.runUntilIdle();
    EXPECT_EQ(hudText(), "service_name is missing");
    EXPECT_TRUE(payments.empty());
}

TEST_F(TimeStoreTest, AnEmptyPoolOpensNoChooser) {
    auto cell = std::make_shared<KVTRGiftCell>(ui::TableViewCellStyle::Default, "cell");
    app->window_->addSubview(cell);
    cell->setModel(bundle(R"({"good_id":"1","is_all_fixed":"1","optional_num":"1","optional_gift":[]})"));
    ASSERT_EQ(cell->itemButtons().size(), 1u);
    cell->clickFixBtn(*cell->itemButtons()[0]);
    EXPECT_FALSE(driver.findOfType<KVTROptionalGiftView>());
    EXPECT_FALSE(cell->alert);
}

TEST_F(TimeStoreTest, TheChooserGrowsWithItsGiftsThreeToARow) {
    auto chooser = std::make_shared<KVTROptionalGiftView>();
    chooser->giftArray = ns::MutableArray::make();
    for (const char* name : {"a", "b", "c", "d"}) {
        chooser->giftArray->addObject(
            KVTRFixedGiftModel::withDictionary(ns::Dictionary::make({{"name", text(name)}, {"mid", text(name)}})));
    }
    chooser->show();
    chooser->layoutIfNeeded();
    EXPECT_EQ(chooser->frame().size, (cg::Size{165, 115}));
    EXPECT_EQ(chooser->center(), app->window_->center());
    auto fourth = driver.find([&](ui::View& v) {
        auto tile = dynamic_cast<KVTRFixBtn*>(&v);
        return tile && tile->model() && ns::textOf(tile->model()->name) == "d";
    });
    ASSERT_TRUE(fourth);
    EXPECT_EQ(fourth->frame(), (cg::Rect{10, 60, 45, 45}));
    // The cover does nothing; a pick closes the chooser and hands the gift on.
    ns::Ref<KVTRFixedGiftModel> picked;
    chooser->chooseBlock = [&](const ns::Ref<KVTRFixedGiftModel>& gift) { picked = gift; };
    ASSERT_TRUE(driver.tapAt({5, 5}));
    EXPECT_TRUE(chooser->superview());
    ASSERT_TRUE(driver.tap(fourth));
    EXPECT_FALSE(chooser->superview());
    EXPECT_EQ(picked.get(), ns::cast<KVTRFixedGiftModel>(chooser->giftArray->objectAtIndex(3)).get());
}

TEST_F(TimeStoreTest, ReplyValuesOfTheWrongTypeReadAsAbsent) {
    auto model = bundle(R"({"good_id":null,"gift_name":["x"],"fixed_gift":"text","optional_gift":{"a":1}})");
    EXPECT_FALSE(model->good_id);
    EXPECT_FALSE(model->gift_name);
    EXPECT_FALSE(model->fixed_gift);
    EXPECT_FALSE(model->optional_gift);
}

TEST_F(TimeStoreTest, TheRefreshCountdownShowsMinutesAndSecondsAndFetchesAgainAtItsEnd) {
    game.http().clearRequests();
    auto page = openPage();
    // The page's first layout pass starts the cycle: the sandbox's menu
    // gives 600 s.
    page->layoutIfNeeded();
    env.runUntilIdle();
    ASSERT_EQ(requestsTo("/menu/index").size(), 1u);
    EXPECT_EQ(ns::textOf(page->countLabel->text()), "倒计时10分钟0秒");
    env.fastForwardBy(125);
    EXPECT_EQ(ns::textOf(page->countLabel->text()), "倒计时7分钟55秒");
    // More layout passes start no second cycle.
    page->setNeedsLayout();
    page->layoutIfNeeded();
    env.runUntilIdle();
    EXPECT_EQ(requestsTo("/menu/index").size(), 1u);
    env.fastForwardBy(476);
    env.runUntilIdle();
    EXPECT_EQ(requestsTo("/timestore/goodsnew").size(), 2u);
    EXPECT_EQ(requestsTo("/menu/index").size(), 2u);
}

TEST_F(TimeStoreTest, APeriodOfZeroEndsTheFirstCountdownAtOnceAndLaterOnesLastTenSeconds) {
    testing::LoopbackServer server;
    int menus = 0;
    int goods = 0;
    server.route("GET", "/menu/index", [&](const testing::RecordedRequest&, testing::Reply& reply) {
        ++menus;
        reply = testing::Reply::text(R"({"status":200,"time":{"time_shop_refresh":0}})", "application/json");
    });
    server.route("GET", "/timestore/goodsnew", [&](const testing::RecordedRequest&, testing::Reply& reply) {
        ++goods;
        reply = testing::Reply::text(R"({"status":"200","data":{"list":"not a list","gift_no_name":7}})",
                                     "application/json");
    });
    ::setenv("GAMEHOST_GAME_SERVER_URL", server.baseURL().c_str(), 1);
    auto page = openPage();
    page->layoutIfNeeded();
    env.runUntilIdle();
    // The first countdown ended at its first tick: goods and menu again.
    EXPECT_EQ(menus, 2);
    EXPECT_EQ(goods, 2);
    // A list of the wrong type reads as an empty one; a number is its text.
    EXPECT_EQ(page->giftVC()->giftModelArray()->count(), 0u);
    EXPECT_EQ(ns::textOf(page->giftNameLabel->text()), "7");
    env.fastForwardBy(9);
    EXPECT_EQ(menus, 2);
    env.fastForwardBy(1.5);
    env.runUntilIdle();
    EXPECT_EQ(menus, 3);
    EXPECT_EQ(goods, 3);
    page->removeFromSuperview();
    page.reset();
    env.fastForwardBy(30);
    EXPECT_EQ(menus, 3) << "a released page ends its cycle";
}

TEST_F(TimeStoreTest, APaidOrderFetchesTheGoodsAgainEvenWhileThePageIsHidden) {
    auto page = openPage();
    page->setHidden(true);
    ns::NotificationCenter::defaultCenter()->postNotificationName("KVTRGIFTPAYSUCCESSNotification");
    env.runUntilIdle();
    EXPECT_EQ(requestsTo("/timestore/goodsnew").size(), 2u);
}

TEST_F(TimeStoreTest, PortraitRowsAreEightyHighWithTheirOwnPitch) {
    useScreen(375, 667);
    auto page = openPage(true);
    auto table = page->giftVC()->tableView();
    EXPECT_DOUBLE_EQ(table->rectForRowAtIndexPath({0, 0}).size.height, 80);
    auto first = row(page, 0);
    ASSERT_TRUE(first);
    const double side = 375 * 35 / 375.0;
    EXPECT_DOUBLE_EQ(first->itemButtons()[0]->frame().origin.x, 5);
    EXPECT_DOUBLE_EQ(first->itemButtons()[1]->frame().origin.x, side + 5 + 25);
}

}  // namespace
