#pragma once
// What the JSON reader makes of arrays and objects read as immutable
// containers: each holds its values in 16-byte slots, a scalar in place (an
// integer, a double, true, false, null, an empty container, or text of up
// to 15 UTF-8 bytes) and anything else as an object beside them. A scalar
// becomes an object when it is asked for: equal each time it is, not the
// same object (small integers, the booleans, null and empty containers are
// the shared ones). The keys of an object are shared by every object of one
// read with the same keys in the same order (JSONKeys), so a list of records
// holds each record's values and no keys. Only the reader
// (JSONSerialization.cpp) and JSONWithoutNulls make these.

#include <cstdint>
#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <new>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/MappedPages.h"
#include "platform/runtime/Object.h"

namespace ns {

class String;

struct JSONSlot {
    enum Kind : uint8_t { Object, Signed, Unsigned, Double, True, False, Null, EmptyArray, EmptyObject, Text };
    // Text is held in place up to this many bytes; its kind is Text + length.
    static constexpr size_t InPlaceText = 15;

    alignas(8) char bytes[15];
    uint8_t kind;

    template <class T>
    static JSONSlot of(Kind kind, T value) {
        JSONSlot slot;
        std::memcpy(slot.bytes, &value, sizeof value);
        slot.kind = kind;
        return slot;
    }
    static JSONSlot plain(Kind kind) { return of<uint64_t>(kind, 0); }
    static JSONSlot object(uint32_t index) { return of(Object, index); }
    static JSONSlot text(std::string_view text) {
        JSONSlot slot;
        std::memcpy(slot.bytes, text.data(), text.size());
        slot.kind = uint8_t(Text + text.size());
        return slot;
    }
    template <class T>
    T get() const {
        T value;
        std::memcpy(&value, bytes, sizeof value);
        return value;
    }
    // The value as an object; `objects` holds the ones kept beside.
    Id value(const Id* objects) const;
};
static_assert(sizeof(JSONSlot) == 16 && std::is_trivially_copyable_v<JSONSlot>);

// A container's values while it is read and once made: from the allocator
// while small, and past MappedFrom bytes pages of their own, so that a large
// array's values grow by moving their pages, never by copying them (from
// the allocator, a large array read over and over costs a third more for
// it), are touched only as they are filled, are the system's again the
// moment the array goes, and are handed to the container made of them
// without a copy (when it holds no other kind of value beside them). At
// most 2^31 - 1 elements.
template <class T>
class JSONBlock {
public:
    static constexpr size_t MappedFrom = size_t(64) << 10;

    JSONBlock() = default;
    JSONBlock(JSONBlock&& other) noexcept { swap(other); }
    JSONBlock& operator=(JSONBlock&& other) noexcept {
        JSONBlock(std::move(other)).swap(*this);
        return *this;
    }
    ~JSONBlock() { reset(); }

    uint32_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T* data() const { return data_; }
    const T& operator[](size_t i) const { return data_[i]; }

    // Appends `value`; the bytes this made, for the reader's charge: what a
    // small block grew by, and each element of a mapped one as it is
    // touched. Throws std::bad_alloc when memory runs out.
    uint64_t push(T value) {
        uint64_t made = 0;
        if (size_ == capacity_) [[unlikely]] made = grow();
        new (data_ + size_) T(std::move(value));
        ++size_;
        return mapped_ ? sizeof(T) : made;
    }

    // The elements gone, the room kept for the next container unless it is
    // mapped: the next one is most likely small.
    void clear() {
        if (mapped_) return reset();
        std::destroy_n(data_, size_);
        size_ = 0;
    }
    void reset() {
        std::destroy_n(data_, size_);
        size_ = 0;
        release(data_, capacity_, mapped_);
        data_ = nullptr;
        capacity_ = 0;
        mapped_ = 0;
    }

    // The elements as memory of their own, leaving this block empty: the
    // block itself when mapped, its untouched tail given back; otherwise an
    // exact copy, this block keeping its room. `made` grows by what the
    // copy takes. Whoever takes them destroys them and gives the memory
    // back with free().
    struct Taken {
        T* data;
        uint32_t size;
        bool mapped;
    };
    Taken handOver(uint64_t& made) {
        if (mapped_) {
            const size_t bytes = size_t(size_) * sizeof(T);
            data_ = static_cast<T*>(pages::resize(data_, size_t(capacity_) * sizeof(T), bytes));
            Taken out{std::exchange(data_, nullptr), std::exchange(size_, 0), true};
            capacity_ = 0;
            mapped_ = 0;
            return out;
        }
        T* copy = static_cast<T*>(::operator new(size_t(size_) * sizeof(T)));
        moveTo(copy);
        made += allocatedBytes(size_t(size_) * sizeof(T));
        Taken out{copy, size_, false};
        clear();
        return out;
    }
    static void free(void* data, size_t bytes, bool mapped) {
        if (mapped) pages::unmap(data, bytes);
        else ::operator delete(data, bytes);
    }
    // Moves the elements to `to`, leaving moved-from ones here.
    void moveTo(T* to) {
        if constexpr (std::is_trivially_copyable_v<T>) {
            if (size_) std::memcpy(static_cast<void*>(to), data_, size_t(size_) * sizeof(T));
        } else {
            for (uint32_t i = 0; i < size_; ++i) new (to + i) T(std::move(data_[i]));
        }
    }

    // What a block of `bytes` from the allocator takes: its header, rounded.
    static constexpr uint64_t allocatedBytes(uint64_t bytes) { return std::max<uint64_t>(32, (bytes + 8 + 15) / 16 * 16); }

private:
    // Doubles the room; past MappedFrom bytes the block is mapped, and a
    // mapped block of plain values grows by moving its pages.
    [[gnu::noinline]] uint64_t grow() {
        if (capacity_ >= (uint32_t(1) << 30)) throw std::bad_alloc();
        const uint32_t capacity = capacity_ ? capacity_ * 2 : 16;
        const size_t bytes = size_t(capacity) * sizeof(T);
        if (bytes < MappedFrom) {
            T* grown = static_cast<T*>(::operator new(bytes));
            moveInto(grown);
            const uint64_t made = allocatedBytes(bytes) - (capacity_ ? allocatedBytes(capacity_ * sizeof(T)) : 0);
            release(data_, capacity_, false);
            data_ = grown;
            capacity_ = capacity;
            return made;
        }
        if (mapped_ && std::is_trivially_copyable_v<T>) {
            void* moved = pages::resize(data_, capacity_ * sizeof(T), bytes);
            if (!moved) throw std::bad_alloc();
            data_ = static_cast<T*>(moved);
            capacity_ = capacity;
            return 0;
        }
        T* grown = static_cast<T*>(pages::map(bytes));
        if (!grown) throw std::bad_alloc();
        moveInto(grown);
        release(data_, capacity_, mapped_);
        data_ = grown;
        capacity_ = capacity;
        mapped_ = 1;
        return 0;
    }
    void swap(JSONBlock& other) noexcept {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        const uint32_t capacity = capacity_, mapped = mapped_;
        capacity_ = other.capacity_;
        mapped_ = other.mapped_;
        other.capacity_ = capacity;
        other.mapped_ = mapped;
    }
    void moveInto(T* grown) {
        moveTo(grown);
        std::destroy_n(data_, size_);
    }
    static void release(T* data, uint32_t capacity, bool mapped) {
        if (data) free(data, size_t(capacity) * sizeof(T), mapped);
    }

    T* data_ = nullptr;
    uint32_t size_ = 0;
    uint32_t capacity_ : 31 = 0;
    uint32_t mapped_ : 1 = 0;
};

// What an object a read makes costs as the allocator hands it out: an
// object made with make_shared comes with its counts (16 bytes) and the
// allocator's header.
template <class T>
constexpr uint64_t jsonMadeCost(uint64_t extra = 0) {
    return JSONBlock<Id>::allocatedBytes(sizeof(T) + 16 + extra);
}
// Objects with more keys than this have keys of their own: a list rarely
// holds two of them.
constexpr size_t JSONSharedKeysUpTo = 64;

// The keys of the objects of one read that have the same keys in the same
// order, distinct texts, with what finds them.
class JSONKeys {
public:
    // `listHash` tells lists apart for the reader.
    JSONKeys(std::vector<Id> keys, uint64_t listHash);

    uint64_t count() const { return keys_.size(); }
    const Id* keys() const { return keys_.data(); }
    uint64_t listHash() const { return listHash_; }
    // The key's position, or -1.
    int64_t find(const Object* key) const;
    // What it takes, for the reader's charge.
    uint64_t bytes() const;

private:
    std::vector<Id> keys_;
    std::vector<uint64_t> hashes_;
    // Positions + 1 by hash, for more keys than a scan suits; 0 is empty.
    std::vector<uint32_t> index_;
    unsigned shift_ = 64;
    uint64_t listHash_;
};

// Values in slots, with the objects among them after them, in one block;
// a container whose values are all objects holds those alone.
class JSONValues {
public:
    JSONValues() : slots_(0), objects_(0), mapped_(0) {}
    // What `slots` and `objects` gathered, leaving them empty; `made` grows
    // by what the values take.
    JSONValues(JSONBlock<JSONSlot>& slots, JSONBlock<Id>& objects, uint64_t& made);
    JSONValues(const JSONValues&) = delete;
    JSONValues& operator=(const JSONValues&) = delete;
    ~JSONValues();

    uint64_t count() const { return slots_ ? slots_ : objects_; }
    Id at(uint64_t i) const { return slots_ ? slotData()[i].value(objectData()) : objectData()[i]; }
    // All objects: they can be handed out in place.
    const Id* objectsInPlace() const { return slots_ ? nullptr : objectData(); }
    // The value at `i` as its slot; an object's slot indexes objectIn().
    JSONSlot slotAt(uint64_t i) const { return slots_ ? slotData()[i] : JSONSlot::object(uint32_t(i)); }
    const Id& objectIn(const JSONSlot& slot) const { return objectData()[slot.get<uint32_t>()]; }

private:
    const JSONSlot* slotData() const { return static_cast<const JSONSlot*>(data_); }
    Id* objectData() const { return reinterpret_cast<Id*>(static_cast<JSONSlot*>(data_) + slots_); }

    void* data_ = nullptr;
    uint32_t slots_;
    uint32_t objects_ : 31;
    uint32_t mapped_ : 1;
};
static_assert(sizeof(JSONValues) == 16);

class JSONArray : public Array {
    RT_DECLARE_CLASS(JSONArray)
public:
    JSONArray() = default;
    JSONArray(JSONBlock<JSONSlot>& slots, JSONBlock<Id>& objects, uint64_t& made) : values_(slots, objects, made) {}
    // The one empty array the reader hands out.
    static const Ref<JSONArray>& empty();

    uint64_t count() const override { return values_.count(); }
    Id objectAtIndex(uint64_t index) const override;
    void getObjects(Id* objects, Range range) const override;
    uint64_t countByEnumerating(FastEnumerationState& state, Id* buffer, uint64_t len) const override;
    Id copy() const override { return self(); }

private:
    friend class JSONWithoutNulls;
    JSONValues values_;
};

class JSONDictionary : public Dictionary {
    RT_DECLARE_CLASS(JSONDictionary)
public:
    JSONDictionary();
    JSONDictionary(Ref<const JSONKeys> keys, JSONBlock<JSONSlot>& slots, JSONBlock<Id>& objects, uint64_t& made)
        : keys_(std::move(keys)), values_(slots, objects, made) {}
    // The one empty dictionary the reader hands out.
    static const Ref<JSONDictionary>& empty();

    uint64_t count() const override { return keys_->count(); }
    using Dictionary::objectForKey;
    Id objectForKey(const Object* key) const override;
    void getObjectsAndKeys(Id* objects, Id* keys) const override;
    uint64_t countByEnumerating(FastEnumerationState& state, Id* buffer, uint64_t len) const override;
    Id copy() const override { return self(); }

private:
    friend class JSONWithoutNulls;
    Ref<const JSONKeys> keys_;
    JSONValues values_;
};

// What the reader made with every dictionary's null-valued keys left out,
// through arrays (whose null elements stay) and dictionaries, as the HTTP
// client's JSON serializer asks: values held in place stay in place, the
// key lists of the copies are shared as the reader shares them, and a
// container with nothing to leave out is itself. What it makes is charged
// to the reply share in force (ReplyCharge).
class JSONWithoutNulls {
public:
    // nil once the reply may hold no more.
    Id operator()(const Id& object);

private:
    // What the containers being copied at one depth gather, reused by the
    // ones that follow at that depth.
    struct Level {
        JSONBlock<JSONSlot> slots;
        JSONBlock<Id> objects;
    };
    Id array(const Ref<JSONArray>& array, Level& level);
    Id dictionary(const Ref<JSONDictionary>& dictionary, Level& level);
    // The value of `slot` in `values` with its nulls left out, onto
    // `level`; false once the reply may hold no more.
    bool copy(const JSONValues& values, const JSONSlot& slot, Level& level, bool& changed);

    std::deque<Level> levels_;
    size_t depth_ = 0;
    // The copies' key lists, by the list they come from and which of its
    // keys they keep.
    std::map<std::pair<const JSONKeys*, uint64_t>, Ref<const JSONKeys>> keys_;
};

}  // namespace ns
