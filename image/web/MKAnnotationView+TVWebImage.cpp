#include "image/web/MKAnnotationView+TVWebImage.h"

_TVWebImageSlot _TVWebImageImageSlot(ui::AnnotationView& view) {
    std::weak_ptr<ui::AnnotationView> weak = view.ref<ui::AnnotationView>();
    _TVWebImageSlot slot = _TVWebImageImageSlotOf(weak);
    slot.set = [weak](const ns::Ref<ui::Image>& image) {
        if (auto held = weak.lock()) held->setImage(image);
    };
    slot.fades = [weak] {
        auto held = weak.lock();
        return held && !held->isHighlighted();
    };
    slot.layer = [weak]() -> ns::Ref<ui::Layer> {
        auto held = weak.lock();
        return held ? held->layer() : nullptr;
    };
    return slot;
}
