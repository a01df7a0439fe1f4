#pragma once
// Number text for the encoder, always in the C locale's form: integers in
// decimal and doubles exactly as printf's "%.17g" writes them, computed
// without printf.

#include <cstddef>
#include <cstdint>

// Enough for any text below.
inline constexpr size_t JKNumberTextCapacity = 32;

// Writes v in decimal ("-" for negatives, the most negative value included)
// and returns the length.
size_t JKFormatSigned(int64_t v, char* out);
size_t JKFormatUnsigned(uint64_t v, char* out);

// Writes a finite double as "%.17g" does and returns the length.
size_t JKFormatDouble(double v, char* out);
