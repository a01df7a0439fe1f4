// Models to dictionaries.

#include "net/ModelClass.h"
#include "net/ModelHooks.h"
#include "net/ModelKeyValues.h"
#include "net/ModelKeyValuesSupport.h"
#include "net/ModelProperty.h"
#include "net/TVFoundation.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/URL.h"
#include "platform/runtime/Exception.h"

using tv::detail::containsName;
using tv::detail::fail;
using tv::detail::Operation;

namespace {

[[noreturn]] void cannotStore(const TVPropertyKey& step, const ns::Object& container) {
    ns::Exception::raise(ns::InvalidArgumentException, "cannot store a value under the key path step " +
                                                           step.description() + " in an object of class " +
                                                           container.className());
}

// Stores the value into the container under one step: a mutable dictionary
// under the name, a mutable array at the index (the count appends).
void store(ns::Object& container, const TVPropertyKey& step, const ns::Id& value) {
    if (step.type() == TVPropertyKeyType::Dictionary) {
        auto* dictionary = dynamic_cast<ns::MutableDictionary*>(&container);
        if (!dictionary) cannotStore(step, container);
        dictionary->setObjectForKey(value, step.name());
        return;
    }
    auto* array = dynamic_cast<ns::MutableArray*>(&container);
    if (!array) cannotStore(step, container);
    int64_t index = step.index();
    if (index < 0 || uint64_t(index) > array->count()) {
        ns::Exception::raise(ns::RangeException, "index " + std::to_string(index) + " beyond bounds [0 .. " +
                                                     std::to_string(array->count()) + "] for the key path step " +
                                                     step.description());
    }
    if (uint64_t(index) == array->count()) array->addObject(value);
    else array->replaceObjectAtIndex(uint64_t(index), value);
}

// Writes the value along the path, making the dictionaries and arrays on the
// way; paths that share a prefix share its containers.
void writeAlongPath(ns::Object& output, const TVProperty::KeyPath& path, const ns::Id& value) {
    ns::Id holder;  // keeps the current container alive
    ns::Object* container = &output;
    for (size_t i = 0; i + 1 < path.size(); ++i) {
        const TVPropertyKey& step = *path[i];
        const TVPropertyKey& next = *path[i + 1];
        ns::Id inner = step.valueInObject(container);
        if (!inner || dynamic_cast<const ns::Null*>(inner.get())) {
            inner = next.type() == TVPropertyKeyType::Array ? ns::Id(ns::MutableArray::make())
                                                             : ns::Id(ns::MutableDictionary::make());
            store(*container, step, inner);
        }
        if (next.type() == TVPropertyKeyType::Array) {
            if (auto* array = dynamic_cast<ns::MutableArray*>(inner.get())) {
                while (next.index() >= 0 && array->count() < uint64_t(next.index()) + 1) array->addObject(ns::Null::null());
            }
        }
        holder = std::move(inner);
        container = holder.get();
    }
    store(*container, *path.back(), value);
}

ns::Id exportedValue(const TVPropertyType& type, const ns::Id& value) {
    const rt::Class* propertyClass = type.typeClass();
    if (propertyClass && !type.isFromFoundation()) return qz_keyValues(value);
    if (dynamic_cast<const ns::Array*>(value.get())) {
        return qz_keyValuesArrayWithObjectArray(ns::Object::staticClass(), value);
    }
    if (propertyClass == ns::URL::staticClass()) {
        if (auto* url = dynamic_cast<const ns::URL*>(value.get())) return url->absoluteString();
    }
    return value;
}

}  // namespace

ns::Id qz_keyValuesWithKeys(const ns::Id& object, const ns::Ref<ns::Array>& keys, const ns::Ref<ns::Array>& ignoredKeys) {
    if (!object) return nullptr;
    const rt::Class* cls = object->classObject();
    Operation operation(cls);
    // NSNull is outside the Foundation set, yet a null in an array of models
    // must stay a null rather than become an empty dictionary.
    if (TVFoundation::isClassFromFoundation(cls) || tv::detail::kindOf<ns::Null>(object)) {
        fail(cls, tv::NotModelClass);
        return object;
    }
    if (operation.tooDeep()) {
        fail(cls, tv::NestedTooDeep);
        return nullptr;
    }

    auto output = ns::MutableDictionary::make();
    auto allowed = qz_totalAllowedPropertyNames(cls);
    auto ignored = qz_totalIgnoredPropertyNames(cls);
    const bool alongKeyPaths = qz_isReferenceReplacedKeyWhenCreatingKeyValues(cls);
    auto list = tv::properties(cls);
    for (const ns::Ref<TVProperty>& property : *list) {
        const ns::String& name = *property->name();
        if (allowed->count() && !containsName(*allowed, name)) continue;
        if (containsName(*ignored, name)) continue;
        if (keys && keys->count() && !containsName(*keys, name)) continue;
        if (ignoredKeys && containsName(*ignoredKeys, name)) continue;
        try {
            ns::Id value = property->valueForObject(*object);
            if (!value) continue;
            value = exportedValue(*property->type(), value);
            // A nested conversion that failed has left its error; nothing to write.
            if (!value) continue;
            if (alongKeyPaths) {
                auto paths = property->propertyKeysForClass(cls);
                if (paths && !paths->empty()) writeAlongPath(*output, paths->front(), value);
            } else {
                output->setObjectForKey(value, property->name());
            }
        } catch (const ns::Exception& e) {
            fail(cls, e.reason());
        } catch (const std::exception& e) {
            fail(cls, e.what());
        }
    }
    if (auto* hook = cls->classMethod<tv::ConstObjectHook>(tv::ObjectDidFinishConvertingToKeyValues)) (*hook)(*object);
    return output;
}

ns::Ref<ns::MutableArray> qz_keyValuesArrayWithObjectArray(const rt::Class* cls, const ns::Id& objectArray,
                                                           const ns::Ref<ns::Array>& keys,
                                                           const ns::Ref<ns::Array>& ignoredKeys) {
    Operation operation(cls);
    auto array = ns::cast<ns::Array>(objectArray);
    if (!array) {
        fail(cls, tv::ObjectArrayNotArray);
        return nullptr;
    }
    if (operation.tooDeep()) {
        fail(cls, tv::NestedTooDeep);
        return nullptr;
    }
    auto output = ns::MutableArray::arrayWithCapacity(array->count());
    for (const ns::Id& element : *array) {
        ns::Id result = keys ? qz_keyValuesWithKeys(element, keys) : qz_keyValuesWithIgnoredKeys(element, ignoredKeys);
        if (result) output->addObject(result);
    }
    return output;
}
