#pragma once
// The platform server's request signature: the lower-case hexadecimal MD5 of
// the signed field values, the request's random text and the signing key,
// joined without separators.

#include <initializer_list>
#include <string>
#include <string_view>

namespace sandbox {

// The key the app and the platform server share.
inline constexpr std::string_view kSigningKey = "c07a4e91f2d35b6880e1a9c4573f2d6e";

// The key of the game server's store and welfare requests.
inline constexpr std::string_view kStoreSigningKey = "5d1f7e20c4b98a3361e0fa47d2c85b19";

// `values` are the signed fields in order, followed by the random text.
std::string signatureOf(std::initializer_list<std::string_view> values, std::string_view key = kSigningKey);

}  // namespace sandbox
