#pragma once
// The script that hands a callback to the page: CallbackFromIOS('<json>').

#include <string>
#include <string_view>

#include "platform/foundation/Dictionary.h"
#include "platform/foundation/String.h"

namespace shell {

// The text for the inside of a single-quoted JavaScript string literal that
// the script parser reads back as exactly `text`: backslash, the single
// quote, control characters and the two Unicode line terminators are
// escaped; every other byte stays as it is.
std::string singleQuotedLiteralBody(std::string_view text);

// The callback's JSON text (the JSON codec's encoding of `callback`), or nil
// when the codec cannot encode it.
ns::Ref<ns::String> callbackJSON(const ns::Dictionary& callback);

// "CallbackFromIOS('<json>')" for that JSON text.
std::string callbackScript(const ns::String& json);

}  // namespace shell
