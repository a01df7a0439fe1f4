#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>

#include "platform/foundation/Date.h"
#include "platform/foundation/TimeZone.h"
#include "platform/foundation/TimeZoneRules.h"

namespace {

using namespace ns;

Ref<Date> since1970(double seconds) { return Date::withTimeIntervalSince1970(seconds); }

// 2100-07-01 and 2100-01-01 at noon UTC: beyond every table, where the
// zone's rule string decides.
constexpr double July2100 = 4118126400;
constexpr double January2100 = 4102488000;

TEST(TimeZones, NamedZonesFollowTheDatabase) {
    auto shanghai = TimeZone::timeZoneWithName("Asia/Shanghai");
    ASSERT_TRUE(shanghai) << "the tz database is not installed";
    EXPECT_EQ(shanghai->name(), "Asia/Shanghai");
    EXPECT_EQ(shanghai->secondsFromGMTForDate(*since1970(1709262000)), 8 * 3600);
    // China kept summer time from 1986 to 1991.
    EXPECT_EQ(shanghai->secondsFromGMTForDate(*since1970(646804800)), 9 * 3600);  // 1990-07-01
    EXPECT_TRUE(shanghai->isDaylightSavingTimeForDate(*since1970(646804800)));
    EXPECT_EQ(shanghai->className(), "NSTimeZone");

    auto newYork = TimeZone::timeZoneWithName("America/New_York");
    ASSERT_TRUE(newYork);
    EXPECT_EQ(newYork->secondsFromGMTForDate(*since1970(1710054000 - 1)), -5 * 3600);  // 2024-03-10 06:59:59Z
    EXPECT_EQ(newYork->secondsFromGMTForDate(*since1970(1710054000)), -4 * 3600);
    EXPECT_EQ(newYork->abbreviationForDate(*since1970(1710054000)), "EDT");
    EXPECT_EQ(newYork->secondsFromGMTForDate(*since1970(July2100)), -4 * 3600);
    EXPECT_EQ(newYork->secondsFromGMTForDate(*since1970(January2100)), -5 * 3600);

    EXPECT_TRUE(TimeZone::timeZoneWithName("UTC"));
    EXPECT_EQ(TimeZone::timeZoneWithName("GMT")->secondsFromGMT(), 0);
    EXPECT_TRUE(TimeZone::timeZoneWithName("Asia/Shanghai")->isEqual(shanghai));
    EXPECT_FALSE(shanghai->isEqual(newYork));
}

TEST(TimeZones, UnknownOrUnsafeNamesGiveNil) {
    EXPECT_FALSE(TimeZone::timeZoneWithName("Mars/Olympus_Mons"));
    EXPECT_FALSE(TimeZone::timeZoneWithName(""));
    EXPECT_FALSE(TimeZone::timeZoneWithName("../../../etc/passwd"));
    EXPECT_FALSE(TimeZone::timeZoneWithName("/etc/localtime"));
    EXPECT_FALSE(TimeZone::timeZoneWithName("Asia/../../etc/hostname"));
    // Files in the database that are not zones.
    EXPECT_FALSE(TimeZone::timeZoneWithName("leapseconds"));
    EXPECT_FALSE(TimeZone::timeZoneWithName("zone.tab"));
    EXPECT_FALSE(TimeZone::timeZoneWithName("Asia"));
}

TEST(TimeZones, FixedOffsets) {
    auto india = TimeZone::timeZoneForSecondsFromGMT(19800);
    ASSERT_TRUE(india);
    EXPECT_EQ(india->name(), "GMT+0530");
    EXPECT_EQ(india->secondsFromGMTForDate(*since1970(0)), 19800);
    EXPECT_EQ(india->abbreviationForDate(*since1970(0)), "GMT+5:30");
    EXPECT_EQ(TimeZone::timeZoneForSecondsFromGMT(-8 * 3600)->name(), "GMT-0800");
    EXPECT_EQ(TimeZone::timeZoneForSecondsFromGMT(0)->name(), "GMT");
    EXPECT_FALSE(TimeZone::timeZoneForSecondsFromGMT(19 * 3600));

    EXPECT_EQ(TimeZone::timeZoneWithName("GMT+8")->secondsFromGMT(), 8 * 3600);
    EXPECT_EQ(TimeZone::timeZoneWithName("GMT+8")->name(), "GMT+0800");
    EXPECT_EQ(TimeZone::timeZoneWithName("UTC-05:30")->secondsFromGMT(), -19800);
    EXPECT_FALSE(TimeZone::timeZoneWithName("GMT+8:7"));
    EXPECT_FALSE(TimeZone::timeZoneWithName("GMT+25"));
}

// Sets TZ for one test and puts the old value back.
class SystemZone : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* tz = std::getenv("TZ")) saved_ = tz;
    }
    void TearDown() override {
        if (saved_) setenv("TZ", saved_->c_str(), 1);
        else unsetenv("TZ");
        TimeZone::resetSystemTimeZone();
        TimeZone::setDefaultTimeZone(nullptr);
    }
    static Ref<TimeZone> systemZoneFor(const char* tz) {
        setenv("TZ", tz, 1);
        TimeZone::resetSystemTimeZone();
        return TimeZone::systemTimeZone();
    }
    std::optional<std::string> saved_;
};

TEST_F(SystemZone, ReadFromTheEnvironment) {
    EXPECT_EQ(systemZoneFor("Asia/Tokyo")->name(), "Asia/Tokyo");
    EXPECT_EQ(systemZoneFor(":Europe/Paris")->name(), "Europe/Paris");
    EXPECT_EQ(systemZoneFor("")->secondsFromGMT(), 0);

    auto posix = systemZoneFor("<+0330>-3:30");
    EXPECT_EQ(posix->secondsFromGMT(), 12600);
    EXPECT_EQ(posix->abbreviationForDate(*since1970(0)), "GMT+3:30");

    // Kept until reset, as the platform keeps it.
    setenv("TZ", "Asia/Tokyo", 1);
    EXPECT_EQ(TimeZone::systemTimeZone()->name(), "<+0330>-3:30");
}

TEST_F(SystemZone, DefaultZoneFallsBackToTheSystemZone) {
    systemZoneFor("Asia/Tokyo");
    EXPECT_EQ(TimeZone::defaultTimeZone()->name(), "Asia/Tokyo");
    TimeZone::setDefaultTimeZone(TimeZone::timeZoneWithName("Asia/Shanghai"));
    EXPECT_EQ(TimeZone::localTimeZone()->name(), "Asia/Shanghai");
    EXPECT_EQ(TimeZone::systemTimeZone()->name(), "Asia/Tokyo");
    TimeZone::setDefaultTimeZone(nullptr);
    EXPECT_EQ(TimeZone::defaultTimeZone()->name(), "Asia/Tokyo");
}

TEST(TimeZoneRules, PosixRulesInBothHemispheres) {
    auto us = tz::PosixRule::parse("EST5EDT,M3.2.0,M11.1.0");
    ASSERT_TRUE(us);
    EXPECT_EQ(us->typeAt(1710053999).offset, -5 * 3600);  // 2024-03-10 01:59:59 EST
    EXPECT_EQ(us->typeAt(1710054000).offset, -4 * 3600);
    EXPECT_EQ(us->typeAt(1730613599).offset, -4 * 3600);  // 2024-11-03 01:59:59 EDT
    EXPECT_EQ(us->typeAt(1730613600).offset, -5 * 3600);
    EXPECT_EQ(us->typeAt(1730613600).abbreviation, "EST");

    auto sydney = tz::PosixRule::parse("AEST-10AEDT,M10.1.0,M4.1.0/3");
    ASSERT_TRUE(sydney);
    EXPECT_EQ(sydney->typeAt(1704110400).offset, 11 * 3600);  // January
    EXPECT_EQ(sydney->typeAt(1719835200).offset, 10 * 3600);  // July

    auto julian = tz::PosixRule::parse("XST-1XDT,J60/0,J300/0");
    ASSERT_TRUE(julian);
    // Day 60 is 1 March whether or not the year is a leap year.
    EXPECT_FALSE(julian->typeAt(1709251199 - 3600).isDaylightSaving);  // 2024-02-29 23:59:59 local
    EXPECT_TRUE(julian->typeAt(1709251200 - 3600).isDaylightSaving);   // 2024-03-01 00:00 local

    for (const char* bad :
         {"", "EST", "E5", "EST5EDT,M13.1.0,M11.1.0", "EST5EDT,M3.2.0", "<+03", "EST5EDT,M3.2.0,M11.1.0x"}) {
        EXPECT_FALSE(tz::PosixRule::parse(bad)) << bad;
    }
}

TEST(TimeZoneRules, DamagedFilesAreRefused) {
    std::ifstream in("/usr/share/zoneinfo/America/New_York", std::ios::binary);
    ASSERT_TRUE(in) << "the tz database is not installed";
    std::stringstream bytes;
    bytes << in.rdbuf();
    std::string whole = bytes.str();
    ASSERT_TRUE(tz::Rules::fromTzif(whole));
    EXPECT_FALSE(tz::Rules::fromTzif(whole.substr(0, whole.size() / 2)));
    EXPECT_FALSE(tz::Rules::fromTzif(whole.substr(0, 43)));
    EXPECT_FALSE(tz::Rules::fromTzif("TZjf" + whole.substr(4)));

    // A transition whose type lies past the table of types.
    auto count = [&](size_t at) {
        return size_t(uint8_t(whole[at])) << 24 | size_t(uint8_t(whole[at + 1])) << 16 |
               size_t(uint8_t(whole[at + 2])) << 8 | size_t(uint8_t(whole[at + 3]));
    };
    size_t secondHeader =
        44 + count(32) * 5 + count(36) * 6 + count(40) + count(28) * 8 + count(24) + count(20);
    ASSERT_GT(count(secondHeader + 32), 0u);
    std::string badType = whole;
    badType[secondHeader + 44 + count(secondHeader + 32) * 8] = char(0xff);
    EXPECT_FALSE(tz::Rules::fromTzif(badType));
}

TEST(TimeZoneRules, LocalTimesAroundChanges) {
    auto rules = tz::Rules::fromPosix("EST5EDT,M3.2.0,M11.1.0");
    ASSERT_TRUE(rules);
    int64_t skipped = 1710037800;  // 2024-03-10 02:30 as if UTC
    EXPECT_EQ(rules->offsetForLocalTime(skipped), -5 * 3600);
    int64_t repeated = 1730597400;  // 2024-11-03 01:30 as if UTC
    EXPECT_EQ(rules->offsetForLocalTime(repeated), -4 * 3600);
    EXPECT_EQ(rules->offsetForLocalTime(repeated + 3600), -5 * 3600);
    EXPECT_EQ(rules->offsetForLocalTime(1719835200), -4 * 3600);  // July
}

}  // namespace
