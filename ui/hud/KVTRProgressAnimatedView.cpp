#include "ui/hud/KVTRProgressAnimatedView.h"

#include <numbers>

#include "ui/hud/KVTRRingLayer.h"

RT_DEFINE_CLASS(KVTRProgressAnimatedView, ui::View, "KVTRProgressAnimatedView")

void KVTRProgressAnimatedView::setRadius(double radius) {
    if (radius == radius_) return;
    radius_ = radius;
    dropLayer();
    if (superview()) layoutAnimatedLayer();
}

void KVTRProgressAnimatedView::setStrokeThickness(double thickness) {
    strokeThickness_ = thickness;
    if (ringLayer_) ringLayer_->setLineWidth(thickness);
}

void KVTRProgressAnimatedView::setStrokeColor(std::optional<cg::Color> color) {
    strokeColor_ = color;
    if (ringLayer_) ringLayer_->setStrokeColor(color);
}

void KVTRProgressAnimatedView::setStrokeEnd(double strokeEnd) {
    strokeEnd_ = strokeEnd;
    if (ringLayer_) ringLayer_->setStrokeEnd(strokeEnd);
}

const ns::Ref<ui::ShapeLayer>& KVTRProgressAnimatedView::ringAnimatedLayer() {
    if (!ringLayer_) {
        constexpr double pi = std::numbers::pi;
        ringLayer_ = KVTRMakeRingLayer(radius_, strokeThickness_, strokeColor_, -pi / 2, pi + pi / 2);
    }
    return ringLayer_;
}

void KVTRProgressAnimatedView::setFrame(const cg::Rect& frame) {
    if (frame == this->frame()) return;
    View::setFrame(frame);
    if (superview()) layoutAnimatedLayer();
}

void KVTRProgressAnimatedView::willMoveToSuperview(View* newSuperview) {
    if (newSuperview) {
        layoutAnimatedLayer();
    } else {
        dropLayer();
    }
}

cg::Size KVTRProgressAnimatedView::sizeThatFits(cg::Size) const {
    double side = 2 * KVTRRingHalfSide(radius_, strokeThickness_);
    return {side, side};
}

void KVTRProgressAnimatedView::layoutAnimatedLayer() {
    const auto& ring = ringAnimatedLayer();
    layer()->addSublayer(ring);
    ring->setPosition({bounds().width() / 2, bounds().height() / 2});
}

void KVTRProgressAnimatedView::dropLayer() {
    if (!ringLayer_) return;
    ringLayer_->removeFromSuperlayer();
    ringLayer_.reset();
}
