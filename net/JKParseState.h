#pragma once
// The decoder's working state, shared by the tokenizer and parser
// (JSONDecoder.cpp) and the string and number scanners (JKScanner.cpp).
// Internal to the codec.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "net/JKCodecOptions.h"
#include "net/JKManagedBuffer.h"
#include "net/JKObjectStack.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/Number.h"

struct JKConstPtrRange {
    const uint8_t* ptr = nullptr;
    size_t length = 0;
};

enum JKTokenType : unsigned {
    JKTokenTypeInvalid,
    JKTokenTypeNumber,
    JKTokenTypeString,
    JKTokenTypeObjectBegin,
    JKTokenTypeObjectEnd,
    JKTokenTypeArrayBegin,
    JKTokenTypeArrayEnd,
    JKTokenTypeSeparator,
    JKTokenTypeComma,
    JKTokenTypeTrue,
    JKTokenTypeFalse,
    JKTokenTypeNull,
};

// What a scanned string or number is; the values also feed the value hash
// and the cache's probe step.
enum JKValueType : unsigned {
    JKValueTypeNone = 0,
    JKValueTypeString = 5,
    JKValueTypeLongLong = 7,           // written with a leading "-"
    JKValueTypeUnsignedLongLong = 11,  // written without "-"
    JKValueTypeDouble = 13,            // a point or an exponent, or "-0"
};

struct JKTokenCacheItem {
    ns::Id object;
    uint64_t hash = 0;
    uint64_t cfHash = 0;  // the object's platform hash, once used as a key
    size_t size = 0;
    std::string bytes;  // the value bytes the object was made from
    JKValueType type = JKValueTypeNone;
};

// The per-decoder cache of strings and numbers: 1,024 items, built on first
// use so that a decoder made for a single parse does not pay to set up
// items it never touches.
struct JKTokenCache {
    static constexpr size_t count = 1024;
    struct alignas(JKTokenCacheItem) Slot {
        unsigned char bytes[sizeof(JKTokenCacheItem)];
    };
    std::unique_ptr<Slot[]> items;
    uint64_t built[count / 64] = {};

    bool isBuilt(size_t i) const { return built[i / 64] >> (i % 64) & 1; }
    JKTokenCacheItem& item(size_t i) { return *std::launder(reinterpret_cast<JKTokenCacheItem*>(&items[i])); }
    JKTokenCacheItem& build(size_t i) {
        built[i / 64] |= uint64_t(1) << (i % 64);
        return *new (&items[i]) JKTokenCacheItem();
    }
};

struct JKTokenValue {
    JKConstPtrRange ptrRange;
    JKValueType type = JKValueTypeNone;
    uint64_t hash = 0;
    union {
        int64_t longLongValue;
        uint64_t unsignedLongLongValue;
        double doubleValue;
    } number{0};
    JKTokenCacheItem* cacheItem = nullptr;
};

struct JKParseToken {
    JKConstPtrRange tokenPtrRange;
    JKTokenType type = JKTokenTypeInvalid;
    JKTokenValue value;
    JKManagedBuffer tokenBuffer;  // decoded bytes of strings that need decoding
};

struct JKParseState {
    JKParseOptionFlags parseOptionFlags = 0;
    JKConstPtrRange stringBuffer;  // the input of the current parse
    size_t atIndex = 0;
    size_t lineNumber = 1;
    JKParseToken token;
    JKObjectStack objectStack;
    JKTokenCache cache;
    ns::Ref<ns::Number> (*numberWithLongLong)(int64_t) = nullptr;
    ns::Ref<ns::Number> (*numberWithUnsignedLongLong)(uint64_t) = nullptr;
    ns::Ref<ns::Number> (*numberWithDouble)(double) = nullptr;
    ns::Ref<ns::Error> error;  // the first error of the parse
    bool mutableCollections = false;
    uint64_t depth = 0;

    const uint8_t* at() const { return stringBuffer.ptr + atIndex; }
    const uint8_t* end() const { return stringBuffer.ptr + stringBuffer.length; }
};

// Records the parse's error unless it already has one (only the first
// error of a parse counts), with the current index and line.
void JKSetParseError(JKParseState& state, std::string message);
template <class... A>
void JKRaiseParseError(JKParseState& state, std::string_view fmt, const A&... args) {
    if (!state.error) JKSetParseError(state, ns::format(fmt, args...));
}

// ---- Value hash ----
inline constexpr uint64_t JKHashInitial = 1402737925ull;  // 539C1505h
inline uint64_t JKHashFold(uint64_t h, uint8_t c) { return ((h * 33) + c - 29) ^ (h >> 19); }

// The file name for internal-error messages, without its directories.
inline std::string_view JKSourceFileName(std::string_view path) {
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The scanners: positioned at the opening quote, or at "-" or a digit. On
// success the token holds the text and value and the index has moved past
// it; on failure the error is raised.
bool JKScanString(JKParseState& state);
bool JKScanNumber(JKParseState& state);
