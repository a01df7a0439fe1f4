#pragma once
// Blank tests, JSON text parsing, MD5 and the random salt of every signed
// aggregation request. Class methods only, no state.

#include <string_view>

#include "platform/foundation/String.h"
#include "platform/runtime/Object.h"

class KVTRDataFormat {
public:
    KVTRDataFormat() = delete;

    // YES for nil, JSON null, a non-dictionary or an empty dictionary.
    static bool isBlankDictionary(const ns::Id& object);
    // YES for nil, JSON null, a non-array or an empty array.
    static bool isBlankArr(const ns::Id& object);
    // YES for nil, JSON null, "", "NULL", "(null)" or only white space and
    // line breaks ("null" is not blank). Any other kind of object counts as
    // blank: it carries no text.
    static bool isBlankString(const ns::Id& text);
    // YES when the application's first window has a bottom safe-area inset
    // (system version 11 and later).
    static bool isBangsScreen();

    // The JSON value with mutable containers; nil for a nil text or, after
    // logging "json解析失败：<error>", for text that is not JSON.
    static ns::Id dictionaryWithJsonString(const ns::Ref<ns::String>& jsonString);

    // Five decimal digits, 10000 to 99999.
    static ns::Ref<ns::String> KVTRMD5GetRandomStr();
    // 32 lower-case hex digits: the MD5 of the text's UTF-8 bytes up to the
    // first zero byte.
    static ns::Ref<ns::String> KVTRMD5WithNSString(std::string_view text);
};
