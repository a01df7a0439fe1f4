#pragma once
// The parsed type of a declared property, from the type code of its
// attribute string ("i", "B", "@", "@\"NSString\""...). One instance per
// distinct code, shared by every property declared with it.

#include <string>
#include <string_view>

#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

class TVPropertyType : public ns::Object {
    RT_DECLARE_CLASS(TVPropertyType)
public:
    TVPropertyType() = default;

    // The type for the code, parsed on first request and kept for the life of
    // the process.
    static ns::Ref<TVPropertyType> cachedTypeWithCode(std::string_view code);

    // Stores and parses the code; every flag starts false and is set here.
    void setCode(std::string_view code);

    // The code given, or for an object type naming a class, the class name.
    const std::string& code() const { return code_; }
    // The code is exactly "@".
    bool isIdType() const { return idType_; }
    // A numeric scalar, or a class that is NSNumber or below it.
    bool isNumberType() const { return numberType_; }
    // A scalar that may hold a truth value: "c", "C", "b", "B".
    bool isBoolType() const { return boolType_; }
    // The class an object type names; nil for every other code and for a
    // name no class is registered under.
    const rt::Class* typeClass() const { return typeClass_; }
    bool isFromFoundation() const { return fromFoundation_; }
    // Neither read nor written by key-value coding (selectors, ivar and method
    // handles, an empty code).
    bool isKVCDisabled() const { return KVCDisabled_; }

private:
    std::string code_;
    bool idType_ = false;
    bool numberType_ = false;
    bool boolType_ = false;
    const rt::Class* typeClass_ = nullptr;
    bool fromFoundation_ = false;
    bool KVCDisabled_ = false;
};
