#include "platform/security/OpenSslError.h"

#include <openssl/err.h>

#include <stdexcept>
#include <string>

namespace sec::detail {

void throwOpenSslFailure(const char* call) {
    char detail[256] = "no detail";
    if (unsigned long code = ERR_get_error())
        ERR_error_string_n(code, detail, sizeof detail);
    ERR_clear_error();
    throw std::runtime_error(std::string(call) + " failed: " + detail);
}

}  // namespace sec::detail
