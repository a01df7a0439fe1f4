#pragma once
// The one table of values associated with objects, keyed by object address
// and then by the caller's address key. Few objects ever carry one, so the
// table lives outside them: an object keeps only a flag saying it has
// entries here, and erases them as it dies, so a later object at the same
// address starts with none.

#include <any>

namespace ns {
class Object;
}

namespace rt::associated {

// Stores `value` under (object, key); an empty value removes the entry.
void set(const ns::Object* object, const void* key, std::any value);
// A copy of the value under (object, key), empty when there is none.
std::any get(const ns::Object* object, const void* key);
// Drops every entry of a dying object.
void erase(const ns::Object* object);

}  // namespace rt::associated
