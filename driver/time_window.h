// The time window of --since, --until and --day: the texts as given, read
// against the run's clock in local time (TZ), become Unix times. Pure
// functions of the text and "now"; nothing here reads the settings.
//
//   WHEN  today | yesterday            that day's 00:00:00
//         YYYY-MM-DD                   its 00:00:00
//         YYYY-MM-DD hh:mm[:ss]        local time (also with T between)
//         YYYY-MM-DDThh:mm[:ss]Z       with an offset: Z, +hh:mm, +hhmm, -hh:mm, -hhmm
//   DAY   today | yesterday | YYYY-MM-DD: from its 00:00:00 to the next day's
//
// A fraction of a second may follow the seconds (".250"); it is dropped, as
// the log's own fractions are. Every field must lie within its range.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

// The Unix time a WHEN text names, or nothing when the text is malformed.
std::optional<long long> parse_when(std::string_view text, std::time_t now);

// The first second of the day a DAY text names, or nothing when malformed.
std::optional<long long> parse_day(std::string_view text, std::time_t now);

// The first second of the day after the local day that holds `time`.
long long next_day_start(long long time);

// The window the three options give (each unset when not given), or the
// error message (one line, with its newline) that ends the run.
struct time_window {
    std::optional<long long> start;  // lines at or after it count
    std::optional<long long> end;    // lines before it count
    std::string error;               // empty when the options are right
};
time_window window_of_options(const std::optional<std::string>& since, const std::optional<std::string>& until,
                              const std::optional<std::string>& day, std::time_t now);
