#include "platform/foundation/MutableDictionary.h"

#include "platform/foundation/CollectionDescription.h"
#include "platform/foundation/DictionaryTable.h"
#include "platform/foundation/String.h"
#include "platform/foundation/Text.h"
#include "platform/runtime/Exception.h"

namespace ns {

RT_DEFINE_CLASS(MutableDictionary, Dictionary, "NSMutableDictionary")

namespace {

// The platform's mutable dictionary: insertion-ordered table plus a mutation
// counter for enumeration to watch.
class PlatformMutableDictionary : public MutableDictionary {
    RT_DECLARE_CLASS(PlatformMutableDictionary)
public:
    using MutableDictionary::removeObjectForKey;
    using MutableDictionary::setObjectForKey;

    void reserve(uint64_t n) { table_.reserve(n); }

    uint64_t count() const override { return table_.count(); }

    Id objectForKey(const Object* key) const override {
        if (!key) return nullptr;
        const DictionaryTable::Entry* e = table_.find(key, key->hash());
        return e ? e->value : nullptr;
    }

    uint64_t countByEnumerating(FastEnumerationState& state, Id* buffer, uint64_t len) const override {
        state.mutationsPtr = &mutations_;
        return table_.enumerateKeys(state, buffer, len);
    }

    void getObjectsAndKeys(Id* objects, Id* keys) const override { table_.copyObjectsAndKeys(objects, keys); }

    void setObjectForKey(const Id& object, const Id& key) override {
        if (!key) Exception::raise(InvalidArgumentException, "*** -[" + className() + " setObject:forKey:]: key cannot be nil");
        if (!object) {
            Exception::raise(InvalidArgumentException,
                             "*** -[" + className() + " setObject:forKey:]: object cannot be nil (key: " + textOf(key) + ")");
        }
        uint64_t h = key->hash();
        if (DictionaryTable::Entry* e = table_.find(key.get(), h)) {
            e->value = object;
        } else {
            table_.insertNew(key->copy(), h, object);
        }
        ++mutations_;
    }

    void removeObjectForKey(const Object* key) override {
        if (!key) Exception::raise(InvalidArgumentException, "*** -[" + className() + " removeObjectForKey:]: key cannot be nil");
        if (table_.remove(key, key->hash())) ++mutations_;
    }

    void removeAllObjects() override {
        table_.clear();
        ++mutations_;
    }

private:
    DictionaryTable table_;
    uint64_t mutations_ = 1;
};

}  // namespace

RT_DEFINE_CLASS(PlatformMutableDictionary, MutableDictionary, "__NSDictionaryM")

Ref<MutableDictionary> MutableDictionary::make() { return std::make_shared<PlatformMutableDictionary>(); }

Ref<MutableDictionary> MutableDictionary::make(std::initializer_list<Entry> entries) {
    // The immutable form checks the entries with the platform's texts.
    return cast<MutableDictionary>(Dictionary::make(entries)->mutableCopy());
}

Ref<MutableDictionary> MutableDictionary::dictionaryWithCapacity(uint64_t capacity) {
    auto dictionary = std::make_shared<PlatformMutableDictionary>();
    dictionary->reserve(capacity);
    return dictionary;
}

void MutableDictionary::setObjectForKey(const Id& object, std::string_view key) {
    setObjectForKey(object, Id(String::make(std::string(key))));
}

void MutableDictionary::removeObjectForKey(std::string_view key) {
    const String probe{std::string(key)};
    removeObjectForKey(static_cast<const Object*>(&probe));
}

void MutableDictionary::setValueForKey(const Id& value, std::string_view key) {
    if (value) {
        setObjectForKey(value, key);
    } else {
        removeObjectForKey(key);
    }
}

void MutableDictionary::removeAllObjects() {
    std::vector<Id> keys(count());
    getObjectsAndKeys(nullptr, keys.data());
    for (const Id& key : keys) removeObjectForKey(key.get());
}

void MutableDictionary::addEntriesFromDictionary(const Dictionary& other) {
    uint64_t n = other.count();
    std::vector<Id> keys(n), objects(n);
    other.getObjectsAndKeys(objects.data(), keys.data());
    for (uint64_t i = 0; i < n; ++i) setObjectForKey(objects[i], keys[i]);
}

}  // namespace ns
