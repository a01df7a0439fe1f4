#pragma once
// What the two goods models share: text properties that take a goods
// dictionary's values whatever their JSON type, and the key mapping of
// key-value filling ("id" lands in categoryid, other unknown keys are
// dropped, never raised).

#include <string>

#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/KeyValueCoding.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"

namespace kvtr_goods {

// The text a goods value stands for: a text as it is, a number in decimal,
// anything else (null, containers) none.
ns::Ref<ns::String> textValue(const rt::Value& value);

// A copy-text property that stores textValue() of whatever it is given, so
// a goods id sent as a number cannot make key-value filling raise.
template <class T>
rt::Property textProperty(std::string name, ns::Ref<ns::String> T::*member) {
    rt::Property p = rt::property<T>(std::move(name), member, "C");
    p.set = [member](ns::Object& object, const rt::Value& value) {
        static_cast<T&>(object).*member = textValue(value);
        return true;
    };
    return p;
}

// An array property that keeps only an array: any other value (a text, a
// number, JSON null) leaves it nil, so a reply of the wrong shape reads as
// absent instead of raising.
template <class T>
rt::Property arrayProperty(std::string name, ns::Ref<ns::Array> T::*member) {
    rt::Property p = rt::property<T>(std::move(name), member);
    p.set = [member](ns::Object& object, const rt::Value& value) {
        const ns::Id* given = std::get_if<ns::Id>(&value);
        static_cast<T&>(object).*member = given ? ns::cast<ns::Array>(*given) : nullptr;
        return true;
    };
    return p;
}

// Makes key-value filling drop every key the class has no property for.
bool ignoreUnknownKeys(const rt::Class* cls);

// Installs the "id" -> `idProperty` mapping and the silent drop of other
// unknown keys on the class.
bool installKeyMapping(const rt::Class* cls, std::string idProperty = "categoryid");

// The goods models' answer to dictionary mapping's rename hook:
// categoryid <- "id", the rename key-value filling makes.
ns::Ref<ns::Dictionary> categoryIdRename();

// setValueForKey for every entry, in the dictionary's order; keys that are
// not texts are skipped.
void fill(ns::Object& model, const ns::Dictionary& keyedValues);

// A new record filled from a dictionary; an empty one for anything else.
template <class Model>
ns::Ref<Model> filled(const ns::Id& dictionary) {
    auto model = std::make_shared<Model>();
    if (auto values = ns::cast<ns::Dictionary>(dictionary)) fill(*model, *values);
    return model;
}

}  // namespace kvtr_goods
