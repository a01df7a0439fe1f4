#include "platform/foundation/JSONValues.h"

#include <algorithm>
#include <bit>
#include <string>

#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/ReplyBudget.h"
#include "platform/foundation/String.h"

namespace ns {

Id JSONSlot::value(const Id* objects) const {
    switch (kind) {
        case Object:
            return objects[get<uint32_t>()];
        case Signed:
            return Number::sharedWithLongLong(get<int64_t>());
        case Unsigned:
            return Number::withUnsignedLongLong(get<uint64_t>());
        case Double:
            return Number::withDouble(get<double>());
        case True:
            return Number::True();
        case False:
            return Number::False();
        case Null:
            return Null::null();
        case EmptyArray:
            return JSONArray::empty();
        case EmptyObject:
            return JSONDictionary::empty();
        default:
            return String::make(std::string(bytes, kind - Text));
    }
}

// ---- Values ----

JSONValues::JSONValues(JSONBlock<JSONSlot>& slots, JSONBlock<Id>& objects, uint64_t& made) : JSONValues() {
    if (objects.size() == slots.size()) {
        // All objects: no slots to say so.
        slots.clear();
        auto taken = objects.handOver(made);
        data_ = taken.data;
        objects_ = taken.size;
        mapped_ = taken.mapped;
        return;
    }
    if (objects.empty()) {
        auto taken = slots.handOver(made);
        data_ = taken.data;
        slots_ = taken.size;
        mapped_ = taken.mapped;
        return;
    }
    const size_t bytes = (size_t(slots.size()) + objects.size()) * 16;
    const bool mapped = bytes >= JSONBlock<Id>::MappedFrom;
    data_ = mapped ? pages::map(bytes) : ::operator new(bytes);
    if (!data_) throw std::bad_alloc();
    made += mapped ? pages::rounded(bytes) : JSONBlock<Id>::allocatedBytes(bytes);
    slots_ = slots.size();
    objects_ = objects.size();
    mapped_ = mapped;
    slots.moveTo(static_cast<JSONSlot*>(data_));
    objects.moveTo(objectData());
    slots.clear();
    objects.clear();
}

JSONValues::~JSONValues() {
    if (!data_) return;
    std::destroy_n(objectData(), objects_);
    JSONBlock<Id>::free(data_, (size_t(slots_) + objects_) * 16, mapped_);
}

// ---- Keys ----

namespace {
// Up to this many keys a scan finds one faster than a hash table.
constexpr size_t ScannedKeys = 16;
}  // namespace

JSONKeys::JSONKeys(std::vector<Id> keys, uint64_t listHash) : keys_(std::move(keys)), listHash_(listHash) {
    hashes_.reserve(keys_.size());
    for (const Id& key : keys_) hashes_.push_back(key->hash());
    if (keys_.size() <= ScannedKeys) return;
    const size_t slots = std::bit_ceil(keys_.size() * 2);
    index_.assign(slots, 0);
    shift_ = 64 - std::countr_zero(slots);
    for (size_t i = 0; i < keys_.size(); ++i) {
        size_t at = (hashes_[i] * 0x9E3779B97F4A7C15ull) >> shift_;
        while (index_[at]) at = (at + 1) & (slots - 1);
        index_[at] = uint32_t(i + 1);
    }
}

int64_t JSONKeys::find(const Object* key) const {
    if (!key) return -1;
    if (index_.empty()) {
        // The reader's own keys are found by address.
        for (size_t i = 0; i < keys_.size(); ++i) {
            if (keys_[i].get() == key) return int64_t(i);
        }
        const uint64_t hash = key->hash();
        for (size_t i = 0; i < keys_.size(); ++i) {
            if (hashes_[i] == hash && equalKeys(key, keys_[i].get())) return int64_t(i);
        }
        return -1;
    }
    const uint64_t hash = key->hash();
    const size_t mask = index_.size() - 1;
    for (size_t at = (hash * 0x9E3779B97F4A7C15ull) >> shift_; index_[at]; at = (at + 1) & mask) {
        const size_t i = index_[at] - 1;
        if (hashes_[i] == hash && equalKeys(key, keys_[i].get())) return int64_t(i);
    }
    return -1;
}

uint64_t JSONKeys::bytes() const {
    using Block = JSONBlock<Id>;
    return Block::allocatedBytes(sizeof(JSONKeys) + 16) + Block::allocatedBytes(keys_.size() * sizeof(Id)) +
           Block::allocatedBytes(hashes_.size() * sizeof(uint64_t)) +
           (index_.empty() ? 0 : Block::allocatedBytes(index_.size() * sizeof(uint32_t)));
}

// ---- Arrays ----

RT_DEFINE_CLASS(JSONArray, Array, "__NSJSONArrayI")

const Ref<JSONArray>& JSONArray::empty() {
    static const auto* array = new Ref<JSONArray>(std::make_shared<JSONArray>());
    return *array;
}

Id JSONArray::objectAtIndex(uint64_t index) const {
    if (index >= values_.count()) raiseIndexBeyondBounds("objectAtIndex:", index, values_.count());
    return values_.at(index);
}

void JSONArray::getObjects(Id* objects, Range range) const {
    if (!rangeFits(range, values_.count())) raiseRangeBeyondBounds("getObjects:range:", range, values_.count());
    for (uint64_t i = 0; i < range.length; ++i) objects[i] = values_.at(range.location + i);
}

uint64_t JSONArray::countByEnumerating(FastEnumerationState& state, Id* buffer, uint64_t len) const {
    static const uint64_t noMutations = 0;
    const uint64_t total = values_.count();
    if (state.state >= total) return 0;
    state.mutationsPtr = &noMutations;
    // Objects are handed out in place, all at once; scalars become objects
    // a batch at a time.
    if (const Id* objects = values_.objectsInPlace()) {
        state.itemsPtr = objects + state.state;
        const uint64_t n = total - state.state;
        state.state = total;
        return n;
    }
    const uint64_t n = std::min(len, total - state.state);
    for (uint64_t i = 0; i < n; ++i) buffer[i] = values_.at(state.state + i);
    state.itemsPtr = buffer;
    state.state += n;
    return n;
}

// ---- Dictionaries ----

RT_DEFINE_CLASS(JSONDictionary, Dictionary, "__NSJSONDictionaryI")

JSONDictionary::JSONDictionary() : keys_(std::make_shared<JSONKeys>(std::vector<Id>{}, 0)) {}

const Ref<JSONDictionary>& JSONDictionary::empty() {
    static const auto* dictionary = new Ref<JSONDictionary>(std::make_shared<JSONDictionary>());
    return *dictionary;
}

Id JSONDictionary::objectForKey(const Object* key) const {
    const int64_t at = keys_->find(key);
    return at < 0 ? nullptr : values_.at(uint64_t(at));
}

void JSONDictionary::getObjectsAndKeys(Id* objects, Id* keys) const {
    for (uint64_t i = 0; i < keys_->count(); ++i) {
        if (objects) objects[i] = values_.at(i);
        if (keys) keys[i] = keys_->keys()[i];
    }
}

uint64_t JSONDictionary::countByEnumerating(FastEnumerationState& state, Id*, uint64_t) const {
    // The keys never change: handed out in place, all at once.
    static const uint64_t noMutations = 0;
    const uint64_t total = keys_->count();
    if (state.state >= total) return 0;
    state.mutationsPtr = &noMutations;
    state.itemsPtr = keys_->keys() + state.state;
    const uint64_t n = total - state.state;
    state.state = total;
    return n;
}

// ---- Copies without nulls ----

Id JSONWithoutNulls::operator()(const Id& object) {
    auto list = cast<JSONArray>(object);
    auto table = list ? nullptr : cast<JSONDictionary>(object);
    if (!list && !table) return object;
    if (levels_.size() <= depth_) levels_.emplace_back();
    Level& level = levels_[depth_++];
    Id copied = list ? array(list, level) : dictionary(table, level);
    --depth_;
    // What a container with nothing left out gathered goes.
    level.slots.clear();
    level.objects.clear();
    return copied;
}

bool JSONWithoutNulls::copy(const JSONValues& values, const JSONSlot& slot, Level& level, bool& changed) {
    if (slot.kind != JSONSlot::Object) return ReplyCharge::charge(level.slots.push(slot));
    const Id& object = values.objectIn(slot);
    Id kept = (*this)(object);
    if (!kept) return false;
    changed = changed || kept != object;
    const uint64_t made = level.slots.push(JSONSlot::object(level.objects.size()));
    return ReplyCharge::charge(made + level.objects.push(std::move(kept)));
}

Id JSONWithoutNulls::array(const Ref<JSONArray>& array, Level& level) {
    const JSONValues& values = array->values_;
    bool changed = false;
    for (uint64_t i = 0; i < values.count(); ++i) {
        if (!copy(values, values.slotAt(i), level, changed)) return nullptr;
    }
    if (!changed) return array;
    uint64_t made = jsonMadeCost<JSONArray>();
    auto copied = std::make_shared<JSONArray>(level.slots, level.objects, made);
    return ReplyCharge::charge(made) ? copied : nullptr;
}

Id JSONWithoutNulls::dictionary(const Ref<JSONDictionary>& dictionary, Level& level) {
    const JSONValues& values = dictionary->values_;
    const JSONKeys& keys = *dictionary->keys_;
    std::vector<bool> keeps(keys.count());
    bool changed = false;
    for (uint64_t i = 0; i < keys.count(); ++i) {
        const JSONSlot slot = values.slotAt(i);
        keeps[i] = slot.kind != JSONSlot::Null;
        if (!keeps[i]) {
            changed = true;
            continue;
        }
        if (!copy(values, slot, level, changed)) return nullptr;
    }
    if (!changed) return dictionary;
    const uint32_t n = level.slots.size();
    if (n == 0) return JSONDictionary::empty();
    uint64_t made = jsonMadeCost<JSONDictionary>();
    Ref<const JSONKeys> kept = dictionary->keys_;
    if (n != keys.count()) {
        uint64_t mask = 0;
        for (uint64_t i = 0; i < keys.count() && i < 64; ++i) mask |= uint64_t(keeps[i]) << i;
        const bool shared = keys.count() <= JSONSharedKeysUpTo;
        if (auto found = keys_.find({&keys, mask}); shared && found != keys_.end()) {
            kept = found->second;
        } else {
            std::vector<Id> subset;
            subset.reserve(n);
            for (uint64_t i = 0; i < keys.count(); ++i) {
                if (keeps[i]) subset.push_back(keys.keys()[i]);
            }
            kept = std::make_shared<const JSONKeys>(std::move(subset), 0);
            made += kept->bytes();
            if (shared) keys_.emplace(std::pair{&keys, mask}, kept);
        }
    }
    auto copied = std::make_shared<JSONDictionary>(std::move(kept), level.slots, level.objects, made);
    return ReplyCharge::charge(made) ? copied : nullptr;
}

}  // namespace ns
