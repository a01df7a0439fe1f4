#include "image/web/TVWebImageImageForms.h"

namespace {

const char ImageSetterKey = 0;

}  // namespace

ns::Ref<_TVWebImageSetter> _TVWebImageImageSetter(ns::Object& object, bool make) {
    return _TVWebImageSetterFor(object, &ImageSetterKey, make);
}

_TVWebImageSlot _TVWebImageImageSlotOf(const std::weak_ptr<ns::Object>& object) {
    _TVWebImageSlot slot;
    slot.holder = [object] {
        auto held = object.lock();
        // A view already gone: a holder of its own, which the call supersedes at once.
        return held ? _TVWebImageImageSetter(*held, true) : std::make_shared<_TVWebImageSetter>();
    };
    slot.alive = [object] { return !object.expired(); };
    return slot;
}
