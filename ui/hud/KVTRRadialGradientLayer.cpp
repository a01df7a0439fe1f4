#include "ui/hud/KVTRRadialGradientLayer.h"

#include <algorithm>

#include "platform/graphics/BitmapContext.h"

RT_DEFINE_CLASS(KVTRRadialGradientLayer, ui::Layer, "KVTRRadialGradientLayer")

void KVTRRadialGradientLayer::drawInContext(cg::BitmapContext& context) {
    const std::vector<cg::GradientStop> stops = {{0, {0, 0, 0, 0}}, {1, {0, 0, 0, 0.75}}};
    double radius = float(std::min(bounds().width(), bounds().height()));
    context.drawRadialGradient(stops, gradientCenter_, 0, gradientCenter_, radius, false, true);
}
