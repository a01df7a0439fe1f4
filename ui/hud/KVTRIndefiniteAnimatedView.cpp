#include "ui/hud/KVTRIndefiniteAnimatedView.h"

#include <cmath>
#include <numbers>

#include "platform/foundation/Number.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/uikit/Animation.h"
#include "platform/uikit/Screen.h"
#include "ui/hud/KVTRRingLayer.h"

RT_DEFINE_CLASS(KVTRIndefiniteAnimatedView, ui::View, "KVTRIndefiniteAnimatedView")

namespace {

constexpr double pi = std::numbers::pi;

// The mask's picture: opaque on the left half, fading out across the right,
// so the turning mask leaves the arc with a fading tail.
ns::Ref<cg::Image> maskPicture(cg::Size size, double scale) {
    auto context = cg::BitmapContext::create(size, scale, false);
    if (!context) return nullptr;
    const std::vector<cg::GradientStop> stops = {{0, {1, 1, 1, 1}}, {0.5, {1, 1, 1, 1}}, {1, {1, 1, 1, 0}}};
    context->drawLinearGradient(stops, {0, size.height / 2}, {size.width, size.height / 2}, false, false);
    return context->makeImage();
}

ns::Ref<ui::BasicAnimation> basic(const char* keyPath, double from, double to) {
    auto animation = ui::BasicAnimation::animationWithKeyPath(keyPath);
    animation->setFromValue(ns::Number::withDouble(from));
    animation->setToValue(ns::Number::withDouble(to));
    return animation;
}

}  // namespace

void KVTRIndefiniteAnimatedView::setRadius(double radius) {
    if (radius == radius_) return;
    radius_ = radius;
    dropLayer();
    if (superview()) layoutAnimatedLayer();
}

void KVTRIndefiniteAnimatedView::setStrokeThickness(double thickness) {
    strokeThickness_ = thickness;
    if (spinnerLayer_) spinnerLayer_->setLineWidth(thickness);
}

void KVTRIndefiniteAnimatedView::setStrokeColor(std::optional<cg::Color> color) {
    strokeColor_ = color;
    if (spinnerLayer_) spinnerLayer_->setStrokeColor(color);
}

const ns::Ref<ui::ShapeLayer>& KVTRIndefiniteAnimatedView::indefiniteAnimatedLayer() {
    if (spinnerLayer_) return spinnerLayer_;
    // Two full turns, so that the arc can run along the path while the
    // stroke window slides.
    auto shape = KVTRMakeRingLayer(radius_, strokeThickness_, strokeColor_, 3 * pi / 2, 11 * pi / 2);

    auto mask = ui::Layer::make();
    mask->setFrame(shape->bounds());
    mask->setContentsScale(shape->contentsScale());
    mask->setContents(maskPicture(shape->bounds().size, shape->contentsScale()));
    shape->setMask(mask);

    auto linear = ui::MediaTimingFunction::functionWithName(ui::MediaTimingFunctionLinear);
    const cg::AffineTransform t = mask->affineTransform();
    auto rotate = basic("transform.rotation", std::atan2(t.b, t.a), 2 * pi);
    rotate->setDuration(1.0);
    rotate->setTimingFunction(linear);
    rotate->setRemovedOnCompletion(false);
    rotate->setRepeatCount(ui::RepeatForever);
    rotate->setFillMode(ui::FillModeForwards);
    rotate->setAutoreverses(false);
    mask->addAnimation(rotate, RotateAnimationKey);

    auto group = std::make_shared<ui::AnimationGroup>();
    group->setDuration(1.0);
    group->setRepeatCount(ui::RepeatForever);
    group->setRemovedOnCompletion(false);
    group->setTimingFunction(linear);
    group->setAnimations({basic("strokeStart", 0.015, 0.515), basic("strokeEnd", 0.485, 0.985)});
    shape->addAnimation(group, ProgressAnimationKey);

    spinnerLayer_ = shape;
    return spinnerLayer_;
}

void KVTRIndefiniteAnimatedView::setFrame(const cg::Rect& frame) {
    if (frame == this->frame()) return;
    View::setFrame(frame);
    if (superview()) layoutAnimatedLayer();
}

void KVTRIndefiniteAnimatedView::willMoveToSuperview(View* newSuperview) {
    if (newSuperview) {
        layoutAnimatedLayer();
    } else {
        dropLayer();
    }
}

cg::Size KVTRIndefiniteAnimatedView::sizeThatFits(cg::Size) const {
    double side = 2 * KVTRRingHalfSide(radius_, strokeThickness_);
    return {side, side};
}

void KVTRIndefiniteAnimatedView::layoutAnimatedLayer() {
    const auto& spinner = indefiniteAnimatedLayer();
    layer()->addSublayer(spinner);
    spinner->setPosition({bounds().width() / 2, bounds().height() / 2});
}

void KVTRIndefiniteAnimatedView::dropLayer() {
    if (!spinnerLayer_) return;
    spinnerLayer_->removeFromSuperlayer();
    spinnerLayer_.reset();
}
