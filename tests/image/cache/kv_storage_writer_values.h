#pragma once
// The values the crash-safety writer saves: 1 MiB whose first 8 bytes are
// the generation and whose other bytes follow from it, so a reader can tell
// a whole value of one generation from a torn one.

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

namespace cache_test {

inline constexpr size_t WriterValueSize = 1 << 20;
inline constexpr const char* WriterKey = "value";
inline constexpr const char* WriterFileName = "7d0e1f8b0c2a4e6b9d3c5a7f1e2d4c6b";

inline uint8_t writerByte(uint64_t generation, size_t offset) {
    return uint8_t((generation * 131 + offset * 7 + (offset >> 9)) & 0xFF);
}

inline std::string writerValue(uint64_t generation) {
    std::string value(WriterValueSize, '\0');
    std::memcpy(value.data(), &generation, sizeof generation);
    for (size_t i = sizeof generation; i < value.size(); ++i) value[i] = char(writerByte(generation, i));
    return value;
}

// The generation of a whole value, or nothing for anything else.
inline std::optional<uint64_t> writerGeneration(const std::string& value) {
    if (value.size() != WriterValueSize) return std::nullopt;
    uint64_t generation = 0;
    std::memcpy(&generation, value.data(), sizeof generation);
    for (size_t i = sizeof generation; i < value.size(); ++i) {
        if (uint8_t(value[i]) != writerByte(generation, i)) return std::nullopt;
    }
    return generation;
}

}  // namespace cache_test
