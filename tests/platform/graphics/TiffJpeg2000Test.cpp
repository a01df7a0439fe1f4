// TIFF and JPEG 2000 through the image source (files written by libtiff and
// OpenJPEG themselves: layouts, orientation tags, several directories) and
// the image destination (round trips, quality), and hostile files.

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

#include "platform/graphics/ImageDestination.h"
#include "platform/graphics/ImageSource.h"
#include "tests/platform/graphics/still_test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

using stilltest::gradient;
using stilltest::maxDifference;

class Scratch {
public:
    Scratch() : dir_(std::filesystem::temp_directory_path() / ("tiff-j2k-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(dir_);
    }
    ~Scratch() { std::filesystem::remove_all(dir_); }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    static Bytes read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
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
    std::function<uint16_t(int, int, int)> sample;
    std::function<void(TIFF*)> setup;
};

TiffPage tiffPage(int width, int height, uint16_t samples = 3, uint16_t bits = 8,
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
void writeTiles(TIFF* tiff, const TiffPage& page) {
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

Bytes tiffByLibrary(const Scratch& scratch, const std::vector<TiffPage>& pages) {
    std::string path = scratch.path("by-libtiff.tif");
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    for (const TiffPage& page : pages) {
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(page.width));
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(page.height));
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, page.samples);
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, page.bits);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, page.photometric);
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG));
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
        std::vector<uint8_t> row(size_t(page.width) * page.samples * page.bits / 8 + 1);
        for (int y = 0; y < page.height; ++y) {
            std::fill(row.begin(), row.end(), 0);
            for (int x = 0; x < page.width; ++x)
                for (int s = 0; s < page.samples; ++s) {
                    uint16_t v = page.sample(x, y, s);
                    size_t i = size_t(x) * page.samples + size_t(s);
                    if (page.bits == 16) {
                        std::memcpy(&row[i * 2], &v, 2);
                    } else if (page.bits == 8) {
                        row[i] = uint8_t(v);
                    } else {  // 4 bits
                        row[i / 2] |= uint8_t(v << (i % 2 ? 0 : 4));
                    }
                }
            EXPECT_EQ(TIFFWriteScanline(tiff, row.data(), uint32_t(y), 0), 1);
        }
        TIFFWriteDirectory(tiff);
    }
    TIFFClose(tiff);
    return Scratch::read(path);
}

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

// Sets the first value of a tag of the first directory of a little-endian
// TIFF, where the entry holds it or where it points.
void setFirstValue(Bytes& file, uint16_t tag, uint32_t value) {
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
