#pragma once
// The channel SDK's string utilities: MD5 digests, the signed arguments of
// the operator's web pages, the SDK bundle's paths, client order numbers and
// the input checks of the login and pay screens.

#include <string>
#include <string_view>

#include "platform/foundation/String.h"

namespace URLEncode {

// Lower-case hex MD5 of the UTF-8 bytes.
std::string md5String(std::string_view text);
// Lower-case hex, two digits a byte; "" for a length below 1.
std::string stringFromBytes(const unsigned char* bytes, long length);
// Every byte of the text's GB 18030 form escaped as %XX except ASCII letters,
// digits, "-", "." and "_"; nil when the text has no GB 18030 form.
ns::Ref<ns::String> URLEncodedString(const ns::String& text);

// Missing, empty, or only spaces and tabs.
bool isEmptyOrWhitespace(const ns::String* text);
std::string trimmedWhitespaceString(const ns::String& text);
std::string trimmedWhitespaceAndNewlineString(const ns::String& text);

bool isTelephone(const ns::String& text);
bool isEmail(const ns::String& text);
// 6 to 20 characters with at least one digit and one Latin letter.
bool isWeakPswd(const ns::String& text);
bool isSignWithUserName(const ns::String& sign, std::string_view userName, std::string_view appkey,
                        std::string_view sinceTime);
// Present, not empty, and only "0123456789.".
bool isNumber(const ns::String* text);

// The login signature: md5 of "username=<name>&appkey=pwlo@!kit&logintime=<t>"
// with t in whole seconds.
std::string loginSign(std::string_view userName, double secondsSince1970);
// "?gid=..&gameid=..&sid=..&username=..&logintime=..&sign=..&device=ios" for
// the logged-in player and the current time. Values are percent-escaped
// (UTF-8, all but A-Z a-z 0-9 "-._~"); a missing one prints "(null)". The
// sign is over the raw user name.
std::string getWebViewURLArgument();

// "DOVUZ.bundle/<name>" when the main bundle holds "DOVUZ.bundle", else the
// name unchanged: a name for the named-image lookup.
std::string getImagePath(std::string_view name);
// The absolute path of "DOVUZ.bundle", or the main bundle's own path.
std::string getBundlePath();
// Milliseconds since 1970 (no decimals) followed by a random 0..9999.
std::string getOrderNumber();

}  // namespace URLEncode
