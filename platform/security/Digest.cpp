#include "platform/security/Digest.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include "platform/security/OpenSslError.h"

namespace sec {
namespace {

template <std::size_t N>
std::array<std::uint8_t, N> digest(const EVP_MD* md, ByteView data) {
    std::array<std::uint8_t, N> out{};
    unsigned int length = 0;
    if (!EVP_Digest(data.data(), data.size(), out.data(), &length, md, nullptr) || length != N)
        detail::throwOpenSslFailure("EVP_Digest");
    return out;
}

}  // namespace

Md5Digest md5(ByteView data) { return digest<16>(EVP_md5(), data); }

Sha1Digest sha1(ByteView data) { return digest<20>(EVP_sha1(), data); }

Sha1Digest hmacSha1(ByteView key, ByteView data) {
    Sha1Digest out{};
    unsigned int length = 0;
    if (!HMAC(EVP_sha1(), key.data(), static_cast<int>(key.size()), data.data(), data.size(),
              out.data(), &length) ||
        length != out.size())
        detail::throwOpenSslFailure("HMAC");
    return out;
}

}  // namespace sec
