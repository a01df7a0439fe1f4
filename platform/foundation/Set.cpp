#include "platform/foundation/Set.h"

#include "platform/foundation/Array.h"
#include "platform/foundation/DictionaryTable.h"
#include "platform/foundation/Text.h"
#include "platform/runtime/Exception.h"

namespace ns {

RT_DEFINE_CLASS(Set, Object, "NSSet")
RT_DEFINE_CLASS(MutableSet, Set, "NSMutableSet")

namespace {

// Members live as the keys of a table without values.
struct Members {
    DictionaryTable table;

    Id member(const Object* object) const {
        if (!object) return nullptr;
        const DictionaryTable::Entry* e = table.find(object, object->hash());
        return e ? e->key : nullptr;
    }
    bool add(const Id& object) {
        uint64_t h = object->hash();
        if (table.find(object.get(), h)) return false;
        table.insertNew(object, h, nullptr);
        return true;
    }
    uint64_t enumerate(FastEnumerationState& state, Id* buffer, uint64_t len) const {
        return table.enumerateKeys(state, buffer, len);
    }
};

class ImmutableSet : public Set {
    RT_DECLARE_CLASS(ImmutableSet)
public:
    void add(const Id& object) { members_.add(object); }

    uint64_t count() const override { return members_.table.count(); }
    Id member(const Object* object) const override { return members_.member(object); }
    uint64_t countByEnumerating(FastEnumerationState& state, Id* buffer, uint64_t len) const override {
        static const uint64_t noMutations = 0;
        state.mutationsPtr = &noMutations;
        return members_.enumerate(state, buffer, len);
    }
    Id copy() const override { return self(); }

private:
    Members members_;
};

class PlatformMutableSet : public MutableSet {
    RT_DECLARE_CLASS(PlatformMutableSet)
public:
    using MutableSet::removeObject;

    uint64_t count() const override { return members_.table.count(); }
    Id member(const Object* object) const override { return members_.member(object); }
    uint64_t countByEnumerating(FastEnumerationState& state, Id* buffer, uint64_t len) const override {
        state.mutationsPtr = &mutations_;
        return members_.enumerate(state, buffer, len);
    }

    void addObject(const Id& object) override {
        if (!object) Exception::raise(InvalidArgumentException, "*** -[" + className() + " addObject:]: object cannot be nil");
        if (members_.add(object)) ++mutations_;
    }

    void removeObject(const Object* object) override {
        if (!object) Exception::raise(InvalidArgumentException, "*** -[" + className() + " removeObject:]: object cannot be nil");
        if (members_.table.remove(object, object->hash())) ++mutations_;
    }

    void removeAllObjects() override {
        members_.table.clear();
        ++mutations_;
    }

private:
    Members members_;
    uint64_t mutations_ = 1;
};

}  // namespace

RT_DEFINE_CLASS(ImmutableSet, Set, "__NSSetI")
RT_DEFINE_CLASS(PlatformMutableSet, MutableSet, "__NSSetM")

namespace {

std::vector<Id> membersOf(const Set& set) {
    std::vector<Id> objects;
    objects.reserve(set.count());
    for (const Id& object : set) objects.push_back(object);
    return objects;
}

}  // namespace

Ref<Set> Set::make(std::initializer_list<Id> objects) { return make(std::vector<Id>(objects)); }

Ref<Set> Set::make(const std::vector<Id>& objects) {
    for (size_t i = 0; i < objects.size(); ++i) {
        if (!objects[i]) {
            Exception::raise(InvalidArgumentException,
                             "*** -[__NSPlaceholderSet initWithObjects:count:]: attempt to insert nil object from objects[" +
                                 std::to_string(i) + "]");
        }
    }
    auto set = std::make_shared<ImmutableSet>();
    for (const Id& object : objects) set->add(object);
    return set;
}

Id Set::anyObject() const {
    FastEnumerationState state;
    Id first[1];
    return countByEnumerating(state, first, 1) ? state.itemsPtr[0] : nullptr;
}

Ref<Array> Set::allObjects() const { return Array::make(membersOf(*this)); }

bool Set::isEqualToSet(const Set& other) const {
    if (&other == this) return true;
    if (other.count() != count()) return false;
    for (const Id& object : *this) {
        if (!other.containsObject(object)) return false;
    }
    return true;
}

bool Set::isEqual(const Object* other) const {
    auto* set = dynamic_cast<const Set*>(other);
    return set && isEqualToSet(*set);
}

std::string Set::description() const { return collectionDescription(*this, 0); }

Id Set::copy() const { return make(membersOf(*this)); }

Id Set::mutableCopy() const {
    auto copy = MutableSet::make();
    for (const Id& object : *this) copy->addObject(object);
    return copy;
}

Ref<MutableSet> MutableSet::make() { return std::make_shared<PlatformMutableSet>(); }

Ref<MutableSet> MutableSet::make(std::initializer_list<Id> objects) {
    return cast<MutableSet>(Set::make(objects)->mutableCopy());
}

void MutableSet::removeAllObjects() {
    for (const Id& object : membersOf(*this)) removeObject(object.get());
}

void MutableSet::addObjectsFromArray(const Array& array) {
    std::vector<Id> objects(array.count());
    array.getObjects(objects.data(), Range{0, objects.size()});
    for (const Id& object : objects) addObject(object);
}

}  // namespace ns
