#include "ui/refresh/TVRefreshBackFooter.h"

#include <algorithm>

#include "platform/dispatch/Queue.h"
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
    if (scrollView->isDragging()) {
        setPullingPercent(percent);
        double threshold = happen + TV_h(*this);
        if (state() == TVRefreshState::Idle && offset > threshold) {
            setState(TVRefreshState::Pulling);
        } else if (state() == TVRefreshState::Pulling && offset <= threshold) {
            setState(TVRefreshState::Idle);
        }
    } else if (state() == TVRefreshState::Pulling) {
        beginRefreshing();
    } else if (percent < 1) {
        setPullingPercent(percent);
    }
}

void TVRefreshBackFooter::setState(TVRefreshState state) {
    TVRefreshState old = this->state();
    if (state == old) return;
    TVRefreshFooter::setState(state);
    auto scrollView = this->scrollView();
    ns::Weak<TVRefreshBackFooter> weak = ref<TVRefreshBackFooter>();
    if (state == TVRefreshState::Idle || state == TVRefreshState::NoMoreData) {
        if (old != TVRefreshState::Refreshing) return;
        ui::View::animate(
            TVRefreshSlowAnimationDuration,
            [weak] {
                auto self = weak.lock();
                auto scrollView = self ? self->scrollView() : nullptr;
                if (!scrollView) return;
                setTV_insetB(*scrollView, TV_insetB(*scrollView) - self->lastBottomDelta_);
                if (self->isAutomaticallyChangeAlpha()) self->setAlpha(0.0);
            },
            [weak](bool) {
                auto self = weak.lock();
                if (!self) return;
                self->setPullingPercent(0.0);
                if (const auto& block = self->endRefreshingCompletionBlock()) block();
            });
        // New rows arrived: the offset is set again to itself, so observers
        // see the content where it is.
        if (scrollView && heightForContentBreakView() > 0 && TV_totalDataCount(*scrollView) != lastRefreshCount_) {
            setTV_offsetY(*scrollView, TV_offsetY(*scrollView));
        }
    } else if (state == TVRefreshState::Refreshing) {
        if (scrollView) lastRefreshCount_ = TV_totalDataCount(*scrollView);
        ui::View::animate(
            TVRefreshFastAnimationDuration,
            [weak] {
                auto self = weak.lock();
                auto scrollView = self ? self->scrollView() : nullptr;
                if (!scrollView) return;
                double bottom = TV_h(*self) + self->scrollViewOriginalInset().bottom;
                double deltaH = self->heightForContentBreakView();
                if (deltaH < 0) bottom -= deltaH;  // short content: fill the gap too
                self->lastBottomDelta_ = bottom - TV_insetB(*scrollView);
                setTV_insetB(*scrollView, bottom);
                setTV_offsetY(*scrollView, self->happenOffsetY() + TV_h(*self));
            },
            [weak](bool) {
                if (auto self = weak.lock()) self->executeRefreshingCallback();
            });
    }
}

void TVRefreshBackFooter::postState(TVRefreshState state) {
    ns::Weak<TVRefreshBackFooter> weak = ref<TVRefreshBackFooter>();
    dispatch::mainQueue()->async([weak, state] {
        if (auto self = weak.lock()) self->setState(state);
    });
}

void TVRefreshBackFooter::endRefreshing() { postState(TVRefreshState::Idle); }

void TVRefreshBackFooter::endRefreshingWithNoMoreData() { postState(TVRefreshState::NoMoreData); }
