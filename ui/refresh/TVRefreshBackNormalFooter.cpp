#include "ui/refresh/TVRefreshBackNormalFooter.h"

#include "ui/refresh/TVExtension.h"
#include "ui/refresh/TVRefreshLabel.h"
#include "ui/refresh/TVRefreshNormalHeader.h"

RT_DEFINE_CLASS(TVRefreshBackNormalFooter, TVRefreshBackStateFooter, "TVRefreshBackNormalFooter")

void TVRefreshBackNormalFooter::prepare() {
    TVRefreshBackStateFooter::prepare();
    setActivityIndicatorViewStyle(TVRefreshActivityIndicatorStyle);
}

void TVRefreshBackNormalFooter::placeSubviews() {
    TVRefreshBackStateFooter::placeSubviews();
    double centerX = TV_w(*this) * 0.5;
    if (!stateLabel()->isHidden()) centerX -= labelLeftInset() + TV_textWith(*stateLabel()) * 0.5;
    parts_.place(*this, {centerX, TV_h(*this) * 0.5}, stateLabel()->textColor());
}

void TVRefreshBackNormalFooter::setState(TVRefreshState state) {
    TVRefreshState old = this->state();
    if (state == old) return;
    TVRefreshBackStateFooter::setState(state);
    auto arrow = arrowView();
    auto spinner = loadingView();
    auto rest = cg::AffineTransform::makeRotation(TVRefreshArrowTurn);
    if (state == TVRefreshState::Idle) {
        if (old == TVRefreshState::Refreshing) {
            arrow->setTransform(rest);
            ui::View::animate(
                TVRefreshSlowAnimationDuration, [spinner] { spinner->setAlpha(0.0); },
                [spinner, arrow](bool) {
                    spinner->setAlpha(1.0);
                    spinner->stopAnimating();
                    arrow->setHidden(false);
                });
        } else {
            arrow->setHidden(false);
            spinner->stopAnimating();
            ui::View::animate(TVRefreshFastAnimationDuration, [arrow, rest] { arrow->setTransform(rest); });
        }
    } else if (state == TVRefreshState::Pulling) {
        arrow->setHidden(false);
        spinner->stopAnimating();
        ui::View::animate(TVRefreshFastAnimationDuration,
                          [arrow] { arrow->setTransform(cg::AffineTransform::identity()); });
    } else if (state == TVRefreshState::Refreshing) {
        arrow->setHidden(true);
        spinner->startAnimating();
    } else if (state == TVRefreshState::NoMoreData) {
        arrow->setHidden(true);
        spinner->stopAnimating();
    }
}
