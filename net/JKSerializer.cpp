#include "net/JKSerializer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <typeinfo>
#include <vector>

#include "net/JKArray.h"
#include "net/JKDictionary.h"
#include "net/JKManagedBuffer.h"
#include "net/JKNumberFormat.h"
#include "net/JKScratchPool.h"
#include "net/JKUTF8String.h"
#include "net/JKUTF8.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"
#include "platform/foundation/Unicode.h"
#include "platform/runtime/Exception.h"

RT_DEFINE_CLASS(JKSerializer, ns::Object, "JKSerializer")

namespace {

constexpr size_t outputScratchSize = 4096;
constexpr size_t conversionScratchSize = 16384;

enum class Kind { None, String, Number, Dictionary, Array, Null };

// The text already written for an object, by the object's address. Every
// object reached during a call stays alive until the call ends (the tree
// holds it, or the call keeps what it fetched and what a formatter made), so
// an address cannot come back as another object.
struct JKEncodeCache {
    const ns::Object* object;
    size_t offset;
    size_t length;
};
constexpr size_t cacheSlots = 1024;
using CacheStorage = JKScratchPool<JKEncodeCache, cacheSlots>;

// The last concrete class found to be of each kind, so that most objects are
// classified by one comparison. A class is identified by its C++ dynamic
// type, which costs no call to find.
struct JKFastClassLookup {
    const std::type_info* stringClass = nullptr;
    const std::type_info* numberClass = nullptr;
    const std::type_info* dictionaryClass = nullptr;
    const std::type_info* arrayClass = nullptr;
    const std::type_info* nullClass = nullptr;
};

struct JKEncodeState {
    JKManagedBuffer utf8ConversionBuffer;
    JKManagedBuffer stringBuffer;  // the output
    size_t atIndex = 0;
    JKFastClassLookup fastClassLookup;
    // Slots are valid only where their bit is set, so a call never clears
    // the whole table.
    std::unique_ptr<JKEncodeCache[]> cache = CacheStorage::take();
    uint64_t cacheValid[cacheSlots / 64] = {};
    JKSerializeOptionFlags serializeOptionFlags = 0;
    size_t depth = 0;
    ns::Ref<ns::Error> error;
    JKUnsupportedClassFormatter delegateMethod;  // the delegate's method for the selector
    const JKUnsupportedClassFormatter* block = nullptr;
    // What this call made or copied, kept to its end: formatter answers and
    // the elements fetched from collections other than the codec's own.
    std::vector<ns::Id> formatterAnswers;
    std::vector<std::unique_ptr<ns::Id[]>> fetched;

    ~JKEncodeState() { CacheStorage::give(std::move(cache)); }
};

// Bytes below 80h that cannot be copied as they are: 'u' for \u00XX, else
// the letter after the backslash ('/' only with the slash option).
constexpr auto escapeTable = [] {
    struct Table {
        char code[128] = {};
    } t;
    for (int c = 0; c < 0x20; ++c) t.code[c] = 'u';
    t.code[0x08] = 'b';
    t.code[0x09] = 't';
    t.code[0x0A] = 'n';
    t.code[0x0C] = 'f';
    t.code[0x0D] = 'r';
    t.code[0x22] = '"';
    t.code[0x5C] = '\\';
    t.code[0x2F] = '/';
    return t;
}();

// Literals padded to the block size fixedText copies.
constexpr struct {
    char trueText[JKNumberTextCapacity] = "true";
    char falseText[JKNumberTextCapacity] = "false";
    char nullText[JKNumberTextCapacity] = "null";
} literals;

ns::Id referenceTo(const ns::Object* object) {
    if (!object) return nullptr;
    if (auto held = object->weak_from_this().lock()) return std::const_pointer_cast<ns::Object>(held);
    return ns::Id(ns::Id(), const_cast<ns::Object*>(object));
}

std::string classNameOf(const ns::Object* object) { return object ? object->className() : "(null)"; }

// The object's first two cache lines: its class and, for text, its bytes.
inline void prefetch(const ns::Object* object) {
    __builtin_prefetch(object);
    __builtin_prefetch(reinterpret_cast<const char*>(object) + 64);
}

// The end of the run from `i` of bytes that are copied as they are: below
// 80h and not a control character, quote, backslash or slash. Eight bytes
// are checked at a time.
size_t plainRun(const uint8_t* bytes, size_t i, size_t length) {
    constexpr uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
    auto hasByte = [](uint64_t w, uint8_t b) {
        const uint64_t x = w ^ (ones * b);
        return (x - ones) & ~x & highs;
    };
    while (i + 8 <= length) {
        uint64_t w;
        std::memcpy(&w, bytes + i, 8);
        const uint64_t special = (w & highs) | ((w - ones * 0x20) & ~w & highs) | hasByte(w, '"') |
                                 hasByte(w, '\\') | hasByte(w, '/');
        if (special) break;
        i += 8;
    }
    while (i < length && bytes[i] < 0x80 && escapeTable.code[bytes[i]] == 0) ++i;
    return i;
}

size_t cacheSlotFor(const void* object) {
    const auto p = reinterpret_cast<uintptr_t>(object);
    return (((p >> 21) ^ (p >> 9)) + (p >> 4)) % cacheSlots;
}

class Writer {
public:
    explicit Writer(JKEncodeState& state)
        : s_(state),
          escapeSlash_(state.serializeOptionFlags & JKSerializeFlagEscapeSlash),
          pretty_(state.serializeOptionFlags & JKSerializeFlagPretty),
          trueNumber_(ns::Number::True().get()),
          falseNumber_(ns::Number::False().get()),
          jkArrayClass_(&typeid(JKArray)),
          jkDictionaryClass_(&typeid(JKDictionary)) {}

    bool writeObject(const ns::Object* object);
    bool writeString(const ns::String& string, bool quotes);

private:
    template <class... A>
    bool fail(std::string_view fmt, const A&... args) {
        if (!s_.error) {
            auto userInfo = ns::Dictionary::make({{ns::LocalizedDescriptionKey, ns::str(ns::format(fmt, args...))}});
            s_.error = ns::Error::make(JKErrorDomain, JKErrorCode, std::move(userInfo));
        }
        return false;
    }

    uint8_t* out() const { return s_.stringBuffer.bytes(); }
    size_t capacity() const { return s_.stringBuffer.size(); }
    size_t freeSpace() const { return capacity() - s_.atIndex; }

    bool growTo(size_t size) {
        if (s_.stringBuffer.resize(size)) return true;
        return fail("Unable to resize temporary buffer.");
    }
    // Grows to atIndex + need + slack when fewer than `need` bytes are free.
    bool ensureFree(size_t need, size_t slack) { return freeSpace() >= need || growTo(s_.atIndex + need + slack); }

    void put(uint8_t c) { out()[s_.atIndex++] = c; }
    void put(const void* text, size_t length) {
        std::memcpy(out() + s_.atIndex, text, length);
        s_.atIndex += length;
    }

    // Appends a copy of text written before (the caller made room for it
    // and 256 bytes more). Most are short keys and numbers: those are copied
    // as one 16-byte block, the part past their end being overwritten later.
    // The block may reach past the end of the output into the copy's own
    // place when the text was written just before, hence memmove.
    void copyWithin(size_t offset, size_t length) {
        uint8_t* to = out() + s_.atIndex;
        const uint8_t* from = out() + offset;
        if (length <= 16) {
            std::memmove(to, from, 16);
        } else {
            std::memcpy(to, from, length);
        }
        s_.atIndex += length;
    }

    // Fixed texts ("true", "null", a number's digits) come from buffers of
    // JKNumberTextCapacity bytes and are copied as one block.
    bool fixedText(const char* text, size_t length) {
        if (freeSpace() < JKNumberTextCapacity + 4 && !growTo(s_.atIndex + JKNumberTextCapacity + 4096)) return false;
        std::memcpy(out() + s_.atIndex, text, JKNumberTextCapacity);
        s_.atIndex += length;
        return true;
    }

    void indent() {
        std::memset(out() + s_.atIndex, ' ', 2 * s_.depth);
        s_.atIndex += 2 * s_.depth;
    }

    // Bracket, brace, comma or colon; `step` changes the depth first.
    bool punctuation(char c, int step) {
        if (!pretty_) {
            if (freeSpace() < 5 && !growTo(s_.atIndex + 1 + 1024)) return false;
            s_.depth += step;
            put(uint8_t(c));
            return true;
        }
        return prettyPunctuation(c, step);
    }

    [[gnu::noinline]] bool prettyPunctuation(char c, int step) {
        const size_t need = 2 * (s_.depth + 1) + 16;
        if (s_.atIndex + need > capacity() && !growTo(s_.atIndex + need + 4096)) return false;
        s_.depth += step;
        if (c == ':') {
            put(": ", 2);
        } else if (c == ']' || c == '}') {
            put('\n');
            indent();
            put(uint8_t(c));
        } else {
            put(uint8_t(c));
            put('\n');
            indent();
        }
        return true;
    }

    bool open(char c) {
        if (s_.depth >= JKMaximumNestingDepth) {
            return fail("Maximum nesting depth of %lu exceeded.", JKMaximumNestingDepth);
        }
        return punctuation(c, 1);
    }

    // A \u escape, keeping two bytes free for each byte of the string still
    // to come, which is what the string reserved before it started.
    bool unicodeEscape(uint32_t unit, size_t remaining) {
        static constexpr char hex[] = "0123456789abcdef";
        if (!ensureFree(6 + 2 * remaining + 256, 4096)) return false;
        const char text[6] = {'\\', 'u', hex[(unit >> 12) & 15], hex[(unit >> 8) & 15], hex[(unit >> 4) & 15],
                              hex[unit & 15]};
        put(text, 6);
        return true;
    }

    // A byte below 80h whose escape table entry is set.
    bool escapedByte(uint8_t c, size_t remaining) {
        const char code = escapeTable.code[c];
        if (code == 'u') return unicodeEscape(c, remaining);
        if (code == '/' && !escapeSlash_) {
            put(c);
            return true;
        }
        put('\\');
        put(uint8_t(code));
        return true;
    }

    // The formatter's replacement for an object of no known kind (its kind
    // in `kind`), or nullptr with the error raised.
    [[gnu::noinline]] const ns::Object* formatted(const ns::Object* object, Kind& kind);
    bool writeNonASCII(const ns::String& string, bool quotes);
    bool writeNumber(const ns::Number& number);
    // `cls` is the collection's class, as classify() read it.
    bool writeArray(const ns::Array& array, const std::type_info* cls);
    bool writeDictionary(const ns::Dictionary& dictionary, const std::type_info* cls);
    bool writeEntry(bool first, const ns::Object* key, const ns::Object* value);
    Kind classify(const ns::Object* object);
    // The collection's elements (and keys), fetched in one call into storage
    // the call keeps.
    const ns::Id* fetch(size_t count);

    JKEncodeState& s_;
    const bool escapeSlash_;
    const bool pretty_;
    const ns::Number* const trueNumber_;
    const ns::Number* const falseNumber_;
    // The codec's own containers are walked in place (both classes are final,
    // so comparing the class is enough).
    const std::type_info* const jkArrayClass_;
    const std::type_info* const jkDictionaryClass_;
    // The class classify() last read.
    const std::type_info* lastClass_ = nullptr;
};

// The kinds of the classes met before on this thread. A class's kind never
// changes, and finding it by is-kind-of tests costs several dynamic casts.
class KindMemo {
public:
    bool find(const std::type_info* cls, Kind& kind) const {
        for (size_t i = 0; i < used_; ++i) {
            if (entries_[i].cls == cls) {
                kind = entries_[i].kind;
                return true;
            }
        }
        return false;
    }
    void add(const std::type_info* cls, Kind kind) {
        entries_[next_] = {cls, kind};
        next_ = (next_ + 1) % capacity;
        if (used_ < capacity) ++used_;
    }

private:
    static constexpr size_t capacity = 32;
    struct Entry {
        const std::type_info* cls;
        Kind kind;
    } entries_[capacity];
    size_t used_ = 0;
    size_t next_ = 0;
};

KindMemo& kindMemo() {
    thread_local KindMemo memo;
    return memo;
}

Kind kindByTests(const ns::Object* object) {
    if (dynamic_cast<const ns::String*>(object)) return Kind::String;
    if (dynamic_cast<const ns::Number*>(object)) return Kind::Number;
    if (dynamic_cast<const ns::Dictionary*>(object)) return Kind::Dictionary;
    if (dynamic_cast<const ns::Array*>(object)) return Kind::Array;
    if (dynamic_cast<const ns::Null*>(object)) return Kind::Null;
    return Kind::None;
}

Kind kindOf(const ns::Object* object) {
    if (!object) return Kind::None;
    const std::type_info* cls = &typeid(*object);
    Kind kind;
    if (kindMemo().find(cls, kind)) return kind;
    kind = kindByTests(object);
    kindMemo().add(cls, kind);
    return kind;
}

Kind Writer::classify(const ns::Object* object) {
    if (!object) return Kind::None;
    const std::type_info* cls = &typeid(*object);
    lastClass_ = cls;
    JKFastClassLookup& known = s_.fastClassLookup;
    if (cls == known.stringClass) return Kind::String;
    if (cls == known.numberClass) return Kind::Number;
    if (cls == known.dictionaryClass) return Kind::Dictionary;
    if (cls == known.arrayClass) return Kind::Array;
    if (cls == known.nullClass) return Kind::Null;
    Kind kind;
    if (!kindMemo().find(cls, kind)) {
        kind = kindByTests(object);
        kindMemo().add(cls, kind);
    }
    switch (kind) {
        case Kind::String: known.stringClass = cls; break;
        case Kind::Number: known.numberClass = cls; break;
        case Kind::Dictionary: known.dictionaryClass = cls; break;
        case Kind::Array: known.arrayClass = cls; break;
        case Kind::Null: known.nullClass = cls; break;
        case Kind::None: break;
    }
    return kind;
}

bool Writer::writeObject(const ns::Object* object) {
    // An object's class and its fields sit on different cache lines: start
    // loading the fields while the class is read.
    __builtin_prefetch(reinterpret_cast<const char*>(object) + 64);
    __builtin_prefetch(reinterpret_cast<const char*>(object) + 128);
    const size_t slot = cacheSlotFor(object);
    const bool valid = s_.cacheValid[slot / 64] >> (slot % 64) & 1;
    if (valid && s_.cache[slot].object == object && object) {
        const JKEncodeCache& cached = s_.cache[slot];
        if (cached.length + s_.atIndex + 256 > capacity() && !growTo(s_.atIndex + cached.length + 1024)) return false;
        copyWithin(cached.offset, cached.length);
        return true;
    }

    const ns::Object* value = object;
    Kind kind = classify(object);
    if (kind == Kind::None && !(value = formatted(object, kind))) return false;

    const size_t start = s_.atIndex;
    switch (kind) {
        case Kind::String:
            if (!writeString(*static_cast<const ns::String*>(value), true)) return false;
            break;
        case Kind::Number:
            if (!writeNumber(*static_cast<const ns::Number*>(value))) return false;
            break;
        case Kind::Null:
            if (!fixedText(literals.nullText, 4)) return false;
            break;
        case Kind::Array:
            return writeArray(*static_cast<const ns::Array*>(value), lastClass_);
        case Kind::Dictionary:
            return writeDictionary(*static_cast<const ns::Dictionary*>(value), lastClass_);
        case Kind::None:
            return false;
    }
    // Recorded under the object that was asked for, even when a formatter
    // answered for it.
    s_.cache[slot] = {object, start, s_.atIndex - start};
    s_.cacheValid[slot / 64] |= uint64_t(1) << (slot % 64);
    return true;
}

const ns::Object* Writer::formatted(const ns::Object* object, Kind& kind) {
    ns::Id answer;
    const bool hasBlock = s_.block && *s_.block;
    if (hasBlock) answer = (*s_.block)(referenceTo(object));
    if (!answer && s_.delegateMethod) answer = s_.delegateMethod(hasBlock ? answer : referenceTo(object));
    if (!answer) {
        fail("Unable to serialize object class %@.", classNameOf(object));
        return nullptr;
    }
    kind = classify(answer.get());
    if (kind == Kind::None) {
        fail("Unable to serialize object class %@ that was returned by the unsupported class formatter.  Original "
             "object class was %@.",
             answer->className(), classNameOf(object));
        return nullptr;
    }
    s_.formatterAnswers.push_back(std::move(answer));
    return s_.formatterAnswers.back().get();
}

bool Writer::writeString(const ns::String& string, bool quotes) {
    const std::string& text = string.utf8();
    const size_t length = text.size();
    // One UTF-16 unit per byte only when every character is ASCII.
    if (string.length() != length) return writeNonASCII(string, quotes);
    if (s_.atIndex + 2 * length + 256 > capacity() && !growTo(s_.atIndex + 2 * length + 1024)) return false;
    const size_t start = s_.atIndex;
    if (quotes) put('"');
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    size_t i = 0;
    while (i < length) {
        // Copy the run that needs nothing done in one go.
        const size_t run = plainRun(bytes, i, length);
        if (run > i) {
            put(bytes + i, run - i);
            i = run;
            if (i == length) break;
        }
        const uint8_t c = bytes[i];
        if (c >= 0x80) {
            s_.atIndex = start;
            return writeNonASCII(string, quotes);
        }
        if (!escapedByte(c, length - i - 1)) return false;
        ++i;
    }
    if (quotes) put('"');
    return true;
}

bool Writer::writeNonASCII(const ns::String& string, bool quotes) {
    const std::string& text = string.utf8();
    std::string_view source = text;
    // The stored text is UTF-8 already, except that a lone surrogate has no
    // UTF-8 form: such text is converted with "?" in its place.
    const size_t maximum = string.length() * 3;
    if (std::memchr(text.data(), 0xED, text.size()) && ns::unicode::hasLoneSurrogate(text)) {
        JKManagedBuffer& conversion = s_.utf8ConversionBuffer;
        if (conversion.size() < maximum + 32 && !conversion.resize(maximum + 32 + 1024)) {
            return fail("Unable to resize temporary buffer.");
        }
        size_t n = 0;
        for (size_t i = 0; i < text.size();) {
            char32_t cp;
            const size_t next = ns::unicode::next(text, i, cp);
            if (ns::unicode::isSurrogate(cp)) {
                conversion.bytes()[n++] = '?';
            } else {
                std::memcpy(conversion.bytes() + n, text.data() + i, next - i);
                n += next - i;
            }
            i = next;
        }
        source = {reinterpret_cast<const char*>(conversion.bytes()), n};
    }

    const size_t reserve = 2 * (maximum + 32);
    if (s_.atIndex + reserve + 256 > capacity() && !growTo(s_.atIndex + reserve + 1024)) return false;
    if (quotes) put('"');
    const bool escapeUnicode = s_.serializeOptionFlags & JKSerializeFlagEscapeUnicode;
    const auto* p = reinterpret_cast<const uint8_t*>(source.data());
    const auto* end = p + source.size();
    while (p < end) {
        const uint8_t c = *p;
        if (c < 0x80 ? escapeTable.code[c] == 0 : !escapeUnicode) {
            put(c);
            ++p;
            continue;
        }
        if (c < 0x80) {
            if (!escapedByte(c, size_t(end - p - 1))) return false;
            ++p;
            continue;
        }
        const JKUTF8Sequence seq = JKDecodeUTF8Sequence(p, end);
        if (seq.result != JKConversionOK) return fail("Error converting UTF8.");
        const size_t after = size_t(end - seq.next);
        if (seq.codePoint <= 0xFFFF) {
            if (!unicodeEscape(seq.codePoint, after)) return false;
        } else {
            if (!unicodeEscape((seq.codePoint >> 10) + 0xD7C0, after + 6)) return false;
            if (!unicodeEscape((seq.codePoint & 0x3FF) | 0xDC00, after)) return false;
        }
        p = seq.next;
    }
    if (quotes) {
        if (!ensureFree(1, 1024)) return false;
        put('"');
    }
    return true;
}

bool Writer::writeNumber(const ns::Number& number) {
    if (&number == trueNumber_) return fixedText(literals.trueText, 4);
    if (&number == falseNumber_) return fixedText(literals.falseText, 5);
    const char* type = number.objCType();
    if (!type || type[0] == 0 || type[1] != 0) {
        return fail("NSNumber conversion error, unknown type.  Type: '%s'", type ? type : "<NULL>");
    }
    char text[JKNumberTextCapacity];
    switch (type[0]) {
        case 'c': case 'i': case 's': case 'l': case 'q':
            return fixedText(text, JKFormatSigned(number.longLongValue(), text));
        case 'C': case 'I': case 'S': case 'L': case 'Q': case 'B':
            return fixedText(text, JKFormatUnsigned(number.unsignedLongLongValue(), text));
        case 'f': case 'd': {
            const double v = number.doubleValue();
            if (!std::isfinite(v)) {
                return fail("Floating point values must be finite.  JSON does not support NaN or Infinity.");
            }
            return fixedText(text, JKFormatDouble(v, text));
        }
        default:
            return fail("NSNumber conversion error, unknown type.  Type: '%c' / 0x%2.2x", type[0],
                        unsigned(static_cast<unsigned char>(type[0])));
    }
}

const ns::Id* Writer::fetch(size_t count) {
    s_.fetched.emplace_back(new ns::Id[count]);
    return s_.fetched.back().get();
}

bool Writer::writeArray(const ns::Array& array, const std::type_info* cls) {
    if (!open('[')) return false;
    const uint64_t count = array.count();
    const ns::Id* elements;
    // The codec's immutable arrays are walked in place; others hand over
    // their elements in one call, so that a formatter changing a mutable
    // one cannot pull the elements from under the walk.
    if (cls == jkArrayClass_ && !static_cast<const JKArray&>(array).isMutable()) {
        elements = static_cast<const JKArray&>(array).objects();
    } else {
        elements = fetch(count);
        array.getObjects(const_cast<ns::Id*>(elements), ns::Range{0, count});
    }
    for (uint64_t i = 0; i < count; ++i) {
        // Elements live all over the heap: ask for the next ones early.
        if (i + 4 < count) prefetch(elements[i + 4].get());
        if (i && !punctuation(',', 0)) return false;
        if (!writeObject(elements[i].get())) return false;
    }
    return punctuation(']', -1);
}

bool Writer::writeEntry(bool first, const ns::Object* key, const ns::Object* value) {
    if (!first && !punctuation(',', 0)) return false;
    if (classify(key) != Kind::String) return fail("Key must be a string object.");
    return writeObject(key) && punctuation(':', 0) && writeObject(value);
}

bool Writer::writeDictionary(const ns::Dictionary& dictionary, const std::type_info* cls) {
    if (!open('{')) return false;
    const uint64_t count = dictionary.count();
    // (key, value) pairs in the dictionary's own order: the codec's immutable
    // dictionaries walked in place, others fetched in one call (see arrays).
    std::vector<std::pair<const ns::Object*, const ns::Object*>> sorted;
    const bool pretty = pretty_;
    if (pretty) sorted.reserve(count);
    bool first = true;
    auto visit = [&](const ns::Object* key, const ns::Object* value) {
        if (pretty) {
            sorted.emplace_back(key, value);
            return true;
        }
        const bool ok = writeEntry(first, key, value);
        first = false;
        return ok;
    };
    if (cls == jkDictionaryClass_ && !static_cast<const JKDictionary&>(dictionary).isMutable()) {
        const auto* own = static_cast<const JKDictionary*>(&dictionary);
        const JKHashTableEntry* slots = own->entries();
        const uint64_t capacity = own->capacity();
        for (uint64_t i = 0; i < capacity; ++i) {
            if (i + 4 < capacity && slots[i + 4].key) {
                prefetch(slots[i + 4].key.get());
                prefetch(slots[i + 4].object.get());
            }
            if (slots[i].key && !visit(slots[i].key.get(), slots[i].object.get())) return false;
        }
    } else {
        const ns::Id* keys = fetch(count);
        const ns::Id* values = fetch(count);
        dictionary.getObjectsAndKeys(const_cast<ns::Id*>(values), const_cast<ns::Id*>(keys));
        for (uint64_t i = 0; i < count; ++i) {
            if (!visit(keys[i].get(), values[i].get())) return false;
        }
    }
    if (pretty) {
        // Every key is checked before sorting: only text can be compared.
        for (const auto& entry : sorted) {
            if (classify(entry.first) != Kind::String) return fail("Key must be a string object.");
        }
        std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
            return static_cast<const ns::String*>(a.first)->compare(*static_cast<const ns::String*>(b.first)) ==
                   ns::ComparisonResult::Ascending;
        });
        for (const auto& entry : sorted) {
            if (!writeEntry(first, entry.first, entry.second)) return false;
            first = false;
        }
    }
    return punctuation('}', -1);
}

}  // namespace

ns::Id JKSerializer::serializeObject(const ns::Id& object, JKSerializeOptionFlags options,
                                     JKEncodeOptionType encodeOption, const JKUnsupportedClassFormatter& block,
                                     JKSerializerDelegate* delegate, const char* selector, ns::Ref<ns::Error>* error) {
    JKSerializer serializer;
    return serializer.serialize(object, options, encodeOption, block, delegate, selector, error);
}

ns::Id JKSerializer::serialize(const ns::Id& object, JKSerializeOptionFlags options, JKEncodeOptionType encodeOption,
                               const JKUnsupportedClassFormatter& block, JKSerializerDelegate* delegate,
                               const char* selector, ns::Ref<ns::Error>* error) {
    std::unique_ptr<JKEncodeState> state;
    try {
        state.reset(new JKEncodeState);
    } catch (const std::bad_alloc&) {
        ns::Exception::raise(ns::MallocException, "Unable to allocate state structure.");
    }
    JKEncodeState& s = *state;
    if (error && *error) *error = nullptr;
    if (delegate) {
        if (!selector) {
            ns::Exception::raise(ns::InvalidArgumentException,
                                 "The delegate argument is not NULL, but the selector argument is NULL.");
        }
        s.delegateMethod = delegate->methodForSelector(selector);
        if (!s.delegateMethod) {
            ns::Exception::raise(ns::InvalidArgumentException,
                                 "The serializeUnsupportedClassesUsingDelegate: delegate does not respond to the "
                                 "selector argument.");
        }
    }
    s.block = &block;
    s.serializeOptionFlags = options;
    uint8_t conversionScratch[conversionScratchSize];
    uint8_t outputScratch[outputScratchSize];
    s.utf8ConversionBuffer.setGrowthUnit(4096);
    s.utf8ConversionBuffer.pointAtScratch(conversionScratch, sizeof conversionScratch);
    s.stringBuffer.setGrowthUnit(32768);
    // The output moves to the heap in the container the result will keep.
    s.stringBuffer.setHeapAsBytes((encodeOption & JKEncodeAsTypeMask) == JKEncodeAsData);
    s.stringBuffer.pointAtScratch(outputScratch, sizeof outputScratch);

    Writer writer(s);
    ns::Id result;
    auto fail = [&](std::string message) {
        if (!s.error) {
            s.error = ns::Error::make(JKErrorDomain, JKErrorCode,
                                      ns::Dictionary::make({{ns::LocalizedDescriptionKey, ns::str(std::move(message))}}));
        }
    };
    const ns::Object* root = object.get();
    const Kind rootKind = kindOf(root);
    if ((encodeOption & JKEncodeRequireCollection) && rootKind != Kind::Array && rootKind != Kind::Dictionary) {
        fail(ns::format("Unable to serialize object class %@, expected a NSArray or NSDictionary.", classNameOf(root)));
    } else if ((encodeOption & JKEncodeRequireString) && rootKind != Kind::String) {
        fail(ns::format("Unable to serialize object class %@, expected a NSString.", classNameOf(root)));
    } else {
        bool written;
        // A root string written without quotes is the one case the cache
        // must not see: its text is not a JSON value.
        if ((encodeOption & JKEncodeOmitQuotes) && rootKind == Kind::String) {
            written = writer.writeString(static_cast<const ns::String&>(*root), false);
        } else {
            written = writer.writeObject(root);
        }
        if (written) {
            const char* bytes = reinterpret_cast<const char*>(s.stringBuffer.bytes());
            try {
                switch (encodeOption & JKEncodeAsTypeMask) {
                    case JKEncodeAsData:
                        result = s.stringBuffer.onHeap() ? ns::Data::make(s.stringBuffer.takeHeapBytes(s.atIndex))
                                                         : ns::Data::withBytes(bytes, s.atIndex);
                        break;
                    case JKEncodeAsString:
                        // Everything written is well-formed UTF-8 already.
                        result = s.stringBuffer.onHeap()
                                     ? std::make_shared<JKUTF8String>(s.stringBuffer.takeHeapStorage(s.atIndex))
                                     : std::make_shared<JKUTF8String>(s.stringBuffer.bytes(), s.atIndex);
                        break;
                    default:
                        fail("Unknown encode as type.");
                        break;
                }
            } catch (const std::bad_alloc&) {
                fail((encodeOption & JKEncodeAsTypeMask) == JKEncodeAsData ? "Unable to create NSData object"
                                                                           : "Unable to create NSString object");
            }
        }
    }
    if (error && s.error) *error = s.error;
    return s.error ? nullptr : result;
}
