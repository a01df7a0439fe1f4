#pragma once
// Whether this build checks memory accesses with the address sanitizer:
// its allocator keeps freed blocks for a while and pads every one, and it
// checks only the blocks it hands out.

namespace rt {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool AddressSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool AddressSanitized = true;
#else
inline constexpr bool AddressSanitized = false;
#endif
#else
inline constexpr bool AddressSanitized = false;
#endif

}  // namespace rt
