#pragma once
// One-shot symmetric encryption and decryption with the platform's block
// ciphers. Bad keys, IVs, lengths and padding come back as a status, never
// as an exception, and never with partial output.

#include <cstdint>
#include <vector>

#include "platform/security/ByteView.h"

namespace sec {

// Numbered as the platform numbers them, since callers log and compare them.
// crypt() grows its own output, so it never reports bufferTooSmall.
enum class CryptStatus : std::int32_t {
    success = 0,
    paramError = -4300,
    bufferTooSmall = -4301,
    memoryFailure = -4302,
    alignmentError = -4303,
    decodeError = -4304,
    unimplemented = -4305,
};

enum class CryptOperation : std::uint32_t {
    encrypt = 0,
    decrypt = 1,
};

// The key length picks the AES variant (16, 24 or 32 bytes), so there is one
// AES value; aes128 is kept as the name callers know it by.
enum class CryptAlgorithm : std::uint32_t {
    aes = 0,
    aes128 = 0,
    des = 1,
    tripleDes = 2,
};

// Bit flags. Without ecbMode the cipher chains blocks (CBC).
enum class CryptOptions : std::uint32_t {
    none = 0,
    pkcs7Padding = 0x1,
    ecbMode = 0x2,
};

constexpr CryptOptions operator|(CryptOptions a, CryptOptions b) {
    return static_cast<CryptOptions>(static_cast<std::uint32_t>(a) | static_cast<std::uint32_t>(b));
}
constexpr bool hasOption(CryptOptions set, CryptOptions flag) {
    return (static_cast<std::uint32_t>(set) & static_cast<std::uint32_t>(flag)) != 0;
}

inline constexpr std::size_t kAesBlockSize = 16;
inline constexpr std::size_t kDesBlockSize = 8;
inline constexpr std::size_t kAes128KeySize = 16;
inline constexpr std::size_t kAes192KeySize = 24;
inline constexpr std::size_t kAes256KeySize = 32;
inline constexpr std::size_t kDesKeySize = 8;
inline constexpr std::size_t kTripleDesKeySize = 24;

struct CryptResult {
    CryptStatus status = CryptStatus::success;
    std::vector<std::uint8_t> data;  // empty unless status is success

    bool ok() const { return status == CryptStatus::success; }
};

// An empty iv means all zero bytes; in ECB mode the iv is ignored. Otherwise
// the iv must be exactly one block. Without padding the input must be a whole
// number of blocks (alignmentError); a decrypted block whose padding is not
// well formed gives decodeError.
CryptResult crypt(CryptOperation operation, CryptAlgorithm algorithm, CryptOptions options,
                  ByteView key, ByteView iv, ByteView input);

}  // namespace sec
