#pragma once
// The class registry: every class the system looks up by name, introspects or
// fills by key-value coding registers here with its superclass, a factory and
// its declared properties in declaration order.

#include <any>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "platform/runtime/Object.h"

namespace rt {

// A property value as the accessors carry it; key-value coding boxes the
// scalar alternatives into numbers.
using Value = std::variant<std::monostate, ns::Id, int64_t, uint64_t, double, bool>;

enum class ValueKind { Object, Signed, Unsigned, Double, Bool, Block };

struct Property {
    std::string name;
    // Both filled when the class's properties are first read, so a property
    // may name the class being registered (a model holding its own kind).
    std::string attributes;  // the platform's form: T@"NSString",C,N,V_name
    std::string typeCode;    // between the leading T and the first comma
    std::string flags;       // the attributes between the type and "N": "C", "&", "R"
    std::function<std::string()> resolveTypeCode;
    ValueKind kind = ValueKind::Object;
    bool readonly = false;
    // The declared class of an object property; nullptr for id and scalars.
    std::function<const Class*()> objectClass;
    std::function<Value(const ns::Object&)> get;
    // Returns false when the value's kind or class does not fit the property.
    std::function<bool(ns::Object&, const Value&)> set;
};

class Class {
public:
    using Factory = std::function<ns::Id()>;

    Class(std::string name, const Class* superclass, Factory factory, std::vector<Property> properties);

    const std::string& name() const { return name_; }
    const Class* superclass() const { return superclass_; }
    bool isSubclassOf(const Class* other) const;

    // A new instance, or nil for classes without a factory (abstract ones).
    ns::Id create() const;

    // Properties declared by this class itself, in declaration order.
    const std::vector<Property>& properties() const;
    // Looks along the superclass chain.
    const Property* findProperty(std::string_view name) const;

    // Class methods, found along the superclass chain (subclasses inherit them).
    void addClassMethod(std::string name, std::any method) const;
    const std::any* findClassMethod(std::string_view name) const;
    template <class F>
    const F* classMethod(std::string_view name) const {
        const std::any* m = findClassMethod(name);
        return m ? std::any_cast<F>(m) : nullptr;
    }
    // Swaps the two class methods where the lookup above finds them (a
    // method inherited from a superclass is swapped there, for every class
    // that inherits it). False, and nothing swapped, when either is missing or
    // their types differ. Exchange while no other thread calls them: a caller
    // holding an entry reads it unlocked.
    bool exchangeClassMethods(std::string_view first, std::string_view second) const;

    // Values associated with the class object itself; an empty value removes.
    void setAssociated(const void* key, std::any value) const;
    std::any associated(const void* key) const;

private:
    std::string name_;
    const Class* superclass_;
    Factory factory_;
    mutable std::vector<Property> properties_;
    mutable std::once_flag propertiesResolved_;
    mutable std::mutex lock_;
    mutable std::map<std::string, std::any, std::less<>> classMethods_;
    mutable std::map<const void*, std::any> associated_;
};

// Registers a class under its name; a second registration of a name replaces
// nothing and returns the first.
const Class* registerClass(std::unique_ptr<Class> cls);
const Class* classNamed(std::string_view name);
// Every registered class, for the enumerations the runtime offers.
std::vector<const Class*> allClasses();

// ---- Type codes of C++ member types ----

template <class T>
struct IsRef : std::false_type {};
template <class T>
struct IsRef<std::shared_ptr<T>> : std::true_type {
    using Element = T;
};
template <class T>
struct IsFunction : std::false_type {};
template <class R, class... A>
struct IsFunction<std::function<R(A...)>> : std::true_type {};

template <class M>
std::string typeCodeOf() {
    if constexpr (IsRef<M>::value) {
        using E = typename IsRef<M>::Element;
        if constexpr (std::is_same_v<E, ns::Object>) {
            return "@";
        } else {
            return "@\"" + E::staticClass()->name() + "\"";
        }
    } else if constexpr (IsFunction<M>::value) {
        return "@?";
    } else if constexpr (std::is_same_v<M, bool>) {
        return "B";
    } else if constexpr (std::is_same_v<M, double>) {
        return "d";
    } else if constexpr (std::is_same_v<M, float>) {
        return "f";
    } else if constexpr (std::is_same_v<M, char> || std::is_same_v<M, signed char>) {
        return "c";
    } else if constexpr (std::is_same_v<M, unsigned char>) {
        return "C";
    } else if constexpr (std::is_same_v<M, short>) {
        return "s";
    } else if constexpr (std::is_same_v<M, unsigned short>) {
        return "S";
    } else if constexpr (std::is_same_v<M, int>) {
        return "i";
    } else if constexpr (std::is_same_v<M, unsigned>) {
        return "I";
    } else if constexpr (std::is_integral_v<M> && std::is_signed_v<M>) {
        return "q";
    } else if constexpr (std::is_integral_v<M>) {
        return "Q";
    } else {
        static_assert(sizeof(M) == 0, "unsupported property type");
    }
}

// Builds a property from a data member. `attributes` are the ones between the
// type and "N" ("C" for copy, "&" for strong, "R" for read-only); objects
// default to "&", closures to "C", scalars to none.
template <class T, class M>
Property property(std::string name, M T::*member, std::string attributes = "") {
    Property p;
    p.name = name;
    p.resolveTypeCode = [] { return typeCodeOf<M>(); };
    if constexpr (IsRef<M>::value) {
        p.kind = ValueKind::Object;
        if (attributes.empty()) attributes = "&";
        using E = typename IsRef<M>::Element;
        if constexpr (!std::is_same_v<E, ns::Object>) {
            p.objectClass = [] { return E::staticClass(); };
        }
        p.get = [member](const ns::Object& o) -> Value { return ns::Id(static_cast<const T&>(o).*member); };
        p.set = [member](ns::Object& o, const Value& v) {
            if (std::holds_alternative<std::monostate>(v)) {
                static_cast<T&>(o).*member = nullptr;
                return true;
            }
            const ns::Id* id = std::get_if<ns::Id>(&v);
            if (!id) return false;
            if (!*id) {
                static_cast<T&>(o).*member = nullptr;
                return true;
            }
            auto typed = std::dynamic_pointer_cast<E>(*id);
            if (!typed) return false;
            static_cast<T&>(o).*member = typed;
            return true;
        };
    } else if constexpr (IsFunction<M>::value) {
        p.kind = ValueKind::Block;
        if (attributes.empty()) attributes = "C";
        p.get = [](const ns::Object&) -> Value { return std::monostate{}; };
        p.set = [](ns::Object&, const Value&) { return false; };
    } else {
        if constexpr (std::is_same_v<M, bool>) {
            p.kind = ValueKind::Bool;
        } else if constexpr (std::is_floating_point_v<M>) {
            p.kind = ValueKind::Double;
        } else if constexpr (std::is_signed_v<M>) {
            p.kind = ValueKind::Signed;
        } else {
            p.kind = ValueKind::Unsigned;
        }
        p.get = [member](const ns::Object& o) -> Value {
            M v = static_cast<const T&>(o).*member;
            if constexpr (std::is_same_v<M, bool>) return v;
            else if constexpr (std::is_floating_point_v<M>) return double(v);
            else if constexpr (std::is_signed_v<M>) return int64_t(v);
            else return uint64_t(v);
        };
        p.set = [member](ns::Object& o, const Value& v) {
            M out{};
            if (auto b = std::get_if<bool>(&v)) out = M(*b);
            else if (auto d = std::get_if<double>(&v)) out = M(*d);
            else if (auto s = std::get_if<int64_t>(&v)) out = M(*s);
            else if (auto u = std::get_if<uint64_t>(&v)) out = M(*u);
            else return false;
            static_cast<T&>(o).*member = out;
            return true;
        };
    }
    p.readonly = attributes.find('R') != std::string::npos;
    p.flags = std::move(attributes);
    return p;
}

template <class T>
Class::Factory factoryOf() {
    if constexpr (std::is_abstract_v<T> || !std::is_default_constructible_v<T>) {
        return nullptr;
    } else {
        return [] { return ns::Id(std::make_shared<T>()); };
    }
}

}  // namespace rt

#define RT_CONCAT_INNER(a, b) a##b
#define RT_CONCAT(a, b) RT_CONCAT_INNER(a, b)

// Inside the class body: the class object accessors.
#define RT_DECLARE_CLASS(Type)                             \
public:                                                    \
    static const ::rt::Class* staticClass();               \
    const ::rt::Class* classObject() const override;

// Beside the class's definitions (one .cpp): registers it at load time under
// `Name` with its superclass and the given rt::property(...) list.
#define RT_DEFINE_CLASS(Type, Super, Name, ...)                                                       \
    const ::rt::Class* Type::staticClass() {                                                          \
        static const ::rt::Class* cls = ::rt::registerClass(std::make_unique<::rt::Class>(           \
            Name, Super::staticClass(), ::rt::factoryOf<Type>(), std::vector<::rt::Property>{__VA_ARGS__})); \
        return cls;                                                                                   \
    }                                                                                                 \
    const ::rt::Class* Type::classObject() const { return staticClass(); }                           \
    namespace {                                                                                       \
    [[maybe_unused]] const ::rt::Class* const RT_CONCAT(rtRegistrar_, __LINE__) = Type::staticClass(); \
    }

// A property of Type from its data member of the same name.
#define RT_PROPERTY(Type, member, ...) ::rt::property<Type>(#member, &Type::member, ##__VA_ARGS__)
