#pragma once
// The library's older operation names, kept for code written against them:
// each forwards to the qz_ operation of the same name. The forms with a
// trailing error argument store the class's qz_error through it (nil after
// success) when it is not null. They live in namespace tv::legacy so that
// names such as `url` and `keyValues` stay out of the global namespace.

#include "net/ModelKeyValues.h"
#include "net/ModelProperty.h"
#include "net/ModelStringExtension.h"

namespace tv::legacy {

namespace detail {
inline void report(const rt::Class* cls, ns::Ref<ns::Error>* error) {
    if (error) *error = qz_error(cls);
}
inline void report(const ns::Id& object, ns::Ref<ns::Error>* error) {
    if (error) *error = object ? qz_error(object->classObject()) : nullptr;
}
}  // namespace detail

// ---- Property layer ----
inline void enumerateProperties(const rt::Class* cls,
                                const std::function<void(const ns::Ref<TVProperty>&, bool&)>& block) {
    qz_enumerateProperties(cls, block);
}
inline void setupNewValueFromOldValue(const rt::Class* cls, ValueFilterHook block) {
    qz_setupNewValueFromOldValue(cls, std::move(block));
}
inline ns::Id getNewValueFromObject(const rt::Class* cls, ns::Object& object, const ns::Id& oldValue,
                                    const TVProperty& property) {
    return qz_getNewValueFromObject(cls, object, oldValue, property);
}
inline void setupReplacedKeyFromPropertyName(const rt::Class* cls, const DictionaryHook& block) {
    qz_setupReplacedKeyFromPropertyName(cls, block);
}
inline void setupReplacedKeyFromPropertyName121(const rt::Class* cls, KeyForNameHook block) {
    qz_setupReplacedKeyFromPropertyName121(cls, std::move(block));
}
inline void setupObjectClassInArray(const rt::Class* cls, const DictionaryHook& block) {
    qz_setupObjectClassInArray(cls, block);
}

// ---- Instance operations ----
inline ns::Id setKeyValues(const ns::Id& object, const ns::Id& keyValues) { return qz_setKeyValues(object, keyValues); }
inline ns::Id setKeyValues(const ns::Id& object, const ns::Id& keyValues, ns::Ref<ns::Error>* error) {
    ns::Id result = qz_setKeyValues(object, keyValues);
    detail::report(object, error);
    return result;
}
inline ns::Id keyValues(const ns::Id& object) { return qz_keyValues(object); }
inline ns::Id keyValuesWithError(const ns::Id& object, ns::Ref<ns::Error>* error) {
    ns::Id result = qz_keyValues(object);
    detail::report(object, error);
    return result;
}
inline ns::Id keyValuesWithKeys(const ns::Id& object, const ns::Ref<ns::Array>& keys) {
    return qz_keyValuesWithKeys(object, keys);
}
inline ns::Id keyValuesWithKeys(const ns::Id& object, const ns::Ref<ns::Array>& keys, ns::Ref<ns::Error>* error) {
    ns::Id result = qz_keyValuesWithKeys(object, keys);
    detail::report(object, error);
    return result;
}
inline ns::Id keyValuesWithIgnoredKeys(const ns::Id& object, const ns::Ref<ns::Array>& ignoredKeys) {
    return qz_keyValuesWithIgnoredKeys(object, ignoredKeys);
}
inline ns::Id keyValuesWithIgnoredKeys(const ns::Id& object, const ns::Ref<ns::Array>& ignoredKeys,
                                       ns::Ref<ns::Error>* error) {
    ns::Id result = qz_keyValuesWithIgnoredKeys(object, ignoredKeys);
    detail::report(object, error);
    return result;
}
inline ns::Ref<ns::Data> JSONData(const ns::Id& object) { return qz_JSONData(object); }
inline ns::Id JSONObject(const ns::Id& object) { return qz_JSONObject(object); }
inline ns::Ref<ns::String> JSONString(const ns::Id& object) { return qz_JSONString(object); }

// ---- Class operations ----
inline void referenceReplacedKeyWhenCreatingKeyValues(const rt::Class* cls, bool reference) {
    qz_referenceReplacedKeyWhenCreatingKeyValues(cls, reference);
}
inline ns::Id objectWithKeyValues(const rt::Class* cls, const ns::Id& keyValues) {
    return qz_objectWithKeyValues(cls, keyValues);
}
inline ns::Id objectWithKeyValues(const rt::Class* cls, const ns::Id& keyValues, ns::Ref<ns::Error>* error) {
    ns::Id result = qz_objectWithKeyValues(cls, keyValues);
    detail::report(cls, error);
    return result;
}
inline ns::Id objectWithFilename(const rt::Class* cls, const ns::Ref<ns::String>& filename) {
    return qz_objectWithFilename(cls, filename);
}
inline ns::Id objectWithFilename(const rt::Class* cls, const ns::Ref<ns::String>& filename, ns::Ref<ns::Error>* error) {
    ns::Id result = qz_objectWithFilename(cls, filename);
    detail::report(cls, error);
    return result;
}
inline ns::Id objectWithFile(const rt::Class* cls, const ns::Ref<ns::String>& file) { return qz_objectWithFile(cls, file); }
inline ns::Id objectWithFile(const rt::Class* cls, const ns::Ref<ns::String>& file, ns::Ref<ns::Error>* error) {
    ns::Id result = qz_objectWithFile(cls, file);
    detail::report(cls, error);
    return result;
}
inline ns::Ref<ns::MutableArray> objectArrayWithKeyValuesArray(const rt::Class* cls, const ns::Id& keyValuesArray) {
    return qz_objectArrayWithKeyValuesArray(cls, keyValuesArray);
}
inline ns::Ref<ns::MutableArray> objectArrayWithKeyValuesArray(const rt::Class* cls, const ns::Id& keyValuesArray,
                                                               ns::Ref<ns::Error>* error) {
    auto result = qz_objectArrayWithKeyValuesArray(cls, keyValuesArray);
    detail::report(cls, error);
    return result;
}
inline ns::Ref<ns::MutableArray> objectArrayWithFilename(const rt::Class* cls, const ns::Ref<ns::String>& filename) {
    return qz_objectArrayWithFilename(cls, filename);
}
inline ns::Ref<ns::MutableArray> objectArrayWithFilename(const rt::Class* cls, const ns::Ref<ns::String>& filename,
                                                         ns::Ref<ns::Error>* error) {
    auto result = qz_objectArrayWithFilename(cls, filename);
    detail::report(cls, error);
    return result;
}
inline ns::Ref<ns::MutableArray> objectArrayWithFile(const rt::Class* cls, const ns::Ref<ns::String>& file) {
    return qz_objectArrayWithFile(cls, file);
}
inline ns::Ref<ns::MutableArray> objectArrayWithFile(const rt::Class* cls, const ns::Ref<ns::String>& file,
                                                     ns::Ref<ns::Error>* error) {
    auto result = qz_objectArrayWithFile(cls, file);
    detail::report(cls, error);
    return result;
}
inline ns::Ref<ns::MutableArray> keyValuesArrayWithObjectArray(const rt::Class* cls, const ns::Id& objectArray) {
    return qz_keyValuesArrayWithObjectArray(cls, objectArray);
}
inline ns::Ref<ns::MutableArray> keyValuesArrayWithObjectArray(const rt::Class* cls, const ns::Id& objectArray,
                                                               ns::Ref<ns::Error>* error) {
    auto result = qz_keyValuesArrayWithObjectArray(cls, objectArray);
    detail::report(cls, error);
    return result;
}
inline ns::Ref<ns::MutableArray> keyValuesArrayWithObjectArray(const rt::Class* cls, const ns::Id& objectArray,
                                                               const ns::Ref<ns::Array>& keys) {
    return qz_keyValuesArrayWithObjectArray(cls, objectArray, keys);
}
inline ns::Ref<ns::MutableArray> keyValuesArrayWithObjectArray(const rt::Class* cls, const ns::Id& objectArray,
                                                               const ns::Ref<ns::Array>& keys, ns::Ref<ns::Error>* error) {
    auto result = qz_keyValuesArrayWithObjectArray(cls, objectArray, keys);
    detail::report(cls, error);
    return result;
}
inline ns::Ref<ns::MutableArray> keyValuesArrayWithObjectArrayIgnoredKeys(const rt::Class* cls, const ns::Id& objectArray,
                                                                          const ns::Ref<ns::Array>& ignoredKeys) {
    return qz_keyValuesArrayWithObjectArrayIgnoredKeys(cls, objectArray, ignoredKeys);
}
inline ns::Ref<ns::MutableArray> keyValuesArrayWithObjectArrayIgnoredKeys(const rt::Class* cls, const ns::Id& objectArray,
                                                                          const ns::Ref<ns::Array>& ignoredKeys,
                                                                          ns::Ref<ns::Error>* error) {
    auto result = qz_keyValuesArrayWithObjectArrayIgnoredKeys(cls, objectArray, ignoredKeys);
    detail::report(cls, error);
    return result;
}

// ---- Text helpers ----
inline ns::Ref<ns::String> underlineFromCamel(const ns::Ref<ns::String>& text) { return qz_underlineFromCamel(text); }
inline ns::Ref<ns::String> camelFromUnderline(const ns::Ref<ns::String>& text) { return qz_camelFromUnderline(text); }
inline ns::Ref<ns::String> firstCharLower(const ns::Ref<ns::String>& text) { return qz_firstCharLower(text); }
inline ns::Ref<ns::String> firstCharUpper(const ns::Ref<ns::String>& text) { return qz_firstCharUpper(text); }
inline bool isPureInt(const ns::Ref<ns::String>& text) { return qz_isPureInt(text); }
inline ns::Ref<ns::URL> url(const ns::Ref<ns::String>& text) { return qz_url(text); }

}  // namespace tv::legacy
