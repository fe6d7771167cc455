// Syslog header parsing: month names, weekdays, line times, the year rule and
// every fault the header can have, in the order the checks are made.
#include "input/log_header.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

TEST(MonthFromName, ExaminesOnlyTheDistinguishingLetters)
{
    struct { const char* text; int want; } cases[] = {
        {"Jan", 1}, {"feb", 2}, {"MAR", 3}, {"Apr", 4}, {"May", 5}, {"Jun", 6},
        {"Jul", 7}, {"Aug", 8}, {"Sep", 9}, {"Oct", 10}, {"Nov", 11}, {"Dec", 12},
        {"dec", 12}, {"DEC", 12}, {"Daily", 12}, {"Sunday", 9}, {"Mirror", 3},
        {"jxn", 6}, {"jxl", 7}, {"jxx", -1}, {"Ax", -1}, {"Mxx", -1},
        {"Tue", -1}, {"1Dec", -1}, {"", -1},
        // Short words must not be read past their end.
        {"j", -1}, {"m", -1}, {"ma", -1}, {"a", -1}, {"d", 12},
    };
    for (const auto& c : cases)
        EXPECT_EQ(month_from_name(c.text), c.want) << "month of \"" << c.text << "\"";
}

TEST(DayOfWeek, MatchesKnownDates)
{
    struct { int y, m, d, want; } cases[] = {
        {2026, 12, 6, 0},  // a Sunday
        {2000, 1, 1, 6},   // Saturday, January uses the previous year
        {2024, 2, 29, 4},  // leap day, Thursday
        {2024, 3, 1, 5},
        {1999, 12, 31, 5},
        {2027, 1, 0, 4},   // day 0 is counted, not checked
    };
    for (const auto& c : cases)
        EXPECT_EQ(day_of_week(c.y, c.m, c.d), c.want) << c.y << "-" << c.m << "-" << c.d;
    EXPECT_LT(day_of_week(2026, 12, -3000), 0) << "a negative day gives a negative weekday";
}

class LocalTimeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* tz = std::getenv("TZ");
        saved_ = tz ? tz : "";
        had_tz_ = tz != nullptr;
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
    }
    void TearDown() override
    {
        if (had_tz_)
            setenv("TZ", saved_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::string saved_;
    bool had_tz_ = false;
};

TEST_F(LocalTimeTest, MakeLineTimeUsesLocalTimeAndDaylightSaving)
{
    // 2026-12-01 10:00:00 CET is 09:00:00 UTC; 2026-07-01 10:00:00 CEST is 08:00:00 UTC.
    EXPECT_EQ(make_line_time(126, 12, 1, 10, 0, 0), 1796115600);
    EXPECT_EQ(make_line_time(126, 7, 1, 10, 0, 0), 1782892800);
    // Minutes, seconds and days are normalised, not rejected.
    EXPECT_EQ(make_line_time(126, 12, 1, 10, 0, 60), 1796115660);
    EXPECT_EQ(make_line_time(126, 0, 1, 10, 0, 0), 0);
    EXPECT_EQ(make_line_time(126, 13, 1, 10, 0, 0), 0);
}

// The cache must give exactly the conversion's answer, also in the hours
// around a change of daylight saving time and in zones that shift by half an hour.
TEST_F(LocalTimeTest, CacheAnswersLikeTheConversionAcrossDaylightSavingChanges)
{
    struct { const char* zone; int month, day; } changes[] = {
        {"Europe/Berlin", 3, 29}, {"Europe/Berlin", 10, 25},
        {"Australia/Lord_Howe", 4, 5}, {"Australia/Lord_Howe", 10, 4},
    };
    for (const auto& change : changes) {
        setenv("TZ", change.zone, 1);
        tzset();
        line_time_cache cache;
        for (int hour = 0; hour < 5; ++hour)
            for (int minute = -1; minute <= 60; ++minute)
                for (int second = 0; second < 60; second += 7) {
                    std::time_t want = make_line_time(126, change.month, change.day, hour, minute, second);
                    ASSERT_EQ(cache.lookup(126, change.month, change.day, hour, minute, second), want)
                        << change.zone << " " << change.month << "-" << change.day << " " << hour << ":"
                        << minute << ":" << second;
                }
    }
}

constexpr run_date december_2026{126, 12};
constexpr run_date march_2027{127, 3};

struct fault_case {
    const char* line;
    line_fault want;
};

TEST(ParseLogHeader, ReportsTheFirstFaultOfALine)
{
    const fault_case cases[] = {
        {"Dec  1 10:00:00 mx1 sm-mta[1]: ABC: from=<a@b>", line_fault::none},
        {"  \tdec 1 10:00:00 mx1 sm-mta[1]: ABC: from=<a@b>", line_fault::none},
        {"Tue Dec  1 10:00:00 mx1 sm-mta[1]: ABC: from=<a@b>", line_fault::wrong_month},
        {"Xyz  1 10:00:00 mx1 sm-mta[1]: ABC: from=<a@b>", line_fault::wrong_month},
        {"Dec  1 10:xx:00 mx1 sm-mta[1]: ABC: from=<a@b>", line_fault::wrong_conversion},
        {"Dec  1 10:00 mx1 sm-mta[1]: ABC: from=<a@b>, and more", line_fault::wrong_conversion},
        {"Dec xx 10:00:00 mx1 sm-mta[1]: ABC: from=<a@b>", line_fault::wrong_conversion},
        {"Dec  1 10 :00:00 mx1 sm-mta[1]: ABC: from=<a@b>", line_fault::wrong_conversion},
        {"Dec  1 24:00:00 mx1 sm-mta[1]: ABC: from=<a@b>", line_fault::wrong_conversion},
        {"Dec  1 -1:00:00 mx1 sm-mta[1]: ABC: from=<a@b>", line_fault::wrong_conversion},
        {"Dec -3000 10:00:00 mx1 sm-mta[1]: ABC: from=<a@b>", line_fault::wrong_conversion},
        {"D", line_fault::wrong_conversion},
        {"Dec  1 10:00:00", line_fault::missing_host},
        {"Dec  1 10:00:00 mx1", line_fault::missing_host},
        {"Dec\t1\t10:00:00\tmx1 sm-mta[1]: ABC: from=<a@b>", line_fault::missing_host},
        {"Dec 1  10:00:00 mx1 sm-mta[1]: ABC: from=<a@b>", line_fault::missing_host},
        {"Dec  1 10: 00:00 mx1 sm-mta[1]: ABC: from=<a@b>", line_fault::missing_host},
        {"Dec  1 10:00:00x mx1 sm-mta[1]: ABC: from=<a@b>", line_fault::missing_host},
        {"Dec  1 10:00:00 mx1 sm-mta[1] ABC from=<a@b>", line_fault::missing_process_id},
        {"Dec  1 10:00:00 mx1 sm-mta[1]: garbage without any separator", line_fault::missing_msg_id_1},
        {"Dec  1 10:00:00 mx1 sm-mta[1]: alias database rebuilt by root", line_fault::none},
        {"Dec  1 10:00:00 mx1 sm-mta[1]: Alias database rebuilt by root", line_fault::missing_msg_id_1},
        {"Dec  1 10:00:00 mx1 sm-mta[1]: starttls=client, relay=x", line_fault::none},
        {"Dec  1 10:00:00 mx1 sm-mta[1]: 2B1FsA3x012345:", line_fault::missing_msg_id_2},
        {"Dec  1 10:00:00 mx1 sm-mta[1]: a:b:c:d", line_fault::missing_msg_id_2},
    };
    for (const fault_case& c : cases) {
        log_header header;
        line_time_cache times;
        EXPECT_EQ(parse_log_header(c.line, december_2026, times, header), c.want) << c.line;
    }
}

TEST(ParseLogHeader, TakesHostBodyAndCalendarParts)
{
    log_header header;
    line_time_cache times;
    ASSERT_EQ(parse_log_header("Dec  6 23:59:58   \tmx1.example.org sm-mta[12]:\t  ABC: to=<x@y>, stat=Sent",
                               december_2026, times, header),
              line_fault::none);
    EXPECT_EQ(header.host, "mx1.example.org");
    EXPECT_STREQ(header.line_body, "ABC: to=<x@y>, stat=Sent");
    EXPECT_EQ(header.line_hour, 23);
    EXPECT_EQ(header.line_mday, 6);
    EXPECT_EQ(header.line_wday, 0);
    EXPECT_EQ(header.line_time, make_line_time(126, 12, 6, 23, 59, 58));

    // A colon inside the host belongs to the host; the tag colon comes after it.
    ASSERT_EQ(parse_log_header("Nov 30 01:02:03 host:a tag: ABC: x y", december_2026, times, header), line_fault::none);
    EXPECT_EQ(header.host, "host:a");
    EXPECT_STREQ(header.line_body, "ABC: x y");
}

TEST(ParseLogHeader, DecemberLinesReadInAnotherMonthBelongToTheYearBefore)
{
    log_header header;
    line_time_cache times;
    ASSERT_EQ(parse_log_header("Dec 31 10:00:00 mx1 sm: ABC: x y", march_2027, times, header), line_fault::none);
    EXPECT_EQ(header.line_time, make_line_time(126, 12, 31, 10, 0, 0));
    EXPECT_EQ(header.line_wday, 4);  // 2026-12-31 is a Thursday
    ASSERT_EQ(parse_log_header("Nov 30 10:00:00 mx1 sm: ABC: x y", march_2027, times, header), line_fault::none);
    EXPECT_EQ(header.line_time, make_line_time(127, 11, 30, 10, 0, 0));
    ASSERT_EQ(parse_log_header("Dec 31 10:00:00 mx1 sm: ABC: x y", december_2026, times, header), line_fault::none);
    EXPECT_EQ(header.line_time, make_line_time(126, 12, 31, 10, 0, 0));
}

// Seconds since the epoch of a UTC date and time, by the C library.
std::time_t utc(int year, int month, int day, int hour, int minute, int second)
{
    std::tm broken{};
    broken.tm_year = year - 1900;
    broken.tm_mon = month - 1;
    broken.tm_mday = day;
    broken.tm_hour = hour;
    broken.tm_min = minute;
    broken.tm_sec = second;
    return timegm(&broken);
}

TEST(ParseLogHeader, ReadsEachRfc3339FormAsTheInstantItNames)
{
    struct stamp_case {
        const char* stamp;
        std::time_t instant;
        int hour, mday, wday;
    } cases[] = {
        {"2026-12-06T17:16:24+01:00", utc(2026, 12, 6, 16, 16, 24), 17, 6, 0},
        {"2026-12-06T17:16:24.123456+01:00", utc(2026, 12, 6, 16, 16, 24), 17, 6, 0},
        {"2026-12-06T17:16:24Z", utc(2026, 12, 6, 17, 16, 24), 17, 6, 0},
        {"2026-12-06T17:16:24+0100", utc(2026, 12, 6, 16, 16, 24), 17, 6, 0},
        {"2026-12-06t17:16:24z", utc(2026, 12, 6, 17, 16, 24), 17, 6, 0},
        // Offsets that move the instant to another day and another year: the
        // hour, day and weekday stay those written.
        {"2026-12-07T00:30:00+02:00", utc(2026, 12, 6, 22, 30, 0), 0, 7, 1},
        {"2026-12-06T23:30:00-05:30", utc(2026, 12, 7, 5, 0, 0), 23, 6, 0},
        {"2027-01-01T00:10:00+01:00", utc(2026, 12, 31, 23, 10, 0), 0, 1, 5},
        {"2026-12-31T23:59:59-0800", utc(2027, 1, 1, 7, 59, 59), 23, 31, 4},
        {"2024-02-29T12:00:00Z", utc(2024, 2, 29, 12, 0, 0), 12, 29, 4},
        {"1999-12-31T23:59:60Z", utc(2000, 1, 1, 0, 0, 0), 23, 31, 5},  // leap second
    };
    for (const stamp_case& c : cases) {
        const std::string line = std::string(" ") + c.stamp + "  mx1.example.org sm-mta[12]: ABC: to=<x@y>, stat=Sent";
        log_header header;
        line_time_cache times;
        // The run's date does not matter: the stamp has its year.
        ASSERT_EQ(parse_log_header(line.c_str(), march_2027, times, header), line_fault::none) << c.stamp;
        EXPECT_EQ(header.line_time, c.instant) << c.stamp;
        EXPECT_EQ(header.line_hour, c.hour) << c.stamp;
        EXPECT_EQ(header.line_mday, c.mday) << c.stamp;
        EXPECT_EQ(header.line_wday, c.wday) << c.stamp;
        EXPECT_EQ(header.host, "mx1.example.org") << c.stamp;
        EXPECT_STREQ(header.line_body, "ABC: to=<x@y>, stat=Sent") << c.stamp;
    }
}

TEST(ParseLogHeader, MalformedRfc3339StampsAreConversionErrors)
{
    const char* rest = " mx1 sm-mta[1]: ABC: from=<a@b>";
    const char* bad[] = {
        "2026-13-06T17:16:24Z",      "2026-00-06T17:16:24Z",      "2026-12-32T17:16:24Z",
        "2026-02-29T17:16:24Z",      "2026-12-06T24:00:00Z",      "2026-12-06T17:60:24Z",
        "2026-12-06T17:16:61Z",      "2026-12-06T17:16Z",         "2026-12-06T17:16:24",
        "2026-12-06T17:16:24+1:00",  "2026-12-06T17:16:24+01:0",  "2026-12-06T17:16:24+24:00",
        "2026-12-06T17:16:24+01:60", "2026-12-06T17:16:24GMT",    "2026-12-06T17:16:24.Z",
        "2026-12-06 17:16:24Z",      "2026-1-06T17:16:24Z",       "2026-12-06T17:16:24Zx",
        "2026-12-06T17:16:24+01:00:00",
    };
    for (const char* stamp : bad) {
        const std::string line = std::string(stamp) + rest;
        log_header header;
        line_time_cache times;
        EXPECT_EQ(parse_log_header(line.c_str(), december_2026, times, header), line_fault::wrong_conversion) << stamp;
    }
    // After a good stamp the checks are those of the traditional form.
    const fault_case later[] = {
        {"2026-12-06T17:16:24.123456+01:00", line_fault::missing_host},
        {"2026-12-06T17:16:24Z mx1", line_fault::missing_host},
        {"2026-12-06T17:16:24Z mx1 sm-mta[1] ABC from=<a@b>", line_fault::missing_process_id},
        {"2026-12-06T17:16:24Z mx1 sm-mta[1]: garbage without any separator", line_fault::missing_msg_id_1},
        {"2026-12-06T17:16:24Z mx1 sm-mta[1]: 2B1FsA3x012345:", line_fault::missing_msg_id_2},
        // Not the RFC 3339 form at all: read as a traditional header.
        {"202-12-06T17:16:24Z mx1 sm-mta[1]: ABC: from=<a@b>", line_fault::wrong_month},
    };
    for (const fault_case& c : later) {
        log_header header;
        line_time_cache times;
        EXPECT_EQ(parse_log_header(c.line, december_2026, times, header), c.want) << c.line;
    }
}

}  // namespace
