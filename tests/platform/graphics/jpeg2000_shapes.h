#pragma once
// JPEG 2000 files written byte by byte, for the tests that weigh what a
// file makes the decoder hold: codestreams whose packets are all empty, a
// few bytes a tile, which decode to mid-grey. The coding style (wavelet
// levels, code-block and precinct sizes) is chosen for the main header,
// for one component, and for every tile's own header, so that files with
// millions of code-blocks or precincts take a few hundred bytes.

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace jpeg2000shapes {

using Bytes = std::vector<uint8_t>;

inline void put16(Bytes& out, uint32_t v) {
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}
inline void put32(Bytes& out, uint32_t v) {
    put16(out, v >> 16);
    put16(out, v & 0xFFFF);
}
inline void putType(Bytes& out, const char* type) { out.insert(out.end(), type, type + 4); }

// A coding style as the file stores it. Code-blocks are 2^(exponent + 2)
// samples a side, so an exponent of 0 means 4. Precincts, when given, are
// one byte per resolution from the lowest, 2^(byte & 15) wide and
// 2^(byte >> 4) high; none means the largest.
struct Coding {
    uint8_t levels = 0;
    uint8_t blockWidth = 4, blockHeight = 4;
    std::vector<uint8_t> precincts;
};

// The coding style of one component, overriding the header's.
struct ComponentCoding {
    uint16_t component = 0;
    Coding coding;
};

struct Shape {
    Shape(uint32_t width, uint32_t height, uint32_t tileWidth, uint32_t tileHeight, uint16_t components = 1,
          bool withTiles = true)
        : width(width), height(height), tileWidth(tileWidth), tileHeight(tileHeight), components(components),
          withTiles(withTiles) {}

    uint32_t width, height, tileWidth, tileHeight;
    uint16_t components;
    // False: the main header alone, as a file cut short after it.
    bool withTiles;
    Coding coding;
    std::optional<ComponentCoding> componentCoding;
    // Written in every tile's header.
    std::optional<Coding> tileCoding;
    std::optional<ComponentCoding> tileComponentCoding;
    // Subsampling of every component.
    uint8_t subsampling = 1;
    // Every tile's packet data; none writes empty packets.
    Bytes packets;
};

// The parameters COD and COC share: levels, code-block size and style,
// the reversible filter, then the precinct sizes.
inline void putCodingParameters(Bytes& out, const Coding& c) {
    out.insert(out.end(), {c.levels, c.blockWidth, c.blockHeight, 0, 1});
    out.insert(out.end(), c.precincts.begin(), c.precincts.end());
}

// Layer-resolution order, one layer, no colour transform.
inline void putCod(Bytes& out, const Coding& c) {
    out.insert(out.end(), {0xFF, 0x52});
    put16(out, 12 + uint32_t(c.precincts.size()));
    out.insert(out.end(), {uint8_t(c.precincts.empty() ? 0 : 1), 0, 0, 1, 0});
    putCodingParameters(out, c);
}

// The component's index in one byte, as files of fewer than 257
// components have it.
inline void putCoc(Bytes& out, const ComponentCoding& c) {
    out.insert(out.end(), {0xFF, 0x53});
    put16(out, 9 + uint32_t(c.coding.precincts.size()));
    out.insert(out.end(), {uint8_t(c.component), uint8_t(c.coding.precincts.empty() ? 0 : 1)});
    putCodingParameters(out, c.coding);
}

// The empty packets of one tile: one a resolution for each component,
// which is every packet when each resolution is one precinct.
inline uint32_t packetsPerTile(const Shape& s) {
    uint32_t packets = 0;
    for (uint16_t c = 0; c < s.components; ++c) {
        const Coding* coding = s.tileCoding ? &*s.tileCoding : &s.coding;
        if (s.tileComponentCoding && s.tileComponentCoding->component == c) {
            coding = &s.tileComponentCoding->coding;
        } else if (!s.tileCoding && s.componentCoding && s.componentCoding->component == c) {
            coding = &s.componentCoding->coding;
        }
        packets += coding->levels + 1u;
    }
    return packets;
}

// 8-bit unsigned components, one quality layer; each tile is one
// tile-part.
inline Bytes codestream(const Shape& s) {
    Bytes out = {0xFF, 0x4F, 0xFF, 0x51};
    put16(out, 38 + 3u * s.components);
    put16(out, 0);
    for (uint32_t v : {s.width, s.height, 0u, 0u, s.tileWidth, s.tileHeight, 0u, 0u}) put32(out, v);
    put16(out, s.components);
    for (int c = 0; c < s.components; ++c) out.insert(out.end(), {7, s.subsampling, s.subsampling});
    putCod(out, s.coding);
    if (s.componentCoding) putCoc(out, *s.componentCoding);
    // Quantization: none, two guard bits, the same exponent for every band.
    out.insert(out.end(), {0xFF, 0x5C, 0, 4, 0x40, 0x40});
    const uint32_t tiles =
        s.withTiles ? ((s.width + s.tileWidth - 1) / s.tileWidth) * ((s.height + s.tileHeight - 1) / s.tileHeight) : 0;
    for (uint32_t t = 0; t < tiles; ++t) {
        Bytes header;
        if (s.tileCoding) putCod(header, *s.tileCoding);
        if (s.tileComponentCoding) putCoc(header, *s.tileComponentCoding);
        const Bytes packets = s.packets.empty() ? Bytes(packetsPerTile(s), 0) : s.packets;
        out.insert(out.end(), {0xFF, 0x90, 0, 10});
        put16(out, t);
        put32(out, 14 + uint32_t(header.size() + packets.size()));
        out.insert(out.end(), {0, 1});
        out.insert(out.end(), header.begin(), header.end());
        out.insert(out.end(), {0xFF, 0x93});
        out.insert(out.end(), packets.begin(), packets.end());
    }
    out.insert(out.end(), {0xFF, 0xD9});
    return out;
}

inline constexpr uint32_t kSRGB = 16, kGrey = 17;

// The JP2 file form around a codestream: its header box (image header,
// colour box of `space`, a last component marked as alpha when
// `alpha`), then the codestream box.
inline Bytes jp2(const Shape& s, uint32_t space, bool alpha) {
    Bytes out = {0, 0, 0, 12, 'j', 'P', ' ', ' ', '\r', '\n', 0x87, '\n'};
    put32(out, 20);
    putType(out, "ftyp");
    putType(out, "jp2 ");
    put32(out, 0);
    putType(out, "jp2 ");
    const uint32_t definitions = alpha ? 10 + 6u * s.components : 0;
    put32(out, 8 + 22 + 15 + definitions);
    putType(out, "jp2h");
    put32(out, 22);
    putType(out, "ihdr");
    put32(out, s.height);
    put32(out, s.width);
    put16(out, s.components);
    out.insert(out.end(), {7, 7, 0, 0});
    put32(out, 15);
    putType(out, "colr");
    out.insert(out.end(), {1, 0, 0});
    put32(out, space);
    if (alpha) {
        put32(out, definitions);
        putType(out, "cdef");
        put16(out, s.components);
        for (uint16_t c = 0; c < s.components; ++c) {
            const bool last = c + 1 == s.components;
            put16(out, c);
            put16(out, last ? 1 : 0);
            put16(out, last ? 0 : c + 1u);
        }
    }
    Bytes stream = codestream(s);
    put32(out, 8 + uint32_t(stream.size()));
    putType(out, "jp2c");
    out.insert(out.end(), stream.begin(), stream.end());
    return out;
}

// One tile of the whole picture, coded as given.
inline Shape oneTile(uint32_t width, uint32_t height, uint16_t components, Coding coding) {
    Shape s{width, height, width, height, components};
    s.coding = std::move(coding);
    return s;
}

// The shapes that made the decoder hold gigabytes, in a few hundred bytes
// each: 8192 x 4096 RGBA with 4 x 4 code-blocks (an exponent of 0);
// 1024 x 1024 RGBA with precincts of one sample; 5792 x 5792 grey with
// five wavelet levels of 4 x 4 code-blocks, the coding the library's
// compressor writes when asked for its smallest blocks; and 5792 x 5792
// RGBA in the JP2 form, five levels, its COD's code-block exponents 0.
inline Bytes tinyCodeBlocksRgba() { return codestream(oneTile(8192, 4096, 4, {0, 0, 0, {}})); }
inline Bytes onePixelPrecincts() { return codestream(oneTile(1024, 1024, 4, {0, 4, 4, {0x00}})); }
inline Bytes smallCodeBlocksGrey() { return codestream(oneTile(5792, 5792, 1, {5, 0, 0, {}})); }
inline Bytes zeroExponentsRgbaJp2() { return jp2(oneTile(5792, 5792, 4, {5, 0, 0, {}}), kSRGB, true); }

}  // namespace jpeg2000shapes
