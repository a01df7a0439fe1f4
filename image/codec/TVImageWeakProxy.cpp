#include "image/codec/TVImageWeakProxy.h"

RT_DEFINE_CLASS(_TVImageWeakProxy, ns::Object, "_TVImageWeakProxy")

bool _TVImageWeakProxy::isEqual(const ns::Object* other) const {
    auto target = target_.lock();
    return target ? target->isEqual(other) : other == this;
}

uint64_t _TVImageWeakProxy::hash() const {
    auto target = target_.lock();
    return target ? target->hash() : 0;
}

std::string _TVImageWeakProxy::description() const {
    auto target = target_.lock();
    return target ? target->description() : std::string();
}
