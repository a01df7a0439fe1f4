#pragma once
// Test vectors are published as hex; this turns them into bytes.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace sec::test {

inline std::vector<std::uint8_t> fromHex(std::string_view hex) {
    auto nibble = [](char c) -> std::uint8_t {
        if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
        if (c >= 'a' && c <= 'f') return static_cast<std::uint8_t>(c - 'a' + 10);
        if (c >= 'A' && c <= 'F') return static_cast<std::uint8_t>(c - 'A' + 10);
        throw std::invalid_argument("bad hex digit");
    };
    std::string digits;
    for (char c : hex)
        if (c != ' ') digits.push_back(c);
    if (digits.size() % 2) throw std::invalid_argument("odd hex length");
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < digits.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(nibble(digits[i]) << 4 | nibble(digits[i + 1])));
    return out;
}

}  // namespace sec::test
