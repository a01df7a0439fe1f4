#include <gtest/gtest.h>

#include "platform/foundation/DateFormatter.h"

namespace {

using namespace ns;

// 2024-03-01 11:00:00 in Shanghai, a Friday.
constexpr double MarchFirst = 1709262000;

class DateFormatterTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto shanghai = TimeZone::timeZoneWithName("Asia/Shanghai");
        ASSERT_TRUE(shanghai) << "the tz database is not installed";
        TimeZone::setDefaultTimeZone(shanghai);
    }
    void TearDown() override {
        TimeZone::setDefaultTimeZone(nullptr);
        Locale::setCurrentLocaleForTesting(nullptr);
    }

    static Ref<DateFormatter> formatter(const char* pattern, const char* locale = "en_US_POSIX") {
        auto f = std::make_shared<DateFormatter>();
        f->setDateFormat(pattern);
        f->setLocale(Locale::localeWithLocaleIdentifier(locale));
        return f;
    }
    static std::string format(const char* pattern, double seconds, const char* locale = "en_US_POSIX") {
        return formatter(pattern, locale)->stringFromDate(*Date::withTimeIntervalSince1970(seconds));
    }
};

TEST_F(DateFormatterTest, TheLastUpdatedLinePatterns) {
    EXPECT_EQ(format(" HH:mm", MarchFirst), " 11:00");
    EXPECT_EQ(format("MM-dd HH:mm", MarchFirst), "03-01 11:00");
    EXPECT_EQ(format("yyyy-MM-dd HH:mm", MarchFirst), "2024-03-01 11:00");
    EXPECT_EQ(format("yyyy-MM-dd", MarchFirst - 11 * 3600 - 1), "2024-02-29");

    auto utc = formatter("yyyy-MM-dd HH:mm");
    utc->setTimeZone(TimeZone::timeZoneWithName("UTC"));
    EXPECT_EQ(utc->stringFromDate(*Date::withTimeIntervalSince1970(MarchFirst)), "2024-03-01 03:00");
}

TEST_F(DateFormatterTest, FieldsNamesAndQuotedText) {
    EXPECT_EQ(format("EEE, d MMM yyyy h:mm a Z", MarchFirst), "Fri, 1 Mar 2024 11:00 AM +0800");
    EXPECT_EQ(format("EEEE MMMM yy G", MarchFirst), "Friday March 24 AD");
    EXPECT_EQ(format("yyyy-MM-dd'T'HH:mm:ss.SSSXXX", MarchFirst + 0.25), "2024-03-01T11:00:00.250+08:00");
    EXPECT_EQ(format("'o''clock' h 'at' D", MarchFirst), "o'clock 11 at 61");
    EXPECT_EQ(format("H k h K a", MarchFirst - 11 * 3600), "0 24 12 0 AM");
    EXPECT_EQ(format("H k h K a", MarchFirst + 2 * 3600), "13 13 1 1 PM");
    EXPECT_EQ(format("ZZZZ|ZZZZZ|X|XX|x|z", MarchFirst), "GMT+08:00|+08:00|+08|+0800|+08|GMT+8");
    EXPECT_EQ(format("yyyy年M月d日 EEEE a h:mm", MarchFirst, "zh_CN"), "2024年3月1日 星期五 上午 11:00");
    EXPECT_EQ(format("MMM EEE", MarchFirst, "zh_CN"), "3月 周五");

    // Without a locale of its own the formatter follows the current one.
    DateFormatter plain;
    plain.setDateFormat("EEE");
    Locale::setCurrentLocaleForTesting(Locale::localeWithLocaleIdentifier("zh-Hans_CN"));
    EXPECT_EQ(plain.stringFromDate(*Date::withTimeIntervalSince1970(MarchFirst)), "周五");
    Locale::setCurrentLocaleForTesting(Locale::localeWithLocaleIdentifier("en_GB"));
    EXPECT_EQ(plain.stringFromDate(*Date::withTimeIntervalSince1970(MarchFirst)), "Fri");

    auto gmt = formatter("XXX|ZZZZZ|Z|ZZZZ");
    gmt->setTimeZone(TimeZone::timeZoneWithName("GMT"));
    EXPECT_EQ(gmt->stringFromDate(*Date::withTimeIntervalSince1970(0)), "Z|Z|+0000|GMT");
}

TEST_F(DateFormatterTest, FractionsAreCutNotRounded) {
    EXPECT_EQ(format("ss.SSS", MarchFirst + 0.9999), "00.999");
    EXPECT_EQ(format("ss.SSS", 1709262000.123), "00.123");  // stored as .12299990654
    EXPECT_EQ(format("s.S", MarchFirst + 0.96), "0.9");
}

TEST_F(DateFormatterTest, CalendarYearAndWeekYear) {
    double newYearsEve2004 = 1104465600;  // Friday 2004-12-31 12:00 in Shanghai
    EXPECT_EQ(format("yyyy-MM-dd", newYearsEve2004), "2004-12-31");
    EXPECT_EQ(format("YYYY-MM-dd 'week' w", newYearsEve2004), "2005-12-31 week 1");
}

TEST_F(DateFormatterTest, RoundTripsInTheFormattersZone) {
    auto date = Date::withTimeIntervalSince1970(MarchFirst + 3723.5);
    for (const char* pattern : {"yyyy-MM-dd HH:mm:ss.SSS", "EEE, dd MMM yyyy HH:mm:ss.S Z", "yyyyMMddHHmmss.SSS",
                                "MMMM d, yyyy h:mm:ss.SSS a", "yyyy-MM-dd'T'HH:mm:ss.SSSXXX", "D yyyy HH:mm:ss.SSS"}) {
        auto f = formatter(pattern);
        std::string text = f->stringFromDate(*date);
        auto back = f->dateFromString(text);
        ASSERT_TRUE(back) << pattern << " -> " << text;
        EXPECT_DOUBLE_EQ(back->timeIntervalSince1970(), date->timeIntervalSince1970()) << pattern;
    }
    auto chinese = formatter("yyyy年M月d日 EEEE a h:mm", "zh_CN");
    EXPECT_EQ(chinese->dateFromString("2024年3月1日 星期五 下午 1:05")->timeIntervalSince1970(), MarchFirst + 7500);
}

TEST_F(DateFormatterTest, ParsingIsStrict) {
    auto f = formatter("yyyy-MM-dd");
    EXPECT_TRUE(f->dateFromString("2024-03-01"));
    EXPECT_TRUE(f->dateFromString("2024-3-1"));
    for (const char* bad : {"2024-03-01 ", " 2024-03-01", "2024-03-01x", "2024/03/01", "2024-13-01", "2023-02-29",
                            "2024-00-10", "2024-04-31", "", "2024-03", "二〇二四-03-01"}) {
        EXPECT_FALSE(f->dateFromString(bad)) << bad;
    }
    auto time = formatter("HH:mm:ss");
    EXPECT_FALSE(time->dateFromString("24:00:00"));
    EXPECT_FALSE(time->dateFromString("12:60:00"));
    EXPECT_FALSE(formatter("h:mm a")->dateFromString("13:00 PM"));
    EXPECT_FALSE(formatter("EEE d MMM")->dateFromString("Fry 1 Mar"));
}

TEST_F(DateFormatterTest, MissingFieldsAndOffsetsInTheText) {
    // Fields the pattern lacks come from 2000-01-01 00:00 in the formatter's zone.
    auto clock = formatter("HH:mm")->dateFromString("10:30");
    ASSERT_TRUE(clock);
    EXPECT_EQ(format("yyyy-MM-dd HH:mm", clock->timeIntervalSince1970()), "2000-01-01 10:30");

    auto iso = formatter("yyyy-MM-dd'T'HH:mm:ssZ");
    iso->setTimeZone(TimeZone::timeZoneWithName("America/New_York"));
    for (const char* text : {"2024-03-01T11:00:00+0800", "2024-03-01T11:00:00+08:00", "2024-03-01T03:00:00Z",
                             "2024-03-01T03:00:00GMT", "2024-03-01T04:00:00GMT+1", "2024-03-01T11:00:00+08"}) {
        auto date = iso->dateFromString(text);
        ASSERT_TRUE(date) << text;
        EXPECT_EQ(date->timeIntervalSince1970(), MarchFirst) << text;
    }
    EXPECT_FALSE(iso->dateFromString("2024-03-01T11:00:00+8"));
    EXPECT_FALSE(iso->dateFromString("2024-03-01T11:00:00+2500"));

    auto twoDigits = formatter("yy-MM-dd");
    EXPECT_EQ(format("yyyy", twoDigits->dateFromString("49-06-01")->timeIntervalSince1970()), "2049");
    EXPECT_EQ(format("yyyy", twoDigits->dateFromString("50-06-01")->timeIntervalSince1970()), "1950");
    EXPECT_EQ(format("yyyy", twoDigits->dateFromString("2024-06-01")->timeIntervalSince1970()), "2024");
}

TEST_F(DateFormatterTest, InvalidPatternsGiveNothing) {
    auto f = formatter("yyyy-jj");
    EXPECT_EQ(f->stringFromDate(*Date::withTimeIntervalSince1970(MarchFirst)), "");
    EXPECT_FALSE(f->dateFromString("2024-01"));
    EXPECT_FALSE(formatter("")->dateFromString(""));
    EXPECT_EQ(formatter("")->stringFromDate(*Date::withTimeIntervalSince1970(MarchFirst)), "");
    EXPECT_EQ(formatter("yyyy")->className(), "NSDateFormatter");
}

}  // namespace
