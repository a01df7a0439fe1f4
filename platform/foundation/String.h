#pragma once
// Text: UTF-8 storage, with lengths and indices in UTF-16 units where the
// platform counts that way. nil (a null Ref) stays distinct from "".
//
// Storage is WTF-8 (see Unicode.h): text built from UTF-16 keeps a lone
// surrogate as its own three-byte sequence, so nothing is lost; converting
// such text to UTF-8 bytes (dataUsingEncoding, percent-encoding) fails as on
// the platform. Text handed to make() that is not UTF-8 has each ill-formed
// sequence replaced by U+FFFD; use withBytes() to have it refused instead.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Format.h"
#include "platform/foundation/Range.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

class CharacterSet;
class Data;

// The platform's encoding numbers.
enum class StringEncoding : uint64_t {
    ASCII = 1,
    UTF8 = 4,
    ISOLatin1 = 5,
    UTF16 = 10,  // with a byte-order mark; text without one is read big-endian
    UTF16BigEndian = 0x90000100,
    UTF16LittleEndian = 0x94000100,
    // Through the codecs of TextEncoding.h.
    JapaneseEUC = 3,
    ShiftJIS = 8,
    ISOLatin2 = 9,
    WindowsCP1251 = 11,
    WindowsCP1252 = 12,
    WindowsCP1253 = 13,
    WindowsCP1254 = 14,
    WindowsCP1250 = 15,
    ISO2022JP = 21,
    MacOSRoman = 30,
    UTF32 = 0x8c000100,  // with a byte-order mark, as UTF16
    UTF32BigEndian = 0x98000100,
    UTF32LittleEndian = 0x9c000100,
    GB18030 = 0x80000632,  // GB 18030-2000, numbered through its CF encoding
};

// Options of compare and rangeOfString (the platform's bit values).
enum StringCompareOptions : uint32_t {
    CaseInsensitiveSearch = 1,  // ASCII letters only
    LiteralSearch = 2,          // always the case: text is compared unit by unit
    BackwardsSearch = 4,
    AnchoredSearch = 8,
    NumericSearch = 64,  // digit runs compare by value ("v2" < "v10")
    // rangeOfString only: the text searched for is a regular expression (see
    // RegularExpression.h); with it only CaseInsensitiveSearch (full Unicode
    // folding then) and AnchoredSearch apply. A bad pattern finds nothing.
    RegularExpressionSearch = 1024,
};

class String : public Object {
    RT_DECLARE_CLASS(String)
public:
    String() { addTrait(Trait::Text); }
    explicit String(std::string utf8);
    static Ref<String> make(std::string utf8);

    const std::string& utf8() const { return utf8_; }

    // Length and indices in UTF-16 code units.
    uint64_t length() const;
    // CORE API ABOVE: add further methods below; do not rename these.

    // ---- Making text ----
    // From UTF-16 units; lone surrogates are kept.
    static Ref<String> withCharacters(std::u16string_view units);
    // From bytes in an encoding: nil when they are not valid in it.
    static Ref<String> withBytes(const void* bytes, size_t length, StringEncoding encoding);
    static Ref<String> withData(const Data* data, StringEncoding encoding);
    static Ref<String> withData(const Ref<Data>& data, StringEncoding encoding) { return withData(data.get(), encoding); }
    template <class... A>
    static Ref<String> withFormat(std::string_view fmt, const A&... args) {
        return make(format(fmt, args...));
    }

    // ---- Contents ----
    const char* UTF8String() const { return utf8_.c_str(); }
    std::u16string utf16() const;
    // Raises NSRangeException beyond the end.
    char16_t characterAtIndex(uint64_t index) const;
    bool canBeConvertedToEncoding(StringEncoding encoding) const;
    // nil when a character has no form in the encoding (lossy: "?" instead).
    Ref<Data> dataUsingEncoding(StringEncoding encoding, bool allowLossyConversion = false) const;
    // Bytes of the text in the encoding, 0 when it cannot be converted.
    uint64_t lengthOfBytesUsingEncoding(StringEncoding encoding) const;

    // ---- Substrings (UTF-16 ranges; NSRangeException when out of bounds) ----
    Ref<String> substringFromIndex(uint64_t from) const;
    Ref<String> substringToIndex(uint64_t to) const;
    Ref<String> substringWithRange(Range range) const;
    // The whole user-perceived character at the index: surrogate pairs,
    // base plus combining marks, emoji with modifiers and joiners, flags.
    Range rangeOfComposedCharacterSequenceAtIndex(uint64_t index) const;
    Range rangeOfComposedCharacterSequencesForRange(Range range) const;

    // ---- Comparing and searching ----
    bool isEqualToString(const String* other) const;
    bool isEqualToString(std::string_view other) const { return utf8_ == other; }
    // UTF-16 unit order, as the platform compares.
    ComparisonResult compare(const String& other, uint32_t options = 0) const;
    ComparisonResult caseInsensitiveCompare(const String& other) const { return compare(other, CaseInsensitiveSearch); }
    // Both answer NO for the empty text, as the platform does.
    bool hasPrefix(std::string_view prefix) const;
    bool hasSuffix(std::string_view suffix) const;
    bool containsString(std::string_view other) const;
    // {NotFound, 0} when absent or when `other` is empty.
    Range rangeOfString(std::string_view other, uint32_t options = 0) const;
    Range rangeOfString(std::string_view other, uint32_t options, Range searchRange) const;
    Range rangeOfCharacterFromSet(const CharacterSet& set, uint32_t options = 0) const;

    // ---- Derived text ----
    Ref<String> stringByAppendingString(std::string_view other) const;
    Ref<String> stringByReplacingOccurrencesOfString(std::string_view target, std::string_view replacement) const;
    Ref<String> stringByTrimmingCharactersInSet(const CharacterSet& set) const;
    Ref<String> stringByTrimmingWhitespace() const;
    Ref<String> stringByTrimmingWhitespaceAndNewlines() const;
    // ASCII letters only.
    Ref<String> lowercaseString() const;
    Ref<String> uppercaseString() const;
    // An empty separator gives the whole text as the one component.
    std::vector<Ref<String>> componentsSeparatedByString(std::string_view separator) const;
    std::vector<Ref<String>> componentsSeparatedByCharactersInSet(const CharacterSet& set) const;

    // ---- Percent escapes ----
    // Escapes, as %XX of the UTF-8 bytes, every character not in `allowed`;
    // nil for text with a lone surrogate.
    Ref<String> stringByAddingPercentEncodingWithAllowedCharacters(const CharacterSet& allowed) const;
    // nil when an escape is malformed or the bytes are not UTF-8.
    Ref<String> stringByRemovingPercentEncoding() const;
    // The older form: escapes what may not appear in a URL at all (space,
    // "%", quotes, brackets other than "[]", controls, non-ASCII); nil when
    // the text has no form in the encoding.
    Ref<String> stringByAddingPercentEscapesUsingEncoding(StringEncoding encoding) const;
    // Every escape replaced by its bytes read in the encoding; nil when an
    // escape is malformed or a run of escaped bytes is not valid in it.
    Ref<String> stringByReplacingPercentEscapesUsingEncoding(StringEncoding encoding) const;

    // ---- Paths ("/" separated) ----
    Ref<String> lastPathComponent() const;
    Ref<String> pathExtension() const;
    Ref<String> stringByAppendingPathComponent(std::string_view component) const;
    Ref<String> stringByDeletingLastPathComponent() const;
    Ref<String> stringByDeletingPathExtension() const;

    // ---- Numeric values ----
    // Leading white space, then an optional sign and digits; the rest is
    // ignored; 0 when there is no number. Integers saturate. Always in the C
    // form ("." decimal point), whatever the process locale.
    int32_t intValue() const;
    int64_t integerValue() const { return longLongValue(); }
    int64_t longLongValue() const;
    double doubleValue() const;
    float floatValue() const { return static_cast<float>(doubleValue()); }
    // YES for a leading "Y", "y", "T", "t" or a non-zero digit (after white
    // space, a sign and zeros).
    bool boolValue() const;

    std::string description() const override { return utf8_; }
    uint64_t hash() const override;
    using Object::isEqual;
    bool isEqual(const Object* other) const override;
    Id copy() const override;
    Id mutableCopy() const override;

protected:
    // Re-derives the cached UTF-16 length after utf8_ changed.
    void contentsChanged();
    // Byte offset of a UTF-16 index; an index inside a surrogate pair gives
    // the offset of the pair and sets `midPair`.
    size_t byteOffset(uint64_t index, bool* midPair = nullptr) const;
    void checkRange(Range range, const char* method) const;
    std::string utf8Substring(Range range) const;

    std::string utf8_;
    uint64_t length16_ = 0;
    bool ascii_ = true;
};

// Equality of hash-table keys: two texts compare their bytes without a call
// through the object; anything else is a->isEqual(b).
inline bool equalKeys(const Object* a, const Object* b) {
    if (a == b) return true;
    if (a->hasTrait(Object::Trait::Text) && b->hasTrait(Object::Trait::Text)) {
        return static_cast<const String*>(a)->utf8() == static_cast<const String*>(b)->utf8();
    }
    return a->isEqual(b);
}

class MutableString : public String {
    RT_DECLARE_CLASS(MutableString)
public:
    using String::String;
    static Ref<MutableString> make(std::string utf8 = {});

    void appendString(std::string_view text);
    // nil raises NSInvalidArgumentException, as on the platform.
    void appendString(const String* text);
    template <class... A>
    void appendFormat(std::string_view fmt, const A&... args) {
        appendString(format(fmt, args...));
    }
    // Indices and ranges in UTF-16 units; NSRangeException when out of bounds.
    void insertString(std::string_view text, uint64_t index);
    void deleteCharactersInRange(Range range);
    void replaceCharactersInRange(Range range, std::string_view text);
    void setString(std::string_view text);

    Id copy() const override;
};

// Shorthand for a text value.
inline Ref<String> str(std::string utf8) { return String::make(std::move(utf8)); }

}  // namespace ns
