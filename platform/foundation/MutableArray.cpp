#include "platform/foundation/MutableArray.h"

#include <algorithm>

#include "platform/runtime/Exception.h"

namespace ns {

RT_DEFINE_CLASS(MutableArray, Array, "NSMutableArray")

namespace {

// The platform's mutable array: a vector and a mutation counter for
// enumeration to watch.
class PlatformMutableArray : public MutableArray {
    RT_DECLARE_CLASS(PlatformMutableArray)
public:
    PlatformMutableArray() = default;
    explicit PlatformMutableArray(std::vector<Id> objects) : objects_(std::move(objects)) {}

    void reserve(uint64_t capacity) { objects_.reserve(capacity); }

    uint64_t count() const override { return objects_.size(); }

    Id objectAtIndex(uint64_t index) const override {
        if (index >= objects_.size()) raiseIndexBeyondBounds("objectAtIndex:", index, objects_.size());
        return objects_[index];
    }

    void getObjects(Id* objects, Range range) const override {
        if (!rangeFits(range, objects_.size())) raiseRangeBeyondBounds("getObjects:range:", range, objects_.size());
        std::copy_n(objects_.begin() + range.location, range.length, objects);
    }

    // Copies into the caller's buffer: the loop body may change the vector,
    // and the items it already holds must stay valid until the check.
    uint64_t countByEnumerating(FastEnumerationState& state, Id* buffer, uint64_t len) const override {
        state.mutationsPtr = &mutations_;
        if (state.state >= objects_.size() || len == 0) return 0;
        uint64_t n = std::min<uint64_t>(len, objects_.size() - state.state);
        std::copy_n(objects_.begin() + state.state, n, buffer);
        state.itemsPtr = buffer;
        state.state += n;
        return n;
    }

    void insertObject(const Id& object, uint64_t index) override {
        if (!object) Exception::raise(InvalidArgumentException, "*** -[" + className() + " insertObject:atIndex:]: object cannot be nil");
        if (index > objects_.size()) raiseIndexBeyondBounds("insertObject:atIndex:", index, objects_.size());
        objects_.insert(objects_.begin() + index, object);
        ++mutations_;
    }

    void removeObjectAtIndex(uint64_t index) override {
        if (index >= objects_.size()) raiseRangeBeyondBounds("removeObjectsInRange:", Range{index, 1}, objects_.size());
        objects_.erase(objects_.begin() + index);
        ++mutations_;
    }

    void replaceObjectAtIndex(uint64_t index, const Id& object) override {
        if (!object) {
            Exception::raise(InvalidArgumentException,
                             "*** -[" + className() + " replaceObjectAtIndex:withObject:]: object cannot be nil");
        }
        if (index >= objects_.size()) raiseIndexBeyondBounds("replaceObjectAtIndex:withObject:", index, objects_.size());
        objects_[index] = object;
        ++mutations_;
    }

    void removeAllObjects() override {
        objects_.clear();
        ++mutations_;
    }

private:
    std::vector<Id> objects_;
    uint64_t mutations_ = 1;
};

}  // namespace

RT_DEFINE_CLASS(PlatformMutableArray, MutableArray, "__NSArrayM")

Ref<MutableArray> MutableArray::make() { return std::make_shared<PlatformMutableArray>(); }

Ref<MutableArray> MutableArray::make(std::initializer_list<Id> objects) { return make(std::vector<Id>(objects)); }

Ref<MutableArray> MutableArray::make(std::vector<Id> objects) {
    checkNoNilObjects(objects);
    return std::make_shared<PlatformMutableArray>(std::move(objects));
}

Ref<MutableArray> MutableArray::arrayWithCapacity(uint64_t capacity) {
    auto array = std::make_shared<PlatformMutableArray>();
    array->reserve(capacity);
    return array;
}

void MutableArray::removeLastObject() {
    uint64_t n = count();
    if (n) removeObjectAtIndex(n - 1);
}

void MutableArray::removeAllObjects() {
    for (uint64_t n = count(); n > 0; --n) removeObjectAtIndex(n - 1);
}

void MutableArray::removeObject(const Object* object) {
    if (!object) return;
    for (uint64_t i = count(); i > 0; --i) {
        Id element = objectAtIndex(i - 1);
        if (element.get() == object || object->isEqual(element.get())) removeObjectAtIndex(i - 1);
    }
}

void MutableArray::addObjectsFromArray(const Array& other) {
    // Snapshot first: adding an array to itself must not chase its own tail.
    std::vector<Id> objects(other.count());
    other.getObjects(objects.data(), Range{0, objects.size()});
    for (const Id& object : objects) addObject(object);
}

}  // namespace ns
