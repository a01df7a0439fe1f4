// The server-openings tab: the pill bar, the two paging lists that load on
// first display, row heights and colours, and table heights on three phones.

#include <gtest/gtest.h>

#include "channel/usercenter/pages/TVKaifuBaseVC.h"
#include "channel/usercenter/pages/TVKaifuCell.h"
#include "channel/usercenter/pages/TVSuKaiFuVC.h"
#include "channel/usercenter/pages/TVSuPaging.h"
#include "channel/usercenter/pages/TVSuPageScenes.h"
#include "channel/usercenter/pages/TVTab.h"
#include "platform/uikit/Label.h"
#include "sandbox/Json.h"
#include "tests/channel/usercenter/pages/pages_test_support.h"

namespace {

using Strings = std::vector<std::string>;

class ServerOpeningsTest : public pages_test::PagesTest {
protected:
    ns::Ref<TVKaifuBaseVC> list(size_t index) {
        auto kaifu = page<TVSuKaiFuVC>(11);
        return kaifu ? ns::cast<TVKaifuBaseVC>(kaifu->childViewControllers().at(index)) : nullptr;
    }
    Strings displays() {
        Strings found;
        for (const auto& fields : sent("Server/lists")) found.push_back(fields.value("is_display"));
        return found;
    }
};

TEST_F(ServerOpeningsTest, TheOpenedListLoadsWithTheTabAndRowsAlternate) {
    ASSERT_TRUE(openOn(Landscape, 11));
    auto opened = list(0);
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->tableView()->frame(), (cg::Rect{0, 0, 300, 184}));
    EXPECT_EQ(opened->dataSource().size(), 4u);
    EXPECT_EQ(displays(), Strings{"1"});
    EXPECT_FALSE(list(1)->isViewLoaded());
    auto shown = cells(*opened->tableView());
    ASSERT_GE(shown.size(), 3u);
    EXPECT_EQ(shown[0]->backgroundColor(), cg::Color::white());
    EXPECT_EQ(shown[1]->backgroundColor(), (cg::Color{240.0 / 255, 240.0 / 255, 240.0 / 255, 1}));
    EXPECT_EQ(shown[2]->backgroundColor(), cg::Color::white());
    auto cell = ns::cast<TVKaifuCell>(shown[0]);
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->serverL.lock()->text()->utf8(), "1服 · 沙盒");
    EXPECT_EQ(cell->timeL.lock()->text()->utf8(), "10:00");
}

TEST_F(ServerOpeningsTest, TheBarScrollsToTheSecondListWhichLoadsOnce) {
    ASSERT_TRUE(openOn(Landscape, 11));
    auto kaifu = page<TVSuKaiFuVC>(11);
    auto bar = kaifu->tabView();
    // The selected item again: nothing moves.
    ASSERT_TRUE(driver.tap(bar->viewWithTag(1000)));
    settle();
    EXPECT_EQ(kaifu->tabIndex(), 0u);
    ASSERT_TRUE(driver.tap(bar->viewWithTag(1001)));
    settle();
    EXPECT_EQ(kaifu->tabIndex(), 1u);
    EXPECT_EQ(kaifu->scrollView.lock()->contentOffset().x, 300);
    EXPECT_EQ(list(1)->view()->frame().origin.x, 300);
    EXPECT_EQ(list(1)->dataSource().size(), 4u);
    EXPECT_EQ(bar->viewWithTag(1001)->backgroundColor(), TVSuPageScenes::kOrange);
    EXPECT_EQ(bar->viewWithTag(1000)->backgroundColor(), cg::Color::white());
    // Back and forth again: each list loaded once.
    ASSERT_TRUE(driver.tap(bar->viewWithTag(1000)));
    settle();
    ASSERT_TRUE(driver.tap(bar->viewWithTag(1001)));
    settle();
    EXPECT_EQ(displays(), (Strings{"1", "0"}));
}

TEST_F(ServerOpeningsTest, ASwipeMovesTheBar) {
    ASSERT_TRUE(openOn(Landscape, 11));
    auto kaifu = page<TVSuKaiFuVC>(11);
    auto scroll = kaifu->scrollView.lock();
    scroll->setContentOffset({300, 0});
    kaifu->scrollViewDidEndDecelerating(*scroll);
    settle();
    EXPECT_EQ(kaifu->tabIndex(), 1u);
    EXPECT_EQ(kaifu->tabView()->viewWithTag(1001)->backgroundColor(), TVSuPageScenes::kOrange);
    // A swipe that ends on the same page changes nothing.
    kaifu->scrollViewDidEndDecelerating(*scroll);
    EXPECT_EQ(displays(), (Strings{"1", "0"}));
}

TEST_F(ServerOpeningsTest, TableHeightsOnThePortraitAndNotchedPhones) {
    ASSERT_TRUE(openOn(Portrait, 11));
    EXPECT_EQ(list(0)->tableView()->frame().size.height, 432);
    centre->dismissViewController(false);
    settle();
    ASSERT_TRUE(openOn(NotchedLandscape, 11));
    EXPECT_EQ(list(0)->tableView()->frame().size.height, 145);
}

TEST_F(ServerOpeningsTest, RowHeightIsTheWrappedNamePlusTwenty) {
    auto rows = TVSuRow::rowsOf<TVSuKaifuModel>(sandbox::jsonValue(
        R"([{"servername":"1服"},{"servername":"一个很长很长很长很长很长很长很长很长很长很长很长的服务器名字"}])"));
    auto one = ns::cast<TVSuKaifuModel>(rows[0]);
    auto wrapped = ns::cast<TVSuKaifuModel>(rows[1]);
    double line = one->height() - 20;
    EXPECT_GT(line, 0);
    EXPECT_GE(wrapped->height() - 20, 3 * line - 0.5);
}

TEST_F(ServerOpeningsTest, BarItemsAndSeparators) {
    auto single = TVTab::initWithFrame({0, 0, 150, 30}, 1, TVSuPageScenes::kOrange);
    single->setItemsWithTitle({"全部"}, cg::Color::white(), TVSuPageScenes::kOrange, TVSuPageScenes::kOrange,
                              cg::Color::white(), 14, 0);
    EXPECT_EQ(single->subviews().size(), 1u);
    auto two = TVTab::initWithFrame({0, 0, 150, 30}, 1, TVSuPageScenes::kOrange);
    two->setItemsWithTitle({"已开服", "即将开服"}, cg::Color::white(), TVSuPageScenes::kOrange,
                           TVSuPageScenes::kOrange, cg::Color::white(), 14, 1);
    ASSERT_EQ(two->subviews().size(), 3u);
    EXPECT_EQ(two->subviews()[2]->frame(), (cg::Rect{74.5, 0, 1, 30}));
    EXPECT_EQ(two->viewWithTag(1001)->backgroundColor(), TVSuPageScenes::kOrange);
}

TEST_F(ServerOpeningsTest, ThePageIndexIsClampedToTheChildren) {
    auto scroll = ui::ScrollView::make({0, 0, 300, 100});
    scroll->setContentSize({600, 0});
    scroll->setContentOffset({900, 0});
    EXPECT_EQ(TVSuPaging::pageIndex(*scroll, 2), 1u);
    EXPECT_EQ(TVSuPaging::pageIndex(*scroll, 0), 0u);
    auto flat = ui::ScrollView::make({0, 0, 0, 100});
    flat->setContentOffset({50, 0});
    EXPECT_EQ(TVSuPaging::pageIndex(*flat, 2), 0u);
}

}  // namespace
