// TIFF and JPEG 2000 through the image source (files written by libtiff and
// OpenJPEG themselves: layouts, orientation tags, several directories) and
// the image destination (round trips, quality), and hostile files: broken
// ones, and pages whose strips, tiles and samples cost more than the file
// holds.

#include <gtest/gtest.h>
#include <openjpeg.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <vector>

#include "platform/foundation/Log.h"
#include "platform/graphics/ImageDestination.h"
#include "platform/graphics/ImageSource.h"
#include "platform/testing/TiffFiles.h"
#include "tests/platform/graphics/still_test_support.h"
#include "tests/platform/graphics/tiff_by_library.h"

namespace {

using Bytes = std::vector<uint8_t>;

using stilltest::gradient;
using stilltest::maxDifference;
using tifftest::Scratch;
using tifftest::TiffPage;
using tifftest::tiffByLibrary;
using tifftest::tiffPage;
using tifftest::setFirstValue;

// A file written by OpenJPEG: 8-bit components (`precision` bits for
// all), the JP2 form or a bare codestream, with `alpha` marking the
// component that is straight alpha (in the JP2 form).
Bytes openjpegFile(const Scratch& scratch, OPJ_CODEC_FORMAT format, int w, int h, int count, int precision,
                   OPJ_COLOR_SPACE space, int alpha, const std::function<int(int, int, int)>& sample) {
    std::vector<opj_image_cmptparm_t> parameters(static_cast<size_t>(count));
    for (auto& p : parameters) {
        std::memset(&p, 0, sizeof p);
        p.dx = p.dy = 1;
        p.w = OPJ_UINT32(w);
        p.h = OPJ_UINT32(h);
        p.prec = OPJ_UINT32(precision);
    }
    opj_image_t* image = opj_image_create(OPJ_UINT32(count), parameters.data(), space);
    image->x1 = OPJ_UINT32(w);
    image->y1 = OPJ_UINT32(h);
    if (alpha >= 0) image->comps[alpha].alpha = 1;
    for (int c = 0; c < count; ++c)
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) image->comps[c].data[y * w + x] = sample(x, y, c);
    opj_cparameters_t settings;
    opj_set_default_encoder_parameters(&settings);
    settings.tcp_numlayers = 1;
    settings.tcp_rates[0] = 0;
    settings.cp_disto_alloc = 1;
    settings.numresolution = 3;
    std::string path = scratch.path(format == OPJ_CODEC_JP2 ? "by-openjpeg.jp2" : "by-openjpeg.j2k");
    opj_codec_t* codec = opj_create_compress(format);
    opj_setup_encoder(codec, &settings, image);
    opj_stream_t* stream = opj_stream_create_default_file_stream(path.c_str(), OPJ_FALSE);
    bool ok = opj_start_compress(codec, image, stream) && opj_encode(codec, stream) && opj_end_compress(codec, stream);
    EXPECT_TRUE(ok);
    opj_stream_destroy(stream);
    opj_destroy_codec(codec);
    opj_image_destroy(image);
    return Scratch::read(path);
}

ns::Ref<cg::Image> onlyImage(const Bytes& file) {
    auto source = cg::ImageSource::createWithData(file);
    if (!source || source->count() != 1) return nullptr;
    return source->createImageAtIndex(0);
}

Bytes written(const char* type, const cg::Bitmap& bitmap, std::optional<double> quality = std::nullopt) {
    auto destination = cg::ImageDestination::createWithData(type, 1);
    destination->addImage(cg::Image::make(bitmap), {quality, std::nullopt});
    if (!destination->finalize()) return {};
    return destination->data();
}

TEST(TiffTest, RowsComeAsStoredWithTheOrientationTagReported) {
    Scratch scratch;
    cg::Bitmap stored = gradient(5, 3, false);
    for (uint16_t orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        TiffPage page = tiffPage(5, 3);
        page.sample = [&](int x, int y, int s) {
            cg::Pixel p = stored.pixel(x, y);
            return uint16_t(s == 0 ? p.red : s == 1 ? p.green : p.blue);
        };
        page.setup = [&](TIFF* t) { TIFFSetField(t, TIFFTAG_ORIENTATION, orientation); };
        auto source = cg::ImageSource::createWithData(tiffByLibrary(scratch, {page}));
        EXPECT_EQ(source->type(), cg::ImageTypeTIFF);
        ASSERT_EQ(source->count(), 1u);
        auto properties = source->copyPropertiesAtIndex(0);
        EXPECT_EQ(properties->orientation, orientation);
        EXPECT_EQ(properties->pixelWidth, 5);
        EXPECT_EQ(properties->pixelHeight, 3);
        EXPECT_EQ(properties->hasAlpha, false);
        auto image = source->createImageAtIndex(0);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->bitmap(), stored);
        EXPECT_EQ(image->alphaInfo(), cg::ImageAlphaInfo::NoneSkipLast);
    }
}

TEST(TiffTest, LayoutsTheLibraryWritesAndOneImagePerDirectory) {
    Scratch scratch;
    // Grey, 8 bits, deflate.
    TiffPage grey = tiffPage(4, 4, 1, 8, PHOTOMETRIC_MINISBLACK, COMPRESSION_ADOBE_DEFLATE);
    grey.sample = [](int x, int y, int) { return uint16_t(x * 60 + y); };
    // RGBA with unassociated (straight) alpha, LZW.
    TiffPage rgba = tiffPage(3, 2, 4, 8, PHOTOMETRIC_RGB, COMPRESSION_LZW);
    rgba.sample = [](int x, int, int s) { return uint16_t(s == 3 ? 51 * x : s == 0 ? 200 : 0); };
    rgba.setup = [](TIFF* t) {
        uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
        TIFFSetField(t, TIFFTAG_EXTRASAMPLES, uint16_t(1), extra);
    };
    // 16-bit RGB: the high byte counts.
    TiffPage deep = tiffPage(2, 2, 3, 16, PHOTOMETRIC_RGB, COMPRESSION_NONE);
    deep.sample = [](int x, int y, int s) { return uint16_t((x * 100 + y * 10 + s) * 257); };
    // A 4-bit palette.
    TiffPage palette = tiffPage(4, 1, 1, 4, PHOTOMETRIC_PALETTE, COMPRESSION_PACKBITS);
    palette.sample = [](int x, int, int) { return uint16_t(x); };
    palette.setup = [](TIFF* t) {
        std::vector<uint16_t> red(16, 0), green(16, 0), blue(16, 0);
        for (int i = 0; i < 16; ++i) red[size_t(i)] = uint16_t(i * 17 * 257), blue[size_t(i)] = 65535;
        TIFFSetField(t, TIFFTAG_COLORMAP, red.data(), green.data(), blue.data());
    };
    auto source = cg::ImageSource::createWithData(tiffByLibrary(scratch, {grey, rgba, deep, palette}));
    ASSERT_EQ(source->count(), 4u);
    EXPECT_EQ(source->copyPropertiesAtIndex(1)->pixelWidth, 3);
    EXPECT_EQ(source->copyPropertiesAtIndex(1)->hasAlpha, true);

    auto g = source->createImageAtIndex(0);
    ASSERT_TRUE(g);
    EXPECT_EQ(g->bitmap().pixel(3, 2), (cg::Pixel{255, 182, 182, 182}));
    auto a = source->createImageAtIndex(1);
    ASSERT_TRUE(a);
    EXPECT_TRUE(a->hasAlpha());
    EXPECT_EQ(a->bitmap().pixel(0, 0).alpha, 0);
    EXPECT_EQ(a->bitmap().pixel(2, 1), cg::premultiplied(102, 200, 0, 0));
    auto d = source->createImageAtIndex(2);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->bitmap().pixel(1, 1), (cg::Pixel{255, 110, 111, 112}));
    auto p = source->createImageAtIndex(3);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->bitmap().pixel(3, 0), (cg::Pixel{255, 51, 0, 255}));
    EXPECT_EQ(source->createImageAtIndex(4), nullptr);
}

TEST(TiffTest, GreyWithAlphaComesPremultipliedAtEightAndSixteenBits) {
    Scratch scratch;
    // Picked so that alpha runs through 0 and 255 and the right and bottom
    // tiles are cut by the picture's edges; the first pixel is grey 210
    // at alpha 114.
    const int w = 21, h = 18;
    auto grey = [](int x, int y) { return x == 0 && y == 0 ? 210 : (x * 13 + y * 7 + 40) % 256; };
    auto alpha = [](int x, int y) { return x == 0 && y == 0 ? 114 : x == 1 ? 0 : (x * 29 + y * 11) % 256; };
    struct Case {
        uint16_t bits, extra, photometric;
        uint32_t tileSide;
    };
    for (Case c : {Case{8, EXTRASAMPLE_UNASSALPHA, PHOTOMETRIC_MINISBLACK, 0},
                   Case{8, EXTRASAMPLE_UNASSALPHA, PHOTOMETRIC_MINISBLACK, 16},
                   Case{8, EXTRASAMPLE_UNASSALPHA, PHOTOMETRIC_MINISWHITE, 0},
                   Case{8, EXTRASAMPLE_ASSOCALPHA, PHOTOMETRIC_MINISBLACK, 0},
                   Case{16, EXTRASAMPLE_UNASSALPHA, PHOTOMETRIC_MINISBLACK, 0},
                   Case{16, EXTRASAMPLE_UNASSALPHA, PHOTOMETRIC_MINISBLACK, 16},
                   Case{16, EXTRASAMPLE_ASSOCALPHA, PHOTOMETRIC_MINISBLACK, 0},
                   Case{16, EXTRASAMPLE_ASSOCALPHA, PHOTOMETRIC_MINISBLACK, 16}}) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, extra sample " << c.extra << ", photometric "
                                        << c.photometric << ", tiles " << c.tileSide);
        const bool associated = c.extra == EXTRASAMPLE_ASSOCALPHA;
        // What the picture is, premultiplied; and what the file stores.
        auto expected = [&](int x, int y) {
            uint8_t a = uint8_t(alpha(x, y)), g = uint8_t(grey(x, y));
            return associated ? cg::Pixel{a, std::min(g, a), std::min(g, a), std::min(g, a)} : cg::premultiplied(a, g, g, g);
        };
        TiffPage page = tiffPage(w, h, 2, c.bits, c.photometric, COMPRESSION_ADOBE_DEFLATE);
        page.tileSide = c.tileSide;
        page.sample = [&](int x, int y, int s) {
            int v = s == 1 ? alpha(x, y) : associated ? expected(x, y).red : grey(x, y);
            if (s == 0 && c.photometric == PHOTOMETRIC_MINISWHITE) v = 255 - v;
            return uint16_t(c.bits == 16 ? v * 257 : v);
        };
        page.setup = [&](TIFF* t) { TIFFSetField(t, TIFFTAG_EXTRASAMPLES, uint16_t(1), &c.extra); };
        auto source = cg::ImageSource::createWithData(tiffByLibrary(scratch, {page}));
        ASSERT_EQ(source->count(), 1u);
        EXPECT_TRUE(source->copyPropertiesAtIndex(0)->hasAlpha);
        auto image = source->createImageAtIndex(0);
        ASSERT_TRUE(image);
        EXPECT_TRUE(image->hasAlpha());
        cg::Bitmap want(w, h, cg::PixelFormat::ARGB32Premultiplied);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) want.setPixel(x, y, expected(x, y));
        EXPECT_LE(maxDifference(image->bitmap(), want), 1);
        if (!associated) {
            EXPECT_NEAR(image->bitmap().pixel(0, 0).red, 94, 1);
        }
        EXPECT_EQ(image->bitmap().pixel(1, 5).alpha, 0) << "transparent stays transparent";
    }
}

TEST(TiffTest, DestinationWritesTiffThatBothReadersReadExactly) {
    Scratch scratch;
    for (bool alpha : {true, false}) {
        SCOPED_TRACE(alpha);
        cg::Bitmap picture = gradient(33, 17, alpha);
        Bytes file = written(cg::ImageTypeTIFF, picture);
        ASSERT_FALSE(file.empty());
        auto image = onlyImage(file);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->bitmap(), picture);
        // libtiff's own reader sees the same pixels.
        std::string path = scratch.path("ours.tif");
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
        TIFF* tiff = TIFFOpen(path.c_str(), "r");
        ASSERT_TRUE(tiff);
        std::vector<uint32_t> raster(33 * 17);
        ASSERT_TRUE(TIFFReadRGBAImageOriented(tiff, 33, 17, raster.data(), ORIENTATION_TOPLEFT, 1));
        TIFFClose(tiff);
        cg::Pixel p = picture.pixel(32, 16);
        uint32_t abgr = raster[16 * 33 + 32];
        EXPECT_EQ(TIFFGetR(abgr), p.red);
        EXPECT_EQ(TIFFGetB(abgr), p.blue);
        EXPECT_EQ(TIFFGetA(abgr), alpha ? p.alpha : 255);
    }
}

TEST(TiffTest, HostileAndBrokenTiffGivesNoImage) {
    Scratch scratch;
    // Compressed, so libtiff takes the strips' sizes as written.
    TiffPage page = tiffPage(64, 64, 3, 8, PHOTOMETRIC_RGB, COMPRESSION_LZW);
    page.sample = [](int x, int y, int) { return uint16_t(x ^ y); };
    Bytes whole = tiffByLibrary(scratch, {page});
    ASSERT_TRUE(onlyImage(whole));
    // Cut short: the last strips are missing.
    Bytes cut(whole.begin(), whole.begin() + long(whole.size() / 2));
    auto source = cg::ImageSource::createWithData(cut);
    EXPECT_EQ(source->type(), cg::ImageTypeTIFF);
    EXPECT_TRUE(source->count() == 0 || !source->createImageAtIndex(0));
    // A header that promises more pixels than a source may allocate, in
    // one strip.
    page.rowsPerStrip = 64;
    Bytes huge = tiffByLibrary(scratch, {page});
    ASSERT_TRUE(onlyImage(huge));
    for (uint16_t tag : {TIFFTAG_IMAGEWIDTH, TIFFTAG_IMAGELENGTH, TIFFTAG_ROWSPERSTRIP}) setFirstValue(huge, tag, 20000);
    EXPECT_EQ(cg::ImageSource::createWithData(huge)->count(), 0u);
    // A strip said to run past the end of the data.
    Bytes past = whole;
    setFirstValue(past, TIFFTAG_STRIPBYTECOUNTS, 60000);
    EXPECT_EQ(cg::ImageSource::createWithData(past)->count(), 0u);
    // A signature and nothing that reads.
    Bytes stub = {'M', 'M', 0, 42, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(cg::ImageSource::createWithData(stub)->count(), 0u);
    // Only final data is read: in pieces the file shows nothing until then.
    auto incremental = cg::ImageSource::createIncremental();
    incremental->updateData(std::span(whole).first(whole.size() - 1), false);
    EXPECT_EQ(incremental->type(), cg::ImageTypeTIFF);
    EXPECT_EQ(incremental->count(), 0u);
    incremental->updateData(whole, true);
    EXPECT_EQ(incremental->count(), 1u);
}

TEST(TiffTest, UncompressedTilesOfEverySizeRead) {
    // Tiles smaller than the kilobyte libtiff rounds its read buffers to
    // among them, as `tiffcp -c none -t -w 16 -l 16` writes them.
    Scratch scratch;
    cg::Bitmap picture = gradient(37, 21, true);
    for (uint32_t side : {16u, 32u, 64u}) {
        for (uint16_t samples : {1, 3, 4}) {
            SCOPED_TRACE(testing::Message() << side << " x " << side << " tiles of " << samples << " samples");
            TiffPage page = tiffPage(37, 21, samples, 8, samples == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
            page.tileSide = side;
            page.sample = [&](int x, int y, int s) {
                cg::Pixel p = picture.pixel(x, y);
                return uint16_t(samples == 1 ? p.green : s == 0 ? p.red : s == 1 ? p.green : s == 2 ? p.blue : p.alpha);
            };
            if (samples == 4) {
                page.setup = [](TIFF* t) {
                    uint16_t extra[] = {EXTRASAMPLE_ASSOCALPHA};
                    TIFFSetField(t, TIFFTAG_EXTRASAMPLES, uint16_t(1), extra);
                };
            }
            auto image = onlyImage(tiffByLibrary(scratch, {page}));
            ASSERT_TRUE(image);
            cg::Bitmap want(37, 21, samples == 4 ? cg::PixelFormat::ARGB32Premultiplied : cg::PixelFormat::RGB24);
            for (int y = 0; y < 21; ++y)
                for (int x = 0; x < 37; ++x) {
                    cg::Pixel p = picture.pixel(x, y);
                    want.setPixel(x, y, samples == 4 ? p : samples == 3 ? cg::Pixel{255, p.red, p.green, p.blue}
                                                                        : cg::Pixel{255, p.green, p.green, p.green});
                }
            EXPECT_EQ(maxDifference(image->bitmap(), want), 0);
        }
    }
}

// Pages of a black picture that all read one deflated strip or tile
// through arrays they share.
Bytes sharedPages(uint32_t width, uint32_t height, uint32_t rowsPerStrip, uint32_t tileSide, uint32_t pages,
                  uint16_t samples = 1) {
    return testing::flatTiff({.width = width, .height = height, .samples = samples, .rowsPerStrip = rowsPerStrip,
                              .tileSide = tileSide, .pages = pages});
}

TEST(TiffTest, StripsAndTilesAreWeighedAcrossPagesBeforeTheLibraryReadsThem) {
    // A strip or tile has an offset and a byte count of its own in a file
    // that shares nothing: at most one for every four bytes of the file.
    struct Case {
        const char* name;
        Bytes file;
        size_t stripsAPage;
    };
    for (Case& c : std::vector<Case>{
             {"one-row strips", sharedPages(16, 65536, 1, 0, 64), 65536},
             {"16 x 16 tiles", sharedPages(1024, 1024, 0, 16, 64), 4096},
         }) {
        SCOPED_TRACE(c.name);
        const size_t pages = c.file.size() / 4 / c.stripsAPage;
        ASSERT_GE(pages, 1u);
        ASSERT_LT(pages, 64u);
        ns::LogCapture log;
        auto source = cg::ImageSource::createWithData(c.file);
        EXPECT_EQ(source->count(), pages) << "the pages whose strips and tiles the file's bytes hold";
        for (size_t i = 0; i < source->count(); ++i) EXPECT_TRUE(source->createImageAtIndex(i)) << i;
        EXPECT_TRUE(log.contains("name more strips and tiles than it holds; pages from " + std::to_string(pages) +
                                 " on are not read"));
        // Listing checks each listed page's strips once, and each decode
        // its page's again.
        const cg::CodecWork work = source->counters().work;
        EXPECT_LE(work.stripsChecked, 2 * c.file.size() / 4);
        EXPECT_GT(work.stripsChecked, 0u);
        EXPECT_LE(work.libraryHeaderReads, pages + 1 + 2 * source->count());
    }
    // Pages that name no more than the file holds are all read.
    auto few = cg::ImageSource::createWithData(sharedPages(64, 64, 16, 0, 8));
    EXPECT_EQ(few->count(), 8u);
    // Pages whose strips are checked and which then do not read (CMYK of
    // one sample) spend the file's strips all the same.
    const Bytes unreadable = testing::flatTiff(
        {.width = 16, .height = 65536, .photometric = PHOTOMETRIC_SEPARATED, .rowsPerStrip = 1, .pages = 64});
    auto none = cg::ImageSource::createWithData(unreadable);
    EXPECT_EQ(none->count(), 0u);
    EXPECT_LE(none->counters().work.stripsChecked, unreadable.size() / 4);
    EXPECT_GT(none->counters().work.stripsChecked, 0u);
    // One page whose one array (offsets and byte counts alike) names
    // 8,388,608 one-row strips in 16.8 MB: twice what the file's bytes
    // hold, so the page is refused before a strip is checked.
    const Bytes oneArray = testing::tiffSharingOnePayload(
        {.width = 1, .height = 8'388'608, .compression = 32773, .rowsPerStrip = 1,
         .payload = {0, 0, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80}, .oneArray = true});
    auto refused = cg::ImageSource::createWithData(oneArray);
    EXPECT_EQ(refused->count(), 0u);
    EXPECT_EQ(refused->counters().work.stripsChecked, 0u);
}

TEST(TiffTest, BytesAPixelAreWeighedBeforeTheLibraryDecodes) {
    struct Case {
        const char* name;
        Bytes file;
        bool read;
        uint64_t decoded;  // bytes a read inflates
    };
    for (Case& c : std::vector<Case>{
             // Sixteen bytes a pixel: CMYK with alpha at 16 bits and room
             // to spare; a byte more is samples the reader never shows.
             {"16 samples", sharedPages(256, 256, 16, 0, 1, 16), true, 256 * 256 * 16},
             {"17 samples", sharedPages(256, 256, 16, 0, 1, 17), false, 0},
             {"256 samples", sharedPages(1024, 64, 8, 0, 1, 256), false, 0},
             // A small picture in a tile of a common writer's default size,
             // and in a tile far larger than any picture it pads.
             {"1 x 1 in a 256 x 256 tile", sharedPages(1, 1, 0, 256, 1), true, 256 * 256},
             {"1 x 1 in a 4096 x 4096 tile", sharedPages(1, 1, 0, 4096, 1), false, 0},
         }) {
        SCOPED_TRACE(c.name);
        auto source = cg::ImageSource::createWithData(c.file);
        ASSERT_EQ(source->count(), c.read ? 1u : 0u);
        if (!c.read) continue;
        auto image = source->createImageAtIndex(0);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->bitmap().pixel(0, 0).green, 0) << "black";
        EXPECT_EQ(source->counters().work.bytesInflated, c.decoded);
    }
}

TEST(Jpeg2000Test, FilesTheLibraryWritesReadExactly) {
    Scratch scratch;
    cg::Bitmap rgb = gradient(19, 11, false);
    auto colour = [&](int x, int y, int c) {
        cg::Pixel p = rgb.pixel(x, y);
        return int(c == 0 ? p.red : c == 1 ? p.green : p.blue);
    };
    for (OPJ_CODEC_FORMAT format : {OPJ_CODEC_JP2, OPJ_CODEC_J2K}) {
        SCOPED_TRACE(format);
        Bytes file = openjpegFile(scratch, format, 19, 11, 3, 8, OPJ_CLRSPC_SRGB, -1, colour);
        auto source = cg::ImageSource::createWithData(file);
        EXPECT_EQ(source->type(), cg::ImageTypeJPEG2000);
        ASSERT_EQ(source->count(), 1u);
        EXPECT_EQ(source->copyPropertiesAtIndex(0)->pixelWidth, 19);
        EXPECT_EQ(source->copyPropertiesAtIndex(0)->hasAlpha, false);
        auto image = source->createImageAtIndex(0);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->bitmap(), rgb);
    }
    // Grey with straight alpha, in the JP2 form's channel definitions.
    Bytes greyAlpha = openjpegFile(scratch, OPJ_CODEC_JP2, 4, 4, 2, 8, OPJ_CLRSPC_GRAY, 1,
                                   [](int x, int y, int c) { return c == 0 ? 40 * x + y : 80 * y; });
    auto ga = onlyImage(greyAlpha);
    ASSERT_TRUE(ga);
    EXPECT_TRUE(ga->hasAlpha());
    EXPECT_EQ(ga->bitmap().pixel(0, 0).alpha, 0);
    EXPECT_EQ(ga->bitmap().pixel(3, 3), cg::premultiplied(240, 123, 123, 123));
    // Twelve bits a sample: scaled to eight.
    Bytes deep = openjpegFile(scratch, OPJ_CODEC_J2K, 4, 4, 1, 12, OPJ_CLRSPC_GRAY, -1,
                              [](int x, int, int) { return x * 1365; });
    auto d = onlyImage(deep);
    ASSERT_TRUE(d);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(d->bitmap().pixel(x, 3), (cg::Pixel{255, uint8_t(x * 85), uint8_t(x * 85), uint8_t(x * 85)}));
}

// The JP2 file's colour box set to an enumerated colour space.
void setColourSpace(Bytes& jp2, uint32_t space) {
    static const uint8_t box[] = {'c', 'o', 'l', 'r', 1};
    auto at = std::search(jp2.begin(), jp2.end(), std::begin(box), std::end(box));
    ASSERT_NE(at, jp2.end());
    // After the method, its precedence and approximation bytes.
    for (int i = 0; i < 4; ++i) at[7 + i] = uint8_t(space >> (24 - 8 * i));
}

TEST(Jpeg2000Test, CmykIsRefusedWhereTheSameSamplesAsRgbaRead) {
    Scratch scratch;
    Bytes file = openjpegFile(scratch, OPJ_CODEC_JP2, 6, 5, 4, 8, OPJ_CLRSPC_CMYK, -1,
                              [](int x, int y, int c) { return c == 3 ? 200 : 40 * x + 10 * y + c; });
    Bytes rgba = file;
    setColourSpace(rgba, 16);
    auto image = onlyImage(rgba);
    ASSERT_TRUE(image) << "the samples read as RGBA";
    EXPECT_EQ(image->bitmap().pixel(5, 4), cg::premultiplied(200, 240, 241, 242));
    Bytes cmyk = file;
    setColourSpace(cmyk, 12);
    auto source = cg::ImageSource::createWithData(cmyk);
    EXPECT_EQ(source->type(), cg::ImageTypeJPEG2000);
    EXPECT_FALSE(source->createImageAtIndex(0)) << "K is no alpha";
}

TEST(Jpeg2000Test, DestinationWritesJp2LosslessAtQualityOneAndCloseBelow) {
    for (bool alpha : {true, false}) {
        SCOPED_TRACE(alpha);
        cg::Bitmap picture = gradient(40, 24, alpha);
        Bytes lossless = written(cg::ImageTypeJPEG2000, picture, 1.0);
        ASSERT_GT(lossless.size(), 12u);
        EXPECT_EQ(lossless[4], 'j') << "the JP2 file form";
        auto image = onlyImage(lossless);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->hasAlpha(), alpha);
        EXPECT_EQ(image->bitmap(), picture);
        Bytes lossy = written(cg::ImageTypeJPEG2000, picture, 0.9);
        auto near = onlyImage(lossy);
        ASSERT_TRUE(near);
        EXPECT_LE(maxDifference(near->bitmap(), picture), 16);
        Bytes poor = written(cg::ImageTypeJPEG2000, picture, 0.1);
        EXPECT_LT(poor.size(), lossy.size());
    }
    // Pictures smaller than the wavelet's usual levels.
    for (int side : {1, 2, 7}) {
        cg::Bitmap tiny = gradient(side, side + 1, true);
        auto image = onlyImage(written(cg::ImageTypeJPEG2000, tiny, 1.0));
        ASSERT_TRUE(image) << side;
        EXPECT_EQ(image->bitmap(), tiny);
    }
}

TEST(Jpeg2000Test, HostileAndBrokenJpeg2000GivesNoImage) {
    Bytes file = written(cg::ImageTypeJPEG2000, gradient(64, 64, false), 1.0);
    ASSERT_TRUE(onlyImage(file));
    // Cut short.
    Bytes cut(file.begin(), file.begin() + long(file.size() * 2 / 3));
    auto source = cg::ImageSource::createWithData(cut);
    EXPECT_EQ(source->type(), cg::ImageTypeJPEG2000);
    EXPECT_TRUE(source->count() == 0 || !source->createImageAtIndex(0));
    // A codestream whose size marker promises 2^15 x 2^15 pixels (after
    // "FF 4F FF 51", the marker's length and the capabilities).
    Scratch scratch;
    Bytes j2k = openjpegFile(scratch, OPJ_CODEC_J2K, 8, 8, 1, 8, OPJ_CLRSPC_GRAY, -1, [](int, int, int) { return 7; });
    ASSERT_TRUE(onlyImage(j2k));
    Bytes huge = j2k;
    // Grid and tile (at 8, 12, 24 and 28) of 32768 x 32768: one tile.
    for (size_t at : {8u, 12u, 24u, 28u}) huge[at] = 0, huge[at + 1] = 0, huge[at + 2] = 0x80, huge[at + 3] = 0;
    EXPECT_EQ(cg::ImageSource::createWithData(huge)->count(), 0u);
    Bytes garbage = {0xFF, 0x4F, 0xFF, 0x51, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    EXPECT_EQ(cg::ImageSource::createWithData(garbage)->count(), 0u);
}

}  // namespace
