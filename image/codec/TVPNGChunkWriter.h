#pragma once
// Writing PNG chunks (big-endian length, code, data, zlib CRC-32 of code
// and data), for the decoder's stand-alone frame PNGs and the encoder's
// animated PNGs.

#include <zlib.h>

#include <cstdint>
#include <vector>

namespace tvpng {

inline constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

inline void putU32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(value >> shift));
}

inline void putU16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(uint8_t(value >> 8));
    out.push_back(uint8_t(value));
}

// A chunk of `code` (as TV_FOUR_CC makes it) holding `data`, with its CRC.
inline void putChunk(std::vector<uint8_t>& out, uint32_t code, const uint8_t* data, uint32_t length) {
    putU32(out, length);
    size_t start = out.size();
    putU32(out, code);
    out.insert(out.end(), data, data + length);
    putU32(out, uint32_t(crc32(0, out.data() + start, uInt(out.size() - start))));
}

}  // namespace tvpng
