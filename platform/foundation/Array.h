#pragma once
// The abstract ordered collection. A concrete class implements the primitives
// (count, objectAtIndex and, for speed, getObjects and countByEnumerating);
// everything else is built on them here. A subclass that overrides one of
// several overloads adds `using Array::name;` to keep the others visible.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "platform/foundation/Enumeration.h"
#include "platform/foundation/Range.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

class String;

class Array : public Object, public FastEnumeration {
    RT_DECLARE_CLASS(Array)
public:
    // The platform's immutable array; a nil element raises
    // NSInvalidArgumentException.
    static Ref<Array> make(std::initializer_list<Id> objects);
    static Ref<Array> make(std::vector<Id> objects);

    // ---- Primitives ----
    virtual uint64_t count() const = 0;
    // An index beyond the end raises NSRangeException.
    virtual Id objectAtIndex(uint64_t index) const = 0;
    // Copies the range's elements into `objects`; a range beyond the end
    // raises NSRangeException.
    virtual void getObjects(Id* objects, Range range) const;
    uint64_t countByEnumerating(FastEnumerationState& state, Id* buffer, uint64_t len) const override;

    // ---- Built on the primitives ----
    Id firstObject() const;
    Id lastObject() const;
    bool containsObject(const Object* object) const { return indexOfObject(object) != NotFound; }
    bool containsObject(const Id& object) const { return containsObject(object.get()); }
    // The first element equal to the object, or NotFound.
    uint64_t indexOfObject(const Object* object) const;
    uint64_t indexOfObject(const Id& object) const { return indexOfObject(object.get()); }
    // Elements in their text form ("%@"), separated.
    Ref<String> componentsJoinedByString(std::string_view separator) const;
    // Stable: equal elements keep their order.
    Ref<Array> sortedArrayUsingComparator(const Comparator& comparator) const;
    Ref<Array> subarrayWithRange(Range range) const;
    void enumerateObjectsUsingBlock(const std::function<void(const Id& object, uint64_t index, bool& stop)>& block) const;
    Ref<Enumerator> objectEnumerator() const;
    bool isEqualToArray(const Array& other) const;

    FastEnumerationIterator begin() const { return FastEnumerationIterator(*this, *this); }
    FastEnumerationEnd end() const { return {}; }

    std::string description() const override;
    // The platform's: the count.
    uint64_t hash() const override { return count(); }
    using Object::isEqual;
    bool isEqual(const Object* other) const override;
    // An immutable platform array of the same elements.
    Id copy() const override;
    Id mutableCopy() const override;

protected:
    // Raises the platform's exception naming the first nil among `objects`.
    static void checkNoNilObjects(const std::vector<Id>& objects);
    // Raises the platform's NSRangeException for a bad index of `selector`.
    [[noreturn]] void raiseIndexBeyondBounds(const char* selector, uint64_t index, uint64_t count) const;
    [[noreturn]] void raiseRangeBeyondBounds(const char* selector, Range range, uint64_t count) const;
    static bool rangeFits(Range range, uint64_t count) {
        return range.location <= count && range.length <= count - range.location;
    }
};

}  // namespace ns
