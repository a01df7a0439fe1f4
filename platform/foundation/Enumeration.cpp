#include "platform/foundation/Enumeration.h"

#include "platform/foundation/Array.h"
#include "platform/foundation/CollectionDescription.h"
#include "platform/runtime/Exception.h"

namespace ns {

FastEnumerationIterator::FastEnumerationIterator(const FastEnumeration& collection, const Object& owner)
    : collection_(collection), owner_(owner), keepAlive_(owner.weak_from_this().lock()) {
    fetch();
    if (!done_ && state_.mutationsPtr) initialMutations_ = *state_.mutationsPtr;
}

FastEnumerationIterator& FastEnumerationIterator::operator++() {
    if (++index_ >= count_) fetch();
    if (!done_) checkMutations();
    return *this;
}

void FastEnumerationIterator::fetch() {
    index_ = 0;
    count_ = collection_.countByEnumerating(state_, buffer_, BatchSize);
    done_ = count_ == 0;
}

void FastEnumerationIterator::checkMutations() const {
    if (state_.mutationsPtr && *state_.mutationsPtr != initialMutations_) raiseMutatedWhileEnumerating(owner_);
}

void raiseMutatedWhileEnumerating(const Object& collection) {
    Exception::raise(GenericException, "*** Collection " + classAndAddress(collection) + " was mutated while being enumerated.");
}

RT_DEFINE_CLASS(Enumerator, Object, "NSEnumerator")

Ref<Array> Enumerator::allObjects() {
    std::vector<Id> objects;
    while (Id next = nextObject()) objects.push_back(std::move(next));
    return Array::make(std::move(objects));
}

uint64_t Enumerator::countByEnumerating(FastEnumerationState& state, Id* buffer, uint64_t len) const {
    // Enumerating an enumerator consumes it, whatever the constness of the walk.
    auto* self = const_cast<Enumerator*>(this);
    if (state.state == 0) {
        state.state = 1;
        state.mutationsPtr = &state.extra[0];
    }
    uint64_t n = 0;
    while (n < len) {
        Id next = self->nextObject();
        if (!next) break;
        buffer[n++] = std::move(next);
    }
    state.itemsPtr = buffer;
    return n;
}

namespace {

// The enumerator every collection hands out unless it has its own.
class FastEnumerationEnumerator : public Enumerator {
    RT_DECLARE_CLASS(FastEnumerationEnumerator)
public:
    FastEnumerationEnumerator() = default;
    FastEnumerationEnumerator(Ref<const Object> owner, const FastEnumeration* collection)
        : owner_(std::move(owner)), collection_(collection) {}

    Id nextObject() override {
        if (!collection_) return nullptr;
        if (index_ >= count_) {
            index_ = 0;
            count_ = collection_->countByEnumerating(state_, buffer_, FastEnumerationIterator::BatchSize);
            if (count_ == 0) {
                collection_ = nullptr;
                owner_.reset();
                return nullptr;
            }
            if (!started_) {
                started_ = true;
                if (state_.mutationsPtr) initialMutations_ = *state_.mutationsPtr;
            }
        }
        if (state_.mutationsPtr && *state_.mutationsPtr != initialMutations_) raiseMutatedWhileEnumerating(*owner_);
        return state_.itemsPtr[index_++];
    }

private:
    Ref<const Object> owner_;
    const FastEnumeration* collection_ = nullptr;
    FastEnumerationState state_;
    uint64_t initialMutations_ = 0;
    bool started_ = false;
    uint64_t index_ = 0;
    uint64_t count_ = 0;
    Id buffer_[FastEnumerationIterator::BatchSize];
};

}  // namespace

RT_DEFINE_CLASS(FastEnumerationEnumerator, Enumerator, "__NSFastEnumerationEnumerator")

Ref<Enumerator> Enumerator::over(Ref<const Object> owner, const FastEnumeration& collection) {
    return std::make_shared<FastEnumerationEnumerator>(std::move(owner), &collection);
}

}  // namespace ns
