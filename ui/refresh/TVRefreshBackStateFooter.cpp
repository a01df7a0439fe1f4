#include "ui/refresh/TVRefreshBackStateFooter.h"

#include "ui/refresh/TVRefreshBundle.h"

RT_DEFINE_CLASS(TVRefreshBackStateFooter, TVRefreshBackFooter, "TVRefreshBackStateFooter")

void TVRefreshBackStateFooter::prepare() {
    TVRefreshBackFooter::prepare();
    labelLeftInset_ = TVRefreshLabelLeftInset;
    setTitle(TV_localizedStringForKey(TVRefreshBackFooterIdleText), TVRefreshState::Idle);
    setTitle(TV_localizedStringForKey(TVRefreshBackFooterPullingText), TVRefreshState::Pulling);
    setTitle(TV_localizedStringForKey(TVRefreshBackFooterRefreshingText), TVRefreshState::Refreshing);
    setTitle(TV_localizedStringForKey(TVRefreshBackFooterNoMoreDataText), TVRefreshState::NoMoreData);
}

void TVRefreshBackStateFooter::placeSubviews() {
    TVRefreshBackFooter::placeSubviews();
    if (stateLabel()->constraints().empty()) stateLabel()->setFrame(bounds());
}

void TVRefreshBackStateFooter::setState(TVRefreshState state) {
    if (state == this->state()) return;
    TVRefreshBackFooter::setState(state);
    titles_.show(*this, state);
}
