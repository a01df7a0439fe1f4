#pragma once
// The process's random source. By default every value comes from the
// system's cryptographic generator; tests seed it to make draws repeatable.
// Safe to call from any thread.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sec {

class Random {
public:
    Random() = delete;

    static std::uint32_t next32();

    // Uniform in [0, upperBound) without modulo bias; 0 when upperBound < 2.
    static std::uint32_t uniform(std::uint32_t upperBound);

    static std::vector<std::uint8_t> bytes(std::size_t count);

    // From here on the same seed yields the same sequence of every call
    // above, until the next seed or useSystemSource().
    static void seedForTesting(std::uint64_t seed);
    static void useSystemSource();
};

}  // namespace sec
