#include "net/ModelKeyValues.h"

#include <optional>
#include <vector>

#include "net/ModelClass.h"
#include "net/ModelHooks.h"
#include "net/ModelKeyValuesSupport.h"
#include "net/ModelProperty.h"
#include "net/ModelStringExtension.h"
#include "net/TVFoundation.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/DecimalNumber.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/NumberFormatter.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/URL.h"
#include "platform/runtime/Exception.h"

using tv::detail::containsName;
using tv::detail::fail;
using tv::detail::Operation;

namespace {

const char errorKey = 0;
const char replacedKeyFlagKey = 0;

// Set at load: output follows key paths unless a class says otherwise.
[[maybe_unused]] const bool rootReferencesReplacedKey = [] {
    qz_referenceReplacedKeyWhenCreatingKeyValues(ns::Object::staticClass(), true);
    return true;
}();

const ns::NumberFormatter& sharedFormatter() {
    static const auto* formatter = new ns::NumberFormatter;
    return *formatter;
}

// The value under the first of the key paths that leads to one.
ns::Id readValue(const TVProperty::KeyPaths* paths, const ns::Id& dictionary) {
    if (!paths) return nullptr;
    for (const TVProperty::KeyPath& path : *paths) {
        ns::Id value = dictionary;
        for (const ns::Ref<TVPropertyKey>& step : path) {
            value = step->valueInObject(value);
            if (!value) break;
        }
        if (value) return value;
    }
    return nullptr;
}

// Key-value coding's assignment, without its lookup by name when the plan
// has the runtime property: objects as they are, numbers into scalars as
// key-value coding unboxes them. Anything else, and values that do not fit,
// go through key-value coding itself, which raises as it always does.
void assign(const tv::PlannedProperty& planned, ns::Id value, ns::Object& object) {
    const TVProperty& property = *planned.property;
    if (!value || property.type()->isKVCDisabled()) return;
    if (const rt::Property* p = planned.direct) {
        switch (p->kind) {
            case rt::ValueKind::Object: {
                // Kept for key-value coding should the direct set refuse it.
                const rt::Value boxed(std::move(value));
                if (p->set(object, boxed)) return;
                value = std::get<ns::Id>(boxed);
                break;
            }
            case rt::ValueKind::Bool:
            case rt::ValueKind::Signed:
            case rt::ValueKind::Unsigned:
            case rt::ValueKind::Double:
                if (auto* number = tv::detail::kindOf<ns::Number>(value)) {
                    rt::Value scalar;
                    if (p->kind == rt::ValueKind::Bool) scalar = number->boolValue();
                    else if (p->kind == rt::ValueKind::Double) scalar = number->doubleValue();
                    else if (p->kind == rt::ValueKind::Unsigned) scalar = number->unsignedLongLongValue();
                    else scalar = number->longLongValue();
                    if (p->set(object, scalar)) return;
                }
                break;
            case rt::ValueKind::Block:
                break;
        }
    }
    property.setValueForObject(value, object);
}

bool isNull(const ns::Id& value) { return !value || tv::detail::kindOf<ns::Null>(value); }

template <class T>
bool isA(const ns::Id& value) {
    return tv::detail::kindOf<T>(value) != nullptr;
}

// Mutable properties get mutable copies of their values.
bool needsMutableCopy(const rt::Class* propertyClass, const ns::Id& value) {
    return (propertyClass == ns::MutableArray::staticClass() && isA<ns::Array>(value)) ||
           (propertyClass == ns::MutableDictionary::staticClass() && isA<ns::Dictionary>(value)) ||
           (propertyClass == ns::MutableString::staticClass() && isA<ns::String>(value)) ||
           (propertyClass == ns::MutableData::staticClass() && isA<ns::Data>(value));
}

ns::Id urlArray(const ns::Array& array) {
    auto urls = ns::MutableArray::arrayWithCapacity(array.count());
    for (const ns::Id& element : array) {
        if (!isA<ns::String>(element)) continue;
        if (auto url = qz_url(std::static_pointer_cast<ns::String>(element))) urls->addObject(url);
    }
    return urls;
}

ns::Id simpleValue(const TVPropertyType& type, ns::Id value) {
    const rt::Class* propertyClass = type.typeClass();
    if (propertyClass == ns::String::staticClass()) {
        if (auto* number = tv::detail::kindOf<ns::Number>(value)) {
            value = ns::String::make(number->description());
        } else if (auto* url = tv::detail::kindOf<ns::URL>(value)) {
            value = url->absoluteString();
        }
    } else if (tv::detail::kindOf<ns::String>(value)) {
        // Kept: the value is replaced below, the text is read again after.
        auto text = std::static_pointer_cast<ns::String>(value);
        if (propertyClass == ns::URL::staticClass()) {
            value = qz_url(text);
        } else if (type.isNumberType()) {
            if (propertyClass == ns::DecimalNumber::staticClass()) {
                value = ns::DecimalNumber::withString(text->utf8());
            } else {
                value = sharedFormatter().numberFromString(text->utf8());
            }
            if (type.isBoolType()) {
                std::string lower = text->lowercaseString()->utf8();
                if (lower == "yes" || lower == "true") value = ns::Number::True();
                else if (lower == "no" || lower == "false") value = ns::Number::False();
            }
        }
    } else if (propertyClass == ns::DecimalNumber::staticClass()) {
        // A JSON number for a decimal property keeps its value rather than
        // being dropped for not being a decimal already.
        if (auto* number = tv::detail::kindOf<ns::Number>(value); number && !isA<ns::DecimalNumber>(value)) {
            value = ns::DecimalNumber::withString(number->stringValue());
        }
    }
    if (propertyClass && value && !value->isKindOf(propertyClass)) return nullptr;
    return value;
}

void fillProperty(ns::Object& object, const tv::PlannedProperty& planned, const ns::Id& dictionary,
                  const tv::ValueFilter& filter) {
    const TVProperty& property = *planned.property;
    ns::Id value = readValue(planned.keyPaths.get(), dictionary);
    if (filter.active()) {
        ns::Id filtered = filter(object, value, property);
        if (filtered != value) {
            assign(planned, std::move(filtered), object);
            return;
        }
    }
    if (isNull(value)) return;

    const TVPropertyType& type = *property.type();
    const rt::Class* propertyClass = type.typeClass();
    if (needsMutableCopy(propertyClass, value)) value = value->mutableCopy();
    if (propertyClass && !type.isFromFoundation()) {
        value = qz_objectWithKeyValues(propertyClass, value);
    } else if (planned.elementClass) {
        if (planned.elementClass == ns::URL::staticClass() && isA<ns::Array>(value)) {
            value = urlArray(static_cast<const ns::Array&>(*value));
        } else {
            value = qz_objectArrayWithKeyValuesArray(planned.elementClass, value);
        }
    } else {
        value = simpleValue(type, std::move(value));
    }
    assign(planned, std::move(value), object);
}

}  // namespace

// ---- Error and flag ----

ns::Ref<ns::Error> qz_error(const rt::Class* cls) {
    std::any value = cls->associated(&errorKey);
    auto* error = std::any_cast<ns::Ref<ns::Error>>(&value);
    return error ? *error : nullptr;
}

void setQz_error(const rt::Class* cls, const ns::Ref<ns::Error>& error) {
    cls->setAssociated(&errorKey, error ? std::any(error) : std::any());
}

void qz_referenceReplacedKeyWhenCreatingKeyValues(const rt::Class* cls, bool reference) {
    cls->setAssociated(&replacedKeyFlagKey, reference);
}

bool qz_isReferenceReplacedKeyWhenCreatingKeyValues(const rt::Class* cls) {
    for (const rt::Class* c = cls; c; c = c->superclass()) {
        std::any flag = c->associated(&replacedKeyFlagKey);
        if (auto* reference = std::any_cast<bool>(&flag)) return *reference;
    }
    return false;
}

// ---- Dictionaries to models ----

namespace {

// What filling an object of a class takes, looked up once: the plan's
// properties that the allowed and ignored names let through, the value
// filter and the finishing hook. Rows of one array share it.
class ClassFiller {
public:
    explicit ClassFiller(const rt::Class* cls)
        : cls_(cls), plan_(tv::conversionPlan(cls)), filter_(cls, cls),
          finished_(cls->classMethod<tv::ObjectHook>(tv::KeyValuesDidFinishConvertingToObject)) {
        auto allowed = qz_totalAllowedPropertyNames(cls);
        auto ignored = qz_totalIgnoredPropertyNames(cls);
        properties_.reserve(plan_->properties.size());
        for (const tv::PlannedProperty& planned : plan_->properties) {
            const ns::String& name = *planned.property->name();
            if (allowed->count() && !containsName(*allowed, name)) continue;
            if (containsName(*ignored, name)) continue;
            properties_.push_back(&planned);
        }
    }

    const rt::Class* cls() const { return cls_; }

    // Fills the object from a dictionary already read, within an operation
    // already begun on the class.
    void fill(ns::Object& object, const ns::Id& dictionary) const {
        for (const tv::PlannedProperty* planned : properties_) {
            try {
                fillProperty(object, *planned, dictionary, filter_);
            } catch (const ns::Exception& e) {
                fail(cls_, e.reason());
            } catch (const std::exception& e) {
                fail(cls_, e.what());
            }
        }
        if (finished_) (*finished_)(object);
    }

private:
    const rt::Class* cls_;
    std::shared_ptr<const tv::ClassPlan> plan_;
    std::vector<const tv::PlannedProperty*> properties_;
    const tv::ValueFilter filter_;
    const tv::ObjectHook* finished_;
};

void fill(ns::Object& object, const rt::Class* cls, const ns::Id& dictionary) {
    ClassFiller(cls).fill(object, dictionary);
}

// qz_objectWithKeyValues for one row of an array, with the filler of the
// array's class when the row's model is of that class.
ns::Id objectWithKeyValues(const rt::Class* cls, const ns::Id& keyValues, const ClassFiller* filler) {
    ns::Id dictionary = qz_JSONObject(keyValues);
    Operation operation(cls);
    if (!isA<ns::Dictionary>(dictionary)) {
        fail(cls, tv::KeyValuesNotDictionary);
        return nullptr;
    }
    if (operation.tooDeep()) {
        fail(cls, tv::NestedTooDeep);
        return nullptr;
    }
    ns::Id model = cls->create();
    if (!model) {
        fail(cls, tv::NoInstance);
        return nullptr;
    }
    // As qz_setKeyValues, without reading the dictionary or clearing the
    // error a second time.
    const rt::Class* modelClass = model->classObject();
    if (filler && filler->cls() == modelClass) {
        filler->fill(*model, dictionary);
    } else {
        fill(*model, modelClass, dictionary);
    }
    return model;
}

}  // namespace

ns::Id qz_setKeyValues(const ns::Id& object, const ns::Id& keyValues) {
    if (!object) return nullptr;
    const rt::Class* cls = object->classObject();
    ns::Id dictionary = qz_JSONObject(keyValues);
    Operation operation(cls);
    if (!isA<ns::Dictionary>(dictionary)) {
        fail(cls, tv::KeyValuesNotDictionary);
    } else if (operation.tooDeep()) {
        fail(cls, tv::NestedTooDeep);
    } else {
        fill(*object, cls, dictionary);
    }
    return object;
}

ns::Id qz_objectWithKeyValues(const rt::Class* cls, const ns::Id& keyValues) {
    return objectWithKeyValues(cls, keyValues, nullptr);
}

ns::Id qz_objectWithFilename(const rt::Class* cls, const ns::Ref<ns::String>& filename) {
    Operation operation(cls);
    if (!filename) {
        fail(cls, tv::FilenameNil);
        return nullptr;
    }
    return qz_objectWithFile(cls, ns::Bundle::mainBundle()->pathForResource(filename->utf8(), ""));
}

ns::Id qz_objectWithFile(const rt::Class* cls, const ns::Ref<ns::String>& file) {
    Operation operation(cls);
    if (!file) {
        fail(cls, tv::FileNil);
        return nullptr;
    }
    return qz_objectWithKeyValues(cls, ns::dictionaryWithContentsOfFile(file->utf8()));
}

ns::Ref<ns::MutableArray> qz_objectArrayWithKeyValuesArray(const rt::Class* cls, const ns::Id& keyValuesArray) {
    auto array = ns::cast<ns::Array>(qz_JSONObject(keyValuesArray));
    Operation operation(cls);
    if (!array) {
        fail(cls, tv::KeyValuesArrayNotArray);
        return nullptr;
    }
    if (TVFoundation::isClassFromFoundation(cls)) return ns::cast<ns::MutableArray>(array->mutableCopy());
    if (operation.tooDeep()) {
        fail(cls, tv::NestedTooDeep);
        return nullptr;
    }
    auto models = ns::MutableArray::arrayWithCapacity(array->count());
    // One filler for the rows: set-ups their hooks make apply from the next
    // conversion on.
    std::optional<ClassFiller> filler;
    for (const ns::Id& element : *array) {
        if (isA<ns::Array>(element)) {
            if (auto converted = qz_objectArrayWithKeyValuesArray(cls, element)) models->addObject(converted);
            continue;
        }
        if (!filler) filler.emplace(cls);
        ns::Id converted = objectWithKeyValues(cls, element, &*filler);
        if (converted) models->addObject(converted);
    }
    return models;
}

ns::Ref<ns::MutableArray> qz_objectArrayWithFilename(const rt::Class* cls, const ns::Ref<ns::String>& filename) {
    Operation operation(cls);
    if (!filename) {
        fail(cls, tv::FilenameNil);
        return nullptr;
    }
    return qz_objectArrayWithFile(cls, ns::Bundle::mainBundle()->pathForResource(filename->utf8(), ""));
}

ns::Ref<ns::MutableArray> qz_objectArrayWithFile(const rt::Class* cls, const ns::Ref<ns::String>& file) {
    Operation operation(cls);
    if (!file) {
        fail(cls, tv::FileNil);
        return nullptr;
    }
    return qz_objectArrayWithKeyValuesArray(cls, ns::arrayWithContentsOfFile(file->utf8()));
}

// ---- JSON ----

namespace {

ns::Id parseJSON(const ns::Ref<ns::Data>& data) {
    if (!data) return nullptr;
    ns::Id value = ns::JSONSerialization::JSONObjectWithData(data, 0);
    return isA<ns::Array>(value) || isA<ns::Dictionary>(value) ? value : nullptr;
}

}  // namespace

ns::Id qz_JSONObject(const ns::Id& object) {
    if (!object) return nullptr;
    // Asked for every row: the containers a reply holds answer first.
    if (isA<ns::Dictionary>(object) || isA<ns::Array>(object)) return object;
    if (object->hasTrait(ns::Object::Trait::Text)) {
        return parseJSON(std::static_pointer_cast<ns::String>(object)->dataUsingEncoding(ns::StringEncoding::UTF8));
    }
    if (isA<ns::Data>(object)) return parseJSON(std::static_pointer_cast<ns::Data>(object));
    // A Foundation object gives itself; asked once per element of every
    // array converted, so the detour through qz_keyValues (and the error it
    // would leave on the Foundation class) is skipped.
    if (TVFoundation::isClassFromFoundation(object->classObject())) return object;
    return qz_keyValues(object);
}

ns::Ref<ns::Data> qz_JSONData(const ns::Id& object) {
    if (!object) return nullptr;
    if (auto text = ns::cast<ns::String>(object)) return text->dataUsingEncoding(ns::StringEncoding::UTF8);
    if (auto data = ns::cast<ns::Data>(object)) return data;
    ns::Id json = qz_JSONObject(object);
    // Values JSON cannot hold (dates, data, models under an untyped
    // property) give nil rather than an exception.
    if (!ns::JSONSerialization::isValidJSONObject(json)) return nullptr;
    try {
        return ns::JSONSerialization::dataWithJSONObject(json, 0);
    } catch (const ns::Exception&) {
        return nullptr;
    }
}

ns::Ref<ns::String> qz_JSONString(const ns::Id& object) {
    if (!object) return nullptr;
    if (auto text = ns::cast<ns::String>(object)) return text;
    if (auto data = ns::cast<ns::Data>(object)) return ns::String::withData(data, ns::StringEncoding::UTF8);
    ns::Ref<ns::Data> data = qz_JSONData(object);
    return data ? ns::String::withData(data, ns::StringEncoding::UTF8) : nullptr;
}
