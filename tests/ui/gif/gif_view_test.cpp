#include "gif_test_support.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/Log.h"
#include "platform/testing/GifFiles.h"
#include "platform/testing/UIDriver.h"
#include "platform/uikit/UpdateCycle.h"
#include "ui/gif/KVTRGFAnimatedImageView.h"

namespace {

class GifViewTest : public GifTest {
protected:
    ns::Ref<KVTRGFAnimatedImageView> showView(const ns::Ref<KVTRGFAnimatedImage>& image) {
        auto view = KVTRGFAnimatedImageView::make({0, 0, 300, 75});
        window->addSubview(view);
        view->setAnimatedImage(image);
        return view;
    }

    static ns::Ref<KVTRGFAnimatedImage> image(const GifSpec& spec) {
        auto made = KVTRGFAnimatedImage::animatedImageWithGIFData(gifData(spec));
        EXPECT_TRUE(made);
        return made;
    }
};

GifSpec delays(std::vector<std::optional<int>> centiseconds) {
    GifSpec spec;
    for (auto delay : centiseconds) spec.frames.push_back({delay});
    return spec;
}

TEST_F(GifViewTest, TheFrameIntervalComesFromTheDelaysCommonStep) {
    auto view = showView(image(delays({10, 5, 10})));
    EXPECT_NEAR(view->frameDelayGreatestCommonDivisor(), 0.05, 1e-9);
    ASSERT_TRUE(view->displayLink());
    EXPECT_EQ(view->displayLink()->frameInterval(), 3);
    EXPECT_TRUE(view->isAnimating());

    view->setAnimatedImage(image(delays({3, 3})));
    EXPECT_NEAR(view->frameDelayGreatestCommonDivisor(), 0.03, 1e-9);
    EXPECT_EQ(view->displayLink()->frameInterval(), 1);  // 1.8 display frames
}

TEST_F(GifViewTest, ALoopCountOfThreePlaysThreePassesAndStopsOnTheLastFrame) {
    auto spec = delays({5, 5, 5});
    spec.loopCount = 3;
    auto view = showView(image(spec));
    std::vector<uint64_t> remaining;
    view->setLoopCompletionBlock([&](uint64_t left) { remaining.push_back(left); });
    EXPECT_EQ(view->loopCountdown(), 3u);
    env.fastForwardBy(5);
    EXPECT_EQ(remaining, (std::vector<uint64_t>{2, 1, 0}));
    EXPECT_FALSE(view->isAnimating());
    EXPECT_EQ(view->currentFrameIndex(), 3u);  // past the end, not wrapped
    EXPECT_EQ(view->currentFrame()->cgImage(), view->animatedImage()->imageLazilyCachedAtIndex(2)->cgImage());

    // Without a loop count it goes on.
    auto forever = showView(image(delays({5, 5})));
    EXPECT_EQ(forever->loopCountdown(), std::numeric_limits<uint64_t>::max());
    env.fastForwardBy(2);
    EXPECT_TRUE(forever->isAnimating());
}

TEST_F(GifViewTest, AFinishedGifStaysFinishedUntilANewImageIsSet) {
    auto spec = delays({5, 5, 5});
    spec.loopCount = 2;
    auto gif = image(spec);
    auto view = showView(gif);
    std::vector<uint64_t> remaining;
    view->setLoopCompletionBlock([&](uint64_t left) { remaining.push_back(left); });
    env.fastForwardBy(2);
    ASSERT_EQ(remaining, (std::vector<uint64_t>{1, 0}));
    auto last = view->currentFrame();

    // Hidden and shown again, faded and back, out of the window and in:
    // still the last frame, the link paused, no further pass.
    view->setHidden(true);
    view->setHidden(false);
    view->setAlpha(0);
    view->setAlpha(1);
    view->removeFromSuperview();
    window->addSubview(view);
    view->startAnimating();
    EXPECT_FALSE(view->isAnimating());
    env.fastForwardBy(2);
    EXPECT_EQ(remaining, (std::vector<uint64_t>{1, 0}));
    EXPECT_EQ(view->loopCountdown(), 0u);
    EXPECT_TRUE(view->displayLink()->isPaused());
    EXPECT_EQ(view->currentFrame(), last);

    // A stray tick changes nothing either.
    auto link = ui::DisplayLink::make(nullptr);
    link->setDurationForTesting(1);
    view->displayDidRefresh(*link);
    EXPECT_EQ(remaining.size(), 2u);
    EXPECT_EQ(view->currentFrame(), last);

    // Setting the same image again is no new start; another image is.
    view->setAnimatedImage(gif);
    EXPECT_FALSE(view->isAnimating());
    view->setAnimatedImage(image(spec));
    EXPECT_TRUE(view->isAnimating());
    env.fastForwardBy(2);
    EXPECT_EQ(remaining, (std::vector<uint64_t>{1, 0, 1, 0}));
}

TEST_F(GifViewTest, RemovingTheGifClearsThePictureAndAPlainImageTakesItsPlace) {
    auto gif = image(delays({5, 5}));
    auto view = showView(gif);
    env.runUntilIdle();
    ASSERT_EQ(view->layer()->contents(), gif->posterImage()->cgImage());

    view->setAnimatedImage(nullptr);
    env.runUntilIdle();
    EXPECT_EQ(view->layer()->contents(), nullptr);

    // With a plain image the image view's own rule shows it, highlighted
    // when asked.
    auto plain = gif->posterImage();
    auto lit = image(delays({5}))->posterImage();
    view->setAnimatedImage(gif);
    view->setImage(plain);
    view->setHighlightedImage(lit);
    view->setHighlighted(true);
    view->layer()->setNeedsDisplay();
    env.runUntilIdle();
    EXPECT_EQ(view->layer()->contents(), lit->cgImage());
}

TEST_F(GifViewTest, AFrameNotYetDecodedHoldsThePlayhead) {
    auto view = showView(image(delays({5, 5, 5, 5})));
    view->displayLink()->setPaused(true);  // ticks by hand
    auto link = ui::DisplayLink::make(nullptr);
    link->setDurationForTesting(0.06);  // one frame a tick

    view->displayDidRefresh(*link);  // the poster is there
    EXPECT_EQ(view->currentFrameIndex(), 1u);
    view->displayDidRefresh(*link);  // frame 1 is still on the decoding queue
    EXPECT_EQ(view->currentFrameIndex(), 1u);
    EXPECT_NEAR(view->accumulator(), 0.01, 1e-6);  // the accumulator waits too
    EXPECT_TRUE(log.contains("Waiting for frame 1"));
    env.runUntilIdle();
    view->displayDidRefresh(*link);
    EXPECT_EQ(view->currentFrameIndex(), 2u);
}

TEST_F(GifViewTest, ALongTickStepsSeveralFramesWithTheDelayDueAtItsStart) {
    auto view = showView(image(delays({5, 10, 10, 10, 10, 10, 10})));
    view->displayLink()->setPaused(true);
    auto link = ui::DisplayLink::make(nullptr);
    link->setDurationForTesting(0.21);
    view->displayDidRefresh(*link);
    // 0.21 s over frame 0's 0.05 s: four frames on, not two.
    EXPECT_EQ(view->currentFrameIndex(), 4u);
    EXPECT_NEAR(view->accumulator(), 0.01, 1e-6);
}

TEST_F(GifViewTest, ALongAnimationPastTheFilesBudgetPlaysEveryFrameLoopAfterLoop) {
    // 300 frames of a 500 x 500 screen: 75 million pixels, past the 67
    // million of the budget. Frames past it are not decoded up front, but
    // every one plays: a frame that never came would hold the playhead.
    // Cut inside its last frame, the file plays the 299 before it.
    for (size_t cut : {0, 4}) {
        SCOPED_TRACE(cut);
        std::vector<uint8_t> bytes = testing::gifOfDots(500, 300, 5);
        // Five loops, after the global table of two colours.
        bytes.insert(bytes.begin() + 19,
                     {0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 5, 0, 0});
        bytes.resize(bytes.size() - cut);
        ns::LogCapture budget;
        auto gif = KVTRGFAnimatedImage::animatedImageWithGIFData(ns::Data::make(bytes));
        ASSERT_TRUE(gif);
        ASSERT_EQ(gif->frameCount(), 300u);
        EXPECT_EQ(gif->delayTimesForIndexes().size(), cut ? 299u : 300u);
        EXPECT_TRUE(budget.contains("picture 268 of a com.compuserve.gif file is past the file's budget"));
        // Only the 268 frames the budget holds are decoded up front: the
        // others wait for their turn to play.
        EXPECT_EQ(gif->sourceCounters().picturesAttempted, 268u);
        auto view = showView(gif);
        std::vector<uint64_t> remaining;
        view->setLoopCompletionBlock([&](uint64_t left) { remaining.push_back(left); });
        // A frame decoded on its queue while the playhead waits for it
        // takes a tick or two more than its delay.
        for (int step = 0; step < 60 && remaining.size() < 5; ++step) env.fastForwardBy(10);
        EXPECT_EQ(remaining, (std::vector<uint64_t>{4, 3, 2, 1, 0}));
        EXPECT_FALSE(view->isAnimating());
        EXPECT_EQ(view->currentFrame()->cgImage()->bitmap().pixel(cut ? 298 : 299, 0).alpha, 255);
    }
}

TEST_F(GifViewTest, AMissingLastFrameStillWraps) {
    auto spec = delays({5, 5, 5});
    spec.loopCount = 2;
    spec.truncate = 4;  // inside the last frame's pixels
    auto gif = image(spec);
    ASSERT_EQ(gif->frameCount(), 3u);
    EXPECT_EQ(gif->delayTimesForIndexes().count(2), 0u);
    auto view = showView(gif);
    std::vector<uint64_t> remaining;
    view->setLoopCompletionBlock([&](uint64_t left) { remaining.push_back(left); });
    env.fastForwardBy(3);
    EXPECT_EQ(remaining, (std::vector<uint64_t>{1, 0}));
    EXPECT_FALSE(view->isAnimating());
}

TEST_F(GifViewTest, HidingFadingOrLeavingTheWindowPauses) {
    auto view = showView(image(delays({5, 5, 5, 5, 5, 5, 5, 5})));
    EXPECT_TRUE(testing::UIDriver::isOnScreen(*view));
    env.fastForwardBy(0.12);
    auto index = view->currentFrameIndex();
    auto accumulator = view->accumulator();

    view->setHidden(true);
    EXPECT_FALSE(view->isAnimating());
    env.fastForwardBy(1);
    EXPECT_EQ(view->currentFrameIndex(), index);
    view->setHidden(false);
    EXPECT_TRUE(view->isAnimating());
    EXPECT_EQ(view->currentFrameIndex(), index);
    EXPECT_DOUBLE_EQ(view->accumulator(), accumulator);

    view->setAlpha(0);
    EXPECT_FALSE(view->shouldAnimate());
    EXPECT_FALSE(view->isAnimating());
    view->setAlpha(0.5);
    EXPECT_TRUE(view->isAnimating());

    view->removeFromSuperview();
    EXPECT_FALSE(view->isAnimating());
    env.fastForwardBy(1);
    EXPECT_EQ(view->currentFrameIndex(), index);
    window->addSubview(view);
    EXPECT_TRUE(view->isAnimating());

    // A tick that comes while the view should not play does nothing.
    view->setHidden(true);
    auto link = ui::DisplayLink::make(nullptr);
    view->displayDidRefresh(*link);
    EXPECT_EQ(view->currentFrameIndex(), index);
    EXPECT_TRUE(log.contains("Trying to animate image when we shouldn't"));
}

TEST_F(GifViewTest, PlainImagesHighlightingAndTheShownContents) {
    auto gif = image(delays({5, 5}));
    auto view = showView(gif);
    env.runUntilIdle();
    // The poster is drawn through the layer's display.
    EXPECT_EQ(view->layer()->contents(), gif->posterImage()->cgImage());
    EXPECT_EQ(view->intrinsicContentSize(), (cg::Size{4, 4}));

    view->setHighlighted(true);
    EXPECT_FALSE(view->isHighlighted());
    view->setAnimatedImage(gif);  // the same image: nothing starts over
    EXPECT_TRUE(view->isAnimating());
    view->setImage(nullptr);
    EXPECT_EQ(view->animatedImage(), gif);

    auto plain = gif->posterImage();
    view->setImage(plain);
    EXPECT_EQ(view->animatedImage(), nullptr);
    EXPECT_EQ(view->image(), plain);
    EXPECT_FALSE(view->isAnimating());
    view->setHighlighted(true);
    EXPECT_TRUE(view->isHighlighted());
}

TEST_F(GifViewTest, RunLoopModeFollowsTheProcessorCount) {
    ns::ProcessInfo::setActiveProcessorCountForTesting(1);
    EXPECT_EQ(KVTRGFAnimatedImageView::defaultRunLoopMode(), dispatch::RunLoopMode::Default);
    auto single = KVTRGFAnimatedImageView::make();
    EXPECT_EQ(single->runLoopMode(), dispatch::RunLoopMode::Default);
    ns::ProcessInfo::setActiveProcessorCountForTesting(4);
    auto view = KVTRGFAnimatedImageView::make();
    EXPECT_EQ(view->runLoopMode(), dispatch::RunLoopMode::Common);
    EXPECT_TRUE(view->accessibilityIgnoresInvertColors());
    view->setRunLoopMode(dispatch::RunLoopMode::Default);
    EXPECT_EQ(view->runLoopMode(), dispatch::RunLoopMode::Default);
    view->setRunLoopMode(dispatch::RunLoopMode::Tracking);
    EXPECT_EQ(view->runLoopMode(), dispatch::RunLoopMode::Common);
}

TEST_F(GifViewTest, AnImageWithoutDelaysShowsNothingAndTicksEveryFrame) {
    GifSpec spec;
    spec.frames = {{5, true}, {5, true}};
    auto gif = image(spec);
    auto view = showView(gif);
    EXPECT_DOUBLE_EQ(view->frameDelayGreatestCommonDivisor(), 0);
    EXPECT_EQ(view->displayLink()->frameInterval(), 1);
    env.fastForwardBy(0.5);
    EXPECT_EQ(view->currentFrame(), nullptr);
    EXPECT_TRUE(view->isAnimating());  // loops without end over nothing
}

TEST_F(GifViewTest, TheDisplayLinkDoesNotKeepTheViewAlive) {
    auto view = showView(image(delays({5, 5})));
    auto link = view->displayLink();
    ns::Weak<KVTRGFAnimatedImageView> weak = view;
    view->removeFromSuperview();
    view.reset();
    EXPECT_TRUE(weak.expired());
    EXPECT_FALSE(link->isValid());
}

}  // namespace
