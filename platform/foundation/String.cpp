#include "platform/foundation/String.h"

#include <cstdlib>
#include <cstring>

#include "platform/foundation/CLocale.h"
#include "platform/foundation/CharacterSet.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/PercentEncoding.h"
#include "platform/foundation/PercentEscape.h"
#include "platform/foundation/RegularExpression.h"
#include "platform/foundation/TextEncoding.h"
#include "platform/foundation/Unicode.h"
#include "platform/runtime/Exception.h"

namespace ns {

RT_DEFINE_CLASS(String, Object, "NSString")
RT_DEFINE_CLASS(MutableString, String, "NSMutableString")

namespace {

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }
char asciiUpper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Walks WTF-8 text as UTF-16 units.
class Utf16Units {
public:
    explicit Utf16Units(std::string_view s) : s_(s) {}
    bool atEnd() const { return pendingLow_ == 0 && i_ >= s_.size(); }
    char16_t peek() {
        if (pendingLow_) return pendingLow_;
        char32_t cp;
        unicode::next(s_, i_, cp);
        return cp >= 0x10000 ? char16_t(0xD800 + ((cp - 0x10000) >> 10)) : char16_t(cp);
    }
    char16_t take() {
        if (pendingLow_) {
            char16_t u = pendingLow_;
            pendingLow_ = 0;
            return u;
        }
        char32_t cp;
        i_ = unicode::next(s_, i_, cp);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            pendingLow_ = char16_t(0xDC00 + (cp & 0x3FF));
            return char16_t(0xD800 + (cp >> 10));
        }
        return char16_t(cp);
    }

private:
    std::string_view s_;
    size_t i_ = 0;
    char16_t pendingLow_ = 0;
};

bool unitIsDigit(char16_t u) { return u >= '0' && u <= '9'; }

// Encodes WTF-8 text in an encoding; false when a character has no form in it
// and lossy conversion was not asked for.
bool encode(std::string_view text, StringEncoding encoding, bool lossy, std::string& out) {
    switch (encoding) {
        case StringEncoding::UTF8:
            if (!unicode::hasLoneSurrogate(text)) {
                out.assign(text);
                return true;
            }
            if (!lossy) return false;
            for (size_t i = 0; i < text.size();) {
                char32_t cp;
                i = unicode::next(text, i, cp);
                if (unicode::isSurrogate(cp)) out += '?';
                else unicode::append(out, cp);
            }
            return true;
        case StringEncoding::ASCII:
        case StringEncoding::ISOLatin1: {
            char32_t limit = encoding == StringEncoding::ASCII ? 0x7F : 0xFF;
            for (size_t i = 0; i < text.size();) {
                char32_t cp;
                i = unicode::next(text, i, cp);
                if (cp > limit) {
                    if (!lossy) return false;
                    cp = '?';
                }
                out += static_cast<char>(cp);
            }
            return true;
        }
        case StringEncoding::UTF16:
        case StringEncoding::UTF16BigEndian:
        case StringEncoding::UTF16LittleEndian: {
            // The plain form writes a byte-order mark and the device's order.
            bool big = encoding == StringEncoding::UTF16BigEndian;
            if (encoding == StringEncoding::UTF16) out += "\xFF\xFE";
            for (char16_t u : unicode::toUtf16(text)) {
                char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
                out += big ? hi : lo;
                out += big ? lo : hi;
            }
            return true;
        }
        default:
            return textencoding::encode(text, encoding, lossy, out);
    }
}

bool decode(const uint8_t* bytes, size_t length, StringEncoding encoding, std::string& out) {
    std::string_view view(reinterpret_cast<const char*>(bytes), length);
    switch (encoding) {
        case StringEncoding::UTF8:
            if (!unicode::isValidUtf8(view)) return false;
            out.assign(view);
            return true;
        case StringEncoding::ASCII:
            for (uint8_t b : std::basic_string_view<uint8_t>(bytes, length)) {
                if (b >= 0x80) return false;
            }
            out.assign(view);
            return true;
        case StringEncoding::ISOLatin1:
            for (size_t i = 0; i < length; ++i) unicode::append(out, bytes[i]);
            return true;
        case StringEncoding::UTF16:
        case StringEncoding::UTF16BigEndian:
        case StringEncoding::UTF16LittleEndian: {
            if (length % 2) return false;
            bool big = encoding != StringEncoding::UTF16LittleEndian;
            size_t i = 0;
            if (encoding == StringEncoding::UTF16 && length >= 2) {
                if (bytes[0] == 0xFE && bytes[1] == 0xFF) i = 2;
                else if (bytes[0] == 0xFF && bytes[1] == 0xFE) {
                    big = false;
                    i = 2;
                }
            }
            std::u16string units;
            for (; i < length; i += 2) units += big ? char16_t(bytes[i] << 8 | bytes[i + 1]) : char16_t(bytes[i + 1] << 8 | bytes[i]);
            out = unicode::fromUtf16(units);
            return true;
        }
        default:
            return textencoding::decode(view, encoding, out);
    }
}

bool isWhitespaceOrNewline(char32_t cp) { return CharacterSet::whitespaceAndNewline()->contains(cp); }

// Index of the first byte after leading white space and newlines.
size_t skipSpace(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        char32_t cp;
        size_t n = unicode::next(s, i, cp);
        if (!isWhitespaceOrNewline(cp)) break;
        i = n;
    }
    return i;
}

// Path helpers: the text without trailing slashes, keeping a lone root.
std::string_view withoutTrailingSlashes(std::string_view p) {
    while (p.size() > 1 && p.back() == '/') p.remove_suffix(1);
    return p;
}

std::string collapseSlashes(std::string_view p) {
    std::string out;
    for (char c : p) {
        if (c == '/' && !out.empty() && out.back() == '/') continue;
        out += c;
    }
    return std::string(withoutTrailingSlashes(out));
}

}  // namespace

// ---- Construction ----

String::String(std::string utf8) : utf8_(std::move(utf8)) {
    addTrait(Trait::Text);
    contentsChanged();
}

Ref<String> String::make(std::string utf8) { return std::make_shared<String>(std::move(utf8)); }

void String::contentsChanged() {
    std::string fixed;
    if (unicode::normalize(utf8_, fixed)) utf8_ = std::move(fixed);
    length16_ = unicode::utf16Length(utf8_, &ascii_);
}

Ref<String> String::withCharacters(std::u16string_view units) { return make(unicode::fromUtf16(units)); }

Ref<String> String::withBytes(const void* bytes, size_t length, StringEncoding encoding) {
    std::string out;
    if (!decode(static_cast<const uint8_t*>(bytes), length, encoding, out)) return nullptr;
    return make(std::move(out));
}

Ref<String> String::withData(const Data* data, StringEncoding encoding) {
    if (!data) return nullptr;
    return withBytes(data->bytes(), data->length(), encoding);
}

uint64_t String::length() const { return length16_; }

// ---- Contents ----

std::u16string String::utf16() const { return unicode::toUtf16(utf8_); }

size_t String::byteOffset(uint64_t index, bool* midPair) const {
    if (midPair) *midPair = false;
    if (ascii_) return std::min<uint64_t>(index, utf8_.size());
    uint64_t units = 0;
    size_t i = 0;
    while (i < utf8_.size() && units < index) {
        char32_t cp;
        size_t n = unicode::next(utf8_, i, cp);
        unsigned w = unicode::utf16Width(cp);
        if (units + w > index) {
            if (midPair) *midPair = true;
            return i;
        }
        units += w;
        i = n;
    }
    return i;
}

void String::checkRange(Range range, const char* method) const {
    if (range.location > length16_ || range.length > length16_ - range.location) {
        Exception::raise(RangeException, "-[" + className() + " " + method + "]: Range {" + std::to_string(range.location) +
                                             ", " + std::to_string(range.length) + "} out of bounds; string length " +
                                             std::to_string(length16_));
    }
}

std::string String::utf8Substring(Range range) const {
    bool midStart, midEnd;
    size_t from = byteOffset(range.location, &midStart);
    size_t to = byteOffset(range.location + range.length, &midEnd);
    if (!midStart && !midEnd) return utf8_.substr(from, to - from);
    // A boundary splits a surrogate pair: the halves become lone surrogates.
    return unicode::fromUtf16(utf16().substr(range.location, range.length));
}

char16_t String::characterAtIndex(uint64_t index) const {
    if (index >= length16_) {
        Exception::raise(RangeException, "-[" + className() + " characterAtIndex:]: Range or index out of bounds");
    }
    if (ascii_) return static_cast<unsigned char>(utf8_[index]);
    bool mid;
    size_t at = byteOffset(index, &mid);
    char32_t cp;
    unicode::next(utf8_, at, cp);
    if (cp < 0x10000) return char16_t(cp);
    cp -= 0x10000;
    return mid ? char16_t(0xDC00 + (cp & 0x3FF)) : char16_t(0xD800 + (cp >> 10));
}

bool String::canBeConvertedToEncoding(StringEncoding encoding) const {
    std::string out;
    return encode(utf8_, encoding, false, out);
}

Ref<Data> String::dataUsingEncoding(StringEncoding encoding, bool allowLossyConversion) const {
    std::string out;
    if (!encode(utf8_, encoding, allowLossyConversion, out)) return nullptr;
    return Data::withBytes(out.data(), out.size());
}

uint64_t String::lengthOfBytesUsingEncoding(StringEncoding encoding) const {
    if (encoding == StringEncoding::UTF8) return unicode::hasLoneSurrogate(utf8_) ? 0 : utf8_.size();
    std::string out;
    if (!encode(utf8_, encoding, false, out)) return 0;
    // The byte count of the characters alone, without a byte-order mark.
    if (encoding == StringEncoding::UTF16) return out.size() - 2;
    if (encoding == StringEncoding::UTF32) return out.size() - 4;
    return out.size();
}

// ---- Substrings ----

Ref<String> String::substringFromIndex(uint64_t from) const {
    if (from > length16_) {
        Exception::raise(RangeException, "-[" + className() + " substringFromIndex:]: Index " + std::to_string(from) +
                                             " out of bounds; string length " + std::to_string(length16_));
    }
    return make(utf8Substring({from, length16_ - from}));
}

Ref<String> String::substringToIndex(uint64_t to) const {
    if (to > length16_) {
        Exception::raise(RangeException, "-[" + className() + " substringToIndex:]: Index " + std::to_string(to) +
                                             " out of bounds; string length " + std::to_string(length16_));
    }
    return make(utf8Substring({0, to}));
}

Ref<String> String::substringWithRange(Range range) const {
    checkRange(range, "substringWithRange:");
    return make(utf8Substring(range));
}

Range String::rangeOfComposedCharacterSequenceAtIndex(uint64_t index) const {
    if (index >= length16_) {
        Exception::raise(RangeException,
                         "-[" + className() + " rangeOfComposedCharacterSequenceAtIndex:]: Range or index out of bounds");
    }
    if (ascii_) {
        if (utf8_[index] == '\n' && index > 0 && utf8_[index - 1] == '\r') return {index - 1, 2};
        if (utf8_[index] == '\r' && index + 1 < utf8_.size() && utf8_[index + 1] == '\n') return {index, 2};
        return {index, 1};
    }
    const std::string_view s = utf8_;
    uint64_t units = 0;
    size_t i = 0;
    while (i < s.size()) {
        const uint64_t start = units;
        char32_t cp;
        i = unicode::next(s, i, cp);
        units += unicode::utf16Width(cp);
        auto peek = [&](char32_t& c) { return i < s.size() ? (unicode::next(s, i, c), true) : false; };
        auto takeOne = [&] {
            char32_t c;
            i = unicode::next(s, i, c);
            units += unicode::utf16Width(c);
        };
        char32_t following;
        if (cp == '\r') {
            if (peek(following) && following == '\n') takeOne();
        } else if (unicode::isRegionalIndicator(cp)) {
            // Flags are pairs of regional indicators.
            if (peek(following) && unicode::isRegionalIndicator(following)) takeOne();
            while (peek(following) && unicode::isExtender(following)) takeOne();
        } else {
            while (peek(following)) {
                if (unicode::isExtender(following)) {
                    takeOne();
                } else if (following == unicode::ZeroWidthJoiner) {
                    takeOne();
                    if (i < s.size()) takeOne();
                } else {
                    break;
                }
            }
        }
        if (index < units) return {start, units - start};
    }
    return {index, 1};
}

Range String::rangeOfComposedCharacterSequencesForRange(Range range) const {
    checkRange(range, "rangeOfComposedCharacterSequencesForRange:");
    if (range.length == 0) {
        if (range.location == length16_) return range;
        return {rangeOfComposedCharacterSequenceAtIndex(range.location).location, 0};
    }
    Range first = rangeOfComposedCharacterSequenceAtIndex(range.location);
    Range last = rangeOfComposedCharacterSequenceAtIndex(range.end() - 1);
    return {first.location, last.end() - first.location};
}

// ---- Comparing and searching ----

bool String::isEqualToString(const String* other) const { return other && other->utf8_ == utf8_; }

ComparisonResult String::compare(const String& other, uint32_t options) const {
    const bool fold = options & CaseInsensitiveSearch;
    const bool numeric = options & NumericSearch;
    Utf16Units a(utf8_), b(other.utf8_);
    while (!a.atEnd() && !b.atEnd()) {
        if (numeric && unitIsDigit(a.peek()) && unitIsDigit(b.peek())) {
            // Digit runs compare by value: skip leading zeros, then the longer
            // run is larger, then the first differing digit decides.
            std::u16string da, db;
            while (!a.atEnd() && unitIsDigit(a.peek())) da += a.take();
            while (!b.atEnd() && unitIsDigit(b.peek())) db += b.take();
            da.erase(0, std::min(da.find_first_not_of(u'0'), da.size()));
            db.erase(0, std::min(db.find_first_not_of(u'0'), db.size()));
            if (da.size() != db.size()) return da.size() < db.size() ? ComparisonResult::Ascending : ComparisonResult::Descending;
            int c = da.compare(db);
            if (c != 0) return c < 0 ? ComparisonResult::Ascending : ComparisonResult::Descending;
            continue;
        }
        char16_t ua = a.take(), ub = b.take();
        if (fold) {
            if (ua < 128) ua = char16_t(asciiLower(char(ua)));
            if (ub < 128) ub = char16_t(asciiLower(char(ub)));
        }
        if (ua != ub) return ua < ub ? ComparisonResult::Ascending : ComparisonResult::Descending;
    }
    if (a.atEnd() && b.atEnd()) return ComparisonResult::Same;
    return a.atEnd() ? ComparisonResult::Ascending : ComparisonResult::Descending;
}

bool String::hasPrefix(std::string_view prefix) const {
    return !prefix.empty() && std::string_view(utf8_).substr(0, prefix.size()) == prefix;
}

bool String::hasSuffix(std::string_view suffix) const {
    return !suffix.empty() && utf8_.size() >= suffix.size() &&
           std::string_view(utf8_).substr(utf8_.size() - suffix.size()) == suffix;
}

bool String::containsString(std::string_view other) const { return rangeOfString(other).found(); }

Range String::rangeOfString(std::string_view other, uint32_t options) const {
    return rangeOfString(other, options, {0, length16_});
}

Range String::rangeOfString(std::string_view other, uint32_t options, Range searchRange) const {
    checkRange(searchRange, "rangeOfString:options:range:");
    const Range none{NotFound, 0};
    if (other.empty()) return none;
    if (options & RegularExpressionSearch) return RegularExpression::rangeOfPatternInString(other, *this, options, searchRange);
    const size_t from = byteOffset(searchRange.location);
    const size_t to = byteOffset(searchRange.end());
    if (to - from < other.size()) return none;
    const bool fold = options & CaseInsensitiveSearch;
    auto matchesAt = [&](size_t at) {
        for (size_t k = 0; k < other.size(); ++k) {
            char x = utf8_[at + k], y = other[k];
            if (fold ? asciiLower(x) != asciiLower(y) : x != y) return false;
        }
        return true;
    };
    auto isBoundary = [&](size_t at) { return (static_cast<unsigned char>(utf8_[at]) & 0xC0) != 0x80; };
    const size_t lastStart = to - other.size();
    size_t found = std::string::npos;
    if (options & BackwardsSearch) {
        for (size_t at = lastStart + 1; at-- > from;) {
            if (isBoundary(at) && matchesAt(at)) {
                found = at;
                break;
            }
            if (options & AnchoredSearch) break;
        }
    } else {
        for (size_t at = from; at <= lastStart; ++at) {
            if (isBoundary(at) && matchesAt(at)) {
                found = at;
                break;
            }
            if (options & AnchoredSearch) break;
        }
    }
    if (found == std::string::npos) return none;
    uint64_t location = unicode::utf16Length(std::string_view(utf8_).substr(0, found));
    return {location, unicode::utf16Length(std::string_view(utf8_).substr(found, other.size()))};
}

Range String::rangeOfCharacterFromSet(const CharacterSet& set, uint32_t options) const {
    Range result{NotFound, 0};
    uint64_t units = 0;
    for (size_t i = 0; i < utf8_.size();) {
        char32_t cp;
        i = unicode::next(utf8_, i, cp);
        unsigned w = unicode::utf16Width(cp);
        if (set.contains(cp)) {
            result = {units, w};
            if (!(options & BackwardsSearch)) break;
        }
        units += w;
    }
    return result;
}

// ---- Derived text ----

Ref<String> String::stringByAppendingString(std::string_view other) const { return make(utf8_ + std::string(other)); }

Ref<String> String::stringByReplacingOccurrencesOfString(std::string_view target, std::string_view replacement) const {
    if (target.empty()) return make(utf8_);
    std::string out;
    size_t at = 0;
    for (size_t hit; (hit = utf8_.find(target, at)) != std::string::npos; at = hit + target.size()) {
        out.append(utf8_, at, hit - at);
        out.append(replacement);
    }
    out.append(utf8_, at);
    return make(std::move(out));
}

Ref<String> String::stringByTrimmingCharactersInSet(const CharacterSet& set) const {
    size_t begin = utf8_.size(), end = 0;
    for (size_t i = 0; i < utf8_.size();) {
        char32_t cp;
        size_t n = unicode::next(utf8_, i, cp);
        if (!set.contains(cp)) {
            if (begin == utf8_.size()) begin = i;
            end = n;
        }
        i = n;
    }
    if (begin >= end) return make("");
    return make(utf8_.substr(begin, end - begin));
}

Ref<String> String::stringByTrimmingWhitespace() const { return stringByTrimmingCharactersInSet(*CharacterSet::whitespace()); }

Ref<String> String::stringByTrimmingWhitespaceAndNewlines() const {
    return stringByTrimmingCharactersInSet(*CharacterSet::whitespaceAndNewline());
}

Ref<String> String::lowercaseString() const {
    std::string out = utf8_;
    for (char& c : out) c = asciiLower(c);
    return make(std::move(out));
}

Ref<String> String::uppercaseString() const {
    std::string out = utf8_;
    for (char& c : out) c = asciiUpper(c);
    return make(std::move(out));
}

std::vector<Ref<String>> String::componentsSeparatedByString(std::string_view separator) const {
    std::vector<Ref<String>> parts;
    if (separator.empty()) {
        parts.push_back(make(utf8_));
        return parts;
    }
    size_t at = 0;
    for (size_t hit; (hit = utf8_.find(separator, at)) != std::string::npos; at = hit + separator.size()) {
        parts.push_back(make(utf8_.substr(at, hit - at)));
    }
    parts.push_back(make(utf8_.substr(at)));
    return parts;
}

std::vector<Ref<String>> String::componentsSeparatedByCharactersInSet(const CharacterSet& set) const {
    std::vector<Ref<String>> parts;
    size_t start = 0;
    for (size_t i = 0; i < utf8_.size();) {
        char32_t cp;
        size_t n = unicode::next(utf8_, i, cp);
        if (set.contains(cp)) {
            parts.push_back(make(utf8_.substr(start, i - start)));
            start = n;
        }
        i = n;
    }
    parts.push_back(make(utf8_.substr(start)));
    return parts;
}

// ---- Percent escapes ----

namespace {

using detail::appendPercentEscape;
using detail::hexDigitValue;

}  // namespace

Ref<String> String::stringByAddingPercentEncodingWithAllowedCharacters(const CharacterSet& allowed) const {
    if (unicode::hasLoneSurrogate(utf8_)) return nullptr;
    std::string out;
    out.reserve(utf8_.size());
    for (size_t i = 0; i < utf8_.size();) {
        char32_t cp;
        size_t n = unicode::next(utf8_, i, cp);
        if (allowed.contains(cp)) {
            out.append(utf8_, i, n - i);
        } else {
            for (size_t k = i; k < n; ++k) appendPercentEscape(out, static_cast<unsigned char>(utf8_[k]));
        }
        i = n;
    }
    return make(std::move(out));
}

Ref<String> String::stringByRemovingPercentEncoding() const {
    std::string out;
    out.reserve(utf8_.size());
    for (size_t i = 0; i < utf8_.size(); ++i) {
        if (utf8_[i] != '%') {
            out += utf8_[i];
            continue;
        }
        if (i + 2 >= utf8_.size()) return nullptr;
        int hi = hexDigitValue(utf8_[i + 1]), lo = hexDigitValue(utf8_[i + 2]);
        if (hi < 0 || lo < 0) return nullptr;
        out += static_cast<char>(hi << 4 | lo);
        i += 2;
    }
    if (!unicode::isValidUtf8(out)) return nullptr;
    return make(std::move(out));
}

Ref<String> String::stringByAddingPercentEscapesUsingEncoding(StringEncoding encoding) const {
    return addingPercentEscapes(*this, "", "", encoding);
}

Ref<String> String::stringByReplacingPercentEscapesUsingEncoding(StringEncoding encoding) const {
    return replacingPercentEscapes(*this, "", encoding);
}

// ---- Paths ----

Ref<String> String::lastPathComponent() const {
    std::string_view p = withoutTrailingSlashes(utf8_);
    if (p == "/") return make("/");
    size_t slash = p.rfind('/');
    return make(std::string(slash == std::string_view::npos ? p : p.substr(slash + 1)));
}

Ref<String> String::pathExtension() const {
    std::string_view p = withoutTrailingSlashes(utf8_);
    size_t slash = p.rfind('/');
    std::string_view last = slash == std::string_view::npos ? p : p.substr(slash + 1);
    size_t dot = last.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return make("");
    return make(std::string(last.substr(dot + 1)));
}

Ref<String> String::stringByAppendingPathComponent(std::string_view component) const {
    if (utf8_.empty()) return make(collapseSlashes(component));
    return make(collapseSlashes(utf8_ + "/" + std::string(component)));
}

Ref<String> String::stringByDeletingLastPathComponent() const {
    std::string_view p = withoutTrailingSlashes(utf8_);
    size_t slash = p.rfind('/');
    if (slash == std::string_view::npos) return make("");
    if (slash == 0) return make("/");
    return make(std::string(withoutTrailingSlashes(p.substr(0, slash))));
}

Ref<String> String::stringByDeletingPathExtension() const {
    std::string_view p = withoutTrailingSlashes(utf8_);
    size_t slash = p.rfind('/');
    size_t dot = p.rfind('.');
    size_t lastStart = slash == std::string_view::npos ? 0 : slash + 1;
    if (dot == std::string_view::npos || dot <= lastStart) return make(std::string(p));
    return make(std::string(p.substr(0, dot)));
}

// ---- Numeric values ----

int64_t String::longLongValue() const {
    std::string_view s = utf8_;
    size_t i = skipSpace(s);
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    uint64_t magnitude = 0;
    bool overflow = false;
    for (; i < s.size() && isDigit(s[i]); ++i) {
        unsigned d = unsigned(s[i] - '0');
        if (magnitude > (UINT64_MAX - d) / 10) overflow = true;
        else magnitude = magnitude * 10 + d;
    }
    if (negative) {
        if (overflow || magnitude > uint64_t(INT64_MAX) + 1) return INT64_MIN;
        return magnitude == uint64_t(INT64_MAX) + 1 ? INT64_MIN : -int64_t(magnitude);
    }
    if (overflow || magnitude > uint64_t(INT64_MAX)) return INT64_MAX;
    return int64_t(magnitude);
}

int32_t String::intValue() const {
    int64_t v = longLongValue();
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return int32_t(v);
}

double String::doubleValue() const {
    std::string_view s = utf8_;
    size_t i = skipSpace(s);
    const size_t start = i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t digits = 0;
    while (i < s.size() && isDigit(s[i])) ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i])) ++i, ++digits;
    }
    if (digits == 0) return 0.0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        size_t e = i + 1;
        if (e < s.size() && (s[e] == '+' || s[e] == '-')) ++e;
        if (e < s.size() && isDigit(s[e])) {
            while (e < s.size() && isDigit(s[e])) ++e;
            i = e;
        }
    }
    const std::string number(s.substr(start, i - start));
    return strtod_l(number.c_str(), nullptr, cLocale());
}

bool String::boolValue() const {
    std::string_view s = utf8_;
    size_t i = skipSpace(s);
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    while (i < s.size() && s[i] == '0') ++i;
    if (i >= s.size()) return false;
    char c = s[i];
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

// ---- Object ----

uint64_t String::hash() const {
    // FNV-1a: fixed across runs and machines, so hashed output is reproducible.
    uint64_t h = 0xcbf29ce484222325ull;
    for (char c : utf8_) {
        h ^= static_cast<unsigned char>(c);
        h *= 0x100000001b3ull;
    }
    return h;
}

bool String::isEqual(const Object* other) const {
    return other && other->hasTrait(Trait::Text) && static_cast<const String*>(other)->utf8_ == utf8_;
}

Id String::copy() const { return self(); }

Id String::mutableCopy() const { return MutableString::make(utf8_); }

// ---- MutableString ----

Ref<MutableString> MutableString::make(std::string utf8) { return std::make_shared<MutableString>(std::move(utf8)); }

Id MutableString::copy() const { return String::make(utf8_); }

void MutableString::appendString(std::string_view text) {
    std::string added(text);
    std::string fixed;
    if (unicode::normalize(added, fixed)) added = std::move(fixed);
    // A lone high surrogate at the end may pair with a low one in front of
    // the added; then the whole text is brought back into shape.
    bool mayJoin = utf8_.size() >= 3 && added.size() >= 3 && static_cast<unsigned char>(added[0]) == 0xED &&
                   static_cast<unsigned char>(added[1]) >= 0xB0;
    utf8_ += added;
    if (mayJoin) {
        contentsChanged();
        return;
    }
    bool ascii;
    length16_ += unicode::utf16Length(added, &ascii);
    ascii_ = ascii_ && ascii;
}

void MutableString::appendString(const String* text) {
    if (!text) Exception::raise(InvalidArgumentException, "-[" + className() + " appendString:]: nil argument");
    appendString(std::string_view(text->utf8()));
}

void MutableString::insertString(std::string_view text, uint64_t index) {
    if (index > length16_) {
        Exception::raise(RangeException, "-[" + className() + " insertString:atIndex:]: Range or index out of bounds");
    }
    replaceCharactersInRange({index, 0}, text);
}

void MutableString::deleteCharactersInRange(Range range) {
    if (range.location > length16_ || range.length > length16_ - range.location) {
        Exception::raise(RangeException, "-[" + className() + " deleteCharactersInRange:]: Range or index out of bounds");
    }
    replaceCharactersInRange(range, {});
}

void MutableString::replaceCharactersInRange(Range range, std::string_view text) {
    if (range.location > length16_ || range.length > length16_ - range.location) {
        Exception::raise(RangeException,
                         "-[" + className() + " replaceCharactersInRange:withString:]: Range or index out of bounds");
    }
    bool midStart, midEnd;
    size_t from = byteOffset(range.location, &midStart);
    size_t to = byteOffset(range.end(), &midEnd);
    if (midStart || midEnd) {
        std::u16string units = utf16();
        String inserted{std::string(text)};
        units.replace(range.location, range.length, inserted.utf16());
        utf8_ = unicode::fromUtf16(units);
    } else {
        utf8_.replace(from, to - from, text);
    }
    contentsChanged();
}

void MutableString::setString(std::string_view text) {
    utf8_.assign(text);
    contentsChanged();
}

}  // namespace ns
