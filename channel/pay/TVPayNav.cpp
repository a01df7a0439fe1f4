#include "channel/pay/TVPayNav.h"

RT_DEFINE_CLASS(TVPayNav, TVBaseNav, "TVPayNav")

TVPayNav::~TVPayNav() { gone(); }

void TVPayNav::viewWillAppear(bool animated) {
    TVBaseNav::viewWillAppear(animated);
    wasShown_ = true;
}

void TVPayNav::viewDidDisappear(bool animated) {
    TVBaseNav::viewDidDisappear(animated);
    // A dismissal has unlinked it from its presenter by now; a screen
    // presented over it leaves the link in place.
    if (!presentingViewController()) gone();
}

void TVPayNav::gone() {
    auto whenGone = std::move(whenGone_);
    whenGone_ = nullptr;
    if (whenGone) whenGone();
}
