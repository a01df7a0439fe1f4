#pragma once
// The abstract keyed collection. Keys compare by isEqual and hash. A concrete
// class implements count, objectForKey and countByEnumerating (over the keys);
// getObjectsAndKeys and keyEnumerator have defaults built on those. The
// platform's own dictionaries keep insertion order, so output is
// deterministic. A subclass that overrides one of several overloads adds
// `using Dictionary::name;` to keep the others visible.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "platform/foundation/Enumeration.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

class Array;

class Dictionary : public Object, public FastEnumeration {
    RT_DECLARE_CLASS(Dictionary)
public:
    // One key and its object, for building dictionaries; a text key becomes
    // a String.
    struct Entry {
        Entry(Id key, Id value) : key(std::move(key)), value(std::move(value)) {}
        Entry(std::string_view key, Id value);
        Entry(std::nullptr_t, Id value) : value(std::move(value)) {}
        Id key;
        Id value;
    };

    // The platform's immutable dictionary. Keys are copied; a nil key or
    // object raises NSInvalidArgumentException; a repeated key keeps its
    // first place and its last object.
    static Ref<Dictionary> make(std::initializer_list<Entry> entries);
    static Ref<Dictionary> make(const std::vector<Entry>& entries);

    // ---- Primitives (countByEnumerating hands out the keys) ----
    virtual uint64_t count() const = 0;
    virtual Id objectForKey(const Object* key) const = 0;
    // Fills either array (nil skips it) with count() objects and their keys,
    // in enumeration order.
    virtual void getObjectsAndKeys(Id* objects, Id* keys) const;
    virtual Ref<Enumerator> keyEnumerator() const;

    // ---- Built on the primitives ----
    Id objectForKey(const Id& key) const { return objectForKey(key.get()); }
    Id objectForKey(std::string_view key) const;
    Ref<Array> allKeys() const;
    Ref<Array> allValues() const;
    Ref<Array> keysSortedByValueUsingComparator(const Comparator& comparator) const;
    void enumerateKeysAndObjectsUsingBlock(const std::function<void(const Id& key, const Id& object, bool& stop)>& block) const;
    bool isEqualToDictionary(const Dictionary& other) const;

    // Range-for walks the keys.
    FastEnumerationIterator begin() const { return FastEnumerationIterator(*this, *this); }
    FastEnumerationEnd end() const { return {}; }

    std::string description() const override;
    // The platform's: the count.
    uint64_t hash() const override { return count(); }
    using Object::isEqual;
    bool isEqual(const Object* other) const override;
    // An immutable platform dictionary of the same entries.
    Id copy() const override;
    Id mutableCopy() const override;
};

}  // namespace ns
