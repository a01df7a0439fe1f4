// The prize record, a turntable sector and the prize pop-ups.

#include <cmath>

#include "aggregation/core/KVTRDataFormat.h"
#include "aggregation/welfare/KVTRTurnCellView.h"
#include "aggregation/welfare/KVTRTurnGiftPopViews.h"
#include "aggregation/welfare/KVTRWelfareModels.h"
#include "platform/uikit/AttributedText.h"
#include "tests/aggregation/welfare/welfare_test_support.h"

namespace {

using namespace welfaretest;

class PrizeViewsTest : public WelfareTest {};

TEST_F(PrizeViewsTest, RecordsTakeTheirKeysAsTextAndDropTheRest) {
    auto prize = KVTRTurnTableModel::withDictionary(
        json(R"({"mid":7,"amount":"100","nums":3,"is_super":0,"name":"Gold","icon":"x","colour":"red"})"));
    EXPECT_EQ(str(prize->mid), "7");
    EXPECT_EQ(str(prize->is_super), "0") << "a number 0 marks a sector as the text does";
    EXPECT_EQ(str(prize->nums), "3");
    EXPECT_EQ(str(prize->name), "Gold");
    EXPECT_FALSE(KVTRTurnTableModel::withDictionary(json(R"({"name":"Gold"})"))->amount);
    EXPECT_FALSE(KVTRTurnTableModel::withDictionary(text("not a dictionary"))->name);

    auto goods = KVTRInfiniterModel::withDictionary(
        json(R"({"id":12,"title":"Endless gold","money":6,"is_buy":[1],"good_id":"x"})"));
    EXPECT_EQ(str(goods->listid), "12");
    EXPECT_EQ(str(goods->money), "6");
    EXPECT_FALSE(goods->is_buy) << "a wrong-type value reads as absent";
    EXPECT_EQ(str(KVTRInfiniterModel::qz_replacedKeyFromPropertyName()->objectForKey("listid")), "id");
}

TEST_F(PrizeViewsTest, ASectorShowsItsAmountWithAShadowAndOneTipAtATime) {
    auto wheel = ui::ImageView::make({76, 10, 266, 266});
    wheel->setUserInteractionEnabled(true);
    app->window_->addSubview(wheel);
    auto sector = std::make_shared<KVTRTurnCellView>(cg::Rect{0, 0, 80, 133});
    wheel->addSubview(sector);
    sector->setModel(KVTRTurnTableModel::withDictionary(json(R"({"name":"Rare gem","amount":"5","icon":""})")));
    env.runUntilIdle();

    EXPECT_EQ(str(sector->num()->text()), "×5");
    auto shadow = ns::cast<ui::Shadow>(sector->num()->attributedText()->attributeAtIndex(ui::ShadowAttributeName, 0));
    ASSERT_TRUE(shadow);
    EXPECT_EQ(shadow->shadowOffset().width, -1);
    EXPECT_EQ(shadow->shadowBlurRadius(), 1.0);
    EXPECT_EQ(sector->selectBtn->frame(), (cg::Rect{-2, 20, 85, 75}));
    EXPECT_EQ(sector->icon()->frame(), (cg::Rect{22, 40, 36, 36}));
    EXPECT_FALSE(sector->icon()->image()) << "an empty address leaves no picture";
    EXPECT_TRUE(sector->selectBtn->backgroundImageForState(ui::ControlStateSelected));
    EXPECT_FALSE(sector->selectBtn->backgroundImageForState(ui::ControlStateNormal));

    ASSERT_TRUE(driver.tap(sector->selectBtn));
    env.fastForwardBy(0.5);
    ASSERT_TRUE(driver.tap(sector->selectBtn));
    auto tips = driver.findAllByText("Rare gem");
    ASSERT_EQ(tips.size(), 1u) << "the second tap removes the first tip";
    EXPECT_EQ(tips[0]->superview().get(), wheel.get());
    const cg::Rect button = sector->selectBtn->convertRectToView(sector->selectBtn->bounds(), nullptr);
    EXPECT_EQ(tips[0]->frame().origin, (cg::Point{button.origin.x - 160, button.origin.y - 20}));
    env.fastForwardBy(0.4);
    EXPECT_EQ(driver.findAllByText("Rare gem").size(), 1u);
    // The first tap's timer clears every tip the sector has then, the
    // second tap's one included.
    env.fastForwardBy(0.2);
    EXPECT_TRUE(driver.findAllByText("Rare gem").empty());
}

TEST_F(PrizeViewsTest, TheOnePrizePopUpCentresShortTextsAndWrapsLongOnes) {
    auto popup = std::make_shared<KVTRTurnOneGiftPopView>();
    popup->setName(text("Gold*100"));
    const cg::Rect shortFrame = popup->nameLabel()->frame();
    EXPECT_EQ(shortFrame.origin.y, 94);
    EXPECT_LT(shortFrame.size.width, 218);
    EXPECT_DOUBLE_EQ(shortFrame.origin.x, (228 - shortFrame.size.width) / 2);

    popup->setName(text(std::string(60, 'W') + "*1"));
    const cg::Rect longFrame = popup->nameLabel()->frame();
    EXPECT_EQ(longFrame.origin.x, 5);
    EXPECT_EQ(longFrame.size.width, 218);
    EXPECT_GT(longFrame.size.height, shortFrame.size.height) << "a long text wraps downwards";

    EXPECT_TRUE(popup->iconImg()->image()) << "the placeholder until the picture arrives";
    popup->setIconUrl(text("http://127.0.0.1:1/none.png"));
    popup->show();
    env.runUntilIdle();
    EXPECT_FALSE(popup->iconImg()->image()) << "a failed read leaves the picture empty";
    EXPECT_EQ(popup->frame(), (cg::Rect{(667 - 256) / 2.0, (375 - 200) / 2.0, 256, 200}));
    ASSERT_TRUE(popup->coverView);
    EXPECT_FALSE(driver.tap(popup->coverView) && !popup->superview()) << "the cover does nothing";

    int closed = 0;
    popup->closeBlock = [&] { ++closed; };
    auto claim = driver.find([&](ui::View& v) {
        return v.superview().get() == popup.get() && v.frame() == cg::Rect{36, 145, 156, 52};
    });
    ASSERT_TRUE(driver.tap(claim));
    EXPECT_EQ(closed, 1);
    EXPECT_TRUE(popup->superview()) << "removal waits for a later turn";
    env.runUntilIdle();
    EXPECT_FALSE(popup->superview());
    EXPECT_FALSE(popup->coverView->superview());
}

TEST_F(PrizeViewsTest, FivePrizesStandInARowOrInTwoRows) {
    auto list = ns::cast<ns::Array>(KVTRDataFormat::dictionaryWithJsonString(
        text(R"([{"name":"A","amount":"1"},{"name":"B","amount":"2"},{"name":"C","amount":"3"},)"
             R"({"name":"D","amount":"4"},{"name":"E"}])")));
    ASSERT_TRUE(list);
    auto cellsOf = [](const ns::Ref<ui::View>& popup) {
        std::vector<cg::Rect> frames;
        for (auto& view : popup->subviews())
            if (view->subviews().size() == 2) frames.push_back(view->frame());
        return frames;
    };

    auto row = std::make_shared<KVTRTurnFiveGiftPopView>();
    row->setProp_listArray(list);
    auto frames = cellsOf(row);
    ASSERT_EQ(frames.size(), 5u);
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(frames[i], (cg::Rect{48 + 80.0 * double(i), 60, 62, 180}));

    useScreen(375, 667);
    auto grid = std::make_shared<KVTRVETurnFiveGiftPopView>();
    grid->setProp_listArray(list);
    frames = cellsOf(grid);
    ASSERT_EQ(frames.size(), 5u);
    const cg::Point places[] = {{94, 40}, {192, 40}, {45, 130}, {137, 130}, {229, 130}};
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(frames[i].origin, places[i]);
    grid->show();
    EXPECT_EQ(grid->frame().size, (cg::Size{354, 316}));
    EXPECT_TRUE(driver.findByText("D*4"));
    EXPECT_TRUE(driver.findByText("E*(null)")) << "a missing amount prints as (null)";

    auto none = std::make_shared<KVTRTurnFiveGiftPopView>();
    none->setProp_listArray(nullptr);
    EXPECT_TRUE(cellsOf(none).empty());
}

}  // namespace
