#include <gtest/gtest.h>

#include "platform/foundation/Calendar.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/testing/TaskEnvironment.h"

namespace {

using namespace ns;

// Dates are read and shown in Shanghai unless a test names another zone.
class CalendarTest : public ::testing::Test {
protected:
    void SetUp() override {
        shanghai_ = TimeZone::timeZoneWithName("Asia/Shanghai");
        ASSERT_TRUE(shanghai_) << "the tz database is not installed";
        TimeZone::setDefaultTimeZone(shanghai_);
    }
    void TearDown() override { TimeZone::setDefaultTimeZone(nullptr); }

    static Ref<Date> at(const Calendar& calendar, int64_t year, int64_t month, int64_t day, int64_t hour = 0,
                        int64_t minute = 0) {
        DateComponents c;
        c.setYear(year);
        c.setMonth(month);
        c.setDay(day);
        c.setHour(hour);
        c.setMinute(minute);
        return calendar.dateFromComponents(c);
    }

    static std::string show(const Date& date, const char* pattern = "yyyy-MM-dd HH:mm") {
        DateFormatter formatter;
        formatter.setDateFormat(pattern);
        return formatter.stringFromDate(date);
    }

    static Ref<Date> add(const Calendar& calendar, const Date& date, int64_t years, int64_t months, int64_t days) {
        DateComponents c;
        c.setYear(years);
        c.setMonth(months);
        c.setDay(days);
        return calendar.dateByAddingComponents(c, date);
    }

    Ref<TimeZone> shanghai_;
};

TEST_F(CalendarTest, BirthdayTakesOffYearsThenMonthsThenDays) {
    auto calendar = Calendar::currentCalendar();
    auto login = at(*calendar, 2024, 3, 1, 10, 30);
    ASSERT_TRUE(login);
    EXPECT_EQ(login->timeIntervalSince1970(), 1709260200);

    auto birthday = add(*calendar, *login, -19, -2, -1);
    ASSERT_TRUE(birthday);
    EXPECT_EQ(show(*birthday, "yyyy-MM-dd"), "2004-12-31");
    EXPECT_EQ(show(*birthday), "2004-12-31 10:30");
    // The week-based year of that Friday is already 2005.
    EXPECT_EQ(show(*birthday, "YYYY-MM-dd"), "2005-12-31");

    // Days first would have landed elsewhere: the order is part of the rule.
    auto daysFirst = calendar->dateByAddingUnit(CalendarUnitDay, -1, *login);
    daysFirst = calendar->dateByAddingUnit(CalendarUnitMonth, -2, *daysFirst);
    daysFirst = calendar->dateByAddingUnit(CalendarUnitYear, -19, *daysFirst);
    EXPECT_EQ(show(*daysFirst, "yyyy-MM-dd"), "2004-12-29");
}

TEST_F(CalendarTest, MonthArithmeticClampsToTheMonthsLastDay) {
    Calendar calendar;
    EXPECT_EQ(show(*add(calendar, *at(calendar, 2024, 1, 31, 9), 0, 1, 0)), "2024-02-29 09:00");
    EXPECT_EQ(show(*add(calendar, *at(calendar, 2023, 1, 31, 9), 0, 1, 0)), "2023-02-28 09:00");
    EXPECT_EQ(show(*add(calendar, *at(calendar, 2024, 3, 31), 0, -1, 0)), "2024-02-29 00:00");
    EXPECT_EQ(show(*add(calendar, *at(calendar, 2024, 2, 29), 1, 0, 0)), "2025-02-28 00:00");
    // Each step clamps on its own: the day lost to February stays lost.
    EXPECT_EQ(show(*add(calendar, *at(calendar, 2024, 2, 29), 1, 1, 0)), "2025-03-28 00:00");
    EXPECT_EQ(show(*add(calendar, *at(calendar, 2024, 12, 31), 0, 2, 0)), "2025-02-28 00:00");
    EXPECT_EQ(show(*add(calendar, *at(calendar, 2024, 1, 15), 0, -13, 0)), "2022-12-15 00:00");
    EXPECT_EQ(show(*add(calendar, *at(calendar, 2024, 2, 28), 0, 0, 2)), "2024-03-01 00:00");
}

TEST_F(CalendarTest, DaysKeepTheWallClockWhileHoursAreElapsedTime) {
    Calendar calendar;
    calendar.setTimeZone(TimeZone::timeZoneWithName("America/New_York"));
    auto before = at(calendar, 2024, 3, 9, 12);  // the day before the clocks go forward
    auto nextDay = calendar.dateByAddingUnit(CalendarUnitDay, 1, *before);
    EXPECT_EQ(nextDay->timeIntervalSinceDate(*before), 23 * 3600);
    EXPECT_EQ(calendar.componentFromDate(CalendarUnitHour, *nextDay), 12);

    auto dayLater = calendar.dateByAddingUnit(CalendarUnitHour, 24, *before);
    EXPECT_EQ(dayLater->timeIntervalSinceDate(*before), 24 * 3600);
    EXPECT_EQ(calendar.componentFromDate(CalendarUnitHour, *dayLater), 13);

    DateComponents mixed;
    mixed.setMinute(-90);
    mixed.setSecond(30);
    mixed.setNanosecond(500'000'000);
    EXPECT_DOUBLE_EQ(calendar.dateByAddingComponents(mixed, *before)->timeIntervalSinceDate(*before), -5369.5);
}

TEST_F(CalendarTest, WallTimesTheClockSkipsOrRepeats) {
    Calendar calendar;
    calendar.setTimeZone(TimeZone::timeZoneWithName("America/New_York"));
    // 02:30 does not exist on 2024-03-10; it is read as 03:30 daylight time.
    EXPECT_EQ(at(calendar, 2024, 3, 10, 2, 30)->timeIntervalSince1970(), 1710055800);
    // 01:30 happens twice on 2024-11-03; the first one counts.
    EXPECT_EQ(at(calendar, 2024, 11, 3, 1, 30)->timeIntervalSince1970(), 1730611800);

    // In Santiago the clocks jump from midnight to 01:00: the day starts then.
    calendar.setTimeZone(TimeZone::timeZoneWithName("America/Santiago"));
    auto noon = Date::withTimeIntervalSince1970(1725768000 + 11 * 3600);
    EXPECT_EQ(calendar.startOfDayForDate(*noon)->timeIntervalSince1970(), 1725768000);
}

TEST_F(CalendarTest, ComponentsOfADate) {
    Calendar calendar;
    auto date = Date::withTimeIntervalSince1970(1104465600.25);  // 2004-12-31 12:00:00.25 in Shanghai
    uint64_t units = CalendarUnitYear | CalendarUnitMonth | CalendarUnitDay | CalendarUnitHour | CalendarUnitMinute |
                     CalendarUnitSecond | CalendarUnitWeekday | CalendarUnitNanosecond;
    auto c = calendar.componentsFromDate(units, *date);
    EXPECT_EQ(c->year(), 2004);
    EXPECT_EQ(c->month(), 12);
    EXPECT_EQ(c->day(), 31);
    EXPECT_EQ(c->hour(), 12);
    EXPECT_EQ(c->minute(), 0);
    EXPECT_EQ(c->second(), 0);
    EXPECT_EQ(c->weekday(), 6);  // Friday
    EXPECT_EQ(c->nanosecond(), 250'000'000);
    EXPECT_EQ(c->era(), DateComponents::Undefined);
    EXPECT_FALSE(c->timeZone());

    auto utc = calendar.componentsInTimeZone(TimeZone::timeZoneWithName("UTC"), *date);
    EXPECT_EQ(utc->hour(), 4);
    EXPECT_EQ(utc->timeZone()->name(), "UTC");
    EXPECT_EQ(utc->era(), 1);

    // Weeks from Sunday with one day enough, and ISO weeks.
    EXPECT_EQ(c->weekday(), calendar.componentFromDate(CalendarUnitWeekday, *date));
    EXPECT_EQ(calendar.componentFromDate(CalendarUnitWeekOfYear, *date), 1);
    EXPECT_EQ(calendar.componentFromDate(CalendarUnitYearForWeekOfYear, *date), 2005);
    calendar.setFirstWeekday(2);
    calendar.setMinimumDaysInFirstWeek(4);
    EXPECT_EQ(calendar.componentFromDate(CalendarUnitWeekOfYear, *date), 53);
    EXPECT_EQ(calendar.componentFromDate(CalendarUnitYearForWeekOfYear, *date), 2004);
    auto newYear2021 = at(calendar, 2021, 1, 1, 12);
    EXPECT_EQ(calendar.componentFromDate(CalendarUnitWeekOfYear, *newYear2021), 53);
    EXPECT_EQ(calendar.componentFromDate(CalendarUnitYearForWeekOfYear, *newYear2021), 2020);
}

TEST_F(CalendarTest, DatesFromComponentsCarryOverAndDefault) {
    Calendar calendar;
    EXPECT_EQ(show(*at(calendar, 2024, 13, 1)), "2025-01-01 00:00");
    EXPECT_EQ(show(*at(calendar, 2024, 3, 0)), "2024-02-29 00:00");
    EXPECT_EQ(show(*at(calendar, 2024, 1, 1, 25, 61)), "2024-01-02 02:01");

    DateComponents onlyYear;
    onlyYear.setYear(1970);
    onlyYear.setTimeZone(TimeZone::timeZoneForSecondsFromGMT(0));
    EXPECT_EQ(calendar.dateFromComponents(onlyYear)->timeIntervalSince1970(), 0);

    DateComponents beforeCommonEra;
    beforeCommonEra.setEra(0);
    beforeCommonEra.setYear(1);
    auto firstBC = calendar.dateFromComponents(beforeCommonEra);
    auto back = calendar.componentsFromDate(CalendarUnitEra | CalendarUnitYear, *firstBC);
    EXPECT_EQ(back->era(), 0);
    EXPECT_EQ(back->year(), 1);

    DateComponents absurd;
    absurd.setYear(INT64_MAX - 1);
    EXPECT_FALSE(calendar.dateFromComponents(absurd));
    EXPECT_FALSE(calendar.dateByAddingComponents(absurd, *Date::now()));
}

TEST_F(CalendarTest, TodayIsReadFromTheClock) {
    testing::TaskEnvironment env;
    Calendar calendar;
    auto now = Date::now();
    EXPECT_TRUE(calendar.isDateInToday(*now));
    auto startOfDay = calendar.startOfDayForDate(*now);
    EXPECT_TRUE(calendar.isDateInToday(*startOfDay));
    EXPECT_FALSE(calendar.isDateInToday(*startOfDay->dateByAddingTimeInterval(-1)));
    EXPECT_EQ(show(*startOfDay, "HH:mm:ss"), "00:00:00");

    double untilMidnight = 86400 - now->timeIntervalSinceDate(*startOfDay);
    env.fastForwardBy(untilMidnight);
    EXPECT_FALSE(calendar.isDateInToday(*now));
    EXPECT_TRUE(calendar.isDateInSameDayAsDate(*now, *startOfDay));
}

TEST_F(CalendarTest, OnlyTheGregorianCalendarIsOffered) {
    auto gregorian = Calendar::calendarWithIdentifier(CalendarIdentifierGregorian);
    ASSERT_TRUE(gregorian);
    EXPECT_EQ(gregorian->calendarIdentifier(), "gregorian");
    EXPECT_FALSE(Calendar::calendarWithIdentifier("hebrew"));
    EXPECT_EQ(gregorian->className(), "NSCalendar");
    // Without a zone of its own it follows the default one.
    EXPECT_EQ(gregorian->timeZone()->name(), "Asia/Shanghai");
    TimeZone::setDefaultTimeZone(TimeZone::timeZoneWithName("Asia/Tokyo"));
    EXPECT_EQ(gregorian->timeZone()->name(), "Asia/Tokyo");
}

}  // namespace
