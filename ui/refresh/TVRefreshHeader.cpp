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
    followPull(scrollView->isDragging(), percent, offset < threshold);
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
        springBack([](TVRefreshComponent& control, ui::ScrollView& scrollView) {
            auto& self = static_cast<TVRefreshHeader&>(control);
            setTV_insetT(scrollView, TV_insetT(scrollView) + self.insetTDelta_);
        });
    } else if (state == TVRefreshState::Refreshing) {
        dispatch::mainQueue()->async([weak] {
            auto self = weak.lock();
            if (!self) return;
            self->holdOpen([](TVRefreshComponent& control, ui::ScrollView& scrollView) {
                double top = control.scrollViewOriginalInset().top + TV_h(control);
                setTV_insetT(scrollView, top);
                scrollView.setContentOffset({0, -top}, false);
            });
        });
    }
}

void TVRefreshHeader::endRefreshing() { postState(TVRefreshState::Idle); }
