#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/PerformRequest.h"
#include "platform/dispatch/Queue.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/RunLoopTimer.h"
#include "platform/dispatch/Semaphore.h"
#include "platform/dispatch/Time.h"
#include "platform/dispatch/TimerSource.h"
#include "platform/runtime/Exception.h"
#include "platform/testing/TaskEnvironment.h"

namespace dispatch {
// Readable failures.
void PrintTo(TimeTicks t, std::ostream* out) { *out << t.inNanoseconds() << " ns"; }
void PrintTo(TimeDelta d, std::ostream* out) { *out << d.inNanoseconds() << " ns"; }
}  // namespace dispatch

namespace {

using dispatch::TimeDelta;
using dispatch::TimeTicks;

constexpr int64_t Second = 1'000'000'000;

// Starts where double seconds used to lose a step: uptimes of 128-255 s,
// 18-36 h, 97-194 days and beyond a year, besides the default and one second.
std::vector<TimeTicks> starts() {
    std::vector<TimeTicks> out = {dispatch::DefaultMockStart, TimeTicks::fromNanoseconds(Second)};
    for (int64_t seconds : {200LL, 30LL * 3600, 150LL * 86400, 400LL * 86400, 10LL * 365 * 86400}) {
        out.push_back(TimeTicks::fromNanoseconds(seconds * Second + 123'456'789));
    }
    return out;
}

TEST(TimeDelta, DoubleSecondsBecomeTicksOnceRoundedToTheNearest) {
    EXPECT_EQ(TimeDelta::fromSeconds(0.3).inNanoseconds(), 300'000'000);
    EXPECT_EQ(TimeDelta::fromSeconds(0.29) + TimeDelta::fromSeconds(0.01), TimeDelta::fromSeconds(0.3));
    EXPECT_EQ(TimeDelta::fromSeconds(1.0 / 30).inNanoseconds(), 33'333'333);
    EXPECT_EQ(TimeDelta::fromSeconds(-0.25).inNanoseconds(), -250'000'000);
    EXPECT_EQ(TimeDelta::fromSeconds(0.4e-9).inNanoseconds(), 0);
    EXPECT_EQ(TimeDelta::fromSeconds(0.6e-9).inNanoseconds(), 1);
    // round(n x interval), not n rounded steps.
    EXPECT_EQ(TimeDelta::fromSecondsTimes(1.0 / 60, 60), TimeDelta::fromWholeSeconds(1));
    EXPECT_EQ(TimeDelta::fromSecondsTimes(1.0 / 3, 3).inNanoseconds(), Second);
    EXPECT_EQ(TimeDelta::fromSeconds(1.0 / 3) * 3, TimeDelta::fromNanoseconds(999'999'999));
}

TEST(TimeDelta, ForeverAndTheOutOfRangeSaturateToNever) {
    EXPECT_TRUE(TimeDelta::fromSeconds(dispatch::Forever).isMax());
    EXPECT_TRUE(TimeDelta::fromSeconds(1e300).isMax());
    EXPECT_EQ(TimeDelta::fromSeconds(std::numeric_limits<double>::quiet_NaN()), TimeDelta());
    EXPECT_TRUE((TimeDelta::max() + TimeDelta::fromWholeSeconds(1)).isMax());
    EXPECT_TRUE((TimeDelta::fromWholeSeconds(9'000'000'000) + TimeDelta::fromWholeSeconds(9'000'000'000)).isMax());
    EXPECT_TRUE((TimeDelta::fromWholeSeconds(5'000'000'000) * 2).isMax());
    EXPECT_TRUE((TimeTicks::fromNanoseconds(Second) + TimeDelta::max()).isMax());
    EXPECT_TRUE(TimeTicks::fromSeconds(dispatch::Forever).isMax());
    EXPECT_EQ(TimeTicks::max().inSeconds(), dispatch::Forever);
    EXPECT_EQ(TimeDelta::max().inSeconds(), dispatch::Forever);
}

TEST(TimeTicks, StepsAddUpExactlyFarFromZero) {
    for (TimeTicks start : starts()) {
        TimeTicks t = start;
        for (int i = 0; i < 1'000'000; ++i) t += TimeDelta::fromMilliseconds(1);
        EXPECT_EQ(t - start, TimeDelta::fromWholeSeconds(1000));
        TimeTicks later = start + TimeDelta::fromSeconds(2 * 365 * 86400.0);
        EXPECT_EQ((later - start).inNanoseconds(), 2 * 365 * 86400 * Second);
    }
    // A reading in double seconds keeps whole and fractional parts apart.
    EXPECT_EQ(TimeTicks::fromNanoseconds(1'000'000 * Second + 500'000'000).inSeconds(), 1'000'000.5);
}

// The ways product code waits for an interval, each arming a one-shot wait
// of `seconds` and counting its firing.
using Arm = std::function<void(double seconds, int& fired)>;

std::vector<std::pair<std::string, Arm>> arms() {
    return {
        {"after",
         [](double s, int& fired) { dispatch::after(s, dispatch::mainQueue(), [&fired] { ++fired; }); }},
        {"run-loop timer",
         [](double s, int& fired) {
             auto timer = dispatch::RunLoopTimer::create(s, false, [&fired](dispatch::RunLoopTimer&) { ++fired; });
             dispatch::RunLoop::main().addTimer(timer, dispatch::RunLoopMode::Default);
         }},
        {"perform after delay",
         [](double s, int& fired) { dispatch::performAfterDelay(&fired, "fire", s, [&fired] { ++fired; }); }},
        {"timer source",
         [](double s, int& fired) {
             auto source = dispatch::TimerSource::create(dispatch::mainQueue());
             source->setTimer(s, dispatch::Forever);
             source->setEventHandler([&fired, source] {
                 ++fired;
                 source->cancel();
             });
             source->resume();
         }},
    };
}

TEST(MockTimeArithmetic, ATimerFiresAfterStepsThatAddUpToItsIntervalAndNotBefore) {
    for (TimeTicks start : starts()) {
        for (double interval : {0.3, 1.5, 2.3, 1.0 / 30}) {
            for (const auto& [kind, arm] : arms()) {
                SCOPED_TRACE(kind + " of " + std::to_string(interval) + " s from " +
                             std::to_string(start.inNanoseconds()) + " ns");
                testing::TaskEnvironment env(start);
                int fired = 0;

                arm(interval, fired);
                env.fastForwardBy(interval - 0.01);
                EXPECT_EQ(fired, 0);
                env.fastForwardBy(0.01);
                EXPECT_EQ(fired, 1) << "after interval - 0.01 + 0.01";

                arm(interval, fired);
                for (int i = 0; i < 3; ++i) env.fastForwardBy(interval / 3);
                EXPECT_EQ(fired, 2) << "after three thirds";

                arm(interval, fired);
                env.fastForwardBy(interval - 0.0001);
                EXPECT_EQ(fired, 2) << "0.1 ms early";
                env.fastForwardBy(0.0001);
                EXPECT_EQ(fired, 3);

                arm(interval, fired);
                env.fastForwardBy(interval);
                EXPECT_EQ(fired, 4) << "after one step";
            }
        }
    }
}

TEST(MockTimeArithmetic, RepeatingSchedulesAreExactPointsNotSumsOfSteps) {
    for (TimeTicks start : starts()) {
        testing::TaskEnvironment env(start);
        std::vector<TimeTicks> timerFires;
        std::vector<TimeTicks> sourceTicks;
        auto timer = dispatch::RunLoopTimer::create(1.0 / 30, true,
                                                    [&](dispatch::RunLoopTimer& t) { timerFires.push_back(t.fireTime()); });
        dispatch::RunLoop::main().addTimer(timer, dispatch::RunLoopMode::Default);
        auto source = dispatch::TimerSource::create(dispatch::mainQueue());
        source->setTimer(0.1, 0.1);
        source->setEventHandler([&] { sourceTicks.push_back(dispatch::nowTicks()); });
        source->resume();

        env.fastForwardBy(TimeDelta::fromWholeSeconds(10));
        ASSERT_EQ(timerFires.size(), 300u);
        EXPECT_EQ(timerFires[29] - start, TimeDelta::fromWholeSeconds(1));
        EXPECT_EQ(timerFires[299] - start, TimeDelta::fromWholeSeconds(10));
        EXPECT_EQ(timerFires[0] - start, TimeDelta::fromNanoseconds(33'333'333));
        EXPECT_EQ(timerFires[1] - start, TimeDelta::fromNanoseconds(66'666'667));
        ASSERT_EQ(sourceTicks.size(), 100u);
        EXPECT_EQ(sourceTicks[99] - start, TimeDelta::fromWholeSeconds(10));
        timer->invalidate();
        source->cancel();
    }
}

TEST(MockTimeArithmetic, ADeadlineTwoYearsAwayIsExact) {
    for (TimeTicks start : starts()) {
        testing::TaskEnvironment env(start);
        const double twoYears = 2 * 365 * 86400.0;
        TimeTicks fired;
        dispatch::after(twoYears, dispatch::mainQueue(), [&] { fired = dispatch::nowTicks(); });
        env.fastForwardBy(TimeDelta::fromWholeSeconds(2 * 365 * 86400) - TimeDelta::fromNanoseconds(1));
        EXPECT_EQ(fired, TimeTicks());
        env.fastForwardBy(TimeDelta::fromNanoseconds(1));
        EXPECT_EQ(fired - start, TimeDelta::fromWholeSeconds(2 * 365 * 86400));

        // A wait on the main thread that times out ends exactly at its deadline.
        TimeTicks before = env.nowTicks();
        EXPECT_FALSE(dispatch::Semaphore::create(0)->wait(twoYears));
        EXPECT_EQ(env.nowTicks() - before, TimeDelta::fromWholeSeconds(2 * 365 * 86400));
    }
}

TEST(MockTimeArithmetic, TimersDueAtTheSameTickFireInTheOrderScheduled) {
    testing::TaskEnvironment env;
    std::vector<int> order;
    dispatch::after(0.3, dispatch::mainQueue(), [&] { order.push_back(1); });
    dispatch::after(TimeDelta::fromMilliseconds(300), dispatch::mainQueue(), [&] { order.push_back(2); });
    env.fastForwardBy(0.1);
    dispatch::after(0.2, dispatch::mainQueue(), [&] { order.push_back(3); });
    auto timer = dispatch::RunLoopTimer::create(0.2, false, [&](dispatch::RunLoopTimer&) { order.push_back(4); });
    dispatch::RunLoop::main().addTimer(timer, dispatch::RunLoopMode::Default);
    env.fastForwardBy(0.2);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
}

TEST(MockTimeArithmetic, TheMockClockStartsAtAFixedPointAndDate) {
    {
        testing::TaskEnvironment env(dispatch::DefaultMockStart);
        EXPECT_EQ(env.now(), 1'000'000.0);
        EXPECT_EQ(dispatch::wallTime(), 1704067200.0);  // 2024-01-01T00:00:00Z
    }
    {
        TimeTicks far = TimeTicks::fromNanoseconds(3'000'000'000 * Second);
        testing::TaskEnvironment env(far);
        EXPECT_EQ(env.nowTicks(), far);
        EXPECT_EQ(dispatch::wallTime(), 1704067200.0);
        env.fastForwardBy(86400.25);
        EXPECT_EQ(dispatch::wallTime(), 1704067200.0 + 86400.25);
    }
}

TEST(MockTimeArithmetic, TheDefaultStartCanComeFromTheEnvironment) {
    const char* name = "GAMEHOST_MOCK_EPOCH_SECONDS";
    const char* was = std::getenv(name);
    std::string saved = was ? was : "";
    ::setenv(name, "200", 1);
    EXPECT_EQ(testing::TaskEnvironment::defaultStart(), TimeTicks::fromNanoseconds(200 * Second));
    {
        testing::TaskEnvironment env;
        EXPECT_EQ(env.nowTicks(), TimeTicks::fromNanoseconds(200 * Second));
    }
    for (const char* bad : {"0", "-5", "12x", "1e9", "99999999999"}) {
        ::setenv(name, bad, 1);
        EXPECT_THROW(testing::TaskEnvironment::defaultStart(), ns::Exception) << bad;
    }
    ::unsetenv(name);
    EXPECT_EQ(testing::TaskEnvironment::defaultStart(), dispatch::DefaultMockStart);
    if (was) ::setenv(name, saved.c_str(), 1);
}

}  // namespace
