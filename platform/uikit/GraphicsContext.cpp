#include "platform/uikit/GraphicsContext.h"

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
