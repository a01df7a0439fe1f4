#pragma once
// Boxing of geometry, transforms and colours into ns::Value, as the view
// layer hands them to observers, animations and notification user info.
// Unboxing a value of another type (or nil) gives the zero value.

#include <optional>

#include "platform/foundation/Number.h"
#include "platform/graphics/AffineTransform.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"
#include "platform/uikit/Transform3D.h"

namespace ui {

ns::Ref<ns::Value> valueWithPoint(cg::Point p);
ns::Ref<ns::Value> valueWithSize(cg::Size s);
ns::Ref<ns::Value> valueWithRect(const cg::Rect& r);
ns::Ref<ns::Value> valueWithEdgeInsets(const cg::EdgeInsets& e);
ns::Ref<ns::Value> valueWithAffineTransform(const cg::AffineTransform& t);
ns::Ref<ns::Value> valueWithTransform3D(const Transform3D& t);
ns::Ref<ns::Value> valueWithColor(const cg::Color& c);

cg::Point pointValue(const ns::Id& value);
cg::Size sizeValue(const ns::Id& value);
cg::Rect rectValue(const ns::Id& value);
cg::EdgeInsets edgeInsetsValue(const ns::Id& value);
cg::AffineTransform affineTransformValue(const ns::Id& value);
Transform3D transform3DValue(const ns::Id& value);
// Nothing for nil or a value that is not a colour.
std::optional<cg::Color> colorValue(const ns::Id& value);
// A number's double value; 0 for anything else.
double doubleValue(const ns::Id& value);

}  // namespace ui
