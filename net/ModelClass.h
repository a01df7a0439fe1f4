#pragma once
// Class walks and per-class configuration of model mapping, and the four
// name lists (allowed and ignored, for conversion and for archiving).
//
// Configuration given by set-up calls is kept with the class object
// (rt::Class associated values) and read along the class and its
// superclasses; configuration given by hooks is found through the class
// registry (see ModelHooks.h).

#include <functional>

#include "platform/foundation/Array.h"
#include "platform/foundation/MutableArray.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace tv {

// Keys under which set-ups store their results on a class.
extern const void* const ReplacedKeyFromPropertyNameKey;     // dictionary
extern const void* const ReplacedKeyFromPropertyName121Key;  // KeyForNameHook
extern const void* const ObjectClassInArrayKey;              // dictionary
extern const void* const NewValueFromOldValueKey;            // ValueFilterHook
extern const void* const AllowedPropertyNamesKey;            // array
extern const void* const IgnoredPropertyNamesKey;            // array
extern const void* const AllowedCodingPropertyNamesKey;      // array
extern const void* const IgnoredCodingPropertyNamesKey;      // array

using ClassBlock = std::function<void(const rt::Class* cls, bool& stop)>;

}  // namespace tv

// Visits the class, then each superclass up to, not including, the first
// Foundation class (the class itself is always visited); ends early when the
// block sets stop. Nothing for an empty block.
void qz_enumerateClasses(const rt::Class* cls, const tv::ClassBlock& block);
// The same walk up to and including the root class.
void qz_enumerateAllClasses(const rt::Class* cls, const tv::ClassBlock& block);

// Calls the block at once and stores its result on the class under the key
// (an empty block, or a nil result, removes the value), then empties the
// name-list cache that belongs to the key, if one does.
void qz_setupBlockReturnValue(const rt::Class* cls, const std::function<ns::Id()>& block, const void* key);

// The class's stored value under the key, nil when none.
ns::Id qz_storedValue(const rt::Class* cls, const void* key);

// ---- Name lists ----
using TVNamesBlock = std::function<ns::Ref<ns::Array>()>;

// Each stores the block's names on the class and empties that list's cache
// for every class.
void qz_setupAllowedPropertyNames(const rt::Class* cls, const TVNamesBlock& block);
void qz_setupIgnoredPropertyNames(const rt::Class* cls, const TVNamesBlock& block);
void qz_setupAllowedCodingPropertyNames(const rt::Class* cls, const TVNamesBlock& block);
void qz_setupIgnoredCodingPropertyNames(const rt::Class* cls, const TVNamesBlock& block);

// The hook's answer (inherited along the superclass chain), then the names
// stored by set-ups on the class and each superclass up to the root, in that
// order, duplicates kept. Cached per class until a set-up of the same list;
// the array returned is the cached one.
ns::Ref<ns::MutableArray> qz_totalAllowedPropertyNames(const rt::Class* cls);
ns::Ref<ns::MutableArray> qz_totalIgnoredPropertyNames(const rt::Class* cls);
ns::Ref<ns::MutableArray> qz_totalAllowedCodingPropertyNames(const rt::Class* cls);
ns::Ref<ns::MutableArray> qz_totalIgnoredCodingPropertyNames(const rt::Class* cls);
// The total for a hook selector and a set-up key (one of the four pairs).
ns::Ref<ns::MutableArray> qz_totalObjectsWithSelector(const rt::Class* cls, const char* selector, const void* key);
