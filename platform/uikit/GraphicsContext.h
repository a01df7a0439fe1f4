#pragma once
// The current drawing context, as drawRect and the image-context functions
// see it: a stack per thread, so image contexts may be used on any queue
// (views draw on the main thread only). During a display the context is
// made only when the drawing first asks for it, so views that draw nothing
// cost no bitmap.

#include <memory>

#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/BlendMode.h"
#include "platform/graphics/Geometry.h"
#include "platform/runtime/Object.h"

namespace ui {

class Image;

// The top of the stack, made now if it was waiting for first use; null when
// the stack is empty.
cg::BitmapContext* graphicsGetCurrentContext();
void graphicsPushContext(std::shared_ptr<cg::BitmapContext> context);
void graphicsPopContext();

// An image context of `size` points; a scale of 0 means the main screen's.
// Ends with graphicsEndImageContext(); nothing is pushed for an empty size.
void graphicsBeginImageContext(cg::Size size, bool opaque = false, double scale = 0);
// A snapshot of the innermost image context; nil when none is open.
ns::Ref<Image> graphicsGetImageFromCurrentImageContext();
void graphicsEndImageContext();

// The image's drawInRect: its pixels fill `rect` in the current context,
// turned upright by the image's orientation, drawn in `mode` at `alpha`.
// Nothing without a current context or pixels.
void imageDrawInRect(const Image& image, const cg::Rect& rect, cg::BlendMode mode = cg::BlendMode::Normal,
                     double alpha = 1);

namespace detail {
// Pushes a slot that makes its context on first use: `size` points at
// `scale`, with the CTM moved so that `origin` is the top-left corner.
void pushLazyContext(cg::Size size, double scale, cg::Point origin);
// Pops it, returning the context when one was made.
std::shared_ptr<cg::BitmapContext> popLazyContext();
}  // namespace detail

}  // namespace ui
