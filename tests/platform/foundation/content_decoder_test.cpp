// The transport's own undoing of content codings: each coding a server may
// send for what is asked, stacked codings, every member of a gzip body, and
// pieces of bounded size that stop as soon as one is refused.

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "platform/foundation/ContentDecoder.h"
#include "tests/platform/foundation/reply_memory_support.h"

namespace {

using ns::detail::ContentDecoder;

// `text` deflated with the given window bits (negative: raw, 15: zlib).
std::string deflated(const std::string& text, int windowBits) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, windowBits, 9, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&z, uLong(text.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = uInt(text.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// Decodes `body` fed in pieces of `feed` bytes; the pieces taken.
std::vector<std::string> decodeAll(const std::string& coding, const std::string& body, size_t feed, bool& ok,
                                   size_t refuseAfter = SIZE_MAX) {
    ContentDecoder decoder;
    std::vector<std::string> taken;
    ok = decoder.start(coding);
    for (size_t at = 0; ok && at < body.size(); at += feed) {
        ok = decoder.decode(body.data() + at, std::min(feed, body.size() - at), [&](const char* bytes, size_t length) {
            taken.emplace_back(bytes, length);
            return taken.size() < refuseAfter;
        });
    }
    return taken;
}

std::string joined(const std::vector<std::string>& pieces) {
    std::string out;
    for (const auto& piece : pieces) out += piece;
    return out;
}

TEST(ContentDecoder, EveryCodingAskedForComesOutWhole) {
    std::string text;
    for (int i = 0; i < 20000; ++i) text += "line " + std::to_string(i) + "\n";
    const struct {
        const char* coding;
        std::string body;
    } cases[] = {
        {"", text},
        {"identity", text},
        {"gzip", urltest::gzipped(text)},
        {"X-Gzip", urltest::gzipped(text)},
        {"deflate", deflated(text, 15)},
        // "deflate" as some servers send it: without the zlib wrapping.
        {"deflate", deflated(text, -15)},
        {"gzip, deflate", deflated(urltest::gzipped(text), 15)},
    };
    for (const auto& c : cases) {
        for (size_t feed : {size_t(1), size_t(7), size_t(65536)}) {
            bool ok = false;
            auto pieces = decodeAll(c.coding, c.body, feed, ok);
            EXPECT_TRUE(ok) << c.coding << " fed " << feed;
            EXPECT_TRUE(joined(pieces) == text) << c.coding << " fed " << feed;
        }
    }
}

TEST(ContentDecoder, EveryGzipMemberComesOutAndWhatFollowsTheLastIsIgnored) {
    const std::string two = urltest::gzipped("hello, ") + urltest::gzipped("world");
    const std::string empty = urltest::gzipped("");
    const struct {
        const char* what;
        const char* coding;
        std::string body;
        std::string text;
    } cases[] = {
        {"two members", "gzip", two, "hello, world"},
        {"an empty member between", "gzip", urltest::gzipped("hello, ") + empty + urltest::gzipped("world"), "hello, world"},
        {"zero padding after", "gzip", two + std::string(512, '\0'), "hello, world"},
        {"text after", "gzip", two + "not a member", "hello, world"},
        {"half a magic after", "gzip", two + "\x1f", "hello, world"},
        {"the other half of a magic after", "gzip", two + "\x8b\x1f", "hello, world"},
        // A zlib stream has one member: gzip bytes after it are not the reply's.
        {"deflate then gzip", "deflate", deflated("hello, ", 15) + urltest::gzipped("world"), "hello, "},
        // Members in both codings of a stack.
        {"stacked", "gzip, gzip", urltest::gzipped(two) + urltest::gzipped(urltest::gzipped("!")), "hello, world!"},
    };
    for (const auto& c : cases) {
        for (size_t feed : {size_t(1), size_t(2), size_t(7), size_t(65536)}) {
            bool ok = false;
            auto pieces = decodeAll(c.coding, c.body, feed, ok);
            EXPECT_TRUE(ok) << c.what << " fed " << feed;
            EXPECT_EQ(joined(pieces), c.text) << c.what << " fed " << feed;
        }
    }
    // A second member that breaks off is as broken as a first one.
    ContentDecoder broken;
    ASSERT_TRUE(broken.start("gzip"));
    const std::string body = urltest::gzipped("hello, ") + "\x1f\x8b garbage that is no member";
    EXPECT_FALSE(broken.decode(body.data(), body.size(), [](const char*, size_t) { return true; }));
    EXPECT_TRUE(broken.malformed());
}

TEST(ContentDecoder, ABombComesInBoundedPiecesAndStopsAtTheFirstRefusal) {
    const std::string bomb = urltest::gzipped(urltest::gzippedZeros(64 * urltest::MiB));
    bool ok = true;
    // One call with the whole of it: nothing is made past the refused piece.
    auto pieces = decodeAll("gzip, gzip", bomb, bomb.size(), ok, 3);
    EXPECT_FALSE(ok);
    ASSERT_EQ(pieces.size(), 3u);
    for (const auto& piece : pieces) EXPECT_LE(piece.size(), ContentDecoder::PieceSize);

    pieces = decodeAll("gzip, gzip", bomb, bomb.size(), ok);
    EXPECT_TRUE(ok);
    size_t total = 0;
    for (const auto& piece : pieces) {
        EXPECT_LE(piece.size(), ContentDecoder::PieceSize);
        total += piece.size();
    }
    EXPECT_EQ(total, 64 * urltest::MiB);
}

TEST(ContentDecoder, CodingsNotDecodedHereAndBrokenBytesAreRefused) {
    ContentDecoder decoder;
    EXPECT_FALSE(decoder.start("br"));
    ContentDecoder stacked;
    EXPECT_FALSE(stacked.start("gzip, gzip, gzip, gzip, gzip, gzip"));
    // Identity is no coding to undo.
    ContentDecoder atTheLimit;
    EXPECT_TRUE(atTheLimit.start("gzip, identity, gzip, gzip, deflate, gzip"));
    ContentDecoder broken;
    ASSERT_TRUE(broken.start("gzip"));
    const std::string junk = "\x1f\x8b this is not gzip at all, not even raw deflate ###";
    EXPECT_FALSE(broken.decode(junk.data(), junk.size(), [](const char*, size_t) { return true; }));
    EXPECT_TRUE(broken.malformed());
}

}  // namespace

namespace {

std::string wrongAt(std::string bytes, size_t at) {
    bytes[at] = char(bytes[at] ^ 0x5a);
    return bytes;
}

TEST(ContentDecoder, OnlyAStreamThatReachesItsEndIsComplete) {
    std::string text;
    for (int i = 0; i < 20000; ++i) text += "line " + std::to_string(i) + "\n";
    const std::string gz = urltest::gzipped(text);
    const std::string zlib = deflated(text, 15);
    const std::string raw = deflated(text, -15);
    const struct {
        const char* what;
        const char* coding;
        std::string body;
        bool complete;
        size_t trailerMissing = 0;
    } cases[] = {
        {"no bytes at all", "gzip", "", true},
        {"a whole member", "gzip", gz, true},
        {"two members and a byte that begins none", "gzip", gz + urltest::gzipped("!") + "\x1f", true},
        {"a whole zlib stream", "deflate", zlib, true},
        {"a whole raw stream", "deflate", raw, true},
        {"half a member", "gzip", gz.substr(0, gz.size() / 2), false},
        // Its deflate data is whole: a trailer missing or short, as far as
        // it came right, ends it.
        {"a member without its CRC and length", "gzip", gz.substr(0, gz.size() - 8), true, 8},
        {"a member one byte short", "gzip", gz.substr(0, gz.size() - 1), true, 1},
        {"a member with three bytes of its CRC", "gzip", gz.substr(0, gz.size() - 5), true, 5},
        {"three bytes of a CRC that is wrong", "gzip", wrongAt(gz.substr(0, gz.size() - 5), gz.size() - 6), false},
        {"seven bytes of a length that is wrong", "gzip", wrongAt(gz.substr(0, gz.size() - 1), gz.size() - 2), false},
        {"a member whose deflate data stops a byte short", "gzip", gz.substr(0, gz.size() - 9), false},
        {"the inner of two codings without its trailer", "gzip, gzip", urltest::gzipped(gz.substr(0, gz.size() - 8)),
         true, 8},
        {"a second member cut", "gzip", gz + gz.substr(0, 40), false},
        {"a second member's header only", "gzip", gz + gz.substr(0, 2), false},
        {"a zlib stream without its checksum", "deflate", zlib.substr(0, zlib.size() - 4), false},
        {"half a raw stream", "deflate", raw.substr(0, raw.size() / 2), false},
        {"the inner of two codings cut", "gzip, gzip", urltest::gzipped(gz.substr(0, gz.size() / 2)), false},
    };
    for (const auto& c : cases) {
        for (size_t feed : {size_t(1), size_t(7), size_t(65536)}) {
            ContentDecoder decoder;
            ASSERT_TRUE(decoder.start(c.coding));
            bool ok = true;
            for (size_t at = 0; ok && at < c.body.size(); at += feed) {
                ok = decoder.decode(c.body.data() + at, std::min(feed, c.body.size() - at),
                                    [](const char*, size_t) { return true; });
            }
            EXPECT_TRUE(ok) << c.what << " fed " << feed;
            EXPECT_EQ(decoder.complete(), c.complete) << c.what << " fed " << feed;
            EXPECT_EQ(decoder.trailerBytesMissing(), c.trailerMissing) << c.what << " fed " << feed;
        }
    }
}

}  // namespace
