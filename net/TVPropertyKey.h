#pragma once
// One step of a key path: a dictionary key, or an index into an array.

#include <cstdint>
#include <string>

#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

enum class TVPropertyKeyType : int32_t {
    Dictionary = 0,
    Array = 1,
};

class TVPropertyKey : public ns::Object {
    RT_DECLARE_CLASS(TVPropertyKey)
public:
    TVPropertyKey() = default;
    TVPropertyKey(std::string name, TVPropertyKeyType type);
    static ns::Ref<TVPropertyKey> make(std::string name, TVPropertyKeyType type = TVPropertyKeyType::Dictionary) {
        return std::make_shared<TVPropertyKey>(std::move(name), type);
    }

    // The dictionary key, or the decimal text of the index.
    const ns::Ref<ns::String>& name() const { return name_; }
    TVPropertyKeyType type() const { return type_; }
    // The index an array step stands for: the name read as a C integer
    // (leading white space, a sign, digits; 0 when there are none).
    int64_t index() const { return index_; }

    // A dictionary's value under the name for a dictionary step, an array's
    // element at the index for an array step (nil beyond the end and for a
    // negative index); nil for every other combination.
    ns::Id valueInObject(const ns::Object* object) const;
    ns::Id valueInObject(const ns::Id& object) const { return valueInObject(object.get()); }

    std::string description() const override;

private:
    ns::Ref<ns::String> name_ = ns::String::make("");
    TVPropertyKeyType type_ = TVPropertyKeyType::Dictionary;
    int64_t index_ = 0;
};
