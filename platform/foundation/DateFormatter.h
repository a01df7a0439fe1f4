#pragma once
// Dates to text and back by a pattern ("yyyy-MM-dd HH:mm"), in a locale and a
// time zone.
//
// Pattern letters: G era; y year ("yy" two digits, read as 1950-2049); Y year
// of the week; M and L month (MMM short name, MMMM full name); d day; D day
// of the year; E weekday (EEE short, EEEE full); a AM/PM; H 0-23; k 1-24;
// h 1-12; K 0-11; m minute; s second; S fraction of the second; w week of
// the year; Z "+0800" (ZZZZ "GMT+08:00", ZZZZZ "+08:00"); X and x ISO
// offsets ("+08", "+0800", "+08:00"; X writes "Z" for zero); z "GMT+8".
// Other ASCII letters make the pattern invalid; text between single quotes
// is literal ('' is a quote).
//
// Names come from the locale's language: Chinese for "zh", English for any
// other.

#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Date.h"
#include "platform/foundation/Locale.h"
#include "platform/foundation/TimeZone.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

class DateFormatter : public Object {
    RT_DECLARE_CLASS(DateFormatter)
public:
    // No pattern yet, the current locale and the default time zone.
    DateFormatter() = default;

    const std::string& dateFormat() const { return dateFormat_; }
    void setDateFormat(std::string pattern);
    // Until one is set (or after nil is set), the current locale at each use.
    Ref<Locale> locale() const;
    void setLocale(Ref<Locale> locale) { locale_ = std::move(locale); }
    // Until one is set (or after nil is set), the default zone at each use.
    Ref<TimeZone> timeZone() const;
    void setTimeZone(Ref<TimeZone> zone) { timeZone_ = std::move(zone); }

    // "" when the pattern is invalid.
    std::string stringFromDate(const Date& date) const;
    // The whole text must match the pattern and name a real date (no month
    // 13, no February 30); nil otherwise. Fields the pattern lacks are those
    // of 2000-01-01 00:00:00 in the formatter's zone; an offset in the text
    // replaces the zone.
    Ref<Date> dateFromString(std::string_view text) const;

    // A compiled piece of the pattern: one field, or literal text.
    struct Token {
        char letter = 0;  // 0 for literal text
        int count = 0;
        std::string text;
    };

private:
    std::string dateFormat_;
    Ref<Locale> locale_;
    Ref<TimeZone> timeZone_;
    std::vector<Token> tokens_;
    bool valid_ = true;
};

}  // namespace ns
