#include "platform/foundation/Array.h"

#include <algorithm>

#include "platform/foundation/CollectionDescription.h"
#include "platform/foundation/MutableArray.h"
#include "platform/foundation/String.h"
#include "platform/foundation/Text.h"
#include "platform/runtime/Exception.h"

namespace ns {

RT_DEFINE_CLASS(Array, Object, "NSArray")

namespace {

// The platform's immutable array: a plain vector fixed at creation.
class ImmutableArray : public Array {
    RT_DECLARE_CLASS(ImmutableArray)
public:
    ImmutableArray() = default;
    explicit ImmutableArray(std::vector<Id> objects) : objects_(std::move(objects)) {}

    uint64_t count() const override { return objects_.size(); }

    Id objectAtIndex(uint64_t index) const override {
        if (index >= objects_.size()) raiseIndexBeyondBounds("objectAtIndex:", index, objects_.size());
        return objects_[index];
    }

    void getObjects(Id* objects, Range range) const override {
        if (!rangeFits(range, objects_.size())) raiseRangeBeyondBounds("getObjects:range:", range, objects_.size());
        std::copy_n(objects_.begin() + range.location, range.length, objects);
    }

    // Never changes, so the items are handed out in place, all at once.
    uint64_t countByEnumerating(FastEnumerationState& state, Id*, uint64_t) const override {
        static const uint64_t noMutations = 0;
        if (state.state >= objects_.size()) return 0;
        state.mutationsPtr = &noMutations;
        state.itemsPtr = objects_.data() + state.state;
        uint64_t n = objects_.size() - state.state;
        state.state = objects_.size();
        return n;
    }

    Id copy() const override { return self(); }

private:
    std::vector<Id> objects_;
};

}  // namespace

RT_DEFINE_CLASS(ImmutableArray, Array, "__NSArrayI")

Ref<Array> Array::make(std::initializer_list<Id> objects) { return make(std::vector<Id>(objects)); }

void Array::checkNoNilObjects(const std::vector<Id>& objects) {
    for (size_t i = 0; i < objects.size(); ++i) {
        if (!objects[i]) {
            Exception::raise(InvalidArgumentException,
                             "*** -[__NSPlaceholderArray initWithObjects:count:]: attempt to insert nil object from objects[" +
                                 std::to_string(i) + "]");
        }
    }
}

Ref<Array> Array::make(std::vector<Id> objects) {
    checkNoNilObjects(objects);
    return std::make_shared<ImmutableArray>(std::move(objects));
}

void Array::getObjects(Id* objects, Range range) const {
    uint64_t n = count();
    if (!rangeFits(range, n)) raiseRangeBeyondBounds("getObjects:range:", range, n);
    for (uint64_t i = 0; i < range.length; ++i) objects[i] = objectAtIndex(range.location + i);
}

uint64_t Array::countByEnumerating(FastEnumerationState& state, Id* buffer, uint64_t len) const {
    uint64_t total = count();
    if (state.state == 0) state.mutationsPtr = &state.extra[0];
    if (state.state >= total || len == 0) return 0;
    uint64_t n = std::min(len, total - state.state);
    getObjects(buffer, Range{state.state, n});
    state.itemsPtr = buffer;
    state.state += n;
    return n;
}

Id Array::firstObject() const { return count() ? objectAtIndex(0) : nullptr; }

Id Array::lastObject() const {
    uint64_t n = count();
    return n ? objectAtIndex(n - 1) : nullptr;
}

uint64_t Array::indexOfObject(const Object* object) const {
    if (!object) return NotFound;
    uint64_t index = 0;
    for (const Id& element : *this) {
        if (element.get() == object || object->isEqual(element.get())) return index;
        ++index;
    }
    return NotFound;
}

Ref<String> Array::componentsJoinedByString(std::string_view separator) const {
    std::string joined;
    bool first = true;
    for (const Id& element : *this) {
        if (!first) joined += separator;
        first = false;
        joined += textOf(element);
    }
    return String::make(std::move(joined));
}

Ref<Array> Array::sortedArrayUsingComparator(const Comparator& comparator) const {
    std::vector<Id> objects(count());
    getObjects(objects.data(), Range{0, objects.size()});
    std::stable_sort(objects.begin(), objects.end(),
                     [&](const Id& a, const Id& b) { return comparator(a, b) == ComparisonResult::Ascending; });
    return make(std::move(objects));
}

Ref<Array> Array::subarrayWithRange(Range range) const {
    uint64_t n = count();
    if (!rangeFits(range, n)) raiseRangeBeyondBounds("subarrayWithRange:", range, n);
    std::vector<Id> objects(range.length);
    getObjects(objects.data(), range);
    return make(std::move(objects));
}

void Array::enumerateObjectsUsingBlock(const std::function<void(const Id&, uint64_t, bool&)>& block) const {
    bool stop = false;
    uint64_t index = 0;
    for (const Id& element : *this) {
        block(element, index++, stop);
        if (stop) break;
    }
}

Ref<Enumerator> Array::objectEnumerator() const { return Enumerator::over(weak_from_this().lock(), *this); }

bool Array::isEqualToArray(const Array& other) const {
    if (&other == this) return true;
    uint64_t n = count();
    if (other.count() != n) return false;
    for (uint64_t i = 0; i < n; ++i) {
        if (!equal(objectAtIndex(i), other.objectAtIndex(i))) return false;
    }
    return true;
}

bool Array::isEqual(const Object* other) const {
    auto* array = dynamic_cast<const Array*>(other);
    return array && isEqualToArray(*array);
}

std::string Array::description() const { return collectionDescription(*this, 0); }

Id Array::copy() const {
    std::vector<Id> objects(count());
    getObjects(objects.data(), Range{0, objects.size()});
    return std::make_shared<ImmutableArray>(std::move(objects));
}

Id Array::mutableCopy() const {
    std::vector<Id> objects(count());
    getObjects(objects.data(), Range{0, objects.size()});
    return MutableArray::make(std::move(objects));
}

void Array::raiseIndexBeyondBounds(const char* selector, uint64_t index, uint64_t count) const {
    Exception::raise(RangeException, "*** -[" + className() + " " + selector + "]: index " + std::to_string(index) +
                                         " beyond bounds " + boundsText(count));
}

void Array::raiseRangeBeyondBounds(const char* selector, Range range, uint64_t count) const {
    Exception::raise(RangeException, "*** -[" + className() + " " + selector + "]: range {" +
                                         std::to_string(range.location) + ", " + std::to_string(range.length) +
                                         "} extends beyond bounds " + boundsText(count));
}

}  // namespace ns
