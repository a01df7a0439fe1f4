#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/security/Cryptor.h"
#include "platform/security/Hex.h"
#include "tests/platform/security/HexBytes.h"

namespace sec {
namespace {

using test::fromHex;
using Bytes = std::vector<std::uint8_t>;

constexpr auto kEncrypt = CryptOperation::encrypt;
constexpr auto kDecrypt = CryptOperation::decrypt;
constexpr auto kEcb = CryptOptions::ecbMode;
constexpr auto kCbc = CryptOptions::none;
constexpr auto kPadded = CryptOptions::pkcs7Padding;

// Encrypts, checks the ciphertext, decrypts it back.
void expectVector(CryptAlgorithm algorithm, CryptOptions options, const Bytes& key, const Bytes& iv,
                  const Bytes& plain, const char* cipherHex) {
    const CryptResult sealed = crypt(kEncrypt, algorithm, options, key, iv, plain);
    ASSERT_TRUE(sealed.ok()) << static_cast<int>(sealed.status);
    EXPECT_EQ(hexLower(sealed.data), cipherHex);
    const CryptResult opened = crypt(kDecrypt, algorithm, options, key, iv, sealed.data);
    ASSERT_TRUE(opened.ok()) << static_cast<int>(opened.status);
    EXPECT_EQ(opened.data, plain);
}

const Bytes kSp800Plain = fromHex(
    "6bc1bee22e409f96e93d7e117393172a ae2d8a571e03ac9c9eb76fac45af8e51"
    "30c81c46a35ce411e5fbc1191a0a52ef f69f2445df4f9b17ad2b417be66c3710");
const Bytes kSp800Iv = fromHex("000102030405060708090a0b0c0d0e0f");

TEST(CryptorKnownAnswerTest, AesBlockForEachKeySize) {
    const Bytes plain = fromHex("00112233445566778899aabbccddeeff");
    expectVector(CryptAlgorithm::aes128, kEcb, fromHex("000102030405060708090a0b0c0d0e0f"), {}, plain,
                 "69c4e0d86a7b0430d8cdb78070b4c55a");
    expectVector(CryptAlgorithm::aes, kEcb, fromHex("000102030405060708090a0b0c0d0e0f1011121314151617"), {}, plain,
                 "dda97ca4864cdfe06eaf70a0ec0d7191");
    expectVector(CryptAlgorithm::aes, kEcb,
                 fromHex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f"), {}, plain,
                 "8ea2b7ca516745bfeafc49904b496089");
}

TEST(CryptorKnownAnswerTest, AesEcbAndCbcOverSeveralBlocks) {
    const Bytes key128 = fromHex("2b7e151628aed2a6abf7158809cf4f3c");
    expectVector(CryptAlgorithm::aes, kEcb, key128, {}, kSp800Plain,
                 "3ad77bb40d7a3660a89ecaf32466ef97f5d3d58503b9699de785895a96fdbaaf"
                 "43b1cd7f598ece23881b00e3ed0306887b0c785e27e8ad3f8223207104725dd4");
    expectVector(CryptAlgorithm::aes, kCbc, key128, kSp800Iv, kSp800Plain,
                 "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"
                 "73bed6b8e3c1743b7116e69e222295163ff1caa1681fac09120eca307586e1a7");
    expectVector(CryptAlgorithm::aes, kCbc,
                 fromHex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4"), kSp800Iv,
                 kSp800Plain,
                 "f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"
                 "39f23369a9d9bacfa530e26304231461b2eb05e2c39be9fcda6c19078c6a9d1b");
}

TEST(CryptorKnownAnswerTest, TripleDesAndDes) {
    const std::string text = "The qufck brown fox jump";
    expectVector(CryptAlgorithm::tripleDes, kEcb, fromHex("0123456789abcdef23456789abcdef01456789abcdef0123"), {},
                 Bytes(text.begin(), text.end()), "a826fd8ce53b855fcce21c8112256fe668d5c05dd9b6b900");
    expectVector(CryptAlgorithm::des, kEcb, fromHex("133457799bbcdff1"), {}, fromHex("0123456789abcdef"),
                 "85e813540f0ab405");
}

TEST(CryptorTest, EmptyIvMeansZeroIv) {
    const Bytes key(16, 0x42);
    const Bytes plain(32, 0x07);
    const CryptResult implicit = crypt(kEncrypt, CryptAlgorithm::aes, kCbc, key, {}, plain);
    const CryptResult zeros = crypt(kEncrypt, CryptAlgorithm::aes, kCbc, key, Bytes(16, 0), plain);
    ASSERT_TRUE(implicit.ok());
    EXPECT_EQ(implicit.data, zeros.data);
    // CBC chains: equal plaintext blocks must not give equal ciphertext blocks.
    EXPECT_NE(Bytes(implicit.data.begin(), implicit.data.begin() + 16),
              Bytes(implicit.data.begin() + 16, implicit.data.end()));
}

TEST(CryptorTest, EcbIgnoresTheIv) {
    const Bytes key(16, 0x42);
    const Bytes plain(16, 0x07);
    const CryptResult withIv = crypt(kEncrypt, CryptAlgorithm::aes, kEcb, key, Bytes(5, 0x99), plain);
    const CryptResult without = crypt(kEncrypt, CryptAlgorithm::aes, kEcb, key, {}, plain);
    ASSERT_TRUE(withIv.ok());
    EXPECT_EQ(withIv.data, without.data);
}

TEST(CryptorPaddingTest, RoundTripsAtBlockBoundaries) {
    const struct {
        CryptAlgorithm algorithm;
        Bytes key;
        std::size_t block;
    } ciphers[] = {
        {CryptAlgorithm::aes, Bytes(32, 0x11), kAesBlockSize},
        {CryptAlgorithm::tripleDes, Bytes(24, 0x22), kDesBlockSize},
        {CryptAlgorithm::des, Bytes(8, 0x33), kDesBlockSize},
    };
    for (const auto& c : ciphers) {
        for (CryptOptions mode : {kCbc, kEcb}) {
            const CryptOptions options = mode | kPadded;
            for (std::size_t length : {std::size_t{0}, std::size_t{1}, c.block - 1, c.block, c.block + 1,
                                       2 * c.block - 1, 2 * c.block, 2 * c.block + 1}) {
                SCOPED_TRACE(testing::Message() << "algorithm " << static_cast<int>(c.algorithm) << " ecb "
                                                << hasOption(options, kEcb) << " length " << length);
                Bytes plain(length);
                for (std::size_t i = 0; i < length; ++i)
                    plain[i] = static_cast<std::uint8_t>(i * 7 + 1);
                const CryptResult sealed = crypt(kEncrypt, c.algorithm, options, c.key, {}, plain);
                ASSERT_TRUE(sealed.ok());
                EXPECT_EQ(sealed.data.size(), (length / c.block + 1) * c.block);
                const CryptResult opened = crypt(kDecrypt, c.algorithm, options, c.key, {}, sealed.data);
                ASSERT_TRUE(opened.ok());
                EXPECT_EQ(opened.data, plain);
            }
        }
    }
}

TEST(CryptorPaddingTest, WholeBlockInputGainsAFullPaddingBlock) {
    const Bytes key(16, 0x5a);
    const Bytes plain(16, 0xee);
    const CryptResult sealed = crypt(kEncrypt, CryptAlgorithm::aes, kPadded, key, {}, plain);
    ASSERT_TRUE(sealed.ok());
    const CryptResult raw = crypt(kDecrypt, CryptAlgorithm::aes, kCbc, key, {}, sealed.data);
    ASSERT_TRUE(raw.ok());
    Bytes expected = plain;
    expected.insert(expected.end(), 16, 0x10);
    EXPECT_EQ(raw.data, expected);
}

TEST(CryptorErrorTest, WrongKeySizesAreParamErrors) {
    const Bytes plain(16, 1);
    const struct {
        CryptAlgorithm algorithm;
        std::size_t keySize;
    } cases[] = {
        {CryptAlgorithm::aes, 0},       {CryptAlgorithm::aes, 15}, {CryptAlgorithm::aes, 17},
        {CryptAlgorithm::aes, 33},      {CryptAlgorithm::des, 7},  {CryptAlgorithm::des, 16},
        {CryptAlgorithm::tripleDes, 16}, {CryptAlgorithm::tripleDes, 8},
    };
    for (const auto& c : cases) {
        for (CryptOperation operation : {kEncrypt, kDecrypt}) {
            const CryptResult result = crypt(operation, c.algorithm, kPadded, Bytes(c.keySize, 9), {}, plain);
            EXPECT_EQ(result.status, CryptStatus::paramError)
                << "algorithm " << static_cast<int>(c.algorithm) << " key " << c.keySize;
            EXPECT_TRUE(result.data.empty());
        }
    }
}

TEST(CryptorErrorTest, IvOfWrongLengthIsAParamError) {
    const Bytes key(16, 1);
    EXPECT_EQ(crypt(kEncrypt, CryptAlgorithm::aes, kPadded, key, Bytes(8, 0), "text").status,
              CryptStatus::paramError);
    EXPECT_EQ(crypt(kEncrypt, CryptAlgorithm::tripleDes, kPadded, Bytes(24, 1), Bytes(16, 0), "text").status,
              CryptStatus::paramError);
}

TEST(CryptorErrorTest, PartialBlocksWithoutPaddingAreAlignmentErrors) {
    const Bytes key(16, 1);
    for (CryptOptions mode : {kCbc, kEcb}) {
        EXPECT_EQ(crypt(kEncrypt, CryptAlgorithm::aes, mode, key, {}, Bytes(15)).status, CryptStatus::alignmentError);
        EXPECT_EQ(crypt(kDecrypt, CryptAlgorithm::aes, mode, key, {}, Bytes(17)).status, CryptStatus::alignmentError);
        EXPECT_EQ(crypt(kDecrypt, CryptAlgorithm::aes, mode | kPadded, key, {}, Bytes(31)).status,
                  CryptStatus::alignmentError);
    }
    const CryptResult empty = crypt(kEncrypt, CryptAlgorithm::aes, kCbc, key, {}, Bytes{});
    EXPECT_TRUE(empty.ok());
    EXPECT_TRUE(empty.data.empty());
}

TEST(CryptorErrorTest, MalformedPaddingIsADecodeError) {
    const Bytes key(16, 3);
    const Bytes badTails[] = {
        fromHex("000102030405060708090a0b0c0d0e00"),  // pad byte 0
        fromHex("000102030405060708090a0b0c0d0e11"),  // longer than a block
        fromHex("000102030405060708090a0b0c010303"),  // says 3, only 2 match
    };
    for (const Bytes& plain : badTails) {
        const CryptResult sealed = crypt(kEncrypt, CryptAlgorithm::aes, kEcb, key, {}, plain);
        ASSERT_TRUE(sealed.ok());
        const CryptResult opened = crypt(kDecrypt, CryptAlgorithm::aes, kEcb | kPadded, key, {}, sealed.data);
        EXPECT_EQ(opened.status, CryptStatus::decodeError) << hexLower(plain);
        EXPECT_TRUE(opened.data.empty());
    }
    EXPECT_EQ(crypt(kDecrypt, CryptAlgorithm::aes, kPadded, key, {}, Bytes{}).status, CryptStatus::decodeError);
}

TEST(CryptorErrorTest, UnknownOperationOrAlgorithmIsAParamError) {
    const Bytes key(16, 1);
    EXPECT_EQ(crypt(static_cast<CryptOperation>(7), CryptAlgorithm::aes, kPadded, key, {}, "x").status,
              CryptStatus::paramError);
    EXPECT_EQ(crypt(kEncrypt, static_cast<CryptAlgorithm>(4), kPadded, key, {}, "x").status,
              CryptStatus::paramError);
}

}  // namespace
}  // namespace sec
