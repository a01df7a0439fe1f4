#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/Data.h"

using namespace ns;

TEST(Base64, Rfc4648Vectors) {
    const std::vector<std::pair<std::string, std::string>> vectors = {
        {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, encoded] : vectors) {
        EXPECT_EQ(Data::withBytes(plain)->base64EncodedString(), encoded);
        auto decoded = Data::withBase64EncodedString(encoded);
        ASSERT_TRUE(decoded) << encoded;
        EXPECT_EQ(decoded->view(), plain);
    }
}

TEST(Base64, EveryByteValueRoundTrips) {
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += char(i);
    std::string encoded = Data::withBytes(bytes)->base64EncodedString();
    EXPECT_EQ(encoded.substr(0, 8), "AAECAwQF");
    EXPECT_EQ(encoded.substr(encoded.size() - 8), "/P3+/w==");
    EXPECT_EQ(Data::withBase64EncodedString(encoded)->view(), bytes);
}

TEST(Base64, LineBreaking) {
    // 48 bytes fill exactly one 64-character line: no line ending at all.
    std::string one(48, 'a');
    std::string text = Data::withBytes(one)->base64EncodedString(Base64Encoding64CharacterLineLength);
    EXPECT_EQ(text.size(), 64u);
    EXPECT_EQ(text.find('\r'), std::string::npos);

    // One byte more starts a second line after CR LF, with none at the end.
    text = Data::withBytes(one + "a")->base64EncodedString(Base64Encoding64CharacterLineLength);
    ASSERT_EQ(text.size(), 64u + 2 + 4);
    EXPECT_EQ(text.substr(64, 2), "\r\n");
    EXPECT_EQ(text.substr(66), "YQ==");

    // 76-character lines, with each ending option.
    std::string long_(200, 'z');
    auto lines = [&](uint32_t options) { return Data::withBytes(long_)->base64EncodedString(options); };
    std::string crlf = lines(Base64Encoding76CharacterLineLength);
    EXPECT_EQ(crlf.substr(76, 2), "\r\n");
    EXPECT_EQ(crlf.substr(154, 2), "\r\n");
    EXPECT_EQ(crlf.size(), 268u + 2 * 3);
    std::string cr = lines(Base64Encoding76CharacterLineLength | Base64EncodingEndLineWithCarriageReturn);
    EXPECT_EQ(cr.substr(76, 2), "\re");
    std::string lf = lines(Base64Encoding76CharacterLineLength | Base64EncodingEndLineWithLineFeed);
    EXPECT_EQ(lf.substr(76, 2), "\ne");
    std::string both = lines(Base64Encoding76CharacterLineLength | Base64EncodingEndLineWithCarriageReturn |
                             Base64EncodingEndLineWithLineFeed);
    EXPECT_EQ(both, crlf);
    // An ending option without a line length changes nothing.
    EXPECT_EQ(lines(Base64EncodingEndLineWithLineFeed), lines(0));

    // Broken lines decode only when unknown characters are ignored.
    EXPECT_EQ(Data::withBase64EncodedString(crlf), nullptr);
    auto back = Data::withBase64EncodedString(cr, Base64DecodingIgnoreUnknownCharacters);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->view(), long_);
}
