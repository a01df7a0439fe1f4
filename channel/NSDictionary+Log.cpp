#include "channel/NSDictionary+Log.h"

#include "platform/foundation/Text.h"

namespace TVLog {

namespace {

std::string withoutLastComma(std::string text) {
    if (auto comma = text.rfind(','); comma != std::string::npos) text.erase(comma, 1);
    return text;
}

}  // namespace

std::string dictionaryDescription(const ns::Dictionary& dictionary) {
    std::string text = "{\n";
    dictionary.enumerateKeysAndObjectsUsingBlock([&text](const ns::Id& key, const ns::Id& value, bool&) {
        text += "\t" + ns::textOf(key) + " : " + ns::textOf(value) + ",\n";
    });
    return withoutLastComma(text + "}");
}

std::string arrayDescription(const ns::Array& array) {
    std::string text = "[\n";
    for (uint64_t i = 0; i < array.count(); ++i) text += "\t" + ns::textOf(array.objectAtIndex(i)) + ",\n";
    return withoutLastComma(text + "]");
}

void install() {
    ns::setCollectionDescriptions(arrayDescription, dictionaryDescription);
}

namespace {
[[maybe_unused]] const bool installed = (install(), true);
}  // namespace

}  // namespace TVLog
