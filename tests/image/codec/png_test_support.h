#pragma once
// Builds PNG and animated PNG files chunk by chunk for the codec's tests:
// real IDAT data comes from the platform's PNG writer, the animation chunks
// are written here with their CRCs.

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Png.h"

namespace pngtest {

using Bytes = std::vector<uint8_t>;

inline void putU32(Bytes& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}
inline void putU16(Bytes& out, uint16_t v) {
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}
inline uint32_t readU32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

inline void putChunk(Bytes& out, const std::string& code, const Bytes& data) {
    putU32(out, uint32_t(data.size()));
    Bytes body(code.begin(), code.end());
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    putU32(out, uint32_t(crc32(0, body.data(), uInt(body.size()))));
}

inline Bytes signature() { return {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}; }

struct Chunk {
    std::string code;
    Bytes data;
};

// The chunks of a PNG file, signature skipped; no checks.
inline std::vector<Chunk> chunksOf(const Bytes& png) {
    std::vector<Chunk> chunks;
    for (size_t at = 8; at + 12 <= png.size();) {
        uint32_t length = readU32(&png[at]);
        if (at + 12 + length > png.size()) break;
        chunks.push_back({std::string(png.begin() + at + 4, png.begin() + at + 8),
                          Bytes(png.begin() + at + 8, png.begin() + at + 8 + length)});
        at += 12 + length;
    }
    return chunks;
}

// A bitmap of one straight colour.
inline cg::Bitmap solid(int width, int height, uint8_t a, uint8_t r, uint8_t g, uint8_t b) {
    cg::Bitmap bitmap(width, height, cg::PixelFormat::ARGB32Premultiplied);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) bitmap.setPixel(x, y, cg::premultiplied(a, r, g, b));
    return bitmap;
}

struct Frame {
    cg::Bitmap bitmap;
    uint32_t x = 0, y = 0;
    uint16_t delayNum = 1, delayDen = 10;
    uint8_t dispose = 0, blend = 0;
};

inline Bytes fctl(uint32_t sequence, const Frame& f) {
    Bytes d;
    putU32(d, sequence);
    putU32(d, uint32_t(f.bitmap.width()));
    putU32(d, uint32_t(f.bitmap.height()));
    putU32(d, f.x);
    putU32(d, f.y);
    putU16(d, f.delayNum);
    putU16(d, f.delayDen);
    d.push_back(f.dispose);
    d.push_back(f.blend);
    return d;
}

// An animated PNG of `frames` on a canvas of the first frame's size. With
// `cover` the first frame is the default image (its fcTL precedes the IDAT);
// without it the default image is `frames[0]` outside the animation and the
// animation is the remaining frames.
inline Bytes apng(const std::vector<Frame>& frames, uint32_t plays = 0, bool cover = true) {
    Bytes out = signature();
    auto first = chunksOf(cg::encodePng(frames[0].bitmap));
    uint32_t sequence = 0;
    uint32_t animated = uint32_t(frames.size()) - (cover ? 0 : 1);
    bool wroteAnimation = false;
    for (auto& chunk : first) {
        if (chunk.code == "IDAT" && !wroteAnimation) {
            Bytes actl;
            putU32(actl, animated);
            putU32(actl, plays);
            putChunk(out, "acTL", actl);
            if (cover) putChunk(out, "fcTL", fctl(sequence++, frames[0]));
            wroteAnimation = true;
        }
        if (chunk.code == "IEND") {
            for (size_t i = 1; i < frames.size(); ++i) {
                putChunk(out, "fcTL", fctl(sequence++, frames[i]));
                for (auto& c : chunksOf(cg::encodePng(frames[i].bitmap))) {
                    if (c.code != "IDAT") continue;
                    Bytes fdat;
                    putU32(fdat, sequence++);
                    fdat.insert(fdat.end(), c.data.begin(), c.data.end());
                    putChunk(out, "fdAT", fdat);
                }
            }
        }
        putChunk(out, chunk.code, chunk.data);
    }
    return out;
}

// Replaces the data of the n-th chunk with code `code` (CRC rewritten).
inline Bytes rewriteChunk(const Bytes& png, const std::string& code, int n, const Bytes& data) {
    Bytes out = signature();
    int seen = 0;
    for (auto& chunk : chunksOf(png)) putChunk(out, chunk.code, chunk.code == code && seen++ == n ? data : chunk.data);
    return out;
}

}  // namespace pngtest
