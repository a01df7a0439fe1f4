#include "platform/uikit/GraphicsContext.h"

#include <cmath>
#include <numbers>
#include <vector>

#include "platform/uikit/Image.h"
#include "platform/uikit/Screen.h"

namespace ui {

namespace {

struct Slot {
    std::shared_ptr<cg::BitmapContext> context;
    bool lazy = false;
    bool imageContext = false;
    cg::Size size;
    double scale = 1;
    cg::Point origin;
};

// One stack per thread: views draw on the main thread, image contexts may
// be opened on any (blurs and resizes run on queues).
std::vector<Slot>& stack() {
    thread_local std::vector<Slot> slots;
    return slots;
}

}  // namespace

cg::BitmapContext* graphicsGetCurrentContext() {
    auto& slots = stack();
    if (slots.empty()) return nullptr;
    Slot& top = slots.back();
    if (!top.context && top.lazy) {
        top.context = cg::BitmapContext::create(top.size, top.scale, false);
        if (top.context) top.context->translateCTM(-top.origin.x, -top.origin.y);
        top.lazy = false;
    }
    return top.context.get();
}

void graphicsPushContext(std::shared_ptr<cg::BitmapContext> context) {
    Slot slot;
    slot.context = std::move(context);
    stack().push_back(std::move(slot));
}

void graphicsPopContext() {
    if (!stack().empty()) stack().pop_back();
}

void graphicsBeginImageContext(cg::Size size, bool opaque, double scale) {
    if (scale <= 0) scale = Screen::mainScreen()->scale();
    auto context = cg::BitmapContext::create(size, scale, opaque);
    if (!context) return;
    Slot slot;
    slot.context = std::move(context);
    slot.imageContext = true;
    stack().push_back(std::move(slot));
}

ns::Ref<Image> graphicsGetImageFromCurrentImageContext() {
    auto& slots = stack();
    for (auto it = slots.rbegin(); it != slots.rend(); ++it) {
        if (it->imageContext) return Image::imageWithCGImage(it->context->makeImage(), it->context->scale());
    }
    return nullptr;
}

void graphicsEndImageContext() {
    auto& slots = stack();
    for (auto it = slots.rbegin(); it != slots.rend(); ++it) {
        if (it->imageContext) {
            slots.erase(std::next(it).base());
            return;
        }
    }
}

void imageDrawInRect(const Image& image, const cg::Rect& rect, cg::BlendMode mode, double alpha) {
    cg::BitmapContext* context = graphicsGetCurrentContext();
    if (!context || !image.cgImage()) return;
    context->saveGState();
    context->setBlendMode(mode);
    context->setAlpha(alpha);
    cg::Rect r = rect.standardized();
    // Into the rect's centre; mirror, then turn (a growing angle turns
    // clockwise in this y-down space); the pixels drawn about the centre.
    context->translateCTM(r.origin.x + r.size.width / 2, r.origin.y + r.size.height / 2);
    double turn = 0;
    bool mirrored = false;
    switch (image.imageOrientation()) {
    case ImageOrientation::Up: break;
    case ImageOrientation::Down: turn = std::numbers::pi; break;
    case ImageOrientation::Left: turn = -std::numbers::pi / 2; break;
    case ImageOrientation::Right: turn = std::numbers::pi / 2; break;
    case ImageOrientation::UpMirrored: mirrored = true; break;
    case ImageOrientation::DownMirrored: turn = std::numbers::pi, mirrored = true; break;
    case ImageOrientation::LeftMirrored: turn = -std::numbers::pi / 2, mirrored = true; break;
    case ImageOrientation::RightMirrored: turn = std::numbers::pi / 2, mirrored = true; break;
    }
    if (mirrored) context->scaleCTM(-1, 1);
    if (turn != 0) context->rotateCTM(turn);
    bool sideways = std::fabs(std::fabs(turn) - std::numbers::pi / 2) < 1e-9;
    double w = sideways ? r.size.height : r.size.width;
    double h = sideways ? r.size.width : r.size.height;
    context->drawImage(*image.cgImage(), {-w / 2, -h / 2, w, h});
    context->restoreGState();
}

namespace detail {

void pushLazyContext(cg::Size size, double scale, cg::Point origin) {
    Slot slot;
    slot.lazy = true;
    slot.size = size;
    slot.scale = scale;
    slot.origin = origin;
    stack().push_back(std::move(slot));
}

std::shared_ptr<cg::BitmapContext> popLazyContext() {
    auto& slots = stack();
    if (slots.empty()) return nullptr;
    auto context = std::move(slots.back().context);
    slots.pop_back();
    return context;
}

}  // namespace detail

}  // namespace ui
