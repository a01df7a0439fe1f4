// Countdowns on mock time: what each reports, when it finishes, and how the
// keyed registry replaces and cancels them. Every test lets its countdowns
// end, so none outlives the test's clock.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "aggregation/core/KVTRCountdown.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/MainThread.h"
#include "platform/testing/TaskEnvironment.h"

namespace {

// One countdown's calls as "<value>@<second>" and "finish@<second>",
// counted from the test's start on the mock clock.
struct Trace {
    explicit Trace(double start) : start(start) {}
    KVTRCountdown::Progress progress() {
        return [this](double left) {
            calls.push_back(format(left) + "@" + format(dispatch::now() - start));
            allOnMain = allOnMain && dispatch::isMainThread();
        };
    }
    KVTRCountdown::Finish finish() {
        return [this] {
            calls.push_back("finish@" + format(dispatch::now() - start));
            allOnMain = allOnMain && dispatch::isMainThread();
        };
    }
    static std::string format(double v) {
        std::string s = std::to_string(v);
        s.erase(s.find_last_not_of('0') + 1);
        if (s.back() == '.') s.pop_back();
        return s;
    }
    double start;
    std::vector<std::string> calls;
    bool allOnMain = true;
};

using Calls = std::vector<std::string>;

class CountdownTest : public ::testing::Test {
protected:
    testing::TaskEnvironment env;
    ns::Ref<KVTRCountdown> countdown = std::make_shared<KVTRCountdown>();
    double start = dispatch::now();
};

TEST_F(CountdownTest, FiveReportsEachSecondOnMainThenFinishes) {
    Trace trace(start);
    countdown->countdown(5, trace.progress(), trace.finish());
    env.runUntilIdle();
    EXPECT_EQ(trace.calls, Calls{"5@0"});
    env.fastForwardBy(4);
    EXPECT_EQ(trace.calls, (Calls{"5@0", "4@1", "3@2", "2@3", "1@4"}));
    env.fastForwardBy(1);
    EXPECT_EQ(trace.calls, (Calls{"5@0", "4@1", "3@2", "2@3", "1@4", "finish@5"}));
    env.fastForwardBy(3);
    EXPECT_EQ(trace.calls.size(), 6u) << "a finished countdown stays quiet";
    EXPECT_TRUE(trace.allOnMain);
}

TEST_F(CountdownTest, FractionsAndNothingLeft) {
    Trace fraction(start), zero(start), negative(start);
    countdown->time(2.5, fraction.progress(), fraction.finish());
    countdown->time(0, zero.progress(), zero.finish(), "zero");
    countdown->countdown(-3, negative.progress(), negative.finish(), "");
    env.fastForwardUntilNoTasksRemain();
    EXPECT_FALSE(countdown->isHasRunTimer("")) << "an empty key registers nothing";
    EXPECT_EQ(fraction.calls, (Calls{"2.5@0", "1.5@1", "0.5@2", "finish@3"}));
    EXPECT_EQ(zero.calls, Calls{"finish@0"});
    EXPECT_EQ(negative.calls, Calls{"finish@0"});
}

TEST_F(CountdownTest, ASameKeyCountdownTakesTheEntryButTheOldOneRunsOut) {
    Trace old(start), replacement(start);
    countdown->countdown(5, old.progress(), old.finish(), "upDown");
    env.runUntilIdle();
    env.fastForwardBy(2);  // 3 s left
    countdown->countdown(10, replacement.progress(), replacement.finish(), "upDown");
    env.fastForwardBy(3);
    EXPECT_EQ(old.calls, (Calls{"5@0", "4@1", "3@2", "2@3", "1@4", "finish@5"}));
    EXPECT_TRUE(countdown->isHasRunTimer("upDown"));

    // The registry names the new one: cancelling stops it, not a ghost.
    countdown->cancelTimer("upDown");
    const auto stopped = replacement.calls;
    EXPECT_EQ(stopped, (Calls{"10@2", "9@3", "8@4", "7@5"}));
    env.fastForwardBy(20);
    EXPECT_EQ(replacement.calls, stopped);
    EXPECT_FALSE(countdown->isHasRunTimer("upDown"));
}

TEST_F(CountdownTest, CancelTouchesOnlyARegisteredKey) {
    Trace kept(start);
    countdown->countdown(3, kept.progress(), kept.finish(), "twoTimer");
    env.runUntilIdle();
    countdown->cancelTimer("");
    countdown->cancelTimer(std::nullopt);
    countdown->cancelTimer("other");
    EXPECT_TRUE(countdown->isHasRunTimer("twoTimer"));
    env.fastForwardUntilNoTasksRemain();
    EXPECT_EQ(kept.calls.back(), "finish@3");
    // Finished, yet still registered until replaced or cancelled.
    EXPECT_TRUE(countdown->isHasRunTimer("twoTimer"));
    countdown->cancelTimer("twoTimer");
    EXPECT_FALSE(countdown->isHasRunTimer("twoTimer"));
}

TEST_F(CountdownTest, NoKeyLooksUpTheDefaultKey) {
    EXPECT_FALSE(countdown->isHasRunTimer(std::nullopt));
    EXPECT_FALSE(countdown->isHasRunTimer("defaultTimeKey"));
    Trace trace(start);
    countdown->countdown(1, trace.progress(), trace.finish(), "defaultTimeKey");
    EXPECT_TRUE(countdown->isHasRunTimer(std::nullopt));
    countdown->setDefaultTimeKey("banner");
    EXPECT_FALSE(countdown->isHasRunTimer(std::nullopt));
    env.fastForwardUntilNoTasksRemain();
    EXPECT_EQ(trace.calls, (Calls{"1@0", "finish@1"}));
}

TEST(CountdownTexts, HoursMinutesSeconds) {
    auto c = std::make_shared<KVTRCountdown>();
    EXPECT_EQ(c->createTimeStingWithTime(3661)->utf8(), "01:01:01");
    EXPECT_EQ(c->createTimeStingWithTime(36000)->utf8(), "10:00:00");
    EXPECT_EQ(c->createTimeStingWithTime(59.9)->utf8(), "00:00:59");
    EXPECT_EQ(c->createTimeStingWithTime(360000)->utf8(), "100:00:00");
    EXPECT_EQ(c->createTimeStingWithTime(-1)->utf8(), "00:00:00");
    EXPECT_EQ(c->createMMSS(59)->utf8(), "00:59");
    EXPECT_EQ(c->createMMSS(600)->utf8(), "10:00");
    EXPECT_EQ(c->createMMSS(3700)->utf8(), "61:40");
    EXPECT_EQ(c->createMMSS(-0.5)->utf8(), "00:00");
}

}  // namespace
