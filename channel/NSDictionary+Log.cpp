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
    ns::setCollectionDescriptionHook([](const ns::Object& collection, unsigned level) {
        if (auto array = dynamic_cast<const ns::Array*>(&collection)) return arrayDescription(*array);
        if (auto dictionary = dynamic_cast<const ns::Dictionary*>(&collection))
            return dictionaryDescription(*dictionary);
        return ns::platformCollectionDescription(collection, level);
    });
}

namespace {
[[maybe_unused]] const bool installed = (install(), true);
}  // namespace

}  // namespace TVLog
