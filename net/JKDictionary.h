#pragma once
// The decoder's dictionary: one flat open-addressing table with linear
// probing, its capacity taken from a fixed table of sizes (about 1.33 times
// the entry count), each slot keeping its key's hash so that probing
// compares hashes before keys. Deletion moves the following run back
// instead of leaving markers. A full platform dictionary to its readers;
// mutable only when the parse asked for it. Only the decoder creates it.

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/foundation/MutableDictionary.h"

struct JKHashTableEntry {
    uint64_t keyHash = 0;  // the key's platform hash code
    ns::Id key;
    ns::Id object;
};

// The table capacity for n entries: the first size of the table not below
// the whole part of n x 1.33. Nothing for more than 355,569,362 entries.
std::optional<uint64_t> JKDictionaryCapacityForCount(uint64_t count);

class JKDictionaryEnumerator;

class JKDictionary final : public ns::MutableDictionary {
    RT_DECLARE_CLASS(JKDictionary)
public:
    class Passkey {
        Passkey() = default;
        friend ns::Ref<JKDictionary> JKDictionaryCreate(ns::Id* keys, uint64_t* keyHashes, ns::Id* objects,
                                                        uint64_t count, bool mutableCollection);
    };
    // Uses the `capacity` slots at `*slots` (raw storage allocated with the
    // dictionary) as its table, empty.
    JKDictionary(Passkey, uint64_t mutations, uint64_t capacity, void* const* slots);
    ~JKDictionary() override;

    using MutableDictionary::objectForKey;
    using MutableDictionary::removeObjectForKey;
    using MutableDictionary::setObjectForKey;

    uint64_t count() const override { return count_; }
    ns::Id objectForKey(const ns::Object* key) const override;
    // Slot order, which is the dictionary's enumeration order.
    void getObjectsAndKeys(ns::Id* objects, ns::Id* keys) const override;
    ns::Ref<ns::Enumerator> keyEnumerator() const override;
    uint64_t countByEnumerating(ns::FastEnumerationState& state, ns::Id* buffer, uint64_t len) const override;

    // Stores a copy of the key. Raises NSMallocException when the table
    // cannot grow (out of memory, or past the largest table size).
    void setObjectForKey(const ns::Id& object, const ns::Id& key) override;
    void removeObjectForKey(const ns::Object* key) override;

    // Immutable: the dictionary itself. Mutable: an immutable platform copy.
    ns::Id copy() const override;

    uint64_t capacity() const { return capacity_; }
    bool isMutable() const { return mutations_ != 0; }
    // The capacity() slots in place (empty ones have no key), for the codec's
    // own walks that need no references of their own.
    const JKHashTableEntry* entries() const { return entry_; }

private:
    friend class JKDictionaryEnumerator;
    friend ns::Ref<JKDictionary> JKDictionaryCreate(ns::Id* keys, uint64_t* keyHashes, ns::Id* objects,
                                                    uint64_t count, bool mutableCollection);

    const JKHashTableEntry* lookup(const ns::Object* key) const;
    // Takes ownership of the key and object; false when no free slot was met.
    bool add(uint64_t hash, ns::Id key, ns::Id object);
    void removeEntry(JKHashTableEntry* entry);
    void checkMutable(const char* selector) const;
    void advanceMutations();

    uint64_t count_ = 0;
    uint64_t capacity_ = 0;
    uint64_t mutations_;
    // The table in use: the one made with the dictionary, or, once it grew,
    // grown_.
    JKHashTableEntry* entry_;
    JKHashTableEntry* const parsedTable_;
    const uint64_t parsedCapacity_;
    std::unique_ptr<JKHashTableEntry[]> grown_;
};

// Builds a dictionary from `count` (key, key hash, object) triples, taking
// over the references; a repeated key replaces the earlier entry. nullptr
// when memory ran out or the count is beyond the table of sizes.
ns::Ref<JKDictionary> JKDictionaryCreate(ns::Id* keys, uint64_t* keyHashes, ns::Id* objects, uint64_t count,
                                         bool mutableCollection);
