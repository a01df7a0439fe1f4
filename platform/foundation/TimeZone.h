#pragma once
// Time zones: named zones of the system's tz database, fixed offsets from
// GMT, the system's zone and a process-wide default that tests may replace.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

class Date;
namespace tz {
class Rules;
}

class TimeZone : public Object {
    RT_DECLARE_CLASS(TimeZone)
public:
    // GMT.
    TimeZone();
    TimeZone(std::string name, std::shared_ptr<const tz::Rules> rules);

    // "Asia/Shanghai", "UTC", "GMT", "GMT+0800"; nil for a name the database
    // does not know.
    static Ref<TimeZone> timeZoneWithName(std::string_view name);
    // Named "GMT+hhmm" ("GMT" for 0); nil beyond 18 hours.
    static Ref<TimeZone> timeZoneForSecondsFromGMT(int64_t seconds);

    // The zone of the machine: TZ when set, else /etc/localtime; GMT when
    // neither can be read. Read once and kept until resetSystemTimeZone().
    static Ref<TimeZone> systemTimeZone();
    static void resetSystemTimeZone();
    // The zone dates are shown in unless a caller names one: the system's
    // zone until setDefaultTimeZone() replaces it (nil goes back to it).
    static Ref<TimeZone> defaultTimeZone();
    static void setDefaultTimeZone(Ref<TimeZone> zone);
    // The default zone at the time of the call.
    static Ref<TimeZone> localTimeZone();

    const std::string& name() const { return name_; }
    int64_t secondsFromGMT() const;
    int64_t secondsFromGMTForDate(const Date& date) const;
    std::string abbreviationForDate(const Date& date) const;
    bool isDaylightSavingTimeForDate(const Date& date) const;

    // Seconds between 1970 and the moment, for calendar arithmetic.
    int64_t secondsFromGMTForUnixTime(int64_t seconds) const;
    // The offset that turns a wall time (seconds from 1970 as if it were
    // UTC) into UTC. A repeated wall time takes its first occurrence; a
    // skipped one moves forward by the size of the jump.
    int64_t secondsFromGMTForLocalTime(int64_t localSeconds) const;

    // "Asia/Shanghai (CST) offset 28800": name, abbreviation and offset now.
    std::string description() const override;
    uint64_t hash() const override;
    using Object::isEqual;
    bool isEqual(const Object* other) const override;
    Id copy() const override { return self(); }

private:
    std::string name_;
    std::shared_ptr<const tz::Rules> rules_;
};

}  // namespace ns
