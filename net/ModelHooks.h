#pragma once
// The hooks a model class may give model mapping, and how it gives them.
//
// A model class registers with the runtime as any class does (RT_DECLARE_CLASS
// in the body, RT_DEFINE_CLASS with its RT_PROPERTY list beside it), declares
// the hooks it wants as members with the names below, and adds one line after
// RT_DEFINE_CLASS:
//
//   class GiftItem : public ns::Object {
//       RT_DECLARE_CLASS(GiftItem)
//   public:
//       ns::Ref<ns::String> giftId;
//       ns::Ref<ns::Array> codes;
//       static ns::Ref<ns::Dictionary> qz_replacedKeyFromPropertyName() {
//           return ns::Dictionary::make({{"giftId", ns::str("id")}});
//       }
//       static ns::Ref<ns::Dictionary> qz_objectClassInArray() {
//           return ns::Dictionary::make({{"codes", ns::str("GiftCode")}});
//       }
//   };
//   RT_DEFINE_CLASS(GiftItem, ns::Object, "GiftItem", RT_PROPERTY(GiftItem, giftId), RT_PROPERTY(GiftItem, codes))
//   QZ_MODEL_HOOKS(GiftItem)
//
// QZ_MODEL_HOOKS finds the members by name and signature and registers each
// with rt::Class::addClassMethod under its selector, so lookups go along the
// superclass chain: a subclass answers its superclass's hooks.
//
// Class hooks (static members):
//   qz_replacedKeyFromPropertyName()       -> dictionary: property name to key
//                                             (a key path text, or an array of them)
//   qz_replacedKeyFromPropertyName121(name)-> key for one property name (text or array)
//   qz_objectClassInArray()                -> dictionary: property name to element class
//                                             (a class name, or qz_classValue(cls))
//   qz_allowedPropertyNames()              -> array of names converted (empty: all)
//   qz_ignoredPropertyNames()              -> array of names never converted
//   qz_allowedCodingPropertyNames()        -> array of names archived (empty: all)
//   qz_ignoredCodingPropertyNames()        -> array of names never archived
// and the older names still asked: replacedKeyFromPropertyName(),
// replacedKeyFromPropertyName121(name), objectClassInArray(), and the
// class-wide value filter newValueFromOldValue(oldValue, property).
//
// Instance hooks (member functions):
//   ns::Id qz_newValueFromOldValue(const ns::Id& oldValue, const TVProperty& property)
//                                          the value to assign instead of the one read
//   void qz_keyValuesDidFinishConvertingToObject()
//                                          after a dictionary has filled the model
//   void qz_objectDidFinishConvertingToKeyValues() const
//                                          after the model has given its dictionary
//
// Without the macro, a class (or a test) can register any hook itself with
// addClassMethod(selector, Hook type below); the stored type must match.

#include <concepts>
#include <functional>

#include "net/TVProperty.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace tv {

// ---- Hook types, as stored in the class registry ----
using DictionaryHook = std::function<ns::Ref<ns::Dictionary>()>;
using ArrayHook = std::function<ns::Ref<ns::Array>()>;
using KeyForNameHook = std::function<ns::Id(const ns::Ref<ns::String>& propertyName)>;
using ClassValueFilterHook = std::function<ns::Id(const ns::Id& oldValue, const TVProperty& property)>;
using ValueFilterHook = std::function<ns::Id(ns::Object& object, const ns::Id& oldValue, const TVProperty& property)>;
using ObjectHook = std::function<void(ns::Object& object)>;
using ConstObjectHook = std::function<void(const ns::Object& object)>;

// ---- Selectors ----
// Class hooks.
inline constexpr const char* ReplacedKeyFromPropertyName = "qz_replacedKeyFromPropertyName";
inline constexpr const char* ReplacedKeyFromPropertyName121 = "qz_replacedKeyFromPropertyName121:";
inline constexpr const char* ObjectClassInArray = "qz_objectClassInArray";
inline constexpr const char* AllowedPropertyNames = "qz_allowedPropertyNames";
inline constexpr const char* IgnoredPropertyNames = "qz_ignoredPropertyNames";
inline constexpr const char* AllowedCodingPropertyNames = "qz_allowedCodingPropertyNames";
inline constexpr const char* IgnoredCodingPropertyNames = "qz_ignoredCodingPropertyNames";
inline constexpr const char* OldReplacedKeyFromPropertyName = "replacedKeyFromPropertyName";
inline constexpr const char* OldReplacedKeyFromPropertyName121 = "replacedKeyFromPropertyName121:";
inline constexpr const char* OldObjectClassInArray = "objectClassInArray";
inline constexpr const char* OldNewValueFromOldValue = "newValueFromOldValue:property:";
// Instance hooks live in the same table; the leading "-" keeps them apart
// from class methods of the same name.
inline constexpr const char* NewValueFromOldValue = "-qz_newValueFromOldValue:property:";
inline constexpr const char* KeyValuesDidFinishConvertingToObject = "-qz_keyValuesDidFinishConvertingToObject";
inline constexpr const char* ObjectDidFinishConvertingToKeyValues = "-qz_objectDidFinishConvertingToKeyValues";

// A member named like a hook whose signature does not fit stops the build
// rather than being silently never asked.
#define TV_HOOK_SIGNATURE_CHECK(T, member, fits) \
    static_assert((fits) || !requires { &T::member; }, #member " does not have the signature ModelHooks.h gives it")

template <class T>
void registerModelHooks() {
    const rt::Class* cls = T::staticClass();
    using Name = const ns::Ref<ns::String>&;
    using Value = const ns::Id&;
    using Record = const TVProperty&;

    constexpr bool replaced = requires { { T::qz_replacedKeyFromPropertyName() } -> std::convertible_to<ns::Ref<ns::Dictionary>>; };
    constexpr bool oldReplaced = requires { { T::replacedKeyFromPropertyName() } -> std::convertible_to<ns::Ref<ns::Dictionary>>; };
    constexpr bool replaced121 = requires(Name n) { { T::qz_replacedKeyFromPropertyName121(n) } -> std::convertible_to<ns::Id>; };
    constexpr bool oldReplaced121 = requires(Name n) { { T::replacedKeyFromPropertyName121(n) } -> std::convertible_to<ns::Id>; };
    constexpr bool inArray = requires { { T::qz_objectClassInArray() } -> std::convertible_to<ns::Ref<ns::Dictionary>>; };
    constexpr bool oldInArray = requires { { T::objectClassInArray() } -> std::convertible_to<ns::Ref<ns::Dictionary>>; };
    constexpr bool allowed = requires { { T::qz_allowedPropertyNames() } -> std::convertible_to<ns::Ref<ns::Array>>; };
    constexpr bool ignored = requires { { T::qz_ignoredPropertyNames() } -> std::convertible_to<ns::Ref<ns::Array>>; };
    constexpr bool allowedCoding = requires { { T::qz_allowedCodingPropertyNames() } -> std::convertible_to<ns::Ref<ns::Array>>; };
    constexpr bool ignoredCoding = requires { { T::qz_ignoredCodingPropertyNames() } -> std::convertible_to<ns::Ref<ns::Array>>; };
    constexpr bool oldFilter = requires(Value v, Record p) { { T::newValueFromOldValue(v, p) } -> std::convertible_to<ns::Id>; };
    constexpr bool filter = requires(T& m, Value v, Record p) { { m.qz_newValueFromOldValue(v, p) } -> std::convertible_to<ns::Id>; };
    constexpr bool didFill = requires(T& m) { m.qz_keyValuesDidFinishConvertingToObject(); };
    constexpr bool didExport = requires(const T& m) { m.qz_objectDidFinishConvertingToKeyValues(); };

    TV_HOOK_SIGNATURE_CHECK(T, qz_replacedKeyFromPropertyName, replaced);
    TV_HOOK_SIGNATURE_CHECK(T, replacedKeyFromPropertyName, oldReplaced);
    TV_HOOK_SIGNATURE_CHECK(T, qz_replacedKeyFromPropertyName121, replaced121);
    TV_HOOK_SIGNATURE_CHECK(T, replacedKeyFromPropertyName121, oldReplaced121);
    TV_HOOK_SIGNATURE_CHECK(T, qz_objectClassInArray, inArray);
    TV_HOOK_SIGNATURE_CHECK(T, objectClassInArray, oldInArray);
    TV_HOOK_SIGNATURE_CHECK(T, qz_allowedPropertyNames, allowed);
    TV_HOOK_SIGNATURE_CHECK(T, qz_ignoredPropertyNames, ignored);
    TV_HOOK_SIGNATURE_CHECK(T, qz_allowedCodingPropertyNames, allowedCoding);
    TV_HOOK_SIGNATURE_CHECK(T, qz_ignoredCodingPropertyNames, ignoredCoding);
    TV_HOOK_SIGNATURE_CHECK(T, newValueFromOldValue, oldFilter);
    TV_HOOK_SIGNATURE_CHECK(T, qz_newValueFromOldValue, filter);
    TV_HOOK_SIGNATURE_CHECK(T, qz_keyValuesDidFinishConvertingToObject, didFill);
    // Not const, or with the wrong signature.
    TV_HOOK_SIGNATURE_CHECK(T, qz_objectDidFinishConvertingToKeyValues, didExport);

    if constexpr (replaced) cls->addClassMethod(ReplacedKeyFromPropertyName, DictionaryHook([] { return T::qz_replacedKeyFromPropertyName(); }));
    if constexpr (oldReplaced) cls->addClassMethod(OldReplacedKeyFromPropertyName, DictionaryHook([] { return T::replacedKeyFromPropertyName(); }));
    if constexpr (replaced121)
        cls->addClassMethod(ReplacedKeyFromPropertyName121,
                            KeyForNameHook([](Name n) -> ns::Id { return T::qz_replacedKeyFromPropertyName121(n); }));
    if constexpr (oldReplaced121)
        cls->addClassMethod(OldReplacedKeyFromPropertyName121,
                            KeyForNameHook([](Name n) -> ns::Id { return T::replacedKeyFromPropertyName121(n); }));
    if constexpr (inArray) cls->addClassMethod(ObjectClassInArray, DictionaryHook([] { return T::qz_objectClassInArray(); }));
    if constexpr (oldInArray) cls->addClassMethod(OldObjectClassInArray, DictionaryHook([] { return T::objectClassInArray(); }));
    if constexpr (allowed) cls->addClassMethod(AllowedPropertyNames, ArrayHook([] { return T::qz_allowedPropertyNames(); }));
    if constexpr (ignored) cls->addClassMethod(IgnoredPropertyNames, ArrayHook([] { return T::qz_ignoredPropertyNames(); }));
    if constexpr (allowedCoding)
        cls->addClassMethod(AllowedCodingPropertyNames, ArrayHook([] { return T::qz_allowedCodingPropertyNames(); }));
    if constexpr (ignoredCoding)
        cls->addClassMethod(IgnoredCodingPropertyNames, ArrayHook([] { return T::qz_ignoredCodingPropertyNames(); }));
    if constexpr (oldFilter)
        cls->addClassMethod(OldNewValueFromOldValue,
                            ClassValueFilterHook([](Value v, Record p) -> ns::Id { return T::newValueFromOldValue(v, p); }));
    if constexpr (filter)
        cls->addClassMethod(NewValueFromOldValue, ValueFilterHook([](ns::Object& o, Value v, Record p) -> ns::Id {
                                return static_cast<T&>(o).qz_newValueFromOldValue(v, p);
                            }));
    if constexpr (didFill)
        cls->addClassMethod(KeyValuesDidFinishConvertingToObject,
                            ObjectHook([](ns::Object& o) { static_cast<T&>(o).qz_keyValuesDidFinishConvertingToObject(); }));
    if constexpr (didExport)
        cls->addClassMethod(ObjectDidFinishConvertingToKeyValues, ConstObjectHook([](const ns::Object& o) {
                                static_cast<const T&>(o).qz_objectDidFinishConvertingToKeyValues();
                            }));
}

#undef TV_HOOK_SIGNATURE_CHECK

}  // namespace tv

// After RT_DEFINE_CLASS(Type, ...), at namespace scope: registers the hooks
// Type declares when the library loads.
#define QZ_MODEL_HOOKS(Type)                                                                   \
    namespace {                                                                                \
    [[maybe_unused]] const bool RT_CONCAT(qzModelHooks_, __LINE__) = [] {                      \
        ::tv::registerModelHooks<Type>();                                                      \
        return true;                                                                           \
    }();                                                                                       \
    }
