#pragma once
// Date components: the fields of a calendar date, or the amounts to add to a
// date. A field that was never set is Undefined.

#include <array>
#include <cstdint>

#include "platform/foundation/TimeZone.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

// The platform's bit values, combined into a mask for the calendar.
enum CalendarUnit : uint64_t {
    CalendarUnitEra = 1u << 1,
    CalendarUnitYear = 1u << 2,
    CalendarUnitMonth = 1u << 3,
    CalendarUnitDay = 1u << 4,
    CalendarUnitHour = 1u << 5,
    CalendarUnitMinute = 1u << 6,
    CalendarUnitSecond = 1u << 7,
    CalendarUnitWeekday = 1u << 9,
    CalendarUnitWeekdayOrdinal = 1u << 10,
    CalendarUnitWeekOfMonth = 1u << 12,
    CalendarUnitWeekOfYear = 1u << 13,
    CalendarUnitYearForWeekOfYear = 1u << 14,
    CalendarUnitNanosecond = 1u << 15,
    CalendarUnitTimeZone = 1u << 21,
};

class DateComponents : public Object {
    RT_DECLARE_CLASS(DateComponents)
public:
    static constexpr int64_t Undefined = INT64_MAX;

    DateComponents();

    int64_t era() const { return get(CalendarUnitEra); }
    int64_t year() const { return get(CalendarUnitYear); }
    int64_t month() const { return get(CalendarUnitMonth); }
    int64_t day() const { return get(CalendarUnitDay); }
    int64_t hour() const { return get(CalendarUnitHour); }
    int64_t minute() const { return get(CalendarUnitMinute); }
    int64_t second() const { return get(CalendarUnitSecond); }
    int64_t nanosecond() const { return get(CalendarUnitNanosecond); }
    // 1 = Sunday ... 7 = Saturday.
    int64_t weekday() const { return get(CalendarUnitWeekday); }
    int64_t weekdayOrdinal() const { return get(CalendarUnitWeekdayOrdinal); }
    int64_t weekOfMonth() const { return get(CalendarUnitWeekOfMonth); }
    int64_t weekOfYear() const { return get(CalendarUnitWeekOfYear); }
    int64_t yearForWeekOfYear() const { return get(CalendarUnitYearForWeekOfYear); }
    const Ref<TimeZone>& timeZone() const { return timeZone_; }

    void setEra(int64_t v) { set(CalendarUnitEra, v); }
    void setYear(int64_t v) { set(CalendarUnitYear, v); }
    void setMonth(int64_t v) { set(CalendarUnitMonth, v); }
    void setDay(int64_t v) { set(CalendarUnitDay, v); }
    void setHour(int64_t v) { set(CalendarUnitHour, v); }
    void setMinute(int64_t v) { set(CalendarUnitMinute, v); }
    void setSecond(int64_t v) { set(CalendarUnitSecond, v); }
    void setNanosecond(int64_t v) { set(CalendarUnitNanosecond, v); }
    void setWeekday(int64_t v) { set(CalendarUnitWeekday, v); }
    void setWeekdayOrdinal(int64_t v) { set(CalendarUnitWeekdayOrdinal, v); }
    void setWeekOfMonth(int64_t v) { set(CalendarUnitWeekOfMonth, v); }
    void setWeekOfYear(int64_t v) { set(CalendarUnitWeekOfYear, v); }
    void setYearForWeekOfYear(int64_t v) { set(CalendarUnitYearForWeekOfYear, v); }
    void setTimeZone(Ref<TimeZone> zone) { timeZone_ = std::move(zone); }

    // One field by its unit; Undefined for units that are not fields.
    int64_t valueForComponent(CalendarUnit unit) const { return get(unit); }
    void setValueForComponent(int64_t value, CalendarUnit unit) { set(unit, value); }

    uint64_t hash() const override;
    using Object::isEqual;
    bool isEqual(const Object* other) const override;
    Id copy() const override;

private:
    static int slot(CalendarUnit unit);
    int64_t get(CalendarUnit unit) const;
    void set(CalendarUnit unit, int64_t value);

    std::array<int64_t, 16> values_;  // by the bit index of the unit
    Ref<TimeZone> timeZone_;
};

}  // namespace ns
