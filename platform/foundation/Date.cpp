#include "platform/foundation/Date.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/dispatch/Clock.h"

namespace ns {

RT_DEFINE_CLASS(Date, Object, "NSDate")

Ref<Date> Date::now() { return std::make_shared<Date>(dispatch::wallTime()); }

Ref<Date> Date::withTimeIntervalSince1970(double seconds) { return std::make_shared<Date>(seconds); }

Ref<Date> Date::withTimeIntervalSinceNow(double seconds) { return std::make_shared<Date>(dispatch::wallTime() + seconds); }

Ref<Date> Date::withTimeIntervalSinceReferenceDate(double seconds) {
    return std::make_shared<Date>(seconds + ReferenceDateFrom1970);
}

const Ref<Date>& Date::distantPast() {
    static const Ref<Date> date = withTimeIntervalSinceReferenceDate(-63114076800.0);
    return date;
}

const Ref<Date>& Date::distantFuture() {
    static const Ref<Date> date = withTimeIntervalSinceReferenceDate(63113904000.0);
    return date;
}

double Date::timeIntervalSinceNow() const { return seconds_ - dispatch::wallTime(); }

Ref<Date> Date::dateByAddingTimeInterval(double seconds) const { return std::make_shared<Date>(seconds_ + seconds); }

ComparisonResult Date::compare(const Date& other) const {
    if (seconds_ < other.seconds_) return ComparisonResult::Ascending;
    if (seconds_ > other.seconds_) return ComparisonResult::Descending;
    return ComparisonResult::Same;
}

Ref<Date> Date::earlierDate(const Ref<Date>& other) const {
    if (other && other->seconds_ < seconds_) return other;
    return std::static_pointer_cast<Date>(self());
}

Ref<Date> Date::laterDate(const Ref<Date>& other) const {
    if (other && other->seconds_ > seconds_) return other;
    return std::static_pointer_cast<Date>(self());
}

std::string Date::description() const {
    std::time_t whole = static_cast<std::time_t>(std::floor(seconds_));
    std::tm utc{};
    gmtime_r(&whole, &utc);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d +0000", utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday,
                  utc.tm_hour, utc.tm_min, utc.tm_sec);
    return buf;
}

uint64_t Date::hash() const {
    uint64_t bits;
    double s = seconds_ == 0 ? 0.0 : seconds_;  // -0 and 0 are the same date
    std::memcpy(&bits, &s, sizeof bits);
    return bits * 0x9E3779B97F4A7C15ull;
}

bool Date::isEqual(const Object* other) const {
    auto date = dynamic_cast<const Date*>(other);
    return date && date->seconds_ == seconds_;
}

}  // namespace ns
