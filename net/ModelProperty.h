#pragma once
// The property layer of model mapping: the property records of a class with
// the keys and element classes resolved for it, and the set-ups that change
// them.
//
// The category methods without the qz_ head are in namespace tv
// (tv::properties, tv::propertyKey, tv::propertyObjectClassInArray); those
// with it are free functions whose first argument is the class.

#include <functional>
#include <memory>
#include <vector>

#include "net/ModelHooks.h"
#include "net/TVProperty.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace tv {

using PropertyList = std::vector<ns::Ref<TVProperty>>;

// The records of the class's own properties, then its superclass's, and so
// on up to the first Foundation class; a property redeclared in a subclass is
// listed once per declaring class. Built on the first request and cached
// until a replaced-key or element-class set-up.
std::shared_ptr<const PropertyList> properties(const rt::Class* cls);

// The key of a property for the class: a key path text or an array of them;
// the name itself when nothing replaces it. nil for a nil name.
ns::Id propertyKey(const rt::Class* cls, const ns::Ref<ns::String>& propertyName);

// The element class of an array property, or nil.
const rt::Class* propertyObjectClassInArray(const rt::Class* cls, const ns::Ref<ns::String>& propertyName);

// Empties the property-list cache of every class.
void clearPropertyListCache();

// What a conversion of the class needs of each record, taken when its
// property list is built: the key paths and element class the build stored
// for the class, and the runtime property key-value coding finds for the
// name (when it is the record's own, values may be assigned without the
// lookup by name). A record's per-class facts changed by hand take effect
// after clearPropertyListCache().
struct PlannedProperty {
    ns::Ref<TVProperty> property;
    std::shared_ptr<const TVProperty::KeyPaths> keyPaths;
    const rt::Class* elementClass = nullptr;
    const rt::Property* direct = nullptr;
};
struct ClassPlan {
    std::shared_ptr<const PropertyList> list;
    std::vector<PlannedProperty> properties;
};
std::shared_ptr<const ClassPlan> conversionPlan(const rt::Class* cls);

}  // namespace tv

// Calls the block for each record of tv::properties(cls) in order, ending
// early when the block sets stop.
void qz_enumerateProperties(const rt::Class* cls,
                            const std::function<void(const ns::Ref<TVProperty>& property, bool& stop)>& block);

// The value to assign for a property: the object's own filter hook, else the
// class's older filter hook, else the first filter set up on the class or a
// superclass, else the value read itself (the same object).
ns::Id qz_getNewValueFromObject(const rt::Class* cls, ns::Object& object, const ns::Id& oldValue,
                                const TVProperty& property);

namespace tv {

// The filter qz_getNewValueFromObject would use for objects of a class,
// found once for a whole conversion rather than for every property.
class ValueFilter {
public:
    ValueFilter(const rt::Class* cls, const rt::Class* objectClass);
    ns::Id operator()(ns::Object& object, const ns::Id& oldValue, const TVProperty& property) const;
    // False when no filter applies: the value read is the value assigned.
    bool active() const { return objectHook_ || classHook_ || stored_; }

private:
    const ValueFilterHook* objectHook_ = nullptr;
    const ClassValueFilterHook* classHook_ = nullptr;
    std::shared_ptr<const ValueFilterHook> stored_;
};

}  // namespace tv

// Set-ups, kept with the class and read by its subclasses too. The first
// three empty the property-list cache of every class.
void qz_setupReplacedKeyFromPropertyName(const rt::Class* cls, const tv::DictionaryHook& block);
void qz_setupReplacedKeyFromPropertyName121(const rt::Class* cls, tv::KeyForNameHook block);
void qz_setupObjectClassInArray(const rt::Class* cls, const tv::DictionaryHook& block);
void qz_setupNewValueFromOldValue(const rt::Class* cls, tv::ValueFilterHook block);

// A class as a dictionary value, for qz_objectClassInArray answers that name
// the class itself rather than its name.
ns::Id qz_classValue(const rt::Class* cls);
// The class such a value holds, or the class a text names; nil otherwise.
const rt::Class* qz_classFromValue(const ns::Id& value);
