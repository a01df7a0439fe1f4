#include "aggregation/core/KVTRGoodsModelKeys.h"

#include "platform/foundation/Number.h"
#include "platform/foundation/Text.h"

namespace kvtr_goods {

ns::Ref<ns::String> textValue(const rt::Value& value) {
    const ns::Id* object = std::get_if<ns::Id>(&value);
    if (!object || !*object) return nullptr;
    if (auto text = ns::cast<ns::String>(*object)) return ns::String::make(text->utf8());
    if (ns::cast<ns::Number>(*object)) return ns::String::make(ns::textOf(*object));
    return nullptr;
}

bool ignoreUnknownKeys(const rt::Class* cls) {
    ns::setSetValueForUndefinedKeyHandler(cls, [](ns::Object&, ns::Id, const std::string&) {});
    return true;
}

bool installKeyMapping(const rt::Class* cls, std::string idProperty) {
    ns::setSetValueForUndefinedKeyHandler(cls, [idProperty](ns::Object& object, ns::Id value, const std::string& key) {
        if (key == "id") ns::setValueForKey(object, value, idProperty);
    });
    return true;
}

ns::Ref<ns::Dictionary> categoryIdRename() { return ns::Dictionary::make({{"categoryid", ns::String::make("id")}}); }

void fill(ns::Object& model, const ns::Dictionary& keyedValues) {
    keyedValues.enumerateKeysAndObjectsUsingBlock([&model](const ns::Id& key, const ns::Id& value, bool&) {
        if (auto name = ns::cast<ns::String>(key)) ns::setValueForKey(model, value, name->utf8());
    });
}

}  // namespace kvtr_goods
