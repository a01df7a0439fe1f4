// ICO and ICNS through the image source (files built here by hand: several
// entries of every kind, broken and hostile entries) and the image
// destination (one PNG entry, the sizes each container holds).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/foundation/Log.h"
#include "platform/graphics/ImageDestination.h"
#include "platform/graphics/ImageSource.h"
#include "platform/graphics/Png.h"
#include "platform/graphics/StillFormats.h"
#include "platform/testing/PeakBound.h"
#include "tests/platform/graphics/hostile_still_files.h"

namespace {

using Bytes = std::vector<uint8_t>;

void le16(Bytes& out, uint32_t v) { out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)}); }
void le32(Bytes& out, uint32_t v) { le16(out, v & 0xFFFF), le16(out, v >> 16); }
void be32(Bytes& out, uint32_t v) { out.insert(out.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}); }

// An ICO entry's bitmap: a 40-byte info header of twice the height, the
// colour table, rows bottom-up padded to 4 bytes, then the AND mask.
// `index(x, y)` gives a palette index (1, 4, 8 bits) or the colour word
// (24: 0xRRGGBB, 32: 0xAARRGGBB); `clear(x, y)` sets the mask bit.
Bytes dib(int w, int h, int bits, const std::vector<uint32_t>& palette, uint32_t (*index)(int, int),
          bool (*clear)(int, int), bool withMask = true) {
    Bytes out;
    le32(out, 40);
    le32(out, uint32_t(w));
    le32(out, uint32_t(h * 2));
    le16(out, 1);
    le16(out, uint32_t(bits));
    le32(out, 0);
    le32(out, 0);
    le32(out, 0);
    le32(out, 0);
    le32(out, uint32_t(palette.size()));
    le32(out, 0);
    for (uint32_t colour : palette) le32(out, colour);
    const size_t rowBytes = (size_t(w) * size_t(bits) + 31) / 32 * 4;
    for (int y = h - 1; y >= 0; --y) {
        Bytes row(rowBytes, 0);
        for (int x = 0; x < w; ++x) {
            uint32_t v = index(x, y);
            if (bits == 32) {
                for (int b = 0; b < 4; ++b) row[size_t(x) * 4 + size_t(b)] = uint8_t(v >> (8 * b));
            } else if (bits == 24) {
                for (int b = 0; b < 3; ++b) row[size_t(x) * 3 + size_t(b)] = uint8_t(v >> (8 * b));
            } else {
                size_t bit = size_t(x) * size_t(bits);
                row[bit / 8] |= uint8_t(v << (8 - bits - bit % 8));
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    if (!withMask) return out;
    const size_t maskBytes = (size_t(w) + 31) / 32 * 4;
    for (int y = h - 1; y >= 0; --y) {
        Bytes row(maskBytes, 0);
        for (int x = 0; x < w; ++x)
            if (clear(x, y)) row[size_t(x) / 8] |= uint8_t(0x80 >> (x % 8));
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

// An ICO file (type 1) or CUR file (type 2) of the given entries; the
// directory's size bytes say 0, as readers must look inside anyway.
Bytes ico(const std::vector<Bytes>& entries, uint16_t type = 1) {
    Bytes out;
    le16(out, 0);
    le16(out, type);
    le16(out, uint32_t(entries.size()));
    uint32_t offset = uint32_t(6 + 16 * entries.size());
    for (const Bytes& entry : entries) {
        out.insert(out.end(), {0, 0, 0, 0});
        le16(out, 1);
        le16(out, 32);
        le32(out, uint32_t(entry.size()));
        le32(out, offset);
        offset += uint32_t(entry.size());
    }
    for (const Bytes& entry : entries) out.insert(out.end(), entry.begin(), entry.end());
    return out;
}

Bytes icns(const std::vector<std::pair<std::string, Bytes>>& entries) {
    Bytes body;
    for (const auto& [type, data] : entries) {
        body.insert(body.end(), type.begin(), type.end());
        be32(body, uint32_t(data.size() + 8));
        body.insert(body.end(), data.begin(), data.end());
    }
    Bytes out = {'i', 'c', 'n', 's'};
    be32(out, uint32_t(body.size() + 8));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

cg::Bitmap checker(int w, int h, bool alpha) {
    cg::Bitmap bitmap(w, h, alpha ? cg::PixelFormat::ARGB32Premultiplied : cg::PixelFormat::RGB24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t a = alpha ? uint8_t((x + y) % 2 ? 255 : 100) : 255;
            cg::Pixel p = cg::premultiplied(a, uint8_t(x * 9), uint8_t(y * 9), 200);
            bitmap.setPixel(x, y, alpha ? p : cg::Pixel{0, p.red, p.green, p.blue});
        }
    return bitmap;
}

Bytes written(const char* type, const cg::Bitmap& bitmap) {
    auto destination = cg::ImageDestination::createWithData(type, 1);
    destination->addImage(cg::Image::make(bitmap));
    if (!destination->finalize()) return {};
    return destination->data();
}

TEST(IconFormatsTest, IcoOfSeveralEntriesGivesOneImagePerEntryInFileOrder) {
    cg::Bitmap png = checker(20, 10, true);
    std::vector<Bytes> entries = {
        // 32 bits with its own alpha: the mask does not count.
        dib(3, 2, 32, {}, [](int x, int y) { return uint32_t(x == 0 ? 0x80FF0000 : 0xFF00FF00 | uint32_t(y)); },
            [](int, int) { return true; }),
        // 8 bits from a palette, clear where the mask says.
        dib(5, 4, 8, {0x000000FF, 0x00FFFFFF}, [](int x, int) { return uint32_t(x % 2); },
            [](int x, int y) { return x == 4 && y == 0; }),
        cg::encodePng(png),
        // 1 bit, 4 bits and 24 bits.
        dib(9, 2, 1, {0x00000000, 0x00FF0000}, [](int x, int) { return uint32_t(x == 8); }, [](int, int) { return false; }),
        dib(3, 3, 4, std::vector<uint32_t>(16, 0x00123456), [](int, int) { return 15u; }, [](int, int y) { return y == 2; }),
        dib(2, 2, 24, {}, [](int x, int y) { return uint32_t(0x010203 * (x + 2 * y + 1)); }, [](int, int) { return false; }),
    };
    auto source = cg::ImageSource::createWithData(ico(entries));
    EXPECT_EQ(source->type(), cg::ImageTypeICO);
    ASSERT_EQ(source->count(), 6u);
    const int widths[] = {3, 5, 20, 9, 3, 2}, heights[] = {2, 4, 10, 2, 3, 2};
    for (size_t i = 0; i < 6; ++i) {
        auto properties = source->copyPropertiesAtIndex(i);
        EXPECT_EQ(properties->pixelWidth, widths[i]) << i;
        EXPECT_EQ(properties->pixelHeight, heights[i]) << i;
        EXPECT_EQ(properties->hasAlpha, true) << i;
        auto image = source->createImageAtIndex(i);
        ASSERT_TRUE(image) << i;
        EXPECT_EQ(image->width(), widths[i]) << i;
    }
    auto argb = source->createImageAtIndex(0)->bitmap();
    EXPECT_EQ(argb.pixel(0, 0), cg::premultiplied(0x80, 255, 0, 0));
    EXPECT_EQ(argb.pixel(2, 1), (cg::Pixel{255, 0, 255, 1}));
    auto indexed = source->createImageAtIndex(1)->bitmap();
    EXPECT_EQ(indexed.pixel(0, 0), (cg::Pixel{255, 0, 0, 255}));
    EXPECT_EQ(indexed.pixel(3, 3), (cg::Pixel{255, 255, 255, 255}));
    EXPECT_EQ(indexed.pixel(4, 0).alpha, 0);
    EXPECT_EQ(indexed.pixel(4, 1).alpha, 255);
    EXPECT_EQ(source->createImageAtIndex(2)->bitmap(), png);
    auto mono = source->createImageAtIndex(3)->bitmap();
    EXPECT_EQ(mono.pixel(8, 1), (cg::Pixel{255, 255, 0, 0}));
    EXPECT_EQ(mono.pixel(7, 1), (cg::Pixel{255, 0, 0, 0}));
    auto nibbles = source->createImageAtIndex(4)->bitmap();
    EXPECT_EQ(nibbles.pixel(1, 1), (cg::Pixel{255, 0x12, 0x34, 0x56}));
    EXPECT_EQ(nibbles.pixel(1, 2).alpha, 0);
    EXPECT_EQ(source->createImageAtIndex(5)->bitmap().pixel(1, 1), (cg::Pixel{255, 4, 8, 12}));
    // A cursor file reads the same way.
    EXPECT_EQ(cg::ImageSource::createWithData(ico({entries[2]}, 2))->count(), 1u);
}

TEST(IconFormatsTest, ThirtyTwoBitEntryWithoutAlphaUsesItsMask) {
    Bytes entry = dib(2, 1, 32, {}, [](int, int) { return 0x00FF8000u; }, [](int x, int) { return x == 1; });
    auto image = cg::ImageSource::createWithData(ico({entry}))->createImageAtIndex(0);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->bitmap().pixel(0, 0), (cg::Pixel{255, 255, 128, 0}));
    EXPECT_EQ(image->bitmap().pixel(1, 0).alpha, 0);
}

TEST(IconFormatsTest, BrokenAndHostileIcoEntriesGiveNoImage) {
    Bytes good = dib(4, 4, 24, {}, [](int, int) { return 0x808080u; }, [](int, int) { return false; });
    // An entry whose bytes lie past the data is left out; the others stay.
    Bytes file = ico({good, good});
    file[6 + 16 + 15] = 0x7F;  // the second entry's offset: far past the end
    auto source = cg::ImageSource::createWithData(file);
    ASSERT_EQ(source->count(), 1u);
    EXPECT_TRUE(source->createImageAtIndex(0));
    // An entry without its mask rows, or cut inside its pixels, gives no
    // picture.
    Bytes unmasked = dib(4, 4, 8, {0}, [](int, int) { return 0u; }, [](int, int) { return false; }, false);
    auto noMask = cg::ImageSource::createWithData(ico({unmasked}));
    EXPECT_TRUE(noMask->count() == 0 || !noMask->createImageAtIndex(0));
    Bytes cut(good.begin(), good.end() - 20);
    auto cutShort = cg::ImageSource::createWithData(ico({cut}));
    EXPECT_TRUE(cutShort->count() == 0 || !cutShort->createImageAtIndex(0));
    // A bitmap header that promises more pixels than a source may allocate.
    Bytes huge = good;
    huge[4] = 0, huge[5] = 0x40, huge[6] = 0, huge[7] = 0;     // 16384 wide
    huge[8] = 0, huge[9] = 0x80, huge[10] = 0, huge[11] = 0;   // 16384 high (twice 16384 / 2)
    EXPECT_EQ(cg::ImageSource::createWithData(ico({huge}))->count(), 0u);
    // A directory that promises more entries than the data holds.
    Bytes many = ico({good});
    many[4] = 0xFF, many[5] = 0xFF;
    EXPECT_EQ(cg::ImageSource::createWithData(many)->count(), 1u);
    // Nothing until the data is final.
    auto incremental = cg::ImageSource::createIncremental();
    incremental->updateData(std::span(file).first(file.size() - 1), false);
    EXPECT_EQ(incremental->count(), 0u);
}

TEST(IconFormatsTest, IcoWriterKeepsTheSizeAndSaysZeroForSidesOf256OrMore) {
    for (auto [w, h, alpha] : {std::tuple{16, 16, true}, std::tuple{300, 40, false}, std::tuple{256, 1, true}}) {
        SCOPED_TRACE(w);
        cg::Bitmap picture = checker(w, h, alpha);
        Bytes file = written(cg::ImageTypeICO, picture);
        ASSERT_GE(file.size(), 22u);
        EXPECT_EQ(file[2], 1);  // an icon
        EXPECT_EQ(file[4], 1);  // of one entry
        EXPECT_EQ(file[6], w >= 256 ? 0 : w);
        EXPECT_EQ(file[7], h >= 256 ? 0 : h);
        EXPECT_EQ(file[22], 0x89) << "a PNG inside";
        auto image = cg::ImageSource::createWithData(file)->createImageAtIndex(0);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->bitmap(), picture);
        EXPECT_EQ(image->hasAlpha(), alpha);
    }
}

TEST(IconFormatsTest, IcnsReadsPngAndJpeg2000EntriesAndSkipsRawOnesWithALogLine) {
    cg::Bitmap small = checker(16, 16, true), large = checker(32, 32, false);
    auto jp2 = cg::ImageDestination::createWithData(cg::ImageTypeJPEG2000, 1);
    jp2->addImage(cg::Image::make(large), {1.0, std::nullopt});
    ASSERT_TRUE(jp2->finalize());
    Bytes file = icns({{"TOC ", Bytes(16, 0)},
                       {"is32", Bytes(700, 7)},
                       {"icp4", cg::encodePng(small)},
                       {"s8mk", Bytes(256, 255)},
                       {"ic11", jp2->data()}});
    ns::LogCapture log;
    auto source = cg::ImageSource::createWithData(file);
    EXPECT_EQ(source->type(), cg::ImageTypeICNS);
    ASSERT_EQ(source->count(), 2u);
    EXPECT_EQ(source->createImageAtIndex(0)->bitmap(), small);
    EXPECT_EQ(source->createImageAtIndex(1)->bitmap(), large);
    EXPECT_EQ(source->copyPropertiesAtIndex(1)->pixelWidth, 32);
    EXPECT_TRUE(log.contains("ICNS: skipped the entry 'is32' of 700 bytes"));
    EXPECT_TRUE(log.contains("ICNS: skipped the entry 's8mk'"));
    EXPECT_FALSE(log.contains("TOC"));
    // An entry that claims more bytes than there are ends the reading.
    Bytes cut = file;
    cut.resize(cut.size() - 10);
    EXPECT_EQ(cg::ImageSource::createWithData(cut)->count(), 1u);
    Bytes broken = icns({{"ic07", Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0}}});
    EXPECT_EQ(cg::ImageSource::createWithData(broken)->count(), 0u);
}

TEST(IconFormatsTest, IcnsWriterHoldsOnlyItsFixedSquareSizes) {
    const std::pair<int, const char*> sizes[] = {{16, "icp4"}, {32, "icp5"}, {64, "icp6"}, {128, "ic07"},
                                                 {256, "ic08"}, {512, "ic09"}, {1024, "ic10"}};
    for (auto [side, type] : sizes) {
        SCOPED_TRACE(side);
        cg::Bitmap picture(side, side, cg::PixelFormat::ARGB32Premultiplied);
        picture.setPixel(side - 1, 0, cg::premultiplied(200, 1, 2, 3));
        Bytes file = written(cg::ImageTypeICNS, picture);
        ASSERT_GE(file.size(), 24u);
        EXPECT_EQ(std::string(file.begin() + 8, file.begin() + 12), type);
        EXPECT_EQ(file[16], 0x89) << "a PNG inside";
        auto image = cg::ImageSource::createWithData(file)->createImageAtIndex(0);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->bitmap(), picture);
    }
    ns::LogCapture log;
    EXPECT_TRUE(written(cg::ImageTypeICNS, checker(300, 200, true)).empty());
    EXPECT_TRUE(log.contains("ICNS: a 300 x 200 image cannot be written"));
    EXPECT_TRUE(written(cg::ImageTypeICNS, checker(48, 48, true)).empty());
    EXPECT_TRUE(log.contains("48 x 48"));
}

TEST(IconFormatsTest, ADirectoryIsReadOncePerSourceHoweverManyPicturesItLists) {
    const Bytes png = stilltest::onePixelPng();
    const Bytes files[] = {stilltest::icoSharingOneEntry(png, 3000), stilltest::icnsOfCopies(png, 3000)};
    for (const Bytes& file : files) {
        auto source = cg::ImageSource::createWithData(file);
        SCOPED_TRACE(source->type());
        ASSERT_EQ(source->count(), 3000u);
        size_t made = 0;
        for (size_t i = 0; i < source->count(); ++i) made += source->createImageAtIndex(i) != nullptr;
        EXPECT_EQ(made, 3000u);
        EXPECT_EQ(source->counters().work.directoryWalks, 1u);
    }
    // Data that is not final lists nothing, and reads no directory.
    auto incremental = cg::ImageSource::createIncremental();
    incremental->updateData(std::span(files[0]).first(100), false);
    EXPECT_EQ(incremental->counters().work.directoryWalks, 0u);
    incremental->updateData(files[0], true);
    EXPECT_EQ(incremental->count(), 3000u);
    EXPECT_EQ(incremental->counters().work.directoryWalks, 1u);
}

TEST(IconFormatsTest, IcnsEntriesSkippedByTheThousandAreCountedInOneLogLine) {
    std::vector<std::pair<std::string, Bytes>> entries;
    for (int i = 0; i < 5000; ++i) entries.push_back({"r" + std::to_string(1000 + i).substr(1), Bytes(2, 7)});
    entries.push_back({"icp4", stilltest::onePixelPng()});
    ns::LogCapture log;
    auto source = cg::ImageSource::createWithData(icns(entries));
    ASSERT_EQ(source->count(), 1u);
    EXPECT_TRUE(source->createImageAtIndex(0));
    EXPECT_TRUE(log.contains("ICNS: skipped the entry 'r000' of 2 bytes"));
    EXPECT_TRUE(log.contains("ICNS: skipped the entry 'r007'"));
    EXPECT_FALSE(log.contains("'r008'"));
    EXPECT_TRUE(log.contains("ICNS: skipped 4992 more entries that are not PNG or JPEG 2000"));
}

TEST(IconFormatsTest, APictureDecodesFromWhereItsListingFoundItAndNowhereOutsideTheData) {
    cg::Bitmap small = checker(16, 16, true);
    Bytes good = dib(4, 4, 24, {}, [](int, int) { return 0x808080u; }, [](int, int) { return false; });
    Bytes icoFile = ico({good, cg::encodePng(small)});
    Bytes icnsFile = icns({{"is32", Bytes(40, 7)}, {"icp4", cg::encodePng(small)}});
    struct Case {
        const char* name;
        Bytes file;
        std::vector<cg::still::Header> (*list)(std::span<const uint8_t>);
        std::optional<cg::still::Decoded> (*decode)(std::span<const uint8_t>, const cg::still::Header&);
        size_t directoryEnd;
    };
    const Case cases[] = {{"ICO", icoFile, cg::still::icoPictures, cg::still::decodeIco, 6 + 2 * 16},
                          {"ICNS", icnsFile, cg::still::icnsPictures, cg::still::decodeIcns, 8 + 8 + 40}};
    ns::LogCapture quiet;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto pictures = c.list(c.file);
        ASSERT_FALSE(pictures.empty());
        const cg::still::Header last = pictures.back();
        // With what lies before the picture overwritten, the directory no
        // longer says where it is: the decode does not ask it again.
        Bytes overwritten = c.file;
        std::fill(overwritten.begin(), overwritten.begin() + std::ptrdiff_t(c.directoryEnd), 0xEE);
        auto decoded = c.decode(overwritten, last);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->bitmap, small);
        EXPECT_EQ(decoded->header.entry, last.entry);
        // A picture said to lie past the data's end, or to run past it.
        cg::still::Header outside = last;
        outside.offset = c.file.size() + 1;
        EXPECT_FALSE(c.decode(c.file, outside));
        outside = last;
        outside.length = c.file.size() - last.offset + 1;
        EXPECT_FALSE(c.decode(c.file, outside));
        outside.offset = SIZE_MAX;
        EXPECT_FALSE(c.decode(c.file, outside));
    }
}

TEST(IconFormatsTest, AnIconBitmapCutShortIsRefusedBeforeItsPixelsAreMade) {
    // 4096 x 4096 at one bit: 2 MiB of colours, 2 MiB of mask less a byte,
    // and 64 MiB of pixels if they were made.
    Bytes file = ico({stilltest::monochromeIconBitmap(4096, 1)});
    auto source = cg::ImageSource::createWithData(file);
    ASSERT_EQ(source->count(), 1u);
    testing::ResidentPeak peak;
    EXPECT_FALSE(source->createImageAtIndex(0));
    testing::expectGrowthUnder(peak, 8 * testing::MiB, "a 4096 x 4096 icon bitmap cut short");
    // The same bitmap with its whole mask reads.
    EXPECT_TRUE(cg::ImageSource::createWithData(ico({stilltest::monochromeIconBitmap(64, 0)}))->createImageAtIndex(0));
    // 32-bit pixels need their mask only when none of them has alpha.
    auto opaque = [](int, int) { return 0x00FF8000u; };
    auto translucent = [](int x, int) { return x == 1 ? 0x80FF8000u : 0x00FF8000u; };
    auto never = [](int, int) { return false; };
    Bytes ownAlpha = dib(3, 2, 32, {}, translucent, never, false);
    Bytes noAlpha = dib(3, 2, 32, {}, opaque, never, false);
    auto withOwnAlpha = cg::ImageSource::createWithData(ico({ownAlpha}))->createImageAtIndex(0);
    ASSERT_TRUE(withOwnAlpha);
    EXPECT_EQ(withOwnAlpha->bitmap().pixel(1, 0).alpha, 0x80);
    EXPECT_EQ(withOwnAlpha->bitmap().pixel(0, 0).alpha, 0);
    EXPECT_FALSE(cg::ImageSource::createWithData(ico({noAlpha}))->createImageAtIndex(0));
    // Colours cut short are refused whatever follows.
    Bytes cut = dib(3, 2, 32, {}, translucent, never, false);
    cut.pop_back();
    EXPECT_FALSE(cg::ImageSource::createWithData(ico({cut}))->createImageAtIndex(0));
}

}  // namespace
