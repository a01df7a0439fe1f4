#include "aggregation/core/KVTRLogCategories.h"

#include "platform/foundation/Null.h"
#include "platform/foundation/String.h"
#include "platform/foundation/Text.h"

namespace KVTRLog {

std::string arrayDescription(const ns::Array& array) {
    std::string text = "(\n";
    for (uint64_t i = 0; i < array.count(); ++i) {
        text += '\t';
        text += ns::textOf(array.objectAtIndex(i));
        text += ",\n";
    }
    text += ')';
    return text;
}

std::string dictionaryDescription(const ns::Dictionary& dictionary) {
    std::string text = "{\n";
    dictionary.enumerateKeysAndObjectsUsingBlock([&text](const ns::Id& key, const ns::Id& value, bool&) {
        text += '\t';
        text += ns::textOf(key);
        text += " = ";
        text += ns::textOf(value);
        text += ";\n";
    });
    text += "}\n";
    return text;
}

void install() {
    ns::setCollectionDescriptions(arrayDescription, dictionaryDescription);
}

namespace {
// Loading the library changes every collection's log form, as linking the
// categories does on the device.
[[maybe_unused]] const bool installed = (install(), true);
}  // namespace

}  // namespace KVTRLog

namespace KVTRDealNull {

ns::Ref<ns::MutableDictionary> deleteNull(const ns::Dictionary& dictionary) {
    auto cleaned = ns::MutableDictionary::make();
    dictionary.enumerateKeysAndObjectsUsingBlock([&cleaned](const ns::Id& key, const ns::Id& value, bool&) {
        const bool isNull = ns::cast<ns::Null>(value) != nullptr;
        auto text = ns::cast<ns::String>(value);
        if (isNull || (text && text->isEqualToString("(null)"))) {
            cleaned->setObjectForKey(ns::String::make(""), key);
        } else {
            cleaned->setObjectForKey(value, key);
        }
    });
    return cleaned;
}

}  // namespace KVTRDealNull
