#include "platform/foundation/KeyValueCoding.h"


#include "platform/foundation/Array.h"
#include "platform/foundation/CollectionDescription.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Exception.h"

namespace ns {

namespace {

constexpr const char* ValueForUndefinedKeySelector = "valueForUndefinedKey:";
constexpr const char* SetValueForUndefinedKeySelector = "setValue:forUndefinedKey:";
constexpr const char* SetNilValueForKeySelector = "setNilValueForKey:";

// "<Model 0x...>" as key-value coding's messages name the receiver.
std::string receiverText(const Object& object) { return "<" + object.className() + " " + addressText(&object) + ">"; }

// The accessor the platform would send a value to fill a scalar of this type.
const char* scalarSelector(const rt::Property& p) {
    const std::string& t = p.typeCode;
    if (t == "i") return "intValue";
    if (t == "s") return "shortValue";
    if (t == "c") return "charValue";
    if (t == "l") return "longValue";
    if (t == "I") return "unsignedIntValue";
    if (t == "S") return "unsignedShortValue";
    if (t == "C") return "unsignedCharValue";
    if (t == "L") return "unsignedLongValue";
    if (t == "Q") return "unsignedLongLongValue";
    if (t == "f") return "floatValue";
    if (t == "d") return "doubleValue";
    if (t == "B") return "boolValue";
    return "longLongValue";
}

bool isScalar(const rt::Property& p) {
    return p.kind == rt::ValueKind::Signed || p.kind == rt::ValueKind::Unsigned || p.kind == rt::ValueKind::Double ||
           p.kind == rt::ValueKind::Bool;
}

Id box(const rt::Property& p, const rt::Value& value) {
    if (const Id* id = std::get_if<Id>(&value)) return *id;
    const std::string& t = p.typeCode;
    if (const bool* b = std::get_if<bool>(&value)) return Number::withBool(*b);
    if (const int64_t* s = std::get_if<int64_t>(&value)) {
        if (p.kind == rt::ValueKind::Bool) return Number::withBool(*s != 0);
        if (t == "i") return Number::withInt(int32_t(*s));
        if (t == "s") return Number::withShort(int16_t(*s));
        if (t == "c") return Number::withChar(int8_t(*s));
        return Number::withLongLong(*s);
    }
    if (const uint64_t* u = std::get_if<uint64_t>(&value)) {
        if (p.kind == rt::ValueKind::Bool) return Number::withBool(*u != 0);
        if (t == "I") return Number::withUnsignedInt(uint32_t(*u));
        if (t == "S") return Number::withUnsignedShort(uint16_t(*u));
        if (t == "C") return Number::withUnsignedChar(uint8_t(*u));
        return Number::withUnsignedLongLong(*u);
    }
    if (const double* d = std::get_if<double>(&value)) {
        if (t == "f") return Number::withFloat(float(*d));
        return Number::withDouble(*d);
    }
    return nullptr;
}

// The scalar a Number or a text gives for a property; anything else raises
// as the platform does when the value lacks the accessor.
rt::Value unbox(const rt::Property& p, const Object& value) {
    if (auto* number = dynamic_cast<const Number*>(&value)) {
        switch (p.kind) {
        case rt::ValueKind::Bool: return number->boolValue();
        case rt::ValueKind::Double: return number->doubleValue();
        case rt::ValueKind::Unsigned: return number->unsignedLongLongValue();
        default: return number->longLongValue();
        }
    }
    if (auto* text = dynamic_cast<const String*>(&value)) {
        switch (p.kind) {
        case rt::ValueKind::Bool: return text->boolValue();
        case rt::ValueKind::Double: return text->doubleValue();
        case rt::ValueKind::Unsigned: return uint64_t(text->longLongValue());
        default: return p.typeCode == "i" ? int64_t(text->intValue()) : text->longLongValue();
        }
    }
    Exception::raise(InvalidArgumentException, "-[" + value.className() + " " + scalarSelector(p) +
                                                   "]: unrecognized selector sent to instance " + addressText(&value));
}

template <class Handler>
Handler handlerFor(const Object& object, const char* selector) {
    const Handler* handler = object.classObject()->classMethod<Handler>(selector);
    return handler ? *handler : Handler();
}

}  // namespace

void setValueForUndefinedKeyHandler(const rt::Class* cls, ValueForUndefinedKeyHandler handler) {
    cls->addClassMethod(ValueForUndefinedKeySelector, std::move(handler));
}

void setSetValueForUndefinedKeyHandler(const rt::Class* cls, SetValueForUndefinedKeyHandler handler) {
    cls->addClassMethod(SetValueForUndefinedKeySelector, std::move(handler));
}

void setSetNilValueForKeyHandler(const rt::Class* cls, SetNilValueForKeyHandler handler) {
    cls->addClassMethod(SetNilValueForKeySelector, std::move(handler));
}

Id valueForUndefinedKey(const Object& object, const std::string& key) {
    if (auto handler = handlerFor<ValueForUndefinedKeyHandler>(object, ValueForUndefinedKeySelector)) {
        return handler(object, key);
    }
    Exception::raise(UndefinedKeyException, "[" + receiverText(object) +
                                                " valueForUndefinedKey:]: this class is not key value coding-compliant for the key " +
                                                key + ".");
}

void setValueForUndefinedKey(Object& object, const Id& value, const std::string& key) {
    if (auto handler = handlerFor<SetValueForUndefinedKeyHandler>(object, SetValueForUndefinedKeySelector)) {
        handler(object, value, key);
        return;
    }
    Exception::raise(UndefinedKeyException,
                     "[" + receiverText(object) +
                         " setValue:forUndefinedKey:]: this class is not key value coding-compliant for the key " + key + ".");
}

void setNilValueForKey(Object& object, const std::string& key) {
    if (auto handler = handlerFor<SetNilValueForKeyHandler>(object, SetNilValueForKeySelector)) {
        handler(object, key);
        return;
    }
    Exception::raise(InvalidArgumentException,
                     "[" + receiverText(object) + " setNilValueForKey]: could not set nil as the value for the key " + key + ".");
}

Id valueForKey(const Object& object, std::string_view key) {
    if (auto* dictionary = dynamic_cast<const Dictionary*>(&object)) return dictionary->objectForKey(key);
    if (auto* array = dynamic_cast<const Array*>(&object)) {
        std::vector<Id> values;
        values.reserve(array->count());
        for (const Id& element : *array) {
            Id value = valueForKey(*element, key);
            values.push_back(value ? value : Id(Null::null()));
        }
        return Array::make(std::move(values));
    }
    if (const rt::Property* p = object.classObject()->findProperty(key)) return box(*p, p->get(object));
    return valueForUndefinedKey(object, std::string(key));
}

Id valueForKey(const Id& object, std::string_view key) { return object ? valueForKey(*object, key) : nullptr; }

void setValueForKey(Object& object, const Id& value, std::string_view key) {
    if (auto* dictionary = dynamic_cast<MutableDictionary*>(&object)) {
        dictionary->setValueForKey(value, key);
        return;
    }
    const rt::Property* p = object.classObject()->findProperty(key);
    if (!p) {
        setValueForUndefinedKey(object, value, std::string(key));
        return;
    }
    if (isScalar(*p)) {
        if (!value) {
            setNilValueForKey(object, std::string(key));
            return;
        }
        p->set(object, unbox(*p, *value));
        return;
    }
    if (!p->set(object, value ? rt::Value(value) : rt::Value(std::monostate{}))) {
        std::string wanted = p->objectClass ? p->objectClass()->name() : p->typeCode;
        std::string given = value ? "value of class " + value->className() : std::string("nil");
        Exception::raise(InvalidArgumentException, "-[" + object.className() + " setValue:forKey:]: " + given +
                                                       " cannot be stored in the property " + std::string(key) +
                                                       " of type " + wanted);
    }
}

void setValueForKey(const Id& object, const Id& value, std::string_view key) {
    if (object) setValueForKey(*object, value, key);
}

Id valueForKeyPath(const Object& object, std::string_view keyPath) {
    size_t dot = keyPath.find('.');
    if (dot == std::string_view::npos) return valueForKey(object, keyPath);
    if (auto* array = dynamic_cast<const Array*>(&object)) {
        std::vector<Id> values;
        values.reserve(array->count());
        for (const Id& element : *array) {
            Id value = valueForKeyPath(*element, keyPath);
            values.push_back(value ? value : Id(Null::null()));
        }
        return Array::make(std::move(values));
    }
    return valueForKeyPath(valueForKey(object, keyPath.substr(0, dot)), keyPath.substr(dot + 1));
}

Id valueForKeyPath(const Id& object, std::string_view keyPath) {
    return object ? valueForKeyPath(*object, keyPath) : nullptr;
}

void setValueForKeyPath(Object& object, const Id& value, std::string_view keyPath) {
    size_t dot = keyPath.find('.');
    if (dot == std::string_view::npos) {
        setValueForKey(object, value, keyPath);
        return;
    }
    setValueForKeyPath(valueForKey(object, keyPath.substr(0, dot)), value, keyPath.substr(dot + 1));
}

void setValueForKeyPath(const Id& object, const Id& value, std::string_view keyPath) {
    if (object) setValueForKeyPath(*object, value, keyPath);
}

}  // namespace ns
