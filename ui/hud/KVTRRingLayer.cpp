#include "ui/hud/KVTRRingLayer.h"

#include "platform/graphics/BezierPath.h"
#include "platform/uikit/Screen.h"

double KVTRRingHalfSide(double radius, double thickness) { return radius + thickness / 2 + 5; }

ns::Ref<ui::ShapeLayer> KVTRMakeRingLayer(double radius, double thickness, const std::optional<cg::Color>& color,
                                          double startAngle, double endAngle) {
    double half = KVTRRingHalfSide(radius, thickness);
    auto layer = ui::ShapeLayer::make();
    layer->setContentsScale(ui::Screen::mainScreen()->scale());
    layer->setFrame({0, 0, 2 * half, 2 * half});
    layer->setFillColor(cg::Color::clear());
    layer->setStrokeColor(color);
    layer->setLineWidth(thickness);
    layer->setLineCap(ui::LineCapRound);
    layer->setLineJoin(ui::LineJoinBevel);
    layer->setPath(cg::BezierPath::arc({half, half}, radius, startAngle, endAngle, true));
    return layer;
}
