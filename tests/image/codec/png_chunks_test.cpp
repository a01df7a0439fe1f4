// The PNG chunk parser: framing checks, the frame table of consistent
// animated PNGs, and the inconsistencies that leave data a plain PNG.

#include <gtest/gtest.h>

#include <memory>

#include "image/codec/TVPNGChunks.h"
#include "tests/image/codec/png_test_support.h"

namespace {

using pngtest::Bytes;

struct InfoDeleter {
    void operator()(TVPNGInfo* info) const { TVFreePNGChunks(info); }
};
using Info = std::unique_ptr<TVPNGInfo, InfoDeleter>;

Info parse(const Bytes& bytes) { return Info(TVParsePNGChunks(bytes.data(), uint32_t(bytes.size()))); }

std::vector<pngtest::Frame> threeFrames() {
    return {{pngtest::solid(8, 6, 255, 255, 0, 0)},
            {pngtest::solid(4, 3, 255, 0, 255, 0), 2, 1, 1, 4, 1, 1},
            {pngtest::solid(8, 6, 128, 0, 0, 255), 0, 0, 3, 100, 2, 0}};
}

TEST(PNGChunksTest, ShortOrUnsignedDataGivesNothing) {
    Bytes still = cg::encodePng(pngtest::solid(2, 2, 255, 1, 2, 3));
    EXPECT_FALSE(parse(Bytes(still.begin(), still.begin() + 31)));
    Bytes bad = still;
    bad[1] = 'Q';
    EXPECT_FALSE(parse(bad));
    EXPECT_EQ(TVParsePNGChunks(nullptr, 100), nullptr);
    TVFreePNGChunks(nullptr);
}

TEST(PNGChunksTest, StillPNGListsEveryChunkAndNoAnimation) {
    Bytes still = cg::encodePng(pngtest::solid(5, 3, 255, 1, 2, 3));
    auto chunks = pngtest::chunksOf(still);
    auto info = parse(still);
    ASSERT_TRUE(info);
    ASSERT_EQ(info->chunk_num, chunks.size());
    EXPECT_EQ(info->header.width, 5u);
    EXPECT_EQ(info->header.height, 3u);
    EXPECT_EQ(info->header.bit_depth, 8);
    EXPECT_EQ(info->header.color_type, 6);
    EXPECT_EQ(info->chunks[0].offset, 8u);
    EXPECT_EQ(info->chunks[0].fourcc, TV_FOUR_CC('I', 'H', 'D', 'R'));
    EXPECT_EQ(info->chunks[info->chunk_num - 1].fourcc, TV_FOUR_CC('I', 'E', 'N', 'D'));
    EXPECT_EQ(info->apng_frame_num, 0u);
    EXPECT_EQ(info->apng_frames, nullptr);
}

TEST(PNGChunksTest, AnimatedPNGWithCoverFrame) {
    Bytes data = pngtest::apng(threeFrames(), 7);
    auto info = parse(data);
    ASSERT_TRUE(info);
    ASSERT_EQ(info->apng_frame_num, 3u);
    EXPECT_EQ(info->apng_loop_num, 7u);
    EXPECT_TRUE(info->apng_first_frame_is_cover);
    EXPECT_EQ(info->chunks[info->apng_shared_insert_index].fourcc, TV_FOUR_CC('I', 'D', 'A', 'T'));
    const TVPNGFrameInfo& f0 = info->apng_frames[0];
    EXPECT_EQ(info->chunks[f0.chunk_index].fourcc, TV_FOUR_CC('I', 'D', 'A', 'T'));
    EXPECT_GE(f0.chunk_num, 1u);
    const TVPNGFrameInfo& f1 = info->apng_frames[1];
    EXPECT_EQ(f1.width, 4u);
    EXPECT_EQ(f1.height, 3u);
    EXPECT_EQ(f1.offset_x, 2u);
    EXPECT_EQ(f1.offset_y, 1u);
    EXPECT_EQ(f1.delay_num, 1);
    EXPECT_EQ(f1.delay_den, 4);
    EXPECT_EQ(f1.dispose_op, 1);
    EXPECT_EQ(f1.blend_op, 1);
    EXPECT_EQ(f1.sequence, 1u);  // fcTL 0, then fcTL 1: IDAT carries no number
    EXPECT_EQ(info->chunks[f1.chunk_index].fourcc, TV_FOUR_CC('f', 'd', 'A', 'T'));
    uint32_t bytes = 0;
    for (uint32_t i = 0; i < f1.chunk_num; ++i) bytes += info->chunks[f1.chunk_index + i].length + 12;
    EXPECT_EQ(f1.chunk_size, bytes);
    // Shared: every chunk but the animation's and the image data.
    uint32_t shared = 0, sharedBytes = 0;
    for (auto& c : pngtest::chunksOf(data)) {
        if (c.code == "acTL" || c.code == "fcTL" || c.code == "fdAT" || c.code == "IDAT") continue;
        shared++;
        sharedBytes += uint32_t(c.data.size()) + 12;
    }
    ASSERT_EQ(info->apng_shared_chunk_num, shared);
    EXPECT_EQ(info->apng_shared_chunk_indexs[0], 0u);
    EXPECT_EQ(info->chunks[info->apng_shared_chunk_indexs[shared - 1]].fourcc, TV_FOUR_CC('I', 'E', 'N', 'D'));
    EXPECT_EQ(info->apng_shared_chunk_size, sharedBytes);
}

TEST(PNGChunksTest, DefaultImageOutsideTheAnimation) {
    auto info = parse(pngtest::apng(threeFrames(), 0, false));
    ASSERT_TRUE(info);
    ASSERT_EQ(info->apng_frame_num, 2u);
    EXPECT_FALSE(info->apng_first_frame_is_cover);
    EXPECT_EQ(info->apng_frames[0].width, 4u);
    EXPECT_EQ(info->chunks[info->apng_frames[0].chunk_index].fourcc, TV_FOUR_CC('f', 'd', 'A', 'T'));
}

// Each of these breaks the animation but not the PNG: a plain PNG comes out.
TEST(PNGChunksTest, InconsistentAnimationReadsAsPlainPNG) {
    Bytes good = pngtest::apng(threeFrames());
    auto actl = [](uint32_t frames) {
        Bytes d;
        pngtest::putU32(d, frames);
        pngtest::putU32(d, 0);
        return d;
    };
    auto frameWith = [](uint32_t seq, uint32_t w, uint32_t h, uint32_t x, uint32_t y) {
        pngtest::Frame f{pngtest::solid(int(w), int(h), 255, 0, 0, 0), x, y};
        return pngtest::fctl(seq, f);
    };
    auto fdatSequence = [&](uint32_t seq) {
        for (auto& c : pngtest::chunksOf(good))
            if (c.code == "fdAT") {
                Bytes d = c.data;
                d[3] = uint8_t(seq);
                return d;
            }
        return Bytes{};
    };
    struct Case {
        const char* what;
        Bytes data;
    } cases[] = {
        {"acTL says 3 frames, 2 fcTL",
         pngtest::rewriteChunk(pngtest::apng({threeFrames()[0], threeFrames()[1]}), "acTL", 0, actl(3))},
        {"acTL counts 2 of 3", pngtest::rewriteChunk(good, "acTL", 0, actl(2))},
        {"acTL counts 0", pngtest::rewriteChunk(good, "acTL", 0, actl(0))},
        {"sequence 0, 1, 3", pngtest::rewriteChunk(good, "fdAT", 0, fdatSequence(3))},
        {"fcTL of 25 bytes", pngtest::rewriteChunk(good, "fcTL", 1, Bytes(25, 0))},
        {"zero-width frame", pngtest::rewriteChunk(good, "fcTL", 1, frameWith(1, 0, 3, 0, 0))},
        {"frame past the right edge", pngtest::rewriteChunk(good, "fcTL", 1, frameWith(1, 4, 3, 5, 0))},
        {"frame past the bottom", pngtest::rewriteChunk(good, "fcTL", 1, frameWith(1, 4, 3, 0, 4))},
        {"offset that would wrap", pngtest::rewriteChunk(good, "fcTL", 1, frameWith(1, 4, 3, 0, 0xFFFFFFFEu))},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto info = parse(c.data);
        ASSERT_TRUE(info);
        EXPECT_EQ(info->apng_frame_num, 0u);
        EXPECT_EQ(info->header.width, 8u);
    }
}

TEST(PNGChunksTest, OrderFaultsReadAsPlainPNG) {
    Bytes good = pngtest::apng(threeFrames());
    auto chunks = pngtest::chunksOf(good);
    auto assemble = [&](auto edit) {
        auto list = chunks;
        edit(list);
        Bytes out = pngtest::signature();
        for (auto& c : list) pngtest::putChunk(out, c.code, c.data);
        return out;
    };
    auto find = [](std::vector<pngtest::Chunk>& list, const std::string& code) {
        for (size_t i = 0; i < list.size(); ++i)
            if (list[i].code == code) return i;
        return list.size();
    };
    struct Case {
        const char* what;
        Bytes data;
    } cases[] = {
        {"second acTL", assemble([&](auto& l) { l.insert(l.begin() + 1, l[find(l, "acTL")]); })},
        {"no IEND last", assemble([&](auto& l) { l.pop_back(); })},
        {"IHDR twice", assemble([&](auto& l) { l.insert(l.begin() + 1, l[0]); })},
        {"IDAT split", assemble([&](auto& l) {
             size_t idat = find(l, "IDAT");
             l.insert(l.begin() + idat + 1, pngtest::Chunk{"tEXt", Bytes{'a', 0, 'b'}});
             l.insert(l.begin() + idat + 2, l[idat]);
         })},
        {"fdAT after a text chunk", assemble([&](auto& l) {
             size_t fdat = find(l, "fdAT");
             l.insert(l.begin() + fdat, pngtest::Chunk{"tEXt", Bytes{'a', 0, 'b'}});
         })},
        {"no acTL", assemble([&](auto& l) { l.erase(l.begin() + find(l, "acTL")); })},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto info = parse(c.data);
        ASSERT_TRUE(info);
        EXPECT_EQ(info->apng_frame_num, 0u);
    }
}

TEST(PNGChunksTest, ChunkRunningPastTheEndFailsTheParse) {
    Bytes still = cg::encodePng(pngtest::solid(4, 4, 255, 9, 9, 9));
    // The IDAT's length near 2^32: offset + length + 12 must not wrap.
    for (uint32_t length : {0xFFFFFFF0u, 0xFFFFFFFFu, 1000u}) {
        Bytes bad = still;
        size_t idat = 8 + 12 + 13;
        bad[idat] = uint8_t(length >> 24);
        bad[idat + 1] = uint8_t(length >> 16);
        bad[idat + 2] = uint8_t(length >> 8);
        bad[idat + 3] = uint8_t(length);
        EXPECT_FALSE(parse(bad)) << length;
    }
    // Fewer than three chunks, or a first chunk that is no 13-byte IHDR.
    Bytes two = pngtest::signature();
    pngtest::putChunk(two, "IHDR", Bytes(13, 1));
    pngtest::putChunk(two, "IEND", {});
    two.resize(40, 0);
    EXPECT_FALSE(parse(two));
    Bytes shortHeader = pngtest::signature();
    pngtest::putChunk(shortHeader, "IHDR", Bytes(12, 1));
    pngtest::putChunk(shortHeader, "IDAT", Bytes(3, 1));
    pngtest::putChunk(shortHeader, "IEND", {});
    EXPECT_FALSE(parse(shortHeader));
}

}  // namespace
