#include "image/TVImageContext.h"

#include "platform/uikit/GraphicsContext.h"

ns::Ref<ui::Image> TVDrawInImageContext(cg::Size size, bool opaque, double scale,
                                        const std::function<void(cg::BitmapContext&)>& draw) {
    cg::BitmapContext* outer = ui::graphicsGetCurrentContext();
    ui::graphicsBeginImageContext(size, opaque, scale);
    cg::BitmapContext* context = ui::graphicsGetCurrentContext();
    // Nothing pushed: the current context, if any, is the caller's.
    if (!context || context == outer) return nullptr;
    draw(*context);
    auto image = ui::graphicsGetImageFromCurrentImageContext();
    ui::graphicsEndImageContext();
    return image;
}
