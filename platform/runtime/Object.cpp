#include "platform/runtime/Object.h"

#include <cstdio>

#include "platform/runtime/AssociatedValues.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Exception.h"

namespace ns {

Object::~Object() {
    if (flags_.load(std::memory_order_relaxed) & HasAssociatedValues) rt::associated::erase(this);
}

const rt::Class* Object::staticClass() {
    static const rt::Class* cls =
        rt::registerClass(std::make_unique<rt::Class>("NSObject", nullptr, rt::factoryOf<Object>(), std::vector<rt::Property>{}));
    return cls;
}

const rt::Class* Object::classObject() const { return staticClass(); }

namespace {
[[maybe_unused]] const rt::Class* const rootRegistrar = Object::staticClass();
}

const std::string& Object::className() const { return classObject()->name(); }

bool Object::isKindOf(const rt::Class* cls) const { return cls && classObject()->isSubclassOf(cls); }

bool Object::isKindOf(std::string_view name) const { return isKindOf(rt::classNamed(name)); }

bool Object::isMemberOf(const rt::Class* cls) const { return classObject() == cls; }

std::string Object::description() const {
    char buf[64];
    std::snprintf(buf, sizeof buf, ": %p>", static_cast<const void*>(this));
    return "<" + className() + buf;
}

uint64_t Object::hash() const { return reinterpret_cast<uintptr_t>(this); }

bool Object::isEqual(const Object* other) const { return other == this; }

Id Object::copy() const {
    Exception::raise(InvalidArgumentException,
                     "-[" + className() + " copyWithZone:]: unrecognized selector sent to instance");
}

Id Object::mutableCopy() const {
    Exception::raise(InvalidArgumentException,
                     "-[" + className() + " mutableCopyWithZone:]: unrecognized selector sent to instance");
}

void Object::setAssociated(const void* key, std::any value) {
    if (!value.has_value() && !(flags_.load(std::memory_order_relaxed) & HasAssociatedValues)) return;
    flags_.fetch_or(HasAssociatedValues, std::memory_order_relaxed);
    rt::associated::set(this, key, std::move(value));
}

std::any Object::associated(const void* key) const {
    if (!(flags_.load(std::memory_order_relaxed) & HasAssociatedValues)) return {};
    return rt::associated::get(this, key);
}

bool equal(const Object* a, const Object* b) {
    if (a == b) return true;
    if (!a || !b) return false;
    return a->isEqual(b);
}

}  // namespace ns
