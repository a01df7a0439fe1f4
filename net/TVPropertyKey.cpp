#include "net/TVPropertyKey.h"

#include "net/ModelKeyValuesSupport.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"

RT_DEFINE_CLASS(TVPropertyKey, ns::Object, "TVPropertyKey")

TVPropertyKey::TVPropertyKey(std::string name, TVPropertyKeyType type)
    : name_(ns::String::make(std::move(name))), type_(type), index_(name_->longLongValue()) {}

ns::Id TVPropertyKey::valueInObject(const ns::Object* object) const {
    if (!object) return nullptr;
    if (type_ == TVPropertyKeyType::Dictionary) {
        if (auto* dictionary = tv::detail::kindOf<ns::Dictionary>(object)) return dictionary->objectForKey(name_.get());
        return nullptr;
    }
    if (auto* array = tv::detail::kindOf<ns::Array>(object)) {
        if (index_ >= 0 && uint64_t(index_) < array->count()) return array->objectAtIndex(uint64_t(index_));
    }
    return nullptr;
}

std::string TVPropertyKey::description() const {
    return type_ == TVPropertyKeyType::Array ? "[" + name_->utf8() + "]" : name_->utf8();
}
