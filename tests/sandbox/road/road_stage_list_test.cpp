// What the road's screens say they wait for as stages are played: the
// first stage whose dependency was played, in any chain or in the halls'
// chain alone; a line that comes before the stage it depends on counts as
// nothing.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sandbox/road/RoadStageList.h"

namespace {

using namespace road;

std::string waited(const Stage* stage) { return stage ? stage->waitingFor : "(nothing)"; }

TEST(RoadProgress, TheScreensWaitForTheFirstStageWhoseDependencyWasPlayed) {
    struct Case {
        const char* name;
        std::vector<const char*> played;
        const char* next;
        const char* nextInTheHalls;
    };
    const Case cases[] = {
        {"nothing played", {}, "the luck gift", "the store hall's time-store bundle"},
        {"the bundle bought before the gifts",
         {line::kBundleBought},
         "the luck gift",
         "the bundle's payment centre"},
        {"two gifts and the bundle",
         {line::kLuckGift, line::kDayGift, line::kBundleBought},
         "the active gift",
         "the bundle's payment centre"},
        {"the gifts done, the halls not begun",
         {line::kLuckGift, line::kDayGift, line::kActiveGift},
         "the store hall's time-store bundle",
         "the store hall's time-store bundle"},
        {"prizes closed before any draw count as nothing",
         {line::kLuckGift, line::kDayGift, line::kActiveGift, line::kBundleBought, line::kPaidForAPurchase,
          line::kPrizesClosed, line::kWelfareDraw},
         "the welfare turntable's prizes",
         "the welfare turntable's prizes"},
        {"a purchase paid before the bundle counts as nothing",
         {line::kPaidForAPurchase, line::kBundleBought},
         "the luck gift",
         "the bundle's payment centre"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Progress progress;
        for (const char* format : c.played) progress.play(format, std::string("x"));
        EXPECT_EQ(waited(progress.next(Track::Screens)), c.next);
        EXPECT_EQ(waited(progress.next(Track::Screens, line::kBundleBought)), c.nextInTheHalls);
    }
}

TEST(RoadProgress, EveryStagePlayedInTheListsOrderLeavesNothingToWaitFor) {
    Progress progress;
    for (const Stage& stage : stages()) progress.play(stage.line, std::string("x"), std::string("y"));
    EXPECT_FALSE(progress.next(Track::Player));
    EXPECT_FALSE(progress.next(Track::Screens));
}

}  // namespace
