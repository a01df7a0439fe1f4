#pragma once
// Unordered collections of distinct objects (by isEqual and hash). The
// platform's own sets keep insertion order, so output is deterministic.

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "platform/foundation/Enumeration.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

class Array;

class Set : public Object, public FastEnumeration {
    RT_DECLARE_CLASS(Set)
public:
    // The platform's immutable set; a nil object raises
    // NSInvalidArgumentException, repeats collapse into the first.
    static Ref<Set> make(std::initializer_list<Id> objects);
    static Ref<Set> make(const std::vector<Id>& objects);

    // ---- Primitives (countByEnumerating hands out the members) ----
    virtual uint64_t count() const = 0;
    // The member equal to the object, or nil.
    virtual Id member(const Object* object) const = 0;

    // ---- Built on the primitives ----
    bool containsObject(const Object* object) const { return member(object) != nullptr; }
    bool containsObject(const Id& object) const { return containsObject(object.get()); }
    Id anyObject() const;
    Ref<Array> allObjects() const;
    bool isEqualToSet(const Set& other) const;

    FastEnumerationIterator begin() const { return FastEnumerationIterator(*this, *this); }
    FastEnumerationEnd end() const { return {}; }

    std::string description() const override;
    uint64_t hash() const override { return count(); }
    using Object::isEqual;
    bool isEqual(const Object* other) const override;
    Id copy() const override;
    Id mutableCopy() const override;
};

class MutableSet : public Set {
    RT_DECLARE_CLASS(MutableSet)
public:
    static Ref<MutableSet> make();
    static Ref<MutableSet> make(std::initializer_list<Id> objects);

    // ---- Primitives ----
    // Adding a member already present changes nothing; nil raises.
    virtual void addObject(const Id& object) = 0;
    virtual void removeObject(const Object* object) = 0;

    // ---- Built on the primitives ----
    void removeObject(const Id& object) { removeObject(object.get()); }
    virtual void removeAllObjects();
    void addObjectsFromArray(const Array& array);
};

}  // namespace ns
