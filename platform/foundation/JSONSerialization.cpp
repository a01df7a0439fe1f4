#include "platform/foundation/JSONSerialization.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <span>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/foundation/Array.h"
#include "platform/foundation/CLocale.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/DictionaryTable.h"
#include "platform/foundation/JSONValues.h"
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
// 16. Scalars held in a container's slots cost their slot only; small
// integers, booleans and null made into objects are shared.

constexpr uint64_t allocated(uint64_t bytes) { return JSONBlock<Id>::allocatedBytes(bytes); }


uint64_t stringCost(size_t length) {
    // Past the short-string room the text has an allocation of its own.
    return jsonMadeCost<MutableString>() + (length > 15 ? allocated(length + 1) : 0);
}

// What a scalar costs made into an object of its own (mutable containers).
uint64_t objectCost(const JSONSlot& slot) {
    switch (slot.kind) {
        case JSONSlot::Signed: {
            const auto v = slot.get<int64_t>();
            return v >= Number::SharedFrom && v <= Number::SharedTo ? 0 : jsonMadeCost<Number>();
        }
        case JSONSlot::Unsigned:
        case JSONSlot::Double:
            return jsonMadeCost<Number>();
        default:
            return slot.kind >= JSONSlot::Text ? stringCost(slot.kind - JSONSlot::Text) : 0;
    }
}

// A slot of a mutable container, and an entry of a mutable dictionary's
// table with its index.
constexpr uint64_t ArraySlot = sizeof(Id);
constexpr uint64_t DictionarySlot = DictionaryTable::BytesPerEntry;
// A list of keys kept for the read to share, in its table.
constexpr uint64_t KeysEntry = 64 + 16;

// What is made is charged in steps of this many bytes (and at the end).
constexpr uint64_t ChargeStep = 64 * 1024;

// The keys of one read, one object per text: found by their text, by
// open addressing over hashes of it, at most half full.
class KeyTable {
public:
    // The key of this text; nil when there is none yet.
    const String* find(std::string_view text, uint64_t hash) const {
        if (index_.empty()) return nullptr;
        const size_t mask = index_.size() - 1;
        for (size_t at = hash & mask; index_[at].position; at = (at + 1) & mask) {
            const Slot& slot = index_[at];
            if (slot.hash == hash && keys_[slot.position - 1]->utf8() == text) return keys_[slot.position - 1].get();
        }
        return nullptr;
    }
    // Adds a key of a text not in the table, with its text's hash.
    void add(Ref<String> key, uint64_t hash) {
        if ((keys_.size() + 1) * 2 > index_.size()) rehash(std::max<size_t>(32, index_.size() * 2));
        keys_.push_back(std::move(key));
        place(hash, uint32_t(keys_.size()));
    }
    // What adding one more key takes beside the key itself, amortized.
    static constexpr uint64_t BytesPerKey = sizeof(Ref<String>) * 2 + 2 * 16;

private:
    struct Slot {
        uint64_t hash = 0;
        uint32_t position = 0;  // + 1; 0 is empty
    };
    void place(uint64_t hash, uint32_t position) {
        const size_t mask = index_.size() - 1;
        size_t at = hash & mask;
        while (index_[at].position) at = (at + 1) & mask;
        index_[at] = {hash, position};
    }
    void rehash(size_t size) {
        std::vector<Slot> old = std::exchange(index_, std::vector<Slot>(size));
        for (const Slot& slot : old) {
            if (slot.position) place(slot.hash, slot.position);
        }
    }

    std::vector<Ref<String>> keys_;
    std::vector<Slot> index_;
};

// Key lists by their keys' addresses (the read's keys are one object per
// text).
using KeyAddresses = std::span<const Object* const>;
struct KeysHash {
    using is_transparent = void;
    uint64_t operator()(KeyAddresses keys) const noexcept {
        uint64_t h = keys.size();
        for (const Object* key : keys) h = (h ^ reinterpret_cast<uintptr_t>(key)) * 0x9E3779B97F4A7C15ull;
        return h ^ (h >> 29);
    }
    size_t operator()(const Ref<const JSONKeys>& keys) const noexcept { return keys->listHash(); }
};
struct KeysEqual {
    using is_transparent = void;
    static bool same(const JSONKeys& a, KeyAddresses b) {
        if (a.count() != b.size()) return false;
        for (size_t i = 0; i < b.size(); ++i) {
            if (a.keys()[i].get() != b[i]) return false;
        }
        return true;
    }
    bool operator()(const Ref<const JSONKeys>& a, const Ref<const JSONKeys>& b) const noexcept {
        if (a->count() != b->count()) return false;
        for (size_t i = 0; i < a->count(); ++i) {
            if (a->keys()[i].get() != b->keys()[i].get()) return false;
        }
        return true;
    }
    bool operator()(KeyAddresses a, const Ref<const JSONKeys>& b) const noexcept { return same(*b, a); }
    bool operator()(const Ref<const JSONKeys>& a, KeyAddresses b) const noexcept { return same(*a, b); }
};

// ---- The reader: recursive descent in one pass, bounded by MaxDepth ----
//
// The values of each container being read gather in the blocks of its
// depth, reused by the containers that follow at that depth; when it ends,
// its container takes them: a copy at their size, or, past 64 KiB and with
// its values all held in place or all objects, the block itself. A
// container's size is what its one pass gathered.

class Reader {
public:
    Reader(std::string_view text, uint64_t options)
        : s_(text),
          options_(options),
          mutableContainers_(options & JSONReadingMutableContainers),
          textInPlace_(!(options & JSONReadingMutableLeaves)) {}

    Id parseDocument() {
        skipSpace();
        if (atEnd()) return failed("No value.");
        if (!(options_ & JSONReadingFragmentsAllowed) && s_[i_] != '[' && s_[i_] != '{') {
            return failed("JSON text did not start with array or object and option to allow fragments not set.");
        }
        reach(0);
        if (!parseValue(0)) return nullptr;
        skipSpace();
        if (!atEnd()) return failed("Garbage at end.");
        if (!settle()) return nullptr;
        return levels_[0].slots[0].value(levels_[0].objects.data());
    }

    const std::string& error() const { return error_; }

private:
    // What the containers open at one depth gather.
    struct Level {
        JSONBlock<JSONSlot> slots;
        JSONBlock<Id> objects;
        JSONBlock<const Object*> keys;
        // The keys of the last object ended here: its next sibling most
        // likely has the same.
        Ref<const JSONKeys> lastKeys;
    };

    bool atEnd() const { return i_ >= s_.size(); }

    void skipSpace() {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r')) ++i_;
    }

    bool fail(std::string text) {
        if (error_.empty()) error_ = std::move(text);
        return false;
    }
    Id failed(std::string text) {
        fail(std::move(text));
        return nullptr;
    }

    // Counts `bytes` more made; false once the reply they belong to may
    // hold no more (ReplyCharge): the reader stops there.
    [[gnu::always_inline]] bool spend(uint64_t bytes) {
        pending_ += bytes;
        return pending_ < ChargeStep || settle();
    }
    bool settle() {
        if (ReplyCharge::charge(std::exchange(pending_, 0))) return true;
        return fail("Not enough room to hold what the data is parsed into.");
    }

    // The level of `depth`, made when first reached. Levels move as deeper
    // ones are added: they are found by depth, not held.
    void reach(size_t depth) {
        if (levels_.empty()) levels_.reserve(8);
        while (levels_.size() <= depth) levels_.emplace_back();
    }

    [[gnu::always_inline]] bool put(Level& into, JSONSlot slot) { return spend(into.slots.push(slot)); }
    bool putObject(Level& into, Id object) {
        const uint64_t made = into.slots.push(JSONSlot::object(into.objects.size()));
        return spend(made + into.objects.push(std::move(object)));
    }

    // Appends the value at i_ to the level of depth `at`.
    bool parseValue(size_t at) {
        if (atEnd()) return fail(around("Invalid value", i_));
        switch (s_[i_]) {
            case '{':
                return parseObject(at);
            case '[':
                return parseArray(at);
            case '"': {
                std::string_view text;
                if (!parseString(text)) return false;
                Level& into = levels_[at];
                if (textInPlace_ && text.size() <= JSONSlot::InPlaceText) return put(into, JSONSlot::text(text));
                if (!spend(stringCost(text.size()))) return false;
                if (!textInPlace_) return putObject(into, MutableString::make(std::string(text)));
                return putObject(into, String::make(std::string(text)));
            }
            case 't':
                return literal("true") && put(levels_[at], JSONSlot::plain(JSONSlot::True));
            case 'f':
                return literal("false") && put(levels_[at], JSONSlot::plain(JSONSlot::False));
            case 'n':
                return literal("null") && put(levels_[at], JSONSlot::plain(JSONSlot::Null));
            default:
                if (s_[i_] == '-' || (s_[i_] >= '0' && s_[i_] <= '9')) return parseNumber(levels_[at]);
                return fail(around("Invalid value", i_));
        }
    }

    bool literal(std::string_view word) {
        if (s_.substr(i_, word.size()) != word) return fail(around("Invalid value", i_));
        i_ += word.size();
        return true;
    }

    bool enter() {
        if (++depth_ > JSONSerialization::MaxDepth) {
            return fail(around("Too many nested arrays or dictionaries", i_));
        }
        return true;
    }

    bool parseArray(size_t at) {
        if (!enter()) return false;
        ++i_;  // '['
        const size_t mine = depth_;
        reach(mine);
        skipSpace();
        if (!atEnd() && s_[i_] == ']') {
            ++i_;
        } else {
            for (;;) {
                skipSpace();
                if (!parseValue(mine)) return false;
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
        return endArray(levels_[mine], levels_[at]);
    }

    bool parseObject(size_t at) {
        if (!enter()) return false;
        ++i_;  // '{'
        const size_t mine = depth_;
        reach(mine);
        skipSpace();
        if (!atEnd() && s_[i_] == '}') {
            ++i_;
        } else {
            for (;;) {
                skipSpace();
                if (atEnd() || s_[i_] != '"') return fail(around("No string key for value in object", i_));
                std::string_view text;
                if (!parseString(text)) return false;
                const Object* key = keyFor(text);
                if (!key || !spend(levels_[mine].keys.push(key))) return false;
                skipSpace();
                if (atEnd() || s_[i_] != ':') return fail(around("Badly formed object", i_));
                ++i_;
                skipSpace();
                if (atEnd()) return fail(around("No value for key in object", i_));
                if (!parseValue(mine)) return false;
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
        return endObject(levels_[mine], levels_[at]);
    }

    // The read's one key of this text; nil once the reply may hold no more.
    const String* keyFor(std::string_view text) {
        const uint64_t hash = std::hash<std::string_view>{}(text);
        if (const String* found = keys_.find(text, hash)) return found;
        if (!spend(stringCost(text.size()) + KeyTable::BytesPerKey)) return nullptr;
        auto key = String::make(std::string(text));
        const String* made = key.get();
        keys_.add(std::move(key), hash);
        return made;
    }

    // The values gathered in `level` made objects, for a mutable container;
    // false once the reply may hold no more.
    bool takeObjects(Level& level, std::vector<Id>& out, uint64_t containerCost) {
        const uint32_t n = level.slots.size();
        uint64_t made = containerCost;
        for (uint32_t i = 0; i < n; ++i) made += objectCost(level.slots[i]);
        if (!spend(made)) return false;
        out.reserve(n);
        for (uint32_t i = 0; i < n; ++i) out.push_back(level.slots[i].value(level.objects.data()));
        level.slots.clear();
        level.objects.clear();
        return true;
    }

    bool endArray(Level& mine, Level& into) {
        const uint32_t n = mine.slots.size();
        if (mutableContainers_) {
            std::vector<Id> elements;
            if (!takeObjects(mine, elements, jsonMadeCost<MutableArray>() + allocated(n * ArraySlot))) return false;
            return putObject(into, MutableArray::make(std::move(elements)));
        }
        if (n == 0) return put(into, JSONSlot::plain(JSONSlot::EmptyArray));
        uint64_t made = jsonMadeCost<JSONArray>();
        auto array = std::make_shared<JSONArray>(mine.slots, mine.objects, made);
        return spend(made) && putObject(into, std::move(array));
    }

    bool endObject(Level& mine, Level& into) {
        if (!distinctKeys(mine)) keepLastOfEachKey(mine);
        const uint32_t n = mine.keys.size();
        if (mutableContainers_) {
            std::vector<Id> values;
            if (!takeObjects(mine, values, jsonMadeCost<MutableDictionary>(n * DictionarySlot))) return false;
            auto dictionary = MutableDictionary::dictionaryWithCapacity(n);
            for (uint32_t i = 0; i < n; ++i) dictionary->setObjectForKey(values[i], mine.keys[i]->self());
            mine.keys.clear();
            return putObject(into, std::move(dictionary));
        }
        if (n == 0) return put(into, JSONSlot::plain(JSONSlot::EmptyObject));
        Ref<const JSONKeys> keys = keysOf(mine);
        if (!keys) return false;
        mine.keys.clear();
        uint64_t made = jsonMadeCost<JSONDictionary>();
        auto dictionary = std::make_shared<JSONDictionary>(std::move(keys), mine.slots, mine.objects, made);
        return spend(made) && putObject(into, std::move(dictionary));
    }

    // The shared keys of the object ended at `level`: its sibling's, those
    // of an earlier object with the same, or new ones. A level keeps its
    // last list; the read keeps the lists of levels that have had more than
    // one. Nil once the reply may hold no more.
    Ref<const JSONKeys> keysOf(Level& level) {
        const KeyAddresses addresses(level.keys.data(), level.keys.size());
        if (level.lastKeys && KeysEqual::same(*level.lastKeys, addresses)) return level.lastKeys;
        if (!shapes_.empty()) {
            if (auto found = shapes_.find(addresses); found != shapes_.end()) return level.lastKeys = *found;
        }
        std::vector<Id> keys;
        keys.reserve(addresses.size());
        for (const Object* key : addresses) keys.push_back(key->self());
        auto made = std::make_shared<const JSONKeys>(std::move(keys), KeysHash{}(addresses));
        const bool kept = level.lastKeys && addresses.size() <= JSONSharedKeysUpTo;
        if (!spend(made->bytes() + (kept ? 2 * KeysEntry : 0))) return nullptr;
        if (kept) {
            if (level.lastKeys->count() <= JSONSharedKeysUpTo) shapes_.insert(level.lastKeys);
            shapes_.insert(made);
        }
        return level.lastKeys = made;
    }

    // Whether the object ended at `level` names each key once (the read's
    // keys are one object per text).
    static bool distinctKeys(const Level& level) {
        const uint32_t n = level.keys.size();
        if (level.lastKeys && KeysEqual::same(*level.lastKeys, KeyAddresses(level.keys.data(), n))) return true;
        if (n <= 16) {
            for (uint32_t i = 1; i < n; ++i) {
                for (uint32_t j = 0; j < i; ++j) {
                    if (level.keys[i] == level.keys[j]) return false;
                }
            }
            return true;
        }
        std::vector<const Object*> sorted(level.keys.data(), level.keys.data() + n);
        std::sort(sorted.begin(), sorted.end());
        return std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end();
    }

    // A key named twice keeps its first place and its last value, as the
    // platform's dictionaries do.
    void keepLastOfEachKey(Level& level) {
        std::vector<const Object*> order;
        std::vector<uint32_t> from;
        std::unordered_map<const Object*, size_t> place;
        for (uint32_t i = 0; i < level.keys.size(); ++i) {
            auto [at, added] = place.try_emplace(level.keys[i], order.size());
            if (added) {
                order.push_back(level.keys[i]);
                from.push_back(i);
            } else {
                from[at->second] = i;
            }
        }
        JSONBlock<JSONSlot> slots;
        JSONBlock<Id> objects;
        JSONBlock<const Object*> keys;
        for (size_t k = 0; k < order.size(); ++k) {
            JSONSlot slot = level.slots[from[k]];
            if (slot.kind == JSONSlot::Object) {
                objects.push(std::move(level.objects.data()[slot.get<uint32_t>()]));
                slot = JSONSlot::object(objects.size() - 1);
            }
            slots.push(slot);
            keys.push(order[k]);
        }
        level.slots = std::move(slots);
        level.objects = std::move(objects);
        level.keys = std::move(keys);
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

    // The string at i_: a view of the text itself, or, when it has escapes,
    // of the reader's buffer, valid until the next string is read.
    bool parseString(std::string_view& out) {
        const size_t start = i_;
        ++i_;  // opening quote
        size_t from = i_;
        bool buffered = false;
        for (;;) {
            size_t run = i_;
            while (run < s_.size()) {
                auto c = static_cast<uint8_t>(s_[run]);
                if (c == '"' || c == '\\' || c < 0x20 || c >= 0x80) break;
                ++run;
            }
            i_ = run;
            if (atEnd()) return fail(around("Unterminated string", start));
            auto c = static_cast<uint8_t>(s_[i_]);
            if (c == '"') {
                if (buffered) {
                    buffer_.append(s_, from, i_ - from);
                    out = buffer_;
                } else {
                    out = s_.substr(from, i_ - from);
                }
                ++i_;
                // The buffer is kept for the read's next escaped string.
                const uint64_t held = buffer_.capacity() > 15 ? allocated(buffer_.capacity() + 1) : 0;
                return held <= bufferCharged_ || spend(held - std::exchange(bufferCharged_, held));
            }
            if (c < 0x20) return fail(around("Unescaped control character", i_));
            if (c >= 0x80) {
                size_t length = utf8SequenceLength(s_, i_);
                if (!length) return fail(around("Unable to convert data to string", i_));
                i_ += length;
                continue;
            }
            if (!buffered) {
                buffer_.clear();
                buffered = true;
            }
            buffer_.append(s_, from, i_ - from);
            if (!parseEscape(buffer_)) return false;
            from = i_;
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

    bool parseNumber(Level& into) {
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
        if (integral && p - start <= 18) {
            // Up to 18 digits cannot overflow.
            int64_t v = 0;
            for (const char* d = first + (*first == '-'); d < last; ++d) v = v * 10 + (*d - '0');
            return put(into, JSONSlot::of(JSONSlot::Signed, *first == '-' ? -v : v));
        }
        if (integral) {
            int64_t s;
            if (auto r = std::from_chars(first, last, s); r.ec == std::errc() && r.ptr == last) {
                return put(into, JSONSlot::of(JSONSlot::Signed, s));
            }
            uint64_t u;
            if (auto r = std::from_chars(first, last, u); r.ec == std::errc() && r.ptr == last) {
                return put(into, JSONSlot::of(JSONSlot::Unsigned, u));
            }
        }
        // strtod in the C locale: it rounds tiny values to zero or a
        // subnormal where from_chars reports them out of range.
        std::string text(first, last);
        double d = strtod_l(text.c_str(), nullptr, cLocale());
        if (std::isinf(d)) return fail(around("Number out of range", start));
        return put(into, JSONSlot::of(JSONSlot::Double, d));
    }

    std::string_view s_;
    uint64_t options_;
    const bool mutableContainers_;
    // Short strings are held in their containers' slots unless they must
    // be mutable.
    const bool textInPlace_;
    size_t i_ = 0;
    unsigned depth_ = 0;
    std::string error_;
    // Made and not yet charged.
    uint64_t pending_ = 0;
    // Depth 0 holds the document's value.
    std::vector<Level> levels_;
    // The read's keys, one object per text, and the key lists objects share.
    KeyTable keys_;
    std::unordered_set<Ref<const JSONKeys>, KeysHash, KeysEqual> shapes_;
    // Escaped strings are written out here; what it holds is charged.
    std::string buffer_;
    uint64_t bufferCharged_ = 0;
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
