#include <gtest/gtest.h>

#include <string>

#include "platform/foundation/Data.h"
#include "platform/foundation/String.h"
#include "platform/foundation/TextEncoding.h"

namespace ns {
namespace {

std::string bytesOf(const Ref<Data>& data) { return data ? std::string(data->view()) : std::string("<nil>"); }

Ref<String> decode(std::string_view bytes, StringEncoding encoding) {
    return String::withBytes(bytes.data(), bytes.size(), encoding);
}

TEST(Gb18030, RoundTripsChineseAndCharactersOutsideTheBasicPlane) {
    const auto encoding = stringEncodingFromCFStringEncoding(CFStringEncodingGB_18030_2000);
    EXPECT_EQ(encoding, StringEncoding::GB18030);
    EXPECT_EQ(static_cast<uint64_t>(encoding), 0x80000632u);

    auto text = str("中文😀");
    auto data = text->dataUsingEncoding(encoding);
    EXPECT_EQ(bytesOf(data), "\xD6\xD0\xCE\xC4\x94\x39\xFC\x36");
    EXPECT_EQ(text->lengthOfBytesUsingEncoding(encoding), 8u);
    auto back = String::withData(data, encoding);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->utf8(), "中文😀");
}

TEST(Gb18030, RefusesBytesThatAreNotGb18030) {
    EXPECT_EQ(decode("\xD6", StringEncoding::GB18030), nullptr);         // cut short
    EXPECT_EQ(decode("\x81\x20", StringEncoding::GB18030), nullptr);     // bad trail byte
    EXPECT_EQ(decode("\x94\x39\xFC", StringEncoding::GB18030), nullptr);  // three of four
    ASSERT_NE(decode("", StringEncoding::GB18030), nullptr);
    EXPECT_EQ(decode("", StringEncoding::GB18030)->utf8(), "");
}

TEST(LegacyEncodings, CharactersWithoutAFormFailUnlessLossy) {
    auto text = str("a€中b");
    EXPECT_EQ(text->dataUsingEncoding(StringEncoding::WindowsCP1252), nullptr);
    EXPECT_FALSE(text->canBeConvertedToEncoding(StringEncoding::WindowsCP1252));
    EXPECT_EQ(bytesOf(text->dataUsingEncoding(StringEncoding::WindowsCP1252, true)), "a\x80?b");
    EXPECT_EQ(text->lengthOfBytesUsingEncoding(StringEncoding::WindowsCP1252), 0u);
}

TEST(LegacyEncodings, JapaneseEncodingsIncludingTheStatefulOne) {
    auto text = str("日本語a");
    EXPECT_EQ(bytesOf(text->dataUsingEncoding(StringEncoding::ShiftJIS)), "\x93\xFA\x96\x7B\x8C\xEA" "a");
    // Shifts into JIS X 0208 and back to ASCII before the "a".
    auto jis = text->dataUsingEncoding(StringEncoding::ISO2022JP);
    EXPECT_EQ(bytesOf(jis), "\x1B$BF|K\\8l\x1B(Ba");
    EXPECT_EQ(String::withData(jis, StringEncoding::ISO2022JP)->utf8(), "日本語a");
    EXPECT_EQ(String::withData(text->dataUsingEncoding(StringEncoding::JapaneseEUC), StringEncoding::JapaneseEUC)->utf8(),
              "日本語a");
}

TEST(Utf32, ByteOrderMarkAndExplicitOrders) {
    auto text = str("A😀");
    EXPECT_EQ(bytesOf(text->dataUsingEncoding(StringEncoding::UTF32)),
              std::string("\xFF\xFE\0\0" "A\0\0\0" "\x00\xF6\x01\x00", 12));
    EXPECT_EQ(bytesOf(text->dataUsingEncoding(StringEncoding::UTF32BigEndian)),
              std::string("\0\0\0A" "\x00\x01\xF6\x00", 8));
    EXPECT_EQ(text->lengthOfBytesUsingEncoding(StringEncoding::UTF32), 8u);

    EXPECT_EQ(decode(std::string("\0\0\xFE\xFF\0\0\0B", 8), StringEncoding::UTF32)->utf8(), "B");  // big-endian mark
    EXPECT_EQ(decode(std::string("\0\0\0C", 4), StringEncoding::UTF32)->utf8(), "C");  // no mark: big-endian
    EXPECT_EQ(decode(std::string("D\0\0\0", 4), StringEncoding::UTF32LittleEndian)->utf8(), "D");
    EXPECT_EQ(decode(std::string("\0\0\xD8\x00", 4), StringEncoding::UTF32BigEndian), nullptr);  // a surrogate
    EXPECT_EQ(decode(std::string("\0\x11\0\0", 4), StringEncoding::UTF32BigEndian), nullptr);    // beyond U+10FFFF
    EXPECT_EQ(decode("abc", StringEncoding::UTF32BigEndian), nullptr);                             // not whole units
}

TEST(EncodingNumbers, CfNumbersMapAsThePlatformDoes) {
    EXPECT_EQ(stringEncodingFromCFStringEncoding(0x08000100), StringEncoding::UTF8);
    EXPECT_EQ(stringEncodingFromCFStringEncoding(0x0600), StringEncoding::ASCII);
    EXPECT_EQ(stringEncodingFromCFStringEncoding(0x0421), StringEncoding::ShiftJIS);
    // One with no codec here: numbered, but nothing converts with it.
    auto gbk = stringEncodingFromCFStringEncoding(0x0631);
    EXPECT_EQ(static_cast<uint64_t>(gbk), 0x80000631u);
    EXPECT_EQ(str("中")->dataUsingEncoding(gbk), nullptr);
    EXPECT_EQ(decode("\xD6\xD0", gbk), nullptr);
}

}  // namespace
}  // namespace ns
