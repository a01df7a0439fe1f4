#include "platform/uikit/TableViewCell.h"
#include "refresh_test_support.h"
#include "ui/refresh/TVRefreshAutoGifFooter.h"
#include "ui/refresh/TVRefreshAutoNormalFooter.h"
#include "ui/refresh/TVRefreshBackNormalFooter.h"

namespace {

class RefreshFooterTest : public RefreshTest {
protected:
    // Callbacks still due land before the counters below go.
    ~RefreshFooterTest() override { env.fastForwardUntilNoTasksRemain(); }

    template <class T>
    ns::Ref<T> footer() {
        return TVRefreshFooter::footerWithRefreshingBlock<T>([this] {
            ++callbacks;
            callbackTimes.push_back(env.now());
        });
    }

    // Scrolls by setting the offset, as a glide would.
    void scrollTo(double y) { scrollView->setContentOffset({0, y}); }

    int callbacks = 0;
    std::vector<double> callbackTimes;
};

TEST_F(RefreshFooterTest, AutoFooterLoadsWhenTheScrollPassesItsLine) {
    auto auto0 = footer<TVRefreshAutoNormalFooter>();
    auto0->setTriggerAutomaticallyRefreshPercent(0);
    setTV_footer(*scrollView, auto0);
    EXPECT_DOUBLE_EQ(scrollView->contentInset().bottom, 44);
    EXPECT_DOUBLE_EQ(TV_y(*auto0), 1000);
    scrollTo(399);
    EXPECT_EQ(auto0->state(), TVRefreshState::Idle);
    scrollTo(400);
    EXPECT_EQ(auto0->state(), TVRefreshState::Refreshing);
    EXPECT_TRUE(auto0->loadingView()->isAnimating());
    EXPECT_EQ(text(auto0->stateLabel()), "Loading more...");
    auto0->endRefreshing();
    env.fastForwardBy(1);
    EXPECT_EQ(callbacks, 1);

    // With the whole footer to come into view first.
    scrollTo(0);
    auto auto1 = footer<TVRefreshAutoNormalFooter>();
    setTV_footer(*scrollView, auto1);
    EXPECT_DOUBLE_EQ(scrollView->contentInset().bottom, 44);  // the old one gave its inset back
    scrollTo(443);
    EXPECT_EQ(auto1->state(), TVRefreshState::Idle);
    scrollTo(444);
    EXPECT_EQ(auto1->state(), TVRefreshState::Refreshing);
}

TEST_F(RefreshFooterTest, ScrollingBackNeverLoadsAndNoMoreDataBlocksEverything) {
    auto footer = this->footer<TVRefreshAutoNormalFooter>();
    setTV_footer(*scrollView, footer);
    footer->setAutomaticallyRefresh(false);
    scrollTo(500);
    footer->setAutomaticallyRefresh(true);
    scrollTo(460);  // past the line, but on the way back
    EXPECT_EQ(footer->state(), TVRefreshState::Idle);

    footer->endRefreshingWithNoMoreData();
    EXPECT_EQ(footer->state(), TVRefreshState::NoMoreData);
    EXPECT_EQ(text(footer->stateLabel()), "No more data");
    scrollTo(0);
    scrollTo(600);
    drag(-50);
    footer->stateLabelClick();
    env.fastForwardBy(1);
    EXPECT_EQ(footer->state(), TVRefreshState::NoMoreData);
    EXPECT_EQ(callbacks, 0);
    footer->resetNoMoreData();
    footer->stateLabelClick();
    EXPECT_EQ(footer->state(), TVRefreshState::Refreshing);
}

TEST_F(RefreshFooterTest, ADragEndingAtTheEndLoadsAndShortListsLoadOnlyWhenPushedUp) {
    auto footer = this->footer<TVRefreshAutoNormalFooter>();
    setTV_footer(*scrollView, footer);
    footer->setAutomaticallyRefresh(false);
    scrollTo(400);
    drag(-30);  // ends at 430, short of the end of the footer
    EXPECT_EQ(footer->state(), TVRefreshState::Idle);
    scrollTo(400);
    drag(-50);
    EXPECT_EQ(footer->state(), TVRefreshState::Refreshing);
    footer->endRefreshing();

    scrollView->setContentSize({390, 300});
    EXPECT_DOUBLE_EQ(TV_y(*footer), 300);  // it follows the content
    scrollTo(0);
    drag(40);  // pulled down: no
    EXPECT_EQ(footer->state(), TVRefreshState::Idle);
    drag(-40);  // pushed up: yes
    EXPECT_EQ(footer->state(), TVRefreshState::Refreshing);
}

TEST_F(RefreshFooterTest, HidingAndShowingMovesTheInsetAndAHiddenFooterIsInstalledWithoutOne) {
    auto footer = this->footer<TVRefreshAutoNormalFooter>();
    // The lists hide their footer before installing it: no scroll view yet.
    footer->setHidden(true);
    setTV_footer(*scrollView, footer);
    EXPECT_DOUBLE_EQ(scrollView->contentInset().bottom, 0);
    scrollView->setContentSize({390, 1200});
    footer->setHidden(false);
    EXPECT_DOUBLE_EQ(scrollView->contentInset().bottom, 44);
    EXPECT_DOUBLE_EQ(TV_y(*footer), 1200);
    footer->beginRefreshing();
    footer->setHidden(true);
    EXPECT_DOUBLE_EQ(scrollView->contentInset().bottom, 0);
    EXPECT_EQ(footer->state(), TVRefreshState::Idle);
    footer->setHidden(true);
    EXPECT_DOUBLE_EQ(scrollView->contentInset().bottom, 0);

    // A hidden footer follows the content size but not the offset.
    scrollView->setContentSize({390, 900});
    EXPECT_DOUBLE_EQ(TV_y(*footer), 900);
    scrollTo(800);
    EXPECT_EQ(footer->state(), TVRefreshState::Idle);
    // One that takes no touches hears nothing.
    footer->setUserInteractionEnabled(false);
    scrollView->setContentSize({390, 700});
    EXPECT_DOUBLE_EQ(TV_y(*footer), 900);
}

TEST_F(RefreshFooterTest, BeginAndEndWithinHalfASecondStillCallsBackOnceAtHalfASecond) {
    auto footer = this->footer<TVRefreshAutoNormalFooter>();
    setTV_footer(*scrollView, footer);
    int ended = 0;
    double start = env.now();
    footer->beginRefreshing();
    env.fastForwardBy(0.2);
    footer->endRefreshingWithCompletionBlock([&] { ++ended; });
    EXPECT_EQ(ended, 1);  // at once, leaving Refreshing
    env.fastForwardBy(1);
    ASSERT_EQ(callbacks, 1);
    EXPECT_NEAR(callbackTimes[0] - start, 0.5, 1e-6);
}

TEST_F(RefreshFooterTest, AutoGifFooterPlaysWhileLoadingOnly) {
    auto footer = this->footer<TVRefreshAutoGifFooter>();
    setTV_footer(*scrollView, footer);
    EXPECT_TRUE(footer->gifView()->isHidden());
    auto image = ui::Image::imageWithCGImage(cg::Image::make(cg::Bitmap(10, 10, cg::PixelFormat::RGB24)));
    footer->setImages({image, image, image}, TVRefreshState::Refreshing);
    footer->beginRefreshing();
    EXPECT_FALSE(footer->gifView()->isHidden());
    EXPECT_TRUE(footer->gifView()->isAnimating());
    EXPECT_DOUBLE_EQ(footer->gifView()->animationDuration(), 0.3);
    footer->endRefreshingWithNoMoreData();
    EXPECT_TRUE(footer->gifView()->isHidden());
}

TEST_F(RefreshFooterTest, BackFooterPullsUpPastTheContentAndSpringsBack) {
    auto footer = this->footer<TVRefreshBackNormalFooter>();
    setTV_footer(*scrollView, footer);
    EXPECT_DOUBLE_EQ(TV_y(*footer), 1000);
    EXPECT_DOUBLE_EQ(scrollView->contentInset().bottom, 0);
    EXPECT_DOUBLE_EQ(footer->happenOffsetY(), 400);

    scrollTo(400);
    drag(-43);  // to 443: in view, but not far enough
    EXPECT_EQ(footer->state(), TVRefreshState::Idle);
    env.fastForwardBy(1);
    EXPECT_EQ(callbacks, 0);

    scrollTo(400);
    drag(-50);
    EXPECT_EQ(footer->state(), TVRefreshState::Refreshing);
    EXPECT_EQ(text(footer->stateLabel()), "Loading more...");
    EXPECT_DOUBLE_EQ(scrollView->contentInset().bottom, 44);
    EXPECT_DOUBLE_EQ(scrollView->contentOffset().y, 444);
    env.fastForwardBy(0.3);
    EXPECT_EQ(callbacks, 1);
    footer->endRefreshing();
    EXPECT_EQ(footer->state(), TVRefreshState::Refreshing);  // posted
    env.fastForwardBy(0.5);
    EXPECT_EQ(footer->state(), TVRefreshState::Idle);
    EXPECT_DOUBLE_EQ(scrollView->contentInset().bottom, 0);
}

TEST_F(RefreshFooterTest, BackFooterOnShortContentWaitsBelowTheView) {
    scrollView->setContentSize({390, 300});
    auto footer = this->footer<TVRefreshBackNormalFooter>();
    setTV_footer(*scrollView, footer);
    EXPECT_DOUBLE_EQ(TV_y(*footer), 600);
    EXPECT_DOUBLE_EQ(footer->happenOffsetY(), 0);
    footer->beginRefreshing();
    env.runUntilIdle();
    EXPECT_DOUBLE_EQ(scrollView->contentInset().bottom, 344);
    EXPECT_DOUBLE_EQ(scrollView->contentOffset().y, 44);

    // NoMoreData from Refreshing springs back too.
    footer->endRefreshingWithNoMoreData();
    env.fastForwardBy(0.5);
    EXPECT_EQ(footer->state(), TVRefreshState::NoMoreData);
    EXPECT_DOUBLE_EQ(scrollView->contentInset().bottom, 0);
    EXPECT_TRUE(footer->arrowView()->isHidden());

    // In NoMoreData a pull moves the percent and the alpha, nothing else.
    footer->setAutomaticallyChangeAlpha(true);
    scrollView->simulateDrag({0, -30});
    EXPECT_EQ(footer->state(), TVRefreshState::NoMoreData);
    EXPECT_GT(footer->pullingPercent(), 0);
    env.fastForwardBy(1);
    EXPECT_EQ(callbacks, 1);  // only the first refresh
}

// A table whose row count the test sets.
class Rows : public ui::TableViewDataSource {
public:
    int64_t numberOfSectionsInTableView(ui::TableView&) override { return sections; }
    int64_t numberOfRowsInSection(ui::TableView&, int64_t) override { return rows; }
    ns::Ref<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override {
        return ui::TableViewCell::make(ui::TableViewCellStyle::Default, "row");
    }
    int64_t sections = 0;
    int64_t rows = 0;
};

TEST_F(RefreshFooterTest, ReloadingThroughTheHookHidesAnEmptyListsFooterAndPlainReloadDoesNot) {
    auto table = ui::TableView::make({0, 0, 390, 600});
    auto rows = std::make_shared<Rows>();
    table->setDataSource(rows);
    window->addSubview(table);
    auto footer = this->footer<TVRefreshAutoNormalFooter>();
    setTV_footer(*table, footer);
    EXPECT_EQ(TV_totalDataCount(*table), 0);
    EXPECT_EQ(TV_totalDataCount(*scrollView), 0);
    footer->setAutomaticallyHidden(true);

    table->reloadData();
    EXPECT_FALSE(footer->isHidden());  // nothing exchanged into reloadData
    TV_reloadData(*table);
    EXPECT_TRUE(footer->isHidden());
    rows->sections = 2;
    rows->rows = 3;
    TV_reloadData(*table);
    EXPECT_EQ(TV_totalDataCount(*table), 6);
    EXPECT_FALSE(footer->isHidden());
}

}  // namespace
