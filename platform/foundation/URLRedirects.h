#pragma once
// How every URL load follows a redirect: which statuses redirect (when a
// Location comes with them), and how many in a row a load follows before it
// fails.
//
// Internal to URL loading.

#include <cstddef>
#include <cstdint>

namespace ns::detail {

inline constexpr int maxRedirects = 16;

// A redirect followed without asking anyone has its own body read and
// dropped, so that its connection can carry the next request; ordinary ones
// are a few hundred bytes. Past this the transfer stops (its connection is
// closed, not reused) and the redirect is followed: a body that never ends
// holds up nothing.
inline constexpr uint64_t MostRedirectBodyBytes = 1ull << 20;

// The body of such a redirect as it passes.
class RedirectBody {
public:
    // Counts `length` more bytes; false once past MostRedirectBodyBytes,
    // where the transfer stops.
    bool pass(size_t length) {
        passed_ += length;
        cut_ = cut_ || passed_ > MostRedirectBodyBytes;
        return !cut_;
    }
    // Whether the transfer stopped inside the body.
    bool cut() const { return cut_; }

private:
    uint64_t passed_ = 0;
    bool cut_ = false;
};

inline bool isRedirectStatus(int64_t status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

}  // namespace ns::detail
