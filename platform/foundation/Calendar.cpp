#include "platform/foundation/Calendar.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/CalendarCivil.h"

namespace ns {

RT_DEFINE_CLASS(Calendar, Object, "NSCalendar")

namespace {

constexpr int64_t Undefined = DateComponents::Undefined;
// Beyond these the arithmetic would leave 64 bits; the platform's calendar
// does not reach them either.
constexpr int64_t FieldLimit = 1'000'000'000;
constexpr int64_t SecondLimit = 1'000'000'000'000'000;

bool defined(int64_t v) { return v != Undefined; }
int64_t orZero(int64_t v) { return defined(v) ? v : 0; }
bool inLimit(int64_t v, int64_t limit = FieldLimit) { return !defined(v) || (v >= -limit && v <= limit); }

// A moment split into whole seconds and the fraction the calendar carries.
struct Moment {
    int64_t seconds;
    double fraction;
};

Moment split(const Date& date) {
    double t = date.timeIntervalSince1970();
    if (!std::isfinite(t)) t = 0;
    double whole = std::floor(std::clamp(t, -double(SecondLimit), double(SecondLimit)));
    return {int64_t(whole), t - whole};
}

// Epoch day on which week 1 of `year` starts.
int64_t firstWeekStart(int64_t year, int firstWeekday, int minimumDays) {
    int64_t january1 = civil::daysFromCivil(year, 1, 1);
    int64_t daysIntoWeek = civil::floorMod(civil::weekdayFromDays(january1) - firstWeekday, 7);
    int64_t start = january1 - daysIntoWeek;
    if (7 - daysIntoWeek < minimumDays) start += 7;
    return start;
}

}  // namespace

Ref<Calendar> Calendar::currentCalendar() { return std::make_shared<Calendar>(); }

Ref<Calendar> Calendar::calendarWithIdentifier(std::string_view identifier) {
    if (identifier != CalendarIdentifierGregorian) return nullptr;
    return std::make_shared<Calendar>();
}

Ref<TimeZone> Calendar::timeZone() const { return timeZone_ ? timeZone_ : TimeZone::defaultTimeZone(); }

void Calendar::setFirstWeekday(int weekday) {
    if (weekday >= 1 && weekday <= 7) firstWeekday_ = weekday;
}

void Calendar::setMinimumDaysInFirstWeek(int days) {
    if (days >= 1 && days <= 7) minimumDaysInFirstWeek_ = days;
}

Ref<DateComponents> Calendar::componentsFromDate(uint64_t units, const Date& date) const {
    Ref<TimeZone> zone = timeZone();
    Moment moment = split(date);
    int64_t local = moment.seconds + zone->secondsFromGMTForUnixTime(moment.seconds);
    int64_t days = civil::floorDiv(local, civil::SecondsPerDay);
    int64_t secondOfDay = civil::floorMod(local, civil::SecondsPerDay);
    civil::YearMonthDay ymd = civil::civilFromDays(days);
    int weekday = civil::weekdayFromDays(days);

    auto c = std::make_shared<DateComponents>();
    if (units & CalendarUnitEra) c->setEra(ymd.year > 0 ? 1 : 0);
    if (units & CalendarUnitYear) c->setYear(ymd.year > 0 ? ymd.year : 1 - ymd.year);
    if (units & CalendarUnitMonth) c->setMonth(ymd.month);
    if (units & CalendarUnitDay) c->setDay(ymd.day);
    if (units & CalendarUnitHour) c->setHour(secondOfDay / 3600);
    if (units & CalendarUnitMinute) c->setMinute(secondOfDay / 60 % 60);
    if (units & CalendarUnitSecond) c->setSecond(secondOfDay % 60);
    if (units & CalendarUnitNanosecond) c->setNanosecond(std::min<int64_t>(std::llround(moment.fraction * 1e9), 999'999'999));
    if (units & CalendarUnitWeekday) c->setWeekday(weekday);
    if (units & CalendarUnitWeekdayOrdinal) c->setWeekdayOrdinal((ymd.day - 1) / 7 + 1);
    if (units & CalendarUnitWeekOfMonth) {
        int64_t first = days - (ymd.day - 1);
        int64_t daysIntoWeek = civil::floorMod(civil::weekdayFromDays(first) - firstWeekday_, 7);
        int64_t week = (ymd.day - 1 + daysIntoWeek) / 7;
        // A short first week counts as week 0 of the month.
        if (7 - daysIntoWeek >= minimumDaysInFirstWeek_) ++week;
        c->setWeekOfMonth(week);
    }
    if (units & (CalendarUnitWeekOfYear | CalendarUnitYearForWeekOfYear)) {
        int64_t weekYear = ymd.year;
        int64_t start = firstWeekStart(weekYear, firstWeekday_, minimumDaysInFirstWeek_);
        if (days < start) {
            start = firstWeekStart(--weekYear, firstWeekday_, minimumDaysInFirstWeek_);
        } else if (int64_t next = firstWeekStart(weekYear + 1, firstWeekday_, minimumDaysInFirstWeek_); days >= next) {
            ++weekYear;
            start = next;
        }
        if (units & CalendarUnitWeekOfYear) c->setWeekOfYear((days - start) / 7 + 1);
        if (units & CalendarUnitYearForWeekOfYear) c->setYearForWeekOfYear(weekYear);
    }
    if (units & CalendarUnitTimeZone) c->setTimeZone(zone);
    return c;
}

Ref<DateComponents> Calendar::componentsInTimeZone(const Ref<TimeZone>& zone, const Date& date) const {
    Calendar inZone;
    inZone.timeZone_ = zone;
    inZone.firstWeekday_ = firstWeekday_;
    inZone.minimumDaysInFirstWeek_ = minimumDaysInFirstWeek_;
    constexpr uint64_t all = CalendarUnitEra | CalendarUnitYear | CalendarUnitMonth | CalendarUnitDay |
                             CalendarUnitHour | CalendarUnitMinute | CalendarUnitSecond | CalendarUnitNanosecond |
                             CalendarUnitWeekday | CalendarUnitWeekdayOrdinal | CalendarUnitWeekOfMonth |
                             CalendarUnitWeekOfYear | CalendarUnitYearForWeekOfYear | CalendarUnitTimeZone;
    return inZone.componentsFromDate(all, date);
}

int64_t Calendar::componentFromDate(CalendarUnit unit, const Date& date) const {
    return componentsFromDate(unit, date)->valueForComponent(unit);
}

Ref<Date> Calendar::dateFromComponents(const DateComponents& c) const {
    for (int64_t v : {c.era(), c.year(), c.month(), c.day(), c.hour(), c.minute()}) {
        if (!inLimit(v)) return nullptr;
    }
    if (!inLimit(c.second(), SecondLimit)) return nullptr;
    Ref<TimeZone> zone = c.timeZone() ? c.timeZone() : timeZone();

    int64_t year = defined(c.year()) ? c.year() : 1;
    if (defined(c.era()) && c.era() <= 0) year = 1 - year;  // before the common era
    int64_t monthIndex = year * 12 + (defined(c.month()) ? c.month() : 1) - 1;
    int64_t days = civil::daysFromCivil(civil::floorDiv(monthIndex, 12), int(civil::floorMod(monthIndex, 12)) + 1, 1) +
                   (defined(c.day()) ? c.day() : 1) - 1;
    int64_t local = days * civil::SecondsPerDay + orZero(c.hour()) * 3600 + orZero(c.minute()) * 60 + orZero(c.second());
    int64_t utc = local - zone->secondsFromGMTForLocalTime(local);
    return Date::withTimeIntervalSince1970(double(utc) + double(orZero(c.nanosecond())) / 1e9);
}

Ref<Date> Calendar::dateByAddingComponents(const DateComponents& c, const Date& date) const {
    for (int64_t v : {c.year(), c.month(), c.day(), c.hour(), c.minute(), c.weekday(), c.weekdayOrdinal(),
                      c.weekOfMonth(), c.weekOfYear()}) {
        if (!inLimit(v)) return nullptr;
    }
    if (!inLimit(c.second(), SecondLimit)) return nullptr;
    Moment moment = split(date);
    int64_t seconds = moment.seconds;

    int64_t weeks = orZero(c.weekOfYear()) + orZero(c.weekOfMonth()) + orZero(c.weekdayOrdinal());
    int64_t dayAmount = orZero(c.day()) + orZero(c.weekday()) + weeks * 7;
    if (orZero(c.year()) != 0 || orZero(c.month()) != 0 || dayAmount != 0) {
        Ref<TimeZone> zone = timeZone();
        int64_t local = seconds + zone->secondsFromGMTForUnixTime(seconds);
        int64_t secondOfDay = civil::floorMod(local, civil::SecondsPerDay);
        civil::YearMonthDay ymd = civil::civilFromDays(civil::floorDiv(local, civil::SecondsPerDay));
        int64_t year = ymd.year + orZero(c.year());
        int month = ymd.month;
        int day = std::min(ymd.day, civil::daysInMonth(year, month));
        if (orZero(c.month()) != 0) {
            int64_t monthIndex = year * 12 + (month - 1) + c.month();
            year = civil::floorDiv(monthIndex, 12);
            month = int(civil::floorMod(monthIndex, 12)) + 1;
            day = std::min(day, civil::daysInMonth(year, month));
        }
        int64_t days = civil::daysFromCivil(year, month, day) + dayAmount;
        local = days * civil::SecondsPerDay + secondOfDay;
        seconds = local - zone->secondsFromGMTForLocalTime(local);
    }
    seconds += orZero(c.hour()) * 3600 + orZero(c.minute()) * 60 + orZero(c.second());
    if (seconds > SecondLimit || seconds < -SecondLimit) return nullptr;
    return Date::withTimeIntervalSince1970(double(seconds) + moment.fraction + double(orZero(c.nanosecond())) / 1e9);
}

Ref<Date> Calendar::dateByAddingUnit(CalendarUnit unit, int64_t value, const Date& date) const {
    DateComponents c;
    c.setValueForComponent(value, unit);
    return dateByAddingComponents(c, date);
}

Ref<Date> Calendar::startOfDayForDate(const Date& date) const {
    Ref<TimeZone> zone = timeZone();
    int64_t seconds = split(date).seconds;
    int64_t local = seconds + zone->secondsFromGMTForUnixTime(seconds);
    int64_t midnight = civil::floorDiv(local, civil::SecondsPerDay) * civil::SecondsPerDay;
    // Where midnight is skipped, the day starts when the clock jumps past it.
    return Date::withTimeIntervalSince1970(double(midnight - zone->secondsFromGMTForLocalTime(midnight)));
}

bool Calendar::isDateInSameDayAsDate(const Date& date, const Date& other) const {
    Ref<TimeZone> zone = timeZone();
    auto dayOf = [&](const Date& d) {
        int64_t seconds = split(d).seconds;
        return civil::floorDiv(seconds + zone->secondsFromGMTForUnixTime(seconds), civil::SecondsPerDay);
    };
    return dayOf(date) == dayOf(other);
}

bool Calendar::isDateInToday(const Date& date) const { return isDateInSameDayAsDate(date, *Date::now()); }

}  // namespace ns
