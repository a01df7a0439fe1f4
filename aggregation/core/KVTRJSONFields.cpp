#include "aggregation/core/KVTRJSONFields.h"

#include <algorithm>
#include <string>

#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/Text.h"

namespace kvtr {

ns::Ref<ns::Dictionary> dictionaryField(const ns::Id& container, std::string_view key) {
    auto dictionary = ns::cast<ns::Dictionary>(container);
    if (!dictionary) return nullptr;
    return ns::cast<ns::Dictionary>(dictionary->objectForKey(key));
}

ns::Id scalarField(const ns::Id& container, std::string_view key) {
    auto dictionary = ns::cast<ns::Dictionary>(container);
    if (!dictionary) return nullptr;
    ns::Id value = dictionary->objectForKey(key);
    if (ns::cast<ns::String>(value) || ns::cast<ns::Null>(value)) return value;
    if (auto number = ns::cast<ns::Number>(value); number && !number->isBoolean()) return value;
    return nullptr;
}

ns::Ref<ns::String> textField(const ns::Id& container, std::string_view key) {
    return ns::String::make(ns::textOf(scalarField(container, key)));
}

bool isMissing(const ns::Id& value) {
    if (!value || ns::cast<ns::Null>(value)) return true;
    std::string text = ns::textOf(value);
    return text.empty() || text == "(null)";
}

double doubleValue(const ns::Id& value) {
    if (auto number = ns::cast<ns::Number>(value)) return number->doubleValue();
    if (auto string = ns::cast<ns::String>(value)) return string->doubleValue();
    return 0;
}

ns::Ref<ns::String> removingSpaces(const ns::Ref<ns::String>& text) {
    if (!text) return nullptr;
    std::string stripped = text->utf8();
    stripped.erase(std::remove(stripped.begin(), stripped.end(), ' '), stripped.end());
    return ns::String::make(std::move(stripped));
}

ns::Ref<ns::String> text(std::string_view utf8) { return ns::String::make(std::string(utf8)); }

ns::Ref<ns::String> refusalMessage(const ns::Id& reply) {
    ns::Id msg = scalarField(reply, "msg");
    if (isMissing(msg)) return text("服务器异常！");
    return ns::String::make(ns::textOf(msg));
}

}  // namespace kvtr
