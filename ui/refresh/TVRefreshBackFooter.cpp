#include "ui/refresh/TVRefreshBackFooter.h"

#include <algorithm>

#include "ui/refresh/TVExtension.h"
#include "ui/refresh/TVRefreshScrollView.h"

RT_DEFINE_CLASS(TVRefreshBackFooter, TVRefreshFooter, "TVRefreshBackFooter")

double TVRefreshBackFooter::heightForContentBreakView() const {
    auto scrollView = this->scrollView();
    if (!scrollView) return 0;
    const auto& saved = scrollViewOriginalInset();
    return TV_contentH(*scrollView) - (TV_h(*scrollView) - saved.bottom - saved.top);
}

double TVRefreshBackFooter::happenOffsetY() const {
    double deltaH = heightForContentBreakView();
    double top = scrollViewOriginalInset().top;
    return deltaH > 0 ? deltaH - top : -top;
}

void TVRefreshBackFooter::willMoveToSuperview(ui::View* newSuperview) {
    TVRefreshFooter::willMoveToSuperview(newSuperview);
    scrollViewContentSizeDidChange(nullptr);
}

void TVRefreshBackFooter::scrollViewContentSizeDidChange(const ns::KeyValueChange* change) {
    TVRefreshFooter::scrollViewContentSizeDidChange(change);
    auto scrollView = this->scrollView();
    if (!scrollView) return;
    const auto& saved = scrollViewOriginalInset();
    double below = ignoredScrollViewContentInsetBottom();
    // With short content it waits just below the visible area.
    setTV_y(*this, std::max(TV_contentH(*scrollView) + below, TV_h(*scrollView) - saved.top - saved.bottom + below));
}

void TVRefreshBackFooter::scrollViewContentOffsetDidChange(const ns::KeyValueChange* change) {
    TVRefreshFooter::scrollViewContentOffsetDidChange(change);
    auto scrollView = this->scrollView();
    if (!scrollView || state() == TVRefreshState::Refreshing) return;
    setScrollViewOriginalInset(scrollView->contentInset());
    double offset = TV_offsetY(*scrollView);
    double happen = happenOffsetY();
    if (offset <= happen) return;
    double percent = (offset - happen) / TV_h(*this);
    if (state() == TVRefreshState::NoMoreData) {
        setPullingPercent(percent);
        return;
    }
    followPull(scrollView->isDragging(), percent, offset > happen + TV_h(*this));
}

void TVRefreshBackFooter::setState(TVRefreshState state) {
    TVRefreshState old = this->state();
    if (state == old) return;
    TVRefreshFooter::setState(state);
    auto scrollView = this->scrollView();
    if (state == TVRefreshState::Idle || state == TVRefreshState::NoMoreData) {
        if (old != TVRefreshState::Refreshing) return;
        springBack([](TVRefreshComponent& control, ui::ScrollView& scrollView) {
            auto& self = static_cast<TVRefreshBackFooter&>(control);
            setTV_insetB(scrollView, TV_insetB(scrollView) - self.lastBottomDelta_);
        });
        // New rows arrived: the offset is set again to itself, so observers
        // see the content where it is.
        if (scrollView && heightForContentBreakView() > 0 && TV_totalDataCount(*scrollView) != lastRefreshCount_) {
            setTV_offsetY(*scrollView, TV_offsetY(*scrollView));
        }
    } else if (state == TVRefreshState::Refreshing) {
        if (scrollView) lastRefreshCount_ = TV_totalDataCount(*scrollView);
        holdOpen([](TVRefreshComponent& control, ui::ScrollView& scrollView) {
            auto& self = static_cast<TVRefreshBackFooter&>(control);
            double bottom = TV_h(self) + self.scrollViewOriginalInset().bottom;
            double deltaH = self.heightForContentBreakView();
            if (deltaH < 0) bottom -= deltaH;  // short content: fill the gap too
            self.lastBottomDelta_ = bottom - TV_insetB(scrollView);
            setTV_insetB(scrollView, bottom);
            setTV_offsetY(scrollView, self.happenOffsetY() + TV_h(self));
        });
    }
}

void TVRefreshBackFooter::endRefreshing() { postState(TVRefreshState::Idle); }

void TVRefreshBackFooter::endRefreshingWithNoMoreData() { postState(TVRefreshState::NoMoreData); }
