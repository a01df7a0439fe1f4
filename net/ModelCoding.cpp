#include "net/ModelCoding.h"

#include <string>

#include "net/ModelClass.h"
#include "net/ModelKeyValuesSupport.h"
#include "net/ModelProperty.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Error.h"
#include "platform/runtime/Exception.h"

namespace {

bool archived(const TVProperty& property, const ns::Array& allowed, const ns::Array& ignored) {
    const ns::String& name = *property.name();
    if (allowed.count() && !tv::detail::containsName(allowed, name)) return false;
    return !tv::detail::containsName(ignored, name);
}

ns::Id decodeValue(const TVProperty& property, const rt::Class* cls, ns::KeyedUnarchiver& coder, const std::string& key) {
    const rt::Class* propertyClass = property.type()->typeClass();
    if (!propertyClass) return coder.decodeObjectForKey(key);
    ns::KeyedUnarchiver::Classes classes{propertyClass};
    if (const rt::Class* element = property.objectClassInArrayForClass(cls)) classes.push_back(element);
    return coder.decodeObjectOfClasses(classes, key);
}

}  // namespace

void qz_encode(const ns::Object& object, ns::KeyedArchiver& coder) {
    const rt::Class* cls = object.classObject();
    auto allowed = qz_totalAllowedCodingPropertyNames(cls);
    auto ignored = qz_totalIgnoredCodingPropertyNames(cls);
    qz_enumerateProperties(cls, [&](const ns::Ref<TVProperty>& property, bool&) {
        if (!archived(*property, *allowed, *ignored)) return;
        if (ns::Id value = property->valueForObject(object)) coder.encodeObject(value, property->name()->utf8());
    });
}

bool qz_decode(ns::Object& object, ns::KeyedUnarchiver& coder) {
    const rt::Class* cls = object.classObject();
    auto allowed = qz_totalAllowedCodingPropertyNames(cls);
    auto ignored = qz_totalIgnoredCodingPropertyNames(cls);
    bool decoded = true;
    qz_enumerateProperties(cls, [&](const ns::Ref<TVProperty>& property, bool& stop) {
        if (!archived(*property, *allowed, *ignored)) return;
        const std::string& name = property->name()->utf8();
        ns::Id value = decodeValue(*property, cls, coder, name);
        if (!value && !coder.error()) value = decodeValue(*property, cls, coder, "_" + name);
        if (coder.error()) {
            decoded = false;
            stop = true;
            return;
        }
        if (!value) return;
        try {
            property->setValueForObject(value, object);
        } catch (const ns::Exception& e) {
            auto info = ns::Dictionary::make({{"NSDebugDescription", ns::str("value for key '" + name + "' of class " +
                                                                               cls->name() + " cannot be set: " + e.reason())}});
            coder.failWithError(ns::Error::make(ns::CocoaErrorDomain, ns::CoderReadCorruptError, info));
            decoded = false;
            stop = true;
        }
    });
    return decoded;
}
