// WHEN and DAY texts as case tables, read in Europe/Berlin (a zone with an
// offset and daylight saving time) against fixed clocks: each result is shown
// as a UTC stamp, so the table reads as the instant each text names.
#include "driver/time_window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace {

// Sets TZ for one test and puts the previous value back.
class zone_setting {
public:
    explicit zone_setting(const char* zone)
    {
        if (const char* old = std::getenv("TZ"))
            old_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~zone_setting()
    {
        if (old_.empty())
            unsetenv("TZ");
        else
            setenv("TZ", old_.c_str(), 1);
        tzset();
    }

private:
    std::string old_;
};

// A UTC stamp "YYYY-MM-DDThh:mm:ssZ" as a Unix time, through the C library's own view of UTC.
std::time_t utc(const char* stamp)
{
    std::tm broken{};
    EXPECT_NE(strptime(stamp, "%Y-%m-%dT%H:%M:%SZ", &broken), nullptr) << stamp;
    return timegm(&broken);
}

std::string shown(std::optional<long long> time)
{
    if (!time)
        return "invalid";
    const auto moment = static_cast<std::time_t>(*time);
    std::tm broken{};
    gmtime_r(&moment, &broken);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &broken);
    return text;
}

struct text_case {
    const char* text;
    const char* want;  // a UTC stamp, or "invalid"
};

TEST(TimeWindow, WhenTextsInLocalTimeWithOffsetsOrRelativeToNow)
{
    zone_setting zone("Europe/Berlin");
    const std::time_t now = utc("2026-12-07T14:30:00Z");  // 15:30 in Berlin
    const text_case cases[] = {
        {"today", "2026-12-06T23:00:00Z"},
        {"yesterday", "2026-12-05T23:00:00Z"},
        {"2026-12-07", "2026-12-06T23:00:00Z"},
        {"2026-12-07 10:00", "2026-12-07T09:00:00Z"},
        {"2026-12-07T10:00", "2026-12-07T09:00:00Z"},
        {"2026-12-07t10:00:30", "2026-12-07T09:00:30Z"},
        {"2026-07-07 10:00:30", "2026-07-07T08:00:30Z"},  // summer time
        {"2026-12-07 10:00:30.75", "2026-12-07T09:00:30Z"},
        {"2026-12-07T10:00:00+01:00", "2026-12-07T09:00:00Z"},
        {"2026-12-07T10:00:00Z", "2026-12-07T10:00:00Z"},
        {"2026-12-07T10:00:00z", "2026-12-07T10:00:00Z"},
        {"2026-12-07T10:00:00.999999Z", "2026-12-07T10:00:00Z"},
        {"2026-12-07T10:00:00+0530", "2026-12-07T04:30:00Z"},
        {"2026-12-07T10:00:00-03:00", "2026-12-07T13:00:00Z"},
        {"2026-12-07 10:00+01:00", "2026-12-07T09:00:00Z"},
        {"2026-12-31T23:59:59-23:59", "2027-01-01T23:58:59Z"},
        {"2028-02-29", "2028-02-28T23:00:00Z"},
        {"2000-02-29", "2000-02-28T23:00:00Z"},
        // Malformed: each field out of range, a missing or extra part, other spellings.
        {"", "invalid"},
        {"Today", "invalid"},
        {"today ", "invalid"},
        {" 2026-12-07", "invalid"},
        {"2026-13-01", "invalid"},
        {"2026-00-10", "invalid"},
        {"2026-12-32", "invalid"},
        {"2026-11-31", "invalid"},
        {"2027-02-29", "invalid"},
        {"1900-02-29", "invalid"},
        {"2026-12-7", "invalid"},
        {"26-12-07", "invalid"},
        {"2026/12/07", "invalid"},
        {"2026-12-07T", "invalid"},
        {"2026-12-07 10", "invalid"},
        {"2026-12-07 1:00", "invalid"},
        {"2026-12-07T24:00", "invalid"},
        {"2026-12-07T10:60", "invalid"},
        {"2026-12-07T10:00:60", "invalid"},
        {"2026-12-07T10:00:", "invalid"},
        {"2026-12-07T10:00:00.", "invalid"},
        {"2026-12-07T10:00:00.Z", "invalid"},
        {"2026-12-07T10:00:00+01", "invalid"},
        {"2026-12-07T10:00:00+24:00", "invalid"},
        {"2026-12-07T10:00:00+01:60", "invalid"},
        {"2026-12-07T10:00:00Zjunk", "invalid"},
        {"2026-12-07T10:00:00 +01:00", "invalid"},
        {"2026-12-07_10:00", "invalid"},
        {"2026-12-07\n", "invalid"},
        {"\xef\xbc\x92\xef\xbc\x90\xef\xbc\x92\xef\xbc\x96-12-07", "invalid"},
    };
    for (const text_case& c : cases)
        EXPECT_EQ(shown(parse_when(c.text, now)), c.want) << '"' << c.text << '"';
}

TEST(TimeWindow, DayTextsAreDatesOrRelativeDaysOnly)
{
    zone_setting zone("Europe/Berlin");
    const std::time_t now = utc("2026-12-07T14:30:00Z");
    const text_case cases[] = {
        {"today", "2026-12-06T23:00:00Z"},        {"yesterday", "2026-12-05T23:00:00Z"},
        {"2026-03-29", "2026-03-28T23:00:00Z"},   {"2026-12-07 00:00", "invalid"},
        {"2026-12-07T00:00:00Z", "invalid"},      {"tomorrow", "invalid"},
        {"2026-02-30", "invalid"},                {"2026-12-07x", "invalid"},
    };
    for (const text_case& c : cases)
        EXPECT_EQ(shown(parse_day(c.text, now)), c.want) << '"' << c.text << '"';
}

TEST(TimeWindow, RelativeDaysFollowTheClockAcrossMonthYearAndLocalMidnight)
{
    zone_setting zone("Europe/Berlin");
    struct { const char* now; const char* today; const char* yesterday; } cases[] = {
        // 00:30 on January 1 in Berlin is still December 31 in UTC.
        {"2026-12-31T23:30:00Z", "2026-12-31T23:00:00Z", "2026-12-30T23:00:00Z"},
        {"2026-12-31T22:59:59Z", "2026-12-30T23:00:00Z", "2026-12-29T23:00:00Z"},
        {"2026-03-01T10:00:00Z", "2026-02-28T23:00:00Z", "2026-02-27T23:00:00Z"},
        // The day after the change to summer time: yesterday had 23 hours.
        {"2026-03-30T10:00:00Z", "2026-03-29T22:00:00Z", "2026-03-28T23:00:00Z"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(shown(parse_when("today", utc(c.now))), c.today) << c.now;
        EXPECT_EQ(shown(parse_when("yesterday", utc(c.now))), c.yesterday) << c.now;
    }
}

TEST(TimeWindow, ADayEndsAtTheNextLocalMidnightWhateverItsLength)
{
    zone_setting zone("Europe/Berlin");
    const std::time_t now = utc("2026-12-07T14:30:00Z");
    struct { const char* day; const char* start; const char* end; } cases[] = {
        {"2026-12-07", "2026-12-06T23:00:00Z", "2026-12-07T23:00:00Z"},
        {"2026-12-31", "2026-12-30T23:00:00Z", "2026-12-31T23:00:00Z"},
        {"2026-03-29", "2026-03-28T23:00:00Z", "2026-03-29T22:00:00Z"},  // 23 hours
        {"2026-10-25", "2026-10-24T22:00:00Z", "2026-10-25T23:00:00Z"},  // 25 hours
        {"2028-02-28", "2028-02-27T23:00:00Z", "2028-02-28T23:00:00Z"},
    };
    for (const auto& c : cases) {
        const time_window window = window_of_options(std::nullopt, std::nullopt, std::string(c.day), now);
        EXPECT_EQ(window.error, "") << c.day;
        EXPECT_EQ(shown(window.start), c.start) << c.day;
        EXPECT_EQ(shown(window.end), c.end) << c.day;
        EXPECT_EQ(shown(next_day_start(*window.start + 3600)), c.end) << c.day << ": from within the day";
    }
}

TEST(TimeWindow, OptionsGiveTheWindowOrOneMessageNamingTheOptionAndItsValue)
{
    zone_setting zone("UTC");
    const std::time_t now = utc("2026-12-07T14:30:00Z");
    using text = std::optional<std::string>;
    const text none;
    struct { text since, until, day; const char *start, *end, *error; } cases[] = {
        {none, none, none, "invalid", "invalid", ""},
        {"2026-12-01", none, none, "2026-12-01T00:00:00Z", "invalid", ""},
        {none, "today", none, "invalid", "2026-12-07T00:00:00Z", ""},
        {"yesterday", "today", none, "2026-12-06T00:00:00Z", "2026-12-07T00:00:00Z", ""},
        {"2026-12-06 23:59:59", "2026-12-07", none, "2026-12-06T23:59:59Z", "2026-12-07T00:00:00Z", ""},
        {none, none, "yesterday", "2026-12-06T00:00:00Z", "2026-12-07T00:00:00Z", ""},
        {"2026-13-01", none, none, "", "", "ERROR: invalid time for --since: 2026-13-01\n"},
        {"2026-12-01", "12:00", none, "", "", "ERROR: invalid time for --until: 12:00\n"},
        {"soon", "later", none, "", "", "ERROR: invalid time for --since: soon\n"},
        {none, none, "2026-12-07 10:00", "", "", "ERROR: invalid time for --day: 2026-12-07 10:00\n"},
        {"2026-12-08", "2026-12-07", none, "", "", "ERROR: --since 2026-12-08 is not before --until 2026-12-07\n"},
        {"today", "2026-12-07T00:00:00Z", none, "", "",
         "ERROR: --since today is not before --until 2026-12-07T00:00:00Z\n"},
        {"today", none, "today", "", "", "ERROR: --day cannot be combined with --since or --until\n"},
        {none, "x", "x", "", "", "ERROR: --day cannot be combined with --since or --until\n"},
    };
    for (const auto& c : cases) {
        const time_window window = window_of_options(c.since, c.until, c.day, now);
        const std::string label = c.since.value_or("-") + " " + c.until.value_or("-") + " " + c.day.value_or("-");
        EXPECT_EQ(window.error, c.error) << label;
        if (*c.error == '\0') {
            EXPECT_EQ(shown(window.start), c.start) << label;
            EXPECT_EQ(shown(window.end), c.end) << label;
        }
    }
}

}  // namespace
