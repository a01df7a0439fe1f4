// The resource hall: its layout on three screens, the tabs and their rule
// texts, the cards it makes and its closing.

#include <numbers>

#include "aggregation/welfare/KVTRResourceHall.h"
#include "tests/aggregation/welfare/welfare_test_support.h"

namespace {

using namespace welfaretest;

class ResourceHallTest : public WelfareTest {
protected:
    template <class Hall>
    ns::Ref<Hall> open(int goods, bool settle = true) {
        auto hall = std::make_shared<Hall>();
        hall->userInfo = text(storestest::kIdentity);
        hall->setResponseData(json(goodsReply(goods)));
        hall->show();
        if (settle) env.runUntilIdle();
        return hall;
    }
    void useNotchedLandscape() {
        ui::ScreenModel model = ui::ScreenModel::notchedPhone();
        model.portraitSize = {375, 812};
        model.orientation = ui::InterfaceOrientation::LandscapeRight;
        ui::Screen::mainScreen()->setModel(model);
        app->window_ = ui::Window::makeFullScreen();
        app->window_->makeKeyAndVisible();
        env.runUntilIdle();
    }
};

TEST_F(ResourceHallTest, LandscapeWithoutNotchHasTheNarrowTabColumn) {
    auto hall = open<KVTRResourceHall>(2);
    EXPECT_EQ(hall->rebtn1->frame(), (cg::Rect{5, 91, 90, 36}));
    EXPECT_EQ(hall->rebtn2->frame(), (cg::Rect{5, 132, 90, 36}));
    EXPECT_EQ(hall->rebtn3->frame(), (cg::Rect{5, 173, 90, 36}));
    EXPECT_EQ(hall->descImage->frame(), (cg::Rect{5, 214, 90, 156}));
    EXPECT_EQ(hall->initerView->frame(), (cg::Rect{105, 76, 562, 289}));
    EXPECT_EQ(hall->welfareView->frame(), hall->initerView->frame());
    EXPECT_EQ(hall->closeBtn->frame(), (cg::Rect{605, 18, 32, 32}));
    ASSERT_EQ(hall->cards.size(), 2u);
    EXPECT_EQ(hall->cards[0]->frame(), (cg::Rect{-3, 0, 140, 290}));
    EXPECT_EQ(hall->cards[1]->frame(), (cg::Rect{139, 0, 140, 290})) << "not centred among themselves";
    EXPECT_EQ(hall->coverView->frame(), (cg::Rect{0, 0, 667, 375}));
    EXPECT_EQ(hall->frame(), (cg::Rect{0, 0, 667, 375}));
}

TEST_F(ResourceHallTest, ANotchedLandscapeShiftsTheHallAndWidensTheTabs) {
    useNotchedLandscape();
    auto hall = open<KVTRResourceHall>(4);
    EXPECT_EQ(hall->rebtn1->frame(), (cg::Rect{67, 91, 100, 36}));
    EXPECT_EQ(hall->initerView->frame(), (cg::Rect{177, 76, 635, 289}));
    EXPECT_EQ(hall->titleImg->frame().origin.x, 32);
    EXPECT_EQ(hall->closeBtn->frame(), (cg::Rect{718, 18, 32, 32}));
    ASSERT_EQ(hall->cards.size(), 4u);
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(hall->cards[i]->frame().origin.x, 33.5 + 142 * double(i));
}

TEST_F(ResourceHallTest, PortraitPlacesTheRulePanelByTheNumberOfGoods) {
    useScreen(375, 667);
    auto two = open<KVTRVerResourceHall>(2);
    EXPECT_EQ(two->rebtn1->frame(), (cg::Rect{0, 104, 125, 50}));
    EXPECT_EQ(two->rebtn2->frame(), (cg::Rect{125, 104, 125, 50}));
    EXPECT_EQ(two->rebtn3->frame(), (cg::Rect{250, 104, 125, 50}));
    EXPECT_EQ(two->initerView->frame(), (cg::Rect{0, 144, 375, 513}));
    EXPECT_EQ(two->redescImage->frame(), (cg::Rect{5, 438, 365, 75}));
    auto scroll = std::dynamic_pointer_cast<ui::ScrollView>(two->initerView);
    ASSERT_TRUE(scroll);
    EXPECT_EQ(scroll->contentSize(), (cg::Size{375, 513})) << "no scrolling";
    EXPECT_EQ(str(two->redescTextView->text()), "One card a day.");
    EXPECT_TRUE(two->descImage->isHidden());
    EXPECT_EQ(two->descImage->frame(), (cg::Rect{5, 582, 365, 75}));

    auto three = open<KVTRVerResourceHall>(3);
    EXPECT_EQ(three->redescImage->frame().origin.y, 520);
    EXPECT_EQ(std::dynamic_pointer_cast<ui::ScrollView>(three->initerView)->contentSize().height, 600);

    auto five = open<KVTRVerResourceHall>(5);
    ASSERT_EQ(five->cards.size(), 4u) << "the grid has four places";
    const cg::Point places[] = {{17, 0}, {196, 0}, {17, 245}, {196, 245}};
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(five->cards[i]->frame(), (cg::Rect{places[i].x, places[i].y, 162, 260}));
    EXPECT_TRUE(std::dynamic_pointer_cast<KVTRVerInfiniterItem>(five->cards[0]));
}

TEST_F(ResourceHallTest, TabsShowTheirPageAndTheRuleReadAtTheSwitch) {
    auto hall = open<KVTRResourceHall>(2, false);
    EXPECT_TRUE(isPicture(hall->rebtn1->backgroundImageForState(ui::ControlStateNormal), "rebtn1sel"));
    EXPECT_TRUE(isPicture(hall->rebtn2->backgroundImageForState(ui::ControlStateNormal), "rebtn2"));
    EXPECT_EQ(str(hall->descTextView->text()), "One card a day.");
    EXPECT_FALSE(hall->initerView->isHidden());

    // Before the wheel's reply: the switch finds no rule.
    ASSERT_TRUE(driver.tap(hall->rebtn2));
    EXPECT_TRUE(hall->initerView->isHidden());
    EXPECT_FALSE(hall->welfareView->isHidden());
    EXPECT_TRUE(isPicture(hall->rebtn2->backgroundImageForState(ui::ControlStateNormal), "rebtn2sel"));
    EXPECT_TRUE(isPicture(hall->rebtn1->backgroundImageForState(ui::ControlStateNormal), "rebtn1"));
    EXPECT_EQ(str(hall->descTextView->text()), "");
    env.runUntilIdle();
    EXPECT_EQ(str(hall->descTextView->text()), "") << "a later reply waits for the next switch";
    ASSERT_TRUE(driver.tap(hall->rebtn3));
    EXPECT_EQ(str(hall->descTextView->text()), "Super turntable\nEvery super draw fills the bar.");
    EXPECT_FALSE(hall->superwelfareView->isHidden());
    ASSERT_TRUE(driver.tap(hall->rebtn2));
    EXPECT_EQ(str(hall->descTextView->text()), "Welfare turntable\nClaim draws on a bought card.");

    hall->Clickrebtn(*hall->closeBtn);
    EXPECT_FALSE(hall->welfareView->isHidden()) << "another sender changes nothing";
}

TEST_F(ResourceHallTest, AFailedGoodsReplyStillOpensWithBothWheels) {
    auto hall = std::make_shared<KVTRResourceHall>();
    hall->userInfo = text(storestest::kIdentity);
    hall->setResponseData(json(R"({"status":"500","data":{"list":[{"id":"1"}],"rule_content":"x"}})"));
    hall->show();
    env.runUntilIdle();
    EXPECT_TRUE(hall->cards.empty());
    EXPECT_EQ(str(hall->descTextView->text()), "");
    EXPECT_EQ(hall->welfare->cellArray().size(), 8u);
    EXPECT_EQ(hall->superwelfare->cellArray().size(), 8u);

    auto wrongType = std::make_shared<KVTRResourceHall>();
    wrongType->setResponseData(json(R"({"status":200,"data":{"list":"none","rule_content":7}})"));
    EXPECT_EQ(wrongType->resourceListArray()->count(), 0u);
    EXPECT_EQ(str(wrongType->resourcerule), "7");
}

TEST_F(ResourceHallTest, AnyResourcePaymentClosesTheHall) {
    auto hall = open<KVTRResourceHall>(2);
    int closes = 0;
    hall->closeBlock = [&] { ++closes; };
    ns::NotificationCenter::defaultCenter()->postNotificationName("KVTRResourcePAYNotification", nullptr);
    EXPECT_EQ(closes, 1);
    env.runUntilIdle();
    EXPECT_FALSE(hall->superview());
    EXPECT_FALSE(hall->coverView->superview());

    auto other = open<KVTRResourceHall>(1);
    ASSERT_TRUE(driver.tap(other->closeBtn));
    env.runUntilIdle();
    EXPECT_FALSE(other->superview());
}

TEST_F(ResourceHallTest, AClaimOfDrawsReloadsOnlyItsWheel) {
    auto hall = open<KVTRResourceHall>(2);
    const size_t welfareLoads = countOf("/infiniteres/welfareturntable");
    const size_t superLoads = countOf("/infiniteres/superwelfareturntable");
    ASSERT_TRUE(driver.tap(hall->cards[1]->welfareBtn));
    env.runUntilIdle();
    EXPECT_EQ(countOf("/infiniteres/welfareturntable"), welfareLoads + 1);
    EXPECT_EQ(countOf("/infiniteres/superwelfareturntable"), superLoads);
    EXPECT_EQ(str(hall->welfare->numLabel->text()), "11");
    EXPECT_FALSE(hall->initerView->isHidden()) << "the tab shown stays";
}

TEST_F(ResourceHallTest, SectorsStandRoundTheWheelsCentre) {
    auto hall = open<KVTRResourceHall>(1);
    const auto& sectors = hall->welfare->cellArray();
    ASSERT_EQ(sectors.size(), 8u);
    for (size_t i = 0; i < 8; ++i) {
        const auto& layer = sectors[i]->layer();
        EXPECT_EQ(layer->anchorPoint(), (cg::Point{0.5, 1.0}));
        EXPECT_EQ(layer->position(), (cg::Point{133, 133}));
        const cg::AffineTransform expected =
            cg::AffineTransform::makeRotation(double(i) * std::numbers::pi / 4 + std::numbers::pi / 8);
        EXPECT_NEAR(layer->affineTransform().a, expected.a, 1e-9);
        EXPECT_NEAR(layer->affineTransform().b, expected.b, 1e-9);
        EXPECT_EQ(sectors[i]->selectBtn->isSelected(), i == 0);
    }
    EXPECT_EQ(hall->welfare->centerImg->tag(), 102);
    EXPECT_EQ(hall->welfare->centerImg->frame(), (cg::Rect{103, 103, 60, 60}));
    EXPECT_EQ(hall->superwelfare->centerImg->tag(), 101);
    EXPECT_EQ(str(hall->welfare->centerObj->name), "Mount");
    EXPECT_EQ(str(hall->welfare->numLabel->text()), "6");
    EXPECT_EQ(hall->welfare->turnTableImg->frame(), (cg::Rect{76, 10, 266, 266}));
    EXPECT_EQ(hall->welfare->clickOneBtn->frame(), (cg::Rect{562 - 194, 289 - 95, 112, 34}));
    EXPECT_EQ(hall->welfare->clickFiveBtn->frame(), (cg::Rect{562 - 194, 289 - 50, 112, 34}));
    EXPECT_EQ(hall->superwelfare->processBg->frame(), (cg::Rect{562 - 231, 60, 206, 40}));

    // A tap on a centre shows its prize's name for a second, one tip at a time.
    ASSERT_TRUE(driver.tap(hall->rebtn3));
    ASSERT_TRUE(driver.tap(hall->superwelfare->centerImg));
    ASSERT_TRUE(driver.tap(hall->superwelfare->centerImg));
    EXPECT_EQ(driver.findAllByText("Legendary hero").size(), 1u);
    EXPECT_EQ(hall->tipsArray().size(), 2u);
    const cg::Rect r =
        hall->superwelfare->centerImg->convertRectToView(hall->superwelfare->centerImg->bounds(), nullptr);
    EXPECT_EQ(driver.findByText("Legendary hero")->frame().origin, (cg::Point{r.origin.x - 80, r.origin.y - 20}));
    env.fastForwardBy(1.0);
    EXPECT_TRUE(driver.findAllByText("Legendary hero").empty());
}

}  // namespace
