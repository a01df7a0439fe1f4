#pragma once
// One field of a flattened parameter tree ("a[b][]") and its value.

#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

class SDPQueryStringPair : public ns::Object {
    RT_DECLARE_CLASS(SDPQueryStringPair)
public:
    SDPQueryStringPair() = default;
    SDPQueryStringPair(ns::Id field, ns::Id value) : field_(std::move(field)), value_(std::move(value)) {}
    static ns::Ref<SDPQueryStringPair> make(ns::Id field, ns::Id value) {
        return std::make_shared<SDPQueryStringPair>(std::move(field), std::move(value));
    }

    const ns::Id& field() const { return field_; }
    const ns::Id& value() const { return value_; }

    // "field=value" with both escaped; the field alone for a nil or null value.
    ns::Ref<ns::String> URLEncodedStringValue() const;

private:
    ns::Id field_;
    ns::Id value_;
};
