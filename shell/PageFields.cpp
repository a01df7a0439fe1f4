#include "shell/PageFields.h"

#include <utility>
#include <vector>

#include "net/JKCodec.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Text.h"

namespace shell {

namespace {

constexpr const char* AbsentText = "(null)";

// Written as the platform's pretty-printed JSON, so the facade reads the keys
// in the order they were put in.
ns::Ref<ns::String> prettyText(const std::vector<std::pair<const char*, ns::Id>>& entries) {
    auto object = ns::MutableDictionary::make();
    for (const auto& [key, value] : entries) {
        // A nil value ends the object, as a nil-terminated list of values
        // and keys does.
        if (!value) break;
        object->setObjectForKey(value, key);
    }
    auto data = ns::JSONSerialization::dataWithJSONObject(object, ns::JSONWritingPrettyPrinted);
    return ns::String::withData(data, ns::StringEncoding::UTF8);
}

}  // namespace

bool parsePageMessage(const ns::Id& body, PageMessage& message) {
    message = {};
    ns::String text(ns::textOf(body));
    auto parsed = ns::cast<ns::Dictionary>(JKCodec::objectFromJSONStringWithParseOptions(text, JKParseFlagLooseUnicode));
    if (!parsed) return false;
    if (auto action = parsed->objectForKey("action"); action && !ns::cast<ns::Null>(action)) {
        if (!ns::cast<ns::Array>(action) && !ns::cast<ns::Dictionary>(action)) {
            message.action = ns::String::make(ns::textOf(action));
        }
    }
    message.data = ns::cast<ns::Dictionary>(parsed->objectForKey("data"));
    return true;
}

ns::Id fieldValue(const ns::Dictionary* data, std::string_view key) {
    if (!data) return nullptr;
    ns::Id value = data->objectForKey(key);
    if (ns::cast<ns::Array>(value) || ns::cast<ns::Dictionary>(value)) return nullptr;
    return value;
}

ns::Ref<ns::String> fieldText(const ns::Dictionary* data, std::string_view key) {
    return ns::String::make(ns::textOf(fieldValue(data, key)));
}

bool isFilledField(const ns::Id& value) {
    if (!value || ns::cast<ns::Null>(value)) return false;
    std::string text = ns::textOf(value);
    return !text.empty() && text != AbsentText;
}

bool rolePassesCheck(bool pageFinished, const ns::Dictionary* data) {
    if (!pageFinished) return false;
    for (const char* key : {"role_id", "service_id", "service_name", "role_name"}) {
        if (!isFilledField(fieldValue(data, key))) return false;
    }
    return true;
}

ns::Ref<ns::String> orderText(const ns::Dictionary* data, const ns::Ref<ns::String>& superUserId) {
    auto field = [data](const char* key) -> ns::Id { return fieldText(data, key); };
    return prettyText({
        {"good_id", field("good_id")},
        {"good_name", field("good_name")},
        {"game_order_sn", field("game_order_sn")},
        {"role_level", field("role_level")},
        {"super_user_id", superUserId},
        {"money", field("money")},
        {"service_id", field("service_id")},
        {"service_name", field("service_name")},
        {"role_id", field("role_id")},
        {"role_name", field("role_name")},
        {"remark", field("remark")},
    });
}

ns::Ref<ns::String> roleText(const ns::Dictionary* data, const ns::Ref<ns::String>& superUserId) {
    auto field = [data](const char* key) -> ns::Id { return fieldText(data, key); };
    return prettyText({
        {"super_user_id", superUserId},
        {"service_id", field("service_id")},
        {"service_name", field("service_name")},
        {"role_id", field("role_id")},
        {"role_name", field("role_name")},
        {"role_level", field("role_level")},
        {"power_value", field("power_value")},
        {"describe", ns::String::make("")},
        {"money", ns::String::make("金币")},
        {"experience", ns::String::make("")},
    });
}

std::string bodyLogText(const ns::Id& body, size_t limit) {
    std::string text = body ? body->description() : std::string("(null)");
    if (text.size() <= limit) return text;
    size_t cut = limit;
    // Back off continuation bytes (10xxxxxx) to the start of the character
    // the limit falls in.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return text.substr(0, cut) + "… (" + std::to_string(text.size()) + " bytes)";
}

}  // namespace shell
