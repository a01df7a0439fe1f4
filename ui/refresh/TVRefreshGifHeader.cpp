#include "ui/refresh/TVRefreshGifHeader.h"

RT_DEFINE_CLASS(TVRefreshGifHeader, TVRefreshStateHeader, "TVRefreshGifHeader")

void TVRefreshGifHeader::prepare() {
    TVRefreshStateHeader::prepare();
    setLabelLeftInset(TVRefreshGifLabelLeftInset);
}

void TVRefreshGifHeader::placeSubviews() {
    TVRefreshStateHeader::placeSubviews();
    bool textHidden = stateLabel()->isHidden() && lastUpdatedTimeLabel()->isHidden();
    images_.place(*this, textHidden, textWidth(), labelLeftInset());
}

void TVRefreshGifHeader::setPullingPercent(double percent) {
    TVRefreshStateHeader::setPullingPercent(percent);
    if (state() == TVRefreshState::Idle) images_.showFraction(*this, TVRefreshState::Idle, percent);
}

void TVRefreshGifHeader::setState(TVRefreshState state) {
    if (state == this->state()) return;
    TVRefreshStateHeader::setState(state);
    if (state == TVRefreshState::Pulling || state == TVRefreshState::Refreshing) {
        images_.play(*this, state);
    } else if (state == TVRefreshState::Idle) {
        gifView()->stopAnimating();
    }
}
