#pragma once
// The abstract mutable ordered collection: a concrete class implements the
// three mutating primitives on top of the Array ones.

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "platform/foundation/Array.h"

namespace ns {

class MutableArray : public Array {
    RT_DECLARE_CLASS(MutableArray)
public:
    static Ref<MutableArray> make();
    static Ref<MutableArray> make(std::initializer_list<Id> objects);
    static Ref<MutableArray> make(std::vector<Id> objects);
    static Ref<MutableArray> arrayWithCapacity(uint64_t capacity);

    // ---- Primitives ----
    // An index up to count is valid (count appends).
    virtual void insertObject(const Id& object, uint64_t index) = 0;
    virtual void removeObjectAtIndex(uint64_t index) = 0;
    virtual void replaceObjectAtIndex(uint64_t index, const Id& object) = 0;

    // ---- Built on the primitives ----
    void addObject(const Id& object) { insertObject(object, count()); }
    // Nothing to remove in an empty array is not an error.
    virtual void removeLastObject();
    virtual void removeAllObjects();
    // Removes every element equal to the object.
    void removeObject(const Object* object);
    void removeObject(const Id& object) { removeObject(object.get()); }
    void addObjectsFromArray(const Array& other);
};

}  // namespace ns
