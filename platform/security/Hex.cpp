#include "platform/security/Hex.h"

namespace sec {
namespace {

std::string hex(ByteView bytes, const char* digits) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (std::uint8_t byte : bytes) {
        out.push_back(digits[byte >> 4]);
        out.push_back(digits[byte & 0x0f]);
    }
    return out;
}

}  // namespace

std::string hexLower(ByteView bytes) { return hex(bytes, "0123456789abcdef"); }
std::string hexUpper(ByteView bytes) { return hex(bytes, "0123456789ABCDEF"); }

}  // namespace sec
