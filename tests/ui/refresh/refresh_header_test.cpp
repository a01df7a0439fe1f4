#include "platform/foundation/Date.h"
#include "refresh_test_support.h"
#include "ui/refresh/TVRefreshGifHeader.h"
#include "ui/refresh/TVRefreshNormalHeader.h"

namespace {

class RefreshHeaderTest : public RefreshTest {
protected:
    // Callbacks still due land before the counters below go.
    ~RefreshHeaderTest() override { env.fastForwardUntilNoTasksRemain(); }

    ns::Ref<TVRefreshNormalHeader> install() {
        auto header = TVRefreshHeader::headerWithRefreshingBlock<TVRefreshNormalHeader>([this] {
            ++callbacks;
            callbackTimes.push_back(env.now());
        });
        setTV_header(*scrollView, header);
        env.runUntilIdle();
        return header;
    }

    int callbacks = 0;
    std::vector<double> callbackTimes;
};

TEST_F(RefreshHeaderTest, AShortPullFallsBackToIdleAndTheAlphaFollowsThePull) {
    auto header = install();
    header->setAutomaticallyChangeAlpha(true);
    EXPECT_DOUBLE_EQ(header->alpha(), 0);  // nothing pulled yet
    EXPECT_EQ(TV_header(*scrollView), header);
    EXPECT_EQ(text(header->stateLabel()), "Pull down to refresh");

    drag(27);
    EXPECT_EQ(header->state(), TVRefreshState::Idle);
    env.fastForwardBy(1);
    EXPECT_EQ(callbacks, 0);
    EXPECT_DOUBLE_EQ(scrollView->contentInset().top, 0);
    // The percent followed the pull to a half, and fell with the bounce.
    EXPECT_DOUBLE_EQ(header->pullingPercent(), 0);
}

TEST_F(RefreshHeaderTest, ALongPullRefreshesWithTheInsetOpenAndCallsBackAfterTheAnimation) {
    auto header = install();
    scrollView->simulateDrag({0, 60}, 10);
    EXPECT_EQ(header->state(), TVRefreshState::Refreshing);
    EXPECT_EQ(text(header->stateLabel()), "Loading...");
    EXPECT_TRUE(header->loadingView()->isAnimating());
    EXPECT_TRUE(header->arrowView()->isHidden());
    double start = env.now();
    env.runUntilIdle();
    EXPECT_DOUBLE_EQ(scrollView->contentInset().top, 54);
    EXPECT_DOUBLE_EQ(scrollView->contentOffset().y, -54);
    EXPECT_EQ(callbacks, 0);
    env.fastForwardBy(0.3);
    ASSERT_EQ(callbacks, 1);
    EXPECT_NEAR(callbackTimes[0] - start, 0.25, 1e-6);

    // While refreshing, the open part stays between the saved inset and 54.
    scrollView->setContentOffset({0, 100});
    EXPECT_DOUBLE_EQ(scrollView->contentInset().top, 0);
    scrollView->setContentOffset({0, -30});
    EXPECT_DOUBLE_EQ(scrollView->contentInset().top, 30);
    scrollView->setContentOffset({0, -120});
    EXPECT_DOUBLE_EQ(scrollView->contentInset().top, 54);

    header->endRefreshing();
    EXPECT_EQ(header->state(), TVRefreshState::Refreshing);  // posted
    env.runUntilIdle();
    EXPECT_EQ(header->state(), TVRefreshState::Idle);
    env.fastForwardBy(0.5);
    EXPECT_DOUBLE_EQ(scrollView->contentInset().top, 0);
}

TEST_F(RefreshHeaderTest, ItSitsAboveTheContentAndIgnoresTheGivenTopInset) {
    auto header = install();
    env.runUntilIdle();
    EXPECT_DOUBLE_EQ(TV_y(*header), -54);
    EXPECT_DOUBLE_EQ(TV_w(*header), 390);
    header->setIgnoredScrollViewContentInsetTop(20);
    env.runUntilIdle();
    EXPECT_DOUBLE_EQ(TV_y(*header), -74);
    EXPECT_TRUE(scrollView->alwaysBounceVertical());
}

TEST_F(RefreshHeaderTest, TheTimeIsStoredWhenRefreshingEndsAndSharedByTheDefaultKey) {
    auto header = install();
    EXPECT_EQ(text(header->lastUpdatedTimeLabel()), "Last updated: Never");
    double began = ns::Date::now()->timeIntervalSince1970();
    header->beginRefreshing();
    env.fastForwardBy(1);
    EXPECT_EQ(header->lastUpdatedTime(), nullptr);
    header->endRefreshing();
    env.runUntilIdle();
    ASSERT_TRUE(header->lastUpdatedTime());
    // Stored at the end, a second after the refresh began.
    EXPECT_NEAR(header->lastUpdatedTime()->timeIntervalSince1970() - began, 1.0, 1e-6);
    EXPECT_EQ(text(header->lastUpdatedTimeLabel()), "Last updated: Today 09:30");

    auto other = TVRefreshHeader::headerWithRefreshingBlock<TVRefreshStateHeader>({});
    EXPECT_EQ(text(other->lastUpdatedTimeLabel()), "Last updated: Today 09:30");
    other->setLastUpdatedTimeKey("OtherKey");
    EXPECT_EQ(text(other->lastUpdatedTimeLabel()), "Last updated: Never");
}

TEST_F(RefreshHeaderTest, TheLastUpdatedLineCountsOnlyTheSameCalendarDayAsToday) {
    auto defaults = ns::UserDefaults::standardUserDefaults();
    auto header = TVRefreshHeader::headerWithRefreshingBlock<TVRefreshStateHeader>({});
    auto show = [&](double secondsSince1970) {
        defaults->setObjectForKey(ns::Date::withTimeIntervalSince1970(secondsSince1970), TVRefreshHeaderLastUpdatedTimeKey);
        header->setLastUpdatedTimeKey(TVRefreshHeaderLastUpdatedTimeKey);
        return text(header->lastUpdatedTimeLabel());
    };
    EXPECT_EQ(show(RefreshTestNow - 3600), "Last updated: Today 08:30");
    // The same day of the month, a month earlier: not today.
    EXPECT_EQ(show(RefreshTestNow - 29 * 86400.0), "Last updated: 02-10 09:30");
    EXPECT_EQ(show(RefreshTestNow - 366 * 86400.0), "Last updated: 2023-03-10 09:30");

    header->setLastUpdatedTimeText([](const ns::Ref<ns::Date>& date) {
        return ns::String::make(date ? "custom" : "none");
    });
    EXPECT_EQ(show(RefreshTestNow), "custom");
    header->lastUpdatedTimeLabel()->setHidden(true);
    header->lastUpdatedTimeLabel()->setText("kept");
    EXPECT_EQ(show(RefreshTestNow), "kept");  // a hidden line is left alone
}

TEST_F(RefreshHeaderTest, BeginningOutOfAWindowWaitsForTheFirstDraw) {
    auto loose = ui::ScrollView::make({0, 0, 390, 600});
    auto header = TVRefreshHeader::headerWithRefreshingBlock<TVRefreshNormalHeader>([this] { ++callbacks; });
    setTV_header(*loose, header);
    header->beginRefreshing();
    EXPECT_EQ(header->state(), TVRefreshState::WillRefresh);
    EXPECT_TRUE(header->isRefreshing());
    env.fastForwardBy(1);
    EXPECT_EQ(header->state(), TVRefreshState::WillRefresh);
    window->addSubview(loose);
    env.runUntilIdle();
    EXPECT_EQ(header->state(), TVRefreshState::Refreshing);
    env.fastForwardBy(1);
    EXPECT_EQ(callbacks, 1);
}

TEST_F(RefreshHeaderTest, AlphaFollowsThePercentExceptWhileRefreshing) {
    auto header = install();
    header->setAutomaticallyChangeAlpha(true);
    header->setPullingPercent(0.4);
    EXPECT_DOUBLE_EQ(header->alpha(), 0.4);
    header->beginRefreshing();
    header->setPullingPercent(0.2);
    EXPECT_DOUBLE_EQ(header->alpha(), 1);
    header->setAutomaticallyChangeAlpha(false);
    EXPECT_DOUBLE_EQ(header->alpha(), 1);

    // A title left out changes nothing.
    header->setTitle(nullptr, TVRefreshState::Idle);
    EXPECT_EQ(header->titleForState(TVRefreshState::Idle)->utf8(), "Pull down to refresh");
}

TEST_F(RefreshHeaderTest, GifHeaderShowsTheImageAsFarAsPulledAndGrowsForTallImages) {
    auto header = TVRefreshHeader::headerWithRefreshingBlock<TVRefreshGifHeader>({});
    std::vector<ns::Ref<ui::Image>> images;
    for (int i = 0; i < 10; ++i) {
        images.push_back(ui::Image::imageWithCGImage(cg::Image::make(cg::Bitmap(10 + i, 10, cg::PixelFormat::RGB24))));
    }
    header->setImages(images, TVRefreshState::Idle);
    header->setPullingPercent(0.55);
    EXPECT_EQ(header->gifView()->image(), images[5]);
    header->setPullingPercent(1.3);
    EXPECT_EQ(header->gifView()->image(), images[9]);
    header->setPullingPercent(-0.5);
    EXPECT_EQ(header->gifView()->image(), images[0]);
    EXPECT_DOUBLE_EQ(TV_h(*header), 54);

    header->setImages({images[0]}, TVRefreshState::Idle);
    header->setPullingPercent(0.9);
    EXPECT_EQ(header->gifView()->image(), images[0]);

    auto tall = ui::Image::imageWithCGImage(cg::Image::make(cg::Bitmap(20, 80, cg::PixelFormat::RGB24)));
    header->setImages({tall, tall}, TVRefreshState::Refreshing);
    EXPECT_DOUBLE_EQ(TV_h(*header), 80);
    setTV_header(*scrollView, header);
    header->beginRefreshing();
    EXPECT_TRUE(header->gifView()->isAnimating());
    EXPECT_DOUBLE_EQ(header->gifView()->animationDuration(), 0.2);
}

TEST_F(RefreshHeaderTest, TheBlockThenTheTargetThenTheBeginCompletionAllOnALaterTurn) {
    std::vector<std::string> calls;
    auto target = std::make_shared<ns::Object>();
    TVRefreshComponent* sender = nullptr;
    auto header = TVRefreshHeader::headerWithRefreshingTarget<TVRefreshNormalHeader>(
        target, [&](ns::Object& sent, TVRefreshComponent& control) {
            EXPECT_EQ(&sent, target.get());
            sender = &control;
            calls.push_back("target");
        });
    header->setRefreshingBlock([&] { calls.push_back("block"); });
    setTV_header(*scrollView, header);
    header->beginRefreshingWithCompletionBlock([&] { calls.push_back("began"); });
    EXPECT_TRUE(calls.empty());
    env.fastForwardBy(1);
    EXPECT_EQ(calls, (std::vector<std::string>{"block", "target", "began"}));
    EXPECT_EQ(sender, header.get());

    // A target that is gone is skipped.
    header->endRefreshing();
    env.fastForwardBy(1);
    target.reset();
    calls.clear();
    header->beginRefreshing();
    env.fastForwardBy(1);
    EXPECT_EQ(calls, (std::vector<std::string>{"block", "began"}));
}

TEST_F(RefreshHeaderTest, InstallingTheSameHeaderTwiceOrNilAndAFreedScrollView) {
    auto header = install();
    setTV_header(*scrollView, header);
    EXPECT_EQ(scrollView->subviews().front(), header);
    setTV_header(*scrollView, nullptr);
    EXPECT_EQ(TV_header(*scrollView), nullptr);
    EXPECT_EQ(header->superview(), nullptr);

    // A header whose scroll view is gone ends its refresh without touching it.
    auto loose = ui::ScrollView::make({0, 0, 390, 600});
    window->addSubview(loose);
    auto orphan = TVRefreshHeader::headerWithRefreshingBlock<TVRefreshNormalHeader>({});
    setTV_header(*loose, orphan);
    orphan->beginRefreshing();
    env.fastForwardBy(1);
    orphan->removeFromSuperview();
    loose->removeFromSuperview();
    loose.reset();
    orphan->endRefreshing();
    env.fastForwardBy(1);
    EXPECT_EQ(orphan->state(), TVRefreshState::Idle);
}

}  // namespace
