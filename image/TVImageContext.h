#pragma once
// The image utilities' one way of drawing into an image context: open it,
// draw, take the image, close it, on the calling thread.

#include <functional>

#include "platform/graphics/BitmapContext.h"
#include "platform/uikit/Image.h"

// Nil when no context can be made (an empty or huge size). A scale of 0 is
// the screen's.
ns::Ref<ui::Image> TVDrawInImageContext(cg::Size size, bool opaque, double scale,
                                        const std::function<void(cg::BitmapContext&)>& draw);
