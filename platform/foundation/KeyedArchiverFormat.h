#pragma once
// Byte-level pieces of the keyed archive format (described in KeyedArchiver.h),
// shared by the archiver and the unarchiver. Internal to the foundation.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace ns::archive {

inline constexpr std::string_view Magic = "GHKA";
inline constexpr uint8_t Version = 1;
inline constexpr const char* RootKey = "root";

enum Kind : uint8_t {
    KindNull = 0,
    KindString = 1,
    KindNumber = 2,
    KindDecimal = 3,
    KindData = 4,
    KindDate = 5,
    KindURL = 6,
    KindArray = 7,
    KindDictionary = 8,
    KindSet = 9,
    KindIndexSet = 10,
    KindCoded = 11,
};
inline constexpr uint8_t FlagMutable = 1;

// Field tags, also the number value tags.
inline constexpr char FieldObject = 'o';
inline constexpr char FieldInt = 'i';
inline constexpr char FieldBool = 'b';
inline constexpr char FieldDouble = 'd';
inline constexpr char NumberSigned = 'q';
inline constexpr char NumberUnsigned = 'Q';
inline constexpr char NumberDouble = 'd';
inline constexpr char NumberBool = 'B';

inline void putVarint(std::string& out, uint64_t v) {
    while (v >= 0x80) {
        out += char(uint8_t(v) | 0x80);
        v >>= 7;
    }
    out += char(uint8_t(v));
}
inline void putZigzag(std::string& out, int64_t v) {
    putVarint(out, (uint64_t(v) << 1) ^ uint64_t(v >> 63));
}
inline void putDouble(std::string& out, double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    for (int i = 0; i < 8; ++i) out += char(uint8_t(bits >> (8 * i)));
}
inline void putText(std::string& out, std::string_view text) {
    putVarint(out, text.size());
    out.append(text);
}

// Reads from untrusted bytes: every read is bounds-checked and a failed read
// clears ok() for good, returning zeros from then on.
class ByteReader {
public:
    explicit ByteReader(std::string_view bytes) : s_(bytes) {}

    bool ok() const { return ok_; }
    bool atEnd() const { return i_ == s_.size(); }
    size_t remaining() const { return s_.size() - i_; }
    void fail() { ok_ = false; }

    uint8_t byte() {
        if (!ok_ || i_ >= s_.size()) return fail(), 0;
        return uint8_t(s_[i_++]);
    }
    uint64_t varint() {
        uint64_t v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            uint8_t b = byte();
            if (!ok_) return 0;
            if (shift == 63 && b > 1) return fail(), 0;
            v |= uint64_t(b & 0x7F) << shift;
            if (!(b & 0x80)) return v;
        }
        return fail(), 0;
    }
    int64_t zigzag() {
        uint64_t v = varint();
        return int64_t(v >> 1) ^ -int64_t(v & 1);
    }
    double f64() {
        if (!ok_ || remaining() < 8) return fail(), 0.0;
        uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) bits |= uint64_t(uint8_t(s_[i_ + i])) << (8 * i);
        i_ += 8;
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }
    std::string_view text() {
        uint64_t n = varint();
        if (!ok_ || n > remaining()) return fail(), std::string_view();
        std::string_view t = s_.substr(i_, n);
        i_ += n;
        return t;
    }
    // A count of items that take at least `minBytes` each, so a corrupt
    // count cannot make the reader reserve more than the archive holds.
    uint64_t count(size_t minBytes) {
        uint64_t n = varint();
        if (!ok_ || n > remaining() / minBytes) return fail(), 0;
        return n;
    }

private:
    std::string_view s_;
    size_t i_ = 0;
    bool ok_ = true;
};

}  // namespace ns::archive
