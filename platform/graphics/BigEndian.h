#pragma once
// Big-endian numbers in file data; the caller has checked the span holds
// them.

#include <cstddef>
#include <cstdint>
#include <span>

namespace cg::still {

inline uint16_t bigEndian16(std::span<const uint8_t> d, size_t at) { return uint16_t(d[at] << 8 | d[at + 1]); }
inline uint32_t bigEndian32(std::span<const uint8_t> d, size_t at) {
    return uint32_t(bigEndian16(d, at)) << 16 | bigEndian16(d, at + 2);
}
inline uint64_t bigEndian64(std::span<const uint8_t> d, size_t at) {
    return uint64_t(bigEndian32(d, at)) << 32 | bigEndian32(d, at + 4);
}

}  // namespace cg::still
