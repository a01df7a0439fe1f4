// Images from files of several pictures: a small file that repeats one
// large picture many times (icon entries sharing one PNG, TIFF pages
// sharing one strip, GIF frames on a large screen) keeps no more pictures
// than the file's pixel budget holds, and every page keeps its orientation.

#include <cstring>
#include <string>

#include "platform/foundation/Data.h"
#include "platform/foundation/Log.h"
#include "platform/testing/GifFiles.h"
#include "platform/graphics/ImageSource.h"
#include "platform/graphics/Png.h"
#include "platform/testing/PeakBound.h"
#include "platform/uikit/Image.h"
#include "tests/platform/graphics/hostile_still_files.h"
#include "ui_test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;
using testing::MiB;

void le16(Bytes& out, uint32_t v) { out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)}); }
void le32(Bytes& out, uint32_t v) { le16(out, v & 0xFFFF), le16(out, v >> 16); }

// An icon file of `count` directory entries that all point at one PNG of
// a transparent square.
Bytes icoRepeating(int side, size_t count) {
    return stilltest::icoSharingOneEntry(cg::encodePng(cg::Bitmap(side, side, cg::PixelFormat::ARGB32Premultiplied)), count);
}

// A little-endian TIFF of grey directories of width x height that all read
// one PackBits strip of the grey level 90, one for each orientation tag
// given.
Bytes tiffSharingOneStrip(uint32_t width, uint32_t height, const std::vector<uint16_t>& orientations) {
    Bytes strip;
    for (uint32_t y = 0; y < height; ++y) {
        // Runs of at most 128 equal bytes, none crossing a row.
        for (uint32_t left = width; left > 0;) {
            uint32_t run = std::min<uint32_t>(left, 128);
            strip.insert(strip.end(), {uint8_t(257 - run), 90});
            left -= run;
        }
    }
    Bytes out = {'I', 'I', 42, 0};
    le32(out, 8 + uint32_t(strip.size()));
    out.insert(out.end(), strip.begin(), strip.end());
    struct Entry {
        uint16_t tag, type;
        uint32_t value;
    };
    const uint16_t Short = 3, Long = 4;
    const std::vector<Entry> entries = {
        {256, Long, width},        {257, Long, height},      {258, Short, 8},
        {259, Short, 32773},       {262, Short, 1},          {273, Long, 8},
        {274, Short, 1},           {277, Short, 1},          {278, Long, height},
        {279, Long, uint32_t(strip.size())},
    };
    for (size_t page = 0; page < orientations.size(); ++page) {
        le16(out, uint32_t(entries.size()));
        for (const Entry& e : entries) {
            le16(out, e.tag);
            le16(out, e.type);
            le32(out, 1);
            uint32_t value = e.tag == 274 ? orientations[page] : e.value;
            if (e.type == Short) le16(out, value), le16(out, 0);
            else le32(out, value);
        }
        // The next directory follows, or none after the last.
        le32(out, page + 1 < orientations.size() ? uint32_t(out.size() + 4) : 0);
    }
    return out;
}

class ImageFileBudgetTest : public UIKitTest {
protected:
    // The image of `file`, recording the peak growth of the resident set
    // while it is made.
    ns::Ref<ui::Image> imageOf(const Bytes& file) {
        auto data = ns::Data::make(file);
        testing::ResidentPeak peak;
        auto image = ui::Image::imageWithData(data);
        growth = peak.started() ? peak.growth() : 0;
        made = std::to_string(file.size()) + " bytes made " + std::to_string(image ? image->images().size() : 0) +
               " frames";
        return image;
    }

    void expectPeakGrowthUnder(uint64_t bound) { testing::expectGrowthUnder(growth, bound, made); }

    uint64_t growth = 0;
    std::string made;
};

TEST_F(ImageFileBudgetTest, IconEntriesSharingOneLargePngKeepOnlyTheBudget) {
    // 24 entries of 4096 x 4096 (2^24 pixels each): four fit the budget.
    Bytes file = icoRepeating(4096, 24);
    ASSERT_LT(file.size(), 200'000u);
    ns::LogCapture log;
    auto image = imageOf(file);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->images().size(), 4u);
    for (const auto& frame : image->images()) EXPECT_EQ(frame->cgImage()->width(), 4096);
    EXPECT_EQ(image->cgImage(), image->images()[0]->cgImage());
    EXPECT_DOUBLE_EQ(image->duration(), 0.4);
    EXPECT_TRUE(log.contains("kept 4 of the 24 pictures of a com.microsoft.ico file")) << testing::PrintToString(log.lines());
    // The four pictures kept (256 MiB) and one being decoded, where every
    // entry was once kept (1.5 GiB).
    expectPeakGrowthUnder(448 * MiB);
}

TEST_F(ImageFileBudgetTest, TiffPagesSharingOneStripKeepOnlyTheBudget) {
    // 256 pages of 1024 x 1024 (2^20 pixels each): 64 fit the budget.
    Bytes file = tiffSharingOneStrip(1024, 1024, std::vector<uint16_t>(256, 1));
    ASSERT_LT(file.size(), 100'000u);
    auto source = cg::ImageSource::createWithData(file);
    ASSERT_EQ(source->count(), 256u);
    auto image = imageOf(file);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->images().size(), 64u);
    EXPECT_EQ(image->images()[63]->cgImage()->bitmap().pixel(1023, 1023), (cg::Pixel{255, 90, 90, 90}));
    // The 64 pages kept (256 MiB) and one being decoded, where 256 were
    // once kept (1 GiB).
    expectPeakGrowthUnder(384 * MiB);
}

TEST_F(ImageFileBudgetTest, GifFramesCountTheirWholeScreen) {
    // 40 frames of one pixel, each a picture of the 4096 x 4096 screen.
    Bytes file = testing::gifOfDots(4096, 40, 5);
    ASSERT_LT(file.size(), 2'000u);
    auto image = imageOf(file);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->images().size(), 4u);
    // Each frame drew its pixel over those before it.
    const cg::Bitmap& last = image->images()[3]->cgImage()->bitmap();
    EXPECT_EQ(last.pixel(0, 0), (cg::Pixel{255, 255, 0, 0}));
    EXPECT_EQ(last.pixel(3, 0), (cg::Pixel{255, 0, 255, 0}));
    EXPECT_EQ(last.pixel(4, 0).alpha, 0);
    EXPECT_DOUBLE_EQ(image->duration(), 0.2);
    // Four screens kept, the one composing and one being copied out,
    // where all 40 were once kept (2.5 GiB).
    expectPeakGrowthUnder(448 * MiB);
}

TEST_F(ImageFileBudgetTest, OnePictureWithinTheBudgetGivesAStillImage) {
    // Two pages of just over half the budget each: the first is made, the
    // second is past the budget.
    Bytes file = tiffSharingOneStrip(8192, 4097, {1, 1});
    auto image = ui::Image::imageWithData(ns::Data::make(file));
    ASSERT_TRUE(image);
    EXPECT_TRUE(image->images().empty());
    EXPECT_EQ(image->cgImage()->height(), 4097);
    // A file whose pictures all fit keeps every one.
    auto small = ui::Image::imageWithData(ns::Data::make(tiffSharingOneStrip(8, 4, {1, 1, 1})));
    ASSERT_TRUE(small);
    EXPECT_EQ(small->images().size(), 3u);
}

TEST_F(ImageFileBudgetTest, EveryPageAndTheAnimatedImageKeepTheOrientation) {
    // Two pages of 61 x 43 stored, shown turned right: 43 x 61.
    auto image = ui::Image::imageWithData(ns::Data::make(tiffSharingOneStrip(61, 43, {6, 6})));
    ASSERT_TRUE(image);
    ASSERT_EQ(image->images().size(), 2u);
    EXPECT_EQ(image->imageOrientation(), ui::ImageOrientation::Right);
    EXPECT_EQ(image->size().width, 43);
    EXPECT_EQ(image->size().height, 61);
    for (const auto& frame : image->images()) {
        EXPECT_EQ(frame->imageOrientation(), ui::ImageOrientation::Right);
        EXPECT_EQ(frame->size().width, 43);
        EXPECT_EQ(frame->cgImage()->width(), 61);
    }
    // Pages of different orientations each keep their own; the animated
    // image takes the first's.
    auto mixed = ui::Image::imageWithData(ns::Data::make(tiffSharingOneStrip(61, 43, {8, 1, 3})));
    ASSERT_TRUE(mixed);
    ASSERT_EQ(mixed->images().size(), 3u);
    EXPECT_EQ(mixed->imageOrientation(), ui::ImageOrientation::Left);
    EXPECT_EQ(mixed->images()[0]->imageOrientation(), ui::ImageOrientation::Left);
    EXPECT_EQ(mixed->images()[1]->imageOrientation(), ui::ImageOrientation::Up);
    EXPECT_EQ(mixed->images()[2]->imageOrientation(), ui::ImageOrientation::Down);
}

}  // namespace
