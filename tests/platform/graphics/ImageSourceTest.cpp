#include <gtest/gtest.h>

#include <vector>

#include "platform/foundation/Data.h"
#include "platform/graphics/GifWriter.h"
#include "platform/graphics/ImageSource.h"
#include "platform/graphics/Png.h"
#include "platform/testing/PeakBound.h"

namespace {

constexpr uint32_t Red = 0xFF0000, Green = 0x00FF00, Blue = 0x0000FF;

cg::gif::WriterFrame solid(int x, int y, int w, int h, uint8_t index, std::optional<int> delay = 10) {
    cg::gif::WriterFrame frame;
    frame.left = x;
    frame.top = y;
    frame.width = w;
    frame.height = h;
    frame.indices.assign(size_t(w * h), index);
    frame.delayCentiseconds = delay;
    return frame;
}

cg::gif::WriterFile canvas(int w, int h) {
    cg::gif::WriterFile file;
    file.width = w;
    file.height = h;
    file.globalPalette = {Red, Green, Blue, 0x000000};
    return file;
}

std::shared_ptr<cg::ImageSource> source(const std::vector<uint8_t>& bytes) {
    return cg::ImageSource::createWithData(bytes);
}

uint32_t word(const ns::Ref<cg::Image>& image, int x, int y) { return image->bitmap().row(y)[x]; }

TEST(ImageSourceTest, RecognisesTypesAndRefusesEmptyData) {
    EXPECT_EQ(cg::ImageSource::createWithData(std::span<const uint8_t>()), nullptr);
    EXPECT_EQ(cg::ImageSource::createWithData(ns::Data::make()), nullptr);
    EXPECT_EQ(cg::ImageSource::createWithData(ns::Ref<ns::Data>()), nullptr);
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0};
    std::vector<uint8_t> jpeg = {0xff, 0xd8, 0xff, 0xe0, 0, 0};
    std::vector<uint8_t> text = {'h', 'e', 'l', 'l', 'o'};
    EXPECT_EQ(source(png)->type(), cg::ImageTypePNG);
    EXPECT_EQ(source(jpeg)->type(), cg::ImageTypeJPEG);
    EXPECT_EQ(source(text)->type(), "");
    EXPECT_EQ(source(png)->count(), 0u);
    EXPECT_EQ(source(png)->createImageAtIndex(0), nullptr);
    // A GIF signature whose header is cut short: a GIF without images.
    std::vector<uint8_t> cut = {'G', 'I', 'F', '8', '9', 'a', 1};
    EXPECT_EQ(source(cut)->type(), cg::ImageTypeGIF);
    EXPECT_EQ(source(cut)->count(), 0u);
}

// A caller that keeps the Data it decodes from does not hold the file twice;
// a MutableData, which its owner may change, is read as it was when given.
TEST(ImageSourceTest, BytesInADataAreHeldWithItAndAMutableDataIsReadAsGiven) {
    cg::gif::WriterFile file = canvas(4, 4);
    file.frames.push_back(solid(0, 0, 4, 4, 1));
    std::vector<uint8_t> bytes = cg::gif::write(file);
    // Past the trailer, bytes no reader looks at.
    const size_t size = 48 * testing::MiB;
    bytes.resize(size, 0);
    auto data = ns::Data::make(std::move(bytes));
    const auto peak = testing::peakFromHere();
    auto held = cg::ImageSource::createWithData(data);
    ASSERT_TRUE(held);
    EXPECT_EQ(held->type(), cg::ImageTypeGIF);
    ASSERT_EQ(held->count(), 1u);
    testing::expectGrowthUnder(peak, 8 * testing::MiB, "a source of a 48 MiB Data");
    auto picture = held->createImageAtIndex(0);
    ASSERT_TRUE(picture);
    EXPECT_EQ(word(picture, 3, 3) & 0xFFFFFF, Green);

    auto changing = ns::MutableData::make(cg::gif::write(file));
    auto given = cg::ImageSource::createWithData(changing);
    ASSERT_TRUE(given);
    std::fill(changing->mutableBytes(), changing->mutableBytes() + changing->length(), uint8_t(0));
    changing->setLength(1);
    EXPECT_EQ(given->type(), cg::ImageTypeGIF);
    auto still = given->createImageAtIndex(0);
    ASSERT_TRUE(still);
    EXPECT_EQ(word(still, 0, 0) & 0xFFFFFF, Green);
}

TEST(ImageSourceTest, LoopCountOnlyWithTheNetscapeExtensionAndDelaysPerFrame) {
    auto file = canvas(4, 4);
    file.frames = {solid(0, 0, 4, 4, 0, 1), solid(0, 0, 4, 4, 1, 0), solid(0, 0, 4, 4, 2, std::nullopt),
                   solid(0, 0, 4, 4, 0, 7)};
    auto plain = source(cg::gif::write(file));
    ASSERT_EQ(plain->count(), 4u);
    EXPECT_FALSE(plain->properties().loopCount);
    file.loopCount = 3;
    auto looping = source(cg::gif::write(file));
    EXPECT_EQ(looping->properties().loopCount, 3u);

    auto first = looping->propertiesAtIndex(0);
    ASSERT_TRUE(first);
    EXPECT_DOUBLE_EQ(*first->unclampedDelayTime, 0.01);
    EXPECT_DOUBLE_EQ(*first->delayTime, 0.1);  // read as the default
    EXPECT_DOUBLE_EQ(*looping->propertiesAtIndex(1)->unclampedDelayTime, 0.0);
    EXPECT_FALSE(looping->propertiesAtIndex(2)->delayTime);  // no control extension
    EXPECT_DOUBLE_EQ(*looping->propertiesAtIndex(3)->delayTime, 0.07);
    EXPECT_FALSE(looping->propertiesAtIndex(4));
    EXPECT_NE(first->description().find("UnclampedDelayTime = 0.01"), std::string::npos);
}

TEST(ImageSourceTest, FramesComposeWithDisposalAndTransparency) {
    auto file = canvas(4, 4);
    auto base = solid(0, 0, 4, 4, 0);  // red canvas
    auto patch = solid(1, 1, 2, 2, 1);  // green square, restored to background after
    patch.disposal = 2;
    auto hole = solid(0, 0, 4, 1, 3);  // transparent row: leaves what is under it
    hole.transparentIndex = 3;
    auto previous = solid(3, 3, 1, 1, 2);  // blue corner, restored to previous after
    previous.disposal = 3;
    auto last = solid(0, 0, 1, 1, 2);
    file.frames = {base, patch, hole, previous, last};
    auto gif = source(cg::gif::write(file));
    ASSERT_EQ(gif->count(), 5u);

    auto one = gif->createImageAtIndex(1);
    ASSERT_TRUE(one);
    EXPECT_EQ(one->width(), 4);
    EXPECT_EQ(word(one, 1, 1), 0xFF00FF00u);
    EXPECT_EQ(word(one, 0, 0), 0xFFFF0000u);
    auto two = gif->createImageAtIndex(2);
    EXPECT_EQ(word(two, 1, 1), 0u);           // the green square was cleared
    EXPECT_EQ(word(two, 0, 0), 0xFFFF0000u);  // transparent pixels kept the red
    auto three = gif->createImageAtIndex(3);
    EXPECT_EQ(word(three, 3, 3), 0xFF0000FFu);
    auto four = gif->createImageAtIndex(4);
    EXPECT_EQ(word(four, 3, 3), 0xFFFF0000u);  // restored to before the blue corner
    EXPECT_EQ(word(four, 0, 0), 0xFF0000FFu);
    // Going back starts the composition over and gives the same picture.
    EXPECT_EQ(gif->createImageAtIndex(1)->bitmap(), one->bitmap());
    EXPECT_EQ(one->alphaInfo(), cg::ImageAlphaInfo::PremultipliedFirst);
}

TEST(ImageSourceTest, InterlacedFramesAndFramesOutsideTheCanvas) {
    auto file = canvas(3, 9);
    auto rows = solid(0, 0, 3, 9, 0);
    for (int y = 0; y < 9; ++y) std::fill_n(rows.indices.begin() + y * 3, 3, uint8_t(y % 3));
    rows.interlaced = true;
    auto overhang = solid(2, 8, 5, 5, 3);  // mostly off the canvas
    file.frames = {rows, overhang};
    auto gif = source(cg::gif::write(file));
    auto image = gif->createImageAtIndex(0);
    ASSERT_TRUE(image);
    EXPECT_EQ(word(image, 0, 4), 0xFF00FF00u);  // row 4 is green (4 % 3 = 1)
    EXPECT_EQ(word(image, 0, 8), 0xFF0000FFu);
    auto clipped = gif->createImageAtIndex(1);
    ASSERT_TRUE(clipped);
    EXPECT_EQ(word(clipped, 2, 8), 0xFF000000u);
    EXPECT_EQ(word(clipped, 1, 8), 0xFF0000FFu);
}

TEST(ImageSourceTest, BrokenFramesGiveNoPicture) {
    auto file = canvas(4, 4);
    file.frames = {solid(0, 0, 4, 4, 0), solid(0, 0, 4, 4, 1), solid(0, 0, 4, 4, 2)};
    auto bytes = cg::gif::write(file);
    // Cut inside the last frame's pixels.
    bytes.resize(bytes.size() - 6);
    auto gif = source(bytes);
    ASSERT_EQ(gif->count(), 3u);
    EXPECT_TRUE(gif->createImageAtIndex(1));
    EXPECT_EQ(gif->createImageAtIndex(2), nullptr);

    // No colour table anywhere (giflib writes none such, so the global
    // table is cut out of a written file): nothing to draw with.
    auto bare = canvas(2, 2);
    bare.frames = {solid(0, 0, 2, 2, 0, std::nullopt)};
    auto bareBytes = cg::gif::write(bare);
    ASSERT_EQ(bareBytes[10] & 0x80, 0x80);
    size_t table = 3u << ((bareBytes[10] & 7) + 1);
    bareBytes.erase(bareBytes.begin() + 13, bareBytes.begin() + 13 + long(table));
    bareBytes[10] = 0;
    auto none = source(bareBytes);
    ASSERT_TRUE(none);
    ASSERT_EQ(none->count(), 1u);
    EXPECT_EQ(none->createImageAtIndex(0), nullptr);
}

TEST(ImageSourceTest, CachingKeepsOnlyTheLastPictureMade) {
    auto file = canvas(4, 4);
    file.frames = {solid(0, 0, 4, 4, 0), solid(0, 0, 2, 2, 1), solid(2, 2, 2, 2, 2)};
    auto cached = cg::ImageSource::createWithData(cg::gif::write(file), true);
    auto first = cached->createImageAtIndex(0);
    ASSERT_TRUE(first);
    // Asked again, the last picture comes back without being made again.
    EXPECT_EQ(cached->createImageAtIndex(0), first);
    std::weak_ptr<cg::Image> firstHeld = first;
    first.reset();
    auto second = cached->createImageAtIndex(1);
    ASSERT_TRUE(second);
    // Making the next let the one before go: a player asking for frame
    // after frame holds one at a time here.
    EXPECT_TRUE(firstHeld.expired());
    EXPECT_EQ(cached->createImageAtIndex(1), second);
    // An earlier frame is composed again, the same as before.
    auto again = cached->createImageAtIndex(0);
    ASSERT_TRUE(again);
    EXPECT_EQ(word(again, 3, 3), 0xFFFF0000u);
    std::weak_ptr<cg::Image> secondHeld = second;
    second.reset();
    EXPECT_TRUE(secondHeld.expired());
    EXPECT_EQ(word(cached->createImageAtIndex(2), 3, 3), 0xFF0000FFu);

    // The same for the pictures of a still file.
    std::vector<uint8_t> ico = {0, 0, 1, 0, 2, 0};
    std::vector<uint8_t> png = cg::encodePng(cg::Bitmap(3, 3, cg::PixelFormat::ARGB32Premultiplied));
    for (uint32_t i = 0; i < 2; ++i) {
        uint32_t size = uint32_t(png.size()), offset = 6 + 32;
        ico.insert(ico.end(), {0, 0, 0, 0, 1, 0, 32, 0});
        for (uint32_t v : {size, offset}) ico.insert(ico.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
    }
    ico.insert(ico.end(), png.begin(), png.end());
    auto icons = cg::ImageSource::createWithData(ico, true);
    ASSERT_EQ(icons->count(), 2u);
    std::weak_ptr<cg::Image> entry = icons->createImageAtIndex(0);
    EXPECT_FALSE(entry.expired());
    EXPECT_EQ(icons->createImageAtIndex(0), entry.lock());
    EXPECT_TRUE(icons->createImageAtIndex(1));
    EXPECT_TRUE(entry.expired());
}

}  // namespace
