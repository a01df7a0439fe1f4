#include "ui/refresh/TVRefreshAutoStateFooter.h"

#include "platform/uikit/GestureRecognizer.h"
#include "ui/refresh/TVRefreshBundle.h"

RT_DEFINE_CLASS(TVRefreshAutoStateFooter, TVRefreshAutoFooter, "TVRefreshAutoStateFooter")

void TVRefreshAutoStateFooter::prepare() {
    TVRefreshAutoFooter::prepare();
    labelLeftInset_ = TVRefreshLabelLeftInset;
    setTitle(TV_localizedStringForKey(TVRefreshAutoFooterIdleText), TVRefreshState::Idle);
    setTitle(TV_localizedStringForKey(TVRefreshAutoFooterRefreshingText), TVRefreshState::Refreshing);
    setTitle(TV_localizedStringForKey(TVRefreshAutoFooterNoMoreDataText), TVRefreshState::NoMoreData);
    auto& label = stateLabel();
    label->setUserInteractionEnabled(true);
    ns::Weak<TVRefreshAutoStateFooter> weak = ref<TVRefreshAutoStateFooter>();
    auto tap = std::make_shared<ui::TapGestureRecognizer>();
    tap->addTarget([weak](ui::GestureRecognizer&) {
        if (auto self = weak.lock()) self->stateLabelClick();
    });
    label->addGestureRecognizer(tap);
}

void TVRefreshAutoStateFooter::stateLabelClick() {
    if (state() == TVRefreshState::Idle) beginRefreshing();
}

void TVRefreshAutoStateFooter::placeSubviews() {
    TVRefreshAutoFooter::placeSubviews();
    if (stateLabel()->constraints().empty()) stateLabel()->setFrame(bounds());
}

void TVRefreshAutoStateFooter::setState(TVRefreshState state) {
    if (state == this->state()) return;
    TVRefreshAutoFooter::setState(state);
    if (refreshingTitleHidden_ && state == TVRefreshState::Refreshing) stateLabel()->setText(ns::Ref<ns::String>());
    else titles_.show(*this, state);
}
