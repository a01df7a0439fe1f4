#pragma once
// Key-value coding: reading and writing an object's registered properties by
// name, with scalars boxed into numbers. Dictionaries answer with their
// entries, arrays by mapping over their elements.
//
// Classes customise the misses through class methods registered on their
// rt::Class (found along the superclass chain, so subclasses inherit them):
//   "valueForUndefinedKey:"     ValueForUndefinedKeyHandler
//   "setValue:forUndefinedKey:" SetValueForUndefinedKeyHandler
//   "setNilValueForKey:"        SetNilValueForKeyHandler
// registered with the typed helpers below (the stored type must match
// exactly). Without one, the platform's exception is raised.

#include <functional>
#include <string>
#include <string_view>

#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

using ValueForUndefinedKeyHandler = std::function<Id(const Object& object, const std::string& key)>;
using SetValueForUndefinedKeyHandler = std::function<void(Object& object, Id value, const std::string& key)>;
using SetNilValueForKeyHandler = std::function<void(Object& object, const std::string& key)>;

void setValueForUndefinedKeyHandler(const rt::Class* cls, ValueForUndefinedKeyHandler handler);
void setSetValueForUndefinedKeyHandler(const rt::Class* cls, SetValueForUndefinedKeyHandler handler);
void setSetNilValueForKeyHandler(const rt::Class* cls, SetNilValueForKeyHandler handler);

// The value of a property (scalars as numbers of the property's kind), of a
// dictionary entry, or for an array the array of its elements' values (nil
// ones as Null). A nil object gives nil.
Id valueForKey(const Object& object, std::string_view key);
Id valueForKey(const Id& object, std::string_view key);

// Sets a property. A scalar takes a Number or a text (read as the platform's
// longLongValue / doubleValue / boolValue do); any other value raises
// NSInvalidArgumentException, nil goes to setNilValueForKey. A mutable
// dictionary sets the entry (nil removes it).
void setValueForKey(Object& object, const Id& value, std::string_view key);
void setValueForKey(const Id& object, const Id& value, std::string_view key);

// Dotted paths, one key a step; a nil step ends in nil (or sets nothing).
// Arrays apply the rest of the path to each element.
Id valueForKeyPath(const Object& object, std::string_view keyPath);
Id valueForKeyPath(const Id& object, std::string_view keyPath);
void setValueForKeyPath(Object& object, const Id& value, std::string_view keyPath);
void setValueForKeyPath(const Id& object, const Id& value, std::string_view keyPath);

// The misses, dispatched to the class's handler or raising the platform's
// exception: NSUnknownKeyException for undefined keys,
// NSInvalidArgumentException for nil on a scalar.
Id valueForUndefinedKey(const Object& object, const std::string& key);
void setValueForUndefinedKey(Object& object, const Id& value, const std::string& key);
void setNilValueForKey(Object& object, const std::string& key);

}  // namespace ns
