#include "ui/refresh/TVRefreshAutoFooter.h"

#include "platform/dispatch/Queue.h"
#include "platform/uikit/GeometryValue.h"
#include "ui/refresh/TVExtension.h"

RT_DEFINE_CLASS(TVRefreshAutoFooter, TVRefreshFooter, "TVRefreshAutoFooter")

void TVRefreshAutoFooter::prepare() {
    TVRefreshFooter::prepare();
    triggerPercent_ = 1.0;
    automaticallyRefresh_ = true;
}

void TVRefreshAutoFooter::willMoveToSuperview(ui::View* newSuperview) {
    auto previous = scrollView();
    TVRefreshFooter::willMoveToSuperview(newSuperview);
    if (newSuperview) {
        auto scrollView = this->scrollView();
        if (!scrollView) return;
        // A footer hidden before it is installed takes no inset.
        if (!isHidden()) setTV_insetB(*scrollView, TV_insetB(*scrollView) + TV_h(*this));
        setTV_y(*this, TV_contentH(*scrollView));
    } else if (previous && !isHidden()) {
        setTV_insetB(*previous, TV_insetB(*previous) - TV_h(*this));
    }
}

void TVRefreshAutoFooter::scrollViewContentSizeDidChange(const ns::KeyValueChange* change) {
    TVRefreshFooter::scrollViewContentSizeDidChange(change);
    if (auto scrollView = this->scrollView()) setTV_y(*this, TV_contentH(*scrollView));
}

void TVRefreshAutoFooter::scrollViewContentOffsetDidChange(const ns::KeyValueChange* change) {
    TVRefreshFooter::scrollViewContentOffsetDidChange(change);
    auto scrollView = this->scrollView();
    if (!scrollView || state() != TVRefreshState::Idle || !automaticallyRefresh_ || TV_y(*this) == 0) return;
    double viewHeight = TV_h(*scrollView);
    if (TV_insetT(*scrollView) + TV_contentH(*scrollView) <= viewHeight) return;
    double line = TV_contentH(*scrollView) - viewHeight + TV_h(*this) * triggerPercent_ + TV_insetB(*scrollView) -
                  TV_h(*this);
    if (TV_offsetY(*scrollView) < line) return;
    // Only on the way towards the end: bouncing back does not load.
    if (!change || !change->oldValue || !change->newValue) return;
    if (ui::pointValue(change->newValue).y <= ui::pointValue(change->oldValue).y) return;
    beginRefreshing();
}

void TVRefreshAutoFooter::scrollViewPanStateDidChange(const ns::KeyValueChange* change) {
    TVRefreshFooter::scrollViewPanStateDidChange(change);
    auto scrollView = this->scrollView();
    if (!scrollView || state() != TVRefreshState::Idle) return;
    if (scrollView->panGestureRecognizer()->state() != ui::GestureRecognizerState::Ended) return;
    double top = TV_insetT(*scrollView);
    double offset = TV_offsetY(*scrollView);
    if (top + TV_contentH(*scrollView) <= TV_h(*scrollView)) {
        if (offset >= -top) beginRefreshing();
    } else if (offset >= TV_contentH(*scrollView) + TV_insetB(*scrollView) - TV_h(*scrollView)) {
        beginRefreshing();
    }
}

void TVRefreshAutoFooter::setState(TVRefreshState state) {
    TVRefreshState old = this->state();
    if (state == old) return;
    TVRefreshFooter::setState(state);
    if (state == TVRefreshState::Refreshing) {
        // The owner hears of it once the footer has shown it is loading;
        // leaving Refreshing meanwhile does not call it off.
        ns::Weak<TVRefreshAutoFooter> weak = ref<TVRefreshAutoFooter>();
        dispatch::after(TVRefreshAutoFooterCallbackDelay, dispatch::mainQueue(), [weak] {
            if (auto self = weak.lock()) self->executeRefreshingCallback();
        });
    } else if ((state == TVRefreshState::Idle || state == TVRefreshState::NoMoreData) &&
               old == TVRefreshState::Refreshing) {
        if (const auto& block = endRefreshingCompletionBlock()) block();
    }
}

void TVRefreshAutoFooter::setHidden(bool hidden) {
    bool wasHidden = isHidden();
    TVRefreshFooter::setHidden(hidden);
    auto scrollView = this->scrollView();
    if (!wasHidden && hidden) {
        setState(TVRefreshState::Idle);
        if (scrollView) setTV_insetB(*scrollView, TV_insetB(*scrollView) - TV_h(*this));
    } else if (wasHidden && !hidden) {
        if (!scrollView) return;
        setTV_insetB(*scrollView, TV_insetB(*scrollView) + TV_h(*this));
        setTV_y(*this, TV_contentH(*scrollView));
    }
}
