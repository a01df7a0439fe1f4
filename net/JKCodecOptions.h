#pragma once
// Option bits and error keys of the JSON codec (decoder JSONDecoder, encoder
// JKSerializer, the JKCodec facade).

#include <cstdint>

// ---- Parse options: a bit set; any value of 16 or more is refused ----
using JKParseOptionFlags = uint64_t;
inline constexpr JKParseOptionFlags JKParseOptionStrict = 0;
// "//" and "/*...*/" comments count as white space.
inline constexpr JKParseOptionFlags JKParseFlagComments = 1;
// U+0085, U+2028 and U+2029 are newlines (white space that counts lines).
inline constexpr JKParseOptionFlags JKParseFlagUnicodeNewlines = 2;
// Ill-formed Unicode inside strings becomes U+FFFD instead of failing.
inline constexpr JKParseOptionFlags JKParseFlagLooseUnicode = 4;
// Anything after the root value is ignored.
inline constexpr JKParseOptionFlags JKParseFlagTextAfterJSON = 8;
inline constexpr JKParseOptionFlags JKParseOptionValidFlags = 15;

// ---- Serialize options: a bit set; other bits are ignored ----
using JKSerializeOptionFlags = uint64_t;
inline constexpr JKSerializeOptionFlags JKSerializeOptionNone = 0;
// Newlines, two spaces per level, ": " after keys, keys sorted.
inline constexpr JKSerializeOptionFlags JKSerializeFlagPretty = 1;
// Every non-ASCII character as \u escapes (a surrogate pair above U+FFFF).
inline constexpr JKSerializeOptionFlags JKSerializeFlagEscapeUnicode = 2;
// "/" as "\/".
inline constexpr JKSerializeOptionFlags JKSerializeFlagEscapeSlash = 16;

// ---- Encode option: the result type in the low three bits, plus checks ----
using JKEncodeOptionType = uint64_t;
inline constexpr JKEncodeOptionType JKEncodeAsData = 1;
inline constexpr JKEncodeOptionType JKEncodeAsString = 2;
inline constexpr JKEncodeOptionType JKEncodeAsTypeMask = 7;
inline constexpr JKEncodeOptionType JKEncodeRequireCollection = 8;
inline constexpr JKEncodeOptionType JKEncodeRequireString = 16;
inline constexpr JKEncodeOptionType JKEncodeOmitQuotes = 32;

// ---- Errors: every bad-data failure is one error in this domain, code -1 ----
inline constexpr const char* JKErrorDomain = "JKErrorDomain";
inline constexpr int64_t JKErrorCode = -1;
// Decoder errors only: where the parse stopped (unsigned numbers).
inline constexpr const char* JKAtIndexKey = "JKAtIndexKey";
inline constexpr const char* JKLineNumberKey = "JKLineNumberKey";

// Arrays and objects nest at most this deep; deeper input is an error (the
// decoder reads recursively) and so is a deeper tree handed to the encoder.
inline constexpr uint64_t JKMaximumNestingDepth = 512;
