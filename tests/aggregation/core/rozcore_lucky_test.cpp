// The lucky-gift chain: three stages and their delays, the claims that move
// it on, the stages it skips or ends at, and the custom "luck" picture.

#include "platform/testing/UIDriver.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/VisualEffectView.h"
#include "tests/aggregation/core/lucky_test_support.h"

namespace {

using namespace storetest;

TEST_F(LuckyChainTest, EachStageComesItsDelayAfterTheClaimBeforeIt) {
    // The session's first role report starts the chain; a second does not.
    entity->setIsRunLogic(true);
    reportRole();
    reportRole();
    env.fastForwardBy(29.5);
    EXPECT_TRUE(stages("/luck/index").empty());
    env.fastForwardBy(0.6);
    EXPECT_EQ(stages("/luck/index"), Stages{"luck"});
    ASSERT_EQ(verticalLuckyViews.views.size(), 1u) << "the portrait pop-up";
    auto luck = verticalLuckyViews.views[0];
    EXPECT_EQ(luck->shows, 1);
    EXPECT_EQ(luck->type->utf8(), "luck");
    EXPECT_EQ(ns::textOf(luck->playerDic->objectForKey("title")), "Lucky");

    env.fastForwardBy(200);
    EXPECT_EQ(stages("/luck/index").size(), 1u) << "nothing moves until the pop-up closes";
    luck->closeBlock();
    luck->closeBlock();  // a second tap claims nothing more
    env.runUntilIdle();
    EXPECT_EQ(stages("/luck/get"), Stages{"luck"});

    env.fastForwardBy(59.5);
    EXPECT_EQ(verticalLuckyViews.views.size(), 1u);
    env.fastForwardBy(0.6);
    ASSERT_EQ(verticalLuckyViews.views.size(), 2u);
    EXPECT_EQ(verticalLuckyViews.views[1]->type->utf8(), "day");
    verticalLuckyViews.views[1]->closeBlock();
    env.runUntilIdle();

    env.fastForwardBy(89.5);
    EXPECT_EQ(verticalLuckyViews.views.size(), 2u);
    env.fastForwardBy(0.6);
    ASSERT_EQ(verticalLuckyViews.views.size(), 3u);
    EXPECT_EQ(verticalLuckyViews.views[2]->type->utf8(), "active");
    verticalLuckyViews.views[2]->closeBlock();
    env.fastForwardBy(1000);
    EXPECT_EQ(stages("/luck/index"), (Stages{"luck", "day", "active"}));
    EXPECT_EQ(stages("/luck/get"), (Stages{"luck", "day", "active"}));
}

TEST_F(LuckyChainTest, ARefusedQuerySkipsItsStageAndAnEmptyOrFailedOneEndsTheChain) {
    entity->setRoleid(text("r1"));
    answer("luck", R"({"status":"404"})");
    answer("day", R"({"status":200,"data":{"items":[]}})");
    entity->addPlayerGiftLogicWithTime(30, text("luck"));
    env.fastForwardBy(89.9);
    EXPECT_EQ(stages("/luck/index"), Stages{"luck"});
    env.fastForwardBy(0.3);
    EXPECT_EQ(stages("/luck/index"), (Stages{"luck", "day"})) << "day_time after the refusal";
    env.fastForwardBy(1000);
    EXPECT_EQ(stages("/luck/index").size(), 2u) << "no items: no later stage";

    // A claim that never arrives ends it too.
    testing::Reply dropped = json(Gift);
    dropped.dropAfterBytes = 0;
    server.route("GET", "/luck/get", dropped);
    answer("day", Gift);
    ui::Screen::mainScreen()->setOrientation(ui::InterfaceOrientation::LandscapeLeft);
    entity->addPlayerGiftLogicWithTime(0, text("day"));
    env.fastForwardBy(0.5);
    ASSERT_EQ(luckyViews.views.size(), 1u) << "the landscape pop-up";
    luckyViews.views[0]->closeBlock();
    env.fastForwardBy(1000);
    EXPECT_EQ(stages("/luck/index").size(), 3u);
}

TEST_F(LuckyChainTest, TheLuckStageMayAskForTheCustomPicture) {
    entity->setRoleid(text("r1"));
    answer("luck", CustomGift);
    answer("day", CustomGift);
    entity->addPlayerGiftLogicWithTime(30, text("luck"));
    env.fastForwardBy(30.1);

    EXPECT_TRUE(verticalLuckyViews.views.empty());
    auto picture = entity->luckyGiftView();
    auto cover = entity->coverView();
    ASSERT_TRUE(picture && cover);
    EXPECT_EQ(picture->superview(), app->window_);
    EXPECT_EQ(picture->frame(), cg::Rect(30, 152, 330, 540)) << "centred on the 390 x 844 phone";
    EXPECT_EQ(cover->frame(), cg::Rect(0, 0, 390, 844));
    auto blur = ns::cast<ui::VisualEffectView>(cover->subviews().at(0));
    ASSERT_TRUE(blur);
    EXPECT_DOUBLE_EQ(blur->alpha(), 0.4);
    EXPECT_EQ(ns::cast<ui::BlurEffect>(blur->effect())->style(), ui::BlurEffectStyle::Dark);
    auto button = picture->subviews().at(0);
    EXPECT_EQ(button->frame(), cg::Rect(77, 455, 175, 75));

    testing::UIDriver driver;
    ASSERT_TRUE(driver.tap(button));
    driver.tap(button);  // a second tap while the claim is on its way
    env.runUntilIdle();
    EXPECT_EQ(stages("/luck/get"), Stages{"luck"});
    EXPECT_FALSE(picture->superview());
    EXPECT_FALSE(cover->superview());
    EXPECT_FALSE(entity->luckyGiftView());

    // Then "day", where the same answer is an ordinary pop-up.
    env.fastForwardBy(60.1);
    ASSERT_EQ(verticalLuckyViews.views.size(), 1u);
    EXPECT_EQ(verticalLuckyViews.views[0]->type->utf8(), "day");

    ui::Screen::mainScreen()->setOrientation(ui::InterfaceOrientation::LandscapeRight);
    entity->addPlayerGiftLogicWithTime(0, text("luck"));
    env.fastForwardBy(0.5);
    ASSERT_TRUE(entity->luckyGiftView());
    EXPECT_EQ(entity->luckyGiftView()->frame(), cg::Rect(134.5, 40, 575, 310));
    EXPECT_EQ(entity->luckyGiftView()->subviews().at(0)->frame(), cg::Rect(241, 265, 92, 32));
}

}  // namespace
