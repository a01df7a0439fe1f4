// Large pictures through the loader, one after another, each let go by its
// view at once: the image cache keeps them until the account of decoded
// pixels is full, the refusal that follows warns the app, the cache lets
// its pictures go, and the loader asks once more, so nearly every picture
// is delivered while memory stays within the account. A picture still
// refused is a transient failure, not the URL's.

#include <zlib.h>

#include <cstdio>
#include <string>

#include "platform/foundation/Log.h"
#include "platform/testing/PeakBound.h"
#include "platform/testing/ResidentMemory.h"
#include "tests/image/web/web_image_test_support.h"
#include "tests/platform/foundation/reply_memory_support.h"
#include "tests/platform/graphics/hostile_images.h"

namespace {

using namespace web_test;
using urltest::MiB;

// The app's account holds two 8192 x 8192 pictures; the same turns of
// refusal, warning and retry show with smaller pictures under an account of
// two of them.
constexpr uint32_t Side = 3072;
constexpr uint64_t PicturePixels = uint64_t(Side) * Side;
constexpr uint64_t AccountPixels = 2 * PicturePixels;

// A flat, fully transparent Side x Side PNG of about 37 KB, made distinct
// by a text chunk naming `index` before its end.
std::string flatPng(const hostile::Bytes& flat, int index) {
    hostile::Bytes png = flat;
    const std::string text = std::string("Comment") + '\0' + "picture " + std::to_string(index);
    hostile::Bytes chunk;
    auto put32 = [&chunk](uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) chunk.push_back(uint8_t(v >> shift));
    };
    put32(uint32_t(text.size()));
    chunk.insert(chunk.end(), {'t', 'E', 'X', 't'});
    chunk.insert(chunk.end(), text.begin(), text.end());
    put32(uint32_t(crc32(0, chunk.data() + 4, uInt(chunk.size() - 4))));
    png.insert(png.end() - 12, chunk.begin(), chunk.end());
    return std::string(png.begin(), png.end());
}

class OperationAccountTest : public WebImageAccountTest {};

TEST_F(OperationAccountTest, TwentyFourLargePicturesLoadedOneAfterAnotherStayWithinTheAccount) {
    constexpr int pictures = 24;
    account.setLimitForTesting(AccountPixels);
    const hostile::Bytes flat = hostile::transparentPng(Side, Side);
    for (int i = 0; i < pictures; ++i) {
        const std::string body = flatPng(flat, i);
        server_.serve("/large" + std::to_string(i) + ".png", ImageReply{.body = body, .contentType = "image/png"});
    }
    ns::LogCapture log;
    testing::ResidentPeak peak = testing::peakFromHere();
    int delivered = 0;
    for (int i = 0; i < pictures; ++i) {
        auto address = url("/large" + std::to_string(i) + ".png");
        bool done = false;
        ns::Ref<ns::Error> error;
        // The view lets the picture go as soon as it has it.
        auto operation = manager_->requestImageWithURL(
            address, TVWebImageOptionSkipFailedURL, {}, {},
            [&](const ns::Ref<ui::Image>& image, const ns::Ref<ns::URL>&, TVWebImageFromType, TVWebImageStage stage,
                const ns::Ref<ns::Error>& failure) {
                if (stage != TVWebImageStageFinished) return;
                if (image) ++delivered;
                error = failure;
                done = true;
            });
        runUntil(done);
        ASSERT_TRUE(done) << "picture " << i;
        EXPECT_FALSE(error) << "picture " << i << ": " << (error ? error->description() : "");
        EXPECT_FALSE(tv_webimage::isFailedURL(address)) << "picture " << i;
        EXPECT_LE(account.pixelsHeld(), account.limit());
        if (cache_->memoryCache()->totalCount() > 0) {
            ASSERT_GT(account.pixelsHeld(), 0u) << "the cache's pictures charged, picture " << i;
        }
    }
    const uint64_t growth = peak.growth();
    std::printf("%d flat %ux%u pictures through the loader: %d delivered, resident peak grew %.0f MiB\n", pictures,
                Side, Side, delivered, double(growth) / double(MiB));
    RecordProperty("growth_MiB", std::to_string(growth / MiB));
    EXPECT_GE(delivered, pictures - 2);
    EXPECT_TRUE(log.contains("the app is warned that memory runs short"));
    ASSERT_TRUE(peak.started());
    // What the account holds, one picture more while it is drawn for
    // display (the decoded source and its surface live together), and
    // 16 MiB for the loader's own memory and what the allocator keeps: the
    // cache never holds more pictures than the account allows.
    const uint64_t bound = (AccountPixels + PicturePixels) * 4 + 16 * MiB;
    testing::expectGrowthUnder(growth, bound, std::to_string(pictures) + " flat pictures through the loader");
}

TEST_F(OperationAccountTest, APictureStillRefusedAfterTheRetryIsATransientFailureNotTheURLs) {
    // Held by a view that keeps it: nothing the warning lets go makes room.
    account.setLimitForTesting(100);
    auto kept = ui::Image::imageWithData(ns::Data::withBytes(testing::LoopbackImageServer::png(10, 10, false)));
    ASSERT_TRUE(kept);
    server_.serve("/refused.png",
                  ImageReply{.body = testing::LoopbackImageServer::png(8, 8, false), .contentType = "image/png"});
    ns::LogCapture log;
    Recorder recorder;
    auto operation = request("/refused.png", TVWebImageOptionSkipFailedURL, recorder);
    env_.runUntilIdle();
    EXPECT_TRUE(recorder.with(TVWebImageStageFinished).empty()) << "waiting to ask once more";
    env_.fastForwardBy(5);
    const auto finished = recorder.with(TVWebImageStageFinished);
    ASSERT_EQ(finished.size(), 1u);
    EXPECT_FALSE(finished[0].image);
    ASSERT_TRUE(finished[0].error);
    EXPECT_EQ(finished[0].error->domain(), TVWebImageErrorDomain);
    EXPECT_EQ(finished[0].error->code(), TVWebImageErrorNotDecodedForMemory);
    EXPECT_FALSE(tv_webimage::isFailedURL(url("/refused.png")));
    EXPECT_TRUE(log.contains("is not decoded: pictures decoded from data still hold all the memory they may"));

    // Room again: the next request delivers it.
    kept = nullptr;
    Recorder again;
    auto next = request("/refused.png", TVWebImageOptionSkipFailedURL, again);
    env_.runUntilIdle();
    const auto delivered = again.with(TVWebImageStageFinished);
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_TRUE(delivered[0].image);
}

}  // namespace
