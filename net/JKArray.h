#pragma once
// The decoder's array: a plain array of references of exactly the parsed
// size. A full platform array to its readers; mutable only when the parse
// asked for mutable containers (mutations counter above 0). Only the decoder
// creates it: making one through the class registry raises.

#include <cstdint>
#include <memory>

#include "platform/foundation/MutableArray.h"

class JKArray final : public ns::MutableArray {
    RT_DECLARE_CLASS(JKArray)
public:
    // Held only by the decoder's construction entry point.
    class Passkey {
        Passkey() = default;
        friend ns::Ref<JKArray> JKArrayCreate(ns::Id* objects, uint64_t count, bool mutableCollection);
        friend ns::Ref<JKArray> JKArrayAdopt(ns::Id* objects, uint64_t count, size_t pageBytes,
                                             bool mutableCollection);
    };
    // Moves the `count` references into the slots at `*slots` (raw storage
    // allocated with the array).
    JKArray(Passkey, uint64_t mutations, ns::Id* objects, uint64_t count, void* const* slots);
    // Takes the `count` references at `objects`, at the start of mapped
    // pages of `pageBytes` that the array gives back when it goes.
    JKArray(Passkey, uint64_t mutations, ns::Id* objects, uint64_t count, size_t pageBytes);
    ~JKArray() override;

    using MutableArray::getObjects;
    uint64_t count() const override { return count_; }
    ns::Id objectAtIndex(uint64_t index) const override;
    void getObjects(ns::Id* objects, ns::Range range) const override;
    uint64_t countByEnumerating(ns::FastEnumerationState& state, ns::Id* buffer, uint64_t len) const override;

    void insertObject(const ns::Id& object, uint64_t index) override;
    void removeObjectAtIndex(uint64_t index) override;
    void replaceObjectAtIndex(uint64_t index, const ns::Id& object) override;

    // Immutable: the array itself. Mutable: an immutable platform copy.
    ns::Id copy() const override;

    // Reference slots allocated: exactly the parsed count, then growth in
    // steps of 16.
    uint64_t capacity() const { return capacity_; }
    bool isMutable() const { return mutations_ != 0; }
    // The count() elements in place, for the codec's own walks that need no
    // references of their own.
    const ns::Id* objects() const { return objects_; }

private:
    friend ns::Ref<JKArray> JKArrayCreate(ns::Id* objects, uint64_t count, bool mutableCollection);
    void checkMutable(const char* selector) const;
    [[noreturn]] void raiseBeyondBounds(const char* selector, uint64_t index, uint64_t count) const;
    void advanceMutations();

    // The slots in use: those made with the array, or, once it grew, grown_.
    ns::Id* objects_ = nullptr;
    uint64_t count_ = 0;
    uint64_t capacity_ = 0;
    uint64_t mutations_;
    ns::Id* const parsedSlots_;
    const uint64_t parsedCount_;
    // The parsed slots' own pages, when they were handed over; 0 when they
    // came with the array.
    const size_t pageBytes_ = 0;
    std::unique_ptr<ns::Id[]> grown_;
};

// Builds an array that takes over the `count` references at `objects`
// (moved out, not shared again). nullptr when memory ran out.
ns::Ref<JKArray> JKArrayCreate(ns::Id* objects, uint64_t count, bool mutableCollection);
// Builds an array that owns the `count` references at `objects` and the
// mapped pages of `pageBytes` they start (from the decoder's stack).
// nullptr when memory ran out: the references and their pages are then
// released.
ns::Ref<JKArray> JKArrayAdopt(ns::Id* objects, uint64_t count, size_t pageBytes, bool mutableCollection);
