#include "ui/hud/sd_KXBarProgressView.h"

#include <cmath>
#include <numbers>

#include "platform/uikit/Appearance.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/GraphicsContext.h"

RT_DEFINE_CLASS(sd_KXBarProgressView, ui::View, "sd_KXBarProgressView")

namespace {

void registerColor(const char* property, void (sd_KXBarProgressView::*setter)(const cg::Color&)) {
    ui::AppearanceRegistry::registerSetter(sd_KXBarProgressView::staticClass(), property,
                                           [setter](ui::View& view, const ns::Id& value) {
                                               if (auto c = ui::colorValue(value)) {
                                                   (static_cast<sd_KXBarProgressView&>(view).*setter)(*c);
                                               }
                                           });
}

// Appearance proxies may carry the colours.
[[maybe_unused]] const bool registered = [] {
    registerColor("lineColor", &sd_KXBarProgressView::setLineColor);
    registerColor("progressRemainingColor", &sd_KXBarProgressView::setProgressRemainingColor);
    registerColor("progressColor", &sd_KXBarProgressView::setProgressColor);
    return true;
}();

// An arc angle that is not a number (acos beyond +-1) draws as 0.
double finiteOrZero(double angle) { return std::isnan(angle) ? 0 : angle; }

}  // namespace

sd_KXBarProgressView::sd_KXBarProgressView() : sd_KXBarProgressView(cg::Rect{0, 0, 120, 20}) {}

sd_KXBarProgressView::sd_KXBarProgressView(const cg::Rect& frame) : View(frame) {
    setBackgroundColor(cg::Color::clear());
    setOpaque(false);
}

void sd_KXBarProgressView::setProgress(float progress) {
    if (progress == progress_) return;
    progress_ = progress;
    setNeedsDisplay();
}

void sd_KXBarProgressView::setProgressRemainingColor(const cg::Color& color) {
    if (color == progressRemainingColor_) return;
    progressRemainingColor_ = color;
    setNeedsDisplay();
}

void sd_KXBarProgressView::setProgressColor(const cg::Color& color) {
    if (color == progressColor_) return;
    progressColor_ = color;
    setNeedsDisplay();
}

void sd_KXBarProgressView::drawRect(const cg::Rect& rect) {
    cg::BitmapContext* context = ui::graphicsGetCurrentContext();
    if (!context) return;
    const double w = rect.width();
    const double h = rect.height();
    const double r = h / 2 - 2;  // the capsule's ends
    const double q = r - 2;      // the fill's ends, 4 points in
    const double a = progress_ * w;

    context->setLineWidth(2);
    context->setStrokeColor(lineColor_);
    context->setFillColor(progressRemainingColor_);
    auto capsule = [&] {
        context->moveTo(2, h / 2);
        context->addArcToPoint(2, 2, r + 2, 2, r);
        context->lineTo(w - r - 2, 2);
        context->addArcToPoint(w - 2, 2, w - 2, h / 2, r);
        context->addArcToPoint(w - 2, h - 2, w - r - 2, h - 2, r);
        context->lineTo(r + 2, h - 2);
        context->addArcToPoint(2, h - 2, 2, h / 2, r);
    };
    capsule();
    context->fillPath();
    capsule();
    context->strokePath();

    context->setFillColor(progressColor_);
    auto leftHalves = [&](double xEnd, double yEnd) {
        context->moveTo(4, h / 2);
        context->addArcToPoint(4, 4, q + 4, 4, q);
        context->lineTo(xEnd, 4);
        context->lineTo(xEnd, yEnd);
        context->moveTo(4, h / 2);
        context->addArcToPoint(4, h - 4, q + 4, h - 4, q);
        context->lineTo(xEnd, h - 4);
        context->lineTo(xEnd, yEnd);
    };
    if (a >= q + 4 && a <= w - q - 4) {
        leftHalves(a, q + 4);
        context->fillPath();
    } else if (a > q + 4) {
        const double x = a - (w - q - 4);
        const double pi = std::numbers::pi;
        context->moveTo(4, h / 2);
        context->addArcToPoint(4, 4, q + 4, 4, q);
        context->lineTo(w - q - 4, 4);
        context->addArc(w - q - 4, h / 2, q, pi, finiteOrZero(-std::acos(x / q)), false);
        context->lineTo(a, h / 2);
        context->moveTo(4, h / 2);
        context->addArcToPoint(4, h - 4, q + 4, h - 4, q);
        context->lineTo(w - q - 4, h - 4);
        context->addArc(w - q - 4, h / 2, q, -pi, finiteOrZero(std::acos(x / q)), true);
        context->lineTo(a, h / 2);
        context->fillPath();
    } else if (a > 0) {
        context->moveTo(4, h / 2);
        context->addArcToPoint(4, 4, q + 4, 4, q);
        context->lineTo(q + 4, h / 2);
        context->moveTo(4, h / 2);
        context->addArcToPoint(4, h - 4, q + 4, h - 4, q);
        context->lineTo(q + 4, h / 2);
        context->fillPath();
    }
}
