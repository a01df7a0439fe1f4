#include <gtest/gtest.h>

#include "platform/graphics/Color.h"

namespace cg {
namespace {

TEST(ColorTest, ParsesEveryHexForm) {
    const Color orange = Color::fromBytes(0xFF, 0x88, 0x00);
    EXPECT_EQ(Color::fromHex("#FF8800"), orange);
    EXPECT_EQ(Color::fromHex("ff8800"), orange);
    EXPECT_EQ(Color::fromHex("0xFf8800"), orange);
    EXPECT_EQ(Color::fromHex("0XFF8800"), orange);
    EXPECT_EQ(Color::fromHex("#F80"), orange);
    EXPECT_EQ(Color::fromHex("F80"), orange);

    auto translucent = Color::fromHex("#FF000080");
    ASSERT_TRUE(translucent);
    EXPECT_EQ(translucent->red, 1);
    EXPECT_EQ(translucent->green, 0);
    EXPECT_DOUBLE_EQ(translucent->alpha, 128 / 255.0);
}

TEST(ColorTest, RejectsBadHexText) {
    for (const char* bad : {"", "#", "0x", "#12", "#1234", "#12345", "#1234567", "#123456789", "#GG0000", "12 456",
                            " #123456", "#123456 ", "##123456", "x123456", "-12345"})
        EXPECT_FALSE(Color::fromHex(bad)) << '"' << bad << '"';
}

TEST(ColorTest, NumericAndGreyBuilders) {
    Color c = Color::fromRGB(0xAB123456, 0.5);
    EXPECT_EQ(c, Color::fromBytes(0x12, 0x34, 0x56, 0.5));
    EXPECT_EQ(Color::fromWhite(0.8, 0.6), (Color{0.8, 0.8, 0.8, 0.6}));
    EXPECT_EQ(Color::black().withAlpha(0.2), (Color{0, 0, 0, 0.2}));
    EXPECT_EQ(Color::clear().alpha, 0);
    EXPECT_TRUE(Color::fromBytes(238, 192, 118).isClose({0.9333333, 0.7529412, 0.4627451, 1}, 1e-6));
    EXPECT_FALSE(Color::white().isClose(Color::fromWhite(0.99), 1e-3));
    EXPECT_EQ((Color{1.5, -1, 0.5, 2}).clamped(), (Color{1, 0, 0.5, 1}));
}

}  // namespace
}  // namespace cg
