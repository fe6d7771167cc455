// Syslog header parsing: month names and line times (local time, the year rule, RFC 3339 stamps).
// Every fault a header can have is pinned end to end (header_faults, malformed_lines).
#include "input/log_header.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

TEST(LogHeader, MonthFromNameExaminesOnlyTheDistinguishingLetters)
{
    struct { const char* text; int want; } cases[] = {
        {"Jan", 1}, {"feb", 2}, {"MAR", 3}, {"Apr", 4}, {"May", 5}, {"Jun", 6}, {"Jul", 7}, {"Aug", 8}, {"Sep", 9},
        {"Oct", 10}, {"Nov", 11}, {"DEC", 12}, {"Daily", 12}, {"Mirror", 3}, {"jxn", 6}, {"jxl", 7}, {"jxx", -1},
        {"Ax", -1}, {"Mxx", -1}, {"Tue", -1}, {"1Dec", -1}, {"", -1}, {"j", -1}, {"ma", -1}, {"a", -1}, {"d", 12},
    };
    for (const auto& c : cases)
        EXPECT_EQ(month_from_name(c.text), c.want) << "month of \"" << c.text << "\"";
}

// Local time with daylight saving; the cache must give exactly the
// conversion's answer, also around changes and in a zone that shifts by half an hour.
TEST(LogHeader, LineTimesAreLocalAndTheCacheAnswersLikeTheConversion)
{
    const char* tz = std::getenv("TZ");
    const std::string saved = tz ? tz : "";  // restored at the end
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    EXPECT_EQ(make_line_time(126, 12, 1, 10, 0, 60), 1796115660);  // 09:01 UTC
    EXPECT_EQ(make_line_time(126, 7, 1, 10, 0, 0), 1782892800);    // 08:00 UTC
    EXPECT_EQ(make_line_time(126, 13, 1, 10, 0, 0), 0);
    struct { const char* zone; int month, day; } changes[] = {
        {"Europe/Berlin", 3, 29}, {"Europe/Berlin", 10, 25}, {"Australia/Lord_Howe", 4, 5}, {"Australia/Lord_Howe", 10, 4}};
    for (const auto& change : changes) {
        setenv("TZ", change.zone, 1);
        tzset();
        line_time_cache cache;
        for (int hour = 0; hour < 5; ++hour)
            for (int minute = -1; minute <= 60; ++minute)
                for (int second = 0; second < 60; second += 7)
                    ASSERT_EQ(cache.lookup(126, change.month, change.day, hour, minute, second),
                              make_line_time(126, change.month, change.day, hour, minute, second))
                        << change.zone << " " << change.month << "-" << change.day << " " << hour << ":" << minute;
    }
    tz ? setenv("TZ", saved.c_str(), 1) : unsetenv("TZ");
    tzset();
}

constexpr run_date march_2027{127, 3};

std::time_t utc(int year, int month, int day, int hour, int minute, int second)
{
    std::tm broken{};
    broken.tm_year = year - 1900, broken.tm_mon = month - 1, broken.tm_mday = day;
    broken.tm_hour = hour, broken.tm_min = minute, broken.tm_sec = second;
    return timegm(&broken);
}

// The instant, hour, day and weekday of a line. Traditional lines take the
// run's year, December lines read in another month the year before; an RFC
// 3339 stamp names its instant, and its hour, day and weekday stay those written.
TEST(LogHeader, TakesTimeHostAndBody)
{
    struct { const char* stamp; run_date run; std::time_t instant; int hour, mday, wday; } cases[] = {
        {"Dec  6 23:59:58", run_date{126, 12}, make_line_time(126, 12, 6, 23, 59, 58), 23, 6, 0},
        {"Dec 31 10:00:00", march_2027, make_line_time(126, 12, 31, 10, 0, 0), 10, 31, 4},
        {"Nov 30 10:00:00", march_2027, make_line_time(127, 11, 30, 10, 0, 0), 10, 30, 2},
        {"2026-12-06t17:16:24.123456+0100", march_2027, utc(2026, 12, 6, 16, 16, 24), 17, 6, 0},
        {"2026-12-07T00:30:00+02:00", march_2027, utc(2026, 12, 6, 22, 30, 0), 0, 7, 1},
        {"2026-12-06T23:30:00-05:30", march_2027, utc(2026, 12, 7, 5, 0, 0), 23, 6, 0},
        {"2027-01-01T00:10:00+01:00", march_2027, utc(2026, 12, 31, 23, 10, 0), 0, 1, 5},
        {"2000-02-29T12:00:00z", march_2027, utc(2000, 2, 29, 12, 0, 0), 12, 29, 2},
        {"1999-12-31T23:59:60Z", march_2027, utc(2000, 1, 1, 0, 0, 0), 23, 31, 5},  // leap second
    };
    for (const auto& c : cases) {
        const std::string line = std::string(" ") + c.stamp + "   \tmx1.example.org sm-mta[12]:\t  ABC: to=<x@y>, stat=Sent";
        log_header header;
        line_time_cache times;
        ASSERT_EQ(parse_log_header(line.c_str(), c.run, times, header), line_fault::none) << c.stamp;
        EXPECT_EQ(header.line_time, c.instant) << c.stamp;
        EXPECT_EQ(header.line_hour * 10000 + header.line_mday * 10 + header.line_wday, c.hour * 10000 + c.mday * 10 + c.wday)
            << c.stamp;
        EXPECT_EQ(std::string(header.host) + "|" + header.line_body, "mx1.example.org|ABC: to=<x@y>, stat=Sent") << c.stamp;
    }
}

}  // namespace
