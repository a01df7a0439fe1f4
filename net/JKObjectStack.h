#pragma once
// The decoder's one stack of (value, key, key hash) entries: the elements of
// every container still being read wait here until its closing bracket, so
// each container is built in one step with its exact size. Like the managed
// buffer it starts in scratch memory and moves to the heap only to grow.
//
// The value array is raw storage: the entries below `index` are live
// references, those above are not constructed, so a parse that stays small
// pays nothing to set the scratch arrays up. Only a dictionary's entries
// have keys: the key and hash arrays grow only as far as a dictionary's
// entries reach, so a long list costs one reference an element. Key slots
// are constructed from the bottom up to the highest entry a dictionary
// used, and are nil wherever no dictionary entry is live.
//
// Each array grows geometrically: from the allocator while small, past
// MappedFrom bytes in pages of its own that grow by moving, never by
// copying, and are touched only as they are filled (a long list read over
// and over would otherwise copy and fault its stack in afresh at every
// doubling). A root list's values are handed over to the list made of
// them in those pages, without a copy.
//
// The count the stack reports grows by whole growth units, as the decoder's
// messages expect; the storage behind it may be larger.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include "platform/runtime/Object.h"

class JKObjectStack {
public:
    // Raw storage for one entry of the two reference arrays.
    struct alignas(ns::Id) Slot {
        unsigned char bytes[sizeof(ns::Id)];
    };
    // Arrays past this many bytes live in pages of their own.
    static constexpr size_t MappedFrom = size_t(64) << 10;

    JKObjectStack() = default;
    JKObjectStack(const JKObjectStack&) = delete;
    JKObjectStack& operator=(const JKObjectStack&) = delete;
    ~JKObjectStack() { release(); }

    // Releases the stack, then uses the three arrays of `count` entries.
    void pointAtScratch(Slot* values, Slot* keys, uint64_t* keyHashes, size_t count);
    // Makes room for at least `count` values: the count becomes `count`
    // rounded up to the growth unit; false when memory ran out (the stack
    // is unchanged).
    bool resize(size_t count);
    // Makes room for keys and hashes of at least `count` entries; false when
    // memory ran out (the stack is unchanged).
    bool resizeKeys(size_t count);
    // Releases every value and key below the index, then frees heap arrays.
    void release();

    // Takes the next entry with `value`, for an array's element; the caller
    // has checked the room. Its key slot is not touched.
    void push(ns::Id value) {
        new (&values_.slots()[index_]) ns::Id(std::move(value));
        ++index_;
    }
    // Takes the next entry with a nil value and a nil key, for a
    // dictionary's member; the caller has checked the room for both. The key
    // hash is left as it is, to be set with the key.
    void pushKeyed() {
        if (index_ >= keysBuilt_) buildKeysThrough(index_);
        new (&values_.slots()[index_]) ns::Id();
        ++index_;
    }
    // Gives array entries back down to `index`, releasing their values.
    void popTo(size_t index) {
        while (index_ > index) {
            --index_;
            value(index_).~shared_ptr();
        }
    }
    // Gives dictionary entries back down to `index`, releasing their values
    // and keys (the key slots stay, nil).
    void popKeyedTo(size_t index) {
        while (index_ > index) {
            --index_;
            value(index_).~shared_ptr();
            key(index_).reset();
        }
    }

    ns::Id& value(size_t i) { return *std::launder(reinterpret_cast<ns::Id*>(&values_.slots()[i])); }
    ns::Id& key(size_t i) { return *std::launder(reinterpret_cast<ns::Id*>(&keys_.slots()[i])); }
    uint64_t& keyHash(size_t i) { return hashes_.words()[i]; }

    // The values of the root list (from `start` 0 up) with the stack's
    // mapped pages, without a copy: once they take MappedFrom bytes or
    // more. The values leave the stack (its index becomes `start`); whoever
    // takes them destroys them and gives their pages (`bytes` from `values`)
    // back. Empty when they are not to be taken so.
    struct Taken {
        ns::Id* values = nullptr;
        size_t bytes = 0;
    };
    // `root`: no container is open below them, so the stack may give up
    // all its values' storage. Any other list is built from a copy.
    Taken takeMappedValues(size_t start, bool root);

    size_t count() const { return count_; }
    // Values the storage holds before the next growth, at least count().
    size_t capacity() const { return values_.capacity(sizeof(Slot)); }
    // Entries whose keys the storage holds before the next growth.
    size_t keyCapacity() const { return keys_.capacity(sizeof(Slot)); }
    size_t index() const { return index_; }
    uint64_t flags() const { return flags_; }
    void setGrowthUnit(uint64_t unit) { roundSizeUpToMultipleOf_ = unit; }

private:
    // One array's storage: the caller's scratch, a block from the allocator
    // or mapped pages. Entries move by their bytes: a reference does not
    // point into itself.
    class Storage {
    public:
        enum Where : uint8_t { None, Scratch, Heap, Mapped };

        void pointAt(void* scratch, size_t bytes);
        // At least `bytes` of room, keeping the first `used` bytes; false
        // when memory ran out (unchanged).
        bool grow(size_t used, size_t bytes);
        // Frees owned storage and forgets it.
        void free();
        // Forgets the storage without freeing it.
        void drop() { *this = Storage(); }
        // Mapped storage only: gives back what lies past `bytes` (whole
        // pages).
        void shrinkTo(size_t bytes);

        void* bytes() const { return bytes_; }
        Slot* slots() const { return static_cast<Slot*>(bytes_); }
        uint64_t* words() const { return static_cast<uint64_t*>(bytes_); }
        size_t capacity(size_t entry) const { return size_ / entry; }
        size_t size() const { return size_; }
        Where where() const { return where_; }

    private:
        void* bytes_ = nullptr;
        size_t size_ = 0;
        Where where_ = None;
    };

    // Constructs nil keys from the first unbuilt slot through `last`.
    [[gnu::noinline]] void buildKeysThrough(size_t last);

    Storage values_;
    Storage keys_;
    Storage hashes_;
    size_t count_ = 0;
    size_t index_ = 0;
    // Key slots below this are constructed references.
    size_t keysBuilt_ = 0;
    uint64_t roundSizeUpToMultipleOf_ = 0;
    uint64_t flags_ = 0;
};
