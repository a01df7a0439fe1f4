#pragma once
// The channel API's wire format. A request dictionary travels as compact
// JSON, then base64 in 64-character lines with CR LF, then each UTF-16 unit
// c(i) of that text written as the decimal number c(i) + k(i) where k is the
// 64-entry key table (k(i) = table[i mod 64]), joined by "_" between "x" and
// "y", then gzip. Replies come back the same way, with base64 unbroken.

#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Array.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/String.h"

class DecodeGzipBase64 {
public:
    DecodeGzipBase64() = delete;

    // The request body; nil when the dictionary is not JSON (logged) or
    // compression fails.
    static ns::Ref<ns::Data> codingJSON(const ns::Ref<ns::Dictionary>& dictionary);
    // A whole reply: gzip, framing, substitution, base64, JSON (leaves
    // mutable). nil for anything that does not decode.
    static ns::Id decodingJSON(const ns::Ref<ns::Data>& data);
    // A reply sent gzipped only: gzip, then JSON.
    static ns::Id vrq_decodingJSON(const ns::Ref<ns::Data>& data);

    // One one-unit string per UTF-16 unit, in order.
    static ns::Ref<ns::Array> getArrayFromStr(const ns::String& text);
    // The key table as 64 one-character strings.
    static ns::Ref<ns::Array> getArray();
    // The key table's 64 units, shared with the operator's server.
    static const std::u16string& keyUnits();

    // The framed text of a base64 text: "x" N(0) "_" N(1) ... "y".
    static std::string substitute(std::u16string_view base64);
    // Its inverse over the framed text without checking the frame letters;
    // each piece's leading integer minus its key, low 16 bits.
    static std::u16string unsubstitute(std::string_view framed);
};
