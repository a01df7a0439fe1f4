#include "sandbox/Signature.h"

#include "platform/security/Digest.h"
#include "platform/security/Hex.h"

namespace sandbox {

std::string signatureOf(std::initializer_list<std::string_view> values, std::string_view key) {
    std::string joined;
    for (std::string_view value : values) joined += value;
    joined += key;
    return sec::hexLower(sec::md5(joined));
}

}  // namespace sandbox
