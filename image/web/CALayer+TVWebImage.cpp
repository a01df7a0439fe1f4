#include "image/web/CALayer+TVWebImage.h"

_TVWebImageSlot _TVWebImageImageSlot(ui::Layer& layer) {
    std::weak_ptr<ui::Layer> weak = layer.ref<ui::Layer>();
    _TVWebImageSlot slot = _TVWebImageImageSlotOf(weak);
    slot.set = [weak](const ns::Ref<ui::Image>& image) {
        if (auto held = weak.lock()) held->setContents(image ? image->cgImage() : nullptr);
    };
    slot.fades = [] { return true; };
    slot.layer = [weak] { return weak.lock(); };
    return slot;
}
