#include "platform/foundation/TimeZoneRules.h"

#include <algorithm>
#include <cctype>

#include "platform/foundation/CalendarCivil.h"

namespace ns::tz {

namespace {

struct Cursor {
    std::string_view text;
    size_t at = 0;
    bool done() const { return at >= text.size(); }
    char peek() const { return done() ? '\0' : text[at]; }
    bool take(char c) {
        if (peek() != c) return false;
        ++at;
        return true;
    }
    bool digit() const { return !done() && text[at] >= '0' && text[at] <= '9'; }
    int number(int maxDigits) {
        int value = 0;
        for (int k = 0; k < maxDigits && digit(); ++k) value = value * 10 + (text[at++] - '0');
        return value;
    }
};

bool parseZoneName(Cursor& c, std::string& out) {
    size_t start = c.at;
    if (c.take('<')) {
        while (!c.done() && c.peek() != '>') ++c.at;
        if (c.done()) return false;
        out = std::string(c.text.substr(start + 1, c.at - start - 1));
        ++c.at;
        return !out.empty();
    }
    while (!c.done() && std::isalpha(static_cast<unsigned char>(c.peek()))) ++c.at;
    out = std::string(c.text.substr(start, c.at - start));
    return out.size() >= 3;
}

// [+-]hh[:mm[:ss]], hours up to 167 as RFC 8536 allows in rule times.
bool parseDuration(Cursor& c, int32_t& out) {
    int sign = 1;
    if (c.take('-')) sign = -1;
    else c.take('+');
    if (!c.digit()) return false;
    int32_t seconds = c.number(3) * 3600;
    if (c.take(':')) {
        if (!c.digit()) return false;
        seconds += c.number(2) * 60;
        if (c.take(':')) {
            if (!c.digit()) return false;
            seconds += c.number(2);
        }
    }
    out = sign * seconds;
    return true;
}

bool parseRuleDay(Cursor& c, PosixRule::Day& day) {
    using Kind = PosixRule::Day::Kind;
    if (c.take('M')) {
        day.kind = Kind::MonthWeekDay;
        day.month = c.number(2);
        if (!c.take('.')) return false;
        day.week = c.number(1);
        if (!c.take('.')) return false;
        day.weekday = c.number(1);
        if (day.month < 1 || day.month > 12 || day.week < 1 || day.week > 5 || day.weekday > 6) return false;
    } else if (c.take('J')) {
        day.kind = Kind::JulianNoLeap;
        day.day = c.number(3);
        if (day.day < 1 || day.day > 365) return false;
    } else if (c.digit()) {
        day.kind = Kind::ZeroBasedDayOfYear;
        day.day = c.number(3);
        if (day.day > 365) return false;
    } else {
        return false;
    }
    day.time = 7200;
    if (c.take('/')) return parseDuration(c, day.time);
    return true;
}

// Local seconds (from 1970, as if UTC) of a rule's change in `year`.
int64_t localChange(const PosixRule::Day& day, int64_t year) {
    using Kind = PosixRule::Day::Kind;
    int64_t days = 0;
    switch (day.kind) {
        case Kind::JulianNoLeap: {
            int n = day.day;
            if (civil::isLeapYear(year) && n >= 60) ++n;
            days = civil::daysFromCivil(year, 1, 1) + n - 1;
            break;
        }
        case Kind::ZeroBasedDayOfYear:
            days = civil::daysFromCivil(year, 1, 1) + day.day;
            break;
        case Kind::MonthWeekDay: {
            int64_t first = civil::daysFromCivil(year, day.month, 1);
            int firstWeekday = civil::weekdayFromDays(first) - 1;  // 0 = Sunday, as the rule counts
            int dayOfMonth = 1 + (day.weekday - firstWeekday + 7) % 7 + (day.week - 1) * 7;
            while (dayOfMonth > civil::daysInMonth(year, day.month)) dayOfMonth -= 7;
            days = first + dayOfMonth - 1;
            break;
        }
    }
    return days * civil::SecondsPerDay + day.time;
}

int64_t readBigEndian(std::string_view bytes, size_t at, int size) {
    uint64_t value = 0;
    for (int k = 0; k < size; ++k) value = (value << 8) | static_cast<uint8_t>(bytes[at + size_t(k)]);
    if (size == 4) return static_cast<int32_t>(static_cast<uint32_t>(value));
    return static_cast<int64_t>(value);
}

struct TzifHeader {
    char version = 0;
    uint64_t utIndicators = 0, standardIndicators = 0, leaps = 0, transitions = 0, types = 0, chars = 0;

    bool read(std::string_view bytes, size_t at) {
        if (at + 44 > bytes.size() || bytes.substr(at, 4) != "TZif") return false;
        version = bytes[at + 4];
        auto count = [&](size_t k) { return static_cast<uint64_t>(static_cast<uint32_t>(readBigEndian(bytes, at + 20 + 4 * k, 4))); };
        utIndicators = count(0);
        standardIndicators = count(1);
        leaps = count(2);
        transitions = count(3);
        types = count(4);
        chars = count(5);
        return true;
    }
    uint64_t blockSize(int timeSize) const {
        return transitions * uint64_t(timeSize) + transitions + types * 6 + chars + leaps * uint64_t(timeSize + 4) +
               standardIndicators + utIndicators;
    }
};

}  // namespace

std::optional<PosixRule> PosixRule::parse(std::string_view text) {
    Cursor c{text};
    PosixRule rule;
    int32_t west = 0;
    if (!parseZoneName(c, rule.standard.abbreviation) || !parseDuration(c, west)) return std::nullopt;
    rule.standard.offset = -west;  // POSIX counts hours west of Greenwich
    if (c.done()) return rule;

    LocalTimeType daylight;
    daylight.isDaylightSaving = true;
    if (!parseZoneName(c, daylight.abbreviation)) return std::nullopt;
    daylight.offset = rule.standard.offset + 3600;
    if (!c.done() && c.peek() != ',') {
        if (!parseDuration(c, west)) return std::nullopt;
        daylight.offset = -west;
    }
    if (c.done()) {
        // No dates given: the United States' rules, as the C library assumes.
        rule.start = {Day::Kind::MonthWeekDay, 3, 2, 0, 0, 7200};
        rule.end = {Day::Kind::MonthWeekDay, 11, 1, 0, 0, 7200};
    } else if (!c.take(',') || !parseRuleDay(c, rule.start) || !c.take(',') || !parseRuleDay(c, rule.end) || !c.done()) {
        return std::nullopt;
    }
    rule.daylight = daylight;
    return rule;
}

const LocalTimeType& PosixRule::typeAt(int64_t utcSeconds) const {
    if (!daylight) return standard;
    int64_t year = civil::civilFromDays(civil::floorDiv(utcSeconds + standard.offset, civil::SecondsPerDay)).year;
    int64_t startsAt = localChange(start, year) - standard.offset;
    int64_t endsAt = localChange(end, year) - daylight->offset;
    bool inDaylight = startsAt < endsAt ? (utcSeconds >= startsAt && utcSeconds < endsAt)
                                        : !(utcSeconds >= endsAt && utcSeconds < startsAt);
    return inDaylight ? *daylight : standard;
}

Rules Rules::fixed(int32_t offset, std::string abbreviation) {
    Rules rules;
    rules.types_.push_back({offset, false, std::move(abbreviation)});
    return rules;
}

std::optional<Rules> Rules::fromPosix(std::string_view text) {
    auto rule = PosixRule::parse(text);
    if (!rule) return std::nullopt;
    Rules rules;
    rules.types_.push_back(rule->standard);
    rules.future_ = std::move(rule);
    return rules;
}

std::optional<Rules> Rules::fromTzif(std::string_view bytes) {
    TzifHeader header;
    if (!header.read(bytes, 0)) return std::nullopt;
    size_t at = 44;
    int timeSize = 4;
    if (header.version >= '2') {
        // Version 2 repeats the data with 64-bit times after the 32-bit block.
        uint64_t skip = header.blockSize(4);
        if (skip > bytes.size() || !header.read(bytes, at + size_t(skip))) return std::nullopt;
        at += size_t(skip) + 44;
        timeSize = 8;
    }
    if (header.types == 0 || header.blockSize(timeSize) > bytes.size() - at) return std::nullopt;

    Rules rules;
    rules.transitions_.reserve(size_t(header.transitions));
    for (uint64_t k = 0; k < header.transitions; ++k, at += size_t(timeSize)) {
        rules.transitions_.push_back(readBigEndian(bytes, at, timeSize));
    }
    for (uint64_t k = 0; k < header.transitions; ++k, ++at) {
        uint8_t type = static_cast<uint8_t>(bytes[at]);
        if (type >= header.types) return std::nullopt;
        rules.transitionTypes_.push_back(type);
    }
    size_t charsAt = at + size_t(header.types) * 6;
    std::string_view chars = bytes.substr(charsAt, size_t(header.chars));
    for (uint64_t k = 0; k < header.types; ++k, at += 6) {
        LocalTimeType type;
        type.offset = static_cast<int32_t>(readBigEndian(bytes, at, 4));
        type.isDaylightSaving = bytes[at + 4] != 0;
        size_t index = static_cast<uint8_t>(bytes[at + 5]);
        if (index < chars.size()) {
            size_t end = chars.find('\0', index);
            type.abbreviation = std::string(chars.substr(index, end == std::string_view::npos ? end : end - index));
        }
        rules.types_.push_back(std::move(type));
    }
    at = charsAt + size_t(header.chars) + size_t(header.leaps) * size_t(timeSize + 4) +
         size_t(header.standardIndicators + header.utIndicators);

    if (timeSize == 8 && at < bytes.size() && bytes[at] == '\n') {
        size_t end = bytes.find('\n', at + 1);
        if (end != std::string_view::npos && end > at + 1) rules.future_ = PosixRule::parse(bytes.substr(at + 1, end - at - 1));
    }
    return rules;
}

const LocalTimeType& Rules::typeAt(int64_t utcSeconds) const {
    if (transitions_.empty()) return future_ ? future_->typeAt(utcSeconds) : types_.front();
    // Before the first transition the first type applies (RFC 8536, 3.2).
    if (utcSeconds < transitions_.front()) return types_.front();
    auto next = std::upper_bound(transitions_.begin(), transitions_.end(), utcSeconds);
    if (next == transitions_.end() && future_) return future_->typeAt(utcSeconds);
    return types_[transitionTypes_[size_t(next - transitions_.begin() - 1)]];
}

int32_t Rules::offsetForLocalTime(int64_t localSeconds) const {
    // Zones change at most once within a day on either side of a wall time.
    int32_t before = typeAt(localSeconds - civil::SecondsPerDay).offset;
    int32_t after = typeAt(localSeconds + civil::SecondsPerDay).offset;
    if (before == after) return before;
    bool beforeFits = typeAt(localSeconds - before).offset == before;
    bool afterFits = typeAt(localSeconds - after).offset == after;
    if (beforeFits && afterFits) return std::max(before, after);  // the earlier instant
    if (afterFits) return after;
    return before;
}

}  // namespace ns::tz
