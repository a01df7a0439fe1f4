#pragma once
// The older, encoding-aware percent escaping of the C URL calls. (Escaping
// with a character set, in UTF-8, is String's
// stringByAddingPercentEncodingWithAllowedCharacters.)

#include <string_view>

#include "platform/foundation/String.h"

namespace ns {

// Escapes as %XX, of its bytes in `encoding`, every character that may not
// appear in a URL at all (controls, space, non-ASCII and "\"%<>\\^`{|}") and
// every character of `alsoEscape`, except those of `leaveUnescaped`
// (`alsoEscape` wins when a character is in both). nil when a character to
// escape has no form in the encoding.
Ref<String> addingPercentEscapes(const String& text, std::string_view leaveUnescaped, std::string_view alsoEscape,
                                 StringEncoding encoding);

// Replaces the escapes, except those that stand for a character of
// `leaveEscaped`; each run of adjacent escapes is read as bytes in
// `encoding`. nil when an escape is malformed or a run is not valid text.
Ref<String> replacingPercentEscapes(const String& text, std::string_view leaveEscaped, StringEncoding encoding);

}  // namespace ns
