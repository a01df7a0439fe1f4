// The paged list behind every user-centre list, against the channel
// stand-in: first load, pages to the end, failures, odd replies; the reply
// judge, row texts, table sizing and companion-app links.

#include <gtest/gtest.h>

#include "channel/TVCompanionApp.h"
#include "channel/usercenter/TVSuPagedList.h"
#include "channel/usercenter/TVSuReply.h"
#include "channel/usercenter/TVSuTableSizing.h"
#include "channel/usercenter/UIView+LabelHeight.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/Null.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/ScreenModel.h"
#include "sandbox/Json.h"
#include "tests/channel/usercenter/usercentre_test_support.h"
#include "ui/refresh/TVRefreshAutoNormalFooter.h"
#include "ui/refresh/TVRefreshHeader.h"
#include "ui/refresh/TVRefreshScrollView.h"

namespace {

using Fault = sandbox::UserCentreStandIn::Fault;
using Strings = std::vector<std::string>;

class PagedListTest : public usercentre_test::UserCentreTest {
protected:
    // A list of gift packs ("username" besides "gid") in a table on screen.
    ns::Ref<TVSuPagedList> makeList(const std::string& path = "Card/lists", const std::string& title = "") {
        table = ui::TableView::make({0, 0, 300, 300});
        window->addSubview(table);
        auto list = TVSuPagedList::make(
            {path, [](ns::MutableDictionary& body) { body.setObjectForKey(ShareVale::sharedInstance()->userName(), "username"); },
             [] { return std::make_shared<TVSuRow>(); }, title});
        list->attach(table);
        return list;
    }
    ns::Ref<TVRefreshAutoNormalFooter> footer() { return ns::cast<TVRefreshAutoNormalFooter>(TV_footer(*table)); }
    TVRefreshState footerState() { return footer()->state(); }
    void settle() { env.fastForwardBy(1.0); }

    ns::Ref<ui::TableView> table;
};

TEST_F(PagedListTest, FirstLoadFromTheHeaderThenPagesUntilNoMoreData) {
    auto list = makeList();
    EXPECT_TRUE(footer()->isHidden());
    list->beginRefreshing();
    settle();
    ASSERT_EQ(list->dataSource().size(), 4u);
    EXPECT_EQ(list->currentPage(), 1u);
    EXPECT_EQ(list->totalPage(), 3u);
    EXPECT_FALSE(footer()->isHidden());
    EXPECT_EQ(footerState(), TVRefreshState::Idle);
    EXPECT_EQ(TV_header(*table)->state(), TVRefreshState::Idle);
    auto first = sent("Card/lists").at(0);
    EXPECT_EQ(first.value("gid"), "g42");
    EXPECT_EQ(first.value("username"), "player1");
    EXPECT_EQ(first.value("pagecode"), "1");

    // Page 2 comes with its counters as text.
    list->loadMoreData();
    settle();
    EXPECT_EQ(list->dataSource().size(), 8u);
    EXPECT_EQ(list->currentPage(), 2u);
    EXPECT_EQ(footerState(), TVRefreshState::Idle);
    list->loadMoreData();
    settle();
    EXPECT_EQ(list->dataSource().size(), 12u);
    EXPECT_EQ(footerState(), TVRefreshState::NoMoreData);
    EXPECT_EQ(pagecodes("Card/lists"), (Strings{"1", "2", "3"}));
    EXPECT_EQ(list->dataSource()[4]->format("ID"), "5");

    // A refresh replaces the rows and the counters.
    list->loadNewData();
    settle();
    EXPECT_EQ(list->dataSource().size(), 4u);
    EXPECT_EQ(list->currentPage(), 1u);
    EXPECT_EQ(footerState(), TVRefreshState::Idle);
    EXPECT_EQ(list->dataSource()[0]->format("ID"), "1");
}

TEST_F(PagedListTest, AFailedLoadMoreAsksForTheSamePageAgain) {
    auto list = makeList();
    list->loadNewData();
    settle();
    server.userCentre().setFault("Card/lists", Fault::ServerError);
    list->loadMoreData();
    settle();
    EXPECT_EQ(list->currentPage(), 1u);
    EXPECT_EQ(list->dataSource().size(), 4u);
    EXPECT_EQ(footerState(), TVRefreshState::Idle);

    server.userCentre().setFault("Card/lists", Fault::None);
    list->loadMoreData();
    settle();
    EXPECT_EQ(pagecodes("Card/lists"), (Strings{"1", "2", "2"}));
    EXPECT_EQ(list->dataSource().size(), 8u);
}

TEST_F(PagedListTest, AFailedLoadMoreLeavesCountersAnotherReplySet) {
    auto list = makeList();
    list->loadNewData();
    settle();
    // A refresh and a load-more in flight together: the refresh answers, the
    // load-more fails; the counter stays where the refresh put it.
    list->loadNewData();
    server.userCentre().setFault("Card/lists", Fault::Html);
    list->loadMoreData();
    settle();
    EXPECT_EQ(list->totalPage(), 3u);
    EXPECT_LE(list->currentPage(), 2u);
}

TEST_F(PagedListTest, AnEmptyFirstPageIsCompleteWithThePageTitle) {
    server.userCentre().setFault("Transaction/lists", Fault::Empty);
    auto list = makeList("Transaction/lists", "我是有底线的~");
    list->loadNewData();
    settle();
    EXPECT_TRUE(list->dataSource().empty());
    EXPECT_FALSE(footer()->isHidden());
    EXPECT_EQ(footerState(), TVRefreshState::NoMoreData);
    EXPECT_EQ(footer()->stateLabel()->text()->utf8(), "我是有底线的~");
}

TEST_F(PagedListTest, AFailedFirstLoadLeavesAnEmptyListWithTheFooterHidden) {
    for (Fault fault : {Fault::ServerError, Fault::Html}) {
        server.userCentre().setFault("Card/lists", fault);
        auto list = makeList();
        list->loadNewData();
        settle();
        EXPECT_TRUE(list->dataSource().empty());
        EXPECT_TRUE(footer()->isHidden());
        EXPECT_EQ(TV_header(*table)->state(), TVRefreshState::Idle);
        EXPECT_EQ(list->currentPage(), 0u);
    }
    // Pulling again once the server is back fills it.
    server.userCentre().setFault("Card/lists", Fault::None);
    auto list = makeList();
    list->loadNewData();
    settle();
    EXPECT_EQ(list->dataSource().size(), 4u);
}

TEST_F(PagedListTest, ListsThatAreNotAnArrayEmptyTheList) {
    auto list = makeList();
    list->loadNewData();
    settle();
    server.userCentre().setFault("Card/lists", Fault::NotArray);
    list->loadMoreData();
    settle();
    EXPECT_EQ(list->dataSource().size(), 4u);
    list->loadNewData();
    settle();
    EXPECT_TRUE(list->dataSource().empty());
}

TEST_F(PagedListTest, ARepliesAfterTheListHasGoneChangeNothing) {
    auto list = makeList();
    list->loadNewData();
    list.reset();
    settle();
    EXPECT_EQ(sent("Card/lists").size(), 1u);
}

TEST(UserCentreReply, StatusAndCountersOfEveryType) {
    auto reply = [](const char* json) { return sandbox::jsonValue(json); };
    EXPECT_TRUE(TVSuReply::isAccepted(reply(R"({"a":1})")));
    EXPECT_TRUE(TVSuReply::isAccepted(reply(R"({"a":"1"})")));
    for (const char* refused : {R"({"a":"0"})", R"({"a":"yes"})", R"({"b":"x"})", R"({"a":null})", R"({"a":[1]})", "[1]"})
        EXPECT_FALSE(TVSuReply::isAccepted(reply(refused))) << refused;
    auto counters = reply(R"({"total_page":"3","now_page":2,"x":null,"y":{"z":1},"n":-4})");
    EXPECT_EQ(TVSuReply::counter(counters, "total_page"), 3u);
    EXPECT_EQ(TVSuReply::counter(counters, "now_page"), 2u);
    for (const char* key : {"x", "y", "n", "missing"}) EXPECT_EQ(TVSuReply::counter(counters, key), 0u) << key;
    auto nested = reply(R"({"c":{"uinfo":"text","card":{"total":3}}})");
    EXPECT_FALSE(TVSuReply::dictionaryAt(nested, {"c", "uinfo"}));
    EXPECT_TRUE(TVSuReply::dictionaryAt(nested, {"c", "card"}));
    EXPECT_FALSE(TVSuReply::dictionaryAt(reply(R"({"c":"x"})"), {"c", "card"}));
}

TEST(UserCentreRows, TextsByKeyNumbersAsTextOthersMissing) {
    auto rows = TVSuRow::rowsOf<TVSuRow>(
        sandbox::jsonValue(R"([{"ID":7,"name":"礼包","code":null,"x":[1]},"not a row",{"ID":"8"}])"));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0]->format("ID"), "7");
    EXPECT_EQ(rows[0]->text("name")->utf8(), "礼包");
    EXPECT_FALSE(rows[0]->text("code"));
    EXPECT_EQ(rows[0]->format("code"), "(null)");
    EXPECT_TRUE(rows[0]->isEmpty("x"));
    EXPECT_EQ(rows[1]->format("ID"), "8");
    EXPECT_TRUE(TVSuRow::rowsOf<TVSuRow>(sandbox::jsonValue(R"({"0":{"ID":1}})")).empty());

    int measured = 0;
    auto measure = [&] { return ++measured * 10.0; };
    EXPECT_EQ(rows[0]->cachedHeight("h", measure), 10);
    EXPECT_EQ(rows[0]->cachedHeight("h", measure), 10);
    EXPECT_EQ(measured, 1);
}

TEST_F(PagedListTest, TableHeightsOnThreeScreens) {
    auto use = [&](ui::ScreenModel model, bool landscape) {
        if (landscape) model = model.inOrientation(ui::InterfaceOrientation::LandscapeRight);
        ui::Screen::mainScreen()->setModel(model);
        window->setFrame(ui::Screen::mainScreen()->bounds());
        env.runUntilIdle();
    };
    use(ui::ScreenModel::classicPhone(), true);
    EXPECT_EQ(TVSuTableSizing::tableHeight(147), 184);
    use(ui::ScreenModel::classicPhone(), false);
    EXPECT_EQ(TVSuTableSizing::tableHeight(147), 432);
    auto notched = ui::ScreenModel::notchedPhone();
    notched.portraitSize = {375, 812};
    use(notched, true);
    EXPECT_EQ(TVSuTableSizing::tableHeight(147), 145);
    ui::Screen::mainScreen()->setModel(ui::ScreenModel::notchedPhone());
}

TEST_F(PagedListTest, TextHeightGrowsWithLines) {
    auto font = ui::Font::systemFontOfSize(14);
    double one = LabelHeight::getLabelHeightByWidth(100, ns::str("1服"), font);
    double three = LabelHeight::getLabelHeightByWidth(100, ns::str(std::string(60, 'w')), font);
    EXPECT_GT(one, 0);
    EXPECT_GT(three, 2 * one);
    EXPECT_EQ(LabelHeight::getLabelHeightByWidth(100, nullptr, font), 0);
}

TEST_F(PagedListTest, CompanionLinksFallBackToTheDownloadPage) {
    auto app = ui::Application::sharedApplication();
    app->clearOpenedURLs();
    TVCompanionApp::open("recycleURL");
    ASSERT_EQ(app->openedURLs().size(), 1u);
    std::string chanel = ShareVale::sharedInstance()->chanelid() ? ShareVale::sharedInstance()->chanelid()->utf8() : "(null)";
    EXPECT_EQ(app->openedURLs()[0]->absoluteString()->utf8(),
              server.http().origin() + "/cdcloud/welcome/box?ag=" + chanel);
    app->addInstalledScheme("zurobox");
    TVCompanionApp::open("tradeURL_g42");
    ASSERT_EQ(app->openedURLs().size(), 2u);
    EXPECT_EQ(app->openedURLs()[1]->absoluteString()->utf8(), "zuroBox://tradeURL_g42");
}

}  // namespace
