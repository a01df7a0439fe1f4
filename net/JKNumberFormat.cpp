#include "net/JKNumberFormat.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

namespace {

constexpr char digitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes exactly eight digits of v < 10^8 ending at `end`, two at a time.
inline void writeEight(uint32_t v, char* end) {
    const uint32_t high = v / 10000, low = v % 10000;
    std::memcpy(end - 8, digitPairs + 2 * (high / 100), 2);
    std::memcpy(end - 6, digitPairs + 2 * (high % 100), 2);
    std::memcpy(end - 4, digitPairs + 2 * (low / 100), 2);
    std::memcpy(end - 2, digitPairs + 2 * (low % 100), 2);
}

// Writes `count` digits of v (zero-padded on the left) ending at `end`, in
// blocks of eight whose divisions do not wait on one another.
inline void writeDigits(uint64_t v, char* end, int count) {
    while (count >= 8) {
        writeEight(uint32_t(v % 100000000), end);
        v /= 100000000;
        end -= 8;
        count -= 8;
    }
    while (count > 0) {
        *--end = char('0' + v % 10);
        v /= 10;
        --count;
    }
}

int digitCount(uint64_t v) {
    static constexpr uint64_t powers[] = {1ull, 10ull, 100ull, 1000ull, 10000ull, 100000ull, 1000000ull, 10000000ull,
                                          100000000ull, 1000000000ull, 10000000000ull, 100000000000ull,
                                          1000000000000ull, 10000000000000ull, 100000000000000ull,
                                          1000000000000000ull, 10000000000000000ull, 100000000000000000ull,
                                          1000000000000000000ull, 10000000000000000000ull};
    if (v == 0) return 1;
    // log10 from log2, then one comparison to settle it.
    const int guess = (std::bit_width(v | 1) * 1233) >> 12;
    return guess + (v >= powers[guess] ? 1 : 0);
}

using u128 = unsigned __int128;

constexpr u128 pow10(int k) {
    u128 p = 1;
    while (k-- > 0) p *= 10;
    return p;
}

constexpr auto powersOfTen = [] {
    struct Table {
        u128 p[23];
    } t{};
    for (int k = 0; k < 23; ++k) t.p[k] = pow10(k);
    return t;
}();

constexpr uint64_t lowest17 = 10000000000000000ull;   // 10^16
constexpr uint64_t beyond17 = 100000000000000000ull;  // 10^17

// The 17 significant digits of v (1e-5 <= v < 1e17), correctly rounded with
// ties to even as printf rounds, and the decimal exponent of the first one.
void seventeenDigits(double v, uint64_t& digits, int& exponent) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    const int biased = int(bits >> 52) & 0x7FF;
    const uint64_t mantissa = (bits & ((uint64_t(1) << 52) - 1)) | (uint64_t(1) << 52);
    const int binaryExponent = biased - 1075;  // v = mantissa x 2^binaryExponent
    // floor(log10(v)), possibly one too small; corrected below.
    int x = ((biased - 1023) * 78913) >> 18;
    for (;;) {
        const int k = 16 - x;
        u128 n = u128(mantissa) * powersOfTen.p[k];
        uint64_t q;
        if (binaryExponent >= 0) {
            q = uint64_t(n << binaryExponent);
        } else {
            const int shift = -binaryExponent;
            u128 whole = n >> shift;
            const u128 rest = n - (whole << shift);
            const u128 half = u128(1) << (shift - 1);
            if (rest > half || (rest == half && (whole & 1))) ++whole;
            q = uint64_t(whole);
        }
        if (q >= beyond17) {
            ++x;
        } else if (q < lowest17) {
            --x;
        } else {
            digits = q;
            exponent = x;
            return;
        }
    }
}

}  // namespace

size_t JKFormatUnsigned(uint64_t v, char* out) {
    const int n = digitCount(v);
    writeDigits(v, out + n, n);
    return size_t(n);
}

size_t JKFormatSigned(int64_t v, char* out) {
    if (v >= 0) return JKFormatUnsigned(uint64_t(v), out);
    *out = '-';
    return 1 + JKFormatUnsigned(0 - static_cast<uint64_t>(v), out + 1);
}

size_t JKFormatDouble(double v, char* out) {
    const double magnitude = std::fabs(v);
    // From 1e-5 up, v x 10^(16 - exponent) stays below 2^127 for 128-bit math.
    if (!(magnitude >= 1e-5 && magnitude < 1e17)) {
        // Zero and the far ranges are rare enough for the library's own path.
        return size_t(std::to_chars(out, out + JKNumberTextCapacity, v, std::chars_format::general, 17).ptr - out);
    }
    char* p = out;
    if (v < 0) *p++ = '-';
    uint64_t digits;
    int exponent;
    seventeenDigits(magnitude, digits, exponent);
    char d[17];
    writeDigits(digits, d + 17, 17);
    int used = 17;  // significant digits left once trailing zeros go
    while (used > 1 && d[used - 1] == '0') --used;

    if (exponent < -4) {
        *p++ = d[0];
        if (used > 1) {
            *p++ = '.';
            std::memcpy(p, d + 1, size_t(used - 1));
            p += used - 1;
        }
        const int e = -exponent;
        *p++ = 'e';
        *p++ = '-';
        if (e < 10) *p++ = '0';
        p += JKFormatUnsigned(uint64_t(e), p);
    } else if (exponent < 0) {
        *p++ = '0';
        *p++ = '.';
        for (int i = -1; i > exponent; --i) *p++ = '0';
        std::memcpy(p, d, size_t(used));
        p += used;
    } else {
        const int whole = exponent + 1;
        std::memcpy(p, d, size_t(whole));
        p += whole;
        if (used > whole) {
            *p++ = '.';
            std::memcpy(p, d + whole, size_t(used - whole));
            p += used - whole;
        }
    }
    return size_t(p - out);
}
