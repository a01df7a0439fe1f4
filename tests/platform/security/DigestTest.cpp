#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/security/Digest.h"
#include "platform/security/Hex.h"
#include "tests/platform/security/HexBytes.h"

namespace sec {
namespace {

using test::fromHex;

TEST(DigestTest, Md5MatchesRfc1321Suite) {
    const struct {
        const char* input;
        const char* digest;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(hexLower(md5(c.input)), c.digest) << '"' << c.input << '"';
}

TEST(DigestTest, DigestsAreOverBytesNotCStrings) {
    const std::string withZero("ab\0c", 4);
    EXPECT_NE(md5(withZero), md5("ab"));
    const std::vector<std::uint8_t> asBytes(withZero.begin(), withZero.end());
    EXPECT_EQ(md5(asBytes), md5(withZero));
    EXPECT_EQ(md5(std::vector<std::uint8_t>{}), md5(""));
}

TEST(DigestTest, Sha1MatchesFips180Examples) {
    EXPECT_EQ(hexLower(sha1("")), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(hexLower(sha1("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(hexLower(sha1("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    EXPECT_EQ(hexLower(sha1(std::string(1000000, 'a'))), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

TEST(DigestTest, HmacSha1MatchesRfc2202Suite) {
    const std::vector<std::uint8_t> key25 = fromHex("0102030405060708090a0b0c0d0e0f10111213141516171819");
    const std::vector<std::uint8_t> aa80(80, 0xaa);
    const struct {
        std::vector<std::uint8_t> key;
        std::vector<std::uint8_t> data;
        const char* mac;
    } cases[] = {
        {std::vector<std::uint8_t>(20, 0x0b), fromHex("4869205468657265"), "b617318655057264e28bc0b6fb378c8ef146be00"},
        {fromHex("4a656665"), fromHex("7768617420646f2079612077616e7420666f72206e6f7468696e673f"),
         "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
        {std::vector<std::uint8_t>(20, 0xaa), std::vector<std::uint8_t>(50, 0xdd),
         "125d7342b9ac11cd91a39af48aa17b4f63f175d3"},
        {key25, std::vector<std::uint8_t>(50, 0xcd), "4c9007f4026250c6bc8414f9bf50c86c2d7235da"},
        {std::vector<std::uint8_t>(20, 0x0c), fromHex("546573742057697468205472756e636174696f6e"),
         "4c1a03424b55e07fe7f27be1d58bb9324a9a5a04"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(hexLower(hmacSha1(c.key, c.data)), c.mac);

    // Keys longer than the hash block are hashed first.
    EXPECT_EQ(hexLower(hmacSha1(aa80, "Test Using Larger Than Block-Size Key - Hash Key First")),
              "aa4ae5e15272d00e95705637ce8a3b55ed402112");
    EXPECT_EQ(hexLower(hmacSha1(aa80, "Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data")),
              "e8e99d0f45237d786d6bbaa7965c7808bbff1a91");
}

TEST(DigestTest, HmacAcceptsAnEmptyKey) {
    const Sha1Digest mac = hmacSha1(std::vector<std::uint8_t>{}, "data");
    EXPECT_EQ(hexLower(mac), "257d2c35443af1e2fe590bcf71d7cfc2e7253310");
    EXPECT_EQ(hmacSha1("", "data"), mac);
}

TEST(HexTest, WritesTwoDigitsPerByteInEitherCase) {
    const std::vector<std::uint8_t> bytes = {0x00, 0x0f, 0xa0, 0xff};
    EXPECT_EQ(hexLower(bytes), "000fa0ff");
    EXPECT_EQ(hexUpper(bytes), "000FA0FF");
    EXPECT_EQ(hexUpper(md5("abc")), "900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(hexLower(std::vector<std::uint8_t>{}), "");
}

}  // namespace
}  // namespace sec
