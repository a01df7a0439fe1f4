#pragma once
// Transforms of text by transform identifier, with the platform's (ICU's)
// identifiers and compound syntax: "Any-Latin; Latin-ASCII; [:^ASCII:] Remove"
// turns any script into plain ASCII.

#include <string_view>

#include "platform/foundation/String.h"

namespace ns {

// The transformed text; nil when `transform` is not a valid identifier (or
// has no reverse, when `reverse` is asked for).
Ref<String> stringByApplyingTransform(const String& text, std::string_view transform, bool reverse);

// In place, as the older C call does: false, leaving the text as it was,
// when the transform is not valid.
bool applyTransform(MutableString& text, std::string_view transform, bool reverse);

}  // namespace ns
