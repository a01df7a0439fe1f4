#include "platform/foundation/Dictionary.h"

#include <algorithm>

#include "platform/foundation/Array.h"
#include "platform/foundation/DictionaryTable.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/String.h"
#include "platform/foundation/Text.h"
#include "platform/runtime/Exception.h"

namespace ns {

RT_DEFINE_CLASS(Dictionary, Object, "NSDictionary")

Dictionary::Entry::Entry(std::string_view key, Id value) : key(String::make(std::string(key))), value(std::move(value)) {}

namespace {

// The platform's immutable dictionary, filled once at creation.
class ImmutableDictionary : public Dictionary {
    RT_DECLARE_CLASS(ImmutableDictionary)
public:
    ImmutableDictionary() = default;

    // Keys and objects already checked; keys are copied here.
    void add(const Id& key, const Id& value) {
        uint64_t h = key->hash();
        if (DictionaryTable::Entry* e = table_.find(key.get(), h)) {
            e->value = value;
        } else {
            table_.insertNew(key->copy(), h, value);
        }
    }
    void reserve(uint64_t n) { table_.reserve(n); }

    uint64_t count() const override { return table_.count(); }

    Id objectForKey(const Object* key) const override {
        if (!key) return nullptr;
        const DictionaryTable::Entry* e = table_.find(key, key->hash());
        return e ? e->value : nullptr;
    }

    uint64_t countByEnumerating(FastEnumerationState& state, Id* buffer, uint64_t len) const override {
        static const uint64_t noMutations = 0;
        state.mutationsPtr = &noMutations;
        return table_.enumerateKeys(state, buffer, len);
    }

    void getObjectsAndKeys(Id* objects, Id* keys) const override { table_.copyObjectsAndKeys(objects, keys); }

    Id copy() const override { return self(); }

private:
    DictionaryTable table_;
};

}  // namespace

RT_DEFINE_CLASS(ImmutableDictionary, Dictionary, "__NSDictionaryI")

namespace {

Ref<ImmutableDictionary> immutableOf(const Dictionary& source) {
    uint64_t n = source.count();
    std::vector<Id> keys(n), objects(n);
    source.getObjectsAndKeys(objects.data(), keys.data());
    auto copy = std::make_shared<ImmutableDictionary>();
    copy->reserve(n);
    for (uint64_t i = 0; i < n; ++i) copy->add(keys[i], objects[i]);
    return copy;
}

}  // namespace

Ref<Dictionary> Dictionary::make(std::initializer_list<Entry> entries) {
    return make(std::vector<Entry>(entries));
}

Ref<Dictionary> Dictionary::make(const std::vector<Entry>& entries) {
    for (size_t i = 0; i < entries.size(); ++i) {
        const char* what = !entries[i].value ? "object from objects" : !entries[i].key ? "key from keys" : nullptr;
        if (what) {
            Exception::raise(InvalidArgumentException,
                             std::string("*** -[__NSPlaceholderDictionary initWithObjects:forKeys:count:]: attempt to insert nil ") +
                                 what + "[" + std::to_string(i) + "]");
        }
    }
    auto dictionary = std::make_shared<ImmutableDictionary>();
    dictionary->reserve(entries.size());
    for (const Entry& e : entries) dictionary->add(e.key, e.value);
    return dictionary;
}

void Dictionary::getObjectsAndKeys(Id* objects, Id* keys) const {
    uint64_t i = 0;
    for (const Id& key : *this) {
        if (objects) objects[i] = objectForKey(key.get());
        if (keys) keys[i] = key;
        ++i;
    }
}

Ref<Enumerator> Dictionary::keyEnumerator() const { return Enumerator::over(weak_from_this().lock(), *this); }

Id Dictionary::objectForKey(std::string_view key) const {
    // A probe on the stack: lookups by text need no allocation of an object.
    const String probe{std::string(key)};
    return objectForKey(static_cast<const Object*>(&probe));
}

Ref<Array> Dictionary::allKeys() const {
    std::vector<Id> keys(count());
    getObjectsAndKeys(nullptr, keys.data());
    return Array::make(std::move(keys));
}

Ref<Array> Dictionary::allValues() const {
    std::vector<Id> objects(count());
    getObjectsAndKeys(objects.data(), nullptr);
    return Array::make(std::move(objects));
}

Ref<Array> Dictionary::keysSortedByValueUsingComparator(const Comparator& comparator) const {
    uint64_t n = count();
    std::vector<Id> keys(n), objects(n);
    getObjectsAndKeys(objects.data(), keys.data());
    std::vector<uint64_t> order(n);
    for (uint64_t i = 0; i < n; ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](uint64_t a, uint64_t b) { return comparator(objects[a], objects[b]) == ComparisonResult::Ascending; });
    std::vector<Id> sorted;
    sorted.reserve(n);
    for (uint64_t i : order) sorted.push_back(keys[i]);
    return Array::make(std::move(sorted));
}

void Dictionary::enumerateKeysAndObjectsUsingBlock(const std::function<void(const Id&, const Id&, bool&)>& block) const {
    bool stop = false;
    for (const Id& key : *this) {
        block(key, objectForKey(key.get()), stop);
        if (stop) break;
    }
}

bool Dictionary::isEqualToDictionary(const Dictionary& other) const {
    if (&other == this) return true;
    if (other.count() != count()) return false;
    for (const Id& key : *this) {
        Id mine = objectForKey(key.get());
        Id theirs = other.objectForKey(key.get());
        if (!theirs || !equal(mine, theirs)) return false;
    }
    return true;
}

bool Dictionary::isEqual(const Object* other) const {
    auto* dictionary = dynamic_cast<const Dictionary*>(other);
    return dictionary && isEqualToDictionary(*dictionary);
}

std::string Dictionary::description() const { return collectionDescription(*this, 0); }

Id Dictionary::copy() const { return immutableOf(*this); }

Id Dictionary::mutableCopy() const {
    uint64_t n = count();
    std::vector<Id> keys(n), objects(n);
    getObjectsAndKeys(objects.data(), keys.data());
    auto copy = MutableDictionary::dictionaryWithCapacity(n);
    for (uint64_t i = 0; i < n; ++i) copy->setObjectForKey(objects[i], keys[i]);
    return copy;
}

}  // namespace ns
