#include "platform/foundation/AttributedString.h"

namespace ns {

RT_DEFINE_CLASS(AttributedString, Object, "NSAttributedString")
RT_DEFINE_CLASS(MutableAttributedString, AttributedString, "NSMutableAttributedString")

bool AttributedString::isEqual(const Object* other) const {
    auto text = dynamic_cast<const AttributedString*>(other);
    return text && text->string_->isEqual(string_.get());
}

Id AttributedString::copy() const { return self(); }

Id AttributedString::mutableCopy() const { return MutableAttributedString::make(string_); }

void MutableAttributedString::appendAttributedString(const AttributedString& other) {
    string_ = string_->stringByAppendingString(other.string()->utf8());
}

void MutableAttributedString::setAttributedString(const AttributedString& other) { string_ = other.string(); }

Id MutableAttributedString::copy() const { return AttributedString::make(string_); }

}  // namespace ns
