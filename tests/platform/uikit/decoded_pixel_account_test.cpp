// The account of pixels held by pictures decoded from data: charged where
// a source makes each picture, before it is decoded, refused past its
// limit with a log line (and no picture after), held by every reference to
// the pixels or to the copy a context takes of them, and given back by the
// last; the app's own files are not charged. The first refusal warns the
// app that memory runs short, on the main queue; the next only after
// pictures have been let go.

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/ImageSource.h"
#include "platform/graphics/Png.h"
#include "platform/testing/GifFiles.h"
#include "platform/runtime/Allocator.h"
#include "platform/testing/ResidentMemory.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/DecodedPixelAccount.h"
#include "platform/uikit/Image.h"
#include "ui_test_support.h"

namespace {

class DecodedPixelAccountTest : public UIKitTest {
protected:
    ~DecodedPixelAccountTest() override { account.setLimitForTesting(ui::MaximumDecodedPixels); }

    ui::DecodedPixelAccount& account = ui::DecodedPixelAccount::shared();
};

ns::Ref<ns::Data> pngOf(int side) {
    return ns::Data::make(cg::encodePng(cg::Bitmap(side, side, cg::PixelFormat::ARGB32Premultiplied)));
}

TEST_F(DecodedPixelAccountTest, APictureIsHeldUntilItsLastReferenceGoesAndOnePastTheLimitIsRefused) {
    account.setLimitForTesting(100);
    ns::LogCapture log;
    auto first = ui::Image::imageWithData(pngOf(8));
    ASSERT_TRUE(first);
    EXPECT_EQ(account.pixelsHeld(), 64u);
    EXPECT_FALSE(ui::Image::imageWithData(pngOf(8))) << "64 more would pass 100";
    EXPECT_TRUE(log.contains("picture 0 of a public.png file (8 x 8) is not decoded"));
    EXPECT_TRUE(ui::Image::imageWithData(pngOf(6)));  // 36 fit, and go at once
    EXPECT_EQ(account.pixelsHeld(), 64u);

    // A layer keeping the pixels keeps them charged.
    ns::Ref<cg::Image> pixels = first->cgImage();
    first = nullptr;
    EXPECT_EQ(account.pixelsHeld(), 64u);
    pixels = nullptr;
    EXPECT_EQ(account.pixelsHeld(), 0u);
}

TEST_F(DecodedPixelAccountTest, AFileOfSeveralPicturesKeepsThoseThatFitAndTheAppsOwnFilesAreNotCharged) {
    // Frames of a 4 x 4 screen, 16 pixels each: two fit in 56 beside the
    // screen they are composed on while they are read, which goes with the
    // source.
    account.setLimitForTesting(56);
    ns::LogCapture log;
    auto animated = ui::Image::imageWithData(ns::Data::make(testing::gifOfDots(4, 3)));
    ASSERT_TRUE(animated);
    EXPECT_EQ(animated->images().size(), 2u);
    EXPECT_EQ(account.pixelsHeld(), 32u);
    EXPECT_TRUE(log.contains("kept 2 of the 3 pictures of a com.compuserve.gif file"));

    const auto file = std::filesystem::temp_directory_path() / ("decoded-pixel-account-" + std::to_string(::getpid()) + ".png");
    const auto bytes = cg::encodePng(cg::Bitmap(16, 16, cg::PixelFormat::ARGB32Premultiplied));
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    auto own = ui::Image::imageWithContentsOfFile(file.string());
    std::filesystem::remove(file);
    ASSERT_TRUE(own) << "the app's own picture is read past the account";
    EXPECT_EQ(account.pixelsHeld(), 32u);
    animated = nullptr;
    EXPECT_EQ(account.pixelsHeld(), 0u);
}

std::shared_ptr<cg::ImageSource> sourceOf(const ns::Ref<ns::Data>& data) {
    return cg::ImageSource::createWithData(std::span<const uint8_t>(data->bytes(), data->length()));
}

TEST_F(DecodedPixelAccountTest, TheSourceChargesEachPictureItMakesAndTheCopyForDisplayTakesTheChargeOver) {
    account.setLimitForTesting(100);
    ns::LogCapture log;
    auto source = sourceOf(pngOf(8));
    ns::Ref<cg::Image> picture = source->createImageAtIndex(0);
    ASSERT_TRUE(picture);
    EXPECT_EQ(account.pixelsHeld(), 64u) << "charged by the source itself, whoever asks";
    source = nullptr;

    // Drawn once for display: the copy holds the charge when the source
    // picture goes; a snapshot does not.
    auto context = cg::BitmapContext::createWithPixels(8, 8, cg::BitmapInfo::PremultipliedFirst32Little);
    context->drawImageBottomUp(*picture, {0, 0, 8, 8});
    ns::Ref<cg::Image> snapshot = context->makeImage();
    EXPECT_FALSE(snapshot->charge());
    ns::Ref<cg::Image> copy = context->takeImage();
    picture = nullptr;
    context = nullptr;
    EXPECT_EQ(account.pixelsHeld(), 64u);
    copy = nullptr;
    EXPECT_EQ(account.pixelsHeld(), 0u);

    // A source of the app's own files is not charged.
    auto own = sourceOf(pngOf(9));
    own->setCharged(false);
    picture = own->createImageAtIndex(0);
    ASSERT_TRUE(picture);
    EXPECT_EQ(account.pixelsHeld(), 0u);

    // Refused: nil, a log line, and counted on this thread, so a caller
    // tells memory from broken data.
    auto held = ui::Image::imageWithData(pngOf(8));
    cg::PictureRefusals refusals;
    EXPECT_FALSE(sourceOf(pngOf(7))->createImageAtIndex(0));
    EXPECT_EQ(refusals.count(), 1u);
    EXPECT_TRUE(log.contains("picture 0 of a public.png file (7 x 7) is not decoded"));
    // Its header whole (33 bytes), its pixels cut short.
    auto cut = pngOf(3);
    EXPECT_FALSE(sourceOf(ns::Data::make(std::vector<uint8_t>(cut->bytes(), cut->bytes() + 40)))->createImageAtIndex(0));
    EXPECT_EQ(refusals.count(), 1u) << "broken data is no refusal";
}

TEST_F(DecodedPixelAccountTest, TheFirstRefusalWarnsTheAppOnTheMainQueueAndAgainOnlyAfterPicturesAreLetGo) {
    account.setLimitForTesting(100);
    int warnings = 0;
    auto center = ns::NotificationCenter::defaultCenter();
    center->addObserver(&warnings, ui::ApplicationDidReceiveMemoryWarningNotification, nullptr,
                        [&warnings](const auto&) { ++warnings; });
    ns::LogCapture log;
    auto held = ui::Image::imageWithData(pngOf(8));
    ASSERT_TRUE(held);
    EXPECT_FALSE(ui::Image::imageWithData(pngOf(8)));
    EXPECT_EQ(warnings, 0) << "posted later, on the main queue, not inside the charge";
    EXPECT_TRUE(log.contains("the app is warned that memory runs short"));
    env.runUntilIdle();
    EXPECT_EQ(warnings, 1);

    // Nothing let go since: no second warning.
    EXPECT_FALSE(ui::Image::imageWithData(pngOf(7)));
    env.runUntilIdle();
    EXPECT_EQ(warnings, 1);

    // A picture let go: the next refusal warns again.
    EXPECT_TRUE(ui::Image::imageWithData(pngOf(2)));
    EXPECT_FALSE(ui::Image::imageWithData(pngOf(7)));
    env.runUntilIdle();
    EXPECT_EQ(warnings, 2);

    // A picture past the whole account: nothing let go would make room.
    held = nullptr;
    EXPECT_FALSE(ui::Image::imageWithData(pngOf(11)));
    env.runUntilIdle();
    EXPECT_EQ(warnings, 2);
    center->removeObserver(&warnings);
}

TEST_F(DecodedPixelAccountTest, AReaderWaitingForRoomIsToldOnceHalfTheAccountIsFree) {
    account.setLimitForTesting(account.pixelsHeld() + 1000);
    std::vector<cg::PictureCharge> charges;
    for (int i = 0; i < 10; ++i) charges.push_back(account.charge(100));
    ASSERT_TRUE(charges.back());
    int told = 0;
    account.notifyWhenPicturesAreLetGo(dispatch::mainQueue(), [&told] { ++told; });
    // One picture of several let go leaves no room for a large one yet.
    for (int i = 0; i < 4; ++i) {
        charges.pop_back();
        env.runUntilIdle();
        EXPECT_EQ(told, 0) << i;
    }
    charges.pop_back();
    env.runUntilIdle();
    EXPECT_EQ(told, 1);
    charges.clear();
    env.runUntilIdle();
    EXPECT_EQ(told, 1) << "once";
}

// Large pictures (8 MiB or more: 1448 x 1448 and up) are let go on one
// decode queue and made on another: the pixels one lets go are not kept
// beside the next, whichever thread makes it, so that a stream of large
// pictures holds no more than the pictures alive. An allocator that kept
// the block in the arena of the thread that freed it would make the next
// beside it. Smaller pictures' blocks go back within the allocator's
// second.
TEST_F(DecodedPixelAccountTest, ALargePictureLetGoOnOneThreadIsNotKeptBesideTheNextMadeOnAnother) {
    if (!testing::PeaksMeasureTheProduct) GTEST_SKIP() << "a sanitizer's allocator keeps freed blocks";
    // A large block freed first: from here the C library's heap would serve
    // blocks of a picture's size from its arenas.
    auto* large = static_cast<volatile char*>(std::malloc(size_t(16) << 20));
    ASSERT_NE(large, nullptr);
    large[0] = 1;
    std::free(const_cast<char*>(large));
    constexpr int side = 2048;
    const double picture = double(side) * side * 4;
    const uint64_t before = testing::residentBytes();
    std::mutex mutex;
    std::condition_variable changed;
    bool madeAndLetGo = false, done = false;
    // Alive until the end, as a decode queue's thread is: its arena stays its.
    std::thread other([&] {
        { cg::Bitmap(side, side, cg::PixelFormat::ARGB32Premultiplied); }
        std::unique_lock lock(mutex);
        madeAndLetGo = true;
        changed.notify_all();
        changed.wait(lock, [&] { return done; });
    });
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return madeAndLetGo; });
    }
    cg::Bitmap next(side, side, cg::PixelFormat::ARGB32Premultiplied);
    const double grown = double(testing::residentBytes()) - double(before);
    {
        std::lock_guard lock(mutex);
        done = true;
        changed.notify_all();
    }
    other.join();
    EXPECT_LT(grown, picture * 1.5) << "two pictures, one after the other, on two threads";
}

// A picture's pixels let go are the system's again once the allocator
// gives back what was freed, whichever thread made them: no block of ours
// keeps them aside.
TEST_F(DecodedPixelAccountTest, PixelsLetGoGoBackToTheSystemWithWhatTheAllocatorFrees) {
    if (!testing::PeaksMeasureTheProduct) GTEST_SKIP() << "a sanitizer build keeps freed blocks aside";
    constexpr int side = 1024;
    const size_t bytes = size_t(side) * side * 4;
    const size_t pages = bytes / size_t(::sysconf(_SC_PAGESIZE));
    std::vector<cg::Bitmap> pictures;
    std::thread([&] {
        for (int i = 0; i < 3; ++i) pictures.emplace_back(side, side, cg::PixelFormat::ARGB32Premultiplied);
    }).join();
    std::vector<const uint8_t*> pixels;
    for (cg::Bitmap& picture : pictures) {
        std::fill_n(picture.data(), bytes, uint8_t(0x5A));
        pixels.push_back(picture.data());
        // Every whole page inside the pixels.
        EXPECT_GE(testing::residentPagesInside(picture.data(), bytes), pages - 1);
    }
    pictures.clear();
    rt::allocator::giveBackFreed();
    for (const uint8_t* at : pixels) EXPECT_EQ(testing::residentPagesInside(at, bytes), 0u) << "given back";
}

}  // namespace
