#pragma once
// The aggregation views' one image operation: their bar and wheel pictures
// are drawn for a 3x screen, so a rectangle in points is cut from the
// pixels at three pixels a point, whatever the screen's scale.

#include "platform/graphics/Geometry.h"
#include "platform/uikit/Image.h"

// The part of `image` inside `rect` (points of a 3x picture: each value
// times 3.0 gives its pixels, widened to whole pixels), as a new upright
// image at the main screen's scale. Nil without pixels, or when nothing of
// the picture lies inside the rectangle.
ns::Ref<ui::Image> interceptionWithRect(const ns::Ref<ui::Image>& image, const cg::Rect& rect);
