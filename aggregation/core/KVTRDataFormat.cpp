#include "aggregation/core/KVTRDataFormat.h"

#include <cstdlib>
#include <string>

#include "platform/foundation/Array.h"
#include "platform/foundation/CharacterSet.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/Log.h"
#include "platform/security/Digest.h"
#include "platform/security/Hex.h"
#include "platform/security/Random.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Device.h"
#include "platform/uikit/Window.h"

bool KVTRDataFormat::isBlankDictionary(const ns::Id& object) {
    auto dictionary = ns::cast<ns::Dictionary>(object);
    return !dictionary || dictionary->count() == 0;
}

bool KVTRDataFormat::isBlankArr(const ns::Id& object) {
    auto array = ns::cast<ns::Array>(object);
    return !array || array->count() == 0;
}

bool KVTRDataFormat::isBlankString(const ns::Id& object) {
    auto text = ns::cast<ns::String>(object);
    if (!text) return true;
    if (text->utf8().empty() || text->isEqualToString("NULL") || text->isEqualToString("(null)")) return true;
    return text->stringByTrimmingWhitespaceAndNewlines()->utf8().empty();
}

bool KVTRDataFormat::isBangsScreen() {
    const std::string version = ui::Device::currentDevice()->systemVersion();
    if (std::atoi(version.c_str()) < 11) return false;
    auto windows = ui::Application::sharedApplication()->windows();
    if (windows.empty()) return false;
    return windows.front()->safeAreaInsets().bottom > 0;
}

ns::Id KVTRDataFormat::dictionaryWithJsonString(const ns::Ref<ns::String>& jsonString) {
    if (!jsonString) return nullptr;
    auto data = ns::Data::withBytes(jsonString->utf8());
    ns::Ref<ns::Error> error;
    ns::Id parsed = ns::JSONSerialization::JSONObjectWithData(data, ns::JSONReadingMutableContainers, &error);
    if (error) {
        ns::log("json解析失败：%@", error);
        return nullptr;
    }
    return parsed;
}

ns::Ref<ns::String> KVTRDataFormat::KVTRMD5GetRandomStr() {
    // The modulo keeps the historic (slightly uneven) draw the servers expect:
    // only the five-digit width matters to them.
    const uint32_t draw = sec::Random::next32() % 90000 + 10000;
    return ns::String::make(std::to_string(draw));
}

ns::Ref<ns::String> KVTRDataFormat::KVTRMD5WithNSString(std::string_view text) {
    // The bytes are read as a C string, so an embedded zero ends them.
    const std::string_view bytes = text.substr(0, text.find('\0'));
    return ns::String::make(sec::hexLower(sec::md5(bytes)));
}
