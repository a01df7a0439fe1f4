// Animated GIFs through the loader into the image cache: each image keeps
// its decoder, and so the screen its frames are composed on (and the one
// under a frame that restores what was under it). Those screens are charged
// with the picture, so the cache holds no more than the account allows and
// the account says what is held; past it the GIFs are refused, the app is
// warned, the cache lets its images go and the loader asks once more, as
// for any picture.

#include <cstdio>
#include <string>

#include "image/codec/TVImage.h"
#include "platform/foundation/Log.h"
#include "platform/testing/GifFiles.h"
#include "platform/testing/PeakBound.h"
#include "platform/testing/ResidentMemory.h"
#include "tests/image/web/web_image_test_support.h"

namespace {

using namespace web_test;
using testing::MiB;

constexpr int Side = 1024;
constexpr uint64_t Screen = uint64_t(Side) * Side;
constexpr uint64_t AccountPixels = 16 * Screen;
constexpr int Gifs = 32;

class GifLoaderAccountTest : public WebImageAccountTest, public ::testing::WithParamInterface<bool> {};

TEST_P(GifLoaderAccountTest, AnimatedGifsInTheCacheAreChargedTheScreensTheyKeep) {
    const bool restoring = GetParam();
    // The image's own picture, the screen, and the one under a frame that
    // restores.
    const uint64_t screensEach = restoring ? 3 : 2;
    const auto bytes = testing::gifOfTwoFullFrames(Side, restoring);
    const std::string body(bytes.begin(), bytes.end());
    for (int i = 0; i < Gifs; ++i) {
        server_.serve("/banner" + std::to_string(i) + ".gif", ImageReply{.body = body, .contentType = "image/gif"});
    }
    const uint64_t before = account.pixelsHeld();
    account.setLimitForTesting(before + AccountPixels);
    ns::LogCapture log;
    const auto peak = testing::peakFromHere();
    int delivered = 0;
    for (int i = 0; i < Gifs; ++i) {
        bool done = false;
        ns::Ref<ns::Error> error;
        // The view lets the image go as soon as it has it; the cache keeps it.
        auto operation = manager_->requestImageWithURL(
            url("/banner" + std::to_string(i) + ".gif"), TVWebImageOptionSkipFailedURL, {}, {},
            [&](const ns::Ref<ui::Image>& image, const ns::Ref<ns::URL>&, TVWebImageFromType, TVWebImageStage stage,
                const ns::Ref<ns::Error>& failure) {
                if (stage != TVWebImageStageFinished) return;
                if (image) {
                    ++delivered;
                    auto animated = ns::cast<TVImage>(image);
                    EXPECT_TRUE(animated && animated->animatedImageFrameCount() == 2) << "GIF " << i;
                }
                error = failure;
                done = true;
            });
        runUntil(done);
        ASSERT_TRUE(done) << "GIF " << i;
        EXPECT_FALSE(error) << "GIF " << i << ": " << (error ? error->description() : "");
        // What the cache holds: each image's picture and its decoder's
        // screens.
        const uint64_t held = cache_->memoryCache()->totalCount() * screensEach * Screen;
        EXPECT_GE((account.pixelsHeld() - before) * 10, held * 9) << "GIF " << i;
    }
    const uint64_t growth = peak.growth();
    std::printf("%d two-frame %dx%d GIFs%s through the loader: %d delivered, resident peak grew %.0f MiB\n", Gifs,
                Side, Side, restoring ? " restoring" : "", delivered, double(growth) / double(MiB));
    EXPECT_GE(delivered, Gifs - 2);
    EXPECT_TRUE(log.contains("the app is warned that memory runs short"));
    // The account's limit and 64 MiB for the loader, the allocator and a
    // picture while it is drawn for display.
    testing::expectGrowthUnder(peak, AccountPixels * 4 + 64 * MiB,
                               std::to_string(Gifs) + " two-frame GIFs through the loader");
}

INSTANTIATE_TEST_SUITE_P(Disposals, GifLoaderAccountTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "RestoringWhatWasUnder" : "LeavingTheScreen";
                         });

}  // namespace
