#pragma once
// Reading fields out of parsed JSON (page texts and server replies) without
// trusting their shape: a container of the wrong kind or a value of a kind a
// text field cannot hold reads as absent, so an unforeseen reply never
// crashes the reader.

#include <string_view>

#include "platform/foundation/Dictionary.h"
#include "platform/foundation/String.h"

namespace kvtr {

// The dictionary under `key` of a dictionary; nil otherwise.
ns::Ref<ns::Dictionary> dictionaryField(const ns::Id& container, std::string_view key);
// The scalar under `key`: a text, a non-boolean number or JSON null; nil for
// anything else (absent, boolean, array, dictionary) or a non-dictionary
// container.
ns::Id scalarField(const ns::Id& container, std::string_view key);
// The "%@" text of scalarField: "(null)" when absent, "<null>" for JSON null.
ns::Ref<ns::String> textField(const ns::Id& container, std::string_view key);
// A value that counts as missing: absent, JSON null, or text (of a scalar)
// that is empty or "(null)".
bool isMissing(const ns::Id& value);
// The double value of a number or of a text's leading number; 0 otherwise.
double doubleValue(const ns::Id& value);
// `text` without any space character.
ns::Ref<ns::String> removingSpaces(const ns::Ref<ns::String>& text);
ns::Ref<ns::String> text(std::string_view utf8);
// The text the HUD shows for a refused platform request: the reply's `msg`,
// or a general server error when it carries none.
ns::Ref<ns::String> refusalMessage(const ns::Id& reply);

}  // namespace kvtr
