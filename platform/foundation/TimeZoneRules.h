#pragma once
// The offset rules of one time zone, read from the system's tz database
// (compiled TZif files, RFC 8536) or from a POSIX TZ string. Immutable once
// read, so a zone can be shared between threads.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ns::tz {

struct LocalTimeType {
    int32_t offset = 0;  // seconds east of UTC
    bool isDaylightSaving = false;
    std::string abbreviation;
};

// A POSIX TZ rule: "CST-8", "EST5EDT,M3.2.0,M11.1.0", "<+0330>-3:30".
struct PosixRule {
    struct Day {
        enum class Kind { JulianNoLeap, ZeroBasedDayOfYear, MonthWeekDay };
        Kind kind = Kind::MonthWeekDay;
        int month = 0, week = 0, weekday = 0, day = 0;
        int32_t time = 7200;  // local seconds after midnight; may be negative or past 24h
    };
    LocalTimeType standard;
    std::optional<LocalTimeType> daylight;
    Day start, end;

    static std::optional<PosixRule> parse(std::string_view text);
    const LocalTimeType& typeAt(int64_t utcSeconds) const;
};

class Rules {
public:
    static Rules fixed(int32_t offset, std::string abbreviation);
    static std::optional<Rules> fromTzif(std::string_view bytes);
    static std::optional<Rules> fromPosix(std::string_view text);

    const LocalTimeType& typeAt(int64_t utcSeconds) const;
    // The offset that turns a local wall time into UTC. A wall time that
    // occurs twice takes its first occurrence; one skipped by a forward jump
    // is read with the offset from before the jump, so it lands after it.
    int32_t offsetForLocalTime(int64_t localSeconds) const;

private:
    std::vector<int64_t> transitions_;  // UTC seconds, ascending
    std::vector<uint8_t> transitionTypes_;
    std::vector<LocalTimeType> types_;
    std::optional<PosixRule> future_;  // beyond the last transition
};

}  // namespace ns::tz
