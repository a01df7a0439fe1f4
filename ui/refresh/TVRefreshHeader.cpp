#include "ui/refresh/TVRefreshHeader.h"

#include <algorithm>

#include "platform/dispatch/Queue.h"
#include "platform/foundation/UserDefaults.h"
#include "ui/refresh/TVExtension.h"

RT_DEFINE_CLASS(TVRefreshHeader, TVRefreshComponent, "TVRefreshHeader")

void TVRefreshHeader::prepare() {
    TVRefreshComponent::prepare();
    setLastUpdatedTimeKey(TVRefreshHeaderLastUpdatedTimeKey);
    setTV_h(*this, TVRefreshHeaderHeight);
}

void TVRefreshHeader::placeSubviews() {
    TVRefreshComponent::placeSubviews();
    setTV_y(*this, -TV_h(*this) - ignoredScrollViewContentInsetTop_);
}

void TVRefreshHeader::setIgnoredScrollViewContentInsetTop(double inset) {
    ignoredScrollViewContentInsetTop_ = inset;
    setNeedsLayout();
}

ns::Ref<ns::Date> TVRefreshHeader::lastUpdatedTime() const {
    return std::dynamic_pointer_cast<ns::Date>(ns::UserDefaults::standardUserDefaults()->objectForKey(lastUpdatedTimeKey_));
}

void TVRefreshHeader::scrollViewContentOffsetDidChange(const ns::KeyValueChange* change) {
    TVRefreshComponent::scrollViewContentOffsetDidChange(change);
    auto scrollView = this->scrollView();
    if (!scrollView) return;
    double savedTop = scrollViewOriginalInset().top;
    if (state() == TVRefreshState::Refreshing) {
        if (!window()) return;
        // Open while on screen, shrinking as the content covers it, never
        // more than its height.
        double inset = std::max(-TV_offsetY(*scrollView), savedTop);
        inset = std::min(inset, savedTop + TV_h(*this));
        setTV_insetT(*scrollView, inset);
        insetTDelta_ = savedTop - inset;
        return;
    }
    setScrollViewOriginalInset(scrollView->contentInset());
    savedTop = scrollViewOriginalInset().top;
    double offset = TV_offsetY(*scrollView);
    double happen = -savedTop;
    if (offset > happen) return;
    double threshold = happen - TV_h(*this);
    double percent = (happen - offset) / TV_h(*this);
    if (scrollView->isDragging()) {
        setPullingPercent(percent);
        if (state() == TVRefreshState::Idle && offset < threshold) {
            setState(TVRefreshState::Pulling);
        } else if (state() == TVRefreshState::Pulling && offset >= threshold) {
            setState(TVRefreshState::Idle);
        }
    } else if (state() == TVRefreshState::Pulling) {
        beginRefreshing();
    } else if (percent < 1) {
        setPullingPercent(percent);
    }
}

void TVRefreshHeader::setState(TVRefreshState state) {
    TVRefreshState old = this->state();
    if (state == old) return;
    TVRefreshComponent::setState(state);
    ns::Weak<TVRefreshHeader> weak = ref<TVRefreshHeader>();
    if (state == TVRefreshState::Idle && old == TVRefreshState::Refreshing) {
        auto defaults = ns::UserDefaults::standardUserDefaults();
        defaults->setObjectForKey(ns::Date::now(), lastUpdatedTimeKey_);
        defaults->synchronize();
        ui::View::animate(
            TVRefreshSlowAnimationDuration,
            [weak] {
                auto self = weak.lock();
                auto scrollView = self ? self->scrollView() : nullptr;
                // A freed scroll view has no inset to give back.
                if (!scrollView) return;
                setTV_insetT(*scrollView, TV_insetT(*scrollView) + self->insetTDelta_);
                if (self->isAutomaticallyChangeAlpha()) self->setAlpha(0.0);
            },
            [weak](bool) {
                auto self = weak.lock();
                if (!self) return;
                self->setPullingPercent(0.0);
                if (const auto& block = self->endRefreshingCompletionBlock()) block();
            });
    } else if (state == TVRefreshState::Refreshing) {
        dispatch::mainQueue()->async([weak] {
            ui::View::animate(
                TVRefreshFastAnimationDuration,
                [weak] {
                    auto self = weak.lock();
                    auto scrollView = self ? self->scrollView() : nullptr;
                    if (!scrollView) return;
                    double top = self->scrollViewOriginalInset().top + TV_h(*self);
                    setTV_insetT(*scrollView, top);
                    scrollView->setContentOffset({0, -top}, false);
                },
                [weak](bool) {
                    if (auto self = weak.lock()) self->executeRefreshingCallback();
                });
        });
    }
}

void TVRefreshHeader::endRefreshing() {
    ns::Weak<TVRefreshHeader> weak = ref<TVRefreshHeader>();
    dispatch::mainQueue()->async([weak] {
        if (auto self = weak.lock()) self->setState(TVRefreshState::Idle);
    });
}
