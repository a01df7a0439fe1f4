#pragma once
// A layer's border colour as a colour object, so resource files can set it
// under the key "borderUIColor".

#include <optional>

#include "platform/graphics/Color.h"
#include "platform/uikit/Layer.h"

namespace TVColor {

std::optional<cg::Color> borderUIColor(const ui::Layer& layer);
void setBorderUIColor(ui::Layer& layer, std::optional<cg::Color> color);

}  // namespace TVColor
