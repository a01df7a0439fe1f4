#pragma once
// The root class of every object the system passes around by reference.
// Ownership is shared (ns::Ref), back references are weak (ns::Weak).

#include <any>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace rt {
class Class;
}

namespace ns {

class Object;
template <class T>
using Ref = std::shared_ptr<T>;
template <class T>
using Weak = std::weak_ptr<T>;
using Id = Ref<Object>;

class Object : public std::enable_shared_from_this<Object> {
public:
    Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;
    virtual ~Object();

    // Every registered class overrides these two through RT_DECLARE_CLASS.
    static const rt::Class* staticClass();
    virtual const rt::Class* classObject() const;

    const std::string& className() const;
    bool isKindOf(const rt::Class* cls) const;
    bool isKindOf(std::string_view className) const;
    bool isMemberOf(const rt::Class* cls) const;

    // "<ClassName: 0x...>" unless a class says more.
    virtual std::string description() const;
    virtual uint64_t hash() const;
    virtual bool isEqual(const Object* other) const;
    bool isEqual(const Id& other) const { return isEqual(other.get()); }

    // Objects that cannot be copied raise NSInvalidArgumentException, as the
    // platform does for a class without a copying protocol.
    virtual Id copy() const;
    virtual Id mutableCopy() const;

    // Values associated with this object under an address key; an empty
    // value removes the association. They live in a side table, not in the
    // object, and go when the object dies.
    void setAssociated(const void* key, std::any value);
    std::any associated(const void* key) const;

    // What a class says of its instances once, in its constructor, so hot
    // paths (dictionary keys) can tell a text from other objects without a
    // dynamic cast.
    enum class Trait : uint8_t { Text = 2 };
    bool hasTrait(Trait trait) const { return flags_.load(std::memory_order_relaxed) & uint8_t(trait); }

    template <class T = Object>
    Ref<T> ref() { return std::static_pointer_cast<T>(shared_from_this()); }
    template <class T = Object>
    Ref<const T> ref() const { return std::static_pointer_cast<const T>(shared_from_this()); }
    // A shared reference to this object, for the immutable values whose copy is
    // the object itself.
    Id self() const { return std::const_pointer_cast<Object>(shared_from_this()); }

protected:
    // Only from a constructor, before the object is shared.
    void addTrait(Trait trait) {
        flags_.store(flags_.load(std::memory_order_relaxed) | uint8_t(trait), std::memory_order_relaxed);
    }

private:
    // Bit 0: set once the object may have entries in the side table, and never
    // cleared (clearing could race a concurrent set); the destructor looks
    // only when it is set. The other bits are traits. Subclasses' first
    // members may share this word.
    static constexpr uint8_t HasAssociatedValues = 1;
    mutable std::atomic<uint8_t> flags_{0};
};

// Checked downcast: nil when the object is not a T.
template <class T>
Ref<T> cast(const Id& object) {
    return std::dynamic_pointer_cast<T>(object);
}
template <class T, class U>
Ref<T> cast(const Ref<U>& object) {
    return std::dynamic_pointer_cast<T>(object);
}

// isEqual with nil handling: two nils are equal, nil and an object are not.
bool equal(const Object* a, const Object* b);
inline bool equal(const Id& a, const Id& b) { return equal(a.get(), b.get()); }

}  // namespace ns
