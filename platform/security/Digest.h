#pragma once
// Message digests and keyed hashes over raw bytes. Text callers hand in its
// UTF-8 bytes; hexLower()/hexUpper() give the usual printed form.

#include <array>
#include <cstdint>

#include "platform/security/ByteView.h"

namespace sec {

using Md5Digest = std::array<std::uint8_t, 16>;
using Sha1Digest = std::array<std::uint8_t, 20>;

Md5Digest md5(ByteView data);
Sha1Digest sha1(ByteView data);
Sha1Digest hmacSha1(ByteView key, ByteView data);

}  // namespace sec
