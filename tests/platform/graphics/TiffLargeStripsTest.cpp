// TIFF strips that decode to more than the reader's working buffer (of
// contiguous samples, or of every plane together) are read a batch of rows
// at a time into the picture: the picture is held once, as a PNG's is, and
// comes out as the same strips cut small do.

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstring>
#include <memory>
#include <vector>

#include "platform/graphics/ImageSource.h"
#include "platform/testing/TiffFiles.h"
#include "tests/platform/graphics/hostile_reading.h"
#include "tests/platform/graphics/still_test_support.h"
#include "tests/platform/graphics/tiff_by_library.h"

namespace {

using Bytes = std::vector<uint8_t>;
using hostile::MiB;
using stilltest::maxDifference;
using tifftest::Scratch;
using tifftest::TiffPage;
using tifftest::tiffByLibrary;
using tifftest::tiffPage;

ns::Ref<cg::Image> onlyImage(const Bytes& file) {
    auto source = cg::ImageSource::createWithData(file);
    if (!source || source->count() != 1) return nullptr;
    return source->createImageAtIndex(0);
}

// A page's samples as written (whole bytes, the machine's order), plane
// after plane when the planes are separate.
template <class Sample>
Bytes written(int width, int height, uint16_t samples, uint16_t bits, bool separate, Sample sample) {
    const size_t size = bits / 8;
    Bytes out(size_t(width) * size_t(height) * samples * size);
    uint8_t* at = out.data();
    auto put = [&](int x, int y, int s) {
        const uint16_t v = sample(x, y, s);
        std::memcpy(at, &v, size);
        at += size;
    };
    if (separate) {
        for (int s = 0; s < samples; ++s)
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) put(x, y, s);
    } else {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                for (int s = 0; s < samples; ++s) put(x, y, s);
    }
    return out;
}

// Each layout in one strip of more than 16 MiB, and in strips of 16 rows:
// the same pixels, and the ones sampled as written.
TEST(TiffLargeStripsTest, OneLargeStripReadsAsSmallStripsDo) {
    Scratch scratch;
    struct Case {
        const char* name;
        TiffPage page;
        uint16_t extra = 0;
    };
    auto wave = [](int x, int y, int s) { return uint16_t((x * 7 + y * 13 + s * 50) % 256); };
    auto deep = [](int x, int y, int s) { return uint16_t(((x * 7 + y * 13 + s * 50) % 256) * 257 + (x % 3)); };
    auto layout = [](int w, int h, uint16_t samples, uint16_t bits, uint16_t photometric, auto sample,
                     bool separate = false) {
        TiffPage page = tiffPage(w, h, samples, bits, photometric, COMPRESSION_ADOBE_DEFLATE);
        page.sample = sample;
        page.separatePlanes = separate;
        // The samples are made once, on the first row either file asks for,
        // and read by both files a row at a time.
        auto bytes = std::make_shared<Bytes>();
        page.row = [=](int y, uint16_t plane, uint8_t* row) {
            if (bytes->empty()) *bytes = written(w, h, samples, bits, separate, sample);
            const size_t rowBytes = size_t(w) * (separate ? 1 : samples) * (bits / 8);
            std::memcpy(row, bytes->data() + (size_t(plane) * size_t(h) + size_t(y)) * rowBytes, rowBytes);
        };
        return page;
    };
    for (Case& c : std::vector<Case>{
             {"RGBA, 8 bits", layout(4096, 1100, 4, 8, PHOTOMETRIC_RGB, wave), EXTRASAMPLE_UNASSALPHA},
             {"RGB, 16 bits", layout(2048, 1500, 3, 16, PHOTOMETRIC_RGB, deep)},
             {"RGBA, 16 bits, associated", layout(1536, 1400, 4, 16, PHOTOMETRIC_RGB,
                                                   [](int x, int y, int s) {
                                                       const int a = (x + y) % 256;
                                                       return uint16_t((s == 3 ? a : std::min(a, (x * 3 + s) % 256)) * 257);
                                                   }),
              EXTRASAMPLE_ASSOCALPHA},
             {"grey with alpha, 16 bits", layout(2900, 1500, 2, 16, PHOTOMETRIC_MINISBLACK, deep),
              EXTRASAMPLE_UNASSALPHA},
             {"grey, 8 bits", layout(4100, 4100, 1, 8, PHOTOMETRIC_MINISWHITE, wave)},
             // A strip of each plane at a time, the planes together past
             // the buffer.
             {"RGBA in planes, 8 bits", layout(2100, 2100, 4, 8, PHOTOMETRIC_RGB, wave, true), EXTRASAMPLE_ASSOCALPHA},
             {"RGB in planes, 16 bits", layout(2048, 1500, 3, 16, PHOTOMETRIC_RGB, deep, true)},
             {"grey with alpha in planes, 16 bits", layout(2900, 1500, 2, 16, PHOTOMETRIC_MINISBLACK, deep, true),
              EXTRASAMPLE_UNASSALPHA},
         }) {
        SCOPED_TRACE(c.name);
        TiffPage whole = c.page;
        whole.rowsPerStrip = uint32_t(whole.height);
        whole.setup = [extra = c.extra](TIFF* t) {
            // The fastest deflate: how hard the writer packs is nothing to the reader.
            TIFFSetField(t, TIFFTAG_ZIPQUALITY, 1);
            if (extra) TIFFSetField(t, TIFFTAG_EXTRASAMPLES, uint16_t(1), &extra);
        };
        TiffPage cut = whole;
        cut.rowsPerStrip = 16;
        const uint64_t stripBytes = uint64_t(whole.width) * whole.height * whole.samples * whole.bits / 8;
        ASSERT_GT(stripBytes, 16 * MiB) << "past the working buffer";
        auto large = onlyImage(tiffByLibrary(scratch, {whole}));
        auto small = onlyImage(tiffByLibrary(scratch, {cut}));
        // Both files written, the samples made for them go.
        c.page.row = whole.row = cut.row = nullptr;
        ASSERT_TRUE(large);
        ASSERT_TRUE(small);
        EXPECT_EQ(maxDifference(large->bitmap(), small->bitmap()), 0);
        // The last row, and a pixel of the middle, as written.
        for (auto [x, y] : {std::pair{whole.width - 1, whole.height - 1}, std::pair{whole.width / 2, whole.height / 2}}) {
            const cg::Pixel p = large->bitmap().pixel(x, y);
            const int first = whole.sample(x, y, 0) >> (whole.bits == 16 ? 8 : 0);
            if (whole.photometric == PHOTOMETRIC_MINISWHITE) {
                EXPECT_EQ(p.green, 255 - first);
            } else if (!c.extra) {
                EXPECT_NEAR(p.red, first, 1);
            } else {
                EXPECT_EQ(p.alpha, whole.sample(x, y, whole.samples - 1) >> (whole.bits == 16 ? 8 : 0));
            }
        }
    }
}

// A file cut inside its one large strip gives no picture, as a file cut
// inside a small strip does.
TEST(TiffLargeStripsTest, ALargeStripCutShortGivesNoImage) {
    Scratch scratch;
    TiffPage page = tiffPage(4096, 1100, 4, 8, PHOTOMETRIC_RGB, COMPRESSION_ADOBE_DEFLATE);
    page.rowsPerStrip = 1100;
    page.sample = [](int x, int y, int s) { return uint16_t((x * 31 + y * 17 + s) % 251); };
    Bytes file = tiffByLibrary(scratch, {page});
    ASSERT_TRUE(onlyImage(file));
    // The strip's byte count says less than was written: the stream ends
    // before the rows do.
    tifftest::setFirstValue(file, TIFFTAG_STRIPBYTECOUNTS, 4096);
    auto source = cg::ImageSource::createWithData(file);
    ASSERT_EQ(source->count(), 1u);
    EXPECT_FALSE(source->createImageAtIndex(0));
}

// A 4096 x 4096 RGBA picture (64 MiB, four times the reader's working
// buffer) in one deflate strip, of 8 and of 16 bits a sample, and of 16 in
// a strip a plane, beside the same picture as a PNG: the strips are decoded
// a batch of rows at a time into the picture, so none holds it more than
// once.
TEST(TiffLargeStripsTest, AOneStripPictureIsHeldOnceAsAPngIs) {
    constexpr uint32_t Side = 4096;
    const Bytes png = hostile::transparentPng(Side, Side);
    auto growthOf = [](const Bytes& file) {
        auto source = cg::ImageSource::createWithData(file);
        testing::ResidentPeak peak = hostile::peakFromHere();
        auto image = source->createImageAtIndex(0);
        EXPECT_TRUE(image);
        EXPECT_TRUE(peak.started());
        return peak.growth();
    };
    const uint64_t pngGrowth = growthOf(png);
    for (auto [bits, separate] : {std::pair<uint16_t, bool>{8, false}, {16, false}, {16, true}}) {
        SCOPED_TRACE(testing::Message() << bits << (separate ? " bits in planes" : " bits"));
        const Bytes tiff =
            testing::flatTiff({.width = Side, .height = Side, .samples = 4, .bits = bits, .photometric = PHOTOMETRIC_RGB,
                               .extraSample = EXTRASAMPLE_ASSOCALPHA, .separatePlanes = separate});
        const uint64_t tiffGrowth = growthOf(tiff);
        // What the PNG grows it by (the picture, once), the reader's working
        // buffer of 16 MiB, and 8 MiB for what the allocator keeps: a second
        // copy of the picture, or the strip decoded whole, passes it.
        testing::expectGrowthUnder(tiffGrowth, pngGrowth + 16 * MiB + 8 * MiB,
                                   std::to_string(Side) + " x " + std::to_string(Side) + " RGBA of " +
                                       std::to_string(bits) + " bits, one strip" + (separate ? " a plane" : "") +
                                       ", beside its PNG's " + std::to_string(pngGrowth / MiB) + " MiB");
    }
}

}  // namespace
