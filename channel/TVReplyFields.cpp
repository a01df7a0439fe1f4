#include "channel/TVReplyFields.h"

#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/Text.h"

namespace TVReply {

ns::Id field(const ns::Id& reply, std::string_view key) {
    auto dictionary = ns::cast<ns::Dictionary>(reply);
    return dictionary ? dictionary->objectForKey(key) : nullptr;
}

std::string textOf(const ns::Id& reply, std::string_view key) {
    return ns::textOf(field(reply, key));
}

ns::Ref<ns::String> messageOf(const ns::Id& reply, std::string_view key) {
    return messageText(field(reply, key));
}

ns::Ref<ns::String> messageText(const ns::Id& value) {
    if (auto text = ns::cast<ns::String>(value)) return text;
    if (auto number = ns::cast<ns::Number>(value)) return ns::str(ns::textOf(number));
    return nullptr;
}

int64_t integerOf(const ns::Id& reply, std::string_view key) {
    ns::Id value = field(reply, key);
    if (auto text = ns::cast<ns::String>(value)) return text->integerValue();
    if (auto number = ns::cast<ns::Number>(value)) return number->longLongValue();
    return 0;
}

bool boolOf(const ns::Id& reply, std::string_view key) {
    ns::Id value = field(reply, key);
    if (auto text = ns::cast<ns::String>(value)) return text->boolValue();
    if (auto number = ns::cast<ns::Number>(value)) return number->boolValue();
    return false;
}

}  // namespace TVReply
