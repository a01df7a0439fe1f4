#include "ui/hud/sd_KXBackgroundView.h"

#include "ui/hud/sd_KXProgressHUD.h"

RT_DEFINE_CLASS(sd_KXBackgroundView, ui::View, "sd_KXBackgroundView")

sd_KXBackgroundView::sd_KXBackgroundView() : sd_KXBackgroundView(cg::Rect{}) {}

sd_KXBackgroundView::sd_KXBackgroundView(const cg::Rect& frame) : View(frame) {
    setClipsToBounds(true);
    updateForBackgroundStyle();
}

void sd_KXBackgroundView::setStyle(sd_KXProgressHUDBackgroundStyle style) {
    if (style == style_) return;
    style_ = style;
    updateForBackgroundStyle();
}

void sd_KXBackgroundView::setColor(const cg::Color& color) {
    if (color == color_) return;
    color_ = color;
    updateViewsForColor(color);
}

ns::Ref<ui::VisualEffectView> sd_KXBackgroundView::effectView() const {
    std::lock_guard<std::mutex> hold(effectLock_);
    return effectView_;
}

void sd_KXBackgroundView::updateForBackgroundStyle() {
    if (style_ == sd_KXProgressHUDBackgroundStyle::Blur) {
        auto blur = ui::VisualEffectView::make(ui::BlurEffect::effectWithStyle(ui::BlurEffectStyle::Light));
        addSubview(blur);
        blur->setFrame(bounds());
        blur->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
        // The colour lies under the blur, which shows through it.
        setBackgroundColor(color_);
        layer()->setAllowsGroupOpacity(false);
        std::lock_guard<std::mutex> hold(effectLock_);
        effectView_ = blur;
    } else {
        ns::Ref<ui::VisualEffectView> old;
        {
            std::lock_guard<std::mutex> hold(effectLock_);
            old = std::move(effectView_);
        }
        if (old) old->removeFromSuperview();
        setBackgroundColor(color_);
    }
}

void sd_KXBackgroundView::updateViewsForColor(const cg::Color& color) { setBackgroundColor(color); }

void sd_KXBackgroundView::layoutSubviews() {
    View::layoutSubviews();
    // A HUD sizes its bezel around the stack and places the stack itself
    // (the layout engine does not size a panel around its content), so the
    // bezel's own pass hands the stack back to the HUD.
    if (auto hud = ns::cast<sd_KXProgressHUD>(superview()); hud && hud->bezelView().get() == this) {
        hud->layoutBezel();
    }
}
