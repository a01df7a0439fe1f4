#pragma once
// Conversion between dictionaries (or JSON text or data holding them) and
// model objects, both ways, with nested models, arrays of models, key paths
// and the usual value conversions.
//
// Class operations take the model class first; instance operations take the
// object (nil gives nil, as a message to nil does). The typed forms
// (qz_objectWithKeyValues<Model>(...)) cast the result.
//
// Nothing here raises: a failure keeps one error per class, read with
// qz_error, whose domain is the message text and whose code is 250. Every
// operation clears the error of its class on entry, nested ones included,
// with one departure kept on purpose: within one outer operation the first
// failure stays, so an array whose early element fails reports that failure
// even when a later element converts well (where clearing on every nested
// entry would leave only a failure of the last element).
//
// There is no persistent-object store on this platform, so the forms with a
// managed-object context are absent; a subclass of NSManagedObject is made
// with its factory like any model.

#include "platform/foundation/Array.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/MutableArray.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace tv {

inline constexpr int64_t KeyValueErrorCode = 250;
inline constexpr const char* KeyValuesNotDictionary = "keyValues参数不是一个字典";
inline constexpr const char* KeyValuesArrayNotArray = "keyValuesArray参数不是一个数组";
inline constexpr const char* FilenameNil = "filename参数为nil";
inline constexpr const char* FileNil = "file参数为nil";
inline constexpr const char* NotModelClass = "不是自定义的模型类";
inline constexpr const char* ObjectArrayNotArray = "objectArray参数不是一个数组";
// Ours: a class that has no factory cannot make models.
inline constexpr const char* NoInstance = "模型类无法创建实例";
// Ours: models and arrays nested deeper than MaxNesting (a cycle ends here).
inline constexpr const char* NestedTooDeep = "模型嵌套过深";
inline constexpr unsigned MaxNesting = 512;

}  // namespace tv

// ---- The class's error and replaced-key flag ----
ns::Ref<ns::Error> qz_error(const rt::Class* cls);
void setQz_error(const rt::Class* cls, const ns::Ref<ns::Error>& error);
// Whether model-to-dictionary output follows each property's first key path
// (true) or uses property names. A class without its own flag takes its
// nearest superclass's; the root class's is true from load.
void qz_referenceReplacedKeyWhenCreatingKeyValues(const rt::Class* cls, bool reference);
bool qz_isReferenceReplacedKeyWhenCreatingKeyValues(const rt::Class* cls);

// ---- Dictionaries to models ----
// Fills the object from a dictionary, or JSON text or data of one; the
// object itself (unchanged when the input is not a dictionary).
ns::Id qz_setKeyValues(const ns::Id& object, const ns::Id& keyValues);
// A new model, or nil.
ns::Id qz_objectWithKeyValues(const rt::Class* cls, const ns::Id& keyValues);
// A property-list file of the main bundle (name with its extension), or at
// a path, holding a dictionary.
ns::Id qz_objectWithFilename(const rt::Class* cls, const ns::Ref<ns::String>& filename);
ns::Id qz_objectWithFile(const rt::Class* cls, const ns::Ref<ns::String>& file);
// One new model per dictionary, in order; a nested array gives a nested
// array of models and other elements are skipped. nil when the input (or
// JSON text or data of it) is not an array. A Foundation class gets a
// mutable copy of the array.
ns::Ref<ns::MutableArray> qz_objectArrayWithKeyValuesArray(const rt::Class* cls, const ns::Id& keyValuesArray);
ns::Ref<ns::MutableArray> qz_objectArrayWithFilename(const rt::Class* cls, const ns::Ref<ns::String>& filename);
ns::Ref<ns::MutableArray> qz_objectArrayWithFile(const rt::Class* cls, const ns::Ref<ns::String>& file);

template <class Model>
ns::Ref<Model> qz_objectWithKeyValues(const ns::Id& keyValues) {
    return ns::cast<Model>(qz_objectWithKeyValues(Model::staticClass(), keyValues));
}
template <class Model>
ns::Ref<ns::MutableArray> qz_objectArrayWithKeyValuesArray(const ns::Id& keyValuesArray) {
    return qz_objectArrayWithKeyValuesArray(Model::staticClass(), keyValuesArray);
}
template <class Model>
ns::Ref<ns::Error> qz_error() {
    return qz_error(Model::staticClass());
}

// ---- Models to dictionaries ----
// A new mutable dictionary of the model's properties: only those in `keys`
// when it is not empty, never those in `ignoredKeys`. The object itself
// when its class is a Foundation class, or it is NSNull (with the error
// "不是自定义的模型类").
ns::Id qz_keyValuesWithKeys(const ns::Id& object, const ns::Ref<ns::Array>& keys,
                            const ns::Ref<ns::Array>& ignoredKeys);
inline ns::Id qz_keyValues(const ns::Id& object) { return qz_keyValuesWithKeys(object, nullptr, nullptr); }
inline ns::Id qz_keyValuesWithKeys(const ns::Id& object, const ns::Ref<ns::Array>& keys) {
    return qz_keyValuesWithKeys(object, keys, nullptr);
}
inline ns::Id qz_keyValuesWithIgnoredKeys(const ns::Id& object, const ns::Ref<ns::Array>& ignoredKeys) {
    return qz_keyValuesWithKeys(object, nullptr, ignoredKeys);
}
// One result per element (a Foundation element as itself); `keys` when it
// is not nil, else `ignoredKeys`. nil when the input is not an array.
ns::Ref<ns::MutableArray> qz_keyValuesArrayWithObjectArray(const rt::Class* cls, const ns::Id& objectArray,
                                                           const ns::Ref<ns::Array>& keys,
                                                           const ns::Ref<ns::Array>& ignoredKeys);
inline ns::Ref<ns::MutableArray> qz_keyValuesArrayWithObjectArray(const rt::Class* cls, const ns::Id& objectArray) {
    return qz_keyValuesArrayWithObjectArray(cls, objectArray, nullptr, nullptr);
}
inline ns::Ref<ns::MutableArray> qz_keyValuesArrayWithObjectArray(const rt::Class* cls, const ns::Id& objectArray,
                                                                  const ns::Ref<ns::Array>& keys) {
    return qz_keyValuesArrayWithObjectArray(cls, objectArray, keys, nullptr);
}
inline ns::Ref<ns::MutableArray> qz_keyValuesArrayWithObjectArrayIgnoredKeys(const rt::Class* cls,
                                                                             const ns::Id& objectArray,
                                                                             const ns::Ref<ns::Array>& ignoredKeys) {
    return qz_keyValuesArrayWithObjectArray(cls, objectArray, nullptr, ignoredKeys);
}

// ---- JSON ----
// Text or data: the JSON value read from UTF-8 (nil unless its top level is
// an object or an array); anything else: its qz_keyValues (a Foundation
// object, collections included, gives itself).
ns::Id qz_JSONObject(const ns::Id& object);
// Text: its UTF-8 bytes; data: itself; anything else: the compact JSON of
// its qz_JSONObject, nil when that has no JSON form.
ns::Ref<ns::Data> qz_JSONData(const ns::Id& object);
// Text: itself; data: its UTF-8 text; anything else: the text of qz_JSONData.
ns::Ref<ns::String> qz_JSONString(const ns::Id& object);
