// The GIF writer: what it writes reads back frame for frame, and writing
// holds nothing once the file is made, whatever its frames' tables.

#include <gtest/gtest.h>

#include "platform/graphics/GifWriter.h"
#include "platform/graphics/ImageSource.h"
#include "platform/testing/PeakBound.h"

namespace {

// Frames of one pixel, a table of 256 colours in every other one.
cg::gif::WriterFile alternatingTables(int frames) {
    cg::gif::WriterFile file;
    file.width = file.height = 1;
    file.globalPalette = {0x000000, 0xFFFFFF};
    for (int i = 0; i < frames; ++i) {
        cg::gif::WriterFrame frame;
        frame.width = frame.height = 1;
        frame.indices = {uint8_t(i % 2 ? 1 : 200)};
        if (i % 2 == 0) {
            for (uint32_t c = 0; c < 256; ++c) frame.localPalette.push_back(c * 0x010101u + uint32_t(i));
        }
        file.frames.push_back(std::move(frame));
    }
    return file;
}

TEST(GifWriterTest, FramesWithAndWithoutTablesReadBackAndLeaveNothingHeld) {
    const auto bytes = cg::gif::write(alternatingTables(4));
    auto source = cg::ImageSource::createWithData(bytes);
    ASSERT_EQ(source->count(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        auto picture = source->createImageAtIndex(i);
        ASSERT_TRUE(picture) << i;
        const cg::Pixel expected = i % 2 ? cg::Pixel{255, 255, 255, 255} : cg::Pixel{255, 200, 200, uint8_t(200 + i)};
        EXPECT_EQ(picture->bitmap().pixel(0, 0), expected) << i;
    }

    // 50,000 tables of 256 colours written: none stays once the file is
    // made (each left behind would hold about 800 bytes).
    const cg::gif::WriterFile many = alternatingTables(100'000);
    const uint64_t before = testing::residentFromHere();
    EXPECT_FALSE(cg::gif::write(many).empty());
    testing::expectLeftHeldUnder(before, 8 * testing::MiB, "50,000 tables written between frames without one");
}

}  // namespace
