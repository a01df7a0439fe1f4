// The channel's wire format: golden vectors with the key table, line breaks
// of long requests, reply decoding and the ways a reply fails to decode.

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "channel/DecodeGzipBase64.h"
#include "channel/vrqBXNGzipUtillity.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/Text.h"
#include "platform/security/Random.h"

namespace {

std::string gunzip(const ns::Ref<ns::Data>& data) {
    auto plain = vrqBXNGzipUtillity::uncompressZippedData(data);
    return plain ? std::string(plain->view()) : std::string("<nil>");
}

ns::Ref<ns::Data> gzip(std::string_view text) {
    return vrqBXNGzipUtillity::gzipData(ns::Data::withBytes(text).get());
}

std::vector<std::string> pieces(const std::string& framed) {
    std::vector<std::string> out;
    std::string inner = framed.substr(1, framed.size() - 2);
    size_t start = 0;
    for (size_t end; (end = inner.find('_', start)) != std::string::npos; start = end + 1)
        out.push_back(inner.substr(start, end - start));
    out.push_back(inner.substr(start));
    return out;
}

// A reply as the server sends it: unbroken base64, substituted, gzipped.
ns::Ref<ns::Data> serverReply(std::string_view json) {
    std::string base64 = ns::Data::withBytes(json)->base64EncodedString();
    return gzip(DecodeGzipBase64::substitute(std::u16string(base64.begin(), base64.end())));
}

TEST(WireCodec, ASmallRequestIsOneNumberPerBase64CharacterInAGzipStream) {
    auto body = DecodeGzipBase64::codingJSON(ns::Dictionary::make({{"z", ns::str("1")}}));
    ASSERT_TRUE(body);
    ASSERT_GE(body->length(), 2u);
    EXPECT_EQ(body->bytes()[0], 0x1f);
    EXPECT_EQ(body->bytes()[1], 0x8b);
    // base64 of {"z":"1"} is eyJ6IjoiMSJ9.
    EXPECT_EQ(gunzip(body), "x182_240_143_168_157_227_166_190_182_162_186_108y");
}

TEST(WireCodec, ALongRequestCarriesSubstitutedLineBreaksEverySixtyFourCharacters) {
    auto body = DecodeGzipBase64::codingJSON(ns::Dictionary::make({{"k", ns::str(std::string(150, 'a'))}}));
    auto numbers = pieces(gunzip(body));
    const auto& keys = DecodeGzipBase64::keyUnits();
    // 158 bytes of JSON: 212 base64 characters in four lines, three breaks.
    ASSERT_EQ(numbers.size(), 212u + 6u);
    for (size_t line = 1; line <= 3; ++line) {
        size_t at = line * 66 - 2;
        EXPECT_EQ(numbers[at], std::to_string(13 + keys[at % 64])) << at;
        EXPECT_EQ(numbers[at + 1], std::to_string(10 + keys[(at + 1) % 64])) << at + 1;
    }
    EXPECT_FALSE(DecodeGzipBase64::decodingJSON(body)) << "the strict base64 step refuses line breaks";
}

TEST(WireCodec, ARequestThatIsNotJsonHasNoBody) {
    ns::LogCapture log;
    EXPECT_FALSE(DecodeGzipBase64::codingJSON(nullptr));
    EXPECT_FALSE(DecodeGzipBase64::codingJSON(ns::Dictionary::make({{"k", std::make_shared<ns::Object>()}})));
    EXPECT_TRUE(log.contains("JSON序列化失败----"));
}

TEST(WireCodec, AReplyRoundTripsWithMutableLeaves) {
    auto reply = DecodeGzipBase64::decodingJSON(serverReply(R"({"z":"1","x":"登录成功","n":5,"e":null})"));
    auto dictionary = ns::cast<ns::Dictionary>(reply);
    ASSERT_TRUE(dictionary);
    EXPECT_EQ(ns::textOf(dictionary->objectForKey("x")), "登录成功");
    EXPECT_EQ(ns::textOf(dictionary->objectForKey("n")), "5");
    EXPECT_TRUE(ns::cast<ns::MutableString>(dictionary->objectForKey("z"))) << "leaves are mutable";

    // A short request has no line break, so it decodes like a reply.
    auto body = DecodeGzipBase64::codingJSON(ns::Dictionary::make({{"z", ns::str("1")}}));
    EXPECT_EQ(ns::textOf(ns::cast<ns::Dictionary>(DecodeGzipBase64::decodingJSON(body))->objectForKey("z")), "1");
}

TEST(WireCodec, RepliesThatDoNotDecodeGiveNothing) {
    ns::LogCapture log;
    EXPECT_FALSE(DecodeGzipBase64::decodingJSON(ns::Data::withBytes("not gzip")));
    EXPECT_FALSE(DecodeGzipBase64::decodingJSON(gzip("x")));
    EXPECT_FALSE(DecodeGzipBase64::decodingJSON(ns::Data::make()));
    EXPECT_FALSE(DecodeGzipBase64::decodingJSON(nullptr));
    EXPECT_TRUE(log.lines().empty()) << "no log for these";

    // Base64 that is not valid ("!" after substitution).
    EXPECT_FALSE(DecodeGzipBase64::decodingJSON(gzip(DecodeGzipBase64::substitute(u"ab!d"))));
    // Valid base64 of bytes that are not UTF-8.
    std::string notUtf8 = ns::Data::withBytes("\xff\xfe")->base64EncodedString();
    EXPECT_FALSE(DecodeGzipBase64::decodingJSON(
        gzip(DecodeGzipBase64::substitute(std::u16string(notUtf8.begin(), notUtf8.end())))));
    // UTF-8 that is not JSON: logged.
    EXPECT_FALSE(DecodeGzipBase64::decodingJSON(serverReply("{oops")));
    EXPECT_TRUE(log.contains("JSON序列化失败----"));
    // A piece without digits counts 0; units keep their low 16 bits.
    EXPECT_EQ(DecodeGzipBase64::unsubstitute("_-1"), (std::u16string{char16_t(0 - 'Q'), char16_t(-1 - 'w')}));
}

TEST(WireCodec, GzipOnlyRepliesAndTheTable) {
    auto reply = DecodeGzipBase64::vrq_decodingJSON(gzip(R"({"code":"1","data":[]})"));
    ASSERT_TRUE(ns::cast<ns::Dictionary>(reply));
    EXPECT_FALSE(DecodeGzipBase64::vrq_decodingJSON(ns::Data::withBytes("plain")));
    EXPECT_FALSE(DecodeGzipBase64::vrq_decodingJSON(nullptr));

    EXPECT_EQ(DecodeGzipBase64::getArray()->count(), 64u);
    EXPECT_EQ(DecodeGzipBase64::getArrayFromStr(ns::String(""))->count(), 0u);
    auto split = DecodeGzipBase64::getArrayFromStr(ns::String("a😀"));
    EXPECT_EQ(split->count(), 3u) << "one string per UTF-16 unit";
}

TEST(Gzip, EmptyInputAndRoundTrips) {
    ns::LogCapture log;
    EXPECT_FALSE(vrqBXNGzipUtillity::gzipData(ns::Data::make().get()));
    EXPECT_TRUE(log.contains("+[vrqBXNGzipUtillity gzipData:]: Error: Can't compress an empty or nil NSData object"));
    auto empty = ns::Data::make();
    EXPECT_EQ(vrqBXNGzipUtillity::uncompressZippedData(empty), empty);

    // Incompressible bytes of every small size and a few large ones fit the
    // output buffer and come back whole.
    sec::Random::seedForTesting(7);
    for (size_t size : {1u, 2u, 3u, 5u, 8u, 13u, 64u, 1000u, 70000u}) {
        auto bytes = ns::Data::make(sec::Random::bytes(size));
        auto packed = vrqBXNGzipUtillity::gzipData(bytes.get());
        ASSERT_TRUE(packed) << size;
        EXPECT_TRUE(vrqBXNGzipUtillity::uncompressZippedData(packed)->isEqualToData(bytes.get())) << size;
        // 64 random bytes take more than a buffer of n x 1.01 + 21 bytes.
        if (size == 64) { EXPECT_GT(packed->length(), size * 101 / 100 + 21); }
    }
    sec::Random::useSystemSource();

    // A stream cut short is refused, and so is a zlib (not gzip) one of bad data.
    auto packed = gzip(std::string(5000, 'q'));
    auto cut = ns::Data::withBytes(packed->view().substr(0, packed->length() - 6));
    EXPECT_FALSE(vrqBXNGzipUtillity::uncompressZippedData(cut));
    EXPECT_STREQ(vrqBXNGzipUtillity::messageForCode(-5), "Ran out of output buffer for writing compressed bytes.");
    EXPECT_STREQ(vrqBXNGzipUtillity::messageForCode(42), "Unknown error code.");
}

TEST(Gzip, ZlibStreamsAreDetectedToo) {
    std::string text(300, 'z');
    uLongf size = compressBound(text.size());
    std::vector<uint8_t> out(size);
    ASSERT_EQ(compress(out.data(), &size, reinterpret_cast<const Bytef*>(text.data()), text.size()), Z_OK);
    out.resize(size);
    EXPECT_EQ(gunzip(ns::Data::make(out)), text);
}

}  // namespace
