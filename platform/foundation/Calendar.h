#pragma once
// The Gregorian calendar: the components of a date in a time zone, dates from
// components, and component arithmetic on wall-clock dates. "Today" is read
// from the one clock.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/foundation/Date.h"
#include "platform/foundation/DateComponents.h"
#include "platform/foundation/TimeZone.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

inline constexpr const char* CalendarIdentifierGregorian = "gregorian";

class Calendar : public Object {
    RT_DECLARE_CLASS(Calendar)
public:
    // Gregorian, in the default time zone, weeks starting on Sunday.
    Calendar() = default;

    static Ref<Calendar> currentCalendar();
    // nil for calendars other than CalendarIdentifierGregorian.
    static Ref<Calendar> calendarWithIdentifier(std::string_view identifier);

    std::string calendarIdentifier() const { return CalendarIdentifierGregorian; }
    // Until one is set (or after nil is set), the default zone at each use.
    Ref<TimeZone> timeZone() const;
    void setTimeZone(Ref<TimeZone> zone) { timeZone_ = std::move(zone); }
    // 1 = Sunday ... 7 = Saturday; values outside are ignored.
    int firstWeekday() const { return firstWeekday_; }
    void setFirstWeekday(int weekday);
    // Days of the new year the first week must hold (1 ... 7).
    int minimumDaysInFirstWeek() const { return minimumDaysInFirstWeek_; }
    void setMinimumDaysInFirstWeek(int days);

    // The fields named by the unit mask (CalendarUnit bits), in the
    // calendar's zone; CalendarUnitTimeZone also fills the zone.
    Ref<DateComponents> componentsFromDate(uint64_t units, const Date& date) const;
    Ref<DateComponents> componentsInTimeZone(const Ref<TimeZone>& zone, const Date& date) const;
    int64_t componentFromDate(CalendarUnit unit, const Date& date) const;

    // Fields out of their range carry over (month 13 is January of the next
    // year, day 0 the last day of the month before); missing ones are the
    // start of their period, a missing year is year 1. The components' zone,
    // when set, replaces the calendar's. nil for values beyond the calendar.
    Ref<Date> dateFromComponents(const DateComponents& components) const;

    // Adds years, then months, then weeks and days on the wall clock, each
    // step keeping the day of the month where the month has it and taking
    // the month's last day where it does not (Jan 31 + 1 month = Feb 28 or
    // 29); hours, minutes, seconds and nanoseconds are then added as elapsed
    // time. Amounts may be negative. nil for results beyond the calendar.
    Ref<Date> dateByAddingComponents(const DateComponents& components, const Date& date) const;
    Ref<Date> dateByAddingUnit(CalendarUnit unit, int64_t value, const Date& date) const;

    // The first moment of the date's day in the calendar's zone.
    Ref<Date> startOfDayForDate(const Date& date) const;
    bool isDateInSameDayAsDate(const Date& date, const Date& other) const;
    bool isDateInToday(const Date& date) const;

private:
    Ref<TimeZone> timeZone_;
    int firstWeekday_ = 1;
    int minimumDaysInFirstWeek_ = 1;
};

}  // namespace ns
