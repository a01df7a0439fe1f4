#include "platform/foundation/JSONSerialization.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/foundation/Array.h"
#include "platform/foundation/CLocale.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/DictionaryTable.h"
#include "platform/foundation/MutableArray.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/ReplyBudget.h"
#include "platform/foundation/String.h"
#include "platform/foundation/Unicode.h"
#include "platform/runtime/Exception.h"

namespace ns {

namespace {

constexpr const char* DebugDescriptionKey = "NSDebugDescription";

std::string around(const char* what, size_t position) {
    return std::string(what) + " around character " + std::to_string(position) + ".";
}

// ---- Text encoding ----

enum class Encoding { UTF8, UTF16BE, UTF16LE, UTF32BE, UTF32LE };

// A byte-order mark wins; otherwise the zero bytes of the first two
// characters (which are ASCII in any JSON text) tell the width and order.
Encoding detectEncoding(std::string_view b, size_t& bomLength) {
    auto at = [&](size_t i) { return static_cast<uint8_t>(b[i]); };
    const size_t n = b.size();
    bomLength = 0;
    if (n >= 3 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) {
        bomLength = 3;
        return Encoding::UTF8;
    }
    if (n >= 4 && at(0) == 0 && at(1) == 0 && at(2) == 0xFE && at(3) == 0xFF) {
        bomLength = 4;
        return Encoding::UTF32BE;
    }
    if (n >= 4 && at(0) == 0xFF && at(1) == 0xFE && at(2) == 0 && at(3) == 0) {
        bomLength = 4;
        return Encoding::UTF32LE;
    }
    if (n >= 2 && at(0) == 0xFE && at(1) == 0xFF) {
        bomLength = 2;
        return Encoding::UTF16BE;
    }
    if (n >= 2 && at(0) == 0xFF && at(1) == 0xFE) {
        bomLength = 2;
        return Encoding::UTF16LE;
    }
    if (n >= 4) {
        if (at(0) == 0 && at(1) == 0 && at(2) == 0 && at(3) != 0) return Encoding::UTF32BE;
        if (at(0) != 0 && at(1) == 0 && at(2) == 0 && at(3) == 0) return Encoding::UTF32LE;
        if (at(0) == 0 && at(1) != 0 && at(2) == 0) return Encoding::UTF16BE;
        if (at(0) != 0 && at(1) == 0 && at(3) == 0) return Encoding::UTF16LE;
    } else if (n >= 2) {
        if (at(0) == 0 && at(1) != 0) return Encoding::UTF16BE;
        if (at(0) != 0 && at(1) == 0) return Encoding::UTF16LE;
    }
    return Encoding::UTF8;
}

// Converts wide text to UTF-8; false (with the offending unit's index) when
// it does not decode.
bool wideToUtf8(std::string_view b, Encoding encoding, std::string& out, size_t& badIndex) {
    const bool big = encoding == Encoding::UTF16BE || encoding == Encoding::UTF32BE;
    const size_t width = (encoding == Encoding::UTF16BE || encoding == Encoding::UTF16LE) ? 2 : 4;
    auto unit = [&](size_t i) {
        uint32_t v = 0;
        for (size_t k = 0; k < width; ++k) {
            uint32_t byte = static_cast<uint8_t>(b[i * width + (big ? k : width - 1 - k)]);
            v = v << 8 | byte;
        }
        return v;
    };
    const size_t count = b.size() / width;
    if (b.size() % width) {
        badIndex = count;
        return false;
    }
    out.reserve(b.size());
    for (size_t i = 0; i < count; ++i) {
        char32_t cp = unit(i);
        if (width == 2 && unicode::isHighSurrogate(cp) && i + 1 < count && unicode::isLowSurrogate(unit(i + 1))) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
            ++i;
        } else if (unicode::isSurrogate(cp) || cp > 0x10FFFF) {
            badIndex = i;
            return false;
        }
        unicode::append(out, cp);
    }
    return true;
}

// Length of the well-formed UTF-8 sequence at `i`, 0 when it is not one.
size_t utf8SequenceLength(std::string_view s, size_t i) {
    auto byte = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
    const uint8_t lead = byte(i);
    size_t length;
    uint8_t low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > s.size()) return 0;
    if (byte(i + 1) < low || byte(i + 1) > high) return 0;
    for (size_t k = 2; k < length; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
    }
    return length;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// ---- What the reader makes, in bytes ----
//
// As the allocator hands them out: an object made with make_shared comes
// with its counts (16 bytes) and the allocator's header (8), rounded up to
// 16. Small integers, booleans and null are shared: they cost their slot in
// a container only.

constexpr uint64_t allocated(uint64_t bytes) { return std::max<uint64_t>(32, (bytes + 8 + 15) / 16 * 16); }

template <class T>
constexpr uint64_t madeCost(uint64_t extra = 0) {
    return allocated(sizeof(T) + 16 + extra);
}

uint64_t stringCost(size_t length) {
    // Past the short-string room the text has an allocation of its own.
    return madeCost<MutableString>() + (length > 15 ? allocated(length + 1) : 0);
}

// A container's slots and, for an object, its table's entry and index.
constexpr uint64_t ArraySlot = sizeof(Id);
constexpr uint64_t DictionarySlot = DictionaryTable::BytesPerEntry;

// What is made is charged in steps of this many bytes (and at the end).
constexpr uint64_t ChargeStep = 64 * 1024;

// The elements of each array and object, in the order they open, read
// ahead in one pass so that each container is made at its size: one that
// doubles as it grows holds up to twice its elements, and touches what it
// grew out of besides. A hint only: bad text is told by the parse itself,
// and past MaxDepth nothing more is counted. Every count is at most the
// commas of the text, so the hints together stay within its length.
std::vector<uint32_t> countElements(std::string_view s) {
    auto skipString = [&](size_t i) {
        for (++i; i < s.size() && s[i] != '"'; ++i) {
            if (s[i] == '\\') ++i;
        }
        return i;
    };
    size_t containers = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '"') i = skipString(i);
        else if (s[i] == '[' || s[i] == '{') ++containers;
    }
    std::vector<uint32_t> counts(containers, 0);
    struct Open {
        size_t ordinal;
        uint32_t commas;
        bool any;
    };
    std::vector<Open> open;
    size_t next = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
        if (c == ']' || c == '}') {
            if (open.empty()) break;
            counts[open.back().ordinal] = open.back().any ? open.back().commas + 1 : 0;
            open.pop_back();
            continue;
        }
        if (c == ',') {
            if (!open.empty()) ++open.back().commas;
            continue;
        }
        if (c == ':') continue;
        if (!open.empty()) open.back().any = true;
        if (c == '"') {
            i = skipString(i);
        } else if (c == '[' || c == '{') {
            if (open.size() == JSONSerialization::MaxDepth) break;
            open.push_back({next++, 0, false});
        }
    }
    return counts;
}

// ---- The reader: recursive descent, bounded by MaxDepth ----

class Reader {
public:
    Reader(std::string_view text, uint64_t options) : s_(text), options_(options) {}

    Id parseDocument() {
        sizes_ = countElements(s_);
        if (!spend(sizes_.size() * sizeof(uint32_t))) return nullptr;
        skipSpace();
        if (atEnd()) return fail("No value.");
        if (!(options_ & JSONReadingFragmentsAllowed) && s_[i_] != '[' && s_[i_] != '{') {
            return fail("JSON text did not start with array or object and option to allow fragments not set.");
        }
        Id value = parseValue();
        if (!value) return nullptr;
        skipSpace();
        if (!atEnd()) return fail("Garbage at end.");
        if (!settle()) return nullptr;
        return value;
    }

    const std::string& error() const { return error_; }

private:
    bool atEnd() const { return i_ >= s_.size(); }

    void skipSpace() {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r')) ++i_;
    }

    Id fail(std::string text) {
        if (error_.empty()) error_ = std::move(text);
        return nullptr;
    }

    // Counts `bytes` more made; false once the reply they belong to may
    // hold no more (ReplyCharge): the reader stops there.
    bool spend(uint64_t bytes) {
        pending_ += bytes;
        return pending_ < ChargeStep || settle();
    }
    bool settle() {
        if (ReplyCharge::charge(std::exchange(pending_, 0))) return true;
        fail("Not enough room to hold what the data is parsed into.");
        return false;
    }
    // The next container opened is made at the size read ahead for it.
    template <class Slots>
    bool reserveNext(Slots& slots, uint64_t slot) {
        const size_t size = opened_ < sizes_.size() ? sizes_[opened_] : 0;
        ++opened_;
        if (!spend(uint64_t(size) * slot)) return false;
        slots.reserve(size);
        return true;
    }
    // A container's storage grew from `before` to `after` slots.
    bool grew(size_t before, size_t after, uint64_t slot) {
        return after == before || spend(uint64_t(after - before) * slot);
    }

    Id parseValue() {
        if (atEnd()) return fail(around("Invalid value", i_));
        switch (s_[i_]) {
            case '{':
                return parseObject();
            case '[':
                return parseArray();
            case '"': {
                std::string text;
                if (!parseString(text) || !spend(stringCost(text.size()))) return nullptr;
                if (options_ & JSONReadingMutableLeaves) return MutableString::make(std::move(text));
                return String::make(std::move(text));
            }
            case 't':
                return literal("true", Number::True());
            case 'f':
                return literal("false", Number::False());
            case 'n':
                return literal("null", Null::null());
            default:
                if (s_[i_] == '-' || (s_[i_] >= '0' && s_[i_] <= '9')) return parseNumber();
                return fail(around("Invalid value", i_));
        }
    }

    Id literal(std::string_view word, Id value) {
        if (s_.substr(i_, word.size()) != word) return fail(around("Invalid value", i_));
        i_ += word.size();
        return value;
    }

    bool enter() {
        if (++depth_ > JSONSerialization::MaxDepth) {
            fail(around("Too many nested arrays or dictionaries", i_));
            return false;
        }
        return true;
    }

    Id parseArray() {
        if (!enter()) return nullptr;
        ++i_;  // '['
        std::vector<Id> elements;
        if (!reserveNext(elements, ArraySlot)) return nullptr;
        skipSpace();
        if (!atEnd() && s_[i_] == ']') {
            ++i_;
        } else {
            for (;;) {
                skipSpace();
                Id element = parseValue();
                if (!element) return nullptr;
                const size_t room = elements.capacity();
                elements.push_back(std::move(element));
                if (!grew(room, elements.capacity(), ArraySlot)) return nullptr;
                skipSpace();
                if (!atEnd() && s_[i_] == ',') {
                    ++i_;
                    continue;
                }
                if (!atEnd() && s_[i_] == ']') {
                    ++i_;
                    break;
                }
                return fail(around("Badly formed array", i_));
            }
        }
        --depth_;
        if (!spend(madeCost<MutableArray>())) return nullptr;
        if (options_ & JSONReadingMutableContainers) return MutableArray::make(std::move(elements));
        return Array::make(std::move(elements));
    }

    Id parseObject() {
        if (!enter()) return nullptr;
        ++i_;  // '{'
        std::vector<Dictionary::Entry> entries;
        if (!reserveNext(entries, sizeof(Dictionary::Entry))) return nullptr;
        skipSpace();
        if (!atEnd() && s_[i_] == '}') {
            ++i_;
        } else {
            for (;;) {
                skipSpace();
                if (atEnd() || s_[i_] != '"') return fail(around("No string key for value in object", i_));
                std::string key;
                if (!parseString(key) || !spend(stringCost(key.size()))) return nullptr;
                skipSpace();
                if (atEnd() || s_[i_] != ':') return fail(around("Badly formed object", i_));
                ++i_;
                skipSpace();
                if (atEnd()) return fail(around("No value for key in object", i_));
                Id value = parseValue();
                if (!value) return nullptr;
                const size_t room = entries.capacity();
                entries.emplace_back(Id(String::make(std::move(key))), std::move(value));
                if (!grew(room, entries.capacity(), sizeof(Dictionary::Entry))) return nullptr;
                skipSpace();
                if (!atEnd() && s_[i_] == ',') {
                    ++i_;
                    continue;
                }
                if (!atEnd() && s_[i_] == '}') {
                    ++i_;
                    break;
                }
                return fail(around("Badly formed object", i_));
            }
        }
        --depth_;
        // The table is made beside the entries read.
        if (!spend(madeCost<MutableDictionary>(entries.size() * DictionarySlot))) return nullptr;
        if (options_ & JSONReadingMutableContainers) {
            auto dictionary = MutableDictionary::dictionaryWithCapacity(entries.size());
            for (auto& entry : entries) dictionary->setObjectForKey(entry.value, entry.key);
            return dictionary;
        }
        return Dictionary::make(entries);
    }

    // Reads four hexadecimal digits after "\u" at i_.
    bool hexQuad(char32_t& out) {
        if (i_ + 6 > s_.size() || s_[i_] != '\\' || s_[i_ + 1] != 'u') return false;
        char32_t v = 0;
        for (size_t k = 2; k < 6; ++k) {
            int h = hexValue(s_[i_ + k]);
            if (h < 0) return false;
            v = v << 4 | char32_t(h);
        }
        out = v;
        return true;
    }

    bool parseString(std::string& out) {
        const size_t start = i_;
        ++i_;  // opening quote
        for (;;) {
            // Copy the run of plain bytes in one go.
            size_t run = i_;
            while (run < s_.size()) {
                auto c = static_cast<uint8_t>(s_[run]);
                if (c == '"' || c == '\\' || c < 0x20 || c >= 0x80) break;
                ++run;
            }
            out.append(s_, i_, run - i_);
            i_ = run;
            if (atEnd()) {
                fail(around("Unterminated string", start));
                return false;
            }
            auto c = static_cast<uint8_t>(s_[i_]);
            if (c == '"') {
                ++i_;
                return true;
            }
            if (c < 0x20) {
                fail(around("Unescaped control character", i_));
                return false;
            }
            if (c >= 0x80) {
                size_t length = utf8SequenceLength(s_, i_);
                if (!length) {
                    fail(around("Unable to convert data to string", i_));
                    return false;
                }
                out.append(s_, i_, length);
                i_ += length;
                continue;
            }
            if (!parseEscape(out)) return false;
        }
    }

    bool parseEscape(std::string& out) {
        const size_t at = i_;
        if (i_ + 1 >= s_.size()) {
            fail(around("Invalid escape sequence", at));
            return false;
        }
        char e = s_[i_ + 1];
        const char* simple = nullptr;
        switch (e) {
            case '"': simple = "\""; break;
            case '\\': simple = "\\"; break;
            case '/': simple = "/"; break;
            case 'b': simple = "\b"; break;
            case 'f': simple = "\f"; break;
            case 'n': simple = "\n"; break;
            case 'r': simple = "\r"; break;
            case 't': simple = "\t"; break;
            case 'u': break;
            default:
                fail(around("Invalid escape sequence", at));
                return false;
        }
        if (simple) {
            out += simple;
            i_ += 2;
            return true;
        }
        char32_t cp;
        if (!hexQuad(cp)) {
            fail(around("Invalid escape sequence", at));
            return false;
        }
        i_ += 6;
        if (unicode::isLowSurrogate(cp)) {
            fail(around("Unable to convert hex escape sequence (no high character) to UTF8-encoded character", at));
            return false;
        }
        if (unicode::isHighSurrogate(cp)) {
            char32_t low;
            if (!hexQuad(low) || !unicode::isLowSurrogate(low)) {
                fail(around("Unable to convert hex escape sequence (no low character) to UTF8-encoded character", at));
                return false;
            }
            i_ += 6;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        }
        unicode::append(out, cp);
        return true;
    }

    static bool isDigit(char c) { return c >= '0' && c <= '9'; }

    Id parseNumber() {
        const size_t start = i_;
        size_t p = i_;
        if (s_[p] == '-') ++p;
        if (p >= s_.size() || !isDigit(s_[p])) return fail(around("Invalid value", start));
        if (s_[p] == '0' && p + 1 < s_.size() && isDigit(s_[p + 1])) {
            return fail(around("Number with leading zero", start));
        }
        while (p < s_.size() && isDigit(s_[p])) ++p;
        bool integral = true;
        if (p < s_.size() && s_[p] == '.') {
            integral = false;
            ++p;
            if (p >= s_.size() || !isDigit(s_[p])) return fail(around("Invalid value", start));
            while (p < s_.size() && isDigit(s_[p])) ++p;
        }
        if (p < s_.size() && (s_[p] == 'e' || s_[p] == 'E')) {
            integral = false;
            ++p;
            if (p < s_.size() && (s_[p] == '+' || s_[p] == '-')) ++p;
            if (p >= s_.size() || !isDigit(s_[p])) return fail(around("Invalid value", start));
            while (p < s_.size() && isDigit(s_[p])) ++p;
        }
        const char* first = s_.data() + start;
        const char* last = s_.data() + p;
        i_ = p;
        if (integral) {
            int64_t s;
            if (auto r = std::from_chars(first, last, s); r.ec == std::errc() && r.ptr == last) {
                if (s >= Number::SharedFrom && s <= Number::SharedTo) return Number::sharedWithLongLong(s);
                if (!spend(madeCost<Number>())) return nullptr;
                return Number::withLongLong(s);
            }
            uint64_t u;
            if (auto r = std::from_chars(first, last, u); r.ec == std::errc() && r.ptr == last) {
                if (!spend(madeCost<Number>())) return nullptr;
                return Number::withUnsignedLongLong(u);
            }
        }
        // strtod in the C locale: it rounds tiny values to zero or a
        // subnormal where from_chars reports them out of range.
        std::string text(first, last);
        double d = strtod_l(text.c_str(), nullptr, cLocale());
        if (std::isinf(d)) return fail(around("Number out of range", start));
        if (!spend(madeCost<Number>())) return nullptr;
        return Number::withDouble(d);
    }

    std::string_view s_;
    uint64_t options_;
    size_t i_ = 0;
    unsigned depth_ = 0;
    std::string error_;
    // Made and not yet charged.
    uint64_t pending_ = 0;
    // The elements of each container, in the order they open, and how many
    // have opened.
    std::vector<uint32_t> sizes_;
    size_t opened_ = 0;
};

Ref<Error> readError(const std::string& debugDescription) {
    return Error::make(CocoaErrorDomain, JSONSerialization::ReadCorruptError,
                       Dictionary::make({
                           {LocalizedDescriptionKey, String::make("The data couldn’t be read because it isn’t in the correct format.")},
                           {DebugDescriptionKey, String::make(debugDescription)},
                       }));
}

}  // namespace

Id JSONSerialization::JSONObjectWithData(const Data* data, uint64_t options, Ref<Error>* error) {
    if (!data) Exception::raise(InvalidArgumentException, "data parameter is nil");
    std::string_view bytes = data->view();
    size_t bomLength = 0;
    Encoding encoding = detectEncoding(bytes, bomLength);
    bytes.remove_prefix(bomLength);
    std::string converted;
    if (encoding != Encoding::UTF8) {
        size_t badIndex = 0;
        if (!wideToUtf8(bytes, encoding, converted, badIndex)) {
            if (error) *error = readError(around("Unable to convert data to string", badIndex));
            return nullptr;
        }
        bytes = converted;
    }
    Reader reader(bytes, options);
    Id result = reader.parseDocument();
    if (!result && error) *error = readError(reader.error());
    return result;
}

}  // namespace ns
