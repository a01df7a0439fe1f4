// The lucky, daily and activity gift pop-up: the panel and its tiles in
// both orientations, the title rule, the stage pictures and the claim.

#include "aggregation/welfare/KVTRLuckyPlayerViews.h"
#include "tests/aggregation/welfare/welfare_test_support.h"

namespace {

using namespace welfaretest;

constexpr const char* kFourGifts =
    R"({"title":"Lucky gift","items":[{"name":"Gold","amount":"100","icon":""},{"name":"Gem","amount":1},)"
    R"({"name":"Stamina","amount":"20"},{"name":"Chest","amount":"1"}]})";

class LuckyPlayerTest : public WelfareTest {
protected:
    template <class Pop>
    ns::Ref<Pop> showPop(std::string_view data, const char* stage = "luck") {
        auto pop = std::make_shared<Pop>();
        pop->playerDic = json(data);
        pop->setType(text(stage));
        pop->closeBlock = [this] { ++closes; };
        pop->show();
        env.runUntilIdle();
        return pop;
    }
    int closes = 0;
};

TEST_F(LuckyPlayerTest, LandscapeCentresThePanelAndRowsEveryGift) {
    auto pop = showPop<KVTRLuckyPlayerPopView>(kFourGifts);
    EXPECT_EQ(pop->frame(), (cg::Rect{46, 32.5, 575, 310}));
    ASSERT_EQ(pop->tiles().size(), 4u);
    EXPECT_EQ(pop->itemsArray()->count(), 4u);
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(pop->tiles()[i]->frame(), (cg::Rect{35 + 100.0 * double(i), 112, 85, 85}));
    EXPECT_EQ(str(pop->tiles()[1]->name()->text()), "Gem*1");
    const cg::Rect name = pop->tiles()[0]->name()->frame();
    EXPECT_EQ(name.maxY(), 80) << "the text ends 5 points above the tile's bottom";
    EXPECT_EQ(pop->closeBtn->frame(), (cg::Rect{100, 255, 110, 35}));
    EXPECT_TRUE(pop->backbg->image());
    EXPECT_TRUE(pop->closeBtn->backgroundImageForState(ui::ControlStateNormal));
    EXPECT_FALSE(pop->titleLabel->isHidden());
    EXPECT_EQ(pop->titleLabel->frame().origin, (cg::Point{60, 35}));
    EXPECT_LT(pop->titleLabel->frame().size.width, 455);
}

TEST_F(LuckyPlayerTest, PortraitHasThreePlacesAndCentresOnTheWindow) {
    useScreen(375, 667);
    auto pop = showPop<KVTRVerticalLuckyPlayerPopView>(kFourGifts, "day");
    EXPECT_EQ(pop->frame(), (cg::Rect{22.5, 63.5, 330, 540}));
    ASSERT_EQ(pop->tiles().size(), 3u) << "no place for a fourth gift";
    EXPECT_EQ(pop->itemsArray()->count(), 4u);
    const cg::Point places[] = {{80, 170}, {35, 270}, {135, 270}};
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(pop->tiles()[i]->frame().origin, places[i]);
    EXPECT_FALSE(driver.findByText("Chest*1"));
    EXPECT_EQ(pop->closeBtn->frame(), (cg::Rect{60, 460, 110, 35}));

    auto one = showPop<KVTRVerticalLuckyPlayerPopView>(R"({"items":[{"name":"Gold","amount":"1"}]})", "active");
    ASSERT_EQ(one->tiles().size(), 1u);
    EXPECT_EQ(one->tiles()[0]->frame().origin, (cg::Point{80, 170}));
}

TEST_F(LuckyPlayerTest, BlankTitlesAreHiddenAndLongOnesWrapInTheCappedWidth) {
    for (auto data : {R"({"items":[]})", R"({"title":"","items":[]})", R"({"title":"NULL","items":[]})",
                      R"j({"title":"(null)","items":[]})j", R"({"title":" \n ","items":[]})"}) {
        auto pop = showPop<KVTRLuckyPlayerPopView>(data);
        EXPECT_TRUE(pop->titleLabel->isHidden()) << data;
    }
    auto number = showPop<KVTRLuckyPlayerPopView>(R"({"title":7,"items":[]})");
    EXPECT_FALSE(number->titleLabel->isHidden());
    auto wordy = showPop<KVTRLuckyPlayerPopView>(R"({"title":")" + std::string(200, 'W') + R"(","items":[]})");
    EXPECT_LE(wordy->titleLabel->frame().size.width, 455);
    EXPECT_GT(wordy->titleLabel->frame().size.width, 435);
    EXPECT_GT(wordy->titleLabel->frame().size.height, number->titleLabel->frame().size.height);
    auto wrongType = showPop<KVTRLuckyPlayerPopView>(R"({"title":"x","items":{"name":"Gold"}})");
    EXPECT_TRUE(wrongType->tiles().empty());
}

TEST_F(LuckyPlayerTest, OnlyTheClaimButtonClosesAndRunsTheBlockOnce) {
    auto pop = showPop<KVTRLuckyPlayerPopView>(kFourGifts, "week");
    EXPECT_FALSE(pop->backbg->image()) << "an unknown stage sets no picture";
    driver.tap(pop->coverView);
    env.runUntilIdle();
    EXPECT_TRUE(pop->superview());
    EXPECT_EQ(closes, 0);
    ASSERT_TRUE(driver.tap(pop->closeBtn));
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(pop->superview());
    EXPECT_FALSE(pop->coverView->superview());
    EXPECT_FALSE(driver.tap(pop->closeBtn)) << "gone from the screen";
    EXPECT_EQ(closes, 1);
}

}  // namespace
