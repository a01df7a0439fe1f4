#pragma once
// The storage of the platform's dictionaries and sets: entries in insertion
// order (removed ones leave holes until compaction) and an open-addressing
// index over them with linear probing and backward-shift deletion.

#include <cstdint>
#include <vector>

#include "platform/foundation/Enumeration.h"
#include "platform/runtime/Object.h"

namespace ns {

class DictionaryTable {
public:
    struct Entry {
        uint64_t hash = 0;
        Id key;  // nil marks a hole left by a removal
        Id value;
    };

    // What one entry costs reserved: the entry and its index's slots (the
    // index is kept at most half full).
    static constexpr uint64_t BytesPerEntry = sizeof(Entry) + 2 * sizeof(uint32_t);

    uint64_t count() const { return count_; }
    void reserve(uint64_t count);

    Entry* find(const Object* key, uint64_t hash);
    const Entry* find(const Object* key, uint64_t hash) const;
    // For a key known to be absent.
    void insertNew(Id key, uint64_t hash, Id value);
    bool remove(const Object* key, uint64_t hash);
    void clear();

    // Positions run over entries and holes, in insertion order.
    uint64_t endPosition() const { return entries_.size(); }
    // The first occupied position at or after `position`, or endPosition().
    uint64_t nextOccupied(uint64_t position) const;
    const Entry& at(uint64_t position) const { return entries_[position]; }

    // Fast enumeration of the keys from the position kept in state.state;
    // the caller sets state.mutationsPtr.
    uint64_t enumerateKeys(FastEnumerationState& state, Id* buffer, uint64_t len) const;
    // Values and keys in insertion order into arrays of count() (either may be null).
    void copyObjectsAndKeys(Id* objects, Id* keys) const;

private:
    uint64_t home(uint64_t hash) const { return (hash * 0x9E3779B97F4A7C15ull) >> shift_; }
    int64_t slotOf(const Object* key, uint64_t hash) const;
    void rebuild(uint64_t capacity);

    std::vector<Entry> entries_;
    // 0 marks an empty slot, otherwise an entry position + 1.
    std::vector<uint32_t> slots_;
    unsigned shift_ = 64;
    uint64_t count_ = 0;
};

}  // namespace ns
