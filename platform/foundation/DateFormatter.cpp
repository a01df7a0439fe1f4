#include "platform/foundation/DateFormatter.h"

#include <array>
#include <cmath>
#include <optional>

#include "platform/foundation/Calendar.h"
#include "platform/foundation/CalendarCivil.h"

namespace ns {

RT_DEFINE_CLASS(DateFormatter, Object, "NSDateFormatter")

namespace {

using Token = DateFormatter::Token;

struct LocaleNames {
    std::array<const char*, 12> shortMonths, longMonths, narrowMonths;
    std::array<const char*, 7> shortWeekdays, longWeekdays, narrowWeekdays;  // from Sunday
    std::array<const char*, 2> amPm;
    std::array<const char*, 2> shortEras, longEras, narrowEras;  // before, then in the common era
};

const LocaleNames English = {
    {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"},
    {"January", "February", "March", "April", "May", "June", "July", "August", "September", "October", "November",
     "December"},
    {"J", "F", "M", "A", "M", "J", "J", "A", "S", "O", "N", "D"},
    {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"},
    {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"},
    {"S", "M", "T", "W", "T", "F", "S"},
    {"AM", "PM"},
    {"BC", "AD"},
    {"Before Christ", "Anno Domini"},
    {"B", "A"},
};

const LocaleNames Chinese = {
    {"1月", "2月", "3月", "4月", "5月", "6月", "7月", "8月", "9月", "10月", "11月", "12月"},
    {"一月", "二月", "三月", "四月", "五月", "六月", "七月", "八月", "九月", "十月", "十一月", "十二月"},
    {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"},
    {"周日", "周一", "周二", "周三", "周四", "周五", "周六"},
    {"星期日", "星期一", "星期二", "星期三", "星期四", "星期五", "星期六"},
    {"日", "一", "二", "三", "四", "五", "六"},
    {"上午", "下午"},
    {"公元前", "公元"},
    {"公元前", "公元"},
    {"公元前", "公元"},
};

const LocaleNames& namesFor(const Locale& locale) { return locale.languageCode() == "zh" ? Chinese : English; }

constexpr std::string_view PatternLetters = "GyYMLdDEaHkhKmsSwZXxz";

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool isNumericToken(const Token& t) {
    switch (t.letter) {
        case 'y': case 'Y': case 'd': case 'D': case 'H': case 'k': case 'h': case 'K': case 'm': case 's': case 'S':
        case 'w':
            return true;
        case 'M': case 'L':
            return t.count <= 2;
        default:
            return false;
    }
}

std::vector<Token> compile(std::string_view pattern, bool& valid) {
    std::vector<Token> tokens;
    valid = true;
    auto literal = [&](std::string_view text) {
        if (!tokens.empty() && tokens.back().letter == 0) tokens.back().text += text;
        else tokens.push_back({0, 0, std::string(text)});
    };
    size_t i = 0;
    while (i < pattern.size()) {
        char c = pattern[i];
        if (c == '\'') {
            if (i + 1 < pattern.size() && pattern[i + 1] == '\'') {
                literal("'");
                i += 2;
                continue;
            }
            std::string text;
            size_t j = i + 1;
            while (j < pattern.size()) {
                if (pattern[j] == '\'') {
                    if (j + 1 < pattern.size() && pattern[j + 1] == '\'') {
                        text += '\'';
                        j += 2;
                        continue;
                    }
                    break;
                }
                text += pattern[j++];
            }
            literal(text);
            i = j + 1;
            continue;
        }
        if (isAsciiLetter(c)) {
            size_t j = i;
            while (j < pattern.size() && pattern[j] == c) ++j;
            if (PatternLetters.find(c) == std::string_view::npos) valid = false;
            tokens.push_back({c, int(j - i), {}});
            i = j;
            continue;
        }
        literal(pattern.substr(i, 1));
        ++i;
    }
    return tokens;
}

// ---- Formatting ----

struct Fields {
    int64_t year = 0;  // astronomical: 0 is 1 BC
    int month = 1, day = 1, hour = 0, minute = 0, second = 0;
    int64_t microseconds = 0;
    int weekday = 1;
    int dayOfYear = 1;
    int64_t offset = 0;
};

Fields breakDown(const Date& date, const TimeZone& zone) {
    double t = date.timeIntervalSince1970();
    if (!std::isfinite(t)) t = 0;
    t = std::clamp(t, -1e14, 1e14);
    double whole = std::floor(t);
    int64_t seconds = int64_t(whole);
    // Microseconds, so a fraction stored as 0.12299999 still shows as .123.
    int64_t micros = std::llround((t - whole) * 1e6);
    if (micros >= 1'000'000) {
        ++seconds;
        micros -= 1'000'000;
    }
    Fields f;
    f.offset = zone.secondsFromGMTForUnixTime(seconds);
    int64_t local = seconds + f.offset;
    int64_t days = civil::floorDiv(local, civil::SecondsPerDay);
    int64_t secondOfDay = civil::floorMod(local, civil::SecondsPerDay);
    civil::YearMonthDay ymd = civil::civilFromDays(days);
    f.year = ymd.year;
    f.month = ymd.month;
    f.day = ymd.day;
    f.hour = int(secondOfDay / 3600);
    f.minute = int(secondOfDay / 60 % 60);
    f.second = int(secondOfDay % 60);
    f.microseconds = micros;
    f.weekday = civil::weekdayFromDays(days);
    f.dayOfYear = int(days - civil::daysFromCivil(ymd.year, 1, 1)) + 1;
    return f;
}

void appendPadded(std::string& out, int64_t value, int width) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (value < 0) out += '-';
    if (int(digits.size()) < width) out.append(size_t(width) - digits.size(), '0');
    out += digits;
}

struct OffsetStyle {
    const char* prefix = "";  // "GMT"
    bool colon = false;
    bool minutesOnlyWhenNeeded = false;
    bool hoursUnpadded = false;
    const char* zero = nullptr;  // text written for a zero offset, when it has one
};

std::string offsetText(int64_t offset, const OffsetStyle& style) {
    if (offset == 0 && style.zero) return style.zero;
    int64_t minutes = (offset < 0 ? -offset : offset) / 60;
    std::string out = style.prefix;
    out += offset < 0 ? '-' : '+';
    appendPadded(out, minutes / 60, style.hoursUnpadded ? 1 : 2);
    if (!style.minutesOnlyWhenNeeded || minutes % 60 != 0) {
        if (style.colon) out += ':';
        appendPadded(out, minutes % 60, 2);
    }
    return out;
}

std::string zoneText(char letter, int count, int64_t offset) {
    switch (letter) {
        case 'Z':
            if (count <= 3) return offsetText(offset, {});
            if (count == 4) return offsetText(offset, {"GMT", true, false, false, "GMT"});
            return offsetText(offset, {"", true, false, false, "Z"});
        case 'z':
            if (count <= 3) return offsetText(offset, {"GMT", true, true, true, "GMT"});
            return offsetText(offset, {"GMT", true, false, false, "GMT"});
        default: {  // 'X' writes "Z" for zero, 'x' does not
            const char* zero = letter == 'X' ? "Z" : nullptr;
            if (count == 1) return offsetText(offset, {"", false, true, false, zero});
            if (count == 2 || count == 4) return offsetText(offset, {"", false, false, false, zero});
            return offsetText(offset, {"", true, false, false, zero});
        }
    }
}

const char* name(const LocaleNames& names, char letter, int count, int index) {
    switch (letter) {
        case 'M': case 'L':
            return count == 3 ? names.shortMonths[size_t(index)]
                              : count == 4 ? names.longMonths[size_t(index)] : names.narrowMonths[size_t(index)];
        case 'E':
            return count <= 3 ? names.shortWeekdays[size_t(index)]
                              : count == 4 ? names.longWeekdays[size_t(index)] : names.narrowWeekdays[size_t(index)];
        case 'G':
            return count <= 3 ? names.shortEras[size_t(index)]
                              : count == 4 ? names.longEras[size_t(index)] : names.narrowEras[size_t(index)];
        default:
            return names.amPm[size_t(index)];
    }
}

// ---- Parsing ----

struct Reader {
    std::string_view text;
    size_t at = 0;

    bool done() const { return at >= text.size(); }
    bool digit() const { return !done() && text[at] >= '0' && text[at] <= '9'; }

    bool number(int minDigits, int maxDigits, int64_t& value, int& used) {
        value = 0;
        used = 0;
        while (used < maxDigits && digit()) {
            value = value * 10 + (text[at++] - '0');
            ++used;
        }
        return used >= minDigits;
    }

    bool startsWithIgnoringCase(std::string_view word) const {
        if (text.size() - at < word.size()) return false;
        for (size_t k = 0; k < word.size(); ++k) {
            char a = text[at + k], b = word[k];
            if (a >= 'A' && a <= 'Z') a = char(a - 'A' + 'a');
            if (b >= 'A' && b <= 'Z') b = char(b - 'A' + 'a');
            if (a != b) return false;
        }
        return true;
    }

    // Widens the match to the longest name the text starts with; true once
    // any name has matched.
    template <size_t N>
    bool name(const std::array<const char*, N>& names, int& index, size_t& longest) {
        for (size_t k = 0; k < N; ++k) {
            std::string_view candidate = names[k];
            if (candidate.size() > longest && startsWithIgnoringCase(candidate)) {
                longest = candidate.size();
                index = int(k);
            }
        }
        return longest > 0;
    }

    // "Z", "GMT", "UTC", "GMT+8", "+08", "+0800", "+08:00" and the like.
    bool offset(int64_t& out) {
        bool prefixed = false;
        if (startsWithIgnoringCase("GMT") || startsWithIgnoringCase("UTC")) {
            at += 3;
            prefixed = true;
        } else if (!done() && text[at] == 'Z') {
            ++at;
            out = 0;
            return true;
        }
        if (done() || (text[at] != '+' && text[at] != '-')) {
            out = 0;
            return prefixed;
        }
        int sign = text[at++] == '-' ? -1 : 1;
        int64_t hours = 0, minutes = 0;
        int used = 0;
        if (!number(prefixed ? 1 : 2, 2, hours, used)) return false;
        if (!done() && text[at] == ':') {
            ++at;
            if (!number(2, 2, minutes, used)) return false;
        } else if (digit()) {
            if (!number(2, 2, minutes, used)) return false;
        }
        if (hours > 18 || minutes > 59) return false;
        out = sign * (hours * 3600 + minutes * 60);
        return true;
    }
};

struct Parsed {
    std::optional<int64_t> year, month, day, dayOfYear, hour24, hour12, minute, second, offset;
    double fraction = 0;
    bool pm = false;
    bool beforeCommonEra = false;
};

int maxDigits(const Token& t) {
    switch (t.letter) {
        case 'y': case 'Y': case 'S': return 9;
        case 'D': return std::max(t.count, 3);
        default: return std::max(t.count, 2);
    }
}

bool parseToken(Reader& r, const Token& t, const Token* next, const LocaleNames& names, Parsed& p) {
    if (t.letter == 0) {
        if (r.text.substr(r.at, t.text.size()) != t.text) return false;
        r.at += t.text.size();
        return true;
    }
    if (isNumericToken(t)) {
        // Abutting numbers ("yyyyMMdd") are told apart by their widths.
        bool abutting = next && next->letter != 0 && isNumericToken(*next);
        int64_t v = 0;
        int used = 0;
        if (!r.number(abutting ? t.count : 1, abutting ? t.count : maxDigits(t), v, used)) return false;
        switch (t.letter) {
            case 'y':
                if (t.count == 2 && used == 2) v += v < 50 ? 2000 : 1900;
                p.year = v;
                break;
            case 'Y':
                if (t.count == 2 && used == 2) v += v < 50 ? 2000 : 1900;
                if (!p.year) p.year = v;
                break;
            case 'M': case 'L': p.month = v; break;
            case 'd': p.day = v; break;
            case 'D': p.dayOfYear = v; break;
            case 'H':
                if (v > 23) return false;
                p.hour24 = v;
                break;
            case 'k':
                if (v < 1 || v > 24) return false;
                p.hour24 = v % 24;
                break;
            case 'h':
                if (v < 1 || v > 12) return false;
                p.hour12 = v % 12;
                break;
            case 'K':
                if (v > 11) return false;
                p.hour12 = v;
                break;
            case 'm':
                if (v > 59) return false;
                p.minute = v;
                break;
            case 's':
                if (v > 59) return false;
                p.second = v;
                break;
            case 'S':
                p.fraction = double(v) / std::pow(10.0, used);
                break;
            case 'w':
                if (v < 1 || v > 53) return false;
                break;
        }
        return true;
    }
    int index = -1;
    size_t longest = 0;
    switch (t.letter) {
        case 'M': case 'L':
            r.name(names.longMonths, index, longest);
            if (!r.name(names.shortMonths, index, longest)) return false;
            p.month = index + 1;
            break;
        case 'E':
            r.name(names.longWeekdays, index, longest);
            if (!r.name(names.shortWeekdays, index, longest)) return false;
            break;  // the date fields decide the day
        case 'a':
            if (!r.name(names.amPm, index, longest)) return false;
            p.pm = index == 1;
            break;
        case 'G':
            r.name(names.longEras, index, longest);
            if (!r.name(names.shortEras, index, longest)) return false;
            p.beforeCommonEra = index == 0;
            break;
        default: {  // Z, z, X, x
            int64_t offset = 0;
            if (!r.offset(offset)) return false;
            p.offset = offset;
            return true;
        }
    }
    r.at += longest;
    return true;
}

}  // namespace

void DateFormatter::setDateFormat(std::string pattern) {
    dateFormat_ = std::move(pattern);
    tokens_ = compile(dateFormat_, valid_);
}

Ref<TimeZone> DateFormatter::timeZone() const { return timeZone_ ? timeZone_ : TimeZone::defaultTimeZone(); }

Ref<Locale> DateFormatter::locale() const { return locale_ ? locale_ : Locale::currentLocale(); }

std::string DateFormatter::stringFromDate(const Date& date) const {
    if (!valid_) return "";
    Ref<TimeZone> zone = timeZone();
    const LocaleNames& names = namesFor(*locale());
    Fields f = breakDown(date, *zone);
    Ref<DateComponents> weeks;
    auto weekFields = [&]() -> const DateComponents& {
        if (!weeks) {
            Calendar calendar;
            calendar.setTimeZone(zone);
            weeks = calendar.componentsFromDate(CalendarUnitWeekOfYear | CalendarUnitYearForWeekOfYear, date);
        }
        return *weeks;
    };
    int64_t eraYear = f.year > 0 ? f.year : 1 - f.year;

    std::string out;
    for (const Token& t : tokens_) {
        switch (t.letter) {
            case 0: out += t.text; break;
            case 'G': out += name(names, 'G', t.count, f.year > 0 ? 1 : 0); break;
            case 'y':
            case 'Y': {
                int64_t year = t.letter == 'y' ? eraYear : weekFields().yearForWeekOfYear();
                if (t.count == 2) appendPadded(out, civil::floorMod(year, 100), 2);
                else appendPadded(out, year, t.count);
                break;
            }
            case 'M':
            case 'L':
                if (t.count <= 2) appendPadded(out, f.month, t.count);
                else out += name(names, 'M', t.count, f.month - 1);
                break;
            case 'd': appendPadded(out, f.day, t.count); break;
            case 'D': appendPadded(out, f.dayOfYear, t.count); break;
            case 'E': out += name(names, 'E', t.count, f.weekday - 1); break;
            case 'a': out += name(names, 'a', t.count, f.hour >= 12 ? 1 : 0); break;
            case 'H': appendPadded(out, f.hour, t.count); break;
            case 'k': appendPadded(out, f.hour == 0 ? 24 : f.hour, t.count); break;
            case 'h': appendPadded(out, f.hour % 12 == 0 ? 12 : f.hour % 12, t.count); break;
            case 'K': appendPadded(out, f.hour % 12, t.count); break;
            case 'm': appendPadded(out, f.minute, t.count); break;
            case 's': appendPadded(out, f.second, t.count); break;
            case 'S': {
                // Cut, not rounded, to the pattern's digits.
                std::string digits = std::to_string(f.microseconds + 1'000'000).substr(1);
                if (t.count <= 6) out += digits.substr(0, size_t(t.count));
                else out += digits + std::string(size_t(t.count - 6), '0');
                break;
            }
            case 'w': appendPadded(out, weekFields().weekOfYear(), t.count); break;
            default: out += zoneText(t.letter, t.count, f.offset); break;
        }
    }
    return out;
}

Ref<Date> DateFormatter::dateFromString(std::string_view text) const {
    if (!valid_ || tokens_.empty()) return nullptr;
    const LocaleNames& names = namesFor(*locale());
    Reader reader{text};
    Parsed p;
    for (size_t k = 0; k < tokens_.size(); ++k) {
        const Token* next = k + 1 < tokens_.size() ? &tokens_[k + 1] : nullptr;
        if (!parseToken(reader, tokens_[k], next, names, p)) return nullptr;
    }
    if (!reader.done()) return nullptr;

    int64_t year = p.year.value_or(2000);
    if (p.beforeCommonEra) year = 1 - year;
    int64_t month = p.month.value_or(1);
    int64_t day = p.day.value_or(1);
    if (p.dayOfYear && !p.month && !p.day) {
        if (*p.dayOfYear < 1 || *p.dayOfYear > (civil::isLeapYear(year) ? 366 : 365)) return nullptr;
        civil::YearMonthDay ymd = civil::civilFromDays(civil::daysFromCivil(year, 1, 1) + *p.dayOfYear - 1);
        month = ymd.month;
        day = ymd.day;
    }
    if (month < 1 || month > 12 || day < 1 || day > civil::daysInMonth(year, int(month))) return nullptr;
    int64_t hour = p.hour24 ? *p.hour24 : p.hour12.value_or(0) + (p.hour12 && p.pm ? 12 : 0);

    int64_t local = civil::daysFromCivil(year, int(month), int(day)) * civil::SecondsPerDay + hour * 3600 +
                    p.minute.value_or(0) * 60 + p.second.value_or(0);
    int64_t offset = p.offset ? *p.offset : timeZone()->secondsFromGMTForLocalTime(local);
    return Date::withTimeIntervalSince1970(double(local - offset) + p.fraction);
}

}  // namespace ns
