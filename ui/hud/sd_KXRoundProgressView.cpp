#include "ui/hud/sd_KXRoundProgressView.h"

#include <numbers>

#include "platform/graphics/BezierPath.h"
#include "platform/uikit/Appearance.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/GraphicsContext.h"

RT_DEFINE_CLASS(sd_KXRoundProgressView, ui::View, "sd_KXRoundProgressView")

namespace {

// Appearance proxies may carry the two tints.
[[maybe_unused]] const bool registered = [] {
    ui::AppearanceRegistry::registerSetter(sd_KXRoundProgressView::staticClass(), "progressTintColor",
                                           [](ui::View& view, const ns::Id& value) {
                                               if (auto c = ui::colorValue(value)) {
                                                   static_cast<sd_KXRoundProgressView&>(view).setProgressTintColor(*c);
                                               }
                                           });
    ui::AppearanceRegistry::registerSetter(
        sd_KXRoundProgressView::staticClass(), "backgroundTintColor", [](ui::View& view, const ns::Id& value) {
            if (auto c = ui::colorValue(value)) {
                static_cast<sd_KXRoundProgressView&>(view).setBackgroundTintColor(*c);
            }
        });
    return true;
}();

}  // namespace

sd_KXRoundProgressView::sd_KXRoundProgressView() : sd_KXRoundProgressView(cg::Rect{0, 0, 37, 37}) {}

sd_KXRoundProgressView::sd_KXRoundProgressView(const cg::Rect& frame) : View(frame) {
    setBackgroundColor(cg::Color::clear());
    setOpaque(false);
}

void sd_KXRoundProgressView::setProgress(float progress) {
    if (progress == progress_) return;
    progress_ = progress;
    setNeedsDisplay();
}

void sd_KXRoundProgressView::setProgressTintColor(const cg::Color& color) {
    if (color == progressTintColor_) return;
    progressTintColor_ = color;
    setNeedsDisplay();
}

void sd_KXRoundProgressView::setBackgroundTintColor(const cg::Color& color) {
    if (color == backgroundTintColor_) return;
    backgroundTintColor_ = color;
    setNeedsDisplay();
}

void sd_KXRoundProgressView::drawRect(const cg::Rect&) {
    cg::BitmapContext* context = ui::graphicsGetCurrentContext();
    if (!context) return;
    const cg::Rect b = bounds();
    const cg::Point center{b.midX(), b.midY()};
    const double width = b.width();
    // Angles as the drawing computes them, in single precision.
    const float pi = float(std::numbers::pi);
    const float start = -(pi / 2);
    const float end = start + progress_ * 2 * pi;

    if (annular_) {
        const double radius = (width - 2) / 2;
        cg::BezierPath track;
        track.setLineWidth(2);
        track.setLineCapStyle(cg::LineCap::Butt);
        track.addArc(center, radius, start, -(pi / 2) + 2 * pi, true);
        context->setStrokeColor(backgroundTintColor_);
        track.stroke(*context);

        cg::BezierPath arc;
        arc.setLineCapStyle(cg::LineCap::Square);
        arc.setLineWidth(2);
        arc.addArc(center, radius, start, end, true);
        context->setStrokeColor(progressTintColor_);
        arc.stroke(*context);
        return;
    }

    context->setStrokeColor(progressTintColor_);
    context->setFillColor(backgroundTintColor_);
    context->setLineWidth(2);
    context->strokeEllipseInRect(b.insetBy(1, 1));

    cg::BezierPath arc;
    arc.setLineCapStyle(cg::LineCap::Butt);
    arc.setLineWidth(4);
    arc.addArc(center, width / 2 - 2, start, end, true);
    context->setBlendMode(cg::BlendMode::Copy);
    context->setStrokeColor(progressTintColor_);
    arc.stroke(*context);
}
