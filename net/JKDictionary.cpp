#include "net/JKDictionary.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <new>
#include <utility>

#include "net/JKDictionaryEnumerator.h"
#include "net/JKTrailingAllocator.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Exception.h"

namespace {

// Prime-ish sizes growing by about 1.6; 0 is the empty table.
constexpr uint64_t capacityTable[40] = {
    0,        3,        7,        13,       23,        41,        71,        127,       191,       251,
    383,      631,      1087,     1723,     2803,      4523,      7351,      11959,     19447,     31231,
    50683,    81919,    132607,   214519,   346607,    561109,    907759,    1468927,   2376191,   3845119,
    6221311,  10066421, 16287743, 26354171, 42641881,  68996069,  111638519, 180634607, 292272623, 472907251,
};

[[noreturn]] ns::Id raisePrivateClass(const char* name) {
    ns::Exception::raise(ns::InvalidArgumentException,
                         ns::format("*** - [%s %s]: The %s class is private to JKCodec and should not be used in this "
                                    "fashion.",
                                    name, "allocWithZone:", name));
}


}  // namespace

const rt::Class* JKDictionary::staticClass() {
    static const rt::Class* cls = rt::registerClass(std::make_unique<rt::Class>(
        "JKDictionary", ns::MutableDictionary::staticClass(), [] { return raisePrivateClass("JKDictionary"); },
        std::vector<rt::Property>{}));
    return cls;
}
const rt::Class* JKDictionary::classObject() const { return staticClass(); }
namespace {
[[maybe_unused]] const rt::Class* const jkDictionaryRegistrar = JKDictionary::staticClass();
}

std::optional<uint64_t> JKDictionaryCapacityForCount(uint64_t count) {
    // Most objects are small: their capacities are looked up directly.
    static constexpr auto small = [] {
        std::array<uint8_t, 64> table{};
        for (uint64_t n = 0; n < table.size(); ++n) {
            const auto wanted = static_cast<uint64_t>(static_cast<double>(n) * 1.33);
            table[n] = static_cast<uint8_t>(*std::lower_bound(std::begin(capacityTable), std::end(capacityTable), wanted));
        }
        return table;
    }();
    if (count < small.size()) return small[count];
    const auto wanted = static_cast<uint64_t>(static_cast<double>(count) * 1.33);
    const uint64_t* found = std::lower_bound(std::begin(capacityTable), std::end(capacityTable), wanted);
    if (found == std::end(capacityTable)) return std::nullopt;
    return *found;
}

ns::Ref<JKDictionary> JKDictionaryCreate(ns::Id* keys, uint64_t* keyHashes, ns::Id* objects, uint64_t count,
                                         bool mutableCollection) {
    const std::optional<uint64_t> capacity = JKDictionaryCapacityForCount(count);
    if (!capacity) return nullptr;
    try {
        void* slots = nullptr;
        auto dictionary = std::allocate_shared<JKDictionary>(
            JKTrailingAllocator<JKDictionary>(*capacity * sizeof(JKHashTableEntry), &slots), JKDictionary::Passkey(),
            mutableCollection ? 1 : 0, *capacity, &slots);
        for (uint64_t i = 0; i < count; ++i) dictionary->add(keyHashes[i], std::move(keys[i]), std::move(objects[i]));
        return dictionary;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

JKDictionary::JKDictionary(Passkey, uint64_t mutations, uint64_t capacity, void* const* slots)
    : capacity_(capacity),
      mutations_(mutations),
      entry_(static_cast<JKHashTableEntry*>(*slots)),
      parsedTable_(entry_),
      parsedCapacity_(capacity) {
    for (uint64_t i = 0; i < capacity; ++i) new (&entry_[i]) JKHashTableEntry();
}

JKDictionary::~JKDictionary() {
    for (uint64_t i = 0; i < parsedCapacity_; ++i) parsedTable_[i].~JKHashTableEntry();
}

const JKHashTableEntry* JKDictionary::lookup(const ns::Object* key) const {
    if (!key || capacity_ == 0) return nullptr;
    const uint64_t hash = key->hash();
    uint64_t index = hash % capacity_;
    for (uint64_t i = 0; i < capacity_; ++i) {
        const JKHashTableEntry& slot = entry_[index];
        if (!slot.key) return nullptr;
        if (slot.keyHash == hash && ns::equalKeys(slot.key.get(), key)) return &slot;
        if (++index == capacity_) index = 0;
    }
    return nullptr;
}

bool JKDictionary::add(uint64_t hash, ns::Id key, ns::Id object) {
    if (capacity_ == 0) return false;
    uint64_t index = hash % capacity_;
    for (uint64_t i = 0; i < capacity_; ++i) {
        JKHashTableEntry& slot = entry_[index];
        if (slot.key && slot.keyHash == hash && ns::equalKeys(slot.key.get(), key.get())) removeEntry(&slot);
        if (!slot.key) {
            slot.keyHash = hash;
            slot.key = std::move(key);
            slot.object = std::move(object);
            ++count_;
            return true;
        }
        if (++index == capacity_) index = 0;
    }
    return false;
}

void JKDictionary::removeEntry(JKHashTableEntry* entry) {
    entry->key.reset();
    entry->object.reset();
    entry->keyHash = 0;
    --count_;
    // Every entry of the run after the hole goes back to the first free slot
    // from its home, so no key becomes unreachable.
    uint64_t index = static_cast<uint64_t>(entry - entry_);
    for (uint64_t step = 1; step < capacity_; ++step) {
        JKHashTableEntry& slot = entry_[(index + step) % capacity_];
        if (!slot.key) break;
        JKHashTableEntry moved = std::move(slot);
        slot.key.reset();
        slot.object.reset();
        slot.keyHash = 0;
        --count_;
        add(moved.keyHash, std::move(moved.key), std::move(moved.object));
    }
}

void JKDictionary::checkMutable(const char* selector) const {
    if (mutations_ == 0) {
        ns::Exception::raise(ns::InternalInconsistencyException,
                             ns::format("*** -[%@ %s]: mutating method sent to immutable object", className(), selector));
    }
}

void JKDictionary::advanceMutations() { mutations_ = mutations_ == UINT64_MAX ? 1 : mutations_ + 1; }

ns::Id JKDictionary::objectForKey(const ns::Object* key) const {
    const JKHashTableEntry* found = lookup(key);
    return found ? found->object : nullptr;
}

void JKDictionary::getObjectsAndKeys(ns::Id* objects, ns::Id* keys) const {
    uint64_t n = 0;
    for (uint64_t i = 0; i < capacity_; ++i) {
        const JKHashTableEntry& slot = entry_[i];
        if (!slot.key) continue;
        if (objects) objects[n] = slot.object;
        if (keys) keys[n] = slot.key;
        ++n;
    }
}

ns::Ref<ns::Enumerator> JKDictionary::keyEnumerator() const {
    return JKDictionaryEnumerator::withJKDictionary(ref<JKDictionary>());
}

uint64_t JKDictionary::countByEnumerating(ns::FastEnumerationState& state, ns::Id* buffer, uint64_t len) const {
    if (state.state == 0) state.mutationsPtr = &mutations_;
    state.itemsPtr = buffer;
    uint64_t n = 0;
    while (n < len && state.state < capacity_) {
        const JKHashTableEntry& slot = entry_[state.state++];
        if (slot.key) buffer[n++] = slot.key;
    }
    return n;
}

void JKDictionary::setObjectForKey(const ns::Id& object, const ns::Id& key) {
    checkMutable("setObject:forKey:");
    if (!key) {
        ns::Exception::raise(ns::InvalidArgumentException,
                             ns::format("*** -[%@ %s]: attempt to insert nil key", className(), "setObject:forKey:"));
    }
    if (!object) {
        ns::Exception::raise(ns::InvalidArgumentException,
                             ns::format("*** -[%@ %s]: attempt to insert nil value (key: %@)", className(),
                                        "setObject:forKey:", key));
    }
    const std::optional<uint64_t> wanted = JKDictionaryCapacityForCount(count_ + 1);
    if (!wanted) ns::Exception::raise(ns::MallocException, "Unable to allocate memory for hash table.");
    if (capacity_ < *wanted) {
        std::unique_ptr<JKHashTableEntry[]> table;
        try {
            table.reset(new JKHashTableEntry[*wanted]);
        } catch (const std::bad_alloc&) {
            ns::Exception::raise(ns::MallocException, "Unable to allocate memory for hash table.");
        }
        // The old table stays alive until its entries have moved over.
        std::unique_ptr<JKHashTableEntry[]> oldGrown = std::move(grown_);
        JKHashTableEntry* old = entry_;
        const uint64_t oldCapacity = capacity_;
        grown_ = std::move(table);
        entry_ = grown_.get();
        capacity_ = *wanted;
        count_ = 0;
        for (uint64_t i = 0; i < oldCapacity; ++i) {
            if (old[i].key) add(old[i].keyHash, std::move(old[i].key), std::move(old[i].object));
        }
    }
    ns::Id copied = key->copy();
    const uint64_t hash = copied->hash();
    add(hash, std::move(copied), object);
    advanceMutations();
}

void JKDictionary::removeObjectForKey(const ns::Object* key) {
    checkMutable("removeObjectForKey:");
    if (!key) {
        ns::Exception::raise(ns::InvalidArgumentException,
                             ns::format("*** -[%@ %s]: attempt to remove nil key", className(), "removeObjectForKey:"));
    }
    const JKHashTableEntry* found = lookup(key);
    if (!found) return;
    removeEntry(const_cast<JKHashTableEntry*>(found));
    advanceMutations();
}

ns::Id JKDictionary::copy() const {
    if (mutations_ == 0) return self();
    return MutableDictionary::copy();
}
