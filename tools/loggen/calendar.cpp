// Turns the seconds of the generator's clock into a calendar time: days
// and time of day by division, then whole months one after the other from
// the first day of the log, the year moving on after December.
#include "tools/loggen/calendar.h"

namespace loggen {

namespace {

constexpr unsigned first_year = 2024;
constexpr unsigned first_month = 11;  // December, counted from 0
constexpr std::string_view month_names[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr unsigned month_days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

}  // namespace

calendar_time calendar_of(std::uint64_t seconds)
{
    calendar_time t;
    t.year = first_year;
    t.month = first_month;
    std::uint64_t days = seconds / 86400;
    const auto rest = static_cast<unsigned>(seconds % 86400);
    t.hour = rest / 3600;
    t.minute = rest / 60 % 60;
    t.second = rest % 60;
    while (days >= month_days[t.month]) {
        days -= month_days[t.month];
        if (++t.month == 12) {
            t.month = 0;
            ++t.year;
        }
    }
    t.day = static_cast<unsigned>(days) + 1;
    return t;
}

std::string_view month_name(unsigned month)
{
    return month_names[month];
}

}  // namespace loggen
