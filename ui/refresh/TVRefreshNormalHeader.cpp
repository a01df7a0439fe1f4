#include "ui/refresh/TVRefreshNormalHeader.h"

#include "ui/refresh/TVExtension.h"

RT_DEFINE_CLASS(TVRefreshNormalHeader, TVRefreshStateHeader, "TVRefreshNormalHeader")

void TVRefreshNormalHeader::prepare() {
    TVRefreshStateHeader::prepare();
    setActivityIndicatorViewStyle(TVRefreshActivityIndicatorStyle);
}

void TVRefreshNormalHeader::placeSubviews() {
    TVRefreshStateHeader::placeSubviews();
    double centerX = TV_w(*this) * 0.5;
    if (!stateLabel()->isHidden()) centerX -= textWidth() / 2 + labelLeftInset();
    parts_.place(*this, {centerX, TV_h(*this) * 0.5}, stateLabel()->textColor());
}

void TVRefreshNormalHeader::setState(TVRefreshState state) {
    TVRefreshState old = this->state();
    if (state == old) return;
    TVRefreshStateHeader::setState(state);
    ns::Weak<TVRefreshNormalHeader> weak = ref<TVRefreshNormalHeader>();
    auto arrow = arrowView();
    auto spinner = loadingView();
    if (state == TVRefreshState::Idle) {
        if (old == TVRefreshState::Refreshing) {
            arrow->setTransform(cg::AffineTransform::identity());
            ui::View::animate(
                TVRefreshSlowAnimationDuration, [spinner] { spinner->setAlpha(0.0); },
                [weak, spinner, arrow](bool) {
                    auto self = weak.lock();
                    // Only when nothing has moved it on meanwhile.
                    if (!self || self->state() != TVRefreshState::Idle) return;
                    spinner->setAlpha(1.0);
                    spinner->stopAnimating();
                    arrow->setHidden(false);
                });
        } else {
            spinner->stopAnimating();
            arrow->setHidden(false);
            ui::View::animate(TVRefreshFastAnimationDuration,
                              [arrow] { arrow->setTransform(cg::AffineTransform::identity()); });
        }
    } else if (state == TVRefreshState::Pulling) {
        spinner->stopAnimating();
        arrow->setHidden(false);
        ui::View::animate(TVRefreshFastAnimationDuration,
                          [arrow] { arrow->setTransform(cg::AffineTransform::makeRotation(TVRefreshArrowTurn)); });
    } else if (state == TVRefreshState::Refreshing) {
        spinner->setAlpha(1.0);
        spinner->startAnimating();
        arrow->setHidden(true);
    }
}
