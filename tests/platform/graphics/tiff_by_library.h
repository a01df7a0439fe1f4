#pragma once
// TIFF files written by libtiff itself for the reader's tests: pages of
// any layout it writes, with the further tags a test sets, through a
// scratch file of the test's own.

#include <gtest/gtest.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace tifftest {

using Bytes = std::vector<uint8_t>;

class Scratch {
public:
    Scratch() : dir_(std::filesystem::temp_directory_path() / ("tiff-by-library-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(dir_);
    }
    ~Scratch() { std::filesystem::remove_all(dir_); }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    static Bytes read(const std::string& path) {
        std::ifstream in(path, std::ios::binary | std::ios::ate);
        Bytes bytes(in ? size_t(in.tellg()) : 0);
        in.seekg(0);
        in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
        return bytes;
    }

private:
    std::filesystem::path dir_;
};

// One directory written by libtiff: `samples` bytes per pixel of `bits`
// each, filled by `sample(x, y, s)`; `setup` sets any further tags.
struct TiffPage {
    int width = 0, height = 0;
    uint16_t samples = 3, bits = 8, photometric = PHOTOMETRIC_RGB, compression = COMPRESSION_NONE;
    uint32_t rowsPerStrip = 2;
    // Square tiles of this side instead of strips (8 and 16 bits only).
    uint32_t tileSide = 0;
    // Each sample in a plane of its own (strips of 8 and 16 bits only).
    bool separatePlanes = false;
    std::function<uint16_t(int, int, int)> sample;
    // For strips, in place of `sample`: fills row `y` (of plane `plane` when
    // the planes are separate) with its bytes as written, for pictures large
    // enough that a call a sample costs more than reading them.
    std::function<void(int y, uint16_t plane, uint8_t* row)> row;
    std::function<void(TIFF*)> setup;
};

inline TiffPage tiffPage(int width, int height, uint16_t samples = 3, uint16_t bits = 8,
                  uint16_t photometric = PHOTOMETRIC_RGB, uint16_t compression = COMPRESSION_NONE) {
    TiffPage page;
    page.width = width;
    page.height = height;
    page.samples = samples;
    page.bits = bits;
    page.photometric = photometric;
    page.compression = compression;
    return page;
}

// Every tile of a tiled page, the samples of pixels past the picture's
// edges left zero.
inline void writeTiles(TIFF* tiff, const TiffPage& page) {
    const size_t bytes = page.bits / 8, side = page.tileSide;
    std::vector<uint8_t> tile(side * side * page.samples * bytes);
    for (uint32_t top = 0; top < uint32_t(page.height); top += page.tileSide)
        for (uint32_t left = 0; left < uint32_t(page.width); left += page.tileSide) {
            std::fill(tile.begin(), tile.end(), 0);
            for (uint32_t y = top; y < std::min<uint32_t>(top + page.tileSide, page.height); ++y)
                for (uint32_t x = left; x < std::min<uint32_t>(left + page.tileSide, page.width); ++x)
                    for (int s = 0; s < page.samples; ++s) {
                        uint16_t v = page.sample(int(x), int(y), s);
                        size_t i = ((y - top) * side + (x - left)) * page.samples + size_t(s);
                        std::memcpy(&tile[i * bytes], &v, bytes);
                    }
            EXPECT_GT(TIFFWriteTile(tiff, tile.data(), left, top, 0, 0), 0);
        }
}

// `mode` "w" writes in the machine's byte order, "wb" big-endian.
inline Bytes tiffByLibrary(const Scratch& scratch, const std::vector<TiffPage>& pages, const char* mode = "w") {
    std::string path = scratch.path("by-libtiff.tif");
    TIFF* tiff = TIFFOpen(path.c_str(), mode);
    for (const TiffPage& page : pages) {
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(page.width));
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(page.height));
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, page.samples);
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, page.bits);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, page.photometric);
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG,
                     uint16_t(page.separatePlanes ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG));
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, page.compression);
        if (page.tileSide) {
            TIFFSetField(tiff, TIFFTAG_TILEWIDTH, page.tileSide);
            TIFFSetField(tiff, TIFFTAG_TILELENGTH, page.tileSide);
        } else {
            TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, page.rowsPerStrip);
        }
        if (page.setup) page.setup(tiff);
        if (page.tileSide) {
            writeTiles(tiff, page);
            TIFFWriteDirectory(tiff);
            continue;
        }
        if (page.separatePlanes) {
            const size_t bytes = page.bits / 8;
            std::vector<uint8_t> row(size_t(page.width) * bytes);
            for (int s = 0; s < page.samples; ++s)
                for (int y = 0; y < page.height; ++y) {
                    if (page.row) {
                        page.row(y, uint16_t(s), row.data());
                    } else {
                        for (int x = 0; x < page.width; ++x) {
                            const uint16_t v = page.sample(x, y, s);
                            std::memcpy(&row[size_t(x) * bytes], &v, bytes);
                        }
                    }
                    EXPECT_EQ(TIFFWriteScanline(tiff, row.data(), uint32_t(y), uint16_t(s)), 1);
                }
            TIFFWriteDirectory(tiff);
            continue;
        }
        std::vector<uint8_t> row(size_t(page.width) * page.samples * page.bits / 8 + 1);
        for (int y = 0; y < page.height; ++y) {
            if (page.row) {
                page.row(y, 0, row.data());
            } else {
                std::fill(row.begin(), row.end(), 0);
                for (int x = 0; x < page.width; ++x)
                    for (int s = 0; s < page.samples; ++s) {
                        uint16_t v = page.sample(x, y, s);
                        size_t i = size_t(x) * page.samples + size_t(s);
                        if (page.bits == 16) {
                            std::memcpy(&row[i * 2], &v, 2);
                        } else if (page.bits == 8) {
                            row[i] = uint8_t(v);
                        } else if (page.bits == 4) {
                            row[i / 2] |= uint8_t(v << (i % 2 ? 0 : 4));
                        } else {  // 1 bit
                            row[i / 8] |= uint8_t((v & 1) << (7 - i % 8));
                        }
                    }
            }
            EXPECT_EQ(TIFFWriteScanline(tiff, row.data(), uint32_t(y), 0), 1);
        }
        TIFFWriteDirectory(tiff);
    }
    TIFFClose(tiff);
    return Scratch::read(path);
}

// Sets the first value of a tag of the first directory of a little-endian
// TIFF, where the entry holds it or where it points.
inline void setFirstValue(Bytes& file, uint16_t tag, uint32_t value) {
    auto u16 = [&](size_t at) { return uint16_t(file[at] | file[at + 1] << 8); };
    auto u32 = [&](size_t at) { return uint32_t(u16(at)) | uint32_t(u16(at + 2)) << 16; };
    size_t directory = u32(4);
    for (size_t i = 0; i < u16(directory); ++i) {
        size_t entry = directory + 2 + i * 12;
        if (u16(entry) != tag) continue;
        size_t size = u16(entry + 2) == TIFF_SHORT ? 2 : 4;
        size_t at = u32(entry + 4) * size <= 4 ? entry + 8 : u32(entry + 8);
        for (size_t b = 0; b < size; ++b) file[at + b] = uint8_t(value >> (8 * b));
        return;
    }
    ADD_FAILURE() << "no tag " << tag;
}

}  // namespace tifftest
