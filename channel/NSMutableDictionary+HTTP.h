#pragma once
// How the channel's request dictionaries are filled: a missing value still
// fills its key, so every key a request lists is sent.

#include <string_view>

#include "platform/foundation/MutableDictionary.h"

namespace HTTPFields {

// The empty text for a missing value.
void setObjectForField(ns::MutableDictionary& dictionary, const ns::Id& value, std::string_view key);
// The null object for a missing value.
void setObjectForFKField(ns::MutableDictionary& dictionary, const ns::Id& value, std::string_view key);
// The number 0 for a missing value.
void setObjectForTMField(ns::MutableDictionary& dictionary, const ns::Id& value, std::string_view key);
// Nothing for a missing value.
void setObjectForOPField(ns::MutableDictionary& dictionary, const ns::Id& value, std::string_view key);

}  // namespace HTTPFields
