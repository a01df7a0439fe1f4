#include "platform/foundation/Text.h"

#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"

namespace ns {

std::string textOf(const Object* value) {
    if (!value) return "(null)";
    if (auto text = dynamic_cast<const String*>(value)) return text->utf8();
    if (auto number = dynamic_cast<const Number*>(value)) return number->stringValue();
    if (dynamic_cast<const Null*>(value)) return "<null>";
    // Collections live in their own files; they are recognised by class so
    // this rule needs none of their headers.
    if (value->isKindOf("NSArray") || value->isKindOf("NSDictionary") || value->isKindOf("NSSet")) {
        return collectionDescription(*value, 0);
    }
    return value->description();
}

}  // namespace ns
