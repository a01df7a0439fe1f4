// The trade tab: the head row and listing rows, platform marks and their
// placing, the empty list's bottom line, and the companion-app links.

#include <gtest/gtest.h>

#include "channel/usercenter/pages/TVSuTradeVC.h"
#include "channel/usercenter/pages/TVTradeCells.h"
#include "platform/foundation/Log.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Nib.h"
#include "sandbox/Json.h"
#include "tests/channel/usercenter/pages/pages_test_support.h"
#include "ui/refresh/TVRefreshAutoNormalFooter.h"
#include "ui/refresh/TVRefreshScrollView.h"

namespace {

using Fault = sandbox::UserCentreStandIn::Fault;

class TradeTest : public pages_test::PagesTest {
protected:
    ns::Ref<TVSuTradeVC> trade() { return page<TVSuTradeVC>(13); }
    std::vector<std::string> opened() {
        std::vector<std::string> urls;
        for (const auto& url : ui::Application::sharedApplication()->openedURLs())
            urls.push_back(url->absoluteString()->utf8());
        return urls;
    }
    std::string download() { return server.http().origin() + "/cdcloud/welcome/box?ag=agent3"; }
};

TEST_F(TradeTest, AHeadRowThenListingsWithTheirMarks) {
    ASSERT_TRUE(openOn(Landscape, 13));
    auto table = trade()->tableView.lock();
    ASSERT_TRUE(table);
    EXPECT_EQ(trade()->dataSource().size(), 4u);
    EXPECT_EQ(table->rectForRowAtIndexPath(ui::IndexPath::forRow(0, 0)).size.height, 82);
    EXPECT_EQ(table->rectForRowAtIndexPath(ui::IndexPath::forRow(0, 1)).size.height, 125);
    EXPECT_EQ(table->contentInset().bottom - (TV_footer(*table)->isHidden() ? 0 : 44), 8);
    table->layoutIfNeeded();
    EXPECT_TRUE(ns::cast<TVSuTradeHeadCell>(table->cellForRowAtIndexPath(ui::IndexPath::forRow(0, 0))));
    auto first = ns::cast<TVTradeCell>(table->cellForRowAtIndexPath(ui::IndexPath::forRow(0, 1)));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->moneyL.lock()->text()->utf8(), "\u00a5100");
    EXPECT_EQ(first->timeL.lock()->text()->utf8(), "上架时间：2024-01-01");
    EXPECT_EQ(first->serverL.lock()->text()->utf8(), "区服：1服");
    EXPECT_FALSE(first->anIcon.lock()->isHidden());
    EXPECT_TRUE(first->iosIcon.lock()->isHidden());
}

TEST_F(TradeTest, TheIOSMarkStandsInTheAndroidMarksPlaceWhenAlone) {
    auto cell = ns::cast<TVTradeCell>(ui::Nib::nibWithName("TVTradeCell")->instantiateWithOwner(nullptr).at(0));
    ASSERT_TRUE(cell);
    auto model = [](const char* type) {
        return TVSuRow::withDictionary<TVSuTradeModel>(
            sandbox::jsonValue(std::string(R"({"devicetype":")") + type + R"(","pic1":""})"));
    };
    cell->setModel(model("1"));
    cell->layoutIfNeeded();
    EXPECT_TRUE(cell->anIcon.lock()->isHidden());
    EXPECT_FALSE(cell->iosIcon.lock()->isHidden());
    EXPECT_EQ(cell->iosIconLeft.lock()->constant(), 10);
    EXPECT_EQ(cell->iosIcon.lock()->frame().origin.x, 10);
    cell->setModel(model("2"));
    cell->layoutIfNeeded();
    EXPECT_FALSE(cell->anIcon.lock()->isHidden());
    EXPECT_FALSE(cell->iosIcon.lock()->isHidden());
    EXPECT_EQ(cell->iosIconLeft.lock()->constant(), 30);
    // A platform code outside 0 to 2 keeps the marks as they were.
    cell->setModel(model("7"));
    cell->layoutIfNeeded();
    EXPECT_FALSE(cell->anIcon.lock()->isHidden());
    EXPECT_FALSE(cell->iosIcon.lock()->isHidden());
}

TEST_F(TradeTest, ANullOrMissingPlatformReadsAsAndroid) {
    auto cell = ns::cast<TVTradeCell>(ui::Nib::nibWithName("TVTradeCell")->instantiateWithOwner(nullptr).at(0));
    ASSERT_TRUE(cell);
    for (const char* row : {R"({"devicetype":null,"pic1":""})", R"({"pic1":""})"}) {
        SCOPED_TRACE(row);
        cell->setModel(TVSuRow::withDictionary<TVSuTradeModel>(sandbox::jsonValue(R"({"devicetype":1})")));
        cell->layoutIfNeeded();
        ASSERT_TRUE(cell->anIcon.lock()->isHidden());
        cell->setModel(TVSuRow::withDictionary<TVSuTradeModel>(sandbox::jsonValue(row)));
        cell->layoutIfNeeded();
        EXPECT_FALSE(cell->anIcon.lock()->isHidden());
        EXPECT_TRUE(cell->iosIcon.lock()->isHidden());
        EXPECT_EQ(cell->iosIconLeft.lock()->constant(), 30);
    }
}

TEST_F(TradeTest, AListingsPictureLoadsAndAListingWithoutOneKeepsIt) {
    ASSERT_TRUE(openOn(Landscape, 13));
    auto cell = ns::cast<TVTradeCell>(ui::Nib::nibWithName("TVTradeCell")->instantiateWithOwner(nullptr).at(0));
    ASSERT_TRUE(cell);
    auto placeholder = cell->gameIcon.lock()->image();
    auto pictured = ns::cast<TVSuTradeModel>(trade()->dataSource().at(1));
    ASSERT_FALSE(pictured->isEmpty("pic1"));
    cell->setModel(pictured);
    ASSERT_TRUE(settle([&] { return cell->gameIcon.lock()->image() != placeholder; }));
    auto picture = cell->gameIcon.lock()->image();
    EXPECT_EQ(picture->size().width * picture->scale(), 4);
    cell->setModel(ns::cast<TVSuTradeModel>(trade()->dataSource().at(0)));
    settle();
    EXPECT_EQ(cell->gameIcon.lock()->image(), picture);
}

TEST_F(TradeTest, AnEmptyListShowsTheHeadRowAndTheBottomLine) {
    server.userCentre().setFault("Transaction/lists", Fault::Empty);
    ASSERT_TRUE(openOn(Landscape, 13));
    auto table = trade()->tableView.lock();
    EXPECT_EQ(table->numberOfRowsInSection(0), 1);
    EXPECT_EQ(table->numberOfRowsInSection(1), 0);
    auto footer = ns::cast<TVRefreshAutoNormalFooter>(TV_footer(*table));
    EXPECT_EQ(footer->state(), TVRefreshState::NoMoreData);
    EXPECT_EQ(footer->stateLabel()->text()->utf8(), "我是有底线的~");
}

TEST_F(TradeTest, ListingsAndRecyclingOpenTheCompanionAppOrItsDownloadPage) {
    ASSERT_TRUE(openOn(Landscape, 13));
    auto app = ui::Application::sharedApplication();
    app->clearOpenedURLs();
    auto table = trade()->tableView.lock();
    trade()->didSelectRowAtIndexPath(*table, ui::IndexPath::forRow(0, 1));
    trade()->didSelectRowAtIndexPath(*table, ui::IndexPath::forRow(2, 1));
    trade()->didSelectRowAtIndexPath(*table, ui::IndexPath::forRow(0, 0));
    EXPECT_EQ(opened(), (std::vector<std::string>{download(), download()}));

    app->addInstalledScheme("zurobox");
    app->clearOpenedURLs();
    ns::LogCapture log;
    trade()->didSelectRowAtIndexPath(*table, ui::IndexPath::forRow(1, 1));
    table->layoutIfNeeded();
    auto head = ns::cast<TVSuTradeHeadCell>(table->cellForRowAtIndexPath(ui::IndexPath::forRow(0, 0)));
    ASSERT_TRUE(head);
    ASSERT_TRUE(driver.tap("去回收"));
    EXPECT_EQ(opened(), (std::vector<std::string>{"zuroBox://tradeURL_g42", "zuroBox://recycleURL"}));
    EXPECT_TRUE(log.contains("进入小号回收"));
}

}  // namespace
