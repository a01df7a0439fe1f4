// What a PNG's chunks, an icon file's entries and an interlaced picture
// cost the readers: counted where the work is done (the codecs' header
// reads and bytes inflated) and, in builds whose peaks measure the
// product, in resident memory against the picture they give.

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

#include "platform/foundation/Log.h"
#include "platform/graphics/ImageSource.h"
#include "platform/graphics/Png.h"
#include "platform/testing/PeakBound.h"
#include "tests/platform/graphics/hostile_images.h"
#include "tests/platform/graphics/hostile_still_files.h"
#include "tests/platform/graphics/jpeg2000_shapes.h"

namespace {

using testing::expectGrowthUnder;
using testing::MiB;
using testing::peakFromHere;

// The picture of a file of one, made by its source.
ns::Ref<cg::Image> onlyPicture(cg::ImageSource& source) {
    EXPECT_EQ(source.count(), 1u);
    return source.count() == 1 ? source.createImageAtIndex(0) : nullptr;
}

// `png` with a private chunk claiming `claimed` bytes and holding `held`
// (and a CRC, which is not checked for ancillary chunks) before its data.
hostile::Bytes withPrivateChunk(const hostile::Bytes& png, uint32_t claimed, size_t held) {
    constexpr size_t signatureAndHeader = 33;
    hostile::Bytes out(png.begin(), png.begin() + signatureAndHeader);
    for (int shift : {24, 16, 8, 0}) out.push_back(uint8_t(claimed >> shift));
    out.insert(out.end(), {'p', 'r', 'V', 't'});
    out.insert(out.end(), held + 4, 'A');
    out.insert(out.end(), png.begin() + signatureAndHeader, png.end());
    return out;
}

// The texts would take 60 x 8 MB, inflated and kept to the end of the read.
TEST(PngChunksTest, CompressedTextsAreNeitherInflatedNorKept) {
    const hostile::Bytes file = hostile::pngWithTexts(60);
    testing::ResidentPeak peak = peakFromHere();
    auto source = cg::ImageSource::createWithData(file);
    auto image = onlyPicture(*source);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width(), 1);
    EXPECT_EQ(image->bitmap().pixel(0, 0), cg::Pixel{});
    expectGrowthUnder(peak, 32 * MiB, "a PNG of 60 texts of 8 MB");
    const cg::CodecWork work = source->counters().work;
    EXPECT_EQ(work.libraryHeaderReads, 2u);  // listing, then decoding
    EXPECT_EQ(work.bytesInflated, 4u);       // the one pixel's row
}

// Every chunk but the picture's own is passed over however long it is, so
// an ordinary file with a large profile or private chunk (here 1 MiB)
// still reads; one claiming more than the data is refused.
TEST(PngChunksTest, LongAncillaryChunksArePassedOverAndOverlongOnesRefused) {
    cg::Bitmap picture(3, 2, cg::PixelFormat::ARGB32Premultiplied);
    picture.setPixel(1, 1, cg::premultiplied(200, 10, 20, 30));
    const hostile::Bytes plain = cg::encodePng(picture);
    auto withChunk = [&](uint32_t claimed, size_t held) { return withPrivateChunk(plain, claimed, held); };
    const hostile::Bytes large = withChunk(1 << 20, 1 << 20);
    auto image = onlyPicture(*cg::ImageSource::createWithData(large));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->bitmap().colorAt(1, 1), picture.colorAt(1, 1));

    EXPECT_EQ(cg::ImageSource::createWithData(withChunk(0x7FFF0000, 16))->count(), 0u);
}

// 1,024 entries naming one PNG whose text inflates to 8 MB: one header
// read lists them all, and each decode reads one more without the text.
TEST(IconEntriesTest, EntriesSharingOnePngAreReadOnceWhenListed) {
    const hostile::Bytes file = hostile::shapeNamed("IcoEntriesSharingOnePngWithText").make();
    auto source = cg::ImageSource::createWithData(file);
    ASSERT_EQ(source->count(), 1024u);
    EXPECT_EQ(source->counters().work.libraryHeaderReads, 1u);
    testing::ResidentPeak peak = peakFromHere();
    for (size_t i = 0; i < 8; ++i) ASSERT_TRUE(source->createImageAtIndex(i));
    expectGrowthUnder(peak, 32 * MiB, "eight entries decoded");
    const cg::CodecWork work = source->counters().work;
    EXPECT_EQ(work.libraryHeaderReads, 1u + 8u);
    EXPECT_EQ(work.bytesInflated, 8u * 4u);
}

// Entries naming one PNG of 20 MB (a private chunk before its data), eight
// times: each picture decoded would read the 20 MB again, so entries are
// read only while they name no more than 64 MiB together.
TEST(IconEntriesTest, EntriesNamingTheSameBytesAgainAreBoundedByWhatTheyName) {
    cg::Bitmap pixel(1, 1, cg::PixelFormat::ARGB32Premultiplied);
    pixel.setPixel(0, 0, cg::premultiplied(255, 1, 2, 3));
    const hostile::Bytes png = withPrivateChunk(cg::encodePng(pixel), 20 << 20, 20 << 20);
    const hostile::Bytes file = stilltest::icoSharingOneEntry(png, 8);
    ns::LogCapture log;
    auto source = cg::ImageSource::createWithData(file);
    ASSERT_EQ(source->count(), 3u);
    EXPECT_TRUE(log.contains("ICO: read the first 3 of 8 entries: the rest name more than 64 MiB of the file again"))
        << testing::PrintToString(log.lines());
    auto image = source->createImageAtIndex(2);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->bitmap().colorAt(0, 0), pixel.colorAt(0, 0));
    // Entries that do not overlap may name the whole file, however large.
    EXPECT_EQ(cg::ImageSource::createWithData(stilltest::icoSharingOneEntry(png, 1))->count(), 1u);
}

// JPEG 2000 entries are listed from their size markers alone: 2,000 of
// them cost no library header read until a picture is asked for. Entries
// naming 4,096 tiles each in a hundred bytes are refused on the same
// weighing, to list them or to decode them, as the bytes cannot carry the
// tiles.
TEST(IconEntriesTest, Jpeg2000EntriesAreWeighedWithoutTheLibrary) {
    namespace j2k = jpeg2000shapes;
    {
        const hostile::Bytes file =
            stilltest::icnsOfCopies(j2k::codestream(j2k::oneTile(64, 48, 1, {.levels = 1})), 2'000, "ic10");
        auto source = cg::ImageSource::createWithData(file);
        ASSERT_EQ(source->count(), 2000u);
        auto properties = source->copyPropertiesAtIndex(1999);
        ASSERT_TRUE(properties);
        EXPECT_EQ(properties->pixelHeight, 48);
        EXPECT_EQ(source->counters().work.libraryHeaderReads, 0u);
        (void)source->createImageAtIndex(0);
        EXPECT_EQ(source->counters().work.libraryHeaderReads, 1u);
    }
    for (const char* name : {"IcnsOfTinyJpeg2000", "IcnsOfTinyJpeg2000Rgba32Levels"}) {
        const hostile::Bytes file = hostile::shapeNamed(name).make();
        auto source = cg::ImageSource::createWithData(file);
        EXPECT_EQ(source->count(), 0u) << name;
        EXPECT_EQ(source->counters().work.libraryHeaderReads, 0u) << name;
        const auto entry = std::span(file).subspan(16, (file.size() - 8) / 2000 - 8);
        cg::CodecWork work;
        ns::LogCapture log;
        {
            cg::CodecWorkScope counting(work);
            EXPECT_FALSE(cg::still::decodeJpeg2000(entry)) << name;
        }
        EXPECT_EQ(work.libraryHeaderReads, 0u) << name;
        EXPECT_TRUE(log.contains("in 4096 tiles: its " + std::to_string(entry.size()) +
                                 " bytes cannot hold a tile-part for each"))
            << testing::PrintToString(log.lines());
    }
}

// An interlaced 8192 x 8192 picture is combined in the one bitmap it
// comes out as: 256 MiB, where a sink, the staged passes and a copy of
// them held three times that.
TEST(InterlacedPngTest, APictureAtTheCapIsHeldOnce) {
    const hostile::Bytes file = hostile::pngInterlaced(8192);
    testing::ResidentPeak peak = peakFromHere();
    auto source = cg::ImageSource::createWithData(file);
    auto image = onlyPicture(*source);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width(), 8192);
    EXPECT_EQ(image->bitmap().pixel(8191, 8191), cg::Pixel{});
    expectGrowthUnder(peak, 320 * MiB, "an interlaced 8192 x 8192 PNG");
    // Every pass's pixels, each once.
    EXPECT_EQ(source->counters().work.bytesInflated, 8192u * 8192u * 4u);
}

// A reader keeping every picture holds the first entry (128 MiB) while the
// second decodes: its four 32-bit planes are made into words in place and
// let go before the bitmap is made, rather than held beside it (which,
// with code-blocks of 32, peaked at 859 MB).
TEST(IconEntriesTest, ALargeJpeg2000EntryDecodesBesideTheOneKept) {
    // Code-blocks of 64 (the compressor's default) and of 32, whose records
    // the library keeps beside the planes.
    for (uint8_t exponent : {4, 3}) {
        const hostile::Bytes file = hostile::icnsOfTwoLargeJpeg2000(exponent);
        testing::ResidentPeak peak = peakFromHere();
        auto source = cg::ImageSource::createWithData(file);
        ASSERT_EQ(source->count(), 2u);
        EXPECT_EQ(source->counters().work.libraryHeaderReads, 0u);
        std::vector<ns::Ref<cg::Image>> kept;
        for (size_t i = 0; i < source->count(); ++i) kept.push_back(source->createImageAtIndex(i));
        ASSERT_TRUE(kept[0] && kept[1]);
        EXPECT_EQ(kept[1]->width(), 5792);
        EXPECT_EQ(kept[1]->bitmap().pixel(5791, 5791), kept[0]->bitmap().pixel(0, 0));
        // Each entry's four planes and its words, nothing more.
        EXPECT_EQ(source->counters().work.bytesInflated, 2u * 5 * 5792 * 5792 * 4);
        const std::string what = "two 5792 x 5792 JPEG 2000 entries kept, code-blocks of " + std::to_string(4 << exponent);
        // The JPEG 2000 reader's bar for what it keeps and decodes together:
        // the kept picture, the four planes and the library's records.
        expectGrowthUnder(peak, 820'000'000, what);
    }
}

}  // namespace
