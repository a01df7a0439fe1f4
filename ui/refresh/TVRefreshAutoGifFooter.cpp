#include "ui/refresh/TVRefreshAutoGifFooter.h"

#include "ui/refresh/TVRefreshLabel.h"

RT_DEFINE_CLASS(TVRefreshAutoGifFooter, TVRefreshAutoStateFooter, "TVRefreshAutoGifFooter")

void TVRefreshAutoGifFooter::prepare() {
    TVRefreshAutoStateFooter::prepare();
    setLabelLeftInset(TVRefreshGifLabelLeftInset);
}

void TVRefreshAutoGifFooter::placeSubviews() {
    TVRefreshAutoStateFooter::placeSubviews();
    images_.place(*this, isRefreshingTitleHidden(), TV_textWith(*stateLabel()), labelLeftInset());
}

void TVRefreshAutoGifFooter::setState(TVRefreshState state) {
    if (state == this->state()) return;
    TVRefreshAutoStateFooter::setState(state);
    if (state == TVRefreshState::Refreshing) {
        if (images_.imagesForState(state)) {
            gifView()->setHidden(false);
            images_.play(*this, state);
        }
    } else if (state == TVRefreshState::Idle || state == TVRefreshState::NoMoreData) {
        gifView()->stopAnimating();
        gifView()->setHidden(true);
    }
}
