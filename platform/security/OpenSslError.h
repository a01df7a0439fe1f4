#pragma once
// For OpenSSL calls that fail only when the library itself is broken (no
// memory, provider missing), never because of the caller's data.

namespace sec::detail {

[[noreturn]] void throwOpenSslFailure(const char* call);

}  // namespace sec::detail
