// The store hall on the screens of the phones it runs on, fed as the facade
// feeds it with the sandbox's goods: the tab bar, the pages and their
// frames, the GM and VIP tabs, claims and closing.

#include <fstream>
#include <iterator>
#include <map>
#include <thread>

#include "aggregation/core/ROZCoreEntity.h"
#include "platform/dispatch/MainThread.h"
#include "aggregation/stores/KVTRStoreHallView.h"
#include "aggregation/stores/KVTRStoreViews.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/MutableArray.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "platform/testing/LoopbackServer.h"
#include "tests/aggregation/stores/stores_test_support.h"

namespace {

using namespace storestest;

ns::Ref<ns::MutableArray> goodsList(const std::string& json) {
    auto value = ns::JSONSerialization::JSONObjectWithData(ns::Data::withBytes(json), ns::JSONReadingMutableContainers);
    return ns::cast<ns::MutableArray>(value);
}

// Two GM categories; gift 7 of level 3 is listed in both.
const char* kGM = R"([[{"id":"12","gm_id":"3","gm_name":"Daily","gift_id":"7","gift_name":"Gold","status":"0","x":"y"},
  {"id":"13","gm_id":"3","gift_id":"8","gift_name":"Gem","status":0}],
 [{"id":"14","gm_id":"3","gm_name":"Weekly","gift_id":"7","gift_name":"Gold","status":"0"},
  {"id":"15","gm_id":"2","gift_id":"7","gift_name":"Gold","status":"0"}],
 []])";
const char* kVIP = R"([[{"id":"30","vip_id":"2","vip_name":"VIP 2","gift_id":"7","gift_name":"Chest","status":"2"}]])";

class StoreHallTest : public StoresTest {
protected:
    template <class Hall = KVTRStoreHallView>
    ns::Ref<Hall> openHall(std::vector<std::string> tabs) {
        auto hall = std::make_shared<Hall>();
        auto menu = ns::MutableArray::make();
        for (auto& tab : tabs) menu->addObject(text(tab));
        hall->responseArray = goodsList(kGM);
        hall->VIPArray = goodsList(kVIP);
        hall->menuBtnArray = menu;
        hall->token = text("tk");
        hall->super_user_id = text("u1");
        hall->gmtotal_money = text("30");
        hall->viptotal_money = text("6");
        hall->userInfo = text(kIdentity);
        hall->setRoleid(text("r1"));
        hall->closeBlock = [this] {
            ++closes;
            closedOnMain = closedOnMain && dispatch::isMainThread();
        };
        hall->show();
        env.runUntilIdle();
        return hall;
    }

    void observe(const char* name) {
        ns::NotificationCenter::defaultCenter()->addObserver(
            this, name, nullptr, [this, name](const ns::Ref<ns::Notification>& n) { seen[name].push_back(n->object()); });
    }

    // The "status" text of goods `g` of category `c` in a grid's categories.
    static std::string statusAt(const ns::Ref<ns::Array>& categories, uint64_t c, uint64_t g) {
        return ns::textOf(ns::cast<ns::Dictionary>(ns::cast<ns::Array>(categories->objectAtIndex(c))->objectAtIndex(g))
                              ->objectForKey("status"));
    }

    int closes = 0;
    bool closedOnMain = true;
    std::map<std::string, std::vector<ns::Id>> seen;
};

TEST_F(StoreHallTest, FourTabsOpenOnTheTimeStoreCentredOverTheHall) {
    ns::LogCapture log;
    auto hall = openHall({"1", "2", "3", "4"});
    EXPECT_TRUE(log.contains("screen: store hall: time store"));
    EXPECT_EQ(hall->frame(), (cg::Rect{30, 15, 607, 345}));
    ASSERT_EQ(hall->btnArray.size(), 4u);
    EXPECT_DOUBLE_EQ(hall->btnArray[0]->frame().origin.x, 33.5);
    EXPECT_DOUBLE_EQ(hall->btnArray[1]->frame().origin.x, 33.5 + 140);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(hall->btnArray[size_t(i)]->tag(), i + 1);
    EXPECT_EQ(hall->btnselImage[2], "xianshibtnsel");
    EXPECT_FALSE(hall->timeStoreView->isHidden());
    EXPECT_TRUE(hall->gmShopView->isHidden());
    EXPECT_EQ(hall->gmShopView->frame(), (cg::Rect{0, 30, 607, 315}));
    EXPECT_EQ(hall->timeStoreView->frame(), (cg::Rect{0, 30, 607, 315}));

    // A tap on the GM tab shows the GM page; tapping it again changes nothing.
    ASSERT_TRUE(driver.tap(hall->btnArray[0]));
    EXPECT_FALSE(hall->gmShopView->isHidden());
    EXPECT_TRUE(hall->timeStoreView->isHidden());
    ASSERT_TRUE(driver.tap(hall->btnArray[0]));
    EXPECT_FALSE(hall->gmShopView->isHidden());
}

TEST_F(StoreHallTest, TabsKeepTheMenusOrderAndSkipUnknownIds) {
    auto vipFirst = openHall({"2", "1"});
    ASSERT_EQ(vipFirst->btnArray.size(), 2u);
    EXPECT_EQ(vipFirst->btnArray[0]->tag(), 2);
    EXPECT_FALSE(vipFirst->vipView->isHidden());
    vipFirst->closeClick();
    env.runUntilIdle();

    auto lastIsTime = openHall({"1", "9", "4", "3"});
    ASSERT_EQ(lastIsTime->btnArray.size(), 3u);
    EXPECT_EQ(lastIsTime->btnArray[2]->tag(), 3);
    EXPECT_FALSE(lastIsTime->timeStoreView->isHidden());
    // Centred over the three buttons that exist.
    EXPECT_DOUBLE_EQ(lastIsTime->btnArray[0]->frame().origin.x, (607 - (3 * 120 + 2 * 20)) / 2.0);
}

TEST_F(StoreHallTest, ALandscapeHallWithoutPagesStillHasAWayOut) {
    auto hall = openHall({"9"});
    EXPECT_TRUE(hall->btnArray.empty());
    auto close = driver.find([&](ui::View& v) {
        return v.superview().get() == hall->backbg.get() && dynamic_cast<ui::Button*>(&v) &&
               v.frame() == cg::Rect{607 - 48, 5, 32, 32};
    });
    ASSERT_TRUE(close);
    ASSERT_TRUE(driver.tap(close));
    env.runUntilIdle();
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(hall->superview());
}

TEST_F(StoreHallTest, PortraitHallLeavesNothingBehindWhenClosed) {
    useScreen(375, 667);
    auto hall = openHall<KVTRVerticalStoreHallView>({"1", "2", "3", "4"});
    EXPECT_EQ(hall->frame(), (cg::Rect{30, 45, 315, 577}));
    EXPECT_DOUBLE_EQ(hall->btnArray[0]->frame().origin.x, 12.5);
    EXPECT_EQ(hall->timeStoreView->frame(), (cg::Rect{0, 15, 315, 532}));
    ASSERT_TRUE(hall->closeBtn);
    EXPECT_EQ(hall->closeBtn->frame(), (cg::Rect{330, 45, 32, 32}));
    auto layout = KVTRGMDetailViewController::flowLayout();
    EXPECT_DOUBLE_EQ(layout->itemSize().width, 103.125);
    ASSERT_TRUE(driver.tap(hall->closeBtn));
    // The close block runs at once; the hall leaves on a later turn.
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(hall->superview());
    env.runUntilIdle();
    EXPECT_FALSE(hall->superview());
    EXPECT_FALSE(hall->coverView->superview());
    EXPECT_FALSE(hall->closeBtn->superview());
    // Nothing keeps a closed hall: its pages, lists and web view go with it.
    ns::Weak<KVTRVerticalStoreHallView> weak = hall;
    ns::Weak<KVTRVoucherView> voucher = hall->voucherView;
    hall.reset();
    env.fastForwardBy(10);
    EXPECT_FALSE(weak.lock());
    EXPECT_FALSE(voucher.lock());
}

TEST_F(StoreHallTest, WideScreensGetAWideHall) {
    useScreen(812, 375);
    auto hall = openHall({"1"});
    EXPECT_EQ(hall->frame(), (cg::Rect{30, 15, 752, 345}));
}

TEST_F(StoreHallTest, TheGMPageHasThreeColumnsAndAnnouncesTheFirstGoodsOnce) {
    observe("DescCategoryDataWillLoad");
    auto hall = openHall({"1"});
    EXPECT_EQ(hall->categoryMenuVC->tableView()->superview()->frame(), (cg::Rect{25, 15, 106.75, 250}));
    EXPECT_EQ(hall->categoryDetailVC->view()->superview()->frame(), (cg::Rect{138.75, 15, 283.5, 250}));
    EXPECT_EQ(hall->descBgView->frame(), (cg::Rect{430.25, 15, 146.75, 75}));
    EXPECT_EQ(KVTRGMDetailViewController::flowLayout()->itemSize(), (cg::Size{131.75, 46}));
    ASSERT_EQ(seen["DescCategoryDataWillLoad"].size(), 1u);
    EXPECT_EQ(ns::textOf(hall->nameLabel->text()), "Gold");
    EXPECT_EQ(hall->categoryMenuVC->catelogyList()->count(), 3u);
    EXPECT_EQ(hall->categoryMenuVC->tableView()->indexPathForSelectedRow(), (ui::IndexPath{0, 0}));

    // Claimed marks: "0" and a numeric 0 hide it.
    auto grid = hall->categoryDetailVC->collectionView();
    grid->layoutIfNeeded();
    auto cell = std::dynamic_pointer_cast<KVTRGMDetailCell>(grid->cellForItemAtIndexPath({0, 1}));
    ASSERT_TRUE(cell);
    EXPECT_TRUE(cell->albuy->isHidden());

    // The empty third category shows an untitled row and announces nothing.
    ASSERT_TRUE(driver.selectRow(hall->categoryMenuVC->tableView(), {0, 2}));
    EXPECT_EQ(seen["DescCategoryDataWillLoad"].size(), 1u);
    EXPECT_EQ(hall->categoryDetailVC->detailCategoryList()->count(), 0u);
    ASSERT_TRUE(driver.selectRow(hall->categoryMenuVC->tableView(), {0, 1}));
    ASSERT_EQ(seen["DescCategoryDataWillLoad"].size(), 2u);
    EXPECT_EQ(ns::textOf(ns::cast<KVTRGMModel>(seen["DescCategoryDataWillLoad"][1])->categoryid), "14");
}

TEST_F(StoreHallTest, AGoodsNameThatIsMissingShowsNothingAndANumberItsDigits) {
    auto hall = openHall({"1", "2"});
    ASSERT_EQ(ns::textOf(hall->nameLabel->text()), "Gold");
    const double oneLine = hall->nameLabel->frame().size.height;
    auto shown = [](const ns::Ref<ui::Label>& label) {
        auto text = label->text();
        return text ? text->utf8() : std::string();
    };

    hall->categoryDetailVC->setSecondMArr(
        goodsList(R"([[{"id":"40","gm_id":"3","gift_id":"9","status":"0"},
                       {"id":"41","gm_id":"3","gift_id":"10","gift_name":618,"status":"0"},
                       {"id":"42","gm_id":"3","gift_id":"11","gift_name":null,"status":"0"}]])"));
    env.runUntilIdle();
    EXPECT_EQ(shown(hall->nameLabel), "");
    EXPECT_EQ(hall->nameLabel->frame().size.height, oneLine) << "the panel keeps its layout";
    auto grid = hall->categoryDetailVC->collectionView();
    grid->layoutIfNeeded();
    ASSERT_TRUE(driver.selectItem(grid, {0, 1}));
    env.runUntilIdle();
    EXPECT_EQ(shown(hall->nameLabel), "618");
    ASSERT_TRUE(driver.selectItem(grid, {0, 2}));
    env.runUntilIdle();
    EXPECT_EQ(shown(hall->nameLabel), "");

    hall->vipcategoryDetailVC->setSecondMArr(
        goodsList(R"([[{"id":"50","vip_id":"1","vip_name":"VIP 1","gift_id":"7","status":"0"}]])"));
    env.runUntilIdle();
    ASSERT_TRUE(hall->vipModel);
    EXPECT_EQ(shown(hall->vipnameLabel), "");
}

TEST_F(StoreHallTest, AGoodsCellShowsOnlyTheIconOfTheAddressItShowsNow) {
    testing::LoopbackServer icons;
    std::string png;
    {
        std::ifstream file(std::string(GAMEHOST_RESOURCES_DIR) + "/KVTRLight.bundle/close.png", std::ios::binary);
        png.assign(std::istreambuf_iterator<char>(file), {});
    }
    icons.route("GET", "/old.png", testing::Reply::text(png, "image/png"));
    auto cell = std::make_shared<KVTRGMDetailCell>(cg::Rect{0, 0, 131.75, 46});
    cell->setIconUrl(text(icons.url("/old.png")));
    cell->setIconUrl(text(icons.url("/missing.png")));
    env.runUntilIdle();
    EXPECT_FALSE(cell->icon->image());
    cell->setIconUrl(text(icons.url("/old.png")));
    env.runUntilIdle();
    EXPECT_TRUE(cell->icon->image());
}

TEST_F(StoreHallTest, AClaimSendsFiveFieldsAndMarksTheGoodsInEveryCategory) {
    observe("SuccessGetNotification");
    auto hall = openHall({"1", "2"});
    hall->toGetClick();
    env.runUntilIdle();
    auto claims = requestsTo("/gmstore/index");
    ASSERT_EQ(claims.size(), 1u);
    EXPECT_EQ(claims[0].body, "token=tk&super_user_id=u1&role_id=r1&gm_id=3&gift_id=7&");
    EXPECT_EQ(hudText(), "领取成功");
    ASSERT_EQ(seen["SuccessGetNotification"].size(), 1u);
    env.runUntilIdle();
    // Gift 7 of level 3 is marked in both categories; level 2's stays.
    auto marked = hall->categoryDetailVC->secondMArr();
    EXPECT_EQ(statusAt(marked, 0, 0), "1");
    EXPECT_EQ(statusAt(marked, 1, 0), "1");
    EXPECT_EQ(statusAt(marked, 1, 1), "0");
    EXPECT_EQ(statusAt(marked, 0, 1), "0");
    // The VIP grid did not move.
    EXPECT_EQ(statusAt(hall->vipcategoryDetailVC->secondMArr(), 0, 0), "2");

    // Level 2 is not reached: the fixed text with the success image, nothing posted.
    hall->gmModel->gm_id = text("2");
    hall->toGetClick();
    env.runUntilIdle();
    EXPECT_EQ(hudText(), "还未达到开启要求");
    EXPECT_EQ(seen["SuccessGetNotification"].size(), 1u);
}

TEST_F(StoreHallTest, TheVIPMarkShowsOnlyForStatusOneAndTheGMMarkForAnythingButZero) {
    const char* statuses = R"([[{"vip_id":"1","gift_id":"1","status":"0"},{"vip_id":"1","gift_id":"2","status":"1"},
        {"vip_id":"1","gift_id":"3","status":"2"},{"vip_id":"1","gift_id":"4"},{"vip_id":"1","gift_id":"5","status":1}]])";
    auto hall = openHall({"2"});
    hall->vipcategoryDetailVC->setSecondMArr(goodsList(statuses));
    hall->categoryDetailVC->setSecondMArr(goodsList(statuses));
    env.runUntilIdle();
    auto marks = [&](const ns::Ref<ui::CollectionView>& grid) {
        grid->layoutIfNeeded();
        std::string shown;
        for (int64_t i = 0; i < 5; ++i) {
            auto cell = std::dynamic_pointer_cast<KVTRGMDetailCell>(grid->cellForItemAtIndexPath({0, i}));
            shown += !cell ? '?' : cell->albuy->isHidden() ? '-' : 'x';
        }
        return shown;
    };
    EXPECT_EQ(marks(hall->vipcategoryDetailVC->collectionView()), "-x--x");
    // The GM rule over the same statuses (its level field is absent there).
    EXPECT_EQ(marks(hall->categoryDetailVC->collectionView()), "-xxxx");
}

TEST_F(StoreHallTest, TheRechargeEventClosesTheHallAndClosingNeedsNoBlock) {
    auto hall = openHall({"1"});
    std::vector<std::string> events;
    hall->rechargeBlock = [&](const ns::Ref<ns::String>& event) { events.push_back(ns::textOf(event)); };
    hall->toChargeBtnClick();
    env.runUntilIdle();
    ASSERT_EQ(events.size(), 1u);
    auto event = ns::cast<ns::Dictionary>(ns::JSONSerialization::JSONObjectWithData(ns::Data::withBytes(events[0]), 0));
    ASSERT_TRUE(event);
    EXPECT_EQ(ns::textOf(event->objectForKey("event")), "open_shop");
    EXPECT_EQ(ns::textOf(event->objectForKey("ext1")), "");
    EXPECT_FALSE(hall->superview());

    auto bare = openHall({"1"});
    bare->closeBlock = nullptr;
    bare->toChargeBtnClick();
    env.runUntilIdle();
    EXPECT_FALSE(bare->superview());
}

TEST_F(StoreHallTest, AGiftPaymentClosesTheHallAndTheCloseBlockRunsOnTheMainQueue) {
    auto hall = openHall({"3"});
    std::thread poster([] { ns::NotificationCenter::defaultCenter()->postNotificationName("KVTRGIFTPAYNotification"); });
    poster.join();
    env.runUntilIdle();
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(closedOnMain);
    EXPECT_FALSE(hall->superview());
}

// Its last reference gone, its observer not yet removed: a hall that a
// payment reaches from the network's queue at this moment.
class FreedHall : public KVTRStoreHallView {
public:
    ~FreedHall() override {
        if (whileFreed) whileFreed();
    }
    std::function<void()> whileFreed;
};

TEST_F(StoreHallTest, AGiftPaymentPostedWhileTheHallIsFreedLeavesItAlone) {
    auto hall = openHall<FreedHall>({"3"});
    bool raised = false;
    hall->whileFreed = [&] {
        std::thread poster([&] {
            try {
                ns::NotificationCenter::defaultCenter()->postNotificationName("KVTRGIFTPAYNotification");
            } catch (...) {
                raised = true;
            }
        });
        poster.join();
    };
    hall->coverView->removeFromSuperview();
    hall->removeFromSuperview();
    hall.reset();
    env.runUntilIdle();
    EXPECT_FALSE(raised);
    EXPECT_EQ(closes, 0);
    EXPECT_EQ(payments.size(), 1u) << "the post itself went through";
}

TEST_F(StoreHallTest, AVIPClaimSendsItsFieldsAnnouncesTheGoodsAndMarksThemInTheVIPGridOnly) {
    observe("VIPSuccessGetNotification");
    observe("SuccessGetNotification");
    auto hall = openHall({"2"});
    // Gift 7 of grade 1 in two categories, and in grade 3 beside it.
    hall->vipcategoryDetailVC->setSecondMArr(goodsList(
        R"([[{"id":"31","vip_id":"1","vip_name":"VIP 1","gift_id":"7","gift_name":"Chest","status":"0"},
             {"id":"32","vip_id":"1","gift_id":"8","gift_name":"Key","status":"0"}],
            [{"id":"33","vip_id":"1","vip_name":"VIP 1+","gift_id":"7","gift_name":"Chest","status":"0"},
             {"id":"34","vip_id":"3","gift_id":"7","gift_name":"Chest","status":"0"}]])"));
    env.runUntilIdle();
    ASSERT_TRUE(hall->vipModel);
    EXPECT_EQ(ns::textOf(hall->vipnameLabel->text()), "Chest");
    auto gmBefore = hall->categoryDetailVC->secondMArr();

    ASSERT_TRUE(driver.tap(hall->vipGetBtn));
    env.runUntilIdle();
    auto claims = requestsTo("/vipstore/index");
    ASSERT_EQ(claims.size(), 1u);
    EXPECT_EQ(claims[0].body, "token=tk&super_user_id=u1&role_id=r1&vip_id=1&gift_id=7&");
    EXPECT_TRUE(requestsTo("/gmstore/index").empty());
    EXPECT_EQ(hudText(), "领取成功");
    ASSERT_EQ(seen["VIPSuccessGetNotification"].size(), 1u);
    auto claimed = ns::cast<KVTRVIPModel>(seen["VIPSuccessGetNotification"][0]);
    ASSERT_TRUE(claimed);
    EXPECT_EQ(ns::textOf(claimed->gift_id), "7");
    EXPECT_EQ(ns::textOf(claimed->vip_id), "1");
    EXPECT_TRUE(seen["SuccessGetNotification"].empty());
    env.runUntilIdle();

    // Gift 7 of grade 1 is marked in both categories; grade 3's stays.
    auto marked = hall->vipcategoryDetailVC->secondMArr();
    EXPECT_EQ(statusAt(marked, 0, 0), "1");
    EXPECT_EQ(statusAt(marked, 0, 1), "0");
    EXPECT_EQ(statusAt(marked, 1, 0), "1");
    EXPECT_EQ(statusAt(marked, 1, 1), "0");
    // The row shows its claimed mark.
    auto grid = hall->vipcategoryDetailVC->collectionView();
    grid->layoutIfNeeded();
    auto first = std::dynamic_pointer_cast<KVTRVIPDetailCell>(grid->cellForItemAtIndexPath({0, 0}));
    auto second = std::dynamic_pointer_cast<KVTRVIPDetailCell>(grid->cellForItemAtIndexPath({0, 1}));
    ASSERT_TRUE(first && second);
    EXPECT_FALSE(first->albuy->isHidden());
    EXPECT_TRUE(second->albuy->isHidden());
    // The GM grid did not move.
    EXPECT_EQ(hall->categoryDetailVC->secondMArr(), gmBefore);
}

TEST_F(StoreHallTest, TheFacadeOpensTheInstalledHallOnTheTimeStore) {
    KVTRStoreViews::install();
    ROZCoreEntity::resetSharedInstanceForTesting();
    auto entity = ROZCoreEntity::sharedInstance();
    entity->setKvtrgameid(text("1001"));
    entity->setRoleid(text("r1"));
    entity->setSuper_user_id(text("u1"));
    entity->setToken(text("tk"));
    entity->setService_id(text("s1"));
    entity->kvtr_openGmShop();
    env.fastForwardBy(1.0);
    env.runUntilIdle();
    auto hall = driver.findOfType<KVTRStoreHallView>();
    ASSERT_TRUE(hall);
    EXPECT_TRUE(entity->isHallOpen());
    EXPECT_FALSE(hall->timeStoreView->isHidden());
    EXPECT_EQ(hall->timeStoreView->giftVC()->giftModelArray()->count(), 2u);
    hall->closeClick();
    env.runUntilIdle();
    EXPECT_FALSE(entity->isHallOpen());
    ROZCoreEntity::resetSharedInstanceForTesting();
}

}  // namespace
