// Syslog header parsing: the traditional month name and "%d %d:%d:%d" day and
// time, or an RFC 3339 time stamp; then the host word and process tag. Works
// on raw log text and never reads past its terminating NUL.
#include "input/log_header.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "util/text_util.h"
#include "input/field_extraction.h"
#include "util/number_scan.h"

namespace {

// The letter at `index`, or NUL when the text ends before it.
char letter_at(const char* text, int index)
{
    for (int i = 0; i < index; ++i)
        if (text[i] == '\0')
            return '\0';
    return lower_ascii(text[index]);
}

// One "%d" conversion as sscanf does it: white space skipped, an optional
// sign, at least one digit; the number is read as a long and kept as an int.
bool scan_number(const char*& p, int& value, const char*& number_start)
{
    while (is_white_space(*p))
        ++p;
    number_start = p;
    const char* end = nullptr;
    long number = scan_long(p, &end);
    if (end == p)
        return false;
    value = static_cast<int>(number);
    p = end;
    return true;
}

struct day_and_time {
    int day, hour, minute, second;
    const char* day_end;     // just after the day's digits
    const char* hour_start;  // where the hour's number begins
    const char* second_end;  // just after the seconds' digits
};

// sscanf("%d %d:%d:%d") over the text after the month name.
bool scan_day_and_time(const char* p, day_and_time& t)
{
    const char* start = nullptr;
    if (!scan_number(p, t.day, start))
        return false;
    t.day_end = p;
    if (!scan_number(p, t.hour, t.hour_start) || *p != ':')
        return false;
    ++p;
    if (!scan_number(p, t.minute, start) || *p != ':')
        return false;
    ++p;
    if (!scan_number(p, t.second, start))
        return false;
    t.second_end = p;
    return true;
}

// The year of a line: the run's year, but December lines read in another
// month belong to the year before.
int line_year(run_date date, int month)
{
    return (month == 12 && date.month != 12) ? date.year_since_1900 - 1 : date.year_since_1900;
}

// The host word after the time: blanks, then the host up to the next blank.
bool find_host_after(const char* time_end, std::string_view& host)
{
    if (*time_end != ' ')
        return false;
    const char* start = skip_blanks(time_end);
    const char* end = std::strchr(start, ' ');
    if (end == nullptr)
        return false;
    host = std::string_view(start, static_cast<std::size_t>(end - start));
    return true;
}

// The host is the word after the time: one blank between day and time, one
// blank right after the seconds, then blanks and tabs, then the host up to the
// next blank. Returns false when the header has no such word.
bool find_host(const day_and_time& t, std::string_view& host)
{
    const char* first_blank = std::strchr(t.day_end, ' ');
    if (first_blank == nullptr || first_blank >= t.hour_start)
        return false;
    const char* second_blank = std::strchr(first_blank + 1, ' ');
    if (second_blank == nullptr || second_blank != t.second_end)
        return false;
    return find_host_after(second_blank, host);
}

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

// Exactly `count` decimal digits.
bool fixed_digits(const char*& p, int count, int& value)
{
    value = 0;
    for (int i = 0; i < count; ++i) {
        if (!is_digit(p[i]))
            return false;
        value = value * 10 + (p[i] - '0');
    }
    p += count;
    return true;
}

bool expect(const char*& p, char c)
{
    if (*p != c)
        return false;
    ++p;
    return true;
}

// A header in the RFC 3339 form starts with a four-digit year and a hyphen.
bool starts_like_rfc3339(const char* p)
{
    return is_digit(p[0]) && is_digit(p[1]) && is_digit(p[2]) && is_digit(p[3]) && p[4] == '-';
}

bool is_leap_year(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int days_in_month(int year, int month)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && is_leap_year(year) ? 29 : days[month - 1];
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t days_from_civil(int year, int month, int day)
{
    const std::int64_t y = year - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t year_of_era = y - era * 400;
    const std::int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + day_of_era - 719468;
}

struct rfc3339_stamp {
    int year, month, day, hour, minute, second;
    int offset_seconds;  // east of UTC
    const char* end;     // just after the stamp
};

// YYYY-MM-DDTHH:MM:SS, optional fraction, then Z or an offset +HH:MM, +HHMM
// (or with a minus); every field within its range.
bool parse_rfc3339(const char* p, rfc3339_stamp& s)
{
    if (!fixed_digits(p, 4, s.year) || !expect(p, '-') || !fixed_digits(p, 2, s.month) || !expect(p, '-') ||
        !fixed_digits(p, 2, s.day) || (*p != 'T' && *p != 't'))
        return false;
    ++p;
    if (!fixed_digits(p, 2, s.hour) || !expect(p, ':') || !fixed_digits(p, 2, s.minute) || !expect(p, ':') ||
        !fixed_digits(p, 2, s.second))
        return false;
    if (*p == '.') {
        ++p;
        if (!is_digit(*p))
            return false;
        while (is_digit(*p))
            ++p;
    }
    if (*p == 'Z' || *p == 'z') {
        ++p;
        s.offset_seconds = 0;
    } else if (*p == '+' || *p == '-') {
        const int sign = *p == '-' ? -1 : 1;
        ++p;
        int hours = 0, minutes = 0;
        if (!fixed_digits(p, 2, hours))
            return false;
        if (*p == ':')
            ++p;
        if (!fixed_digits(p, 2, minutes) || hours > 23 || minutes > 59)
            return false;
        s.offset_seconds = sign * (hours * 3600 + minutes * 60);
    } else {
        return false;
    }
    s.end = p;
    return s.month >= 1 && s.month <= 12 && s.day >= 1 && s.day <= days_in_month(s.year, s.month) &&
           s.hour <= 23 && s.minute <= 59 && s.second <= 60;
}

// The time fields of an RFC 3339 header: the instant the stamp names, the
// hour, day and weekday as written.
line_fault read_rfc3339_time(const char* text, log_header& header, const char*& time_end)
{
    rfc3339_stamp s{};
    if (!parse_rfc3339(text, s) || (*s.end != ' ' && *s.end != '\0'))
        return line_fault::wrong_conversion;
    header.line_time = static_cast<std::time_t>(days_from_civil(s.year, s.month, s.day) * 86400 + s.hour * 3600 +
                                                s.minute * 60 + s.second - s.offset_seconds);
    header.line_hour = s.hour;
    header.line_mday = s.day;
    header.line_wday = day_of_week(s.year, s.month, s.day);
    if (header.line_wday < 0)
        return line_fault::wrong_conversion;
    time_end = s.end;
    return line_fault::none;
}

// The traditional time fields: month name, day and time, the year from the run.
line_fault read_traditional_time(const char* month_name, run_date date, line_time_cache& times, log_header& header,
                                 day_and_time& t)
{
    int month = month_from_name(month_name);
    if (month < 0)
        return line_fault::wrong_month;

    // The day follows the first three characters of the month name.
    const char* after_month = month_name;
    for (int i = 0; i < 3 && *after_month != '\0'; ++i)
        ++after_month;
    if (!scan_day_and_time(skip_blanks(after_month), t))
        return line_fault::wrong_conversion;

    int year = line_year(date, month);
    int wday = day_of_week(year + 1900, month, t.day);
    // An hour or weekday outside its range would index the distributions out of bounds.
    if (t.hour < 0 || t.hour > 23 || wday < 0)
        return line_fault::wrong_conversion;
    header.line_wday = wday;
    header.line_time = times.lookup(year, month, t.day, t.hour, t.minute, t.second);
    header.line_hour = t.hour;
    header.line_mday = t.day;
    return line_fault::none;
}

// The process tag and the checks on the body, the same for both header forms.
line_fault read_tag_and_body(log_header& header)
{
    const char* tag_end = std::strchr(header.host.data() + header.host.size(), ':');
    if (tag_end == nullptr)
        return line_fault::missing_process_id;
    const char* body = skip_blanks(tag_end + 1);
    header.line_body = body;

    if (std::strchr(body, ':') == nullptr && std::strstr(body, "alias") == nullptr &&
        find_nocase(body, "STARTTLS=") == nullptr)
        return line_fault::missing_msg_id_1;
    if (std::strchr(body, ' ') == nullptr)
        return line_fault::missing_msg_id_2;
    return line_fault::none;
}

}  // namespace

int month_from_name(const char* text)
{
    switch (letter_at(text, 0)) {
    case 'a': {
        char second = letter_at(text, 1);
        return second == 'u' ? 8 : second == 'p' ? 4 : -1;
    }
    case 'd': return 12;
    case 'f': return 2;
    case 'j': {
        if (letter_at(text, 1) == 'a')
            return 1;
        char third = letter_at(text, 2);
        return third == 'n' ? 6 : third == 'l' ? 7 : -1;
    }
    case 'm': {
        char third = letter_at(text, 2);
        return third == 'r' ? 3 : third == 'y' ? 5 : -1;
    }
    case 'n': return 11;
    case 'o': return 10;
    case 's': return 9;
    default: return -1;
    }
}

int day_of_week(int year, int month, int day)
{
    static const int month_offset[12] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (month < 1 || month > 12)
        return -1;
    if (month < 3)
        year -= 1;
    // 32-bit arithmetic that wraps like the C int it models, without overflow.
    std::uint32_t sum = static_cast<std::uint32_t>(year) + static_cast<std::uint32_t>(year / 4) -
                        static_cast<std::uint32_t>(year / 100) + static_cast<std::uint32_t>(year / 400) +
                        static_cast<std::uint32_t>(month_offset[month - 1]) + static_cast<std::uint32_t>(day);
    return static_cast<std::int32_t>(sum) % 7;
}

std::time_t make_line_time(int year_since_1900, int month, int day, int hour, int minute, int second)
{
    if (month < 1 || month > 12)
        return 0;
    std::tm broken{};
    broken.tm_year = year_since_1900;
    broken.tm_mon = month - 1;
    broken.tm_mday = day;
    broken.tm_hour = hour;
    broken.tm_min = minute;
    broken.tm_sec = second;
    broken.tm_isdst = -1;
    return std::mktime(&broken);
}

std::time_t line_time_cache::lookup(int year_since_1900, int month, int day, int hour, int minute, int second)
{
    if (minute < 0 || minute > 59 || second < 0 || second > 59)
        return make_line_time(year_since_1900, month, day, hour, minute, second);
    const int wanted[4] = {year_since_1900, month, day, hour};
    if (!valid_ || std::memcmp(wanted, key_, sizeof key_) != 0) {
        // When the hour's last second lies 3599 seconds after its first, the
        // hour has one offset from UTC throughout and its seconds can be counted.
        hour_start_ = make_line_time(year_since_1900, month, day, hour, 0, 0);
        std::time_t hour_end = make_line_time(year_since_1900, month, day, hour, 59, 59);
        uniform_ = hour_start_ != -1 && hour_end - hour_start_ == 3599;
        std::memcpy(key_, wanted, sizeof key_);
        valid_ = true;
    }
    if (!uniform_)
        return make_line_time(year_since_1900, month, day, hour, minute, second);
    return hour_start_ + minute * 60 + second;
}

run_date run_date_of(const std::tm& now)
{
    return run_date{now.tm_year, now.tm_mon + 1};
}

line_fault parse_log_header(const char* line, run_date date, line_time_cache& times, log_header& header)
{
    const char* start = skip_blanks(line);
    if (starts_like_rfc3339(start)) {
        const char* time_end = nullptr;
        if (line_fault fault = read_rfc3339_time(start, header, time_end); fault != line_fault::none)
            return fault;
        if (!find_host_after(time_end, header.host))
            return line_fault::missing_host;
    } else {
        day_and_time t{};
        if (line_fault fault = read_traditional_time(start, date, times, header, t); fault != line_fault::none)
            return fault;
        if (!find_host(t, header.host))
            return line_fault::missing_host;
    }
    return read_tag_and_body(header);
}
