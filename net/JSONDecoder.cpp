#include "net/JSONDecoder.h"

#include <bit>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "net/JKArray.h"
#include "net/JKContainerClassCache.h"
#include "net/JKDictionary.h"
#include "net/JKParseState.h"
#include "net/JKScratchPool.h"
#include "net/JKUTF8String.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Exception.h"

RT_DEFINE_CLASS(JSONDecoder, ns::Object, "JSONDecoder")

void JKSetParseError(JKParseState& state, std::string message) {
    auto userInfo = ns::Dictionary::make({
        {ns::LocalizedDescriptionKey, ns::String::make(std::move(message))},
        {JKAtIndexKey, ns::Number::withUnsignedLongLong(state.atIndex)},
        {JKLineNumberKey, ns::Number::withUnsignedLongLong(state.lineNumber)},
    });
    state.error = ns::Error::make(JKErrorDomain, JKErrorCode, std::move(userInfo));
}

namespace {

using CacheStorage = JKScratchPool<JKTokenCache::Slot, JKTokenCache::count>;

constexpr size_t tokenBufferScratchSize = 2048;
constexpr size_t objectStackScratchCount = 1024;

constexpr const char* unexpectedTokenMessage =
    "Unexpected token, wanted '{', '}', '[', ']', ',', ':', 'true', 'false', 'null', '\"STRING\"', 'NUMBER'.";

enum ParseAccept : unsigned { AcceptValue = 1, AcceptComma = 2, AcceptEnd = 4 };

bool isValueToken(JKTokenType type) {
    switch (type) {
        case JKTokenTypeString:
        case JKTokenTypeNumber:
        case JKTokenTypeArrayBegin:
        case JKTokenTypeObjectBegin:
        case JKTokenTypeTrue:
        case JKTokenTypeFalse:
        case JKTokenTypeNull:
            return true;
        default:
            return false;
    }
}

class Parser {
public:
    explicit Parser(JKParseState& state) : s_(state), end_(state.stringBuffer.length) {}

    ns::Id parseDocument() {
        if (end_ == 0) return nullptr;
        skipWhiteSpace();
        // A scalar root is refused before it is scanned, so that its own
        // scanning errors do not hide the real problem.
        if (s_.atIndex < end_ && *s_.at() != '[' && *s_.at() != '{') {
            JKRaiseParseError(s_, "Expected either '[' or '{'.");
            return nullptr;
        }
        if (!nextToken()) return nullptr;
        ns::Id root = makeValue();
        if (!root) return nullptr;
        skipWhiteSpace();
        if (s_.atIndex < end_ && !(s_.parseOptionFlags & JKParseFlagTextAfterJSON)) {
            JKRaiseParseError(s_,
                              "A valid JSON object was parsed but there were additional non-white-space characters "
                              "remaining.");
            return nullptr;
        }
        return root;
    }

private:
    bool bytesRemain() const { return s_.atIndex < end_; }

    // The length of a Unicode newline (NEL, LS, PS) at p, or 0.
    size_t unicodeNewline(const uint8_t* p, const uint8_t* end) const {
        if (!(s_.parseOptionFlags & JKParseFlagUnicodeNewlines)) return 0;
        if (p[0] == 0xC2 && end - p >= 2 && p[1] == 0x85) return 2;
        if (p[0] == 0xE2 && end - p >= 3 && p[1] == 0x80 && (p[2] == 0xA8 || p[2] == 0xA9)) return 3;
        return 0;
    }

    // Consumes one newline at p, counting it; false when there is none.
    bool newline(const uint8_t*& p, const uint8_t* end) {
        if (*p == '\n') {
            ++p;
        } else if (*p == '\r') {
            ++p;
            if (p < end && *p == '\n') ++p;
        } else if (size_t n = unicodeNewline(p, end)) {
            p += n;
        } else {
            return false;
        }
        ++s_.lineNumber;
        return true;
    }

    void skipWhiteSpace() {
        const uint8_t* p = s_.at();
        const uint8_t* const end = s_.end();
        const bool comments = s_.parseOptionFlags & JKParseFlagComments;
        while (p < end) {
            if (*p == ' ' || *p == '\t') {
                ++p;
                continue;
            }
            if (newline(p, end)) continue;
            if (comments && *p == '/' && end - p >= 2) {
                if (p[1] == '/') {
                    // The newline that ends it is counted as white space.
                    p += 2;
                    while (p < end && *p != '\n' && *p != '\r' && !unicodeNewline(p, end)) ++p;
                    continue;
                }
                if (p[1] == '*') {
                    p += 2;
                    while (p < end) {
                        if (*p == '*' && end - p >= 2 && p[1] == '/') {
                            p += 2;
                            break;
                        }
                        if (!newline(p, end)) ++p;
                    }
                    continue;
                }
            }
            break;
        }
        s_.atIndex = size_t(p - s_.stringBuffer.ptr);
    }

    bool literal(const char* text, size_t length, JKTokenType type) {
        if (end_ - s_.atIndex > length && std::memcmp(s_.at(), text, length) == 0) {
            return token(length, type);
        }
        return false;
    }

    bool token(size_t length, JKTokenType type) {
        s_.token.tokenPtrRange = {s_.at(), length};
        s_.token.type = type;
        s_.atIndex += length;
        return true;
    }

    bool nextToken() {
        skipWhiteSpace();
        JKParseToken& token = s_.token;
        token.type = JKTokenTypeInvalid;
        token.tokenPtrRange = {s_.at(), 0};
        if (!bytesRemain()) {
            JKRaiseParseError(s_, unexpectedTokenMessage);
            return false;
        }
        bool ok = false;
        switch (*s_.at()) {
            case '"':
                ok = JKScanString(s_);
                if (ok) token.type = JKTokenTypeString;
                break;
            case '-': case '0': case '1': case '2': case '3': case '4': case '5': case '6': case '7': case '8':
            case '9':
                ok = JKScanNumber(s_);
                if (ok) token.type = JKTokenTypeNumber;
                break;
            case ':': ok = this->token(1, JKTokenTypeSeparator); break;
            case ',': ok = this->token(1, JKTokenTypeComma); break;
            case '{': ok = this->token(1, JKTokenTypeObjectBegin); break;
            case '}': ok = this->token(1, JKTokenTypeObjectEnd); break;
            case '[': ok = this->token(1, JKTokenTypeArrayBegin); break;
            case ']': ok = this->token(1, JKTokenTypeArrayEnd); break;
            case 't': ok = literal("true", 4, JKTokenTypeTrue); break;
            case 'f': ok = literal("false", 5, JKTokenTypeFalse); break;
            case 'n': ok = literal("null", 4, JKTokenTypeNull); break;
            default: break;
        }
        if (!ok) JKRaiseParseError(s_, unexpectedTokenMessage);
        return ok;
    }

    std::string tokenText() const {
        return std::string(reinterpret_cast<const char*>(s_.token.tokenPtrRange.ptr), s_.token.tokenPtrRange.length);
    }

    // "Expected a value or a ']', not 'x'": the alternatives the state
    // accepts, in the order value (or key), comma, end.
    void raiseExpected(unsigned accept, const char* value, const char* end) {
        const char* alternatives[3];
        int n = 0;
        if (accept & AcceptValue) alternatives[n++] = value;
        if (accept & AcceptComma) alternatives[n++] = "a comma";
        if (accept & AcceptEnd) alternatives[n++] = end;
        const std::string text = tokenText();
        const int width = static_cast<int>(text.size());
        if (n == 1) {
            JKRaiseParseError(s_, "Expected %s, not '%*.*s'", alternatives[0], width, width, text);
        } else {
            JKRaiseParseError(s_, "Expected %s or %s, not '%*.*s'", alternatives[0], alternatives[1], width, width,
                              text);
        }
    }

    // A nested read that stopped only because the input ran out leaves the
    // document's own end-of-buffer error to explain it.
    bool endedEarly() const { return !s_.error && !bytesRemain(); }

    // Room for four more entries; a dictionary's also for their keys.
    bool growStackIfNeeded(const char* kind, bool keyed) {
        const JKObjectStack& stack = s_.objectStack;
        const size_t needed = stack.index() + 4;
        if (needed <= stack.count() && (!keyed || needed <= stack.keyCapacity())) return true;
        return growStack(kind, keyed);
    }

    [[gnu::noinline]] bool growStack(const char* kind, bool keyed) {
        JKObjectStack& stack = s_.objectStack;
        if ((stack.index() + 4 <= stack.count() || stack.resize(stack.count() + 128)) &&
            (!keyed || stack.resizeKeys(stack.count()))) {
            return true;
        }
        JKRaiseParseError(s_, std::string("Internal error: [") + kind + "] objectsIndex > %zu, resize failed? %@ line %#ld",
                          stack.count() - 4, JKSourceFileName(__FILE__), long(__LINE__));
        return false;
    }

    bool enterContainer() {
        if (++s_.depth <= JKMaximumNestingDepth) return true;
        JKRaiseParseError(s_, "Maximum nesting depth of %lu exceeded.", JKMaximumNestingDepth);
        return false;
    }

    ns::Id parseArray() {
        JKObjectStack& stack = s_.objectStack;
        const size_t start = stack.index();
        ns::Id array;
        unsigned accept = AcceptValue | AcceptEnd;
        if (enterContainer()) {
            while (!s_.error && bytesRemain()) {
                if (!growStackIfNeeded("array", false)) break;
                if (!nextToken()) break;
                const JKTokenType type = s_.token.type;
                if (isValueToken(type) && (accept & AcceptValue)) {
                    ns::Id value = makeValue();
                    if (!value) {
                        if (!endedEarly()) JKRaiseParseError(s_, "Internal error: Object == NULL");
                        break;
                    }
                    stack.push(std::move(value));
                    accept = AcceptComma | AcceptEnd;
                } else if (type == JKTokenTypeComma) {
                    if (!(accept & AcceptComma)) {
                        JKRaiseParseError(s_, "Unexpected ','.");
                        break;
                    }
                    accept = AcceptValue;
                } else if (type == JKTokenTypeArrayEnd) {
                    if (!(accept & AcceptEnd)) {
                        JKRaiseParseError(s_, "Unexpected ']'.");
                        break;
                    }
                    array = makeArray(start);
                    break;
                } else {
                    raiseExpected(accept, "a value", "a ']'");
                    break;
                }
            }
        }
        stack.popTo(start);
        --s_.depth;
        return array;
    }

    ns::Id parseDictionary() {
        JKObjectStack& stack = s_.objectStack;
        const size_t start = stack.index();
        ns::Id dictionary;
        unsigned accept = AcceptValue | AcceptEnd;
        static constexpr const char* keyAlternative = "a \"STRING\"";
        if (enterContainer()) {
            while (!s_.error && bytesRemain()) {
                if (!growStackIfNeeded("dictionary", true)) break;
                stack.pushKeyed();
                const size_t slot = stack.index() - 1;
                if (!nextToken()) break;
                const JKTokenType type = s_.token.type;
                if (type == JKTokenTypeString) {
                    if (!(accept & AcceptValue)) {
                        JKRaiseParseError(s_, "Unexpected string.");
                        break;
                    }
                    ns::Id key = cachedObject();
                    if (!key) {
                        JKRaiseParseError(s_, "Internal error: Key == NULL.");
                        break;
                    }
                    JKTokenCacheItem* item = s_.token.value.cacheItem;
                    uint64_t hash;
                    if (item) {
                        if (item->cfHash == 0) item->cfHash = key->hash();
                        hash = item->cfHash;
                    } else {
                        hash = key->hash();
                    }
                    stack.key(slot) = std::move(key);
                    stack.keyHash(slot) = hash;
                } else if (type == JKTokenTypeObjectEnd) {
                    if (!(accept & AcceptEnd)) {
                        JKRaiseParseError(s_, "Unexpected '}'.");
                        break;
                    }
                    stack.popKeyedTo(slot);
                    const size_t n = stack.index() - start;
                    dictionary = JKDictionaryCreate(&stack.key(start), &stack.keyHash(start), &stack.value(start), n,
                                                    s_.mutableCollections);
                    break;
                } else if (type == JKTokenTypeComma) {
                    if (!(accept & AcceptComma)) {
                        JKRaiseParseError(s_, "Unexpected ','.");
                        break;
                    }
                    stack.popKeyedTo(slot);
                    accept = AcceptValue;
                    continue;
                } else {
                    raiseExpected(accept, keyAlternative, "a '}'");
                    break;
                }

                if (!nextToken()) break;
                if (s_.token.type != JKTokenTypeSeparator) {
                    JKRaiseParseError(s_, "Expected ':'.");
                    break;
                }
                if (!nextToken()) break;
                if (!isValueToken(s_.token.type)) {
                    const std::string text = tokenText();
                    const int width = static_cast<int>(text.size());
                    JKRaiseParseError(s_, "Expected a value, not '%*.*s'", width, width, text);
                    break;
                }
                ns::Id value = makeValue();
                if (!value) {
                    if (!endedEarly()) JKRaiseParseError(s_, "Internal error: Object == NULL.");
                    break;
                }
                stack.value(slot) = std::move(value);
                accept = AcceptComma | AcceptEnd;
            }
        }
        stack.popKeyedTo(start);
        --s_.depth;
        return dictionary;
    }

    // The array of the entries from `start` up: a long root list takes them
    // with their pages, any other is built from a copy.
    ns::Id makeArray(size_t start) {
        JKObjectStack& stack = s_.objectStack;
        const size_t count = stack.index() - start;
        if (JKObjectStack::Taken taken = stack.takeMappedValues(start, s_.depth == 1); taken.values) {
            return JKArrayAdopt(taken.values, count, taken.bytes, s_.mutableCollections);
        }
        return JKArrayCreate(&stack.value(start), count, s_.mutableCollections);
    }

    ns::Id makeValue() {
        switch (s_.token.type) {
            case JKTokenTypeString:
            case JKTokenTypeNumber: return cachedObject();
            case JKTokenTypeArrayBegin: return parseArray();
            case JKTokenTypeObjectBegin: return parseDictionary();
            case JKTokenTypeTrue: return ns::Number::True();
            case JKTokenTypeFalse: return ns::Number::False();
            case JKTokenTypeNull: return ns::Null::null();
            default: return nullptr;
        }
    }

    ns::Id makeObject(const JKTokenValue& value) const {
        switch (value.type) {
            case JKValueTypeString:
                return std::make_shared<JKUTF8String>(value.ptrRange.ptr, value.ptrRange.length);
            case JKValueTypeLongLong: return s_.numberWithLongLong(value.number.longLongValue);
            case JKValueTypeUnsignedLongLong:
                if (value.number.unsignedLongLongValue <= uint64_t(INT64_MAX)) {
                    return s_.numberWithLongLong(static_cast<int64_t>(value.number.unsignedLongLongValue));
                }
                return s_.numberWithUnsignedLongLong(value.number.unsignedLongLongValue);
            case JKValueTypeDouble: return s_.numberWithDouble(value.number.doubleValue);
            default: return nullptr;
        }
    }

    // The string or number of the current token, from the cache when an
    // equal one was made before.
    ns::Id cachedObject() {
        JKTokenValue& value = s_.token.value;
        value.cacheItem = nullptr;
        const size_t length = value.ptrRange.length;
        if (value.type == JKValueTypeString && length == 0) return JKCacheContainerClasses().emptyString;

        JKTokenCache& cache = s_.cache;
        constexpr uint64_t mask = JKTokenCache::count - 1;
        const uint64_t step = length + value.type + 3;
        size_t chosen = size_t(value.hash & mask);
        for (uint64_t i = 0; i < 4; ++i) {
            const size_t index = size_t((value.hash + i * step) & mask);
            if (!cache.isBuilt(index) || !cache.item(index).object) {
                chosen = index;
                break;
            }
            JKTokenCacheItem& item = cache.item(index);
            if (item.hash == value.hash && item.size == length && item.type == value.type &&
                std::memcmp(item.bytes.data(), value.ptrRange.ptr, length) == 0) {
                value.cacheItem = &item;
                return item.object;
            }
        }

        ns::Id object = makeObject(value);
        if (!object) return nullptr;
        JKTokenCacheItem& item = cache.isBuilt(chosen) ? cache.item(chosen) : cache.build(chosen);
        try {
            item.bytes.assign(reinterpret_cast<const char*>(value.ptrRange.ptr), length);
        } catch (const std::bad_alloc&) {
            item = JKTokenCacheItem();
            return object;
        }
        item.object = object;
        item.hash = value.hash;
        item.cfHash = 0;
        item.size = length;
        item.type = value.type;
        value.cacheItem = &item;
        return object;
    }

    JKParseState& s_;
    const size_t end_;
};

}  // namespace

JSONDecoder::JSONDecoder(JKParseOptionFlags options) {
    if (options > JKParseOptionValidFlags) ns::Exception::raise(ns::InvalidArgumentException, "Invalid parse options.");
    parseState_ = std::make_unique<JKParseState>();
    parseState_->cache.items = CacheStorage::take();
    parseState_->token.tokenBuffer.setGrowthUnit(4096);
    parseState_->objectStack.setGrowthUnit(2048);
    const JKContainerClassCache& classes = JKCacheContainerClasses();
    parseState_->numberWithLongLong = classes.numberWithLongLong;
    parseState_->numberWithUnsignedLongLong = classes.numberWithUnsignedLongLong;
    parseState_->numberWithDouble = classes.numberWithDouble;
    parseState_->parseOptionFlags = options;
}

JSONDecoder::~JSONDecoder() { cleanUp(); }

ns::Ref<JSONDecoder> JSONDecoder::decoderWithParseOptions(JKParseOptionFlags options) {
    try {
        return std::make_shared<JSONDecoder>(options);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void JSONDecoder::clearCache() {
    if (!parseState_) return;
    JKTokenCache& cache = parseState_->cache;
    for (size_t word = 0; word < JKTokenCache::count / 64; ++word) {
        for (uint64_t bits = cache.built[word]; bits; bits &= bits - 1) {
            cache.item(word * 64 + size_t(std::countr_zero(bits))).~JKTokenCacheItem();
        }
        cache.built[word] = 0;
    }
}

void JSONDecoder::cleanUp() {
    if (!parseState_) return;
    parseState_->token.tokenBuffer.release();
    parseState_->objectStack.release();
    clearCache();
    CacheStorage::give(std::move(parseState_->cache.items));
    parseState_.reset();
}

ns::Id JSONDecoder::parse(const char* string, size_t length, bool mutableCollections, ns::Ref<ns::Error>* error) {
    if (!parseState_) ns::Exception::raise(ns::InternalInconsistencyException, "parseState is NULL.");
    if (!string) ns::Exception::raise(ns::InvalidArgumentException, "The string argument is NULL.");
    JKParseState& s = *parseState_;
    s.stringBuffer = {reinterpret_cast<const uint8_t*>(string), length};
    s.atIndex = 0;
    s.lineNumber = 1;
    s.error = nullptr;
    s.mutableCollections = mutableCollections;
    s.depth = 0;

    // Scratch space of this call: small documents never touch the heap for
    // the token buffer or the object stack.
    uint8_t tokenScratch[tokenBufferScratchSize];
    JKObjectStack::Slot values[objectStackScratchCount];
    JKObjectStack::Slot keys[objectStackScratchCount];
    uint64_t keyHashes[objectStackScratchCount];
    s.token.tokenBuffer.pointAtScratch(tokenScratch, sizeof tokenScratch);
    s.objectStack.pointAtScratch(values, keys, keyHashes, objectStackScratchCount);
    struct Reset {
        JKParseState& s;
        ~Reset() {
            s.token.tokenBuffer.release();
            s.objectStack.release();
            s.stringBuffer = {};
            s.token.tokenPtrRange = {};
            s.token.value = JKTokenValue();
            s.atIndex = 0;
            s.lineNumber = 1;
            s.mutableCollections = false;
            s.error = nullptr;
        }
    } reset{s};

    ns::Id root = Parser(s).parseDocument();
    if (!root && !s.error) {
        if (s.atIndex >= length) JKRaiseParseError(s, "Reached the end of the buffer.");
        JKRaiseParseError(s, "Unable to parse JSON.");
    }
    if (error && s.error) *error = s.error;
    return root;
}

ns::Id JSONDecoder::objectWithUTF8String(const char* string, size_t length, ns::Ref<ns::Error>* error) {
    return parse(string, length, false, error);
}

ns::Id JSONDecoder::mutableObjectWithUTF8String(const char* string, size_t length, ns::Ref<ns::Error>* error) {
    return parse(string, length, true, error);
}

namespace {

// Empty data may have no storage at all; it is still empty input.
const char* bytesOf(const ns::Data* data) {
    if (!data) ns::Exception::raise(ns::InvalidArgumentException, "The jsonData argument is NULL.");
    return data->length() ? reinterpret_cast<const char*>(data->bytes()) : "";
}

}  // namespace

ns::Id JSONDecoder::objectWithData(const ns::Data* data, ns::Ref<ns::Error>* error) {
    const char* bytes = bytesOf(data);
    return parse(bytes, data->length(), false, error);
}

ns::Id JSONDecoder::mutableObjectWithData(const ns::Data* data, ns::Ref<ns::Error>* error) {
    const char* bytes = bytesOf(data);
    return parse(bytes, data->length(), true, error);
}
