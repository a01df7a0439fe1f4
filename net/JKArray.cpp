#include "net/JKArray.h"

#include <new>
#include <string>
#include <utility>

#include "net/JKTrailingAllocator.h"
#include "net/JKSparePages.h"
#include "platform/foundation/Format.h"
#include "platform/runtime/Exception.h"

namespace {

[[noreturn]] ns::Id raisePrivateClass(const char* name) {
    ns::Exception::raise(ns::InvalidArgumentException,
                         ns::format("*** - [%s %s]: The %s class is private to JKCodec and should not be used in this "
                                    "fashion.",
                                    name, "allocWithZone:", name));
}

}  // namespace

// Registered by hand rather than with RT_DEFINE_CLASS: the registry's
// factory is the class's allocation, and that is refused.
const rt::Class* JKArray::staticClass() {
    static const rt::Class* cls = rt::registerClass(std::make_unique<rt::Class>(
        "JKArray", ns::MutableArray::staticClass(), [] { return raisePrivateClass("JKArray"); },
        std::vector<rt::Property>{}));
    return cls;
}
const rt::Class* JKArray::classObject() const { return staticClass(); }
namespace {
[[maybe_unused]] const rt::Class* const jkArrayRegistrar = JKArray::staticClass();
}

ns::Ref<JKArray> JKArrayCreate(ns::Id* objects, uint64_t count, bool mutableCollection) {
    try {
        void* slots = nullptr;
        return std::allocate_shared<JKArray>(JKTrailingAllocator<JKArray>(count * sizeof(ns::Id), &slots),
                                             JKArray::Passkey(), mutableCollection ? 1 : 0, objects, count, &slots);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

JKArray::JKArray(Passkey, uint64_t mutations, ns::Id* objects, uint64_t count, void* const* slots)
    : objects_(static_cast<ns::Id*>(*slots)),
      count_(count),
      capacity_(count),
      mutations_(mutations),
      parsedSlots_(objects_),
      parsedCount_(count) {
    for (uint64_t i = 0; i < count; ++i) new (&objects_[i]) ns::Id(std::move(objects[i]));
}

ns::Ref<JKArray> JKArrayAdopt(ns::Id* objects, uint64_t count, size_t pageBytes, bool mutableCollection) {
    try {
        return std::make_shared<JKArray>(JKArray::Passkey(), mutableCollection ? 1 : 0, objects, count, pageBytes);
    } catch (const std::bad_alloc&) {
        for (uint64_t i = 0; i < count; ++i) objects[i].~shared_ptr();
        JKSparePages::give(objects, pageBytes);
        return nullptr;
    }
}

JKArray::JKArray(Passkey, uint64_t mutations, ns::Id* objects, uint64_t count, size_t pageBytes)
    : objects_(objects),
      count_(count),
      capacity_(count),
      mutations_(mutations),
      parsedSlots_(objects),
      parsedCount_(count),
      pageBytes_(pageBytes) {}

JKArray::~JKArray() {
    for (uint64_t i = 0; i < parsedCount_; ++i) parsedSlots_[i].~shared_ptr();
    if (pageBytes_) JKSparePages::give(parsedSlots_, pageBytes_);
}

void JKArray::raiseBeyondBounds(const char* selector, uint64_t index, uint64_t count) const {
    ns::Exception::raise(ns::RangeException, ns::format("*** -[%@ %s]: index (%lu) beyond bounds (%lu)", className(),
                                                        selector, index, count));
}

void JKArray::checkMutable(const char* selector) const {
    if (mutations_ == 0) {
        ns::Exception::raise(ns::InternalInconsistencyException,
                             ns::format("*** -[%@ %s]: mutating method sent to immutable object", className(), selector));
    }
}

void JKArray::advanceMutations() { mutations_ = mutations_ == UINT64_MAX ? 1 : mutations_ + 1; }

ns::Id JKArray::objectAtIndex(uint64_t index) const {
    if (index >= count_) raiseBeyondBounds("objectAtIndex:", index, count_);
    return objects_[index];
}

void JKArray::getObjects(ns::Id* objects, ns::Range range) const {
    // The end is reported as location + length, but tested without adding,
    // so a huge range cannot wrap around into a valid-looking one.
    const bool wraps = range.length > UINT64_MAX - range.location;
    const uint64_t end = wraps ? UINT64_MAX : range.location + range.length;
    if (!objects && (range.location > 0 || range.length > 0)) {
        ns::Exception::raise(ns::RangeException,
                             ns::format("*** -[%@ %s]: pointer to objects array is NULL but range length is %lu",
                                        className(), "getObjects:range:", end));
    }
    if (range.location > count_ || range.length > count_ - range.location) {
        raiseBeyondBounds("getObjects:range:", end, count_);
    }
    for (uint64_t i = 0; i < range.length; ++i) objects[i] = objects_[range.location + i];
}

uint64_t JKArray::countByEnumerating(ns::FastEnumerationState& state, ns::Id* buffer, uint64_t len) const {
    if (state.state == 0) state.mutationsPtr = &mutations_;
    state.itemsPtr = buffer;
    uint64_t n = 0;
    while (n < len && state.state < count_) buffer[n++] = objects_[state.state++];
    return n;
}

void JKArray::insertObject(const ns::Id& object, uint64_t index) {
    checkMutable("insertObject:atIndex:");
    if (!object) {
        ns::Exception::raise(ns::InvalidArgumentException,
                             ns::format("*** -[%@ %s]: attempt to insert nil", className(), "insertObject:atIndex:"));
    }
    if (index > count_) raiseBeyondBounds("insertObject:atIndex:", index, count_ + 1);
    ns::Id held = object;
    if (count_ + 1 >= capacity_) {
        // A fixed step rather than doubling: parsed arrays rarely grow much.
        const uint64_t grown = capacity_ + 16;
        std::unique_ptr<ns::Id[]> slots;
        try {
            slots.reset(new ns::Id[grown]);
        } catch (const std::bad_alloc&) {
            ns::Exception::raise(ns::MallocException, "Unable to resize objects array.");
        }
        for (uint64_t i = 0; i < count_; ++i) slots[i] = std::move(objects_[i]);
        grown_ = std::move(slots);
        objects_ = grown_.get();
        capacity_ = grown;
    }
    ++count_;
    for (uint64_t i = count_ - 1; i > index; --i) objects_[i] = std::move(objects_[i - 1]);
    objects_[index] = std::move(held);
    advanceMutations();
}

void JKArray::removeObjectAtIndex(uint64_t index) {
    checkMutable("removeObjectAtIndex:");
    if (index >= count_) raiseBeyondBounds("removeObjectAtIndex:", index, count_);
    objects_[index].reset();
    for (uint64_t i = index; i + 1 < count_; ++i) objects_[i] = std::move(objects_[i + 1]);
    objects_[count_ - 1].reset();
    --count_;
    advanceMutations();
}

void JKArray::replaceObjectAtIndex(uint64_t index, const ns::Id& object) {
    checkMutable("replaceObjectAtIndex:withObject:");
    if (!object) {
        ns::Exception::raise(ns::InvalidArgumentException, ns::format("*** -[%@ %s]: attempt to insert nil", className(),
                                                                      "replaceObjectAtIndex:withObject:"));
    }
    if (index >= count_) raiseBeyondBounds("replaceObjectAtIndex:withObject:", index, count_);
    objects_[index] = object;
    advanceMutations();
}

ns::Id JKArray::copy() const {
    if (mutations_ == 0) return self();
    return MutableArray::copy();
}
