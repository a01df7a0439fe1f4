#pragma once
// The "%@" rule: the one text form of any value.

#include <functional>
#include <string>

#include "platform/runtime/Object.h"

namespace ns {

// A text unchanged, a number in decimal ("6" for 6.0), a boolean "1"/"0",
// null "<null>", nil "(null)", anything else its description.
std::string textOf(const Object* value);
inline std::string textOf(const Id& value) { return textOf(value.get()); }

// Collections describe themselves through one replaceable hook, so a library
// may change how every array and dictionary prints in logs. The hook gets the
// collection and the indentation level and returns the text; an empty hook
// restores the platform's own form.
using DescriptionHook = std::function<std::string(const Object& collection, unsigned level)>;
void setCollectionDescriptionHook(DescriptionHook hook);
// A hook that prints arrays and dictionaries in the given forms and every
// other collection in the platform's own.
class Array;
class Dictionary;
void setCollectionDescriptions(std::function<std::string(const Array&)> array,
                               std::function<std::string(const Dictionary&)> dictionary);
// The platform's own description of an array, dictionary or set (used when no
// hook is set, and by hooks that only decorate it).
std::string platformCollectionDescription(const Object& collection, unsigned level);
std::string collectionDescription(const Object& collection, unsigned level);

}  // namespace ns
