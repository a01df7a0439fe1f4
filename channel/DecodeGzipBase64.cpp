#include "channel/DecodeGzipBase64.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "channel/vrqBXNGzipUtillity.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Unicode.h"

namespace {

// The wire format's key table: the server holds the same 64 characters.
constexpr char16_t kKeyTable[] = u"QwErTy7UiOp3AsDfG5hJkL9zXcVb1NmqWeRtY2uIoP4aSdFgH6jKl8ZxCvB0nM+/";
static_assert(sizeof(kKeyTable) / sizeof(char16_t) == 65);

char16_t key(size_t i) {
    return kKeyTable[i % 64];
}

void logParseFailure(const ns::Ref<ns::Error>& error) {
    ns::log("JSON序列化失败----%@", error ? error->description() : std::string("(null)"));
}

ns::Id parseMutableLeaves(const ns::Ref<ns::Data>& data) {
    ns::Ref<ns::Error> error;
    ns::Id object = ns::JSONSerialization::JSONObjectWithData(data, ns::JSONReadingMutableLeaves, &error);
    if (!object) logParseFailure(error);
    return object;
}

bool isASCII(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The leading integer of a piece: optional sign and digits, 0 without any.
int64_t leadingInteger(std::string_view piece) {
    size_t start = 0;
    while (start < piece.size() && (piece[start] == ' ' || piece[start] == '\t')) ++start;
    bool negative = false;
    if (start < piece.size() && (piece[start] == '+' || piece[start] == '-')) negative = piece[start++] == '-';
    int64_t value = 0;
    for (size_t i = start; i < piece.size() && piece[i] >= '0' && piece[i] <= '9'; ++i) {
        if (value > (INT64_MAX - 9) / 10) break;  // saturates, as the platform's reading does
        value = value * 10 + (piece[i] - '0');
    }
    return negative ? -value : value;
}

}  // namespace

const std::u16string& DecodeGzipBase64::keyUnits() {
    static const std::u16string units(kKeyTable, 64);
    return units;
}

ns::Ref<ns::Array> DecodeGzipBase64::getArrayFromStr(const ns::String& text) {
    std::vector<ns::Id> pieces;
    for (char16_t unit : text.utf16()) pieces.push_back(ns::String::withCharacters(std::u16string_view(&unit, 1)));
    return ns::Array::make(std::move(pieces));
}

ns::Ref<ns::Array> DecodeGzipBase64::getArray() {
    return getArrayFromStr(*ns::String::withCharacters(keyUnits()));
}

std::string DecodeGzipBase64::substitute(std::u16string_view base64) {
    std::string framed;
    framed.reserve(base64.size() * 4 + 2);
    framed += 'x';
    char number[16];
    for (size_t i = 0; i < base64.size(); ++i) {
        if (i > 0) framed += '_';
        int value = int(base64[i]) + int(key(i));
        auto end = std::to_chars(number, number + sizeof number, value).ptr;
        framed.append(number, end);
    }
    framed += 'y';
    return framed;
}

std::u16string DecodeGzipBase64::unsubstitute(std::string_view framed) {
    std::u16string units;
    units.reserve(framed.size() / 3 + 1);
    const char* p = framed.data();
    const char* const end = p + framed.size();
    for (size_t i = 0;; ++i) {
        // The usual piece is a few digits: read them at once, and go the
        // general way only for anything else.
        const char* start = p;
        int64_t value = 0;
        while (p < end && *p >= '0' && *p <= '9' && p - start < 9) value = value * 10 + (*p++ - '0');
        if (p < end && *p != '_') {
            while (p < end && *p != '_') ++p;
            value = leadingInteger(std::string_view(start, p - start));
        }
        units += static_cast<char16_t>(static_cast<uint64_t>(value - key(i)) & 0xffff);
        if (p == end) break;
        ++p;  // the "_"
    }
    return units;
}

ns::Ref<ns::Data> DecodeGzipBase64::codingJSON(const ns::Ref<ns::Dictionary>& dictionary) {
    ns::Ref<ns::Error> error;
    if (!dictionary || !ns::JSONSerialization::isValidJSONObject(dictionary)) {
        logParseFailure(nullptr);
        return nullptr;
    }
    auto json = ns::JSONSerialization::dataWithJSONObject(dictionary, 0, &error);
    if (!json) {
        logParseFailure(error);
        return nullptr;
    }
    std::string base64 = json->base64EncodedString(ns::Base64Encoding64CharacterLineLength);
    // Base64 is ASCII: its UTF-16 units are its bytes.
    std::string framed = substitute(std::u16string(base64.begin(), base64.end()));
    return vrqBXNGzipUtillity::gzipData(ns::Data::withBytes(framed).get());
}

ns::Id DecodeGzipBase64::decodingJSON(const ns::Ref<ns::Data>& data) {
    auto plain = vrqBXNGzipUtillity::uncompressZippedData(data);
    if (!plain) return nullptr;
    // The framed text without its first and last character (the frame
    // letters, unchecked). Replies are ASCII; other text goes the long way.
    std::string_view bytes = plain->view();
    std::string inner;
    if (isASCII(bytes)) {
        if (bytes.size() < 2) return nullptr;
        inner = bytes.substr(1, bytes.size() - 2);
    } else {
        auto text = ns::String::withData(plain, ns::StringEncoding::UTF8);
        if (!text || text->length() < 2) return nullptr;
        inner = text->substringWithRange({1, text->length() - 2})->utf8();
    }
    std::u16string units = unsubstitute(inner);
    std::string base64;
    if (std::all_of(units.begin(), units.end(), [](char16_t unit) { return unit < 0x80; }))
        base64.assign(units.begin(), units.end());
    else
        base64 = ns::String::withCharacters(units)->utf8();
    auto decoded = ns::Data::withBase64EncodedString(base64);
    if (!decoded) return nullptr;
    // The bytes must read as UTF-8 text; that text's bytes are parsed.
    if (ns::unicode::isValidUtf8(decoded->view()) && !decoded->view().starts_with("\xEF\xBB\xBF"))
        return parseMutableLeaves(decoded);
    auto text = ns::String::withData(decoded, ns::StringEncoding::UTF8);
    if (!text) return nullptr;
    if (text->utf8() == decoded->view()) return parseMutableLeaves(decoded);
    return parseMutableLeaves(text->dataUsingEncoding(ns::StringEncoding::UTF8));
}

ns::Id DecodeGzipBase64::vrq_decodingJSON(const ns::Ref<ns::Data>& data) {
    auto plain = vrqBXNGzipUtillity::uncompressZippedData(data);
    if (!plain) return nullptr;
    return parseMutableLeaves(plain);
}
