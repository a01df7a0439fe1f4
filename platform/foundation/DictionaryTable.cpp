#include "platform/foundation/DictionaryTable.h"

#include <algorithm>
#include <bit>

#include "platform/foundation/String.h"

namespace ns {

namespace {
constexpr uint64_t MinimumSlots = 8;

}  // namespace

void DictionaryTable::reserve(uint64_t count) {
    entries_.reserve(count);
    // Keep the load at three quarters at most.
    uint64_t wanted = std::bit_ceil(std::max<uint64_t>(MinimumSlots, count + count / 3 + 1));
    if (wanted > slots_.size()) rebuild(wanted);
}

int64_t DictionaryTable::slotOf(const Object* key, uint64_t hash) const {
    if (slots_.empty() || !key) return -1;
    uint64_t mask = slots_.size() - 1;
    for (uint64_t i = home(hash);; i = (i + 1) & mask) {
        uint32_t slot = slots_[i];
        if (slot == 0) return -1;
        const Entry& e = entries_[slot - 1];
        if (e.hash == hash && equalKeys(key, e.key.get())) return int64_t(i);
    }
}

DictionaryTable::Entry* DictionaryTable::find(const Object* key, uint64_t hash) {
    int64_t i = slotOf(key, hash);
    return i < 0 ? nullptr : &entries_[slots_[i] - 1];
}

const DictionaryTable::Entry* DictionaryTable::find(const Object* key, uint64_t hash) const {
    int64_t i = slotOf(key, hash);
    return i < 0 ? nullptr : &entries_[slots_[i] - 1];
}

void DictionaryTable::insertNew(Id key, uint64_t hash, Id value) {
    if ((count_ + 1) * 4 > slots_.size() * 3) {
        rebuild(std::max<uint64_t>(MinimumSlots, slots_.size() * 2));
    } else if (entries_.size() >= UINT32_MAX - 1 || (entries_.size() > 2 * count_ + MinimumSlots)) {
        // Mostly holes: squeeze them out rather than grow the entry vector.
        rebuild(slots_.size());
    }
    entries_.push_back(Entry{hash, std::move(key), std::move(value)});
    uint64_t mask = slots_.size() - 1;
    uint64_t i = home(hash);
    while (slots_[i] != 0) i = (i + 1) & mask;
    slots_[i] = uint32_t(entries_.size());
    ++count_;
}

bool DictionaryTable::remove(const Object* key, uint64_t hash) {
    int64_t found = slotOf(key, hash);
    if (found < 0) return false;
    uint64_t hole = uint64_t(found);
    Entry& e = entries_[slots_[hole] - 1];
    e.key.reset();
    e.value.reset();
    e.hash = 0;
    --count_;

    // Shift the rest of the run back so every key stays reachable from its
    // home slot without deletion markers.
    uint64_t mask = slots_.size() - 1;
    for (uint64_t j = (hole + 1) & mask; slots_[j] != 0; j = (j + 1) & mask) {
        uint64_t k = home(entries_[slots_[j] - 1].hash);
        bool stays = hole <= j ? (hole < k && k <= j) : (hole < k || k <= j);
        if (stays) continue;
        slots_[hole] = slots_[j];
        hole = j;
    }
    slots_[hole] = 0;

    if (count_ == 0) entries_.clear();
    return true;
}

void DictionaryTable::clear() {
    entries_.clear();
    std::fill(slots_.begin(), slots_.end(), 0);
    count_ = 0;
}

uint64_t DictionaryTable::nextOccupied(uint64_t position) const {
    while (position < entries_.size() && !entries_[position].key) ++position;
    return position;
}

uint64_t DictionaryTable::enumerateKeys(FastEnumerationState& state, Id* buffer, uint64_t len) const {
    uint64_t n = 0;
    uint64_t p = nextOccupied(state.state);
    for (; n < len && p < endPosition(); p = nextOccupied(p + 1)) buffer[n++] = entries_[p].key;
    state.state = p;
    state.itemsPtr = buffer;
    return n;
}

void DictionaryTable::copyObjectsAndKeys(Id* objects, Id* keys) const {
    uint64_t i = 0;
    for (uint64_t p = nextOccupied(0); p < endPosition(); p = nextOccupied(p + 1), ++i) {
        if (objects) objects[i] = entries_[p].value;
        if (keys) keys[i] = entries_[p].key;
    }
}

void DictionaryTable::rebuild(uint64_t capacity) {
    if (entries_.size() != count_) {
        std::vector<Entry> packed;
        packed.reserve(std::max<uint64_t>(count_, entries_.capacity() / 2));
        for (Entry& e : entries_) {
            if (e.key) packed.push_back(std::move(e));
        }
        entries_ = std::move(packed);
    }
    slots_.assign(capacity, 0);
    shift_ = 64 - std::countr_zero(capacity);
    uint64_t mask = capacity - 1;
    for (uint64_t p = 0; p < entries_.size(); ++p) {
        uint64_t i = home(entries_[p].hash);
        while (slots_[i] != 0) i = (i + 1) & mask;
        slots_[i] = uint32_t(p + 1);
    }
}

}  // namespace ns
