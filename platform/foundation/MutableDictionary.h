#pragma once
// The abstract mutable keyed collection: a concrete class implements
// setObjectForKey and removeObjectForKey on top of the Dictionary primitives.

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "platform/foundation/Dictionary.h"

namespace ns {

class MutableDictionary : public Dictionary {
    RT_DECLARE_CLASS(MutableDictionary)
public:
    static Ref<MutableDictionary> make();
    static Ref<MutableDictionary> make(std::initializer_list<Entry> entries);
    static Ref<MutableDictionary> dictionaryWithCapacity(uint64_t capacity);

    // ---- Primitives ----
    // Stores a copy of the key (made with copy()), so a mutable key changed
    // afterwards does not move the entry. A nil key or object raises
    // NSInvalidArgumentException.
    virtual void setObjectForKey(const Id& object, const Id& key) = 0;
    // A nil key raises NSInvalidArgumentException; an absent one is ignored.
    virtual void removeObjectForKey(const Object* key) = 0;

    // ---- Built on the primitives ----
    void setObjectForKey(const Id& object, std::string_view key);
    void removeObjectForKey(const Id& key) { removeObjectForKey(key.get()); }
    void removeObjectForKey(std::string_view key);
    // Key-value coding's form: a nil value removes the key.
    void setValueForKey(const Id& value, std::string_view key);
    virtual void removeAllObjects();
    void addEntriesFromDictionary(const Dictionary& other);
};

}  // namespace ns
