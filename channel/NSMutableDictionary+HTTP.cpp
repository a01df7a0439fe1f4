#include "channel/NSMutableDictionary+HTTP.h"

#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"

namespace HTTPFields {

void setObjectForField(ns::MutableDictionary& dictionary, const ns::Id& value, std::string_view key) {
    dictionary.setObjectForKey(value ? value : ns::Id(ns::str("")), key);
}

void setObjectForFKField(ns::MutableDictionary& dictionary, const ns::Id& value, std::string_view key) {
    dictionary.setObjectForKey(value ? value : ns::Id(ns::Null::null()), key);
}

void setObjectForTMField(ns::MutableDictionary& dictionary, const ns::Id& value, std::string_view key) {
    dictionary.setObjectForKey(value ? value : ns::Id(ns::num(0)), key);
}

void setObjectForOPField(ns::MutableDictionary& dictionary, const ns::Id& value, std::string_view key) {
    if (value) dictionary.setObjectForKey(value, key);
}

}  // namespace HTTPFields
