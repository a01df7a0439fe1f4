#pragma once
// Text helpers of model mapping, for property and key names and for turning
// text into a URL. Each takes the text (nil gives nil, or false).
//
// The case helpers change ASCII letters only; other characters pass through
// unchanged. Given the empty text they return it itself.

#include "platform/foundation/String.h"
#include "platform/foundation/URL.h"

// userName -> user_name, URL -> _u_r_l.
ns::Ref<ns::String> qz_underlineFromCamel(const ns::Ref<ns::String>& text);
// user_name -> userName, _id -> Id, a__b -> aB.
ns::Ref<ns::String> qz_camelFromUnderline(const ns::Ref<ns::String>& text);
ns::Ref<ns::String> qz_firstCharLower(const ns::Ref<ns::String>& text);
ns::Ref<ns::String> qz_firstCharUpper(const ns::Ref<ns::String>& text);
// One 32-bit signed integer and nothing else, white space and newlines
// around it allowed: "12", " 12 ", "-3". False for "12a", "1.5" and "".
bool qz_isPureInt(const ns::Ref<ns::String>& text);
// A URL of the text with every character escaped (UTF-8) except ASCII
// letters, digits and !$&'()*+,-./:;=?@_~%#[] (so existing escapes stay);
// nil when the result is not a valid URL.
ns::Ref<ns::URL> qz_url(const ns::Ref<ns::String>& text);
