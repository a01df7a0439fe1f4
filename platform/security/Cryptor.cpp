#include "platform/security/Cryptor.h"

#include <openssl/evp.h>

#include <algorithm>
#include <memory>

namespace sec {
namespace {

struct CipherContextFree {
    void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree>;

CryptResult failure(CryptStatus status) { return CryptResult{status, {}}; }

// Single DES is only in OpenSSL's legacy provider; three-key DES with the
// same key three times is single DES, so it runs as that instead.
const EVP_CIPHER* cipherFor(CryptAlgorithm algorithm, std::size_t keySize, bool ecb) {
    switch (algorithm) {
    case CryptAlgorithm::aes:
        switch (keySize) {
        case kAes128KeySize: return ecb ? EVP_aes_128_ecb() : EVP_aes_128_cbc();
        case kAes192KeySize: return ecb ? EVP_aes_192_ecb() : EVP_aes_192_cbc();
        case kAes256KeySize: return ecb ? EVP_aes_256_ecb() : EVP_aes_256_cbc();
        default: return nullptr;
        }
    case CryptAlgorithm::des:
        if (keySize != kDesKeySize)
            return nullptr;
        return ecb ? EVP_des_ede3_ecb() : EVP_des_ede3_cbc();
    case CryptAlgorithm::tripleDes:
        if (keySize != kTripleDesKeySize)
            return nullptr;
        return ecb ? EVP_des_ede3_ecb() : EVP_des_ede3_cbc();
    }
    return nullptr;
}

// EVP takes int lengths; feed long inputs in slices.
bool update(EVP_CIPHER_CTX* context, std::vector<std::uint8_t>& out, std::size_t& produced,
            const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t kSlice = std::size_t{1} << 30;
    while (size > 0) {
        const std::size_t slice = std::min(size, kSlice);
        int written = 0;
        if (!EVP_CipherUpdate(context, out.data() + produced, &written, data, static_cast<int>(slice)))
            return false;
        produced += static_cast<std::size_t>(written);
        data += slice;
        size -= slice;
    }
    return true;
}

// Length of valid PKCS#7 padding at the end of whole blocks, or 0 when the
// padding is malformed.
std::size_t paddingLength(const std::vector<std::uint8_t>& plain, std::size_t blockSize) {
    const std::uint8_t pad = plain.back();
    if (pad == 0 || pad > blockSize)
        return 0;
    const bool uniform = std::all_of(plain.end() - pad, plain.end(), [pad](std::uint8_t byte) { return byte == pad; });
    return uniform ? pad : 0;
}

}  // namespace

CryptResult crypt(CryptOperation operation, CryptAlgorithm algorithm, CryptOptions options,
                  ByteView key, ByteView iv, ByteView input) {
    if (operation != CryptOperation::encrypt && operation != CryptOperation::decrypt)
        return failure(CryptStatus::paramError);
    const bool encrypting = operation == CryptOperation::encrypt;
    const bool ecb = hasOption(options, CryptOptions::ecbMode);
    const bool padded = hasOption(options, CryptOptions::pkcs7Padding);

    const EVP_CIPHER* cipher = cipherFor(algorithm, key.size(), ecb);
    if (!cipher)
        return failure(CryptStatus::paramError);
    const auto blockSize = static_cast<std::size_t>(EVP_CIPHER_get_block_size(cipher));

    std::vector<std::uint8_t> keyBytes(key.begin(), key.end());
    if (algorithm == CryptAlgorithm::des) {
        keyBytes.insert(keyBytes.end(), key.begin(), key.end());
        keyBytes.insert(keyBytes.end(), key.begin(), key.end());
    }

    std::uint8_t ivBytes[EVP_MAX_IV_LENGTH] = {};
    if (!ecb && !iv.empty()) {
        if (iv.size() != blockSize)
            return failure(CryptStatus::paramError);
        std::copy(iv.begin(), iv.end(), ivBytes);
    }

    const std::size_t tail = input.size() % blockSize;
    if (tail != 0 && !(encrypting && padded))
        return failure(CryptStatus::alignmentError);
    // Every padded ciphertext holds at least the padding block.
    if (!encrypting && padded && input.empty())
        return failure(CryptStatus::decodeError);

    CipherContext context(EVP_CIPHER_CTX_new());
    if (!context ||
        !EVP_CipherInit_ex2(context.get(), cipher, keyBytes.data(), ecb ? nullptr : ivBytes, encrypting ? 1 : 0,
                            nullptr))
        return failure(CryptStatus::memoryFailure);
    // Padding is added and checked here rather than by OpenSSL so that a bad
    // pad is told apart from other failures.
    EVP_CIPHER_CTX_set_padding(context.get(), 0);

    std::vector<std::uint8_t> out(input.size() + blockSize);
    std::size_t produced = 0;
    if (!update(context.get(), out, produced, input.data(), input.size()))
        return failure(CryptStatus::memoryFailure);
    if (encrypting && padded) {
        const auto pad = static_cast<std::uint8_t>(blockSize - tail);
        const std::vector<std::uint8_t> padding(pad, pad);
        if (!update(context.get(), out, produced, padding.data(), padding.size()))
            return failure(CryptStatus::memoryFailure);
    }
    int finalBytes = 0;
    if (!EVP_CipherFinal_ex(context.get(), out.data() + produced, &finalBytes))
        return failure(CryptStatus::memoryFailure);
    out.resize(produced + static_cast<std::size_t>(finalBytes));

    if (!encrypting && padded) {
        const std::size_t pad = paddingLength(out, blockSize);
        if (pad == 0)
            return failure(CryptStatus::decodeError);
        out.resize(out.size() - pad);
    }
    return CryptResult{CryptStatus::success, std::move(out)};
}

}  // namespace sec
