#include "ui/refresh/TVRefreshAutoNormalFooter.h"

#include "ui/refresh/TVExtension.h"
#include "ui/refresh/TVRefreshLabel.h"

RT_DEFINE_CLASS(TVRefreshAutoNormalFooter, TVRefreshAutoStateFooter, "TVRefreshAutoNormalFooter")

void TVRefreshAutoNormalFooter::prepare() {
    TVRefreshAutoStateFooter::prepare();
    setActivityIndicatorViewStyle(TVRefreshActivityIndicatorStyle);
}

void TVRefreshAutoNormalFooter::placeSubviews() {
    TVRefreshAutoStateFooter::placeSubviews();
    auto spinner = loadingView();
    if (!spinner->constraints().empty()) return;
    double centerX = TV_w(*this) * 0.5;
    if (!isRefreshingTitleHidden()) centerX -= TV_textWith(*stateLabel()) * 0.5 + labelLeftInset();
    spinner->setCenter({centerX, TV_h(*this) * 0.5});
}

void TVRefreshAutoNormalFooter::setState(TVRefreshState state) {
    if (state == this->state()) return;
    TVRefreshAutoStateFooter::setState(state);
    if (state == TVRefreshState::Idle || state == TVRefreshState::NoMoreData) loadingView()->stopAnimating();
    else if (state == TVRefreshState::Refreshing) loadingView()->startAnimating();
}
