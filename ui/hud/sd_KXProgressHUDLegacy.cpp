// The per-view HUD's older interface, forwarding to the current one.

#include "platform/uikit/ActivityIndicatorView.h"
#include "ui/hud/sd_KXProgressHUD.h"

namespace {

const cg::Color DimmedBackground = cg::Color::fromWhite(0, 0.2);

}  // namespace

std::vector<ns::Ref<sd_KXProgressHUD>> sd_KXProgressHUD::allHUDsForView(const ns::Ref<ui::View>& view,
                                                                        const rt::Class* cls) {
    std::vector<ns::Ref<sd_KXProgressHUD>> huds;
    if (!view) return huds;
    for (const auto& subview : view->subviews()) {
        if (!subview->isKindOf(cls)) continue;
        if (auto hud = ns::cast<sd_KXProgressHUD>(subview)) huds.push_back(hud);
    }
    return huds;
}

uint64_t sd_KXProgressHUD::hideAllHUDsForView(const ns::Ref<ui::View>& view, bool animated) {
    auto huds = allHUDsForView(view, staticClass());
    for (const auto& hud : huds) {
        hud->setRemoveFromSuperViewOnHide(true);
        hud->hideAnimated(animated);
    }
    return huds.size();
}

void sd_KXProgressHUD::showAnimatedWhileExecutingBlock(bool animated, Block block, Block completion) {
    showAnimatedWhileExecutingBlock(animated, std::move(block), dispatch::globalQueue(dispatch::QueuePriority::Default),
                                    std::move(completion));
}

void sd_KXProgressHUD::showAnimatedWhileExecutingBlock(bool animated, Block block, const dispatch::QueueRef& queue,
                                                       Block completion) {
    taskInProgress_.store(true);
    setCompletionBlock(std::move(completion));
    auto self = ref<sd_KXProgressHUD>();
    auto target = queue ? queue : dispatch::globalQueue(dispatch::QueuePriority::Default);
    target->async([self, block = std::move(block)] {
        if (block) block();
        dispatch::mainQueue()->async([self] { self->cleanUp(); });
    });
    showAnimated(animated);
}

void sd_KXProgressHUD::cleanUp() {
    taskInProgress_.store(false);
    hideAnimated(useAnimation_);
}

bool sd_KXProgressHUD::disd_KXackground() const {
    return backgroundView_->style() == sd_KXProgressHUDBackgroundStyle::SolidColor &&
           backgroundView_->color() == DimmedBackground;
}

void sd_KXProgressHUD::setDisd_KXackground(bool dim) {
    backgroundView_->setStyle(sd_KXProgressHUDBackgroundStyle::SolidColor);
    backgroundView_->setColor(dim ? DimmedBackground : cg::Color::clear());
}

void sd_KXProgressHUD::setActivityIndicatorColor(std::optional<cg::Color> color) {
    if (color == activityIndicatorColor_) return;
    activityIndicatorColor_ = color;
    if (auto spinner = ns::cast<ui::ActivityIndicatorView>(indicator_)) spinner->setColor(color);
}
