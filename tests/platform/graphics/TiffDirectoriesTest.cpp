// TIFF directories weighed by the reader's own walk before libtiff reads
// one: pages of more entries than a page or a file may have, and entries
// whose values sum past the file's length, are not read, and cost neither
// memory nor a directory read; ordinary files (tiled, multi-page fax,
// big-endian, with EXIF, XMP, an ICC profile or a private tag of megabytes)
// read with no pixel off.

#include <gtest/gtest.h>
#include <tiffio.h>

#include <string>
#include <vector>

#include "platform/foundation/Log.h"
#include "platform/graphics/ImageSource.h"
#include "platform/testing/TiffFiles.h"
#include "tests/platform/graphics/hostile_reading.h"
#include "tests/platform/graphics/still_test_support.h"
#include "tests/platform/graphics/tiff_by_library.h"

namespace {

using Bytes = std::vector<uint8_t>;
using hostile::MiB;
using stilltest::gradient;
using stilltest::maxDifference;
using testing::tiffWithPrivateTags;
using tifftest::Scratch;
using tifftest::TiffPage;
using tifftest::tiffByLibrary;
using tifftest::tiffPage;

// Each refused or cut file read whole through the image source: the pages
// before the rule read, and libtiff reads no directory past them.
TEST(TiffDirectoriesTest, PagesPastTheEntryAndValueRulesAreNotReadByTheLibrary) {
    struct Case {
        const char* name;
        Bytes file;
        size_t pagesRead;
        const char* logged;
    };
    const std::string perPage = "directory entries, more than the 512 a page may have";
    const std::string values = "name more value bytes than it holds";
    for (Case& c : std::vector<Case>{
             // 4.2 MB asking 4 GB of copies, 16.8 MB asking 64 GB.
             {"1,000 tags of 4 MiB", tiffWithPrivateTags({.privateTags = 1'000, .valueBytes = 4 << 20}), 0,
              perPage.c_str()},
             {"4,000 tags of 16 MiB", tiffWithPrivateTags({.privateTags = 4'000, .valueBytes = 16 << 20}), 0,
              perPage.c_str()},
             // Each unknown tag sorts the library's list of tags again.
             {"16 pages of 4,087 tags", tiffWithPrivateTags({.privateTags = 4'087, .pages = 16}), 0, perPage.c_str()},
             {"256 pages of 4,087 tags", tiffWithPrivateTags({.privateTags = 4'087, .pages = 256}), 0,
              perPage.c_str()},
             // Within a page's entries, past the file's bytes.
             {"64 tags of 4 MiB", tiffWithPrivateTags({.privateTags = 64, .valueBytes = 4 << 20}), 0, values.c_str()},
             {"pages of one tag of 4 MiB", tiffWithPrivateTags({.privateTags = 1, .valueBytes = 4 << 20, .pages = 8}),
              1, values.c_str()},
             // 500 entries a page: 32 pages are 16,000.
             {"40 pages of 500 entries", tiffWithPrivateTags({.privateTags = 491, .pages = 40}), 32,
              "directory entries; it and the pages after it are not read"},
         }) {
        SCOPED_TRACE(c.name);
        ns::LogCapture log;
        testing::ResidentPeak peak = hostile::peakFromHere();
        auto source = cg::ImageSource::createWithData(c.file);
        ASSERT_EQ(source->type(), cg::ImageTypeTIFF);
        EXPECT_EQ(source->count(), c.pagesRead);
        for (size_t i = 0; i < source->count(); ++i) {
            auto image = source->createImageAtIndex(i);
            ASSERT_TRUE(image) << i;
            EXPECT_EQ(image->bitmap().pixel(0, 0), (cg::Pixel{255, 90, 90, 90}));
        }
        testing::expectGrowthUnder(peak, 64 * MiB, std::string(c.name) + " (" + std::to_string(c.file.size()) + " bytes)");
        // One directory read by the library to list each page read, and
        // one to decode it; none for the pages refused.
        const cg::CodecWork work = source->counters().work;
        EXPECT_EQ(work.libraryHeaderReads, 2 * c.pagesRead);
        EXPECT_EQ(work.directoryWalks, 1u);
        EXPECT_TRUE(log.contains(c.logged)) << testing::PrintToString(log.lines());
        EXPECT_TRUE(log.contains("up to page " + std::to_string(c.pagesRead)) ||
                    log.contains("page " + std::to_string(c.pagesRead) + " of a"));
    }
}

TEST(TiffDirectoriesTest, ValuesThatLieInTheFileOnceRead) {
    // A private tag of 3 MiB, and pages at the most entries a page and a
    // file may have, read whole.
    struct Case {
        const char* name;
        Bytes file;
        size_t pages;
    };
    for (Case& c : std::vector<Case>{
             {"a tag of 3 MiB", tiffWithPrivateTags({.privateTags = 1, .valueBytes = 3 << 20}), 1},
             {"a page of 512 entries", tiffWithPrivateTags({.privateTags = 503}), 1},
             {"32 pages of 512 entries", tiffWithPrivateTags({.privateTags = 503, .pages = 32}), 32},
         }) {
        SCOPED_TRACE(c.name);
        auto source = cg::ImageSource::createWithData(c.file);
        ASSERT_EQ(source->count(), c.pages);
        for (size_t i = 0; i < c.pages; ++i) {
            auto image = source->createImageAtIndex(i);
            ASSERT_TRUE(image) << i;
            EXPECT_EQ(image->bitmap().pixel(0, 0), (cg::Pixel{255, 90, 90, 90}));
        }
    }
}

// Bytes of a little-endian EXIF directory: an exposure time, the date and
// a maker note, their values after the entries.
Bytes exifDirectory(uint32_t at) {
    Bytes out;
    auto le16 = [&](uint32_t v) { out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)}); };
    auto le32 = [&](uint32_t v) { le16(v & 0xFFFF), le16(v >> 16); };
    const uint32_t values = at + 2 + 3 * 12 + 4;
    le16(3);
    le16(33434), le16(5), le32(1), le32(values);                       // ExposureTime, RATIONAL
    le16(36867), le16(2), le32(20), le32(values + 8);                  // DateTimeOriginal, ASCII
    le16(37500), le16(7), le32(1024), le32(values + 28);               // MakerNote, UNDEFINED
    le32(0);
    le32(1), le32(125);
    const char date[20] = "2024:05:01 12:00:00";
    out.insert(out.end(), date, date + 20);
    out.insert(out.end(), 1024, 0x5A);
    return out;
}

TEST(TiffDirectoriesTest, OrdinaryFilesReadWithNoPixelOff) {
    Scratch scratch;
    const cg::Bitmap picture = gradient(97, 61, true);
    auto rgba = [&](int x, int y, int s) {
        cg::Pixel p = picture.pixel(x, y);
        return uint16_t(s == 0 ? p.red : s == 1 ? p.green : s == 2 ? p.blue : p.alpha);
    };
    const std::vector<uint8_t> profile(3144, 0x21);
    const std::string xmp = "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">" + std::string(6000, ' ') + "</x:xmpmeta>";
    TiffPage page = tiffPage(97, 61, 4, 8, PHOTOMETRIC_RGB, COMPRESSION_ADOBE_DEFLATE);
    page.sample = rgba;
    page.setup = [&](TIFF* t) {
        uint16_t extra[] = {EXTRASAMPLE_ASSOCALPHA};
        TIFFSetField(t, TIFFTAG_EXTRASAMPLES, uint16_t(1), extra);
        TIFFSetField(t, TIFFTAG_ICCPROFILE, uint32_t(profile.size()), profile.data());
        TIFFSetField(t, TIFFTAG_XMLPACKET, uint32_t(xmp.size()), xmp.data());
        TIFFSetField(t, TIFFTAG_EXIFIFD, uint64_t(0));  // set below, once the file's length is known
        TIFFSetField(t, TIFFTAG_SOFTWARE, "a test's own writer");
    };
    TiffPage tiled = page;
    tiled.tileSide = 32;
    tiled.setup = [](TIFF* t) {
        uint16_t extra[] = {EXTRASAMPLE_ASSOCALPHA};
        TIFFSetField(t, TIFFTAG_EXTRASAMPLES, uint16_t(1), extra);
    };
    // Pages of a fax, two-dimensional coding, bars of black of every width.
    auto bars = [](int x, int y, int) { return uint16_t((x / (1 + y % 7)) % 2); };
    TiffPage fax = tiffPage(1728, 96, 1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4);
    fax.rowsPerStrip = 96;
    fax.sample = bars;
    TiffPage fax3 = fax;
    fax3.compression = COMPRESSION_CCITTFAX3;

    Bytes withMetadata = tiffByLibrary(scratch, {page});
    const uint32_t exifAt = uint32_t(withMetadata.size() + withMetadata.size() % 2);
    tifftest::setFirstValue(withMetadata, TIFFTAG_EXIFIFD, exifAt);
    withMetadata.resize(exifAt);
    const Bytes exif = exifDirectory(exifAt);
    withMetadata.insert(withMetadata.end(), exif.begin(), exif.end());

    const cg::Bitmap opaqueBars = [&] {
        cg::Bitmap b(1728, 96, cg::PixelFormat::RGB24);
        for (int y = 0; y < 96; ++y)
            for (int x = 0; x < 1728; ++x) {
                const uint8_t v = bars(x, y, 0) ? 0 : 255;
                b.setPixel(x, y, cg::Pixel{255, v, v, v});
            }
        return b;
    }();
    struct Case {
        const char* name;
        Bytes file;
        std::vector<const cg::Bitmap*> pages;
    };
    for (Case& c : std::vector<Case>{
             {"EXIF, XMP and an ICC profile", withMetadata, {&picture}},
             {"tiled", tiffByLibrary(scratch, {tiled}), {&picture}},
             {"a fax of four pages", tiffByLibrary(scratch, {fax, fax3, fax, fax3}),
              {&opaqueBars, &opaqueBars, &opaqueBars, &opaqueBars}},
             {"big-endian", tiffByLibrary(scratch, {page, fax}, "wb"), {&picture, &opaqueBars}},
         }) {
        SCOPED_TRACE(c.name);
        auto source = cg::ImageSource::createWithData(c.file);
        ASSERT_EQ(source->count(), c.pages.size());
        for (size_t i = 0; i < c.pages.size(); ++i) {
            auto image = source->createImageAtIndex(i);
            ASSERT_TRUE(image) << i;
            EXPECT_EQ(maxDifference(image->bitmap(), *c.pages[i]), 0) << i;
        }
    }
}

// Chains that end early or turn back on themselves read as far as they go.
TEST(TiffDirectoriesTest, BrokenChainsReadTheirWholePages) {
    const Bytes three = tiffWithPrivateTags({.pages = 3});
    // The pages' directories follow one another: 2 + 9 x 12 + 4 bytes.
    const size_t first = 10, each = 2 + 9 * 12 + 4;
    struct Case {
        const char* name;
        size_t nextOf;  // the page whose next-directory offset is changed
        uint32_t next;
        size_t pages;
    };
    for (const Case& c : {Case{"a loop to the first page", 2, uint32_t(first), 3},
                          Case{"a loop to itself", 0, uint32_t(first), 1},
                          Case{"past the end", 1, 0xFFFFFFF0u, 2}}) {
        SCOPED_TRACE(c.name);
        Bytes file = three;
        const size_t at = first + c.nextOf * each + each - 4;
        for (int b = 0; b < 4; ++b) file[at + size_t(b)] = uint8_t(c.next >> (8 * b));
        auto source = cg::ImageSource::createWithData(file);
        ASSERT_EQ(source->count(), c.pages);
        for (size_t i = 0; i < c.pages; ++i) EXPECT_TRUE(source->createImageAtIndex(i)) << i;
    }
    Bytes cut = three;
    cut.resize(first + each - 5);  // the first page's entries run past the end
    EXPECT_EQ(cg::ImageSource::createWithData(cut)->count(), 0u);
}

}  // namespace
