#pragma once
// A button background per state from a plain colour, and the bar button the
// channel's navigation bars use.

#include <string_view>

#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"
#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/Image.h"

namespace FillColor {

// A 1 x 1 point image filled with the colour.
ns::Ref<ui::Image> imageWithColor(const cg::Color& color);
void setBackgroundColorForState(ui::Button& button, const cg::Color& color, unsigned state);

}  // namespace FillColor

namespace BarButtonItemExtension {

// A custom button (images `image` and `highImage` for the normal and
// highlighted states) as a bar item; a zero width sizes it to its image.
ns::Ref<ui::BarButtonItem> itemWithTarget(const ns::Id& target, ui::Control::Action action, std::string_view image,
                                          std::string_view highImage, cg::Size size);

}  // namespace BarButtonItemExtension
