// Reading WHEN and DAY texts: a strict scanner over the few forms, the local
// forms through mktime (which knows the zone's daylight saving rules), the
// forms with an offset through timegm.
#include "driver/time_window.h"

#include <cstddef>

#include "driver/messages.h"

namespace {

struct civil_time {
    int year = 0;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Reads a text from left to right; every step either takes what it expects or leaves the text as it was.
class scanner {
public:
    explicit scanner(std::string_view text) : text_(text) {}

    bool at_end() const { return pos_ == text_.size(); }

    // Exactly `count` ASCII digits.
    bool digits(int count, int& value)
    {
        if (text_.size() - pos_ < static_cast<std::size_t>(count))
            return false;
        int number = 0;
        for (int i = 0; i < count; ++i) {
            const char c = text_[pos_ + static_cast<std::size_t>(i)];
            if (c < '0' || c > '9')
                return false;
            number = number * 10 + (c - '0');
        }
        pos_ += static_cast<std::size_t>(count);
        value = number;
        return true;
    }

    // One digit or more, their value not needed.
    bool skip_digits()
    {
        const std::size_t start = pos_;
        while (!at_end() && text_[pos_] >= '0' && text_[pos_] <= '9')
            ++pos_;
        return pos_ > start;
    }

    // One character of `set`, or NUL when the next one is not in it.
    char take_one_of(std::string_view set)
    {
        if (at_end() || set.find(text_[pos_]) == std::string_view::npos)
            return '\0';
        return text_[pos_++];
    }

    bool take(char c) { return take_one_of(std::string_view(&c, 1)) != '\0'; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

bool is_leap_year(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int days_in_month(int year, int month)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && is_leap_year(year) ? 29 : days[month - 1];
}

std::tm broken_down(const civil_time& t)
{
    std::tm broken{};
    broken.tm_year = t.year - 1900;
    broken.tm_mon = t.month - 1;
    broken.tm_mday = t.day;
    broken.tm_hour = t.hour;
    broken.tm_min = t.minute;
    broken.tm_sec = t.second;
    broken.tm_isdst = -1;
    return broken;
}

// The local time of `t`; days outside the month roll over into the next or previous one.
std::optional<long long> local_time(const civil_time& t)
{
    std::tm broken = broken_down(t);
    const std::time_t time = std::mktime(&broken);
    if (time == static_cast<std::time_t>(-1))
        return std::nullopt;
    return static_cast<long long>(time);
}

// The local midnight `days_back` days before the day of `now`.
std::optional<long long> local_day_start(std::time_t now, int days_back)
{
    std::tm today{};
    if (localtime_r(&now, &today) == nullptr)
        return std::nullopt;
    return local_time(civil_time{today.tm_year + 1900, today.tm_mon + 1, today.tm_mday - days_back});
}

// YYYY-MM-DD, a real date.
bool read_date(scanner& in, civil_time& t)
{
    return in.digits(4, t.year) && in.take('-') && in.digits(2, t.month) && in.take('-') && in.digits(2, t.day) &&
           t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= days_in_month(t.year, t.month);
}

// hh:mm[:ss[.fraction]], each field within its range.
bool read_clock(scanner& in, civil_time& t)
{
    if (!in.digits(2, t.hour) || !in.take(':') || !in.digits(2, t.minute))
        return false;
    if (in.take(':')) {
        if (!in.digits(2, t.second))
            return false;
        if (in.take('.') && !in.skip_digits())
            return false;
    }
    return t.hour <= 23 && t.minute <= 59 && t.second <= 59;
}

// Z, or a sign with hh:mm or hhmm: the seconds east of UTC.
bool read_offset(scanner& in, int& seconds)
{
    const char sign = in.take_one_of("Zz+-");
    if (sign == 'Z' || sign == 'z') {
        seconds = 0;
        return true;
    }
    int hours = 0;
    int minutes = 0;
    if (sign == '\0' || !in.digits(2, hours))
        return false;
    in.take(':');
    if (!in.digits(2, minutes) || hours > 23 || minutes > 59)
        return false;
    seconds = (sign == '-' ? -1 : 1) * (hours * 3600 + minutes * 60);
    return true;
}

std::optional<long long> relative_day(std::string_view text, std::time_t now)
{
    if (text == "today")
        return local_day_start(now, 0);
    if (text == "yesterday")
        return local_day_start(now, 1);
    return std::nullopt;
}

std::string invalid_time(const char* option, const std::string& value)
{
    return format_message("ERROR: invalid time for %s: %s\n", option, value.c_str());
}

}  // namespace

std::optional<long long> parse_day(std::string_view text, std::time_t now)
{
    if (std::optional<long long> relative = relative_day(text, now))
        return relative;
    scanner in(text);
    civil_time t;
    if (!read_date(in, t) || !in.at_end())
        return std::nullopt;
    return local_time(t);
}

std::optional<long long> parse_when(std::string_view text, std::time_t now)
{
    if (std::optional<long long> relative = relative_day(text, now))
        return relative;
    scanner in(text);
    civil_time t;
    if (!read_date(in, t))
        return std::nullopt;
    if (in.at_end())
        return local_time(t);
    if (in.take_one_of("Tt ") == '\0' || !read_clock(in, t))
        return std::nullopt;
    if (in.at_end())
        return local_time(t);
    int offset = 0;
    if (!read_offset(in, offset) || !in.at_end())
        return std::nullopt;
    std::tm broken = broken_down(t);
    return static_cast<long long>(timegm(&broken)) - offset;
}

long long next_day_start(long long time)
{
    const auto moment = static_cast<std::time_t>(time);
    std::tm day{};
    localtime_r(&moment, &day);
    std::tm next{};
    next.tm_year = day.tm_year;
    next.tm_mon = day.tm_mon;
    next.tm_mday = day.tm_mday + 1;
    next.tm_isdst = -1;
    return static_cast<long long>(std::mktime(&next));
}

time_window window_of_options(const std::optional<std::string>& since, const std::optional<std::string>& until,
                              const std::optional<std::string>& day, std::time_t now)
{
    time_window window;
    if (day && (since || until)) {
        window.error = "ERROR: --day cannot be combined with --since or --until\n";
        return window;
    }
    if (day) {
        window.start = parse_day(*day, now);
        if (!window.start)
            window.error = invalid_time("--day", *day);
        else
            window.end = next_day_start(*window.start);
        return window;
    }
    if (since && !(window.start = parse_when(*since, now))) {
        window.error = invalid_time("--since", *since);
        return window;
    }
    if (until && !(window.end = parse_when(*until, now))) {
        window.error = invalid_time("--until", *until);
        return window;
    }
    if (window.start && window.end && *window.start >= *window.end)
        window.error = format_message("ERROR: --since %s is not before --until %s\n", since->c_str(), until->c_str());
    return window;
}
