// The time-store banner: the daily showing ("nowDate"), the refresh cycle,
// the slide and the self-closing count, and the tap that opens the store.

#include <string>
#include <vector>

#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/Text.h"
#include "platform/testing/UIDriver.h"
#include "platform/uikit/AnimationRecorder.h"
#include "platform/uikit/Label.h"
#include "tests/aggregation/core/store_test_support.h"

namespace {

using namespace storetest;

class BannerTest : public StoreTest {
protected:
    BannerTest() {
        server.route("GET", "/menu/index", json(R"({"status":"200","data":["3","1","3"]})"));
        entity->setIsTimeStore(true);
        entity->setShop_time(ns::Number::withLongLong(60));
        entity->setTime_shop_refresh(text("100"));
    }

    static std::string today() {
        ns::DateFormatter formatter;
        formatter.setDateFormat("yyyy-MM-dd");
        return formatter.stringFromDate(*ns::Date::now());
    }
    static std::string marker() {
        auto stored = ns::UserDefaults::standardUserDefaults()->stringForKey("nowDate");
        return stored ? stored->utf8() : "";
    }
    bool bannerShown() {
        auto banner = entity->popView();
        return banner->superview() == app->window_ && !banner->isHidden();
    }
    std::string bannerLabel() {
        auto label = entity->popView()->lastTimeLabel;
        return label && label->text() ? label->text()->utf8() : "";
    }
};

TEST_F(BannerTest, TheDayFirstRoleReportSlidesTheBannerInAfterTheDelayAndItClosesItself) {
    reportRole();
    EXPECT_EQ(marker(), today() + "u1");
    env.fastForwardBy(59.5);
    EXPECT_FALSE(bannerShown());
    env.fastForwardBy(0.5);
    ASSERT_TRUE(bannerShown());

    auto banner = entity->popView();
    EXPECT_EQ(banner->frame(), cg::Rect(45, 32, 300, 75)) << "centred, below the notch";
    auto slide = ui::AnimationRecorder::shared().lastFor(*banner);
    ASSERT_NE(slide, nullptr);
    EXPECT_DOUBLE_EQ(slide->duration, 2.0);
    EXPECT_TRUE(slide->animates(*banner, "position"));

    std::vector<std::string> labels{bannerLabel()};
    for (int second = 0; second < 4; ++second) {
        env.fastForwardBy(1);
        labels.push_back(bannerLabel());
    }
    EXPECT_EQ(labels, (std::vector<std::string>{"5秒后自动关闭", "4秒后自动关闭", "3秒后自动关闭", "2秒后自动关闭",
                                                "1秒后自动关闭"}));
    EXPECT_TRUE(bannerShown());
    env.fastForwardBy(1);
    EXPECT_FALSE(bannerShown());

    // In landscape it stops at the top edge.
    ui::Screen::mainScreen()->setOrientation(ui::InterfaceOrientation::LandscapeLeft);
    entity->popViewanimate();
    EXPECT_EQ(banner->frame(), cg::Rect(272, 0, 300, 75));
}

TEST_F(BannerTest, TheBannerIsArmedOnceADayPerPlayer) {
    auto armings = [&] {
        entity->popView()->setHidden(true);
        env.fastForwardBy(61);
        return bannerShown();
    };
    entity->setIsTimeStore(false);
    reportRole();
    EXPECT_EQ(marker(), "") << "without the time store the day is not used up";
    entity->setIsTimeStore(true);
    reportRole();
    EXPECT_TRUE(armings());
    {
        ns::LogCapture log;
        reportRole();
        EXPECT_TRUE(log.contains("一天就显示一次"));
    }
    EXPECT_FALSE(armings()) << "the same player the same day";
    entity->setSuper_user_id(text("u2"));
    reportRole("u2");
    EXPECT_TRUE(armings()) << "another player the same day";
    env.fastForwardBy(24 * 3600);
    reportRole("u2");
    EXPECT_EQ(marker(), today() + "u2");
    EXPECT_TRUE(armings()) << "the next day";

    entity->setIsHallOpen(true);
    entity->setSuper_user_id(text("u3"));
    reportRole("u3");
    EXPECT_FALSE(armings()) << "never over the open store hall";
}

TEST_F(BannerTest, TheRefreshCycleRunsOnePeriodAtATimeAndAMenuReArmsItOnce) {
    entity->setRoleid(text(""));
    entity->popViewPoint();
    env.fastForwardBy(30);
    entity->popViewPoint();  // replaces the running period
    env.fastForwardBy(70.5);
    EXPECT_TRUE(requestsTo("/menu/index").empty());
    env.fastForwardBy(30);
    EXPECT_EQ(requestsTo("/menu/index").size(), 1u);
    EXPECT_FALSE(entity->popView()->superview()) << "no role yet: no banner";

    // Two "3" tabs re-arm one period, not two; with a role the banner shows.
    entity->setRoleid(text("r1"));
    env.fastForwardBy(100);
    EXPECT_EQ(requestsTo("/menu/index").size(), 2u);
    EXPECT_TRUE(bannerShown());
    env.fastForwardBy(100);
    EXPECT_EQ(requestsTo("/menu/index").size(), 3u);

    // A menu without the time store ends the cycle.
    server.route("GET", "/menu/index", json(R"({"status":"200","data":["1"]})"));
    env.fastForwardBy(600);
    EXPECT_EQ(requestsTo("/menu/index").size(), 4u);
}

TEST_F(BannerTest, ATapHidesTheBannerAndOpensTheStoreHallASecondLater) {
    server.route("GET", "/gmstore/goodsnew", json(R"({"status":"200"})"));
    entity->setRoleid(text("r1"));
    entity->setMenuArray(ns::MutableArray::make({text("3")}));
    entity->popViewanimate();
    env.fastForwardBy(2.5);

    testing::UIDriver driver;
    ASSERT_TRUE(driver.tap(entity->popView()));
    EXPECT_TRUE(entity->popView()->isHidden());
    env.fastForwardBy(0.9);
    EXPECT_TRUE(requestsTo("/gmstore/goodsnew").empty());
    env.fastForwardBy(0.2);
    EXPECT_EQ(requestsTo("/gmstore/goodsnew").size(), 1u);

    // A new showing starts a fresh count that the old one cannot cut short.
    entity->popViewanimate();
    env.fastForwardBy(3);
    EXPECT_TRUE(bannerShown());
    EXPECT_EQ(bannerLabel(), "2秒后自动关闭");
    entity->popView()->closeBlock();
    EXPECT_FALSE(bannerShown());
}

TEST_F(BannerTest, SecondsLeftUntilTheNextFullHour) {
    const long now = entity->getNowTimeTimestamp()->longLongValue();
    const long left = entity->getNowTimeWithString()->longLongValue();
    ASSERT_GE(left, 1);
    ASSERT_LE(left, 3600);
    ns::DateFormatter formatter;
    formatter.setDateFormat("mm:ss");
    EXPECT_EQ(formatter.stringFromDate(*ns::Date::withTimeIntervalSince1970(double(now + left))), "00:00");
}

}  // namespace
