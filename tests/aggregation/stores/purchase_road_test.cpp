// The road of a time-store purchase through the installed screens, the
// sandbox's game and platform servers and a channel stand-in: the store
// opens on the time store, the player fills the slots and buys, the hall
// closes, the facade places one order a second later and the channel's
// payment result reaches the game with that order.

#include "aggregation/core/KVTRChannelSDK.h"
#include "aggregation/core/ROZCoreEntity.h"
#include "aggregation/stores/KVTRFixBtn.h"
#include "aggregation/stores/KVTRGiftCell.h"
#include "aggregation/stores/KVTROptionalGiftView.h"
#include "aggregation/stores/KVTRStoreHallView.h"
#include "aggregation/stores/KVTRStoreViews.h"
#include "platform/foundation/Text.h"
#include "sandbox/PlatformServer.h"
#include "tests/aggregation/core/FakeChannel.h"
#include "tests/aggregation/stores/stores_test_support.h"

namespace {

using namespace storestest;

class PayListener : public ROZCoreEntityDelegate {
public:
    void kvtr_LightGetChannelLoginCallBack(const ns::Ref<ns::Dictionary>&) override {}
    void getUpdateRoleCallBack(const ns::Ref<ns::Dictionary>&) override {}
    void canEnterListenCallBack(const ns::Ref<ns::String>&) override {}
    void getPaySuccessCallBack(const ns::Ref<ns::Dictionary>& order) override { paid.push_back(order); }
    void getPayFailCallBack(const ns::Ref<ns::Dictionary>&) override {}
    void logOutCallBack(const ns::Ref<ns::String>&) override {}
    void rechargeCallBack(const ns::Ref<ns::String>&) override {}
    std::vector<ns::Ref<ns::Dictionary>> paid;
};

class PurchaseRoadTest : public StoresTest {
protected:
    PurchaseRoadTest() {
        ::setenv("GAMEHOST_PLATFORM_SERVER_URL", platform.http().origin().c_str(), 1);
        KVTRChannelSDK::setShared(channel);
        KVTRStoreViews::install();
        ROZCoreEntity::resetSharedInstanceForTesting();
        entity = ROZCoreEntity::sharedInstance();
        entity->kvtr_setStartLoginListener(listener);
        entity->setKvtrgameid(text("1001"));
        entity->setPlatform_id(text("256"));
        entity->setSuper_user_id(text("u1"));
        entity->setToken(text("tk"));
        entity->setRoleid(text("r1"));
        entity->setCp_role_id(text("cp9"));
        entity->setService_id(text("s1"));
        entity->setService_name(text("S1"));
        entity->setRole_name(text("Ann"));
    }
    ~PurchaseRoadTest() override {
        ROZCoreEntity::resetSharedInstanceForTesting();
        KVTRChannelSDK::setShared(nullptr);
        ::unsetenv("GAMEHOST_PLATFORM_SERVER_URL");
    }

    void choose(const ns::Ref<KVTRFixBtn>& slot, const std::string& name) {
        ASSERT_TRUE(driver.tap(slot));
        auto chooser = driver.findOfType<KVTROptionalGiftView>();
        ASSERT_TRUE(chooser);
        chooser->layoutIfNeeded();
        auto tile = driver.find([&](ui::View& v) {
            auto fix = dynamic_cast<KVTRFixBtn*>(&v);
            return fix && fix->superview().get() == chooser.get() && ns::textOf(fix->model()->name) == name;
        });
        ASSERT_TRUE(tile);
        ASSERT_TRUE(driver.tap(tile));
    }

    sandbox::PlatformServer platform;
    std::shared_ptr<channeltest::FakeChannel> channel = std::make_shared<channeltest::FakeChannel>();
    std::shared_ptr<PayListener> listener = std::make_shared<PayListener>();
    ns::Ref<ROZCoreEntity> entity;
};

TEST_F(PurchaseRoadTest, ABundleBoughtInTheTimeStoreIsOrderedOnceAndItsPaymentReachesTheGame) {
    entity->kvtr_openGmShop();
    env.fastForwardBy(1.0);
    env.runUntilIdle();
    auto hall = driver.findOfType<KVTRStoreHallView>();
    ASSERT_TRUE(hall);
    ASSERT_FALSE(hall->timeStoreView->isHidden());

    auto table = hall->timeStoreView->giftVC()->tableView();
    table->layoutIfNeeded();
    auto row = std::dynamic_pointer_cast<KVTRGiftCell>(table->cellForRowAtIndexPath({0, 0}));
    ASSERT_TRUE(row);
    ASSERT_TRUE(driver.tap(row->buyBtn));
    EXPECT_EQ(hudText(), "请选择定制礼包");
    choose(row->itemButtons()[1], "Rare gem");
    choose(row->itemButtons()[2], "Gold chest");
    ASSERT_TRUE(driver.tap(row->buyBtn));
    env.runUntilIdle();

    // The stand-in accepted the sign; the hall is gone, the order waits a second.
    ASSERT_EQ(payments.size(), 1u);
    EXPECT_FALSE(hall->superview());
    EXPECT_FALSE(entity->isHallOpen());
    EXPECT_EQ(channel->count("pay"), 0);
    env.fastForwardBy(1.0);
    env.runUntilIdle();
    auto orders = platform.http().requests();
    int placed = 0;
    for (auto& request : orders) placed += request.path == "/order/index";
    EXPECT_EQ(placed, 1);
    ASSERT_EQ(channel->count("pay"), 1);
    EXPECT_EQ(channel->payArguments[3], "Builder'sbundle") << "the order's name loses its spaces";

    // The channel pays; the game hears of the order it paid.
    channel->paySuccess(text("ok"), text("6"));
    env.runUntilIdle();
    ASSERT_EQ(listener->paid.size(), 1u);
    EXPECT_EQ(ns::textOf(listener->paid[0]->objectForKey("order_id")), channel->payArguments[5]);
    EXPECT_EQ(ns::textOf(listener->paid[0]->objectForKey("cpOrder")), "co1");
}

}  // namespace
