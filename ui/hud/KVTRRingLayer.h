#pragma once
// The ring both status-HUD indicator views draw: a circle about the centre of
// a square layer whose half-side leaves room for the line and a margin.

#include <optional>

#include "platform/graphics/Color.h"
#include "platform/uikit/ShapeLayer.h"

// radius + thickness / 2 + 5.
double KVTRRingHalfSide(double radius, double thickness);

// A shape layer of side 2 x half-side, at the main screen's scale, clear
// fill, round caps and bevel joins, whose path runs clockwise from
// `startAngle` to `endAngle`.
ns::Ref<ui::ShapeLayer> KVTRMakeRingLayer(double radius, double thickness, const std::optional<cg::Color>& color,
                                          double startAngle, double endAngle);
