#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/KeyValueObserving.h"
#include "platform/uikit/TableViewCell.h"
#include "refresh_test_support.h"
#include "ui/refresh/TVRefreshAutoGifFooter.h"
#include "ui/refresh/TVRefreshAutoNormalFooter.h"
#include "ui/refresh/TVRefreshBackGifFooter.h"
#include "ui/refresh/TVRefreshBackNormalFooter.h"
#include "ui/refresh/TVRefreshLabel.h"

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

TEST_F(RefreshFooterTest, BackGifFooterShowsItsImagesByStateAndSitsBesideItsTitle) {
    auto footer = this->footer<TVRefreshBackGifFooter>();
    setTV_footer(*scrollView, footer);
    EXPECT_DOUBLE_EQ(footer->labelLeftInset(), 20);
    auto picture = [](int width) {
        return ui::Image::imageWithCGImage(cg::Image::make(cg::Bitmap(width, 10, cg::PixelFormat::RGB24)));
    };
    std::vector<ns::Ref<ui::Image>> idle{picture(10), picture(11), picture(12), picture(13)};
    auto pulling = picture(20);
    std::vector<ns::Ref<ui::Image>> loading{picture(30), picture(31), picture(32)};
    footer->setImages(idle, TVRefreshState::Idle);
    footer->setImages({pulling}, TVRefreshState::Pulling);
    footer->setImages(loading, 0.6, TVRefreshState::Refreshing);

    // Coming into view without a drag: the idle image as far as it shows.
    scrollTo(400 + 22);
    EXPECT_EQ(footer->gifView()->image(), idle[2]);
    scrollTo(400 + 11);
    EXPECT_EQ(footer->gifView()->image(), idle[1]);
    EXPECT_FALSE(footer->gifView()->isAnimating());

    // Beside the visible title, right-aligned.
    footer->layoutIfNeeded();
    double title = TV_textWith(*footer->stateLabel());
    EXPECT_GT(title, 0);
    EXPECT_EQ(footer->gifView()->contentMode(), ui::ViewContentMode::Right);
    EXPECT_DOUBLE_EQ(TV_w(*footer->gifView()), 390 * 0.5 - 20 - title * 0.5);

    // A single pulling image stands still; the loading ones play.
    footer->setState(TVRefreshState::Pulling);
    EXPECT_EQ(footer->gifView()->image(), pulling);
    EXPECT_FALSE(footer->gifView()->isAnimating());
    scrollTo(400);
    drag(-50);
    EXPECT_EQ(footer->state(), TVRefreshState::Refreshing);
    EXPECT_TRUE(footer->gifView()->isAnimating());
    EXPECT_DOUBLE_EQ(footer->gifView()->animationDuration(), 0.6);

    footer->endRefreshingWithNoMoreData();
    env.fastForwardBy(0.5);
    EXPECT_TRUE(footer->gifView()->isHidden());
    footer->resetNoMoreData();
    EXPECT_EQ(footer->state(), TVRefreshState::Idle);
    EXPECT_FALSE(footer->gifView()->isHidden());

    // Without a title the images take the whole footer, centred.
    footer->stateLabel()->setHidden(true);
    footer->setNeedsLayout();
    footer->layoutIfNeeded();
    EXPECT_EQ(footer->gifView()->contentMode(), ui::ViewContentMode::Center);
    EXPECT_DOUBLE_EQ(TV_w(*footer->gifView()), 390);
}

// Ending a refresh after which the list holds more rows sets the offset to
// itself (observers hear it); with as many rows as before, or with content
// shorter than the view, it does not.
TEST_F(RefreshFooterTest, BackFooterAnnouncesTheOffsetOnceWhenNewRowsArrived) {
    auto table = ui::TableView::make({0, 0, 390, 600});
    table->setContentInsetAdjustmentBehavior(ui::ScrollViewContentInsetAdjustmentBehavior::Never);
    auto rows = std::make_shared<Rows>();
    rows->sections = 1;
    rows->rows = 20;
    table->setDataSource(rows);
    window->addSubview(table);
    table->reloadData();
    table->layoutIfNeeded();
    auto footer = this->footer<TVRefreshBackNormalFooter>();
    setTV_footer(*table, footer);
    int selfSets = 0;
    auto token = ns::addObserver(*table, "contentOffset", ns::KeyValueObservingOptionOld | ns::KeyValueObservingOptionNew,
                                 [&](ns::Object&, const std::string&, const ns::KeyValueChange& change) {
                                     if (ui::pointValue(change.oldValue) == ui::pointValue(change.newValue)) ++selfSets;
                                 });
    auto refreshWith = [&](int64_t rowsAfter) {
        footer->beginRefreshing();
        env.fastForwardBy(0.5);
        EXPECT_EQ(footer->state(), TVRefreshState::Refreshing);
        rows->rows = rowsAfter;
        table->reloadData();
        table->layoutIfNeeded();
        selfSets = 0;
        footer->endRefreshing();
        env.runUntilIdle();
        EXPECT_EQ(footer->state(), TVRefreshState::Idle);
        int heard = selfSets;
        env.fastForwardBy(0.5);
        return heard;
    };
    ASSERT_GT(footer->heightForContentBreakView(), 0);
    EXPECT_EQ(refreshWith(30), 1) << "new rows";
    EXPECT_EQ(refreshWith(30), 0) << "as many rows as before";
    EXPECT_EQ(refreshWith(25), 1) << "fewer rows count as a change too";

    rows->rows = 3;
    table->reloadData();
    table->layoutIfNeeded();
    table->setContentOffset({0, 0});
    EXPECT_LT(footer->heightForContentBreakView(), 0);
    EXPECT_EQ(refreshWith(5), 0) << "short content";
    ns::removeObserver(token);
}

}  // namespace
