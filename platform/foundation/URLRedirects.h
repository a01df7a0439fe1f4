#pragma once
// How every URL load follows a redirect: which statuses redirect (when a
// Location comes with them), and how many in a row a load follows before it
// fails.
//
// Internal to URL loading.

#include <cstdint>

namespace ns::detail {

inline constexpr int maxRedirects = 16;

inline bool isRedirectStatus(int64_t status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

}  // namespace ns::detail
