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

// Three cut shapes (the first cut in half), then the whole ones.
inline std::vector<Shape> shapes() {
    using urltest::gzipped;
    const std::string large = text(131'000, 1);
    const std::string small = text(12'000, 2);
    const std::string gzLarge = gzipped(large);
    const std::string gzSmall = gzipped(small);
    return {
        {"cut-in-half", gzLarge.substr(0, gzLarge.size() / 2), large, false},
        {"forty-bytes-short", gzSmall.substr(0, gzSmall.size() - 40), small, false},
        // The deflate data ends; the member's CRC and length never come.
        {"no-crc-and-length", gzSmall.substr(0, gzSmall.size() - 8), small, false},
        // A second member that begins and never ends.
        {"second-member-cut", gzSmall + gzLarge.substr(0, 100), small + large, false},
        {"two-members", gzSmall + gzLarge, small + large, true},
        // Bytes after the last member that begin no other are not the reply's.
        {"members-and-padding", gzSmall + gzipped("end") + std::string(64, '\0'), small + "end", true},
    };
}

}  // namespace cuttest
