#include <vector>

#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/Time.h"
#include "platform/uikit/DisplayLink.h"
#include "ui_test_support.h"

namespace {

using DisplayLinkTest = UIKitTest;

TEST_F(DisplayLinkTest, TicksSixtyTimesASecondOnTheClock) {
    dispatch::TimeTicks origin = env.nowTicks();
    std::vector<dispatch::TimeDelta> stamps;
    auto link = ui::DisplayLink::make([&](ui::DisplayLink& l) { stamps.push_back(l.frameTime() - origin); });
    env.fastForwardBy(0.1);
    EXPECT_TRUE(stamps.empty());  // not on a run loop yet

    origin = env.nowTicks();
    link->addToRunLoop(dispatch::RunLoop::main(), dispatch::RunLoopMode::Common);
    env.fastForwardBy(0.055);
    ASSERT_EQ(stamps.size(), 3u);
    EXPECT_EQ(stamps[0], dispatch::TimeDelta::fromNanoseconds(16666667));
    EXPECT_EQ(stamps[2], dispatch::TimeDelta::fromMilliseconds(50));
    EXPECT_EQ(link->targetFrameTime() - origin, dispatch::TimeDelta::fromNanoseconds(66666667));
    EXPECT_EQ(link->timestamp(), link->frameTime().inSeconds());
    EXPECT_NEAR(link->duration(), 1.0 / 60, 1e-12);
    env.fastForwardBy(1.0 - 0.05);
    EXPECT_EQ(link->frameCount(), 60u);  // at 1.005 s

    link->invalidate();
    env.fastForwardBy(1.0);
    EXPECT_EQ(stamps.size(), 60u);
    EXPECT_FALSE(link->isValid());
}

TEST_F(DisplayLinkTest, FramesFallExactlyOnTheGridAtAnyUptime) {
    std::vector<dispatch::TimeTicks> frames;
    auto link = ui::DisplayLink::make([&](ui::DisplayLink& l) { frames.push_back(l.frameTime()); });
    dispatch::TimeTicks added = env.nowTicks();
    link->addToRunLoop(dispatch::RunLoop::main(), dispatch::RunLoopMode::Common);
    env.fastForwardBy(2.0);
    ASSERT_EQ(frames.size(), 120u);
    const auto second = dispatch::TimeDelta::fromWholeSeconds(1);
    EXPECT_EQ(frames[59] - added, second);  // the 60th tick
    EXPECT_EQ(frames[60] - frames[0], second);
    EXPECT_EQ(frames[119] - added, second * 2);
    EXPECT_EQ(frames[0] - added, dispatch::TimeDelta::fromNanoseconds(16666667));
    EXPECT_EQ(link->targetFrameTime() - added, dispatch::TimeDelta::fromNanoseconds(2016666667));
    link->invalidate();
}

TEST_F(DisplayLinkTest, PreferredRateAndPause) {
    int ticks = 0;
    auto link = ui::DisplayLink::make([&](ui::DisplayLink&) { ++ticks; });
    link->setPreferredFramesPerSecond(30);
    link->addToRunLoop(dispatch::RunLoop::main(), dispatch::RunLoopMode::Default);
    env.fastForwardBy(1.01);
    EXPECT_EQ(ticks, 30);

    link->setPaused(true);
    env.fastForwardBy(1.0);
    EXPECT_EQ(ticks, 30);
    link->setPaused(false);
    link->setPreferredFramesPerSecond(0);
    env.fastForwardBy(0.505);
    EXPECT_EQ(ticks, 60);
    link->invalidate();
}

TEST_F(DisplayLinkTest, FrameIntervalSkipsFramesAndTheTestDurationStands) {
    int ticks = 0;
    auto link = ui::DisplayLink::make([&](ui::DisplayLink&) { ++ticks; });
    link->setFrameInterval(3);
    link->addToRunLoop(dispatch::RunLoop::main(), dispatch::RunLoopMode::Default);
    env.fastForwardBy(1.01);
    EXPECT_EQ(ticks, 20);
    // On ticks: exact at any uptime.
    EXPECT_EQ(link->targetFrameTime() - link->frameTime(), dispatch::TimeDelta::fromSeconds(3.0 / 60));
    link->setFrameInterval(0);  // at least every frame
    EXPECT_EQ(link->frameInterval(), 1);
    env.fastForwardBy(0.5);
    EXPECT_EQ(ticks, 50);
    link->setDurationForTesting(0.5);
    EXPECT_DOUBLE_EQ(link->duration(), 0.5);
    link->setDurationForTesting(0);
    EXPECT_NEAR(link->duration(), 1.0 / 60, 1e-12);
    link->invalidate();
}

TEST_F(DisplayLinkTest, RemovedFromItsLastModeItStops) {
    int ticks = 0;
    auto link = ui::DisplayLink::make([&](ui::DisplayLink&) { ++ticks; });
    link->addToRunLoop(dispatch::RunLoop::main(), dispatch::RunLoopMode::Default);
    env.fastForwardBy(0.105);
    EXPECT_EQ(ticks, 6);
    link->removeFromRunLoop(dispatch::RunLoop::main(), dispatch::RunLoopMode::Default);
    env.fastForwardBy(0.1);
    EXPECT_EQ(ticks, 6);
}

}  // namespace
