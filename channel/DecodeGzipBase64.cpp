#include "channel/DecodeGzipBase64.h"

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
    size_t i = 0, start = 0;
    while (true) {
        size_t end = framed.find('_', start);
        std::string_view piece = framed.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        units += static_cast<char16_t>(static_cast<uint64_t>(leadingInteger(piece) - key(i)) & 0xffff);
        ++i;
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return units;
}

ns::Ref<ns::Data> DecodeGzipBase64::codingJSON(const ns::Ref<ns::Dictionary>& dictionary) {
    ns::Ref<ns::Error> error;
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
    auto text = ns::String::withData(plain, ns::StringEncoding::UTF8);
    if (!text || text->length() < 2) return nullptr;
    // Without its first and last character (the frame letters, unchecked).
    auto inner = text->substringWithRange({1, text->length() - 2});
    auto base64 = ns::String::withCharacters(unsubstitute(inner->utf8()));
    auto decoded = ns::Data::withBase64EncodedString(base64->utf8());
    if (!decoded) return nullptr;
    auto json = ns::String::withData(decoded, ns::StringEncoding::UTF8);
    if (!json) return nullptr;
    return parseMutableLeaves(json->dataUsingEncoding(ns::StringEncoding::UTF8));
}

ns::Id DecodeGzipBase64::vrq_decodingJSON(const ns::Ref<ns::Data>& data) {
    auto plain = vrqBXNGzipUtillity::uncompressZippedData(data);
    if (!plain) return nullptr;
    return parseMutableLeaves(plain);
}
