#include "net/SDPQueryStringPair.h"

#include "net/SDPQueryString.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Text.h"

RT_DEFINE_CLASS(SDPQueryStringPair, ns::Object, "SDPQueryStringPair",
                rt::property<SDPQueryStringPair>("field", &SDPQueryStringPair::field_, "&"),
                rt::property<SDPQueryStringPair>("value", &SDPQueryStringPair::value_, "&"))

ns::Ref<ns::String> SDPQueryStringPair::URLEncodedStringValue() const {
    auto field = SDPEscapeQueryComponent(ns::String(ns::textOf(field_)));
    if (!value_ || ns::cast<ns::Null>(value_)) return field;
    auto value = SDPEscapeQueryComponent(ns::String(ns::textOf(value_)));
    return ns::String::make(field->utf8() + "=" + value->utf8());
}
