// Calendar helpers and the syslog header parser. parse_log_header sees raw
// log text: it reads only up to the line's terminating NUL and reports the
// first fault it meets, in the order the checks are listed in line_fault.
#pragma once

#include <ctime>
#include <string_view>

// Month number 1..12 from the first letters of a month name, or -1.
int month_from_name(const char* text);

// Day of the week, 0 = Sunday, for a full year, month 1..12 and day.
int day_of_week(int year, int month, int day);

// The local time of a date (year counted from 1900, month 1..12); 0 when the
// month is outside 1..12. The system decides daylight saving time.
std::time_t make_line_time(int year_since_1900, int month, int day, int hour, int minute, int second);

// make_line_time for many lines: the time conversion is costly, so the cache
// converts each hour once and counts the seconds within it, falling back to
// the full conversion for an hour that changes its offset from UTC and for
// minutes or seconds outside 0..59.
class line_time_cache {
public:
    std::time_t lookup(int year_since_1900, int month, int day, int hour, int minute, int second);

private:
    int key_[4] = {};
    std::time_t hour_start_ = 0;
    bool uniform_ = false;
    bool valid_ = false;
};

// The date the run uses to give log lines their year.
struct run_date {
    int year_since_1900;
    int month;  // 1..12
};
run_date run_date_of(const std::tm& now);

enum class line_fault {
    none,
    wrong_month,
    wrong_conversion,
    missing_host,
    missing_process_id,
    missing_msg_id_1,
    missing_msg_id_2,
};

struct log_header {
    std::time_t line_time = 0;
    int line_hour = 0;
    int line_wday = 0;
    int line_mday = 0;
    std::string_view host;       // the syslog host name
    const char* line_body = nullptr;  // after the process tag's colon, blanks and tabs skipped
};

// Takes apart the header of a terminated line (newline already removed).
line_fault parse_log_header(const char* line, run_date date, line_time_cache& times, log_header& header);
