// The sample page's road with the SDK's own store screens: after its two
// payments the page opens the store, the player buys a bundle in the time
// store, and that purchase goes through the charge order, the facade's
// order and the channel's payment back to the page as payNotify "1".

#include "aggregation/stores/KVTRFixBtn.h"
#include "aggregation/stores/KVTRGiftCell.h"
#include "aggregation/stores/KVTROptionalGiftView.h"
#include "aggregation/stores/KVTRStoreViews.h"
#include "aggregation/stores/KVTRTimeStoreView.h"
#include "app_test_support.h"

using apptest::str;

namespace {

class StoreRoadTest : public apptest::AppTest {
protected:
    bool choose(const ns::Ref<KVTRFixBtn>& slot, const std::string& name) {
        if (!driver.tap(slot)) return false;
        auto chooser = driver.findOfType<KVTROptionalGiftView>();
        if (!chooser) return false;
        chooser->layoutIfNeeded();
        auto tile = driver.find([&](ui::View& v) {
            auto fix = dynamic_cast<KVTRFixBtn*>(&v);
            return fix && fix->superview().get() == chooser.get() && str(fix->model()->name) == name;
        });
        return tile && driver.tap(tile);
    }
};

TEST_F(StoreRoadTest, ABundleBoughtInTheTimeStoreReachesThePageAsPayNotifyOne) {
    KVTRStoreViews::install();
    launch();
    loginThroughPage();
    ASSERT_TRUE(settle([&] { return channel->count("pay") == 1; }));
    // The page's own two orders are paid; the page then opens the store.
    channel->paySuccess(ns::String::make("ok"), ns::String::make("6"));
    ASSERT_TRUE(settle([&] { return channel->count("pay") == 2; }));
    channel->paySuccess(ns::String::make("ok"), ns::String::make("6"));

    ns::Ref<KVTRGiftCell> row;
    ASSERT_TRUE(settle([&] {
        auto page = driver.findOfType<KVTRTimeStoreView>();
        if (!page || page->isHidden() || page->giftVC()->giftModelArray()->count() == 0) return false;
        auto table = page->giftVC()->tableView();
        table->layoutIfNeeded();
        row = std::dynamic_pointer_cast<KVTRGiftCell>(table->cellForRowAtIndexPath({0, 0}));
        return row != nullptr;
    }));
    ASSERT_TRUE(choose(row->itemButtons()[1], "Rare gem"));
    ASSERT_TRUE(choose(row->itemButtons()[2], "Stamina"));
    ASSERT_TRUE(driver.tap(row->buyBtn));

    // The charge order, the hall closing, and one order a second later.
    ASSERT_TRUE(settle([&] { return channel->count("pay") == 3; }, 5));
    EXPECT_EQ(requestsTo(game.http(), "/charge/order"), 1);
    EXPECT_FALSE(driver.findOfType<KVTRTimeStoreView>());
    EXPECT_EQ(requestsTo(platform.http(), "/order/index"), 3);
    const std::string orderId = channel->payArguments[5];

    channel->paySuccess(ns::String::make("ok"), ns::String::make("6"));
    ASSERT_TRUE(settle([&] {
        auto notify = lastPageCallback("payNotify");
        auto data = notify ? ns::cast<ns::Dictionary>(notify->objectForKey("data")) : nullptr;
        return data && str(data->objectForKey("order_id")) == orderId;
    }, 5));
    auto data = ns::cast<ns::Dictionary>(lastPageCallback("payNotify")->objectForKey("data"));
    EXPECT_EQ(str(data->objectForKey("status")), "1");
    EXPECT_EQ(str(data->objectForKey("cp_order")), "co1");
}

}  // namespace
