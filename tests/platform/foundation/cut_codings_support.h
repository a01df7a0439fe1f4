#pragma once
// gzip replies cut short in the shapes servers cut them, beside whole ones
// of several members, for every path that loads a URL.

#include <cstdint>
#include <string>
#include <vector>

#include "tests/platform/foundation/reply_memory_support.h"

namespace cuttest {

struct Shape {
    std::string name;
    std::string body;     // as sent, gzip
    std::string decoded;  // what a whole reply decodes to
    bool whole = false;
    std::string logged;   // what the log says of it, if anything
};

// Letters that deflate shrinks little, the same in every run: a body cut in
// half is cut well inside its compressed stream.
inline std::string text(size_t length, uint32_t seed) {
    std::string out;
    out.reserve(length);
    for (uint32_t state = seed; out.size() < length;) {
        state = state * 1103515245u + 12345u;
        out += char('a' + (state >> 16) % 26);
        if ((state >> 8) % 7 == 0) out += ' ';
    }
    out.resize(length);
    return out;
}

inline constexpr const char* CutShort = "is cut short: its content codings \"gzip\" do not reach their end";

// A member's trailer with its CRC turned wrong.
inline std::string withWrongCrc(std::string member) {
    member[member.size() - 8] = char(member[member.size() - 8] ^ 0x5a);
    return member;
}

// Four shapes that fail (the first cut in half), then the whole ones.
inline std::vector<Shape> shapes() {
    using urltest::gzipped;
    const std::string large = text(131'000, 1);
    const std::string small = text(12'000, 2);
    const std::string gzLarge = gzipped(large);
    const std::string gzSmall = gzipped(small);
    return {
        {"cut-in-half", gzLarge.substr(0, gzLarge.size() / 2), large, false, CutShort},
        {"forty-bytes-short", gzSmall.substr(0, gzSmall.size() - 40), small, false, CutShort},
        // A second member that begins and never ends.
        {"second-member-cut", gzSmall + gzLarge.substr(0, 100), small + large, false, CutShort},
        {"wrong-crc", withWrongCrc(gzSmall), small, false, "is refused: its bytes are not of its content codings \"gzip\""},
        {"two-members", gzSmall + gzLarge, small + large, true},
        // Bytes after the last member that begin no other are not the reply's.
        {"members-and-padding", gzSmall + gzipped("end") + std::string(64, '\0'), small + "end", true},
        // The deflate data ends; the member's CRC and length never come, or
        // only their first bytes: the data is whole.
        {"no-crc-and-length", gzSmall.substr(0, gzSmall.size() - 8), small, true,
         "lacks 8 of the 8 bytes of its gzip trailer: its data reached its end"},
        {"three-bytes-of-eight", gzLarge.substr(0, gzLarge.size() - 5), large, true,
         "lacks 5 of the 8 bytes of its gzip trailer: its data reached its end"},
    };
}

}  // namespace cuttest
