#pragma once
// Attributed text, so far without attributes: the class exists for the code
// that recognises it by class and for labels that take one.

#include <string>

#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

class AttributedString : public Object {
    RT_DECLARE_CLASS(AttributedString)
public:
    AttributedString() : string_(String::make("")) {}
    // Keeps an immutable copy, so a mutable text changed later stays apart.
    explicit AttributedString(const Ref<String>& text)
        : string_(text ? std::static_pointer_cast<String>(text->copy()) : String::make("")) {}
    static Ref<AttributedString> make(Ref<String> text) { return std::make_shared<AttributedString>(std::move(text)); }

    Ref<String> string() const { return string_; }
    uint64_t length() const { return string_->length(); }

    // The platform's form: the text, then its (empty) attributes in braces.
    std::string description() const override { return string_->utf8() + "{\n}"; }
    uint64_t hash() const override { return string_->hash(); }
    using Object::isEqual;
    bool isEqual(const Object* other) const override;
    Id copy() const override;
    Id mutableCopy() const override;

protected:
    Ref<String> string_;
};

class MutableAttributedString : public AttributedString {
    RT_DECLARE_CLASS(MutableAttributedString)
public:
    using AttributedString::AttributedString;
    static Ref<MutableAttributedString> make(Ref<String> text) {
        return std::make_shared<MutableAttributedString>(std::move(text));
    }

    void appendAttributedString(const AttributedString& other);
    void setAttributedString(const AttributedString& other);

    Id copy() const override;
};

}  // namespace ns
