// The animated image view on mock time: the buffer's size from memory,
// playing and loop counting, no skipped frames, memory warnings and the
// background, autoplay, the index from another thread, sprite sheets,
// coding and the weak link.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "animated_test_support.h"
#include "image/codec/TVAnimatedImageView.h"
#include "image/codec/TVImage.h"
#include "image/codec/TVSpriteSheetImage.h"
#include "platform/dispatch/MainThread.h"
#include "platform/dispatch/Sleep.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/ProcessInfo.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/KeyValueObserving.h"
#include "platform/uikit/Layer.h"
#include "platform/uikit/StateReset.h"
#include "platform/uikit/Window.h"

namespace {

// An animated image of solid frames with set durations, counting the
// frames it is asked to make.
class StripImage : public ui::Image, public TVAnimatedImage {
public:
    StripImage(size_t frames, double duration, uint64_t loops, uint64_t bytesPerFrame = 16)
        : ui::Image(frameAt(0), 1), frames_(frames), duration_(duration), loops_(loops), bytes_(bytesPerFrame) {}
    static ns::Ref<cg::Image> frameAt(size_t i) {
        cg::Bitmap bitmap(2, 2, cg::PixelFormat::ARGB32Premultiplied);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x) bitmap.setPixel(x, y, {255, uint8_t(i), 0, 0});
        return cg::Image::make(bitmap);
    }
    uint64_t animatedImageFrameCount() const override { return frames_; }
    uint64_t animatedImageLoopCount() const override { return loops_; }
    uint64_t animatedImageBytesPerFrame() const override { return bytes_; }
    ns::Ref<ui::Image> animatedImageFrameAtIndex(uint64_t index) override {
        ++made;
        // Decoding that takes (mock) time, on the request queue's thread.
        if (decodeSeconds > 0 && !dispatch::isMainThread()) dispatch::sleepFor(decodeSeconds);
        return index < frames_ ? ui::Image::imageWithCGImage(frameAt(index), 1) : nullptr;
    }
    double animatedImageDurationAtIndex(uint64_t) const override { return duration_; }

    std::atomic<int> made{0};
    double decodeSeconds = 0;

private:
    size_t frames_;
    double duration_;
    uint64_t loops_;
    uint64_t bytes_;
};

class Delegate : public ui::ApplicationDelegate {
public:
    ns::Ref<ui::Window> window() const override { return window_; }
    ns::Ref<ui::Window> window_;
};

class AnimatedViewTest : public ::testing::Test {
protected:
    AnimatedViewTest() {
        ui::resetSharedStateForTesting();
        ns::ProcessInfo::setPhysicalMemoryForTesting(2'000'000'000);
        ns::ProcessInfo::setFreeMemoryForTesting(500'000'000);
        delegate = std::make_shared<Delegate>();
        delegate->window_ = ui::Window::makeFullScreen();
        ui::Application::sharedApplication()->setDelegate(delegate);
        delegate->window_->makeKeyAndVisible();
        window = delegate->window_;
        env.runUntilIdle();
    }
    ~AnimatedViewTest() override {
        for (const auto& view : window->subviews()) view->removeFromSuperview();
        ui::resetSharedStateForTesting();
        ns::ProcessInfo::setPhysicalMemoryForTesting(ns::ProcessInfo::UnsetForTesting);
        ns::ProcessInfo::setFreeMemoryForTesting(ns::ProcessInfo::UnsetForTesting);
        env.fastForwardUntilNoTasksRemain();
    }

    // Every index the view shows, in order.
    std::vector<uint64_t> watch(TVAnimatedImageView& view) {
        tokens.push_back(ns::addObserver(view, "currentAnimatedImageIndex", ns::KeyValueObservingOptionNew,
                                         [this](ns::Object&, const std::string&, const ns::KeyValueChange& change) {
                                             shown.push_back(ns::cast<ns::Number>(change.newValue)->unsignedLongLongValue());
                                         }));
        return shown;
    }

    testing::TaskEnvironment env;
    std::shared_ptr<Delegate> delegate;
    ns::Ref<ui::Window> window;
    std::vector<ns::Id> tokens;
    std::vector<uint64_t> shown;
};

TEST_F(AnimatedViewTest, BufferSizeFollowsMemoryAndTheCap) {
    auto view = TVAnimatedImageView::make();
    // 20% of 2,000,000,000 against 60% of 500,000,000: 300,000,000 bytes.
    EXPECT_EQ(view->bufferCountForFrameBytes(4'000'000), 75u);
    view->setMaxBufferSize(8'000'000);
    EXPECT_EQ(view->bufferCountForFrameBytes(4'000'000), 2u);
    view->setMaxBufferSize(1'000);
    EXPECT_EQ(view->bufferCountForFrameBytes(4'000'000), 1u);
    view->setMaxBufferSize(0);
    EXPECT_EQ(view->bufferCountForFrameBytes(16), 512u);
    // Without a figure from the system the floor is 10 MiB.
    ns::ProcessInfo::setFreeMemoryForTesting(-1);
    EXPECT_EQ(view->bufferCountForFrameBytes(1024 * 1024), 10u);
    EXPECT_EQ(view->bufferCountForFrameBytes(0), 512u);  // unknown frames count as 1024 bytes

    ns::ProcessInfo::setFreeMemoryForTesting(500'000'000);
    auto image = std::make_shared<StripImage>(4, 0.1, 0, 4'000'000);
    view->setImage(image);
    EXPECT_EQ(view->maxBufferCount(), 75u);
}

TEST_F(AnimatedViewTest, OneFrameIsAStillImage) {
    auto view = TVAnimatedImageView::make({0, 0, 10, 10});
    window->addSubview(view);
    view->setImage(TVImage::imageWithData(solidGif({10})));
    EXPECT_FALSE(view->displayLink());
    EXPECT_FALSE(view->isAnimating());
    env.fastForwardBy(1);
    EXPECT_EQ(view->currentAnimatedImageIndex(), 0u);
}

TEST_F(AnimatedViewTest, LoopCountTwoPlaysTwiceAndStopsOnTheLastFrame) {
    auto image = std::make_shared<StripImage>(3, 0.1, 2);
    auto view = TVAnimatedImageView::withImage(image);
    EXPECT_EQ(view->frame().size, (cg::Size{2, 2}));
    watch(*view);
    window->addSubview(view);
    EXPECT_TRUE(view->isAnimating());
    env.fastForwardBy(2);
    EXPECT_FALSE(view->isAnimating());
    EXPECT_EQ(shown, (std::vector<uint64_t>{1, 2, 0, 1, 2}));
    EXPECT_EQ(view->currentAnimatedImageIndex(), 2u);
    ASSERT_TRUE(view->currentFrame());
    EXPECT_EQ(view->layer()->contents()->bitmap().pixel(0, 0).red, 2);
    // A new start plays the loops again.
    // From the last frame, the step to frame 0 already ends a pass.
    view->startAnimating();
    env.fastForwardBy(2);
    EXPECT_EQ(shown, (std::vector<uint64_t>{1, 2, 0, 1, 2, 0, 1, 2}));
    EXPECT_FALSE(view->isAnimating());
}

TEST_F(AnimatedViewTest, LoopCountZeroPlaysOn) {
    auto view = TVAnimatedImageView::withImage(std::make_shared<StripImage>(2, 0.05, 0));
    watch(*view);
    window->addSubview(view);
    env.fastForwardBy(3);
    EXPECT_TRUE(view->isAnimating());
    EXPECT_GT(shown.size(), 40u);
    view->removeFromSuperview();
}

TEST_F(AnimatedViewTest, SlowTicksSkipNoFrame) {
    // Frames of 0.02 s, ticks of 0.1 s: each tick shows the next frame.
    auto image = std::make_shared<StripImage>(6, 0.02, 0);
    auto view = TVAnimatedImageView::withImage(image);
    watch(*view);
    window->addSubview(view);
    ASSERT_TRUE(view->displayLink());
    view->displayLink()->setDurationForTesting(0.1);
    env.fastForwardBy(1);
    ASSERT_GE(shown.size(), 10u);
    for (size_t i = 0; i < shown.size(); ++i) EXPECT_EQ(shown[i], (i + 1) % 6) << "step " << i;
    view->removeFromSuperview();
}

TEST_F(AnimatedViewTest, LaggingDecodesSkipNoFrame) {
    // Frames of 0.02 s that take 0.05 s each to decode: the view waits for
    // each rather than jumping ahead.
    auto image = std::make_shared<StripImage>(5, 0.02, 0);
    image->decodeSeconds = 0.05;
    auto view = TVAnimatedImageView::make();
    view->setMaxBufferSize(16);  // one frame ahead at most
    view->setImage(image);
    EXPECT_EQ(view->maxBufferCount(), 1u);
    watch(*view);
    window->addSubview(view);
    env.fastForwardBy(2);
    view->removeFromSuperview();
    ASSERT_GE(shown.size(), 10u);
    EXPECT_LT(shown.size(), 60u);  // well behind the 100 frames of 2 s
    for (size_t i = 0; i < shown.size(); ++i) EXPECT_EQ(shown[i], (i + 1) % 5) << "step " << i;
}

TEST_F(AnimatedViewTest, AMissHoldsTheFrameUntilItIsDecoded) {
    auto image = std::make_shared<StripImage>(3, 0.05, 0);
    auto view = TVAnimatedImageView::withImage(image);
    watch(*view);
    window->addSubview(view);
    // 0.05 s in, frame 1 is due but nothing has been decoded yet: the tick
    // misses, asks for it and frame 0 stays.
    env.fastForwardBy(0.051);
    EXPECT_TRUE(shown.empty());
    EXPECT_GT(image->made.load(), 0);
    env.fastForwardBy(1.0 / 60);
    EXPECT_EQ(shown, (std::vector<uint64_t>{1}));
    view->removeFromSuperview();
}

TEST_F(AnimatedViewTest, AMemoryWarningKeepsTheNextFrameOnly) {
    auto image = std::make_shared<StripImage>(30, 0.05, 0);
    auto view = TVAnimatedImageView::withImage(image);
    window->addSubview(view);
    env.fastForwardBy(1);
    EXPECT_GT(view->bufferedFrameIndexes().size(), 2u);
    EXPECT_GT(view->incrementalBufferCount(), 5);

    ns::NotificationCenter::defaultCenter()->postNotificationName(ui::ApplicationDidReceiveMemoryWarningNotification);
    env.runUntilIdle();
    uint64_t next = (view->currentAnimatedImageIndex() + 1) % 30;
    EXPECT_EQ(view->bufferedFrameIndexes(), std::vector<uint64_t>{next});
    int64_t count = view->incrementalBufferCount();
    EXPECT_GE(count, -179);
    EXPECT_LE(count, -60);
    // Each later fetch decodes one frame and climbs back by one.
    int before = image->made.load();
    env.fastForwardBy(0.1);
    EXPECT_GT(view->incrementalBufferCount(), count);
    EXPECT_LE(image->made.load() - before, int(view->incrementalBufferCount() - count));

    // In the background, the same trim.
    env.fastForwardBy(0.5);
    ns::NotificationCenter::defaultCenter()->postNotificationName(ui::ApplicationDidEnterBackgroundNotification);
    uint64_t after = (view->currentAnimatedImageIndex() + 1) % 30;
    auto kept = view->bufferedFrameIndexes();
    EXPECT_TRUE(kept.empty() || kept == std::vector<uint64_t>{after});
    view->removeFromSuperview();
}

TEST_F(AnimatedViewTest, AutoplayFollowsTheWindow) {
    auto view = TVAnimatedImageView::withImage(std::make_shared<StripImage>(3, 0.1, 0));
    EXPECT_FALSE(view->isAnimating());
    window->addSubview(view);
    EXPECT_TRUE(view->isAnimating());
    view->removeFromSuperview();
    EXPECT_FALSE(view->isAnimating());
    EXPECT_TRUE(view->displayLink()->isPaused());
    window->addSubview(view);
    EXPECT_TRUE(view->isAnimating());
    view->setAutoPlayAnimatedImage(false);
    view->removeFromSuperview();
    EXPECT_TRUE(view->isAnimating());  // left to the caller
    view->stopAnimating();
}

TEST_F(AnimatedViewTest, IndexSetFromAnotherThreadAppliesOnMain) {
    auto image = std::make_shared<StripImage>(5, 0.1, 0);
    auto view = TVAnimatedImageView::withImage(image);
    watch(*view);
    std::thread([&] { view->setCurrentAnimatedImageIndex(3); }).join();
    EXPECT_EQ(view->currentAnimatedImageIndex(), 0u);
    env.runUntilIdle();
    EXPECT_EQ(view->currentAnimatedImageIndex(), 3u);
    EXPECT_EQ(shown, (std::vector<uint64_t>{3}));
    EXPECT_EQ(view->currentFrame()->cgImage()->bitmap().pixel(0, 0).red, 3);
    view->setCurrentAnimatedImageIndex(9);  // past the end: ignored
    EXPECT_EQ(view->currentAnimatedImageIndex(), 3u);
}

TEST_F(AnimatedViewTest, SpriteSheetFramesMoveTheContentsRect) {
    auto sheet = ui::Image::imageWithCGImage(StripImage::frameAt(0), 0.02);  // 100 x 100 points
    auto sprite = TVSpriteSheetImage::withSpriteSheetImage(sheet, {{0, 0, 50, 50}, {50, 50, 50, 50}}, {0.1, 0.1}, 0);
    auto view = TVAnimatedImageView::withImage(sprite);
    EXPECT_EQ(view->layer()->contentsRect(), (cg::Rect{0, 0, 0.5, 0.5}));
    window->addSubview(view);
    EXPECT_TRUE(view->isAnimating());
    // Frame 1 is due at 0.1 s and shown a tick later, once decoded.
    env.fastForwardBy(0.15);
    EXPECT_EQ(view->currentAnimatedImageIndex(), 1u);
    EXPECT_EQ(view->layer()->contentsRect(), (cg::Rect{0.5, 0.5, 0.5, 0.5}));
    // A plain image puts the whole contents back.
    view->setImage(ui::Image::imageWithCGImage(StripImage::frameAt(0), 1));
    EXPECT_EQ(view->layer()->contentsRect(), (cg::Rect{0, 0, 1, 1}));
    EXPECT_FALSE(view->isAnimating());
}

TEST_F(AnimatedViewTest, CodingKeepsModeAutoplayAndAnimatedImages) {
    auto view = TVAnimatedImageView::make();
    view->setRunloopMode(dispatch::RunLoopMode::Default);
    view->setAutoPlayAnimatedImage(false);
    view->setImage(TVImage::imageWithData(solidGif({10, 10, 10})));
    view->setHighlightedImage(TVImage::imageWithData(solidGif({10})));  // still: not written
    auto data = ns::KeyedArchiver::archivedDataWithRootObject(view);
    ASSERT_TRUE(data);
    auto back = ns::cast<TVAnimatedImageView>(ns::KeyedUnarchiver::unarchiveObjectWithData(data));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->runloopMode(), dispatch::RunLoopMode::Default);
    EXPECT_FALSE(back->autoPlayAnimatedImage());
    auto image = ns::cast<TVImage>(back->image());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->animatedImageFrameCount(), 3u);
    EXPECT_FALSE(back->highlightedImage());
}

TEST_F(AnimatedViewTest, TheLinkDoesNotKeepTheViewAlive) {
    ns::Weak<TVAnimatedImageView> weak;
    ns::Ref<ui::DisplayLink> link;
    {
        auto view = TVAnimatedImageView::withImage(std::make_shared<StripImage>(3, 0.05, 0));
        window->addSubview(view);
        env.fastForwardBy(0.5);
        link = view->displayLink();
        weak = view;
        view->removeFromSuperview();
    }
    env.runUntilIdle();
    EXPECT_FALSE(weak.lock());
    EXPECT_FALSE(link->isValid());  // invalidated as the view went
}

}  // namespace
