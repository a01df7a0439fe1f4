// PNG, JPEG and BMP through the image source (whole and in pieces, with
// their properties) and the image destination (PNG, JPEG, BMP, GIF and
// what it refuses).

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include <jpeglib.h>
#include <png.h>

#include "platform/graphics/ImageDestination.h"
#include "platform/graphics/ImageSource.h"
#include "platform/foundation/Log.h"
#include "platform/graphics/Png.h"
#include "platform/graphics/StillFormats.h"
#include "platform/testing/JpegFiles.h"
#include "tests/platform/graphics/hostile_images.h"
#include "tests/platform/graphics/hostile_still_files.h"
#include "tests/platform/graphics/still_test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

using stilltest::gradient;
using stilltest::jpeg;
using stilltest::maxDifference;

// Noise compresses poorly, so a cut file still holds whole rows.
cg::Bitmap noise(int w, int h) {
    cg::Bitmap bitmap(w, h, cg::PixelFormat::RGB24);
    uint32_t state = 12345;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            state = state * 1103515245u + 12345u;
            bitmap.setPixel(x, y, {0, uint8_t(state >> 24), uint8_t(state >> 16), uint8_t(state >> 8)});
        }
    return bitmap;
}

// An Adam7-interlaced RGB PNG written with the library directly.
Bytes interlacedPng(const cg::Bitmap& bitmap) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, size_t length) {
            auto* bytes = static_cast<Bytes*>(png_get_io_ptr(p));
            bytes->insert(bytes->end(), data, data + length);
        },
        nullptr);
    png_set_IHDR(png, info, png_uint_32(bitmap.width()), png_uint_32(bitmap.height()), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_ADAM7, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 0);  // stored: a cut file still holds whole passes
    png_write_info(png, info);
    std::vector<Bytes> rows;
    std::vector<png_bytep> pointers;
    for (int y = 0; y < bitmap.height(); ++y) {
        Bytes row;
        for (int x = 0; x < bitmap.width(); ++x) {
            cg::Pixel p = bitmap.pixel(x, y);
            row.insert(row.end(), {p.red, p.green, p.blue});
        }
        rows.push_back(row);
    }
    for (auto& row : rows) pointers.push_back(row.data());
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

TEST(StillFormatsTest, PngArrivesRowByRowThenWhole) {
    cg::Bitmap picture = gradient(40, 30, true);
    Bytes png = cg::encodePng(picture);
    auto source = cg::ImageSource::createIncremental();
    source->updateData(std::span(png).first(20), false);
    EXPECT_EQ(source->type(), cg::ImageTypePNG);
    EXPECT_EQ(source->count(), 0u);  // the header is not all there
    source->updateData(std::span(png).first(png.size() / 2), false);
    ASSERT_EQ(source->count(), 1u);
    auto partial = source->createImageAtIndex(0);
    ASSERT_TRUE(partial);
    EXPECT_EQ(partial->width(), 40);
    EXPECT_EQ(partial->bitmap().pixel(0, 29).alpha, 0) << "rows not received are transparent";
    source->updateData(png, true);
    auto whole = source->createImageAtIndex(0);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->bitmap(), picture);
    auto properties = source->copyPropertiesAtIndex(0);
    ASSERT_TRUE(properties);
    EXPECT_EQ(properties->pixelWidth, 40);
    EXPECT_EQ(properties->pixelHeight, 30);
    EXPECT_EQ(properties->interlaceType, 0);
    EXPECT_EQ(properties->hasAlpha, true);
    // Final data takes no more updates.
    source->updateData(Bytes{1, 2, 3}, true);
    EXPECT_EQ(source->type(), cg::ImageTypePNG);
}

TEST(StillFormatsTest, InterlacedPngShowsItsEarlyPassesThenTheWholePicture) {
    cg::Bitmap picture = noise(24, 16);
    Bytes png = interlacedPng(picture);
    auto whole = cg::ImageSource::createWithData(png);
    ASSERT_EQ(whole->copyPropertiesAtIndex(0)->interlaceType, 1);
    auto image = whole->createImageAtIndex(0);
    ASSERT_TRUE(image);
    EXPECT_FALSE(image->hasAlpha());
    EXPECT_EQ(image->bitmap(), picture);
    // Cut in the last pass (the odd rows): earlier passes fill their blocks,
    // so the picture is whole but coarse where the last pass has not come.
    auto cut = cg::ImageSource::createIncremental();
    cut->updateData(std::span(png).first(png.size() * 3 / 4), false);
    auto partial = cut->createImageAtIndex(0);
    ASSERT_TRUE(partial);
    EXPECT_EQ(partial->bitmap().pixel(0, 0), (cg::Pixel{255, picture.pixel(0, 0).red, picture.pixel(0, 0).green,
                                                         picture.pixel(0, 0).blue}));
    EXPECT_EQ(partial->bitmap().pixel(23, 15).alpha, 255);
    EXPECT_NE(partial->bitmap().pixel(0, 15), image->bitmap().pixel(0, 15));
    // Cut inside the first pass, after its first row (the signature and
    // header, the IDAT's framing, zlib's and the stored block's headers,
    // then 1 + 3 x 3 bytes): the top blocks show, the rest is clear.
    cut = cg::ImageSource::createIncremental();
    cut->updateData(std::span(png).first(8 + 25 + 8 + 2 + 5 + 10 + 2), false);
    auto first = cut->createImageAtIndex(0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->bitmap().pixel(23, 7).alpha, 255);
    EXPECT_EQ(first->bitmap().pixel(23, 8).alpha, 0);
}

TEST(StillFormatsTest, OpaquePngIsRgbAndTruncatedFinalPngKeepsItsRows) {
    Bytes png = cg::encodePng(noise(16, 64));
    auto whole = cg::ImageSource::createWithData(png)->createImageAtIndex(0);
    ASSERT_TRUE(whole);
    EXPECT_FALSE(whole->hasAlpha());
    EXPECT_EQ(whole->bitmapInfo(), uint32_t(cg::ImageAlphaInfo::NoneSkipLast));
    auto cut = cg::ImageSource::createWithData(std::span(png).first(png.size() * 2 / 3));
    auto image = cut->createImageAtIndex(0);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->bitmap().pixel(3, 0).alpha, 255);
    EXPECT_EQ(image->bitmap().pixel(3, 63).alpha, 0);
}

TEST(StillFormatsTest, JpegPropertiesAndIncrementalSequentialAndProgressive) {
    cg::Bitmap picture = gradient(64, 48, false);
    for (bool progressive : {false, true}) {
        SCOPED_TRACE(progressive ? "progressive" : "sequential");
        Bytes file = jpeg(picture, progressive, 6);
        auto source = cg::ImageSource::createWithData(file);
        ASSERT_EQ(source->count(), 1u);
        auto properties = source->copyPropertiesAtIndex(0);
        ASSERT_TRUE(properties);
        EXPECT_EQ(properties->orientation, 6);
        EXPECT_EQ(properties->isProgressive, progressive);
        EXPECT_EQ(properties->pixelWidth, 64);
        auto image = source->createImageAtIndex(0);
        ASSERT_TRUE(image);
        EXPECT_FALSE(image->hasAlpha());
        EXPECT_LE(maxDifference(image->bitmap(), picture), 12);

        // In pieces: something shows before the end, all of it at the end.
        auto incremental = cg::ImageSource::createIncremental();
        incremental->updateData(std::span(file).first(file.size() * 3 / 4), false);
        ASSERT_EQ(incremental->count(), 1u);
        auto partial = incremental->createImageAtIndex(0);
        ASSERT_TRUE(partial);
        EXPECT_EQ(partial->bitmap().pixel(0, 0).alpha, 255);
        incremental->updateData(file, true);
        EXPECT_EQ(incremental->createImageAtIndex(0)->bitmap(), image->bitmap());
    }
    EXPECT_EQ(cg::ImageSource::createWithData(jpeg(picture, false, 0))->copyPropertiesAtIndex(0)->orientation, 1);
}

TEST(StillFormatsTest, AProgressiveJpegIsReadAsFarAsItsScanLimit) {
    const size_t limit = size_t(cg::still::MaximumProgressiveScans);
    ns::LogCapture log;
    auto scansRead = [](const Bytes& file, ns::Ref<cg::Image>& image) {
        auto source = cg::ImageSource::createWithData(file);
        image = source->createImageAtIndex(0);
        return source->counters().work.progressiveScans;
    };
    ns::Ref<cg::Image> image;
    // The library's own script, every scan read.
    const cg::Bitmap picture = gradient(64, 64, false);
    Bytes normal = jpeg(picture, true);
    EXPECT_EQ(scansRead(normal, image), testing::scansOf(normal).count);
    EXPECT_TRUE(image);
    EXPECT_EQ(scansRead(jpeg(picture, false), image), 0u);
    // As many scans as the limit: all read, nothing said.
    ns::Ref<cg::Image> atLimit;
    EXPECT_EQ(scansRead(stilltest::progressiveJpegWithScans(64, limit), atLimit), limit);
    ASSERT_TRUE(atLimit);
    EXPECT_FALSE(log.contains("scans;"));
    // More: the picture is what the first scans give, and the log says why.
    EXPECT_EQ(scansRead(stilltest::progressiveJpegWithScans(64, 3 * limit), image), limit);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->bitmap(), atLimit->bitmap());
    EXPECT_TRUE(log.contains("JPEG: a 64 x 64 progressive file has more than 100 scans; the picture is what the first "
                             "100 give"));
}

// What the library makes of a whole file read in one pass, as BGRX words.
cg::Bitmap decodedByTheLibrary(const Bytes& file) {
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, file.data(), file.size());
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_EXT_BGRX;
    jpeg_start_decompress(&info);
    cg::Bitmap bitmap(int(info.output_width), int(info.output_height), cg::PixelFormat::RGB24);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(bitmap.row(int(info.output_scanline)));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    // The unused byte, as the reader leaves it.
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x) bitmap.row(y)[x] &= 0x00FFFFFFu;
    return bitmap;
}

TEST(StillFormatsTest, OrdinaryProgressiveJpegsReadAsTheLibraryDecodesThem) {
    const cg::Bitmap picture = noise(1200, 900);
    for (bool fullColour : {false, true}) {
        SCOPED_TRACE(fullColour ? "4:4:4" : "4:2:0");
        testing::JpegPicture settings;
        settings.width = picture.width();
        settings.height = picture.height();
        settings.progressive = true;
        settings.fullColour = fullColour;
        settings.row = [&](int y, uint8_t* row) { std::memcpy(row, picture.row(y), size_t(picture.width()) * 4); };
        const Bytes file = testing::jpegFile(settings);
        auto source = cg::ImageSource::createWithData(file);
        auto image = source->createImageAtIndex(0);
        ASSERT_TRUE(image);
        EXPECT_EQ(source->counters().work.progressiveScans, testing::scansOf(file).count) << "every scan read";
        EXPECT_EQ(image->bitmap(), decodedByTheLibrary(file));
        // The work is the picture's: its blocks a few times over, and its
        // pixels decoded once.
        const cg::CodecWork work = source->counters().work;
        const uint64_t blocks = uint64_t(picture.width() + 7) / 8 * uint64_t(picture.height() + 7) / 8;
        EXPECT_LE(work.scanBlocks, 3 * 10 * blocks);
        EXPECT_EQ(work.bytesInflated, uint64_t(picture.width()) * uint64_t(picture.height()) * 4);
        EXPECT_LE(work.libraryHeaderReads, 2u);
    }
}

TEST(StillFormatsTest, AProgressiveJpegsScansAreWeighedByTheBlocksTheyPassOver) {
    // 4096 x 4096 grey: 262,144 blocks a scan, so the blocks limit stops
    // the scans read before their count does.
    const uint64_t blocks = 512 * 512;
    const size_t scans = size_t(cg::still::MaximumProgressiveScanBlocks / blocks);
    ASSERT_LT(scans, size_t(cg::still::MaximumProgressiveScans));
    const Bytes file = testing::withLastScanRepeated(hostile::flatJpeg(4096, 1, true), 100);
    ns::LogCapture log;
    auto source = cg::ImageSource::createWithData(file);
    auto image = source->createImageAtIndex(0);
    ASSERT_TRUE(image);
    EXPECT_EQ(source->counters().work.progressiveScans, scans);
    EXPECT_EQ(source->counters().work.scanBlocks, scans * blocks);
    // The scans past those only repeat a refinement: the picture is whole.
    EXPECT_EQ(image->bitmap(), decodedByTheLibrary(file));
    EXPECT_TRUE(log.contains("JPEG: the scans of a 4096 x 4096 progressive file pass over more than 16777216 blocks; "
                             "the picture is what the first " + std::to_string(scans) + " give"));
}

TEST(StillFormatsTest, AProgressiveJpegsCoefficientsAreWeighedBesideItsPixels) {
    // Buffered-image mode holds two bytes a sample of every component
    // while it reads. 8192 x 8192 grey: 256 MiB of pixels beside 128 MiB
    // of coefficients pass the file's budget.
    ns::LogCapture log;
    auto large = cg::ImageSource::createWithData(hostile::flatJpeg(8192, 1, true));
    ASSERT_EQ(large->count(), 1u);
    EXPECT_FALSE(large->createImageAtIndex(0));
    EXPECT_TRUE(log.contains("JPEG: a 8192 x 8192 progressive file needs more memory to decode than its budget leaves; "
                             "not decoded"));
    // The same picture in one scan holds a few rows beside its pixels.
    EXPECT_TRUE(cg::ImageSource::createWithData(hostile::flatJpeg(8192, 1, false))->createImageAtIndex(0));
    // 4096 x 4096 at full colour: 64 MiB of pixels and 96 MiB of
    // coefficients fit.
    auto colour = cg::ImageSource::createWithData(hostile::flatJpeg(4096, 3, true));
    auto image = colour->createImageAtIndex(0);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->bitmap().pixel(4095, 4095), (cg::Pixel{255, 128, 128, 128}));
}

TEST(StillFormatsTest, DestinationWritesPngJpegBmpThatReadBack) {
    cg::Bitmap alpha = gradient(9, 7, true), opaque = gradient(9, 7, false);
    for (const char* type : {cg::ImageTypePNG, cg::ImageTypeBMP}) {
        for (const auto* bitmap : {&alpha, &opaque}) {
            SCOPED_TRACE(type);
            auto destination = cg::ImageDestination::createWithData(type, 1);
            ASSERT_TRUE(destination);
            destination->addImage(cg::Image::make(*bitmap));
            ASSERT_TRUE(destination->finalize());
            auto back = cg::ImageSource::createWithData(destination->data());
            EXPECT_EQ(back->type(), type);
            auto image = back->createImageAtIndex(0);
            ASSERT_TRUE(image);
            EXPECT_EQ(image->hasAlpha(), bitmap->hasAlpha());
            EXPECT_LE(maxDifference(image->bitmap(), *bitmap), bitmap->hasAlpha() ? 2 : 0);
            EXPECT_FALSE(destination->finalize()) << "finalising twice";
        }
    }
    // JPEG: the quality changes the size; one image only.
    auto sizeAt = [&](double quality) {
        auto destination = cg::ImageDestination::createWithData(cg::ImageTypeJPEG, 1);
        destination->addImage(cg::Image::make(gradient(64, 64, false)), {quality, std::nullopt});
        destination->addImage(cg::Image::make(alpha));  // past the count: ignored
        EXPECT_TRUE(destination->finalize());
        return destination->data().size();
    };
    EXPECT_LT(sizeAt(0.1), sizeAt(1.0));
}

TEST(StillFormatsTest, DestinationWritesGifWithLoopCountAndDelays) {
    auto destination = cg::ImageDestination::createWithData(cg::ImageTypeGIF, 2);
    destination->setProperties({3u});
    destination->addImage(cg::Image::make(gradient(8, 8, false)), {std::nullopt, 0.25});
    cg::Bitmap holed = gradient(8, 8, false);
    cg::Bitmap second(8, 8, cg::PixelFormat::ARGB32Premultiplied);
    second.setPixel(1, 1, cg::premultiplied(255, 0, 0, 255));
    destination->addImage(cg::Image::make(second), {std::nullopt, 0.04});
    ASSERT_TRUE(destination->finalize());
    auto source = cg::ImageSource::createWithData(destination->data());
    ASSERT_EQ(source->count(), 2u);
    EXPECT_EQ(source->properties().loopCount, 3u);
    EXPECT_DOUBLE_EQ(*source->propertiesAtIndex(0)->unclampedDelayTime, 0.25);
    EXPECT_DOUBLE_EQ(*source->propertiesAtIndex(1)->unclampedDelayTime, 0.04);
    auto frame = source->createImageAtIndex(1);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->bitmap().pixel(0, 0).alpha, 0) << "the first frame is disposed of";
    EXPECT_EQ(frame->bitmap().pixel(1, 1), cg::premultiplied(255, 0, 0, 255));
}

TEST(StillFormatsTest, GifOfMoreThan255ColoursIsQuantized) {
    cg::Bitmap picture = gradient(32, 32, false);  // 1024 colours
    auto destination = cg::ImageDestination::createWithData(cg::ImageTypeGIF, 1);
    destination->addImage(cg::Image::make(picture));
    ASSERT_TRUE(destination->finalize());
    auto image = cg::ImageSource::createWithData(destination->data())->createImageAtIndex(0);
    ASSERT_TRUE(image);
    EXPECT_LE(maxDifference(image->bitmap(), picture), 48);
    EXPECT_GT(maxDifference(image->bitmap(), picture), 0) << "not exact: there are too many colours";
}

TEST(StillFormatsTest, DestinationRefusesUnknownTypesCountsOfZeroAndNoImage) {
    EXPECT_FALSE(cg::ImageDestination::createWithData("public.webp", 1));
    EXPECT_FALSE(cg::ImageDestination::createWithData(cg::ImageTypePNG, 0));
    auto empty = cg::ImageDestination::createWithData(cg::ImageTypePNG, 1);
    EXPECT_FALSE(empty->finalize()) << "no image";
}

TEST(StillFormatsTest, BrokenAndHostileDataGivesNoImage) {
    // A BMP whose header promises more pixels than a source may allocate.
    Bytes huge = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0,
                  1, 0, 24, 0};
    huge.resize(60, 0);
    EXPECT_EQ(cg::ImageSource::createWithData(huge)->count(), 0u);
    // A BMP cut short, or whose header promises far more rows than it holds,
    // gives no picture (and makes none of the promised pixels).
    {
        auto destination = cg::ImageDestination::createWithData(cg::ImageTypeBMP, 1);
        destination->addImage(cg::Image::make(gradient(4, 3, false)));
        ASSERT_TRUE(destination->finalize());
        Bytes whole = destination->data();
        ASSERT_TRUE(cg::ImageSource::createWithData(whole)->createImageAtIndex(0));
        Bytes cut(whole.begin(), whole.end() - 1);
        EXPECT_EQ(cg::ImageSource::createWithData(cut)->createImageAtIndex(0), nullptr);
        Bytes tall = whole;
        tall[22] = 0x00, tall[23] = 0x10;  // 4096 rows
        EXPECT_EQ(cg::ImageSource::createWithData(tall)->createImageAtIndex(0), nullptr);
    }
    // RLE BMPs are not read.
    Bytes rle = huge;
    rle[18] = 2;
    rle[19] = rle[22] = rle[23] = 0;
    rle[22] = 2;
    rle[30] = 1;
    EXPECT_EQ(cg::ImageSource::createWithData(rle)->count(), 0u);
    // A JPEG signature and nothing after it.
    Bytes stub = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0};
    auto source = cg::ImageSource::createWithData(stub);
    EXPECT_EQ(source->type(), cg::ImageTypeJPEG);
    EXPECT_EQ(source->createImageAtIndex(0), nullptr);
}

TEST(StillFormatsTest, DestinationWritesFilesWhole) {
    auto dir = std::filesystem::temp_directory_path() / ("still-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::string path = (dir / "out.png").string();
    auto destination = cg::ImageDestination::createWithURL(path, cg::ImageTypePNG, 1);
    destination->addImage(cg::Image::make(gradient(3, 3, true)));
    ASSERT_TRUE(destination->finalize());
    std::ifstream written(path, std::ios::binary);
    const Bytes bytes((std::istreambuf_iterator<char>(written)), std::istreambuf_iterator<char>());
    auto read = cg::ImageSource::createWithData(bytes)->createImageAtIndex(0);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->width(), 3);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    auto nowhere = cg::ImageDestination::createWithURL((dir / "missing" / "x.png").string(), cg::ImageTypePNG, 1);
    nowhere->addImage(cg::Image::make(gradient(3, 3, true)));
    EXPECT_FALSE(nowhere->finalize());
    std::filesystem::remove_all(dir);
}

}  // namespace
