#include "ui/refresh/TVRefreshBackGifFooter.h"

#include "ui/refresh/TVRefreshLabel.h"

RT_DEFINE_CLASS(TVRefreshBackGifFooter, TVRefreshBackStateFooter, "TVRefreshBackGifFooter")

void TVRefreshBackGifFooter::prepare() {
    TVRefreshBackStateFooter::prepare();
    setLabelLeftInset(TVRefreshGifLabelLeftInset);
}

void TVRefreshBackGifFooter::placeSubviews() {
    TVRefreshBackStateFooter::placeSubviews();
    images_.place(*this, stateLabel()->isHidden(), TV_textWith(*stateLabel()), labelLeftInset());
}

void TVRefreshBackGifFooter::setPullingPercent(double percent) {
    TVRefreshBackStateFooter::setPullingPercent(percent);
    if (state() == TVRefreshState::Idle) images_.showFraction(*this, TVRefreshState::Idle, percent);
}

void TVRefreshBackGifFooter::setState(TVRefreshState state) {
    if (state == this->state()) return;
    TVRefreshBackStateFooter::setState(state);
    if (state == TVRefreshState::Pulling || state == TVRefreshState::Refreshing) {
        if (images_.imagesForState(state)) {
            gifView()->setHidden(false);
            images_.play(*this, state);
        }
    } else if (state == TVRefreshState::Idle) {
        gifView()->setHidden(false);
    } else if (state == TVRefreshState::NoMoreData) {
        gifView()->setHidden(true);
    }
}
