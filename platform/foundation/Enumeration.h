#pragma once
// Fast enumeration: the one primitive every collection implements to hand out
// its items in batches, the range-for iterator built on it, and enumerators.

#include <cstdint>
#include <functional>

#include "platform/foundation/Range.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

class Array;

using Comparator = std::function<ComparisonResult(const Id& a, const Id& b)>;

struct FastEnumerationState {
    // 0 on the first call; the collection keeps its position here afterwards.
    uint64_t state = 0;
    // Where this batch's items are: the caller's buffer, or the collection's
    // own storage when it never changes.
    const Id* itemsPtr = nullptr;
    // A counter the collection advances on every change; enumeration raises
    // when it moves.
    const uint64_t* mutationsPtr = nullptr;
    uint64_t extra[5] = {};
};

struct FastEnumerationEnd {};

class FastEnumeration {
public:
    virtual ~FastEnumeration() = default;

    // Hands out the next items, either copied into `buffer` (at most `len`)
    // or in place by pointing itemsPtr at storage (any number), and returns
    // how many itemsPtr now holds; 0 ends the enumeration.
    virtual uint64_t countByEnumerating(FastEnumerationState& state, Id* buffer, uint64_t len) const = 0;
};

// Walks a fast-enumerable collection, checking its mutation counter before
// every item as the platform does. Neither copyable nor movable: range-for
// gets it by guaranteed elision.
class FastEnumerationIterator {
public:
    static constexpr uint64_t BatchSize = 16;

    FastEnumerationIterator(const FastEnumeration& collection, const Object& owner);
    FastEnumerationIterator(const FastEnumerationIterator&) = delete;
    FastEnumerationIterator& operator=(const FastEnumerationIterator&) = delete;

    const Id& operator*() const { return state_.itemsPtr[index_]; }
    FastEnumerationIterator& operator++();
    bool operator!=(FastEnumerationEnd) const { return !done_; }
    bool operator==(FastEnumerationEnd) const { return done_; }

private:
    void fetch();
    void checkMutations() const;

    const FastEnumeration& collection_;
    const Object& owner_;
    Ref<const Object> keepAlive_;
    FastEnumerationState state_;
    uint64_t initialMutations_ = 0;
    uint64_t index_ = 0;
    uint64_t count_ = 0;
    bool done_ = false;
    Id buffer_[BatchSize];
};

// Raises NSGenericException "*** Collection <Class: 0x...> was mutated while
// being enumerated."
[[noreturn]] void raiseMutatedWhileEnumerating(const Object& collection);

// Hands out one object at a time; nil ends it.
class Enumerator : public Object, public FastEnumeration {
    RT_DECLARE_CLASS(Enumerator)
public:
    virtual Id nextObject() = 0;
    // The objects nextObject would still return, in order; exhausts it.
    virtual Ref<Array> allObjects();

    uint64_t countByEnumerating(FastEnumerationState& state, Id* buffer, uint64_t len) const override;

    FastEnumerationIterator begin() const { return FastEnumerationIterator(*this, *this); }
    FastEnumerationEnd end() const { return {}; }

    // An enumerator over any fast-enumerable collection, keeping it alive.
    static Ref<Enumerator> over(Ref<const Object> owner, const FastEnumeration& collection);
};

}  // namespace ns
