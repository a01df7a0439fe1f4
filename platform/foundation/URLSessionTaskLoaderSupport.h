#pragma once
// Small helpers shared by the parts of the task loader (URLSessionTaskLoader*.cpp).
// Internal to URL loading.

#include <atomic>
#include <cctype>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/foundation/URL.h"

namespace ns::detail::loading {

// Request time-outs run on real time, not the dispatch clock: a loopback
// reply in flight must not fail because a test moved mock time.
inline double realNow() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

inline std::string lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

inline std::string schemeOf(const URL& url) {
    auto scheme = url.scheme();
    return scheme ? lowered(scheme->utf8()) : std::string();
}

inline std::string hostOf(const URL& url) {
    auto host = url.host();
    return host ? host->utf8() : std::string();
}

// A completion handler that counts only its first call, as the platform's
// decision handlers do.
template <class... A>
std::function<void(A...)> firstCallOnly(std::type_identity_t<std::function<void(A...)>> f) {
    auto called = std::make_shared<std::atomic<bool>>(false);
    return [called, f = std::move(f)](A... args) {
        if (!called->exchange(true)) f(std::move(args)...);
    };
}

}  // namespace ns::detail::loading
