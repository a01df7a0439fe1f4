#pragma once

#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

// The one null value collections hold where nil cannot go.
class Null : public Object {
    RT_DECLARE_CLASS(Null)
public:
    static const Ref<Null>& null();
    std::string description() const override { return "<null>"; }
    Id copy() const override { return self(); }

    // Every null is the same value, even one made through the class registry.
    uint64_t hash() const override { return 0x6e756c6cull; }
    using Object::isEqual;
    bool isEqual(const Object* other) const override { return dynamic_cast<const Null*>(other) != nullptr; }
};

}  // namespace ns
