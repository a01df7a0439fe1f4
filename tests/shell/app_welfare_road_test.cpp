// The sample page's road with every SDK screen and the player's part played
// by the road stages, as scripts/run plays it: after the role report the
// lucky, daily and activity gifts are claimed in turn; after the page's own
// two payments the store hall's time-store bundle is bought, then the resource
// hall draws once on each turntable and a card is bought; each purchase is
// paid through the channel; the page logs out.

#include "aggregation/stores/KVTRStoreHallView.h"
#include "aggregation/stores/KVTRStoreViews.h"
#include "aggregation/welfare/KVTRWelfareViews.h"
#include "channel/NSString+URLEncode.h"
#include "channel/usercenter/TVSuspendVC.h"
#include "platform/foundation/Bundle.h"
#include "platform/uikit/Storyboard.h"
#include "app_test_support.h"
#include "sandbox/road/RoadStages.h"

using apptest::str;

namespace {

class WelfareRoadTest : public apptest::AppTest {
protected:
    ~WelfareRoadTest() override { sandbox::RoadStages::stop(); }
};

TEST_F(WelfareRoadTest, TheWholeRoadAfterLoginIsPlayedOnTheSDKsScreens) {
    KVTRStoreViews::install();
    KVTRWelfareViews::install();
    launch();
    sandbox::RoadStages::start();
    loginThroughPage();

    // The three gift stages, each claimed before the next one is asked for.
    ASSERT_TRUE(settle([&] { return requestsTo(game.http(), "/luck/get") == 3; }, 60));
    EXPECT_TRUE(log.contains("road: luck gift claimed"));
    EXPECT_TRUE(log.contains("road: day gift claimed"));
    EXPECT_TRUE(log.contains("road: active gift claimed"));

    // The page's own two orders, then the store's bundle.
    ASSERT_TRUE(settle([&] { return channel->count("pay") == 1; }));
    channel->paySuccess(ns::String::make("ok"), ns::String::make("6"));
    ASSERT_TRUE(settle([&] { return channel->count("pay") == 2; }));
    channel->paySuccess(ns::String::make("ok"), ns::String::make("6"));
    ASSERT_TRUE(settle([&] { return channel->count("pay") == 3; }));
    EXPECT_TRUE(log.contains("road: store hall: time-store bundle bought"));
    EXPECT_EQ(requestsTo(game.http(), "/charge/order"), 1);
    channel->paySuccess(ns::String::make("ok"), ns::String::make("6"));

    // The resource hall: a draw on each wheel with its prizes, then a card.
    ASSERT_TRUE(settle([&] { return channel->count("pay") == 4; }, 30));
    EXPECT_EQ(requestsTo(game.http(), "/infiniteres/goods"), 1);
    EXPECT_EQ(requestsTo(game.http(), "/infiniteres/getwelfareturntable"), 1);
    EXPECT_EQ(requestsTo(game.http(), "/infiniteres/getsuperwelfareturntable"), 1);
    EXPECT_TRUE(log.contains("road: prizes shown and closed: Gold*100"));
    EXPECT_TRUE(log.contains("road: resource hall: card \"Endless gold\" bought"));
    EXPECT_EQ(requestsTo(game.http(), "/charge/resorder"), 1);
    EXPECT_EQ(channel->payArguments[3], "Endlessgold") << "the order's name loses its spaces";
    EXPECT_FALSE(driver.findOfType<KVTRResourceHallView>()) << "the purchase closed the hall";
    channel->paySuccess(ns::String::make("ok"), ns::String::make("6"));

    ASSERT_TRUE(settle([&] { return log.contains("page: road complete"); }, 30));
}

TEST_F(WelfareRoadTest, WhileNothingComesTheScreensSayWhichStageTheyWaitFor) {
    KVTRStoreViews::install();
    KVTRWelfareViews::install();
    launch();
    sandbox::RoadStages::start();
    // No login: no gift pop-up comes, and every 10 s the screens say so.
    ASSERT_TRUE(settle([&] { return log.contains("road: waiting for the luck gift: nothing on the screen for it for 10 s"); },
                       15));
    // The three gifts played, the screens wait for the stage after them:
    // the store hall's bundle, which comes after the page's own payments.
    loginThroughPage();
    ASSERT_TRUE(settle([&] { return log.contains("road: active gift claimed"); }, 60));
    EXPECT_TRUE(settle([&] { return log.contains("road: waiting for the store hall's time-store bundle: nothing on the screen"); },
                       30));
}

TEST_F(WelfareRoadTest, AHallUnderTheUserCentreWaitsForTheCentreAndSaysSo) {
    KVTRStoreViews::install();
    KVTRWelfareViews::install();
    launch();
    sandbox::RoadStages::start();
    loginThroughPage();
    ASSERT_TRUE(settle([&] { return log.contains("road: active gift claimed"); }, 60));
    // The player opens the user centre over the game and leaves it open.
    auto storyboard =
        ui::Storyboard::storyboardWithName("TVSuspendVC", ns::Bundle::bundleWithPath(URLEncode::getBundlePath()));
    auto centre = storyboard ? ns::cast<TVSuspendVC>(storyboard->instantiateViewControllerWithIdentifier("TVSuspendVC"))
                             : nullptr;
    ASSERT_TRUE(centre);
    screen()->presentViewController(centre, false);
    for (int pay = 1; pay <= 2; ++pay) {
        ASSERT_TRUE(settle([&] { return channel->count("pay") == pay; }));
        channel->paySuccess(ns::String::make("ok"), ns::String::make("6"));
    }
    ASSERT_TRUE(settle([&] { return driver.findOfType<KVTRStoreHallView>() || driver.findOfType<KVTRVerticalStoreHallView>(); }));
    EXPECT_TRUE(settle([&] {
        return log.contains("road: waiting for the store hall's time-store bundle: the user centre is open over the halls");
    }, 15));
    EXPECT_FALSE(log.contains("road: store hall: time-store bundle bought"));

    // The centre closed, the hall is played.
    centre->dismissViewController(false);
    EXPECT_TRUE(settle([&] { return log.contains("road: store hall: time-store bundle bought"); }, 5));
}

}  // namespace
