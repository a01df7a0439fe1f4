#pragma once
// Frame accessors and layer helpers the channel's screens share. Each setter
// replaces one measure of the frame and keeps the rest.

#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"
#include "platform/uikit/View.h"

namespace ViewExtension {

double x(const ui::View& view);
double y(const ui::View& view);
void setX(ui::View& view, double x);
void setY(ui::View& view, double y);
double width(const ui::View& view);
double height(const ui::View& view);
void setWidth(ui::View& view, double width);
void setHeight(ui::View& view, double height);
cg::Size size(const ui::View& view);
void setSize(ui::View& view, cg::Size size);
cg::Point origin(const ui::View& view);
void setOrigin(ui::View& view, cg::Point origin);
double centerX(const ui::View& view);
double centerY(const ui::View& view);
void setCenterX(ui::View& view, double centerX);
void setCenterY(ui::View& view, double centerY);

void setLayerBorderWidth(ui::View& view, double width, const cg::Color& borderColor);
// Corner radius with clipping to the bounds.
void setLayerCornerRadius(ui::View& view, double radius);

// A phone with a notch: a bottom safe-area inset on the key window, system
// 11 or later.
bool isNotchedPhone();
// Such a phone turned on its side: screens move their content in from the
// notch.
bool isNotchedPhoneOnItsSide();

// The last top-level object of the nib named `className` in the SDK bundle,
// when it is a view; nil otherwise.
ns::Ref<ui::View> ViewFromXib(std::string_view className);

}  // namespace ViewExtension
