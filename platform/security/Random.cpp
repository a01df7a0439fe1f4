#include "platform/security/Random.h"

#include <openssl/rand.h>

#include <algorithm>
#include <mutex>

#include "platform/security/OpenSslError.h"

namespace sec {
namespace {

// xoshiro256** seeded through splitmix64: small, fast, and the same sequence
// on every machine, which is all a seeded test source needs.
class SeededGenerator {
public:
    void seed(std::uint64_t seed) {
        for (std::uint64_t& word : state_) {
            seed += 0x9e3779b97f4a7c15ULL;
            std::uint64_t z = seed;
            z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
            z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
            word = z ^ (z >> 31);
        }
    }

    std::uint64_t next() {
        const std::uint64_t result = rotl(state_[1] * 5, 7) * 9;
        const std::uint64_t t = state_[1] << 17;
        state_[2] ^= state_[0];
        state_[3] ^= state_[1];
        state_[1] ^= state_[2];
        state_[0] ^= state_[3];
        state_[2] ^= t;
        state_[3] = rotl(state_[3], 45);
        return result;
    }

private:
    static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

    std::uint64_t state_[4] = {};
};

struct Source {
    std::mutex lock;
    bool seeded = false;
    SeededGenerator generator;
};

Source& source() {
    static Source instance;
    return instance;
}

void systemBytes(std::uint8_t* out, std::size_t count) {
    constexpr std::size_t kSlice = std::size_t{1} << 30;
    while (count > 0) {
        const std::size_t slice = std::min(count, kSlice);
        if (RAND_bytes(out, static_cast<int>(slice)) != 1)
            detail::throwOpenSslFailure("RAND_bytes");
        out += slice;
        count -= slice;
    }
}

void fill(std::uint8_t* out, std::size_t count) {
    Source& s = source();
    std::lock_guard guard(s.lock);
    if (!s.seeded) {
        systemBytes(out, count);
        return;
    }
    // Little-endian by hand so a seed gives the same bytes on any machine.
    while (count > 0) {
        std::uint64_t word = s.generator.next();
        for (int i = 0; i < 8 && count > 0; ++i, --count) {
            *out++ = static_cast<std::uint8_t>(word);
            word >>= 8;
        }
    }
}

}  // namespace

std::uint32_t Random::next32() {
    std::uint8_t raw[4];
    fill(raw, sizeof raw);
    return std::uint32_t{raw[0]} | std::uint32_t{raw[1]} << 8 | std::uint32_t{raw[2]} << 16 |
           std::uint32_t{raw[3]} << 24;
}

std::uint32_t Random::uniform(std::uint32_t upperBound) {
    if (upperBound < 2)
        return 0;
    // Values below 2^32 mod upperBound would make the low results more
    // likely; redrawing them leaves a range that divides evenly.
    const std::uint32_t floor = static_cast<std::uint32_t>(-upperBound) % upperBound;
    for (;;) {
        const std::uint32_t value = next32();
        if (value >= floor)
            return value % upperBound;
    }
}

std::vector<std::uint8_t> Random::bytes(std::size_t count) {
    std::vector<std::uint8_t> out(count);
    fill(out.data(), count);
    return out;
}

void Random::seedForTesting(std::uint64_t seed) {
    Source& s = source();
    std::lock_guard guard(s.lock);
    s.generator.seed(seed);
    s.seeded = true;
}

void Random::useSystemSource() {
    Source& s = source();
    std::lock_guard guard(s.lock);
    s.seeded = false;
}

}  // namespace sec
